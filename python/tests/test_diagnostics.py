"""The library's printed lines: none at all by default (not a single write()),
other threads' output never touched, capture without redirecting descriptors."""
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import zemba.legacy as zemba
from conftest import ROOT

# Calls that print on every run when printing is on: histogram entropy (one
# line), degree entropy (one line per node), the loader (the channel names).
PRINTING_CALLS = """
import numpy as np; import zemba.legacy as zemba
x = np.random.default_rng(3).normal(size=300)
def calls():
    zemba.histogram_entropy([1, 2, 2])
    zemba.degree_entropy(x)
    zemba.cross_correlation(x, x[::-1].copy())
    zemba.load_alcohol([{trial!r}], "o", 1)
"""


def _child(mode, body):
    """Runs PRINTING_CALLS in a fresh interpreter in diagnostics `mode`; its
    stdout is a pipe. Returns (stdout, stderr)."""
    code = (f"import sys; sys.path.insert(0, {str(ROOT / 'python')!r})\n"
            + PRINTING_CALLS.format(trial=str(ROOT / "data/eeg/co2a0000364.rd.000"))
            + f"zemba.set_diagnostics({mode!r})\n" + body)
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120,
                          env={**os.environ, "ZEMBA_LIBRARY": str(zemba.library_path())})
    assert proc.returncode == 0, proc.stderr
    return proc.stdout, proc.stderr


COUNT_WRITES = """
def writes():
    with open("/proc/self/io") as f:
        return int(next(l for l in f if l.startswith("syscw")).split()[1])
calls()                      # library loaded, tables warm
before = writes()
for _ in range(20):
    calls()
after = writes()
sys.stderr.write(f"writes={after - before}\\n")
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/io"), reason="needs /proc/self/io")
@pytest.mark.parametrize("mode, silent", [("silent", True), ("capture", True), ("show", False)])
def test_library_makes_no_write_call_unless_shown(mode, silent):
    out, err = _child(mode, COUNT_WRITES)
    writes = int(err.strip().split("writes=")[-1])
    if silent:
        assert writes == 0 and out == ""
    else:                                    # the measure does see the library's lines
        assert writes > 0 and "ratio=" in out and "FP1" in out


def test_capture_keeps_the_lines_of_the_call():
    out, err = _child("capture", "calls(); sys.stderr.write(zemba.last_diagnostics())")
    assert out == "" and "FP1\tFP2" in err            # the loader's channel-name line, last call


@pytest.mark.parametrize("mode", ["silent", "capture"])
def test_a_thread_printing_during_calls_loses_no_line(capfd, mode):
    zemba.set_diagnostics(mode)
    stop = threading.Event()
    written = []

    def printer():
        k = 0
        while not stop.is_set() or k < 200:
            os.write(1, f"line {k}\n".encode())
            written.append(k)
            k += 1
    x = np.random.default_rng(5).normal(size=2000)
    t = threading.Thread(target=printer)
    try:
        t.start()
        for _ in range(30):
            zemba.degree_entropy(x)          # 2000 lines each when printing is on
        stop.set()
        t.join()
    finally:
        zemba.set_diagnostics("silent")
    out = capfd.readouterr().out.split("\n")[:-1]
    assert out == [f"line {k}" for k in written]


def test_show_turns_printing_on_for_the_call_only(capfd):
    zemba.set_diagnostics("show")
    try:
        zemba.histogram_entropy([1, 2, 2])
    finally:
        zemba.set_diagnostics("silent")
    assert "ratio=" in capfd.readouterr().out
    assert os.environ["ZEMBA_QUIET"] == "1"
    zemba.histogram_entropy([1, 2, 2])
    assert capfd.readouterr().out == ""

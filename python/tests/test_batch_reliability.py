"""The batch tool on bad input: damaged and unreadable files are skipped and
reported, never ending the run; the output is written whole or not at all;
the output place is checked before computing; Ctrl-C stops the run at once."""
import os
import resource
import shutil
import signal
import subprocess
import time
import warnings

import pytest

pd = pytest.importorskip("pandas")
import pandas.testing as pdt  # noqa: E402

from zemba import batch  # noqa: E402

from conftest import DAMAGED, ROOT, damaged_manifest  # noqa: E402

MANIFEST = damaged_manifest()
REAL = ROOT / "data" / "eeg" / "co2a0000364.rd.000"
CLI = str(ROOT / "scripts" / "zemba-batch")
FEATS = ["permutation_entropy", "sample_entropy"]


@pytest.fixture(scope="module")
def damaged_run(tmp_path_factory):
    """The damaged folder plus a real trial and a FIFO, extracted in this process."""
    folder = tmp_path_factory.mktemp("damaged")
    for row in MANIFEST:
        shutil.copy(DAMAGED / row["file"], folder / row["file"])
    shutil.copy(REAL, folder / REAL.name)
    fifo = folder / "fifo.rd.000"
    os.mkfifo(fifo)
    sources = [folder, fifo]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return sources, batch.extract(sources, FEATS, workers=0, progress=False)


def test_every_damaged_file_is_skipped_with_its_reason(damaged_run):
    _, res = damaged_run
    reasons = {os.path.basename(s.path): s.reason for s in res.skipped}
    want = {r["file"]: r["reason"] for r in MANIFEST if r["loads"] == "no"}
    want["error-trial.rd.000"] = "err"
    want["fifo.rd.000"] = "not-regular"
    assert set(reasons) == set(want)
    for name, reason in want.items():
        assert reasons[name].startswith(reason) or reason in reasons[name], (name, reasons[name])


def test_good_files_of_the_damaged_folder_make_their_rows(damaged_run):
    table = damaged_run[1].table
    rows = table.groupby("file").size().to_dict()
    assert rows == {"co2a0000364.rd.000": 64, "two-channels.rd.000": 2, "good.rd.000.gz": 2,
                    "crlf-line-ends.rd.000": 2, "long-condition-line.rd.000": 2, "no-condition.rd.000": 2}


def test_worker_processes_give_the_same_table_and_skips(damaged_run):
    sources, res = damaged_run
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        other = batch.extract(sources, FEATS, workers=2, progress=False)
    pdt.assert_frame_equal(other.table, res.table, check_exact=True)
    assert other.skipped == res.skipped


# ---- where the output goes ---------------------------------------------------------

def _cli(args, **kw):
    return subprocess.run([CLI, *map(str, args), "--no-progress"], capture_output=True, text=True,
                          timeout=300, **kw)


@pytest.mark.parametrize("target", [lambda tmp: tmp / "missing" / "out.csv", lambda tmp: "/proc/zemba-out.csv",
                                    lambda tmp: tmp])
def test_output_place_is_checked_before_any_computing(tmp_path, target):
    proc = _cli([REAL, "-o", target(tmp_path), "-j", "0"])
    assert proc.returncode == 2 and "cannot write" in proc.stderr
    assert "trial file(s) on" not in proc.stderr          # the run never started


def test_a_failed_write_leaves_the_earlier_output_whole(tmp_path):
    out = tmp_path / "features.csv"
    out.write_text("earlier output\n")
    limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (2000, 2000))  # noqa: E731
    proc = _cli([REAL, "-o", out, "-j", "0", "-f", "permutation_entropy"], preexec_fn=limit)
    assert proc.returncode == 1 and "earlier output left as it was" in proc.stderr
    assert out.read_text() == "earlier output\n"
    assert os.listdir(tmp_path) == ["features.csv"]      # no temporary file left behind


def test_written_output_replaces_the_earlier_file_with_its_permissions(tmp_path):
    out = tmp_path / "features.csv"
    out.write_text("earlier output\n")
    out.chmod(0o640)
    proc = _cli([REAL, "-o", out, "-j", "0", "-f", "permutation_entropy"])
    assert proc.returncode == 0, proc.stderr
    assert len(pd.read_csv(out)) == 64 and (out.stat().st_mode & 0o777) == 0o640


# ---- Ctrl-C ------------------------------------------------------------------------

def _children(pid):
    kids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == pid:
                kids.append(int(entry))
    return kids


def _running(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
    except OSError:
        return False


@pytest.mark.parametrize("group", [False, True], ids=["parent", "process-group"])
def test_interrupt_stops_at_once_with_130_leaving_the_earlier_output(tmp_path, group):
    data = tmp_path / "data"
    data.mkdir()
    for k in range(60):                      # 720 trials: several seconds of work on two workers
        for f in sorted((ROOT / "data" / "eeg").glob("*.rd.*")):
            name = f"{f.name.rsplit('.', 1)[0]}.{int(f.name.rsplit('.', 1)[1]) + 200 * (k + 1):03d}"
            try:
                os.link(f, data / name)
            except OSError:
                shutil.copy(f, data / name)
    out = tmp_path / "features.csv"
    out.write_text("earlier output\n")
    proc = subprocess.Popen([CLI, str(data), "-o", str(out), "-j", "2", "--similarity", "mi", "--no-progress"],
                            stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        assert "trial file(s) on 2 worker" in proc.stderr.readline()
        deadline = time.monotonic() + 60     # let the workers start computing
        while len([k for k in _children(proc.pid) if _running(k)]) < 3 and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(1.0)
        kids = _children(proc.pid)
        assert proc.poll() is None, "the run finished before it could be interrupted"
        sent = time.monotonic()
        if group:
            os.killpg(proc.pid, signal.SIGINT)   # Ctrl-C at a terminal reaches every process
        else:
            proc.send_signal(signal.SIGINT)
        rc = proc.wait(timeout=60)
        elapsed = time.monotonic() - sent
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
    err = proc.stderr.read()
    assert rc == 130, err
    assert elapsed < 3.0, f"exit took {elapsed:.1f} s"
    assert "interrupted" in err and "Traceback" not in err.split("interrupted")[0]
    assert out.read_text() == "earlier output\n" and sorted(os.listdir(tmp_path)) == ["data", "features.csv"]
    deadline = time.monotonic() + 10         # the resource tracker leaves when its pipe closes
    while any(_running(k) for k in kids) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert not [k for k in kids if _running(k)], "a worker outlived the run"

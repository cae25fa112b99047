"""Trial files by input class: the damaged files of data/damaged (by their
manifest), things that are not regular files, and files that cannot be
opened. Every interface of the package either loads a file whole or raises
TrialFileError naming it and the reason; none blocks or keeps stale data."""
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import zemba.legacy as zemba
from conftest import DAMAGED, ROOT, damaged_manifest

MANIFEST = damaged_manifest()
GOOD = [r for r in MANIFEST if r["loads"] == "yes"]
BAD = [r for r in MANIFEST if r["loads"] == "no"]
REAL = ROOT / "data" / "eeg" / "co2a0000364.rd.000"


def naive_blocks(path):
    """Sample matrix of a plain trial file read the simplest way: every line
    that is not a comment, fourth word as the value, one row per block."""
    rows = []
    for line in path.read_text().splitlines()[4:]:
        if line.startswith("#"):
            rows.append([])
        elif line.strip():
            rows[-1].append(float(line.split()[3]))
    return np.array(rows)


# ---- damaged files (data/damaged/MANIFEST.tsv) -------------------------------

@pytest.mark.parametrize("row", BAD, ids=[r["file"] for r in BAD])
def test_damaged_file_raises_with_path_reason_and_line(row):
    path = DAMAGED / row["file"]
    zemba.load_trial(REAL)                   # something earlier to go stale
    with pytest.raises(zemba.TrialFileError) as err:
        zemba.load_trial(path)
    e = err.value
    assert e.reason == row["reason"] and row["file"] in str(e) and e.path == str(path)
    if row["reason"] == "unparsable-line":
        assert e.line == int(row["line"]) and f"line {row['line']}" in str(e)


@pytest.mark.parametrize("row", GOOD, ids=[r["file"] for r in GOOD])
def test_good_file_of_the_folder_loads_its_own_values(row):
    zemba.load_trial(REAL)
    t = zemba.load_trial(DAMAGED / row["file"])
    want = naive_blocks(DAMAGED / "two-channels.rd.000")
    assert t.data.shape == (2, 256) and np.array_equal(t.data, want)
    assert t.channels == ["FP1", "FP2"] and t.group == "a"
    expected = {"no-condition.rd.000": (0, False), "long-condition-line.rd.000": (3, False),
                "error-trial.rd.000": (2, True)}.get(row["file"], (1, False))
    assert (t.condition, t.error) == expected


def test_trial_values_agree_with_a_naive_reading_of_the_real_trial():
    t = zemba.load_trial(REAL)
    assert t.data.shape == (64, 256) and np.array_equal(t.data, naive_blocks(REAL))


def test_load_trial_leaves_the_trial_in_the_resident_table():
    zemba.load_trial(REAL)
    zemba.load_trial(DAMAGED / "two-channels.rd.000")
    table = zemba.loaded_table()
    assert np.array_equal(table.samples[:2, :256], naive_blocks(DAMAGED / "two-channels.rd.000"))
    assert np.isnan(table.samples[2:, :256]).all()        # nothing left of the 64-channel trial
    assert table.group[0] == "a" and table.condition[0] == 1


@pytest.mark.parametrize("row", BAD, ids=[r["file"] for r in BAD])
def test_raw_loader_refuses_damaged_files(row):
    with pytest.raises(zemba.TrialFileError) as err:
        zemba.load_alcohol([DAMAGED / row["file"]], "o", 1)
    assert err.value.reason == row["reason"]


def test_raw_loader_reads_gzip_through_a_plain_copy():
    out = zemba.load_alcohol([DAMAGED / "good.rd.000.gz"], "o", 2)
    assert out[0] == ord("a") and np.array_equal(out[2:258], naive_blocks(DAMAGED / "two-channels.rd.000")[1])


def test_damaged_file_in_a_subject_folder_names_the_file(tmp_path):
    (tmp_path / "co2a0000364.rd.000").write_bytes(REAL.read_bytes())
    (tmp_path / "co2a0000364.rd.001").write_bytes((DAMAGED / "short-block.rd.000").read_bytes())
    with pytest.raises(zemba.TrialFileError, match="co2a0000364.rd.001.*truncated"):
        zemba.load_subject(tmp_path)


# ---- not a regular file ----------------------------------------------------------

def _fifo(tmp_path):
    p = tmp_path / "fifo.rd.000"
    os.mkfifo(p)
    return p


def _no_hang(call, seconds=20):
    """Runs call in a thread; fails (rather than hanging the suite) if it blocks."""
    box = {}

    def run():
        try:
            box["value"] = call()
        except BaseException as e:       # noqa: BLE001 - handed back to the test
            box["error"] = e
    t = threading.Thread(target=run, daemon=True)
    t.start()
    t.join(seconds)
    assert not t.is_alive(), "the call blocked"
    if "error" in box:
        raise box["error"]
    return box.get("value")


@pytest.mark.parametrize("make, kind", [
    (lambda tmp: tmp, "directory"),
    (_fifo, "FIFO"),
    (lambda tmp: "/dev/null", "character device"),
])
@pytest.mark.parametrize("load", [zemba.load_trial, lambda p: zemba.load_alcohol([p], "o", 1)],
                         ids=["load_trial", "load_alcohol"])
def test_anything_but_a_regular_file_is_refused_at_once(tmp_path, make, kind, load):
    path = make(tmp_path)
    with pytest.raises(zemba.TrialFileError, match=f"{kind}, not a regular file") as err:
        _no_hang(lambda: load(path))
    assert err.value.reason == "not-regular" and err.value.path == str(path)


# ---- files that cannot be opened ---------------------------------------------------

@pytest.mark.parametrize("path, detail", [
    (lambda tmp: tmp / "missing.rd.000", "does not exist"),
    (lambda tmp: tmp / ("x" * 5000), "path too long"),
    (lambda tmp: str(tmp / "a") + "\0b", "cannot be opened"),
])
def test_unopenable_paths_raise_open(tmp_path, path, detail):
    p = path(tmp_path)
    with pytest.raises(zemba.TrialFileError, match=detail) as err:
        zemba.load_trial(p)
    assert err.value.reason == "open"


def test_permission_denied_raises_open(tmp_path):
    """Run as an unprivileged user (root reads anything): a child process that
    drops to 'nobody' loads a file it may not read."""
    p = tmp_path / "locked.rd.000"
    p.write_bytes(REAL.read_bytes())
    p.chmod(0)
    tmp_path.chmod(0o755)
    code = ("import sys; sys.path.insert(0, sys.argv[2]); import zemba.legacy as zemba; zemba.lib(); print('ready')\n"
            "try:\n    zemba.load_trial(sys.argv[1])\nexcept zemba.TrialFileError as e:\n"
            "    print(e.reason, e)\n")
    if os.geteuid() == 0:
        drop = lambda: (os.setgid(65534), os.setuid(65534))  # noqa: E731
    else:
        drop = None
    proc = subprocess.run([sys.executable, "-c", code, str(p), str(ROOT / "python")], capture_output=True,
                          text=True, preexec_fn=drop, timeout=120,
                          env={**os.environ, "ZEMBA_LIBRARY": str(zemba.library_path())})
    if not proc.stdout.startswith("ready"):
        pytest.skip("the unprivileged user cannot load the package here: " + proc.stderr[-200:])
    assert proc.stdout.split("\n")[1].startswith("open ") and "permission denied" in proc.stdout, proc.stderr

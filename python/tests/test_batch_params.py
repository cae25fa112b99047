"""Batch engines and configuration: thread workers give the table of the
serial run; feature parameters and the sampling rate reach the routines, from
Python and from the command line; bad requests stop before any work."""
import subprocess
import warnings

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
import pandas.testing as pdt  # noqa: E402

import zemba  # noqa: E402
from zemba import batch  # noqa: E402

Z = batch.legacy_api()   # the original library's routines the batch features call

from conftest import ROOT  # noqa: E402

DATA = ROOT / "data" / "eeg"
ONE = DATA / "co2c0000340.rd.108"


def _quiet(*a, **k):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return batch.extract(*a, progress=False, **k)


def test_threads_give_the_serial_table():
    serial = _quiet(DATA, workers=0)
    for n in (1, 2):
        res = _quiet(DATA, workers=n, engine="threads")
        pdt.assert_frame_equal(res.table, serial.table, check_exact=True)
        for g in serial.degree_counts:
            np.testing.assert_array_equal(res.degree_counts[g], serial.degree_counts[g])
    assert list(serial.table.columns[6:13]) == [f"hvg_irreversibility_{k}"
                                                for k in zemba.IRREVERSIBILITY_FEATURES]


def test_workers_are_threads_only_when_every_feature_is_the_cores(capsys):
    # The original library's features and the similarity matrices go through
    # its lock: processes compute them side by side, threads would queue.
    for feats, similarity, kind in ((None, None, "thread"), (["perm_entropy", "div"], None, "process"),
                                    (["perm_entropy"], "match", "process")):
        _quiet([ONE, DATA / "co2a0000364.rd.000"], feats, workers=2, similarity=similarity, announce=True)
        assert f"2 worker {kind}" in capsys.readouterr().err, (feats, similarity)


def test_parameters_and_sampling_rate_reach_the_routines():
    trial = Z.load_trial(ONE)
    res = _quiet([ONE], ["sample_entropy", "perm_entropy", "band_powers"], workers=0, sfreq=200.0,
                 params={"sample_entropy.order": 3, "perm_entropy__order": 5})
    t = res.table
    np.testing.assert_array_equal(t["sample_entropy"], zemba.sample_entropy(trial.data, order=3))
    np.testing.assert_array_equal(t["perm_entropy"], zemba.perm_entropy(trial.data, order=5))
    np.testing.assert_array_equal(t["band_powers_beta"], zemba.band_powers(trial.data, 200.0)["beta"])
    # the earlier feature names are still accepted and give the same columns
    old = _quiet([ONE], ["permutation_entropy"], workers=0, params=["permutation_entropy.order=5"]).table
    np.testing.assert_array_equal(old["perm_entropy"], t["perm_entropy"])


def test_bad_requests_are_refused_before_any_work():
    for kwargs, match in ((dict(params=["sample_entropy.m=3"]), "no parameter"),
                          (dict(params=["nothing.order=3"]), "names no feature"),
                          (dict(params=["sample_entropy.order"]), "feature.param=value"),
                          (dict(params={"perm_entropy.order": 3}), "not computed"),
                          (dict(sfreq=0.0), "sfreq"),
                          (dict(engine="fibres"), "engine")):
        with pytest.raises(ValueError, match=match):
            batch.extract([ONE], ["sample_entropy"], workers=0, progress=False, **kwargs)


def test_command_line_takes_params_sfreq_engine_and_lists_them(tmp_path):
    cli = str(ROOT / "scripts" / "zemba-batch")
    out = tmp_path / "t.csv"
    proc = subprocess.run([cli, str(ONE), "-o", str(out), "-f", "sample_entropy,band_powers", "--no-progress",
                           "--param", "sample_entropy.order=3", "--sfreq", "200", "-j", "2",
                           "--engine", "threads"], capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr
    t = pd.read_csv(out, float_precision="round_trip")
    trial = Z.load_trial(ONE)
    np.testing.assert_array_equal(t["sample_entropy"], zemba.sample_entropy(trial.data, order=3))
    np.testing.assert_array_equal(t["band_powers_delta"], zemba.band_powers(trial.data, 200.0)["delta"])
    bad = subprocess.run([cli, str(ONE), "-o", str(out), "--param", "sample_entropy.x=1"],
                         capture_output=True, text=True, timeout=120)
    assert bad.returncode == 2 and "no parameter" in bad.stderr
    listing = subprocess.run([cli, "--list-features"], capture_output=True, text=True, timeout=120).stdout
    assert "sample_entropy" in listing and "order=2, tolerance=0.2" in listing


def test_interrupt_with_thread_workers_exits_130_at_once(tmp_path):
    import gzip
    import os
    import signal
    import time
    data = tmp_path / "data"
    data.mkdir()
    packed = {f: gzip.compress(f.read_bytes(), 1) for f in sorted(DATA.glob("*.rd.*"))}
    for k in range(40):   # enough trials that the run is still going when interrupted
        for f, raw in packed.items():
            stem, number = f.name.rsplit(".", 1)
            (data / f"{stem}.{int(number) + 200 * (k + 1):03d}.gz").write_bytes(raw)
    out = tmp_path / "features.csv"
    out.write_text("earlier output\n")
    # the original library's divergence features: slow enough to be interrupted mid-run
    proc = subprocess.Popen([str(ROOT / "scripts" / "zemba-batch"), str(data), "-o", str(out), "-j", "2",
                             "--engine", "threads", "--no-progress", "-f", "div,delay_perm_entropy"],
                            stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        assert "on 2 worker thread" in proc.stderr.readline()
        time.sleep(1.5)
        assert proc.poll() is None, "the run finished before it could be interrupted"
        sent = time.monotonic()
        proc.send_signal(signal.SIGINT)
        rc = proc.wait(timeout=60)
        elapsed = time.monotonic() - sent
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
    err = proc.stderr.read()
    assert rc == 130 and "interrupted" in err, err
    assert elapsed < 3.0, f"exit took {elapsed:.1f} s"
    assert out.read_text() == "earlier output\n" and sorted(os.listdir(tmp_path)) == ["data", "features.csv"]

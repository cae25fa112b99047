"""Batch extraction over the bundled real trials: the same table serially, on
local worker processes and on a Dask cluster; skipped files; shards; the
command line with its CSV and figures."""
import gzip
import os
import shutil
import subprocess
import sys
import warnings

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
import pandas.testing as pdt  # noqa: E402

import zemba as core  # noqa: E402
import zemba.legacy as zemba  # noqa: E402
from zemba import batch  # noqa: E402

Z = batch.legacy_api()   # the original library's routines the batch features call

from conftest import ROOT  # noqa: E402

DATA = ROOT / "data" / "eeg"
FILES = sorted(DATA.glob("*.rd.*"))
FEATS = ("divergence", "band_powers", "permutation_entropy", "sample_entropy", "mean_degree")


@pytest.fixture(scope="module")
def dataset(tmp_path_factory):
    """The bundled trials in the data set's layout (<subject>/<subject>.rd.NNN),
    two of them gzipped, plus an error trial and an empty file."""
    root = tmp_path_factory.mktemp("dataset")
    for f in FILES:
        subject = f.name.split(".")[0]
        (root / subject).mkdir(exist_ok=True)
        if f.name in ("co2a0000364.rd.007", "co2c0000342.rd.004"):
            (root / subject / (f.name + ".gz")).write_bytes(gzip.compress(f.read_bytes()))
        else:
            shutil.copy(f, root / subject / f.name)
    lines = (DATA / "co2a0000364.rd.009").read_text().split("\n")
    lines[3] = "# S2 match err, trial 11"
    (root / "co2a0000364" / "co2a0000364.rd.011").write_text("\n".join(lines))
    (root / "co2c0000337" / "co2c0000337.rd.030").write_bytes(b"")
    return root


@pytest.fixture(scope="module")
def serial(dataset):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        res = batch.extract(dataset, FEATS, workers=0, progress=False)
    return res, caught


def test_serial_table_has_one_row_per_trial_and_channel_in_subject_trial_order(serial):
    t = serial[0].table
    assert len(t) == 12 * 64
    assert list(t.columns[:6]) == ["subject", "group", "condition", "trial", "file", "channel"]
    per_trial = t.drop_duplicates("file")[["subject", "trial", "file", "group", "condition"]]
    assert list(per_trial["file"]) == [
        "co2a0000364.rd.000", "co2a0000364.rd.007.gz", "co2a0000364.rd.009", "co2a0000365.rd.103",
        "co2a0000368.rd.000", "co2a0000368.rd.091", "co2c0000337.rd.000", "co2c0000337.rd.017",
        "co2c0000337.rd.021", "co2c0000340.rd.108", "co2c0000341.rd.026", "co2c0000342.rd.004.gz"]
    assert list(per_trial["trial"]) == [0, 7, 9, 103, 0, 91, 0, 17, 21, 107, 26, 4]
    assert list(per_trial["condition"]) == ["S1 obj", "S2 nomatch", "S2 match", "S2 nomatch", "S1 obj",
                                            "S2 match", "S1 obj", "S2 match", "S2 nomatch", "S2 match",
                                            "S1 obj", "S1 obj"]
    assert (per_trial["group"] == np.where(per_trial["subject"].str[3] == "a", "alcoholic", "control")).all()
    first = t[t["file"] == "co2a0000364.rd.000"]["channel"]
    assert list(first[:4]) == ["FP1", "FP2", "F7", "F8"] and list(first[-3:]) == ["CPZ", "nd", "Y"]
    assert first.iloc[31] == "X"


def test_feature_columns_equal_the_per_trial_routines(serial):
    t = serial[0].table
    trial = Z.load_trial(DATA / "co2c0000340.rd.108")
    rows = t[t["file"] == "co2c0000340.rd.108"]
    np.testing.assert_array_equal(rows["perm_entropy"], core.perm_entropy(trial.data))
    np.testing.assert_array_equal(rows["band_powers_alpha"], core.band_powers(trial.data, 256.0)["alpha"])
    np.testing.assert_array_equal(rows["div_kl"], Z.divergence_features(trial.data).kl)
    np.testing.assert_array_equal(rows["mean_degree"], Z.hva(trial.data).mean_degree)
    np.testing.assert_array_equal(rows["sample_entropy"], core.sample_entropy(trial.data))


def test_gzipped_trial_gives_the_same_values_as_its_plain_file(serial):
    t = serial[0].table
    gz = t[t["file"] == "co2a0000364.rd.007.gz"].drop(columns="file").reset_index(drop=True)
    plain = batch.extract([DATA / "co2a0000364.rd.007"], FEATS, workers=0, progress=False).table
    pdt.assert_frame_equal(gz, plain.drop(columns="file"))


def test_error_trial_and_empty_file_are_skipped_with_reasons_and_a_warning(serial):
    res, caught = serial
    reasons = {os.path.basename(s.path): s.reason for s in res.skipped}
    assert set(reasons) == {"co2a0000364.rd.011", "co2c0000337.rd.030"}
    assert "err" in reasons["co2a0000364.rd.011"]
    assert "empty" in reasons["co2c0000337.rd.030"]
    assert "co2a0000364.rd.011" not in set(res.table["file"])
    assert any("2 trial file(s) skipped" in str(w.message) for w in caught)


def test_truncated_and_missing_files_are_skipped_not_mixed_in(tmp_path):
    text = (DATA / "co2a0000364.rd.000").read_text().split("\n")
    (tmp_path / "co2a0000364.rd.001").write_text("\n".join(text[:3000]))
    with pytest.warns(UserWarning, match="skipped"):
        res = batch.extract([tmp_path / "co2a0000364.rd.001", tmp_path / "co2a0000364.rd.002",
                             DATA / "co2a0000364.rd.000"], ["permutation_entropy"], workers=0, progress=False)
    assert len(res.table) == 64
    assert sorted(os.path.basename(s.path) for s in res.skipped) == ["co2a0000364.rd.001", "co2a0000364.rd.002"]
    assert "truncated" in [s.reason for s in res.skipped if s.path.endswith("001")][0]


def test_local_worker_processes_give_the_identical_table(dataset, serial):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        res = batch.extract(dataset, FEATS, workers=2, progress=False, engine="processes")
    pdt.assert_frame_equal(res.table, serial[0].table, check_exact=True)
    assert res.skipped == serial[0].skipped
    for g in serial[0].degree_counts:
        np.testing.assert_array_equal(res.degree_counts[g], serial[0].degree_counts[g])


def test_dask_cluster_of_worker_processes_gives_the_identical_table(dataset, serial):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            res = batch.extract(dataset, FEATS, scheduler=cluster.scheduler_address, progress=False)
    pdt.assert_frame_equal(res.table, serial[0].table, check_exact=True)
    assert res.skipped == serial[0].skipped


def test_shards_partition_the_trials(serial):
    parts = [batch.extract(DATA, ["permutation_entropy"], workers=0, progress=False, shard=f"{k}/3").table
             for k in range(3)]
    files = [set(p["file"]) for p in parts]
    assert [len(f) for f in files] == [4, 4, 4]
    assert not (files[0] & files[1]) and not (files[1] & files[2]) and not (files[0] & files[2])
    merged = pd.concat(parts).sort_values(["subject", "trial", "file"], kind="stable").reset_index(drop=True)
    whole = batch.extract(DATA, ["permutation_entropy"], workers=0, progress=False).table
    pdt.assert_frame_equal(merged, whole)
    with pytest.raises(ValueError):
        batch.extract(DATA, workers=0, shard="3/3")


def test_degree_counts_cover_every_node_and_only_ends_have_degree_one(serial):
    res = serial[0]
    total = {g: int(c.sum()) for g, c in res.degree_counts.items()}
    assert total == {"alcoholic": 6 * 64 * 256, "control": 6 * 64 * 256}
    # an interior node sees both neighbours, an end node only one: degree 1 at most twice per channel
    for c in res.degree_counts.values():
        assert c[0] == 0 and c[1] <= 6 * 64 * 2


def test_channel_similarity_rows_agree_with_the_library_pair_driver():
    res = batch.extract([DATA / "co2a0000364.rd.000"], ["permutation_entropy"], workers=0, progress=False,
                        similarity="match")
    m = res.similarity["alcoholic"]
    assert m.shape == (64, 64) and np.isnan(np.diag(m)).all()
    np.testing.assert_array_equal(m, m.T)
    Z.load_alcohol([DATA / "co2a0000364.rd.000"], "o", 1)
    _, per_channel = Z.run_hvgs(64, 256)
    np.testing.assert_allclose(np.nansum(m, axis=1) / 64, per_channel, rtol=1e-12)


def test_unknown_feature_and_similarity_are_refused():
    with pytest.raises(ValueError, match="unknown feature"):
        batch.extract(DATA, ["no_such_feature"], workers=0)
    with pytest.raises(ValueError, match="similarity"):
        batch.extract(DATA, workers=0, similarity="cosine")


def test_parquet_without_an_engine_says_what_is_missing(serial, tmp_path):
    try:
        import pyarrow  # noqa: F401
        pytest.skip("a Parquet engine is installed")
    except ImportError:
        pass
    try:
        import fastparquet  # noqa: F401
        pytest.skip("a Parquet engine is installed")
    except ImportError:
        pass
    with pytest.raises(RuntimeError, match="pyarrow or fastparquet.*Debian 12"):
        batch.write_table(serial[0].table, tmp_path / "t.parquet")


def test_progress_bar_reports_trials_on_stderr_when_asked(capsys):
    batch.extract([DATA / "co2a0000364.rd.000"], ["permutation_entropy"], workers=0, progress=True)
    err = capsys.readouterr().err
    assert "1/1" in err and "trial" in err


def test_command_line_writes_the_csv_the_skipped_list_and_figures(dataset, serial, tmp_path):
    out, figs, skipped = tmp_path / "f.csv", tmp_path / "figs", tmp_path / "skipped.csv"
    proc = subprocess.run([str(ROOT / "scripts" / "zemba-batch"), str(dataset), "-o", str(out),
                           "--figures", str(figs), "--skipped", str(skipped), "-j", "2", "--no-progress",
                           "-f", ",".join(FEATS)],
                          capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr
    assert "skipped" in proc.stderr and "co2c0000337.rd.030" in proc.stderr
    table = pd.read_csv(out, dtype={"trial": "Int64"}, float_precision="round_trip")
    pdt.assert_frame_equal(table, serial[0].table, check_exact=True)
    assert len(pd.read_csv(skipped)) == 2
    for name in ("degree_distribution.png", "band_powers.png", "channel_similarity.png"):
        data = (figs / name).read_bytes()
        assert data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) > 20000


def test_command_line_refuses_parquet_clearly_when_no_engine(tmp_path):
    try:
        import pyarrow  # noqa: F401
        pytest.skip("a Parquet engine is installed")
    except ImportError:
        pass
    proc = subprocess.run([sys.executable, "-m", "zemba.batch", str(DATA / "co2a0000364.rd.000"),
                           "-f", "permutation_entropy", "-o", str(tmp_path / "t.parquet"), "-j", "0"],
                          capture_output=True, text=True, timeout=120,
                          env={**os.environ, "PYTHONPATH": str(ROOT / "python")})
    assert proc.returncode == 2 and "Parquet output needs" in proc.stderr

"""Diagnostics routing, the trial loader and the example."""
import gzip
import os
import pathlib
import shutil
import subprocess
import sys

import numpy as np
import pytest

import zemba.legacy as zemba

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT / "data" / "eeg"


@pytest.fixture(autouse=True)
def silent_afterwards():
    yield
    zemba.set_diagnostics("silent")


def test_diagnostics_are_silent_by_default(capfd):
    zemba.histogram_entropy([1, 2, 2])
    assert capfd.readouterr().out == ""
    assert zemba.last_diagnostics() == ""


def test_diagnostics_can_be_captured(capfd):
    zemba.set_diagnostics("capture")
    zemba.histogram_entropy([1, 2, 2])
    assert capfd.readouterr().out == ""
    assert zemba.last_diagnostics().startswith("ratio=")


def test_diagnostics_can_be_shown(capfd):
    zemba.set_diagnostics("show")
    zemba.histogram_entropy([1, 2, 2])
    assert "ratio=" in capfd.readouterr().out


def test_large_diagnostic_output_does_not_block():
    zemba.set_diagnostics("capture")
    zemba.degree_entropy(np.random.default_rng(1).normal(size=5000))
    assert zemba.last_diagnostics().count("d(") == 5000


def test_unknown_diagnostics_mode_is_named():
    with pytest.raises(ValueError, match="'loud'"):
        zemba.set_diagnostics("loud")


def test_trial_loads_with_names_group_and_condition():
    t = zemba.load_trial(DATA / "co2a0000364.rd.000")
    assert t.data.shape == (64, 256)
    assert t.channels[:3] == ["FP1", "FP2", "F7"] and t.channels[62] == "nd"
    assert (t.group, t.condition, t.error, t.trial) == ("a", 1, False, 0)
    assert t.data[0, 0] == -8.921 and t.data[0, 2] == -2.574


def test_conditions_and_flat_channel_of_other_trials():
    assert zemba.load_trial(DATA / "co2c0000337.rd.021").condition == 3
    t = zemba.load_trial(DATA / "co2a0000368.rd.000")
    assert t.group == "a"
    assert np.all(t.data[t.channels.index("CZ")] == 0.0)


def test_gzip_trial_equals_plain_trial(tmp_path):
    src = DATA / "co2c0000337.rd.017"
    gz = tmp_path / (src.name + ".gz")
    gz.write_bytes(gzip.compress(src.read_bytes()))
    a, b = zemba.load_trial(src), zemba.load_trial(gz)
    assert np.array_equal(a.data, b.data) and b.condition == 2 and b.group == "c"


def test_error_flag_is_read_from_line_four(tmp_path):
    text = (DATA / "co2a0000364.rd.009").read_text().replace("# S2 match , trial 9", "# S2 match err, trial 9")
    p = tmp_path / "co2a0000364.rd.009"
    p.write_text(text)
    t = zemba.load_trial(p)
    assert t.error and t.condition == 2


def test_empty_file_error_names_it(tmp_path):
    p = tmp_path / "co2c0000999.rd.001"
    p.write_text("")
    with pytest.raises(zemba.TrialFileError, match="co2c0000999.rd.001.*empty"):
        zemba.load_trial(p)


def test_truncated_file_error_names_it(tmp_path):
    lines = (DATA / "co2a0000364.rd.000").read_text().split("\n")
    p = tmp_path / "cut.rd.000"
    p.write_text("\n".join(lines[:5000]) + "\n")
    with pytest.raises(zemba.TrialFileError, match="cut.rd.000.*truncated"):
        zemba.load_trial(p)


def test_subject_folder_loads_plain_and_gzip(tmp_path):
    shutil.copy(DATA / "co2a0000364.rd.000", tmp_path)
    (tmp_path / "co2a0000364.rd.007.gz").write_bytes(gzip.compress((DATA / "co2a0000364.rd.007").read_bytes()))
    trials = zemba.load_subject(tmp_path)
    assert [t.trial for t in trials] == [0, 7] and trials[1].condition == 3


def test_raw_loader_channel_matches_trial_array():
    t = zemba.load_trial(DATA / "co2c0000342.rd.004")
    out = zemba.load_alcohol([DATA / "co2c0000342.rd.004"], option="o", select=5)
    assert out[0] == ord("c") and np.array_equal(out[2:258], t.data[4])


def test_batch_drivers_cover_loaded_channels():
    zemba.load_trial(DATA / "co2a0000364.rd.000")
    mean, per = zemba.run_hvgs(8, 256)
    assert per.shape == (8,)
    assert mean == pytest.approx(per.sum() / 2 / 7)


def test_example_runs():
    env = dict(os.environ)
    r = subprocess.run([sys.executable, str(ROOT / "python/examples/trial_features.py")],
                       capture_output=True, text=True, env=env, timeout=300)
    assert r.returncode == 0, r.stderr
    assert r.stdout.startswith("group=a condition=S1 obj channels=64")
    assert len(r.stdout.strip().split("\n")) == 4

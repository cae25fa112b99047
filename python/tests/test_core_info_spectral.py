"""Mutual information (against scikit-learn), Burg (statsmodels), band powers (scipy quad) and trial files."""
import numpy as np
import pytest

import zemba
from conftest import ROOT, DAMAGED, damaged_manifest
from reference import histogram_labels, noise

sk = pytest.importorskip("sklearn.metrics")


@pytest.mark.parametrize("bins", [16, (8, 5), 2])
def test_mutual_information_is_the_plugin_estimate_on_numpy_bins(bins):
    x = noise(4000, 1)
    y = x + noise(4000, 2)
    bx, by = (bins, bins) if isinstance(bins, int) else bins
    want = sk.mutual_info_score(histogram_labels(x, bx), histogram_labels(y, by))
    assert zemba.mutual_information(x, y, bins=bins) == pytest.approx(want, abs=1e-12)
    assert zemba.mutual_information(x * 1e-6, y * 1e-6, bins=bins) == pytest.approx(want, abs=1e-12)
    assert zemba.mutual_information(x, np.full_like(x, 3.0), bins=bins) == 0.0


def test_mutual_information_shapes_and_checks():
    x, y = noise(500, 3, (3, 2)), noise(500, 4, (3, 2))
    out = zemba.mutual_information(x, y)
    assert out.shape == (3, 2) and out[2, 1] == zemba.mutual_information(x[2, 1], y[2, 1])
    y[1, 0, 9] = np.nan
    with pytest.raises(ValueError, match=r"y\[1, 0, 9\]"):
        zemba.mutual_information(x, y)
    with pytest.raises(ValueError, match="same shape"):
        zemba.mutual_information(x, y[..., :10])
    with pytest.raises(ValueError, match="bins"):
        zemba.mutual_information(x, x, bins=0)


def test_burg_agrees_with_statsmodels():
    lm = pytest.importorskip("statsmodels.regression.linear_model")
    rng = np.random.default_rng(5)
    x = np.convolve(rng.normal(size=2000), [1, 0.8, -0.4, 0.2], mode="valid") + 3.0
    for order in (1, 4, 16):
        for demean in (True, False):
            a, v = zemba.burg(x, order, demean=demean)
            wa, wv = lm.burg(x, order, demean=demean)
            np.testing.assert_allclose(a, wa, rtol=1e-10, atol=1e-12)
            assert v == pytest.approx(wv, rel=1e-10)
    a, v = zemba.burg(noise(300, 6, (2, 3)), 5)
    assert a.shape == (2, 3, 5) and v.shape == (2, 3)


def _model_psd(a, v, sfreq, f):
    k = np.arange(1, len(a) + 1)
    den = np.abs(1 - np.exp(-2j * np.pi * np.outer(f, k) / sfreq) @ a) ** 2
    return 2 * v / sfreq / den


def test_spectrum_and_band_powers_agree_with_quadrature():
    integrate = pytest.importorskip("scipy.integrate")
    x = np.convolve(noise(1024, 7), [1, 0.9, 0.5], mode="valid")
    sfreq = 256.0
    a, v = zemba.burg(x, 16)
    f, p = zemba.burg_psd(x, sfreq, order=16)
    np.testing.assert_allclose(p, _model_psd(a, v, sfreq, f), rtol=1e-10)
    bands = {"low": (0.0, 10.0), "mid": (10.0, 60.5), "top": (100.0, 128.0)}
    got = zemba.band_powers(x, sfreq, bands=bands, order=16)
    for name, (lo, hi) in bands.items():
        want, _ = integrate.quad(lambda q: _model_psd(a, v, sfreq, np.array([q]))[0], lo, hi,
                                 epsabs=0, epsrel=1e-12, limit=500)
        assert got[name] == pytest.approx(want, rel=1e-9)
    total, _ = integrate.quad(lambda q: _model_psd(a, v, sfreq, np.array([q]))[0], 0, 128, epsrel=1e-12, limit=500)
    rel = zemba.band_powers(x, sfreq, bands=bands, order=16, relative=True)
    assert rel["low"] == pytest.approx(got["low"] / total, rel=1e-9)
    d = zemba.band_powers(noise(256, 8, (2,)), sfreq)
    assert list(d) == ["delta", "theta", "alpha", "beta", "gamma"] and d["alpha"].shape == (2,)
    with pytest.raises(ValueError, match="'high'.*Nyquist"):
        zemba.band_powers(x, 100.0, bands={"ok": (1, 50), "high": (40, 60)})


def test_read_trial_matches_the_legacy_loader_and_names_damage():
    path = ROOT / "data/eeg/co2a0000364.rd.000"
    t, old = zemba.read_trial(path), zemba.legacy.eeg.read_trial_file(path)
    np.testing.assert_array_equal(t.data, old["data"])
    assert (t.channels, t.group, t.condition, t.error, t.trial, t.subject) == \
        (old["channels"], old["group"], old["condition"], old["error"], old["trial"], old["subject"])
    for row in damaged_manifest():
        if row["loads"] == "yes":
            zemba.read_trial(DAMAGED / row["file"])
            continue
        with pytest.raises(zemba.TrialFileError) as e:
            zemba.read_trial(DAMAGED / row["file"])
        assert e.value.reason == row["reason"] and str(DAMAGED / row["file"]) in str(e.value), row["file"]
        if row["line"]:
            assert e.value.line == int(row["line"]), row["file"]
    with pytest.raises(zemba.TrialFileError, match="missing") as e:
        zemba.read_trial(ROOT / "missing.rd.000")
    assert e.value.reason == "open" and isinstance(e.value, ValueError)

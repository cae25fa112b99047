"""extract_features: layout of the table, parameters, threads, MNE input.

The features are stand-ins registered on the zemba module for the length of
a test (plain numpy statistics with a known answer), so these tests check the
table machinery whatever kernels the build carries."""
import numpy as np
import pytest

import zemba
from zemba import extract

from conftest import ROOT


def _stub_entropy(x, order=3, delay=1, normalize=False, weighted=False):
    return np.asarray(x).std(axis=-1) * order + delay


def _stub_bands(x, sfreq, bands=None, order=None, relative=False):
    x = np.asarray(x)
    return {"low": x.min(axis=-1) + sfreq, "high": x.max(axis=-1)}


@pytest.fixture
def stubs(monkeypatch):
    monkeypatch.setattr(zemba, "perm_entropy", _stub_entropy, raising=False)
    monkeypatch.setattr(zemba, "band_powers", _stub_bands, raising=False)
    return np.random.default_rng(7).standard_normal((5, 3, 64))


def test_columns_and_values_follow_the_naming_scheme(stubs):
    X = stubs
    df = extract.extract_features(X, 100.0, ["perm_entropy", "band_powers"],
                                  funcs_params={"perm_entropy__order": 4}, ch_names=["Fz", "Cz", "Pz"])
    assert list(df.columns) == ["Fz_perm_entropy", "Cz_perm_entropy", "Pz_perm_entropy",
                                "Fz_band_powers_low", "Fz_band_powers_high", "Cz_band_powers_low",
                                "Cz_band_powers_high", "Pz_band_powers_low", "Pz_band_powers_high"]
    assert df.shape == (5, 9)
    for e in range(5):
        for c, ch in enumerate(["Fz", "Cz", "Pz"]):
            s = X[e, c]
            assert df.loc[e, f"{ch}_perm_entropy"] == pytest.approx(s.std() * 4 + 1, rel=1e-12)
            assert df.loc[e, f"{ch}_band_powers_low"] == s.min() + 100.0
            assert df.loc[e, f"{ch}_band_powers_high"] == s.max()
    arr = extract.extract_features(X, 100.0, ["perm_entropy", "band_powers"],
                                   funcs_params={"perm_entropy__order": 4}, return_as_df=False)
    np.testing.assert_array_equal(arr, df.to_numpy())


def test_threads_give_the_same_table(stubs):
    X = np.random.default_rng(1).standard_normal((11, 4, 50))
    one = extract.extract_features(X, 128, ["perm_entropy", "band_powers"], n_jobs=1)
    for jobs in (2, 3, -1, 20):
        np.testing.assert_array_equal(
            extract.extract_features(X, 128, ["perm_entropy", "band_powers"], n_jobs=jobs).to_numpy(),
            one.to_numpy())


def test_mne_epochs_give_data_rate_and_names(stubs):
    mne = pytest.importorskip("mne")
    X = stubs
    info = mne.create_info(["Fz", "Cz", "Pz"], sfreq=250.0, ch_types="eeg")
    epochs = mne.EpochsArray(X, info, verbose=False)
    df = extract.extract_features(epochs, None, ["band_powers"])
    assert df.columns[0] == "Fz_band_powers_low"
    np.testing.assert_allclose(df["Pz_band_powers_low"], X[:, 2].min(axis=-1) + 250.0, rtol=1e-12)
    with pytest.raises(ValueError, match="differs"):
        extract.extract_features(epochs, 100.0, ["band_powers"])


def test_bad_requests_are_refused(stubs):
    X = stubs
    for kwargs, match in (
            (dict(selected_funcs=["no_such_feature"]), "unknown feature"),
            (dict(selected_funcs=[]), "no feature"),
            (dict(selected_funcs=["perm_entropy"], funcs_params={"perm_entropy__nope": 1}), "no parameter"),
            (dict(selected_funcs=["perm_entropy"], funcs_params={"sample_entropy__order": 1}), "selected"),
            (dict(selected_funcs=["perm_entropy"], ch_names=["a"]), "channel names")):
        with pytest.raises(ValueError, match=match):
            extract.extract_features(X, 100.0, **kwargs)
    with pytest.raises(ValueError, match="shape"):
        extract.extract_features(X[0, 0], 100.0, ["perm_entropy"])
    with pytest.raises(ValueError, match="sfreq"):
        extract.extract_features(X, 0, ["perm_entropy"])


def test_list_features_reads_defaults_and_missing_functions_are_named(stubs, monkeypatch):
    feats = extract.list_features()
    assert {"perm_entropy", "sample_entropy", "band_powers", "hvg_irreversibility", "mean_degree"} <= set(feats)
    assert feats["perm_entropy"] == dict(order=3, delay=1, normalize=False, weighted=False)
    assert feats["band_powers"] == dict(bands=None, order=None, relative=False)   # sfreq is not a parameter
    monkeypatch.delattr(zemba, "perm_entropy")
    with pytest.raises(NotImplementedError, match="zemba.perm_entropy"):
        extract.extract_features(stubs, 100.0, ["perm_entropy"])


def test_registered_feature_with_array_outputs(monkeypatch):
    monkeypatch.setitem(extract._REGISTRY, "quantiles", None)     # restored afterwards
    extract.register_feature("quantiles", lambda x, q=(0.25, 0.75): np.quantile(x, q, axis=-1).transpose(1, 2, 0),
                             outputs=["q1", "q3"])
    X = np.arange(2 * 1 * 5, dtype=float).reshape(2, 1, 5)
    df = extract.extract_features(X, 1.0, ["quantiles"], ch_names=["O1"])
    assert list(df.columns) == ["O1_quantiles_q1", "O1_quantiles_q3"]
    assert df.to_numpy().tolist() == [[1.0, 3.0], [6.0, 8.0]]
    with pytest.raises(ValueError):
        extract.register_feature("a__b", np.mean)


def test_docstring_examples_run():
    if not callable(getattr(zemba, "perm_entropy", None)) or not hasattr(zemba, "extract_features"):
        pytest.skip("top-level perm_entropy / extract_features not in this build")
    import doctest
    res = doctest.testmod(extract, raise_on_error=False)
    assert res.failed == 0


def test_div_feature_has_the_batch_and_cli_names_and_values():
    from zemba import batch
    Z = batch.legacy_api()
    t = Z.load_trial(ROOT / "data" / "eeg" / "co2c0000340.rd.108")
    X = np.stack([t.data[:4], t.data[4:8]])                 # 2 epochs x 4 channels
    df = extract.extract_features(X, 256.0, ["div"], ch_names=list(t.channels[:4]), n_jobs=2)
    assert list(df.columns[:7]) == [f"{t.channels[0]}_div_{k}" for k in
                                    ("kl", "degree_entropy", "mean_degree", "mean_backward_weight",
                                     "degree_asymmetry", "mean_m", "mean_g")]
    rows = batch.extract([ROOT / "data" / "eeg" / "co2c0000340.rd.108"], ["div"], workers=0, progress=False).table
    for e in range(2):
        for c in range(4):
            ch = t.channels[c]
            np.testing.assert_array_equal(df.loc[e, f"{ch}_div_kl"], rows["div_kl"].iloc[4 * e + c])
            np.testing.assert_array_equal(df.loc[e, f"{ch}_div_mean_g"], rows["div_mean_g"].iloc[4 * e + c])

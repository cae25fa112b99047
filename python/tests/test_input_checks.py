"""Feature inputs by class: non-finite samples and parameters, values whose
standardisation overflows, lengths beyond a routine's capacity, band limits
above the Nyquist frequency. Each is refused with a ValueError saying what."""

import numpy as np
import pytest

import zemba.legacy as zemba
from zemba.legacy.features import LIMITS

rng = np.random.default_rng(17)
X = rng.normal(size=64) * 10
COEFS, XMS = zemba.burg(X, 4)

# Every function that takes float samples, called on one series x.
SERIES = {
    "hva": lambda x: zemba.hva(x),
    "hvg_stack": lambda x: zemba.hvg_stack(x),
    "hvg_summary": lambda x: zemba.hvg_summary(x),
    "hvg_adjacency": lambda x: zemba.hvg_adjacency(x),
    "hvg_degrees": lambda x: zemba.hvg_degrees(x),
    "degree_entropy": lambda x: zemba.degree_entropy(x),
    "divergence_features": lambda x: zemba.divergence_features(x),
    "natural_visibility": lambda x: zemba.natural_visibility(x),
    "natural_visibility_rev": lambda x: zemba.natural_visibility_rev(x),
    "delay_embedding": lambda x: zemba.delay_embedding(x),
    "recurrence": lambda x: zemba.recurrence(x),
    "permutation_entropy": lambda x: zemba.permutation_entropy(x),
    "delay_permutation_entropy": lambda x: zemba.delay_permutation_entropy(x),
    "multiscale_dpe": lambda x: zemba.multiscale_dpe(x),
    "ddpe": lambda x: zemba.ddpe(x),
    "fast_dpe": lambda x: zemba.fast_dpe(x),
    "hvg_entropy": lambda x: zemba.hvg_entropy(x),
    "discretise": lambda x: zemba.discretise(x),
    "mutual_information(x)": lambda x: zemba.mutual_information(x, X),
    "mutual_information(y)": lambda x: zemba.mutual_information(X, x),
    "joint_probability": lambda x: zemba.joint_probability(x, X),
    "cross_correlation": lambda x: zemba.cross_correlation(X, x),
    "zscore": lambda x: zemba.zscore(x),
    "sample_entropy": lambda x: zemba.sample_entropy(x),
    "sampen": lambda x: zemba.sampen(x),
    "sampen2": lambda x: zemba.sampen2(x),
    "smen": lambda x: zemba.smen(x),
    "approximate_entropy": lambda x: zemba.approximate_entropy(x),
    "apen": lambda x: zemba.apen(x),
    "burg": lambda x: zemba.burg(x, 4),
    "band_powers": lambda x: zemba.band_powers(x),
    "degree_cluster_distribution(values)": lambda x: zemba.degree_cluster_distribution(np.ones(64), x),
    "degree_cluster_distribution(degrees)": lambda x: zemba.degree_cluster_distribution(x, np.ones(64)),
    "directed_features": lambda x: zemba.directed_features(x),
    "correlation": lambda x: zemba.correlation(x, np.arange(64)),
    "hvg_match": lambda x: zemba.hvg_match(x, np.arange(64)),
    "burg_spectrum(coefs)": lambda x: zemba.burg_spectrum(x[:4], XMS, 0.1),
}


@pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
@pytest.mark.parametrize("name", SERIES)
def test_non_finite_sample_is_refused_naming_its_index(name, bad):
    x = X.copy()
    x[3] = bad
    with pytest.raises(ValueError, match=r"\[3\] is (nan|inf|-inf)"):
        SERIES[name](x)


@pytest.mark.parametrize("name", ["hva", "sample_entropy", "band_powers", "permutation_entropy",
                                  "mutual_information(x)"])
def test_non_finite_sample_of_a_row_names_row_and_index(name):
    x = np.vstack([X, X, X])
    x[2, 5] = np.nan
    fn = SERIES[name]
    if name.startswith("mutual"):
        fn = lambda a: zemba.mutual_information(a, np.vstack([X, X, X]))  # noqa: E731
    with pytest.raises(ValueError, match=r"\[2, 5\] \(row 2\)"):
        fn(x)


@pytest.mark.parametrize("call, name", [
    (lambda: zemba.burg_spectrum(COEFS, np.nan, 0.1), "xms"),
    (lambda: zemba.burg_spectrum(COEFS, XMS, [0.1, np.inf]), "fdt"),
    (lambda: zemba.burg_integral(COEFS, XMS, 0.0, np.nan), "b"),
    (lambda: zemba.band_power(COEFS, XMS, np.nan, 0.2), "lo"),
    (lambda: zemba.apen(X, r=np.inf), "r"),
    (lambda: zemba.approximate_entropy(X, r=np.nan), "r"),
    (lambda: zemba.variance([1, 2, 3], mean=np.nan), "mean"),
    (lambda: zemba.hvgs([1, 2, 3], [1, 2, 3], q=np.nan, r=np.nan), "q"),
])
def test_non_finite_parameter_is_refused_by_name(call, name):
    with pytest.raises(ValueError, match=f"^{name}"):
        call()


# ---- values whose standardisation overflows ------------------------------------

@pytest.mark.parametrize("fn", [zemba.sample_entropy, zemba.sampen2, zemba.zscore, zemba.smen,
                                zemba.approximate_entropy])
def test_values_whose_squares_overflow_are_refused(fn):
    with pytest.raises(ValueError, match="overflow"):
        fn(X * 1e300)


def test_large_values_that_do_not_overflow_give_the_scale_free_result():
    # z-scores do not depend on the scale: 1e150 x the series has the same sample entropy
    assert zemba.sample_entropy(X * 1e150) == pytest.approx(zemba.sample_entropy(X), rel=1e-12)


def test_constant_series_keeps_its_documented_nan():
    assert np.isnan(zemba.sample_entropy(np.zeros(50))[1:]).all()


# ---- lengths beyond a routine's capacity -----------------------------------------

INT = {"getZEMBG_4features", "Z_HVG_Match", "Z_HVG_Match3", "Z_HVG_Match_back", "Z_HVGS"}
BY_ROUTINE = {
    "Z_HVA": zemba.hva, "Z_ZEMBA": zemba.hvg_stack, "Z_DTW": zemba.hvg_summary,
    "getHVGAdjMatrix": zemba.hvg_degrees, "getZEMBG_4features": zemba.directed_features,
    "Z_ZEMBA_Entropy": zemba.degree_entropy, "Z_ZEMBA_KLD": zemba.divergence_features,
    "getVGFast": zemba.natural_visibility, "getRevVGFast": zemba.natural_visibility_rev,
    "HVG_Entropy": zemba.hvg_entropy, "calculateMutualInformation": lambda x: zemba.mutual_information(x, x),
    "sampen_1": zemba.sample_entropy, "sampen": zemba.sampen, "sampen2": zemba.sampen2, "SmEn": zemba.smen,
    "memcof": lambda x: zemba.burg(x, 4), "memse": zemba.band_powers,
    "Z_HVG_Match": lambda x: zemba.hvg_match(x, x), "Z_HVG_Match3": lambda x: zemba.hvg_similarity(x, x),
    "Z_HVG_Match_back": lambda x: zemba.hvg_match_back(x, x), "Z_HVGS": lambda x: zemba.hvgs(x, x),
}
CAPPED = sorted(r for r in LIMITS if LIMITS[r].get("n", (None, None))[1] is not None)


def test_every_capped_routine_has_a_caller_here():
    assert set(CAPPED) == set(BY_ROUTINE)


@pytest.mark.parametrize("routine", CAPPED)
def test_one_sample_beyond_the_capacity_is_refused_naming_it(routine):
    cap = LIMITS[routine]["n"][1]
    x = np.zeros(cap + 1, dtype=np.int32) if routine in INT else np.zeros(cap + 1)
    with pytest.raises(ValueError, match=f"{cap + 1} samples, more than the capacity {cap}"):
        BY_ROUTINE[routine](x)


def test_hvg_entropy_needs_two_to_sixty_three_and_no_more_than_n():
    with pytest.raises(ValueError, match="m=1"):
        zemba.hvg_entropy(X, m=1)
    with pytest.raises(ValueError, match="at least 5 needed"):
        zemba.hvg_entropy(X[:4], m=5)


# ---- band limits above the Nyquist frequency ---------------------------------------

@pytest.mark.parametrize("fs, named", [(119.9, "gamma"), (100.0, "gamma"), (50.0, "beta.*gamma"),
                                       (20.0, "alpha.*beta.*gamma")])
def test_band_above_nyquist_is_refused_naming_it(fs, named):
    with pytest.raises(ValueError, match=f"{named}.*Nyquist"):
        zemba.band_powers(X, fs=fs)


def test_gamma_band_up_to_nyquist_is_computed():
    assert np.isfinite(zemba.band_powers(X, fs=120.0).gamma)

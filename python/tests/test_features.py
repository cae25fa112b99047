"""Features through the binding, through a raw ctypes call and from an
independent formula in the test."""
import ctypes
import itertools
import math
import threading

import numpy as np
import pytest

import zemba.legacy as zemba
from zemba.legacy import _lib

PD = ctypes.POINTER(ctypes.c_double)
PI = ctypes.POINTER(ctypes.c_int)
rng = np.random.default_rng(7)


def brute_hvg_edges(x):
    edges = []
    for j, i in itertools.combinations(range(len(x)), 2):
        if all(x[k] < x[j] and x[k] < x[i] for k in range(j + 1, i)):
            edges.append((j, i))
    return edges


def test_hva_mean_degree_matches_brute_force_edge_count_and_raw_call():
    x = rng.normal(size=60) * 10
    edges = brute_hvg_edges(x)
    expected = 2 * len(edges) / len(x)
    got = zemba.hva(x)
    out = np.zeros(4)
    raw_sum = _lib.func("Z_HVA")(x.ctypes.data_as(PD), ctypes.byref(ctypes.c_int(60)),
                                 ctypes.byref(ctypes.c_int(1)), out.ctypes.data_as(PD))
    assert got.mean_degree == pytest.approx(expected, abs=0)
    assert out[0] == got.mean_degree and raw_sum == got.degree_sum == 2 * len(edges)


def test_hva_worked_series_gives_known_degrees_and_weights():
    res, deg = zemba.hva([5, 1, 3, 2, 4], return_degrees=True)
    assert list(deg.degree) == [3, 2, 4, 2, 3]
    assert list(deg.weight) == [15, 8, 13, 5, 11]
    assert res.mean_weight == pytest.approx(10.4)


def test_stack_and_pairwise_graphs_agree_on_mean_degree():
    x = rng.normal(size=(3, 80))
    assert np.array_equal(zemba.hvg_stack(x).mean_degree, zemba.hva(x).mean_degree)


def test_adjacency_matrix_holds_exactly_the_brute_force_edges():
    x = rng.normal(size=25)
    m, dsum, _ = zemba.hvg_adjacency(x)
    want = np.zeros((25, 25), dtype=np.int32)
    for a, b in brute_hvg_edges(x):
        want[a, b] = want[b, a] = 1
    assert np.array_equal(m, want) and dsum == want.sum()


def test_degree_distribution_shares_sum_to_one():
    deg = zemba.hvg_degrees(rng.normal(size=100)).degree
    dist = zemba.degree_distribution(deg)
    assert dist.sum() == pytest.approx(1.0)
    assert dist[2] == pytest.approx(np.mean(deg == 2))


def test_directed_features_worked_series():
    assert tuple(zemba.directed_features([5, 1, 3, 2, 4])) == (14, 6, 7, 52, 32, 26)


def test_directed_features_reject_fractional_values_naming_them():
    with pytest.raises(ValueError, match="2.5"):
        zemba.directed_features([1, 2.5, 3])


def test_divergence_of_worked_series_is_log_ratio_by_hand():
    res = zemba.divergence_features([2, 0, 1, 3, 1, 4, 0])
    assert res.kl == pytest.approx(3 / 7 * math.log(2.25), rel=1e-12)


def pe_direct(x, m):
    pats = ["".join("0" if x[i + k + 1] > x[i + k] else "1" for k in range(m - 1))
            for i in range(len(x) - m + 1)]
    counts = {p: pats.count(p) for p in set(pats)}
    h = -sum(c / len(pats) * math.log(c / len(pats)) for c in counts.values())
    return h / math.log(math.factorial(m - 1))


def test_permutation_entropy_matches_direct_pattern_count_and_raw_call():
    x = rng.normal(size=200)
    m = ctypes.c_int(4)
    res = ctypes.c_double()
    _lib.func("calculatePermutationEntropy")(x.ctypes.data_as(PD), ctypes.byref(ctypes.c_int(200)),
                                             ctypes.byref(m), ctypes.byref(res))
    got = zemba.permutation_entropy(x, m=4)
    assert got == pytest.approx(pe_direct(x, 4), rel=1e-12)
    assert got == res.value and m.value == 3


def test_permutation_entropy_worked_series():
    assert zemba.permutation_entropy([1, 2, 3, 2, 1], m=3) == pytest.approx(math.log(3) / math.log(2))


def test_histogram_entropy_and_histogram_copy():
    v = np.array([0, 1, 1, 2, 2, 2, 5])
    h, hist = zemba.histogram_entropy(v, return_histogram=True)
    p = np.array([1, 2, 3, 1]) / 7
    assert h == pytest.approx(-(p * np.log(p)).sum(), rel=1e-12)
    assert list(hist) == [1, 2, 3, 0, 0, 1]


def mi_direct(x, y):
    a = np.floor(x).astype(int) - int(np.floor(x).min())
    b = np.floor(y).astype(int) - int(np.floor(y).min())
    n = len(x)
    mi = 0.0
    for (i, j) in set(zip(a, b)):
        pj = np.sum((a == i) & (b == j)) / n
        mi += pj * math.log(pj / (np.sum(a == i) / n) / (np.sum(b == j) / n))
    return mi


def test_mutual_information_matches_direct_count_and_raw_call():
    x = rng.normal(size=500) * 3
    y = x + rng.normal(size=500) * 2
    got = zemba.mutual_information(x, y)
    res = ctypes.c_double()
    xc, yc = x.copy(), y.copy()
    with zemba.LOCK:
        _lib.func("calculateMutualInformation")(xc.ctypes.data_as(PD), yc.ctypes.data_as(PD),
                                                ctypes.byref(ctypes.c_int(500)), ctypes.byref(res))
    assert got == pytest.approx(mi_direct(x, y), rel=1e-10)
    assert got == res.value


def test_joint_probability_tables_are_copies_that_sum_to_one():
    jp = zemba.joint_probability([0.5, 1.5, 2.5, 1.2], [3.0, 3.0, 4.0, 4.9])
    assert jp.first_states.tolist() == [0, 1, 2, 1]
    assert jp.joint.sum() == pytest.approx(1.0) and jp.joint.size == 6
    zemba.joint_probability([0, 0], [0, 0])
    assert jp.joint.size == 6


def spectrum(d, pm, f):
    k = np.arange(1, len(d) + 1)
    z = 1 - np.sum(d[None, :] * np.exp(1j * 2 * np.pi * np.outer(f, k)), axis=1)
    return pm / np.abs(z) ** 2


def test_band_powers_match_numerical_integration_of_model_spectrum():
    t = np.arange(256)
    x = np.sin(2 * np.pi * 10 * t / 256) * 20 + rng.normal(size=256) * 5
    bands = zemba.band_powers(x, fs=256.0)
    coefs, xms = zemba.burg(x, 16)
    for (lo, hi), got in zip(zemba.BANDS_HZ, bands):
        f = np.linspace(lo / 256, hi / 256, 20001)
        ref = 2 * np.trapz(spectrum(coefs, xms, f), f)
        assert got == pytest.approx(ref, rel=1e-4)
    assert bands.alpha == max(bands)


def test_burg_spectrum_matches_closed_form():
    coefs, xms = zemba.burg(rng.normal(size=300), 5)
    f = np.array([0.0, 0.1, 0.37, 0.5])
    assert zemba.burg_spectrum(coefs, xms, f) == pytest.approx(spectrum(coefs, xms, f), rel=1e-9)


def test_two_dimensional_input_gives_one_result_per_row():
    x = rng.normal(size=(4, 120))
    assert zemba.permutation_entropy(x, m=3).shape == (4,)
    assert zemba.sample_entropy(x, m=2).shape == (4, 3)
    assert zemba.band_powers(x).alpha.shape == (4,)
    assert zemba.hva(x).mean_degree[2] == zemba.hva(x[2]).mean_degree


def test_inputs_are_not_modified_unless_asked():
    x = rng.normal(size=200) * 5 + 3
    keep = x.copy()
    zemba.sample_entropy(x)
    zemba.sampen2(x)
    zemba.hvg_stack(x)
    zemba.multiscale_dpe(x, m=3, scale=2)
    assert np.array_equal(x, keep)
    zemba.multiscale_dpe(x, m=3, scale=2, inplace=True)
    assert np.array_equal(x[:100], keep[0::2] + keep[1::2])


def test_sample_entropy_inplace_leaves_z_scores():
    x = rng.normal(size=100) * 4 + 9
    zemba.sample_entropy(x, inplace=True)
    assert x.mean() == pytest.approx(0, abs=1e-12) and x.std() == pytest.approx(1)


def test_sample_entropy_of_alternating_series_is_zero():
    # 0,1,0,1...: every pair that matches over q points still matches over q+1
    assert zemba.sample_entropy(np.tile([0.0, 1.0], 50), m=2, r=0.2)[1:] == pytest.approx([0, 0])


@pytest.mark.parametrize("call, message", [
    (lambda: zemba.permutation_entropy(np.ones(10), m=40), "m=40"),
    (lambda: zemba.sample_entropy(np.ones(10), m=200), "m=200"),
    (lambda: zemba.hva(np.ones(12194)), "12194"),
    (lambda: zemba.band_powers(np.ones(100), fs=-1.0), "fs=-1.0"),
    (lambda: zemba.mutual_information(np.arange(100.0) * 100, np.arange(100.0)), "joint states"),
    (lambda: zemba.delay_permutation_entropy(np.ones(10), m=3, tau=0), "tau=0"),
    (lambda: zemba.burg(np.ones(50), 107), "order=107"),
])
def test_validation_messages_name_the_bad_value(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_lock_serialises_concurrent_calls():
    assert isinstance(zemba.LOCK, type(threading.RLock()))
    x = rng.normal(size=(8, 300))
    want = zemba.divergence_features(x).kl
    got = [None] * 8

    def work(i):
        got[i] = zemba.divergence_features(x[i]).kl
    threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
    [t.start() for t in threads]
    [t.join() for t in threads]
    assert np.array_equal(np.array(got), want)

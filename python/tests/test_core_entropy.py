"""Permutation, sample and approximate entropy of the core, against naive references and hand-worked values."""
import math
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import zemba
import reference as ref


@pytest.mark.parametrize("order,delay", [(3, 1), (4, 2), (5, 1)])
def test_perm_entropy_matches_the_textbook_definition(order, delay):
    x = ref.noise(300, order)
    assert zemba.perm_entropy(x, order, delay) == pytest.approx(ref.perm_entropy(x, order, delay), abs=1e-12)
    assert zemba.perm_entropy(x, order, delay, normalize=True) == pytest.approx(
        ref.perm_entropy(x, order, delay) / math.log2(math.factorial(order)), abs=1e-12)
    assert zemba.perm_entropy(x, order, delay, weighted=True) == pytest.approx(
        ref.perm_entropy(x, order, delay, weighted=True), abs=1e-12)
    ties = np.round(x)                           # ties ranked by time
    assert zemba.perm_entropy(ties, order, delay) == pytest.approx(ref.perm_entropy(ties, order, delay), abs=1e-12)


def test_multiscale_is_perm_entropy_of_the_coarse_grained_series():
    x = ref.noise(600, 7)
    got = zemba.multiscale_perm_entropy(x, scales=[1, 2, 5], order=3)
    for s, v in zip([1, 2, 5], got):
        y = x[:len(x) // s * s].reshape(-1, s).mean(axis=1)
        assert v == pytest.approx(ref.perm_entropy(y, 3, 1), abs=1e-12)
    assert zemba.multiscale_perm_entropy(ref.noise(200, 1, (2, 3))).shape == (2, 3, 10)


def test_sample_entropy_hand_worked():
    # x = 1 2 1 2 1 2 3, m = 1, r = 0.5, first 6 templates: 1 2 1 2 1 2 -> B = 3 + 3 = 6;
    # length 2: 12 21 12 21 12 23 -> A = 3 (12) + 1 (21) = 4; -ln(4/6)
    assert zemba.sample_entropy([1, 2, 1, 2, 1, 2, 3.0], order=1, tolerance=0.5) == pytest.approx(math.log(1.5))
    # 1 2 1 3: m = 1, first 3 templates 1 2 1 -> B = 1; length 2: 12 21 13 -> A = 0 -> inf
    assert zemba.sample_entropy([1, 2, 1, 3.0], order=1, tolerance=0.5) == math.inf
    # no pair at length m -> NaN
    assert math.isnan(zemba.sample_entropy([1, 2, 3, 4.0], order=1, tolerance=0.5))


@pytest.mark.parametrize("order", [1, 2, 3])
def test_sample_and_approximate_entropy_match_the_naive_count(order):
    x = ref.noise(120, 10 + order)
    r = 0.2 * x.std()
    assert zemba.sample_entropy(x, order) == pytest.approx(ref.sample_entropy(x, order, r), rel=1e-12)
    assert zemba.app_entropy(x, order) == pytest.approx(ref.app_entropy(x, order, r), rel=1e-12)
    q = np.round(x * 3)                          # many exact ties at distance r
    assert zemba.sample_entropy(q, order, tolerance=1.0) == pytest.approx(ref.sample_entropy(q, order, 1.0))
    assert zemba.app_entropy(q, order, tolerance=1.0) == pytest.approx(ref.app_entropy(q, order, 1.0))
    se, err = zemba.sample_entropy(x, order, return_se=True)
    assert se == zemba.sample_entropy(x, order) and (0 < err < 1 or se == math.inf)


def test_shapes_checks_and_threads():
    x = ref.noise(256, 3, (2, 4))
    for f in (zemba.perm_entropy, zemba.sample_entropy, zemba.app_entropy):
        out = f(x)
        assert out.shape == (2, 4)
        assert out[1, 2] == f(x[1, 2])
        bad = x.copy()
        bad[0, 3, 100] = np.nan
        with pytest.raises(ValueError, match=r"x\[0, 3, 100\]"):
            f(bad)
    with pytest.raises(ValueError, match="metric"):
        zemba.sample_entropy(x, metric="euclidean")
    with pytest.raises(ValueError, match="order"):
        zemba.perm_entropy(x, order=1)
    with pytest.raises(ValueError, match="tolerance"):
        zemba.app_entropy(x, tolerance=-1)
    rows = ref.noise(3000, 4, (6,))
    with ThreadPoolExecutor(2) as pool:
        assert list(pool.map(zemba.sample_entropy, rows)) == [zemba.sample_entropy(r) for r in rows]

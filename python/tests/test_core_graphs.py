"""Visibility graphs and irreversibility features of the core, against brute-force definitions."""
import math
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import zemba
from reference import visibility_edges, noise

SERIES = {
    "noise": noise(40, 1),
    "ties": np.round(noise(40, 2) * 2),          # many equal values and plateaus
    "collinear": np.array([0.0, 1, 2, 3, 2, 1, 1, 1, 4, 0.5, 0.25, 0.125]),
    "volts": noise(30, 3) * 1e-6,
}


@pytest.mark.parametrize("cls,natural", [(zemba.HorizontalVG, False), (zemba.NaturalVG, True)])
@pytest.mark.parametrize("name", SERIES)
def test_edges_and_degrees_equal_the_definition(cls, natural, name):
    y = SERIES[name]
    want = visibility_edges(y, natural=natural)
    g = cls().build(y)
    assert sorted(g.edges) == sorted(want)
    assert g.n_edges == len(want) and g.n_vertices == len(y)
    deg = np.zeros(len(y), int)
    left = np.zeros(len(y), int)
    for a, b in want:
        deg[a] += 1
        deg[b] += 1
        left[b] += 1
    assert g.degrees.tolist() == deg.tolist()
    assert g.degrees_in.tolist() == left.tolist()
    assert g.degrees_out.tolist() == (deg - left).tolist()
    ks, counts = g.degree_counts
    assert dict(zip(ks.tolist(), counts.tolist())) == {k: int((deg == k).sum()) for k in set(deg.tolist())}
    assert np.isclose(g.degree_distribution[1].sum(), 1.0)
    # only_degrees gives the same degrees
    assert cls().build(y, only_degrees=True).degrees.tolist() == deg.tolist()


def test_uneven_times_and_weights():
    rng = np.random.default_rng(4)
    y, t = rng.normal(size=25), np.cumsum(rng.uniform(0.1, 2.0, 25))
    want = visibility_edges(y, t, natural=True)
    g = zemba.NaturalVG(weighted="slope").build(y, xs=t)
    assert [(a, b) for a, b, _ in g.edges] and sorted((a, b) for a, b, _ in g.edges) == sorted(want)
    for a, b, w in g.edges:
        assert w == pytest.approx((y[b] - y[a]) / (t[b] - t[a]), rel=1e-12)
    d = zemba.NaturalVG(weighted="distance", min_weight=1.0, max_weight=3.0).build(y, xs=t)
    kept = [(a, b) for a, b in want if 1.0 < math.hypot(t[b] - t[a], y[b] - y[a]) < 3.0]
    assert sorted((a, b) for a, b, _ in d.edges) == sorted(kept)


def test_directions_and_adjacency():
    y = np.array([1.0, 3.0, 2.0, 2.0, 5.0])
    td = zemba.HorizontalVG(directed="top_to_bottom", weighted="v_distance").build(y)
    for a, b, w in td.edges:                       # from the higher end; the earlier of two equal ends
        assert y[a] > y[b] or (y[a] == y[b] and a < b)
        assert w == y[b] - y[a]
    lr = zemba.HorizontalVG(directed="left_to_right").build(y)
    assert all(a < b for a, b in lr.edges)
    u = zemba.HorizontalVG().build(y)
    m = u.adjacency_matrix()
    assert (m == m.T).all() and m.sum() == 2 * u.n_edges
    assert np.triu(m, 1).sum() == u.adjacency_matrix("upper").sum() == u.adjacency_matrix("lower").T.sum()
    w = zemba.HorizontalVG(weighted="abs_v_distance").build(y).adjacency_matrix(use_weights=True)
    assert np.isnan(w[0, 2]) and w[0, 1] == w[1, 0] == 2.0
    d = lr.adjacency_matrix()
    assert d.sum() == lr.n_edges and np.tril(d).sum() == 0


def test_networkx_view():
    nx = pytest.importorskip("networkx")
    y = SERIES["noise"]
    g = zemba.NaturalVG(weighted="distance").build(y).as_networkx()
    assert isinstance(g, nx.Graph) and g.number_of_edges() == len(visibility_edges(y, natural=True))
    assert isinstance(zemba.HorizontalVG(directed="left_to_right").build(y).as_networkx(), nx.DiGraph)


def test_errors():
    g = zemba.HorizontalVG()
    with pytest.raises(RuntimeError, match="not built"):
        g.degrees
    with pytest.raises(ValueError, match=r"ts\[3\]"):
        g.build([1.0, 2.0, 3.0, np.nan])
    for cls in (zemba.HorizontalVG, zemba.NaturalVG):  # the degrees-only path names the sample too
        with pytest.raises(ValueError, match=r"ts\[2\]"):
            cls().build([1.0, 2.0, np.inf, 0.0], only_degrees=True)
        with pytest.raises(ValueError, match=r"xs\[1\]"):
            cls().build([1.0, 2.0, 3.0], xs=[0.0, np.nan, 2.0], only_degrees=True)
        with pytest.raises(ValueError, match="one series"):
            cls().build(np.zeros((2, 3)), only_degrees=True)
        with pytest.raises(TypeError, match="array of numbers"):
            cls().build(["a", "b"], only_degrees=True)
        assert cls().build([], only_degrees=True).degrees.tolist() == []
    with pytest.raises(ValueError, match="weighted"):
        zemba.NaturalVG(weighted="heavy")
    with pytest.raises(ValueError, match="directed"):
        zemba.NaturalVG(directed="right_to_left")
    with pytest.raises(RuntimeError, match="only_degrees"):
        zemba.HorizontalVG().build([1.0, 2.0], only_degrees=True).edges
    assert zemba.HorizontalVG().build([]).n_edges == 0


def _irreversibility_naive(y):
    """Unweighted horizontal-graph divergence, degree entropy and mean degree from the brute-force edges."""
    n = len(y)
    db, df = np.zeros(n, int), np.zeros(n, int)
    for a, b in visibility_edges(y):
        df[a] += 1
        db[b] += 1
    hb, hf = np.bincount(db), np.bincount(df)
    div = sum(hb[d] / n * math.log(hb[d] / hf[d]) for d in range(min(len(hb), len(hf))) if hb[d] and hf[d])
    k = np.bincount(db + df)
    p = k[k > 0] / n
    return div, -(p * np.log(p)).sum(), (db + df).mean()


def test_irreversibility_and_shapes():
    x = noise(50, 5, (2, 3))
    f = zemba.hvg_irreversibility(x)
    assert set(f) == set(zemba.IRREVERSIBILITY_FEATURES) and f["divergence"].shape == (2, 3)
    for i in range(2):
        for j in range(3):
            div, ent, mean = _irreversibility_naive(x[i, j])
            assert f["divergence"][i, j] == pytest.approx(div, abs=1e-12)
            assert f["degree_entropy"][i, j] == pytest.approx(ent, abs=1e-12)
            assert f["mean_degree"][i, j] == pytest.approx(mean, abs=1e-12)
    with pytest.raises(ValueError, match=r"x\[1, 2, 7\]"):
        bad = x.copy()
        bad[1, 2, 7] = np.inf
        zemba.hvg_irreversibility(bad)


def test_threads_give_identical_results():
    x = noise(4096, 6, (8,))
    one = [zemba.hvg_irreversibility(r, weighted="abs_slope") for r in x]
    with ThreadPoolExecutor(2) as pool:
        two = list(pool.map(lambda r: zemba.hvg_irreversibility(r, weighted="abs_slope"), x))
    assert one == two


def test_only_degrees_reads_directed_degrees_of_the_series_as_built():
    y = SERIES["ties"].copy()
    g = zemba.NaturalVG().build(y, only_degrees=True)
    want = zemba.NaturalVG().build(y)
    y[:] = 0.0
    assert g.degrees_in.tolist() == want.degrees_in.tolist() and g.n_edges == want.n_edges


def test_arrays_handed_out_are_the_callers_own():
    # writing into a returned array, the first read included, leaves the graph as built
    for cls in (zemba.HorizontalVG, zemba.NaturalVG):
        for only in (True, False):
            g = cls().build(SERIES["ties"], only_degrees=only)
            first = g.degrees
            counts = lambda: [c.tolist() for c in g.degree_counts]  # noqa: E731
            want = first.tolist(), g.n_edges, g.n_vertices, counts()
            first[:] = -1
            assert g.degrees is not g.degrees
            g.degrees[:] = -1
            g.degrees_in[:] = -1
            assert (g.degrees.tolist(), g.n_edges, g.n_vertices, counts()) == want
            assert g.degrees_in.tolist() == cls().build(SERIES["ties"]).degrees_in.tolist()

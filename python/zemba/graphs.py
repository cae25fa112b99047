"""Visibility graphs (horizontal and natural) and the time-irreversibility features built on them."""
import numpy as np

from . import _core
from ._checks import choice

__all__ = ["HorizontalVG", "NaturalVG", "hvg_irreversibility", "IRREVERSIBILITY_FEATURES"]

_DIRECTIONS = {None: 0, "left_to_right": 1, "top_to_bottom": 2}
_WEIGHTS = {None: 0, "slope": 1, "abs_slope": 2, "angle": 3, "abs_angle": 4, "distance": 5,
            "sq_distance": 6, "v_distance": 7, "abs_v_distance": 8, "h_distance": 9, "abs_h_distance": 10}
_SEED_WEIGHTS = {"seed_lag_diff": 11, "seed_span": 12, "seed_diff": 13}
_TRIANGLES = ("both", "upper", "lower")


def _bound(name, value, default):
    if value is None:
        return default
    v = float(value)
    if np.isnan(v):
        raise ValueError(f"{name} must be a number, got nan")
    return v


class _VisibilityGraph:
    _kind = None

    def __init__(self, directed=None, weighted=None, min_weight=None, max_weight=None):
        self.directed, self.weighted = directed, weighted
        self._g = None
        self._plain = directed is None and weighted is None and min_weight is None and max_weight is None
        if self._plain:
            # the common graph, without the checks (they cost a third of a
            # call's own time on short series)
            self._direction = self._weight = 0
            self._lo, self._hi = -np.inf, np.inf
        else:
            self._direction = choice("directed", directed, _DIRECTIONS)
            self._weight = choice("weighted", weighted, _WEIGHTS)
            self._lo = _bound("min_weight", min_weight, -np.inf)
            self._hi = _bound("max_weight", max_weight, np.inf)
        self._args = (self._kind, self._direction, self._weight, self._lo, self._hi)

    def build(self, ts, xs=None, only_degrees=False):
        """Build the graph of the series ``ts`` (1-D; ``xs``: its sample times,
        strictly increasing, default 0, 1, 2, ...). Returns the graph itself.

        Raises ValueError for NaN or infinite samples or times (naming the
        first) and for times that do not increase."""
        args = self._args
        if only_degrees:   # degrees now; in/out degrees computed when first read, from copies
            if self._plain and xs is None:
                d, y, t = _core.vg_degrees_plain(self._kind, ts, True)
            else:
                d, y, t = _core.vg_degrees(*args, ts, xs, True)
            self._g = {"degrees": d, "unread": True, "args": args + (y, t)}
        else:
            self._g = _core.vg_graph(*args, ts, xs, False)
        return self

    def _built(self, edges=False):
        if self._g is None:
            raise RuntimeError("the graph is not built: call build(ts) first")
        if edges and "from" not in self._g:
            raise RuntimeError("the graph was built with only_degrees=True: it has no edge list")
        return self._g

    def _own_degrees(self):
        """The graph's degrees (not to be handed out): after the first read of
        ``degrees`` took the array built, made again from the graph's copy of
        the series."""
        g = self._built()
        if "degrees" not in g:
            return g["in"] + g["out"]
        if g["degrees"] is None:
            g["degrees"] = _core.vg_degrees(*g["args"], False)
        return g["degrees"]

    def _directed(self):
        g = self._built()
        if "in" not in g:
            g.update(_core.vg_graph(*g["args"], True))
        return g

    @property
    def n_vertices(self):
        """Number of vertices (samples)."""
        g = self._built()
        return len(g["args"][5] if "degrees" in g else g["in"])

    @property
    def n_edges(self):
        """Number of edges (kept by the weight bounds)."""
        return int(self._own_degrees().sum() // 2)

    @property
    def edges(self):
        """Edges as a list of (from, to) pairs, or (from, to, weight) triples for weighted graphs;
        ordered by the later vertex, then the earlier."""
        g = self._built(edges=True)
        pairs = zip(g["from"].tolist(), g["to"].tolist())
        if self._weight:
            return [(a, b, w) for (a, b), w in zip(pairs, g["weights"].tolist())]
        return list(pairs)

    @property
    def weights(self):
        """Weight of each edge, in the order of ``edges`` (1.0 for unweighted graphs)."""
        return self._built(edges=True)["weights"].copy()

    @property
    def degrees(self):
        """Degree of each vertex (int64 array)."""
        g = self._g
        if g is not None and g.pop("unread", False):
            # a new array on every read: the first takes the one built (the
            # common single read makes no copy)
            d, g["degrees"] = g["degrees"], None
            return d
        d = self._own_degrees()
        return d if "degrees" not in self._g else d.copy()

    @property
    def degrees_in(self):
        """In-degrees; for an undirected graph the number of neighbours to the left."""
        return self._directed()["in"].copy()

    @property
    def degrees_out(self):
        """Out-degrees; for an undirected graph the number of neighbours to the right."""
        return self._directed()["out"].copy()

    @property
    def degree_counts(self):
        """(ks, counts): the degrees present, ascending, and how many vertices have each."""
        d = self._own_degrees()
        counts = np.bincount(d) if len(d) else np.zeros(0, dtype=np.int64)
        ks = np.flatnonzero(counts)
        return ks, counts[ks]

    @property
    def degree_distribution(self):
        """(ks, ps): the degrees present and their share of the vertices."""
        ks, counts = self.degree_counts
        return ks, counts / max(self.n_vertices, 1)

    def adjacency_matrix(self, triangle="both", use_weights=False, no_weight_value=np.nan):
        """n x n adjacency matrix. Undirected graphs fill both cells of an edge
        (``triangle='both'``) or only the upper (row < column) or lower one;
        directed graphs fill [from, to]. Unweighted: 1 for an edge, 0 elsewhere;
        ``use_weights=True``: the edge's weight, ``no_weight_value`` elsewhere."""
        if triangle not in _TRIANGLES:
            raise ValueError(f"triangle must be one of 'both', 'upper', 'lower'; got {triangle!r}")
        g = self._built(edges=True)
        n = self.n_vertices
        if use_weights:
            a, vals = np.full((n, n), no_weight_value, dtype=float), g["weights"]
        else:
            a, vals = np.zeros((n, n), dtype=np.int64), 1
        f, t = g["from"], g["to"]
        if self._direction:
            a[f, t] = vals
            return a
        lo, hi = np.minimum(f, t), np.maximum(f, t)
        if triangle in ("both", "upper"):
            a[lo, hi] = vals
        if triangle in ("both", "lower"):
            a[hi, lo] = vals
        return a

    def as_networkx(self):
        """The graph as a networkx Graph (DiGraph when directed); edges carry ``weight``."""
        import networkx as nx
        g = self._built(edges=True)
        out = nx.DiGraph() if self._direction else nx.Graph()
        out.add_nodes_from(range(self.n_vertices))
        if self._weight:
            out.add_weighted_edges_from(zip(g["from"].tolist(), g["to"].tolist(), g["weights"].tolist()))
        else:
            out.add_edges_from(zip(g["from"].tolist(), g["to"].tolist()))
        return out

    def __repr__(self):
        state = f"n_vertices={self.n_vertices}" if self._g is not None else "not built"
        return (f"{type(self).__name__}(directed={self.directed!r}, weighted={self.weighted!r}) "
                f"[{state}]")


class HorizontalVG(_VisibilityGraph):
    """Horizontal visibility graph.

    Samples a < b see each other when every sample strictly between them is
    strictly lower than both ends (a sample equal to either end blocks the
    edge); neighbours always see each other. Built in O(n) time.

    Parameters
    ----------
    directed : {None, 'left_to_right', 'top_to_bottom'}
        None: undirected (edges listed earlier vertex first; ``degrees_in`` /
        ``degrees_out`` count the neighbours to the left / right).
        'left_to_right': from the earlier vertex to the later. 'top_to_bottom':
        from the higher end to the lower, and from the earlier of two equal ends.
    weighted : {None, 'slope', 'abs_slope', 'angle', 'abs_angle', 'distance', \
'sq_distance', 'v_distance', 'abs_v_distance', 'h_distance', 'abs_h_distance'}
        Weight of the edge as listed, from f to g with dy = y[g] - y[f],
        dt = t[g] - t[f]: dy/dt, |dy/dt|, atan(dy/dt), |atan(dy/dt)| (radians),
        sqrt(dt^2 + dy^2), dt^2 + dy^2, dy, |dy|, dt, |dt|.
    min_weight, max_weight : float, optional
        Exclusive bounds: a weighted graph keeps the edges with
        min_weight < weight < max_weight.

    Notes
    -----
    Degrees, edges and weights equal the brute-force definition on every
    input, ties and plateaus included. Properties read before ``build`` raise
    RuntimeError saying the graph is not built.

    References
    ----------
    B. Luque, L. Lacasa, F. Ballesteros, J. Luque, "Horizontal visibility
    graphs: exact results for random time series", Phys. Rev. E 80, 046103 (2009).

    Examples
    --------
    >>> import zemba
    >>> g = zemba.HorizontalVG().build([3.0, 1.0, 2.0, 4.0])
    >>> g.edges
    [(0, 1), (0, 2), (1, 2), (0, 3), (2, 3)]
    >>> g.degrees.tolist()
    [3, 2, 3, 2]
    """
    _kind = 0


class NaturalVG(_VisibilityGraph):
    """Natural visibility graph.

    Samples a < b see each other when every sample k strictly between lies
    strictly below the straight line through (t[a], y[a]) and (t[b], y[b]);
    a sample exactly on the line blocks the edge. Parameters as for
    :class:`HorizontalVG`.

    Notes
    -----
    The comparison is decided exactly on the stored doubles, with no
    tolerance, at any scale (volts or microvolts give the same graph).
    Packages that compare slopes with a tolerance (e.g. 1e-14 times the
    largest coordinate) build a different graph on nearly collinear or
    volt-scale data. Built by divide and conquer at the maxima, without an
    n x n matrix.

    References
    ----------
    L. Lacasa, B. Luque, F. Ballesteros, J. Luque, J. C. Nuno, "From time
    series to complex networks: the visibility graph", PNAS 105, 4972 (2008).
    X. Lan, H. Mo, S. Chen, Q. Liu, Y. Deng, "Fast transformation from time
    series to visibility graphs", Chaos 25, 083105 (2015).

    Examples
    --------
    >>> import zemba
    >>> g = zemba.NaturalVG(weighted='v_distance').build([1.0, 2.0, 3.0])
    >>> g.edges   # the middle sample lies on the line and blocks 0 - 2
    [(0, 1, 1.0), (1, 2, 1.0)]
    """
    _kind = 1


IRREVERSIBILITY_FEATURES = ("divergence", "degree_entropy", "mean_degree", "mean_backward_weight",
                            "degree_asymmetry", "mean_m", "mean_g")


def hvg_irreversibility(x, weighted=None, min_weight=None, max_weight=None, natural=False):
    """Backward/forward (time-irreversibility) features of the visibility graph.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
        One series or an array of series.
    weighted : str or None
        Edge weight, one of the names of :class:`HorizontalVG` or the original
        interface's integer weights 'seed_span' (|trunc((y[b]-y[a]) d)| + 1),
        'seed_lag_diff' and 'seed_diff'. None: every weight is 1.
    min_weight, max_weight : float, optional
        Exclusive weight bounds (weighted graphs only).
    natural : bool
        Use the natural instead of the horizontal visibility graph.

    Returns
    -------
    dict
        Feature name -> float (1-D input) or array of shape (...):
        'divergence', 'degree_entropy', 'mean_degree', 'mean_backward_weight',
        'degree_asymmetry', 'mean_m', 'mean_g'.

    Notes
    -----
    On the left-to-right graph, with db, df the backward and forward degrees
    and Hb, Hf their histograms: divergence = sum over degrees d in both of
    (Hb[d]/n) ln(Hb[d]/Hf[d]) (nats); degree entropy of db + df (nats); mean
    degree; mean backward weight sum wb / n; degree asymmetry
    sqrt(sum |db - df| / n); mean M and mean G as the original interface's
    divergence routine defines them (see ``zemba/core/graphs.h``).

    References
    ----------
    L. Lacasa, A. Nunez, E. Roldan, J. M. R. Parrondo, B. Luque, "Time series
    irreversibility: a visibility graph approach", Eur. Phys. J. B 85, 217 (2012).

    Examples
    --------
    >>> import zemba
    >>> f = zemba.hvg_irreversibility([3.0, 1.0, 2.0, 4.0])
    >>> f["mean_degree"]
    2.5
    """
    names = dict(_WEIGHTS, **_SEED_WEIGHTS)
    w = choice("weighted", weighted, names)
    out = _core.vg_irreversibility(x, 1 if natural else 0, w, _bound("min_weight", min_weight, -np.inf),
                                   _bound("max_weight", max_weight, np.inf))
    if out.ndim == 1:
        return {k: float(v) for k, v in zip(IRREVERSIBILITY_FEATURES, out)}
    return {k: out[..., i] for i, k in enumerate(IRREVERSIBILITY_FEATURES)}

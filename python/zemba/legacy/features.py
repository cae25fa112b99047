"""Feature functions over libzemba: visibility graphs, entropies, information,
regularity and spectral estimates.

Conventions: natural logarithms (results in nats), population moments (sums
divided by n). Every feature function takes a 1-D series or a 2-D array
(channels x samples, or epochs x samples) and returns one result per row.
The library routine always receives a private copy of the data unless the
caller passes ``inplace=True`` where a routine rewrites its input.
"""
import ctypes
import math
from collections import namedtuple

import numpy as np

from . import _lib
from ._lib import calling, func, buffer, node_records, NODE_CAP, SERIES_CAP

_cd, _ci = ctypes.c_double, ctypes.c_int
_PD = ctypes.POINTER(ctypes.c_double)
_PI = ctypes.POINTER(ctypes.c_int)

HVA = namedtuple("HVA", "mean_degree mean_weight share_degree2 cost degree_sum")
HVGStack = namedtuple("HVGStack", "mean_degree mean_weight share_degree2 cost share_degree3 "
                                  "share_degree4 degree_sum")
HVGSummary = namedtuple("HVGSummary", "mean_degree mean_weight share_degree2 cost")
Degrees = namedtuple("Degrees", "degree weight")
DirectedFeatures = namedtuple("DirectedFeatures", "degree_sum degree_imbalance edges weight_sum2 "
                                                  "weight_imbalance weight_sum")
Divergence = namedtuple("Divergence", "kl degree_entropy mean_degree mean_backward_weight "
                                      "degree_asymmetry mean_m mean_g")
NaturalVG = namedtuple("NaturalVG", "degree weight degree_sum")
NaturalVGAdjacency = namedtuple("NaturalVGAdjacency", "adjacency degree_sum entropy_x10000 weight_sum")
Recurrence = namedtuple("Recurrence", "distances summary vectors")
HVGEntropy = namedtuple("HVGEntropy", "mean_degree mean_strength pattern_entropy")
JointProbability = namedtuple("JointProbability", "joint first second joint_counts first_counts "
                                                  "second_counts first_states second_states")
Burg = namedtuple("Burg", "coefs xms")
BandPowers = namedtuple("BandPowers", "delta theta alpha beta gamma")
SampEn2 = namedtuple("SampEn2", "entropy stderr")
Match = namedtuple("Match", "score shift")
MatchBack = namedtuple("MatchBack", "correlation lag dmin shift")
HVGS = namedtuple("HVGS", "result span_a span_b start_minus_end")
Covariance = namedtuple("Covariance", "covariance mean_x mean_y")

BANDS_HZ = ((0.53, 4.0), (4.0, 8.0), (8.0, 13.0), (13.0, 30.0), (30.0, 60.0))


# ---- limits ----------------------------------------------------------------
# Inclusive limits of the routines (include/zemba.h, docs/capacities.md), as the
# functions here accept them: "n" counts samples per row; the other keys are
# parameters or derived sizes. Beyond them a routine returns a sentinel or
# writes nothing, so every function refuses such input with a ValueError that
# names the limit. None: no limit on that side.
MI_CAP = 4096
LIMITS = {
    "Z_HVA": {"n": (1, SERIES_CAP)},
    "Z_ZEMBA": {"n": (1, SERIES_CAP)},
    "Z_DTW": {"n": (1, NODE_CAP)},
    "getHVGAdjMatrix": {"n": (1, SERIES_CAP)},
    "getZEMBG_4features": {"n": (1, SERIES_CAP)},
    "Z_ZEMBA_Entropy": {"n": (1, NODE_CAP)},
    "Z_ZEMBA_KLD": {"n": (1, SERIES_CAP)},
    "getVGFast": {"n": (1, SERIES_CAP), "tau": (1, None)},
    "getRevVGFast": {"n": (1, NODE_CAP), "tau": (1, None)},
    "getRecurrenceMatrix": {"n": (1, None), "m": (1, NODE_CAP), "tau": (1, None), "vectors": (1, NODE_CAP)},
    "getDegreeDistribute_int": {"n": (1, None), "max_degree": (0, None)},
    "getDegreeClusterDistribute": {"n": (1, None), "max_degree": (0, None)},
    "calculateEntropy": {"n": (1, None), "value": (0, SERIES_CAP)},
    "calculatePermutationEntropy": {"m": (2, 13)},
    "calculateDelayPermutationEntropy": {"n": (1, None), "m": (2, 64), "tau": (1, None)},
    "MultiScale_DPE": {"n": (1, None), "m": (2, 64), "tau": (1, None), "scale": (1, None)},
    "DDPE": {"n": (1, None), "m": (2, 64), "tau": (1, None)},
    "FastDPE": {"m": (2, 9), "tau": (1, None), "windows": (None, 3628800)},
    "HVG_Entropy": {"n": (1, SERIES_CAP), "m": (2, 63), "tau": (1, None)},
    "normaliseArray": {"n": (1, None)},
    "calculateMutualInformation": {"n": (1, MI_CAP), "joint_states": (1, MI_CAP)},
    "Calculate_Correlation": {"n": (1, None)},
    "Calculate_Correlation_double": {"n": (1, None)},
    "normalize": {"n": (1, None)},
    "sampen_1": {"n": (2, SERIES_CAP), "m": (0, 127)},
    "sampen": {"n": (2, SERIES_CAP), "m": (0, 127)},
    "sampen2": {"n": (2, SERIES_CAP), "m": (0, 127), "run_cells": (None, 2 * SERIES_CAP),
                "covariance_cells": (None, SERIES_CAP)},
    "SmEn": {"n": (2, SERIES_CAP), "m": (0, 127)},
    "AppEn1": {"n": (1, None), "m": (0, None)},
    "ApEn": {"n": (1, None), "m": (0, None)},
    "memcof": {"n": (2, NODE_CAP), "order": (1, 106)},
    "memse": {"n": (2, 11342)},        # model order trunc(sqrt(n) + 0.5) <= 106
    "Z_HVG_Match": {"n": (2, NODE_CAP)},
    "Z_HVG_Match3": {"n": (2, NODE_CAP)},
    "Z_HVG_Match_back": {"n": (2, 6097)},
    "Z_HVGS": {"n": (2, NODE_CAP)},
}


def _limit(routine, key, value, name=None):
    """value checked against LIMITS[routine][key]; ValueError naming the limit."""
    lo, hi = LIMITS[routine][key]
    name = name or key
    if key == "n":
        if lo is not None and value < lo:
            raise ValueError(f"{name} has {value} samples, at least {lo} needed")
        if hi is not None and value > hi:
            raise ValueError(f"{name} has {value} samples, more than the capacity {hi} of {routine}")
    else:
        if lo is not None and value < lo:
            raise ValueError(f"{name}={value} is below the smallest allowed value {lo}")
        if hi is not None and value > hi:
            raise ValueError(f"{name}={value} is above the largest allowed value {hi} ({routine})")
    return value


def _param(routine, name, value):
    """An integer parameter checked against LIMITS[routine][name]."""
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        raise ValueError(f"{name} must be an integer, got {value!r}")
    return _limit(routine, name, int(value))


# ---- input checks ----------------------------------------------------------

def _finite(a, name):
    """ValueError naming the first non-finite value of a (1-D: index; 2-D: row
    and index). Every feature function passes its input through here: NaN or
    infinite samples would otherwise give finite-looking numbers."""
    a = np.asarray(a)
    if a.dtype.kind not in "fc":
        return
    bad = ~np.isfinite(a)
    if bad.any():
        idx = tuple(int(i) for i in np.argwhere(bad)[0])
        where = f"{name}[{idx[0]}]" if a.ndim <= 1 else f"{name}[{', '.join(map(str, idx))}] (row {idx[0]})"
        if a.ndim == 0:
            where = name
        raise ValueError(f"{where} is {a[idx] if a.ndim else a.item()}: non-finite input is refused")


def _scalar(value, name):
    """A finite float parameter."""
    try:
        v = float(value)
    except (TypeError, ValueError):
        raise ValueError(f"{name} must be a number, got {value!r}") from None
    if not math.isfinite(v):
        raise ValueError(f"{name}={value!r} is not finite")
    return v


def _moments(r, name):
    """Sum of squared deviations of a row, computed as the library does
    (sequential sums); ValueError when it or the mean overflows, which would
    make the standard deviation infinite and every z-score 0."""
    with np.errstate(over="ignore", invalid="ignore"):
        mean = np.cumsum(r)[-1] / r.size
        sq = np.cumsum((r - mean) * (r - mean))[-1]
    if not (np.isfinite(mean) and np.isfinite(sq)):
        raise ValueError(f"{name}: values up to {np.abs(r).max():.3g} overflow its standardisation (the sum of "
                         "squared deviations exceeds the double range); rescale the series")
    return sq


def _pd(a):
    return a.ctypes.data_as(_PD)


def _pi(a):
    return a.ctypes.data_as(_PI)


def _rows(x, name="x", dtype=np.float64, min_len=None, max_len=None, routine=None):
    """(list of contiguous private row copies, was_1d). Lengths are checked
    against LIMITS[routine]["n"] (or min_len/max_len), values for finiteness."""
    a = np.asarray(x)
    if a.ndim not in (1, 2):
        raise ValueError(f"{name} must be 1-D (samples) or 2-D (rows x samples), got {a.ndim}-D")
    one = a.ndim == 1
    a2 = a[None, :] if one else a
    n = a2.shape[1]
    lo, hi = LIMITS[routine]["n"] if routine else (1, None)
    lo = min_len if min_len is not None else lo
    hi = max_len if max_len is not None else hi
    if lo is not None and n < lo:
        raise ValueError(f"{name} has {n} samples, at least {lo} needed")
    if hi is not None and n > hi:
        raise ValueError(f"{name} has {n} samples, more than the capacity {hi}"
                         + (f" of {routine}" if routine else ""))
    if a.dtype.kind not in "iub":
        if a.dtype.kind not in "fc":
            try:
                a = np.asarray(a, dtype=np.float64)
            except (TypeError, ValueError):
                raise ValueError(f"{name} must hold numbers") from None
        _finite(a, name)
        a2 = a[None, :] if one else a
    if np.dtype(dtype) == np.int32:
        rows = [_as_int32(r, name) for r in a2]
    else:
        rows = [np.array(r, dtype=np.float64, order="C", copy=True) for r in a2]
    return rows, one


def _as_int32(r, name):
    r = np.asarray(r)
    if r.dtype.kind in "iub":
        if r.size and (r.min() < -2**31 or r.max() > 2**31 - 1):
            raise ValueError(f"{name} holds a value outside 32-bit integers: {r.max() if r.max() > 2**31 - 1 else r.min()}")
        return np.array(r, dtype=np.int32, order="C", copy=True)
    rf = np.asarray(r, dtype=np.float64)
    bad = ~np.isfinite(rf) | (rf != np.trunc(rf)) | (np.abs(rf) > 2**31 - 1)
    if bad.any():
        raise ValueError(f"{name} must hold 32-bit integers; bad value {rf[bad][0]!r}")
    return rf.astype(np.int32)


def _collect(results, one):
    if one:
        return results[0]
    first = results[0]
    if isinstance(first, tuple) and hasattr(first, "_fields"):
        return type(first)(*[np.array(col) for col in zip(*results)])
    return np.array(results)


def _pair(x, y, dtype=np.float64, routine=None, names=("x", "y")):
    xs, one = _rows(x, names[0], dtype, routine=routine)
    ys, one_y = _rows(y, names[1], dtype, routine=routine)
    if len(xs) != len(ys) or xs[0].size != ys[0].size:
        raise ValueError(f"x and y differ in shape: {np.shape(x)} vs {np.shape(y)}")
    return xs, ys, one and one_y


# ---- horizontal visibility graphs ------------------------------------------

def hva(x, inverted=False, return_degrees=False):
    """Horizontal visibility graph by the direct pair test.

    Returns HVA(mean_degree, mean_weight, share_degree2, cost, degree_sum);
    edge weight |trunc(x[j]-x[i])|*(i-j)+1. ``inverted=True`` uses the ridge
    criterion. With ``return_degrees`` also a Degrees(degree, weight) copy of
    the per-node table (outSets)."""
    rows, one = _rows(x, routine="Z_HVA")
    res, degs = [], []
    crit = ctypes.c_int(3 if inverted else 1)
    for r in rows:
        out = np.zeros(4)
        with calling():
            s = func("Z_HVA")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(crit), _pd(out))
            if return_degrees:
                degs.append(Degrees(*node_records("outSets", r.size)))
        res.append(HVA(*out, s))
    out = _collect(res, one)
    return (out, _collect(degs, one) if one else degs) if return_degrees else out


def hvg_stack(x, return_degrees=False):
    """Horizontal visibility graph by the linear-time stack method (ordinary criterion).

    Returns HVGStack(mean_degree, mean_weight, share_degree2, cost,
    share_degree3, share_degree4, degree_sum). The routine may rescale the
    series it is given, so it always receives a copy."""
    rows, one = _rows(x, routine="Z_ZEMBA")
    res, degs = [], []
    for r in rows:
        out = np.zeros(6)
        with calling():
            s = func("Z_ZEMBA")(_pd(r), ctypes.byref(_ci(r.size)), _pd(out))
            if return_degrees:
                degs.append(Degrees(*node_records("outSets", r.size)))
        res.append(HVGStack(*out, s))
    out = _collect(res, one)
    return (out, degs[0] if one else degs) if return_degrees else out


def hvg_summary(x):
    """The four per-node averages of the pairwise horizontal visibility graph
    (mean degree, mean truncated weight, share of degree 2, cost per node)."""
    rows, one = _rows(x, routine="Z_DTW")
    res = []
    for r in rows:
        out = np.zeros(4)
        with calling():
            func("Z_DTW")(_pd(r), None, ctypes.byref(_ci(r.size)), _pd(out))
        res.append(HVGSummary(*out))
    return _collect(res, one)


def hvg_adjacency(x, inverted=False):
    """0/1 adjacency matrix (int32, n x n) of the stack-built horizontal
    visibility graph. The degree sum and truncated weight sum that the routine
    stores on the diagonal are returned separately: (matrix, degree_sum, weight_sum);
    the returned matrix has a zero diagonal."""
    rows, one = _rows(x, routine="getHVGAdjMatrix")
    res = []
    mode = ctypes.c_int(3 if inverted else 1)
    for r in rows:
        n = r.size
        out = np.zeros(max(n * n, n + 2, 3), dtype=np.int32)
        with calling():
            func("getHVGAdjMatrix")(_pd(r), ctypes.byref(_ci(n)), ctypes.byref(mode), _pi(out))
        dsum, wsum = int(out[0]), int(out[n + 1])
        m = out[: n * n].reshape(n, n).copy()
        np.fill_diagonal(m, 0)
        res.append((m, dsum, wsum))
    return res[0] if one else res


def hvg_degrees(x, inverted=False):
    """Degree and truncated-weight sequences of the stack-built horizontal
    visibility graph (weight |trunc((x[b]-x[l])*(b-l))|+1): Degrees(degree, weight)."""
    rows, one = _rows(x, routine="getHVGAdjMatrix")
    res = []
    mode = ctypes.c_int(4 if inverted else 2)
    for r in rows:
        n = r.size
        out = np.zeros(2 * n, dtype=np.int32)
        with calling():
            func("getHVGAdjMatrix")(_pd(r), ctypes.byref(_ci(n)), ctypes.byref(mode), _pi(out))
        res.append(Degrees(out[:n].copy(), out[n:].copy()))
    return _collect(res, one)


def degree_distribution(degrees, max_degree=None, weights=None):
    """Share of nodes per degree 0..max_degree (or, with ``weights``, the
    weight sum per degree divided by n). Degrees above max_degree are left out."""
    seqs, one = _rows(degrees, "degrees", np.int32, routine="getDegreeDistribute_int")
    if weights is not None:
        ws, _ = _rows(weights, "weights", np.int32, routine="getDegreeDistribute_int")
        if len(ws) != len(seqs) or ws[0].size != seqs[0].size:
            raise ValueError("weights must have the shape of degrees")
    if max_degree is None:
        max_degree = int(max(s.max() for s in seqs))
    k = _param("getDegreeDistribute_int", "max_degree", max_degree)
    res = []
    for idx, s in enumerate(seqs):
        if s.min() < 0:
            raise ValueError(f"degrees holds a negative value: {int(s.min())}")
        seq = s if weights is None else np.concatenate([s, ws[idx]])
        dist = np.zeros(k + 1)
        with calling():
            func("getDegreeDistribute_int")(_pi(seq), ctypes.byref(_ci(s.size)), ctypes.byref(_ci(k)),
                                           ctypes.byref(_ci(1 if weights is None else 2)), _pd(dist))
        res.append(dist)
    return _collect(res, one)


def degree_cluster_distribution(degrees, values, max_degree=None):
    """Sum of ``values`` per degree class trunc(degree), 0..max_degree (not divided)."""
    ds, one = _rows(degrees, "degrees", routine="getDegreeClusterDistribute")
    vs, _ = _rows(values, "values", routine="getDegreeClusterDistribute")
    if len(ds) != len(vs) or ds[0].size != vs[0].size:
        raise ValueError("values must have the shape of degrees")
    if max_degree is None:
        max_degree = int(max(np.trunc(d).max() for d in ds))
    k = _param("getDegreeClusterDistribute", "max_degree", max_degree)
    res = []
    for d, v in zip(ds, vs):
        t = np.trunc(d)
        if t.min() < 0:
            raise ValueError(f"degrees must be >= 0, got {d[t < 0][0]!r}")
        keep = t <= k
        dist = np.zeros(k + 1)
        dd, vv = np.ascontiguousarray(d[keep]), np.ascontiguousarray(v[keep])
        with calling():
            func("getDegreeClusterDistribute")(_pd(dd), _pd(vv), ctypes.byref(_ci(dd.size)),
                                               ctypes.byref(_ci(k)), ctypes.byref(_ci(1)), _pd(dist))
        res.append(dist)
    return _collect(res, one)


def directed_features(x):
    """Six directed sums of the horizontal visibility graph of an integer series
    (weight |(x[b]-x[a])*(b-a)|+1): DirectedFeatures(degree_sum,
    degree_imbalance, edges, weight_sum2, weight_imbalance, weight_sum)."""
    rows, one = _rows(x, dtype=np.int32, routine="getZEMBG_4features")
    res = []
    for r in rows:
        out = np.zeros(6)
        with calling():
            func("getZEMBG_4features")(_pi(r), r.size, _pd(out))
        res.append(DirectedFeatures(*out))
    return _collect(res, one)


def degree_entropy(x, inverted=False):
    """Histogram entropy (nats) of the degree sequence of the pairwise-built
    horizontal visibility graph."""
    rows, one = _rows(x, routine="Z_ZEMBA_Entropy")
    res = []
    for r in rows:
        with calling():
            res.append(func("Z_ZEMBA_Entropy")(_pd(r), 3 if inverted else 1, r.size))
    return _collect(res, one)


def divergence_features(x):
    """Backward/forward divergence features of the directed horizontal
    visibility graph: Divergence(kl, degree_entropy, mean_degree,
    mean_backward_weight, degree_asymmetry, mean_m, mean_g); kl in nats."""
    rows, one = _rows(x, routine="Z_ZEMBA_KLD")
    res = []
    for r in rows:
        out = np.zeros(7)
        with calling():
            func("Z_ZEMBA_KLD")(_pd(r), ctypes.byref(_ci(r.size)), _pd(out))
        res.append(Divergence(*out))
    return _collect(res, one)


def _nvg(name, x, tau, adjacency):
    tau = _param(name, "tau", tau)
    rows, one = _rows(x, routine=name)
    res = []
    for r in rows:
        n = r.size
        if adjacency:
            out = np.zeros(max(n * n, 2 * n + 3), dtype=np.int32)
        else:
            out = np.zeros(2 * n + 1, dtype=np.int32)
        with calling():
            s = func(name)(_pd(r), ctypes.byref(_ci(n)), ctypes.byref(_ci(1 if adjacency else 2)),
                           ctypes.byref(_ci(tau)), _pi(out))
        if adjacency:
            m = out[: n * n].reshape(n, n).copy()
            diag = [int(out[k * (n + 1)]) if k * (n + 1) < out.size else 0 for k in range(3)]
            np.fill_diagonal(m, 0)
            if name == "getVGFast":
                res.append(NaturalVGAdjacency(m, diag[0], diag[1], diag[2]))
            else:
                res.append(NaturalVGAdjacency(m, diag[0], None, diag[1]))
        else:
            weight = out[n:2 * n].copy() if name == "getVGFast" else None
            res.append(NaturalVG(out[:n].copy(), weight, s))
    return res[0] if one else res


def natural_visibility(x, tau=1, adjacency=False):
    """Natural visibility graph on a lag lattice (samples tau apart).

    Sequences: NaturalVG(degree, weight, degree_sum). With ``adjacency``:
    NaturalVGAdjacency(matrix, degree_sum, entropy_x10000, weight_sum)
    (entropy of the degree sequence in nats, times 10000, truncated)."""
    return _nvg("getVGFast", x, tau, adjacency)


def natural_visibility_rev(x, tau=1, adjacency=False):
    """The same graph as natural_visibility, reported by the second builder:
    degrees only (weight None), or the adjacency with degree and weight sums."""
    return _nvg("getRevVGFast", x, tau, adjacency)


def _vector_count(n, m, tau):
    """Number of delay vectors of an n-sample series, checked against SlopMatrix."""
    nv = n - m * tau + 1
    lo, hi = LIMITS["getRecurrenceMatrix"]["vectors"]
    if nv < lo or nv > hi:
        raise ValueError(f"n={n}, m={m}, tau={tau} give {nv} delay vectors (1..{NODE_CAP} allowed)")
    return nv


def delay_embedding(x, m=2, tau=1):
    """Delay vectors (N x m, N = n - m*tau + 1) as laid out in SlopMatrix."""
    m = _param("getRecurrenceMatrix", "m", m)
    tau = _param("getRecurrenceMatrix", "tau", tau)
    rows, one = _rows(x, routine="getRecurrenceMatrix")
    res = []
    for r in rows:
        nv = _vector_count(r.size, m, tau)
        with calling():
            N = func("getRecurrenceMatrix")(_pd(r), r.size, m, tau)
            res.append(buffer("SlopMatrix", np.float64, (NODE_CAP, NODE_CAP))[:N, :m].copy())
    return res[0] if one else res


def recurrence(x, m=2, tau=1):
    """Euclidean distances between delay vectors: Recurrence(distances (N x N,
    zero diagonal), summary = 1 + half the mean pairwise distance, vectors)."""
    m = _param("getRecurrenceMatrix", "m", m)
    tau = _param("getRecurrenceMatrix", "tau", tau)
    rows, one = _rows(x, routine="getRecurrenceMatrix")
    res = []
    for r in rows:
        nv = _vector_count(r.size, m, tau)
        out = np.zeros(nv * nv)
        with calling():
            func("getRecurrenceAdj")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(m)),
                                     ctypes.byref(_ci(tau)), _pd(out))
            vec = buffer("SlopMatrix", np.float64, (NODE_CAP, NODE_CAP))[:nv, :m].copy()
        d = out.reshape(nv, nv)
        summary = float(d[0, 0])
        d = d.copy()
        d[0, 0] = 0.0
        res.append(Recurrence(d, summary, vec))
    return res[0] if one else res


# ---- entropies -------------------------------------------------------------

def histogram_entropy(values, return_histogram=False):
    """Shannon entropy (nats) of the histogram of non-negative integers
    (at most 12193). With ``return_histogram`` also the histogram (copy of inSets)."""
    rows, one = _rows(values, "values", np.int32, routine="calculateEntropy")
    lo, hi = LIMITS["calculateEntropy"]["value"]
    res, hists = [], []
    for r in rows:
        if r.min() < lo or r.max() > hi:
            bad = r.min() if r.min() < lo else r.max()
            raise ValueError(f"values must lie in {lo}..{hi}; got {int(bad)}")
        result = ctypes.c_double(0.0)
        with calling():
            func("calculateEntropy")(_pi(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(1)),
                                     ctypes.byref(result))
            if return_histogram:
                hists.append(node_records("inSets", int(r.max()) + 1)[0])
        res.append(result.value)
    out = _collect(res, one)
    return (out, hists[0] if one else hists) if return_histogram else out


def symbol_entropy(symbols):
    """Shannon entropy (nats) of a sequence of symbols (pure Python; the C++
    routine takes a std::vector<std::string> and is not callable from here)."""
    counts = {}
    for s in symbols:
        counts[s] = counts.get(s, 0) + 1
    n = len(symbols)
    return -sum(c / n * math.log(c / n) for c in counts.values()) if n else 0.0


def permutation_entropy(x, m=3):
    """Rise-fall permutation entropy over windows of m samples, divided by
    ln((m-1)!). m = 2 divides by ln 1 = 0 (inf or nan); 2 <= m <= min(n, 13)."""
    m = _param("calculatePermutationEntropy", "m", m)
    rows, one = _rows(x, min_len=m)
    res = []
    for r in rows:
        result = ctypes.c_double()
        with calling():
            func("calculatePermutationEntropy")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(m)),
                                                ctypes.byref(result))
        res.append(result.value)
    return _collect(res, one)


def _dpe(name, x, m, tau, extra=(), inplace=False):
    m = _param(name, "m", m)
    tau = _param(name, "tau", tau)
    if inplace:
        rows, one = _inplace_rows(x, name)
    else:
        rows, one = _rows(x, routine=name)
    res = []
    for r in rows:
        result = ctypes.c_double()
        args = [ctypes.byref(_ci(v)) for v in extra]
        with calling():
            func(name)(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(m)), ctypes.byref(_ci(tau)),
                       *args, ctypes.byref(result))
        res.append(result.value)
    return _collect(res, one)


def delay_permutation_entropy(x, m=4, tau=1):
    """Ordinal-pattern entropy (nats, not normalised) of windows of m-1 members
    tau samples apart; -1.0 when n < m."""
    return _dpe("calculateDelayPermutationEntropy", x, m, tau)


def multiscale_dpe(x, m=4, tau=1, scale=2, inplace=False):
    """Delay permutation entropy of the series coarse-grained by block sums of
    ``scale`` samples. The routine overwrites its series with the block sums:
    the caller's array is changed only with ``inplace=True``."""
    scale = _param("MultiScale_DPE", "scale", scale)
    return _dpe("MultiScale_DPE", x, m, tau, (scale,), inplace)


def ddpe(x, m=4, tau=1):
    """Entropy (nats) of delayed rise-fall patterns; -1.0 when n < m."""
    return _dpe("DDPE", x, m, tau)


def fast_dpe(x, m=3, tau=1):
    """Delay permutation entropy from integer pattern codes, divided by m-1;
    2 <= m <= 9, at most 3628800 windows."""
    m = _param("FastDPE", "m", m)
    tau = _param("FastDPE", "tau", tau)
    rows, one = _rows(x, min_len=m)
    res = []
    for r in rows:
        windows = r.size - (m - 1) * tau
        cap = LIMITS["FastDPE"]["windows"][1]
        if windows > cap:
            raise ValueError(f"n={r.size} gives {windows} windows, more than {cap}")
        result = ctypes.c_double()
        with calling():
            func("FastDPE")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(m)), ctypes.byref(_ci(tau)),
                            ctypes.byref(result))
        res.append(result.value)
    return _collect(res, one)


def hvg_entropy(x, m=3, tau=1):
    """HVGEntropy(mean_degree, mean_strength, pattern_entropy): horizontal
    visibility degrees and the entropy (nats) of the ordinal patterns of
    windows of m consecutive degrees, windows tau nodes apart (2 <= m <= 63, m <= n)."""
    m = _param("HVG_Entropy", "m", m)
    tau = _param("HVG_Entropy", "tau", tau)
    rows, one = _rows(x, min_len=m, max_len=LIMITS["HVG_Entropy"]["n"][1], routine="HVG_Entropy")
    res = []
    for r in rows:
        out = np.zeros(3)
        with calling():
            func("HVG_Entropy")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_ci(m)), ctypes.byref(_ci(tau)),
                                _pd(out))
        res.append(HVGEntropy(*out))
    return _collect(res, one)


# ---- information and correlation -------------------------------------------

def _states(r):
    f = np.floor(r)
    return int(f.max() - f.min()) + 1


def discretise(x):
    """States 0..k-1 of a series (floor(x) - floor(min) for floats, x - min for
    integers) and the number of states k."""
    a = np.asarray(x)
    is_int = a.dtype.kind in "iu"
    rows, one = _rows(a, dtype=np.int32 if is_int else np.float64, routine="normaliseArray")
    res = []
    for r in rows:
        if not is_int and np.abs(r).max() >= 2**31:
            raise ValueError("x must lie within 32-bit integer range")
        out = np.zeros(r.size, dtype=np.int32)
        with calling():
            k = func("normaliseArray_i" if is_int else "normaliseArray_d")(
                _pi(r) if is_int else _pd(r), _pi(out), r.size)
        res.append((out, k))
    return res[0] if one else res


def _check_mi(r, s):
    cap = LIMITS["calculateMutualInformation"]["n"][1]
    if r.size > cap:
        raise ValueError(f"n={r.size} samples exceed the {cap} of mutual information")
    for name, v in (("x", r), ("y", s)):
        if np.abs(v).max() >= 2**31:
            raise ValueError(f"{name} must lie within 32-bit integer range")
    joint = _states(r) * _states(s)
    cap = LIMITS["calculateMutualInformation"]["joint_states"][1]
    if joint > cap:
        raise ValueError(f"{joint} joint states (floored ranges {_states(r)} x {_states(s)}) exceed {cap}; "
                         "rescale the data")


def mutual_information(x, y):
    """Mutual information (nats) of two series discretised to integer states
    (floor(x) - floor(min)). n <= 4096 and (states of x) * (states of y) <= 4096."""
    xs, ys, one = _pair(x, y, routine="calculateMutualInformation")
    res = []
    for r, s in zip(xs, ys):
        _check_mi(r, s)
        result = ctypes.c_double()
        with calling():
            func("calculateMutualInformation")(_pd(r), _pd(s), ctypes.byref(_ci(r.size)), ctypes.byref(result))
        res.append(result.value)
    return _collect(res, one)


def joint_probability(x, y):
    """JointProbability(joint, first, second, joint_counts, first_counts,
    second_counts, first_states, second_states): copies of the shared tables.
    joint[a + F*b] is the probability of state a of x with state b of y."""
    a = np.asarray(x)
    is_int = a.dtype.kind in "iu" and np.asarray(y).dtype.kind in "iu"
    dt = np.int32 if is_int else np.float64
    xs, ys, one = _pair(x, y, dtype=dt, routine="calculateMutualInformation")
    res = []
    for r, s in zip(xs, ys):
        _check_mi(r.astype(np.float64), s.astype(np.float64))
        with calling():
            if is_int:
                rec = func("calculateJointProbability_i")(_pi(r), _pi(s), r.size)
            else:
                rec = func("calculateJointProbability_d")(_pd(r), _pd(s), r.size)
            F, S, J = rec.firstNumStates, rec.secondNumStates, rec.jointNumStates
            res.append(JointProbability(
                buffer("jointStateProbs", np.float64, (4096,))[:J].copy(),
                buffer("firstStateProbs", np.float64, (4096,))[:F].copy(),
                buffer("secondStateProbs", np.float64, (4096,))[:S].copy(),
                buffer("jointStateCounts", np.int32, (4096,))[:J].copy(),
                buffer("firstStateCounts", np.int32, (4096,))[:F].copy(),
                buffer("secondStateCounts", np.int32, (4096,))[:S].copy(),
                buffer("firstNormalisedVector", np.int32, (4096,))[:r.size].copy(),
                buffer("secondNormalisedVector", np.int32, (4096,))[:r.size].copy()))
    return res[0] if one else res


def correlation(x, y):
    """Pearson correlation of two integer series (population moments)."""
    xs, ys, one = _pair(x, y, dtype=np.int32, routine="Calculate_Correlation")
    res = []
    for r, s in zip(xs, ys):
        with calling():
            res.append(func("Calculate_Correlation")(_pi(r), _pi(s), r.size))
    return _collect(res, one)


def cross_correlation(x, y):
    """Peak normalised cross-correlation of two float series."""
    xs, ys, one = _pair(x, y, routine="Calculate_Correlation_double")
    res = []
    for r, s in zip(xs, ys):
        if not np.isfinite(_moments(r, "x") * _moments(s, "y")):
            raise ValueError("x and y: the product of their sums of squared deviations exceeds the double "
                             "range; rescale the series")
        with calling():
            res.append(func("Calculate_Correlation_double")(_pd(r), _pd(s), r.size))
    return _collect(res, one)


def variance(x, mean=None):
    """Population variance of an integer series about ``mean`` (default: its mean)."""
    rows, one = _rows(x, dtype=np.int32, routine="Calculate_Correlation")
    res = []
    for r in rows:
        mu = float(r.mean()) if mean is None else _scalar(mean, "mean")
        with calling():
            res.append(func("CalculateVariane")(_pi(r), mu, r.size))
    return _collect(res, one)


def covariance(x, y):
    """Covariance(covariance, mean_x, mean_y) of two integer series."""
    xs, ys, one = _pair(x, y, dtype=np.int32, routine="Calculate_Correlation")
    res = []
    for r, s in zip(xs, ys):
        mx, my = ctypes.c_double(0.0), ctypes.c_double(0.0)
        with calling():
            c = func("Calculate_Covariance")(_pi(r), _pi(s), r.size, ctypes.byref(mx), ctypes.byref(my))
        res.append(Covariance(c, mx.value, my.value))
    return _collect(res, one)


# ---- regularity ------------------------------------------------------------

def _inplace_rows(x, routine):
    """The caller's own rows (inplace=True), checked as _rows checks copies."""
    a = np.asarray(x)
    if a.dtype != np.float64 or not a.flags.c_contiguous or not a.flags.writeable:
        raise ValueError("inplace=True needs a writable C-contiguous float64 array")
    if a.ndim not in (1, 2):
        raise ValueError(f"x must be 1-D (samples) or 2-D (rows x samples), got {a.ndim}-D")
    _limit(routine, "n", a.shape[-1], "x")
    _finite(a, "x")
    return list(a[None, :] if a.ndim == 1 else a), a.ndim == 1


def _standardised_rows(x, inplace, routine):
    """Rows for a routine that z-scores its series (or divides by its SD):
    refused when the standardisation would overflow (see _moments)."""
    rows, one = _inplace_rows(x, routine) if inplace else _rows(x, routine=routine)
    for k, r in enumerate(rows):
        _moments(r, "x" if one else f"x row {k}")
    return rows, one


def zscore(x, inplace=False):
    """(z-scores, population SD) of a series; the caller's array is replaced only
    with ``inplace=True``."""
    rows, one = _standardised_rows(x, inplace, "normalize")
    res = []
    for r in rows:
        with calling():
            sd = func("normalize")(_pd(r), r.size)
        res.append((r if inplace else r.copy(), sd))
    return res[0] if one else res


def _sampen_args(m, r, routine):
    m = _param(routine, "m", m)
    if not np.isfinite(r) or r < 0:
        raise ValueError(f"r={r!r} must be a finite tolerance >= 0")
    return m, float(r)


def _run_length(routine, x, m, r, inplace, width, wrap=None):
    """Calls one of the run-length sample-entropy routines on every row."""
    rows, one = _standardised_rows(x, inplace, routine)
    res = []
    for row in rows:
        if routine == "sampen2":
            _limit(routine, "run_cells", 2 * (m + 1) * row.size, f"2(m+1)n with n={row.size}, m={m}")
        out = np.zeros(width)
        with calling():
            func(routine)(_pd(row), ctypes.byref(_ci(m)), ctypes.byref(_cd(r)), ctypes.byref(_ci(row.size)),
                          _pd(out))
        res.append(wrap(out) if wrap else out)
    return _collect(res, one)


def sample_entropy(x, m=2, r=0.2, inplace=False):
    """Sample entropy (nats) for template lengths q = 0..m by the run-length
    method, tolerance r in standard deviations (strict |d| < r). Returns m+1
    values per row. The series is z-scored by the routine: the caller's array
    only with ``inplace=True``. A constant series gives NaN (zero SD)."""
    m, r = _sampen_args(m, r, "sampen_1")
    return _run_length("sampen_1", x, m, r, inplace, m + 1)


def sampen(x, m=2, r=0.2, inplace=False):
    """The second run-length routine (prints its q = 0 value): m+1 values per row."""
    m, r = _sampen_args(m, r, "sampen")
    return _run_length("sampen", x, m, r, inplace, m + 1)


def sampen2(x, m=2, r=0.2, inplace=False):
    """Sample entropy with standard errors: SampEn2(entropy[m+1], stderr[m+1])."""
    m, r = _sampen_args(m, r, "sampen2")
    _limit("sampen2", "covariance_cells", (m + 1) * (m + 2), f"(m+1)(m+2) with m={m}")
    return _run_length("sampen2", x, m, r, inplace, 2 * (m + 1),
                       lambda out: SampEn2(out[:m + 1].copy(), out[m + 1:].copy()))


def smen(x, m=2, r=0.2):
    """Direct sample entropy ln(B/A) for template length m, tolerance trunc(r) x SD
    on integer-truncated differences; the series is not modified."""
    m, r = _sampen_args(m, r, "SmEn")
    rows, one = _standardised_rows(x, False, "SmEn")
    res = []
    for row in rows:
        if m >= row.size:
            raise ValueError(f"m={m} must be below n={row.size}")
        out = ctypes.c_double()
        with calling():
            func("SmEn")(_pd(row), ctypes.byref(_ci(m)), ctypes.byref(_cd(r)), ctypes.byref(_ci(row.size)),
                         ctypes.byref(out))
        res.append(out.value)
    return _collect(res, one)


def approximate_entropy(x, m=2, r=1.0):
    """Approximate entropy (nats), tolerance trunc(r) x population SD."""
    m = _param("AppEn1", "m", m)
    r = _scalar(r, "r")
    rows, one = _standardised_rows(x, False, "AppEn1")
    res = []
    for row in rows:
        if m >= row.size:
            raise ValueError(f"m={m} must be below n={row.size}")
        out = ctypes.c_double()
        with calling():
            func("AppEn1")(_pd(row), ctypes.byref(_ci(row.size)), ctypes.byref(_ci(m)), ctypes.byref(_cd(r)),
                           ctypes.byref(out))
        res.append(out.value)
    return _collect(res, one)


def apen(x, m=2, r=0.2, sd=1.0):
    """Approximate entropy (nats) with tolerance r x sd (both as given)."""
    m = _param("ApEn", "m", m)
    r, sd = _scalar(r, "r"), _scalar(sd, "sd")
    rows, one = _rows(x, routine="ApEn")
    res = []
    for row in rows:
        if m >= row.size:
            raise ValueError(f"m={m} must be below n={row.size}")
        with calling():
            res.append(func("ApEn")(_pd(row), row.size, m, r, sd))
    return _collect(res, one)


# ---- spectral --------------------------------------------------------------

def burg(x, order):
    """Burg (maximum-entropy) AR fit: Burg(coefs[order], xms) with the model
    x_t ~ sum coefs[k] x_(t-k-1); 1 <= order <= 106, order < n <= 12194."""
    order = _param("memcof", "order", order)
    rows, one = _rows(x, routine="memcof")
    res = []
    for r in rows:
        if order >= r.size:
            raise ValueError(f"order={order} must be below n={r.size}")
        d = np.zeros(order)
        xms = ctypes.c_double()
        with calling():
            func("memcof")(_pd(r), r.size, order, ctypes.byref(xms), _pd(d))
        res.append(Burg(d, xms.value))
    return _collect(res, one)


def _model(coefs, xms):
    d = np.array(coefs, dtype=np.float64, copy=True).ravel()
    _finite(d, "coefs")
    return d, _scalar(xms, "xms")


def burg_spectrum(coefs, xms, fdt):
    """Power of the AR model at frequencies fdt (cycles per sample)."""
    d, xms = _model(coefs, xms)
    f = np.atleast_1d(np.asarray(fdt, dtype=np.float64))
    _finite(f, "fdt")
    with calling():
        out = np.array([func("evlmem")(float(v), _pd(d), d.size, xms) for v in f])
    return out if np.ndim(fdt) else float(out[0])


def burg_integral(coefs, xms, a, b, eps=1e-7):
    """Adaptive integral of the AR spectrum from a to b (cycles per sample)."""
    d, xms = _model(coefs, xms)
    a, b, eps = _scalar(a, "a"), _scalar(b, "b"), _scalar(eps, "eps")
    with calling():
        return func("integ")(_pd(d), d.size, xms, a, b, eps)


def band_power(coefs, xms, lo, hi):
    """Power of the AR model between lo and hi (cycles per sample), both sides folded."""
    d, xms = _model(coefs, xms)
    lo, hi = _scalar(lo, "lo"), _scalar(hi, "hi")
    with calling():
        return func("band_power")(lo, hi, _pd(d), d.size, xms)


def band_powers(x, fs=256.0):
    """Delta, theta, alpha, beta, gamma power (0.53-4-8-13-30-60 Hz) of a Burg
    model of order round(sqrt(n)); fs in hertz, at least 120 (twice the top of
    the gamma band: no band may lie above the Nyquist frequency fs/2);
    BandPowers per row."""
    if not np.isfinite(fs) or fs <= 0:
        raise ValueError(f"fs={fs!r} must be a positive sampling rate")
    above = [(name, lo, hi) for name, (lo, hi) in zip(BandPowers._fields, BANDS_HZ) if hi > fs / 2]
    if above:
        bands = ", ".join(f"{name} ({lo:g}-{hi:g} Hz)" for name, lo, hi in above)
        raise ValueError(f"fs={fs!r} Hz puts the {bands} band{'s' if len(above) > 1 else ''} above the Nyquist "
                         f"frequency {fs / 2:g} Hz; fs must be at least {2 * BANDS_HZ[-1][1]:g} Hz")
    rows, one = _rows(x, routine="memse")
    res = []
    for r in rows:
        out = np.zeros(5)
        with calling():
            func("memse")(_pd(r), ctypes.byref(_ci(r.size)), ctypes.byref(_cd(fs)), _pd(out))
        res.append(BandPowers(*out))
    return _collect(res, one)


# ---- matching of degree sequences ------------------------------------------

def _seqs(a, b, routine):
    return _pair(a, b, dtype=np.int32, routine=routine, names=("a", "b"))


def hvg_match(a, b):
    """Peak-aligned matching of two degree sequences: Match(score, shift)."""
    xs, ys, one = _seqs(a, b, "Z_HVG_Match")
    res = []
    for r, s in zip(xs, ys):
        out = np.zeros(2)
        with calling():
            func("Z_HVG_Match")(_pi(r), _pi(s), ctypes.byref(_ci(r.size)), None, None, _pd(out))
        res.append(Match(*out))
    return _collect(res, one)


def hvg_similarity(a, b):
    """Similarity of two degree sequences by the matching used by run_hvgs."""
    xs, ys, one = _seqs(a, b, "Z_HVG_Match3")
    res = []
    for r, s in zip(xs, ys):
        with calling():
            res.append(func("Z_HVG_Match3")(_pi(r), _pi(s), r.size))
    return _collect(res, one)


def hvg_match_back(a, b):
    """Back-matching on the value-2 nodes: MatchBack(correlation, lag, dmin, shift)."""
    xs, ys, one = _seqs(a, b, "Z_HVG_Match_back")
    res = []
    for r, s in zip(xs, ys):
        out = np.zeros(3)
        with calling():
            sh = func("Z_HVG_Match_back")(_pi(r), _pi(s), ctypes.byref(_ci(r.size)), None, None, _pd(out))
        res.append(MatchBack(*out, sh))
    return _collect(res, one)


def hvgs(a, b, q=0.0, r=0.0):
    """Segment correlation of two degree sequences: HVGS(result, span_a,
    span_b, start_minus_end); q and r are only compared for equality."""
    q, r = _scalar(q, "q"), _scalar(r, "r")
    xs, ys, one = _seqs(a, b, "Z_HVGS")
    res = []
    for u, v in zip(xs, ys):
        out = np.zeros(4)
        with calling():
            func("Z_HVGS")(_pi(u), _pi(v), ctypes.byref(_ci(u.size)), ctypes.byref(_cd(q)),
                           ctypes.byref(_cd(r)), _pd(out))
        res.append(HVGS(*out))
    return _collect(res, one)


__all__ = [n for n, v in list(globals().items())
           if not n.startswith("_") and callable(v) and getattr(v, "__module__", "") == __name__
           and n[0].islower()] + ["BANDS_HZ"]

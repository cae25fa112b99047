"""Deliberately naive references for the tests of the core's Python functions (shared, reused)."""
import math
from fractions import Fraction
from itertools import combinations

import numpy as np


def visibility_edges(y, t=None, natural=False):
    """Undirected edges (a, b), a < b, by checking every pair and every sample between (exact)."""
    y = [Fraction(float(v)) for v in y]
    t = [Fraction(i) for i in range(len(y))] if t is None else [Fraction(float(v)) for v in t]
    edges = []
    for a, b in combinations(range(len(y)), 2):
        if natural:
            ok = all((y[k] - y[a]) * (t[b] - t[a]) < (y[b] - y[a]) * (t[k] - t[a]) for k in range(a + 1, b))
        else:
            ok = all(y[k] < y[a] and y[k] < y[b] for k in range(a + 1, b))
        if ok:
            edges.append((a, b))
    return edges


def perm_entropy(x, order, delay, weighted=False):
    """Bits; patterns by a stable argsort (ties: earlier ranks lower)."""
    x = np.asarray(x, dtype=float)
    counts = {}
    for i in range(len(x) - (order - 1) * delay):
        w = x[i:i + (order - 1) * delay + 1:delay]
        key = tuple(np.argsort(w, kind="stable"))
        counts[key] = counts.get(key, 0.0) + (np.var(w) if weighted else 1.0)
    total = sum(counts.values())
    return -sum(c / total * math.log2(c / total) for c in counts.values() if c > 0)


def _matches(x, length, count, r):
    """Pairs (i < j) among the first `count` templates of `length` within Chebyshev distance r."""
    return sum(max(abs(x[i + k] - x[j + k]) for k in range(length)) <= r if length else True
               for i, j in combinations(range(count), 2))


def sample_entropy(x, order, r):
    x = list(map(float, x))
    n = len(x)
    b, a = _matches(x, order, n - order, r), _matches(x, order + 1, n - order, r)
    return math.inf if a == 0 < b else (math.nan if b == 0 else -math.log(a / b))


def app_entropy(x, order, r):
    x = list(map(float, x))
    n = len(x)

    def phi(m):
        c = n - m + 1
        tot = 0.0
        for i in range(c):
            tot += math.log(sum(max((abs(x[i + k] - x[j + k]) for k in range(m)), default=0) <= r
                                for j in range(c)) / c)
        return tot / c
    return phi(order) - phi(order + 1)


def histogram_labels(x, bins):
    """numpy.histogram's bin index of every sample (last bin closed)."""
    _, edges = np.histogram(x, bins)
    return np.clip(np.searchsorted(edges, x, side="right") - 1, 0, bins - 1)


def noise(n, seed=0, shape=()):
    return np.random.default_rng(seed).normal(size=shape + (n,))

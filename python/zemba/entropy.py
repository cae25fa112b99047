"""Permutation entropies (bits) and the regularity entropies: sample and approximate entropy (nats)."""
import numpy as np

from . import _core
from ._checks import count, choice

__all__ = ["perm_entropy", "multiscale_perm_entropy", "sample_entropy", "app_entropy"]

_METRICS = {"chebyshev": 0}


def _flags(normalize, weighted):
    return (1 if normalize else 0) | (2 if weighted else 0)


def perm_entropy(x, order=3, delay=1, normalize=False, weighted=False):
    """Permutation entropy.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
        One series or an array of series (finite values).
    order : int
        Embedding dimension (window length), >= 2.
    delay : int
        Lag between the members of a window, >= 1.
    normalize : bool
        Divide by log2(order!) so that the result lies in [0, 1].
    weighted : bool
        Weighted permutation entropy: each window counts with the population
        variance of its members (NaN when every window is flat).

    Returns
    -------
    float or ndarray of shape (...)
        Entropy in bits.

    Notes
    -----
    Windows x[i], x[i + delay], ..., x[i + (order-1) delay]; a window's
    ordinal pattern is the permutation sorting it ascending, members of equal
    value ranked by time (the earlier sample ranks lower). The entropy is
    -sum p log2 p over the patterns present, p their share of the windows.
    On data without ties this is the textbook definition.

    References
    ----------
    C. Bandt, B. Pompe, "Permutation entropy: a natural complexity measure for
    time series", Phys. Rev. Lett. 88, 174102 (2002).
    B. Fadlallah et al., "Weighted-permutation entropy", Phys. Rev. E 87, 022911 (2013).

    Examples
    --------
    >>> import zemba
    >>> zemba.perm_entropy([4.0, 7.0, 9.0, 10.0, 6.0, 11.0, 3.0], order=3)
    1.5219280948873621
    >>> round(zemba.perm_entropy([1.0, 2.0, 3.0, 4.0], normalize=True), 6)
    0.0
    """
    return _core.perm_entropy(x, count("order", order, 2), count("delay", delay, 1), _flags(normalize, weighted))


def multiscale_perm_entropy(x, scales=range(1, 11), order=3, delay=1, normalize=False, weighted=False):
    """Multiscale permutation entropy.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    scales : iterable of int
        Coarse-graining scales, each >= 1.
    order, delay, normalize, weighted
        As for :func:`perm_entropy`.

    Returns
    -------
    ndarray of shape (..., len(scales))
        Permutation entropy (bits) of the series coarse-grained at each scale.

    Notes
    -----
    At scale s the series becomes y_j = mean of x[j s .. j s + s - 1],
    j = 0 .. floor(n / s) - 1 (scale 1 is x itself).

    References
    ----------
    M. Costa, A. L. Goldberger, C.-K. Peng, "Multiscale entropy analysis of
    complex physiologic time series", Phys. Rev. Lett. 89, 068102 (2002).

    Examples
    --------
    >>> import zemba
    >>> zemba.multiscale_perm_entropy([1.0, 3.0, 2.0, 4.0, 6.0, 5.0, 7.0, 9.0], scales=[1, 2], order=2)   # 5 rises, 2 falls; then all rises
    array([0.86312057, 0.        ])
    """
    s = [count("scale", v, 1) for v in scales]
    return _core.multiscale_perm_entropy(x, s, count("order", order, 2), count("delay", delay, 1),
                                         _flags(normalize, weighted))


def _tolerance(tolerance):
    if tolerance is None:
        return np.nan
    r = float(tolerance)
    if not (r >= 0 and np.isfinite(r)):
        raise ValueError(f"tolerance must be a finite number >= 0, got {tolerance!r}")
    return r


def sample_entropy(x, order=2, tolerance=None, metric="chebyshev", return_se=False):
    """Sample entropy.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    order : int
        Template length m (>= 0).
    tolerance : float, optional
        Matching tolerance r in the units of x; default 0.2 x the population
        standard deviation of each series.
    metric : {'chebyshev'}
        Distance between templates.
    return_se : bool
        Also return the standard error of A / B (the variance formula of
        Lake et al.'s sampen).

    Returns
    -------
    float or ndarray of shape (...)
        -ln(A / B) in nats; with ``return_se``, a pair (entropy, standard error).

    Notes
    -----
    B counts the pairs of distinct templates of length m and A those of length
    m + 1 whose Chebyshev distance is <= r (<= at every series length), both
    among the first n - m templates (the count of Richman and Moorman).
    A = 0 gives inf; B = 0 gives NaN.

    References
    ----------
    J. S. Richman, J. R. Moorman, "Physiological time-series analysis using
    approximate entropy and sample entropy", Am. J. Physiol. Heart Circ.
    Physiol. 278, H2039 (2000).
    D. E. Lake, J. S. Richman, M. P. Griffin, J. R. Moorman, "Sample entropy
    analysis of neonatal heart rate variability", Am. J. Physiol. 283, R789 (2002).

    Examples
    --------
    >>> import zemba
    >>> x = [1.0, 2.0, 1.0, 2.0, 1.0, 2.0]
    >>> zemba.sample_entropy(x, order=1, tolerance=0.5)   # A = 4, B = 4
    0.0
    >>> zemba.sample_entropy([1.0, 2.0, 3.0, 4.0], order=1, tolerance=0.5)
    nan
    """
    choice("metric", metric, _METRICS)
    out = _core.sample_entropy(x, count("order", order, 0), _tolerance(tolerance), bool(return_se)) + 0.0
    if out.ndim == 1:
        return (float(out[0]), float(out[1])) if return_se else float(out[0])
    return (out[..., 0], out[..., 1]) if return_se else out[..., 0]


def app_entropy(x, order=2, tolerance=None, metric="chebyshev"):
    """Approximate entropy.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    order : int
        Template length m (>= 0).
    tolerance : float, optional
        Matching tolerance r; default 0.2 x the population standard deviation.
    metric : {'chebyshev'}

    Returns
    -------
    float or ndarray of shape (...)
        phi(m) - phi(m + 1) in nats.

    Notes
    -----
    phi(L) is the mean over the n - L + 1 templates of length L of
    ln(C_i / (n - L + 1)), C_i the templates within Chebyshev distance <= r of
    template i, itself included (Pincus's definition with self-matches).

    References
    ----------
    S. M. Pincus, "Approximate entropy as a measure of system complexity",
    PNAS 88, 2297 (1991).

    Examples
    --------
    >>> import zemba
    >>> x = [1.0, 2.0, 1.0, 2.0, 1.0, 2.0]   # ln(1/2) - (3 ln(3/5) + 2 ln(2/5)) / 5
    >>> round(zemba.app_entropy(x, order=1, tolerance=0.5), 6)
    -0.020136
    """
    choice("metric", metric, _METRICS)
    return _core.app_entropy(x, count("order", order, 0), _tolerance(tolerance))

"""Mutual information of two series on equal-width histogram bins."""
import numbers

from . import _core

__all__ = ["mutual_information"]


def _bins(bins):
    pair = (bins, bins) if isinstance(bins, numbers.Integral) else tuple(bins)
    if len(pair) != 2 or not all(isinstance(b, numbers.Integral) and not isinstance(b, bool) and b >= 1
                                 for b in pair):
        raise ValueError(f"bins must be an integer >= 1 or a pair of them, got {bins!r}")
    return int(pair[0]), int(pair[1])


def mutual_information(x, y, bins=16):
    """Mutual information of x and y.

    Parameters
    ----------
    x, y : array_like, shape (..., n_times)
        Paired series of the same shape.
    bins : int or (int, int)
        Equal-width bins of x and of y (one number for both), each over the
        series' own range.

    Returns
    -------
    float or ndarray of shape (...)
        Mutual information in nats, in [0, ln min(bins)].

    Notes
    -----
    MI = sum p(i, j) ln(p(i, j) / (p(i) p(j))) over occupied bin pairs, the
    plug-in estimate on the bin labels (``sklearn.metrics.mutual_info_score``
    of the same labels). Bins are placed as ``numpy.histogram`` places them:
    edges from the minimum to the maximum, the last bin closed. A constant
    series gives 0.

    References
    ----------
    T. M. Cover, J. A. Thomas, Elements of Information Theory, 2nd ed.,
    Wiley (2006), ch. 2.

    Examples
    --------
    >>> import zemba
    >>> round(zemba.mutual_information([0.0, 0.0, 1.0, 1.0], [5.0, 5.0, 7.0, 7.0], bins=2), 6)
    0.693147
    """
    bx, by = _bins(bins)
    return _core.mutual_information(x, y, bx, by)

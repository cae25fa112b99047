"""Burg AR models, their power spectra and band powers."""
import numpy as np

from . import _core
from ._checks import count, positive

__all__ = ["burg", "burg_psd", "band_powers", "DEFAULT_BANDS"]

#: Default EEG bands (Hz).
DEFAULT_BANDS = {"delta": (0.5, 4.0), "theta": (4.0, 8.0), "alpha": (8.0, 13.0), "beta": (13.0, 30.0),
                 "gamma": (30.0, 45.0)}
_AUTO = 2 ** 64 - 1  # the core's "default order"


def _order(order):
    return _AUTO if order is None else count("order", order, 0)


def burg(x, order, demean=True):
    """Burg's estimate of an AR(order) model.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    order : int
        Model order, 0 <= order < n_times.
    demean : bool
        Remove each series' mean first.

    Returns
    -------
    coefs : ndarray of shape (..., order)
        a[0..order) of x[t] = sum_k a[k-1] x[t-k] + e[t].
    variance : float or ndarray of shape (...)
        Innovation variance (units of x^2): the mean forward and backward
        prediction-error energy of the last stage.

    Notes
    -----
    Coefficients and variance as ``statsmodels.regression.linear_model.burg``
    defines them (not the product form sum(x^2)/n prod(1 - k^2)).

    References
    ----------
    J. P. Burg, "Maximum entropy spectral analysis", PhD thesis, Stanford (1975).

    Examples
    --------
    >>> import numpy as np, zemba
    >>> a, v = zemba.burg(np.array([1.0, -1.0] * 8), order=1)
    >>> a.round(6).tolist(), round(v, 6)
    ([-1.0], 0.0)
    """
    return _core.burg(x, count("order", order, 0), bool(demean))


def burg_psd(x, sfreq, order=None, freqs=None):
    """Power spectral density of the Burg AR model of each series.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    sfreq : float
        Sampling rate in Hz.
    order : int, optional
        Model order; default trunc(sqrt(n_times) + 0.5).
    freqs : array_like, optional
        Frequencies in Hz within [0, sfreq / 2]; default the n_times // 2 + 1
        frequencies of the discrete Fourier transform.

    Returns
    -------
    freqs : ndarray of shape (n_freqs,)
    psd : ndarray of shape (..., n_freqs)
        One-sided spectrum in x^2 / Hz.

    Notes
    -----
    P(f) = 2 sigma^2 / sfreq / |1 - sum_k a[k-1] exp(-2 pi i k f / sfreq)|^2,
    with a and sigma^2 from :func:`burg`; its integral from 0 to sfreq / 2 is
    the model's variance.

    References
    ----------
    S. M. Kay, Modern Spectral Estimation, Prentice Hall (1988), ch. 7.

    Examples
    --------
    >>> import numpy as np, zemba
    >>> f, p = zemba.burg_psd(np.random.default_rng(0).normal(size=256), sfreq=256.0, order=4)
    >>> f.shape, p.shape
    ((129,), (129,))
    """
    sfreq = positive("sfreq", sfreq)
    n = int(np.shape(x)[-1]) if np.ndim(x) else 0
    f = np.fft.rfftfreq(n, 1.0 / sfreq) if freqs is None else np.asarray(freqs, dtype=float).ravel()
    bad = np.flatnonzero(~((f >= 0) & (f <= sfreq / 2)))
    if bad.size:
        raise ValueError(f"freqs[{bad[0]}] = {f[bad[0]]} is outside [0, sfreq / 2 = {sfreq / 2}]")
    return f, _core.burg_psd(x, sfreq, _order(order), f)


def band_powers(x, sfreq, bands=None, order=None, relative=False):
    """Band powers of the Burg AR spectrum.

    Parameters
    ----------
    x : array_like, shape (..., n_times)
    sfreq : float
        Sampling rate in Hz.
    bands : dict of str -> (float, float), optional
        Name -> (low, high) in Hz, 0 <= low <= high <= sfreq / 2. Default
        delta 0.5-4, theta 4-8, alpha 8-13, beta 13-30, gamma 30-45 Hz.
    order : int, optional
        Model order; default trunc(sqrt(n_times) + 0.5).
    relative : bool
        Divide each power by the integral over [0, sfreq / 2] (the model variance).

    Returns
    -------
    dict
        Band name -> power (x^2; a float for 1-D input, else an array of shape (...)).

    Notes
    -----
    Each power is the integral of :func:`burg_psd`'s closed-form spectrum
    over the band, by adaptive Gauss-Kronrod quadrature to a relative
    accuracy of 1e-9. A band may end at the Nyquist frequency; one reaching
    above it raises ValueError naming it.

    References
    ----------
    J. P. Burg, "Maximum entropy spectral analysis", PhD thesis, Stanford (1975).

    Examples
    --------
    >>> import numpy as np, zemba
    >>> x = np.random.default_rng(0).normal(size=1024)
    >>> p = zemba.band_powers(x, sfreq=256.0, bands={"all": (0.0, 128.0)}, relative=True)
    >>> round(p["all"], 9)
    1.0
    """
    sfreq = positive("sfreq", sfreq)
    bands = DEFAULT_BANDS if bands is None else dict(bands)
    edges = np.empty((len(bands), 2))
    for i, (name, band) in enumerate(bands.items()):
        lo, hi = (float(v) for v in band)
        if not (0 <= lo <= hi):
            raise ValueError(f"band {name!r} = ({lo}, {hi}) must satisfy 0 <= low <= high")
        if hi > sfreq / 2:
            raise ValueError(f"band {name!r} = ({lo}, {hi}) reaches above the Nyquist frequency {sfreq / 2} Hz")
        edges[i] = lo, hi
    out = _core.band_powers(x, sfreq, _order(order), edges, bool(relative))
    if out.ndim == 1:
        return {k: float(out[i]) for i, k in enumerate(bands)}
    return {k: out[..., i] for i, k in enumerate(bands)}

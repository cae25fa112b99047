"""Per-epoch, per-channel feature tables from multichannel EEG epochs.

``extract_features(X, sfreq, selected_funcs)`` computes named features of
every epoch x channel of an array (n_epochs, n_channels, n_times) or an
``mne.Epochs`` and returns one row per epoch.

Column names
------------
``{channel}_{feature}`` for a feature with one value per series, and
``{channel}_{feature}_{output}`` for a feature with several named outputs
(``Fz_band_powers_alpha``, ``Fz_div_kl``). Columns are ordered
by feature (in the order selected), then channel, then output. The batch tool
(``zemba.batch``) writes the same names without the ``{channel}_`` prefix
(its table has one row per trial and channel).

Features are looked up by name on the ``zemba`` module when first used, so a
feature is available as soon as its top-level function is.
"""
import inspect
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np

__all__ = ["extract_features", "list_features", "register_feature"]


class _Feature:
    __slots__ = ("name", "target", "params", "sfreq", "outputs", "doc")

    def __init__(self, name, target, params, sfreq, outputs, doc):
        self.name, self.target, self.params, self.sfreq = name, target, dict(params), sfreq
        self.outputs, self.doc = outputs, doc

    def function(self):
        if callable(self.target):
            return self.target
        import zemba
        fn = getattr(zemba, self.target, None)
        if fn is None:
            raise NotImplementedError(f"feature {self.name!r} needs zemba.{self.target}, "
                                      "which this build of the package does not provide")
        return fn

    def defaults(self):
        """Parameter defaults: the function's own signature where it can be
        read, else the registry's."""
        out = dict(self.params)
        try:
            sig = inspect.signature(self.function())
        except (NotImplementedError, TypeError, ValueError):
            return out
        for p in list(sig.parameters.values())[1:]:
            if p.name in ("sfreq", "self") or p.kind in (p.VAR_POSITIONAL, p.VAR_KEYWORD):
                continue
            if p.default is not p.empty:
                out[p.name] = p.default
            elif p.name not in out:
                out[p.name] = None
        return out


_REGISTRY = {}
_REGISTRY_LOCK = threading.Lock()


def register_feature(name, func, params=None, sfreq=False, outputs=None, doc=""):
    """Adds (or replaces) a feature of `extract_features` and the batch tool.

    Parameters
    ----------
    name : str
        Feature name, used in column names; no double underscore.
    func : callable or str
        ``func(x, **params)`` (``func(x, sfreq, **params)`` with ``sfreq=True``)
        for ``x`` of shape (..., n_times), returning an array of shape ``x.shape[:-1]``,
        or a dict of such arrays (one per named output), or an array of shape
        ``x.shape[:-1] + (k,)`` (outputs named ``outputs`` or 0..k-1). A string
        names a function of the ``zemba`` module, looked up when first used.
    params : dict, optional
        Parameter defaults shown by `list_features` when the function's own
        signature cannot be read.
    """
    if "__" in name or not name:
        raise ValueError(f"feature name {name!r} must be non-empty and hold no '__'")
    with _REGISTRY_LOCK:
        _REGISTRY[name] = _Feature(name, func, params or {}, sfreq, outputs, doc)


def _mean_degree(x):
    # Mean degree of each series' horizontal visibility graph.
    import zemba
    g = zemba.HorizontalVG(x)
    for attr in ("mean_degree",):
        if hasattr(g, attr):
            v = getattr(g, attr)
            return np.asarray(v() if callable(v) else v, dtype=np.float64)
    for attr in ("degrees", "degree"):
        if hasattr(g, attr):
            v = getattr(g, attr)
            return np.asarray(v() if callable(v) else v, dtype=np.float64).mean(axis=-1)
    raise NotImplementedError("zemba.HorizontalVG gives neither mean_degree nor degrees")


for _n, _p, _s, _d in (
        ("perm_entropy", dict(order=3, delay=1, normalize=False, weighted=False), False,
         "permutation entropy of ordinal patterns (nats, or 0..1 normalized)"),
        ("multiscale_perm_entropy", {}, False, "permutation entropy per coarse-graining scale"),
        ("sample_entropy", dict(order=2, tolerance=None, metric="chebyshev"), False,
         "sample entropy (nats; tolerance default 0.2 x standard deviation)"),
        ("app_entropy", dict(order=2, tolerance=None, metric="chebyshev"), False,
         "approximate entropy (nats)"),
        ("hvg_irreversibility", dict(weighted=False), False,
         "time irreversibility of the directed horizontal visibility graph (one output per measure)"),
        ("band_powers", dict(bands=None, order=None, relative=False), True,
         "Burg band powers, one output per band (signal units squared)")):
    register_feature(_n, _n, _p, _s, doc=_d)
register_feature("mean_degree", _mean_degree, {}, doc="mean degree of the horizontal visibility graph")


def _div(x):
    # The original library's divergence features, one series at a time; the
    # names are those the CLI (zemba-eeg) and the batch table use: div_kl, ...
    from .batch import legacy_api
    x = np.asarray(x, dtype=np.float64)
    d = legacy_api().divergence_features(x.reshape(-1, x.shape[-1]))
    return {k: np.asarray(getattr(d, k), dtype=np.float64).reshape(x.shape[:-1]) for k in d._fields}


register_feature("div", _div, {}, doc="backward/forward divergence of the directed horizontal visibility "
                 "graph: kl (nats), degree_entropy, mean_degree, mean_backward_weight, degree_asymmetry, "
                 "mean_m, mean_g")
del _n, _p, _s, _d


def list_features():
    """Every feature `extract_features` knows, with its parameters.

    Returns
    -------
    dict
        ``{feature: {parameter: default}}``, in registry order. Parameters
        are set as ``funcs_params={'feature__parameter': value}``.

    Examples
    --------
    >>> import zemba
    >>> 'sample_entropy' in zemba.list_features()
    True
    """
    with _REGISTRY_LOCK:
        feats = list(_REGISTRY.values())
    return {f.name: f.defaults() for f in feats}


def _epochs_input(X, sfreq, ch_names):
    if hasattr(X, "get_data") and hasattr(X, "info"):      # mne.Epochs and friends
        data = np.asarray(X.get_data(), dtype=np.float64)
        fs = float(X.info["sfreq"])
        if sfreq is not None and not np.isclose(float(sfreq), fs):
            raise ValueError(f"sfreq={sfreq} differs from the epochs' sampling rate {fs}")
        names = list(ch_names) if ch_names is not None else list(X.ch_names)
        return data, fs, names
    data = np.asarray(X, dtype=np.float64)
    if data.ndim == 2:
        data = data[np.newaxis]
    if data.ndim != 3:
        raise ValueError(f"X must have shape (n_epochs, n_channels, n_times), not {data.shape}")
    if sfreq is None or not np.isfinite(sfreq) or sfreq <= 0:
        raise ValueError(f"sfreq must be a positive sampling rate in Hz, not {sfreq!r}")
    names = list(ch_names) if ch_names is not None else [f"ch{i}" for i in range(data.shape[1])]
    return data, float(sfreq), names


def _plan(selected_funcs, funcs_params):
    if isinstance(selected_funcs, str):
        selected_funcs = [selected_funcs]
    selected = list(selected_funcs)
    if not selected:
        raise ValueError("selected_funcs names no feature")
    with _REGISTRY_LOCK:
        unknown = [f for f in selected if f not in _REGISTRY]
        if unknown:
            raise ValueError(f"unknown feature(s) {', '.join(map(repr, unknown))}; "
                             f"known: {', '.join(_REGISTRY)}")
        if len(set(selected)) != len(selected):
            raise ValueError(f"a feature is selected twice: {selected}")
        feats = [_REGISTRY[f] for f in selected]
    params = {f.name: {} for f in feats}
    for key, value in (funcs_params or {}).items():
        name, sep, param = key.partition("__")
        if not sep or name not in params:
            raise ValueError(f"funcs_params key {key!r} is not 'feature__parameter' "
                             f"for a selected feature ({', '.join(params)})")
        known = _REGISTRY[name].defaults()
        if known and param not in known:
            raise ValueError(f"feature {name!r} has no parameter {param!r} (has: {', '.join(known)})")
        params[name][param] = value
    return [(f, f.function(), params[f.name]) for f in feats]


def _outputs(feat, value, lead):
    """[(output name or None, array of shape lead)] of one feature's result."""
    if isinstance(value, dict):
        return [(str(k), np.asarray(v, dtype=np.float64)) for k, v in value.items()]
    if hasattr(value, "_fields"):                             # a named tuple
        return [(k, np.asarray(getattr(value, k), dtype=np.float64)) for k in value._fields]
    arr = np.asarray(value, dtype=np.float64)
    if arr.shape == lead:
        return [(None, arr)]
    if arr.shape[:-1] == lead:
        names = feat.outputs or [str(i) for i in range(arr.shape[-1])]
        return [(str(names[i]), arr[..., i]) for i in range(arr.shape[-1])]
    raise ValueError(f"feature {feat.name!r} gave shape {arr.shape}; {lead} expected")


def _compute(plan, data, sfreq):
    lead = data.shape[:-1]
    out = []
    for feat, fn, params in plan:
        value = fn(data, sfreq, **params) if feat.sfreq else fn(data, **params)
        parts = _outputs(feat, value, lead)
        for k, arr in parts:
            if arr.shape != lead:
                raise ValueError(f"feature {feat.name!r} output {k} gave shape {arr.shape}; {lead} expected")
        out.append((feat.name, parts))
    return out


def extract_features(X, sfreq, selected_funcs, funcs_params=None, n_jobs=1, ch_names=None,
                     return_as_df=True):
    """Features of every epoch and channel, one row per epoch.

    Parameters
    ----------
    X : array_like, shape (n_epochs, n_channels, n_times), or mne.Epochs
        The epochs. A 2-D array is one epoch. From an ``mne.Epochs`` the data
        (``get_data()``, in volts), the sampling rate and the channel names
        are taken.
    sfreq : float or None
        Sampling rate in Hz (may be None for an ``mne.Epochs``).
    selected_funcs : list of str
        Feature names (see `list_features`), e.g. ``['perm_entropy', 'sample_entropy']``.
    funcs_params : dict, optional
        Parameters as ``{'feature__parameter': value}``, e.g. ``{'sample_entropy__order': 3}``.
    n_jobs : int
        Threads over blocks of epochs (the compiled kernels release the GIL);
        -1 uses every core. The table does not depend on it.
    ch_names : list of str, optional
        Channel names for the columns (default ``ch0, ch1, ...`` or the
        epochs' own names).
    return_as_df : bool
        A pandas DataFrame (default) or a numpy array (n_epochs, n_columns)
        in the same column order.

    Returns
    -------
    pandas.DataFrame or numpy.ndarray
        One row per epoch; columns ``{channel}_{feature}`` or, for features
        with several outputs, ``{channel}_{feature}_{output}``, ordered by
        feature, channel, output.

    Notes
    -----
    Each feature is the package's function of that name applied to every
    series; its definition and units are in that function's documentation.

    Examples
    --------
    >>> import numpy as np, zemba
    >>> X = np.random.default_rng(0).standard_normal((4, 2, 256))
    >>> df = zemba.extract_features(X, 256.0, ['perm_entropy'], ch_names=['Fz', 'Cz'])
    >>> list(df.columns)
    ['Fz_perm_entropy', 'Cz_perm_entropy']
    """
    data, fs, names = _epochs_input(X, sfreq, ch_names)
    n_epochs, n_channels, _ = data.shape
    if len(names) != n_channels:
        raise ValueError(f"{len(names)} channel names for {n_channels} channels")
    plan = _plan(selected_funcs, funcs_params)
    if n_jobs is None or n_jobs == 0:
        n_jobs = 1
    if n_jobs < 0:
        import os
        n_jobs = os.cpu_count() or 1
    blocks = [b for b in np.array_split(np.arange(n_epochs), min(n_jobs, max(1, n_epochs))) if b.size]
    if len(blocks) <= 1:
        results = [_compute(plan, data, fs)]
    else:
        with ThreadPoolExecutor(len(blocks)) as pool:
            results = list(pool.map(lambda b: _compute(plan, data[b[0]:b[-1] + 1], fs), blocks))
    columns, arrays = [], []
    for i, (fname, parts) in enumerate(results[0]):
        for c, ch in enumerate(names):
            for j, (out, _) in enumerate(parts):
                columns.append(f"{ch}_{fname}" + (f"_{out}" if out is not None else ""))
                arrays.append(np.concatenate([r[i][1][j][1][:, c] for r in results]))
    table = np.column_stack(arrays) if arrays else np.empty((n_epochs, 0))
    if not return_as_df:
        return table
    import pandas as pd
    return pd.DataFrame(table, columns=columns)

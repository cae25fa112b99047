"""zemba: nonlinear and information-theoretic features of time series (EEG).

The top level is the researchers' interface, on the reentrant core: every
function takes one series or an array of shape (..., n_times), returns one
value (or array) per series, releases the interpreter lock while it computes,
and rejects NaN and infinity with a ValueError naming the first bad sample.

- visibility graphs: HorizontalVG, NaturalVG, hvg_irreversibility
- entropies: perm_entropy (bits), multiscale_perm_entropy, sample_entropy,
  app_entropy (nats)
- information: mutual_information (nats)
- spectra: burg, burg_psd, band_powers
- trial files: read_trial, TrialFileError
- feature tables: extract_features, list_features

The original library's routines, with their own conventions, are in
``zemba.legacy``.
"""
from ._version import __version__  # noqa: F401
from .graphs import HorizontalVG, NaturalVG, hvg_irreversibility, IRREVERSIBILITY_FEATURES
from .entropy import perm_entropy, multiscale_perm_entropy, sample_entropy, app_entropy
from .info import mutual_information
from .spectral import burg, burg_psd, band_powers, DEFAULT_BANDS
from .trials import read_trial, Trial, TrialFileError, CONDITIONS
from .extract import extract_features, list_features, register_feature

__all__ = ["__version__", "HorizontalVG", "NaturalVG", "hvg_irreversibility", "IRREVERSIBILITY_FEATURES",
           "perm_entropy", "multiscale_perm_entropy", "sample_entropy", "app_entropy", "mutual_information",
           "burg", "burg_psd", "band_powers", "DEFAULT_BANDS", "read_trial", "Trial", "TrialFileError",
           "CONDITIONS", "extract_features", "list_features", "register_feature", "legacy", "batch"]


def __getattr__(name):
    # zemba.legacy (ctypes over the original library) and zemba.batch load on first use,
    # so that `python3 -m zemba.batch` runs it as a fresh module.
    if name in ("batch", "legacy"):
        import importlib
        return importlib.import_module("." + name, __name__)
    raise AttributeError(f"module 'zemba' has no attribute {name!r}")

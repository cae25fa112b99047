"""zemba: nonlinear and information-theoretic features of time series (EEG).

Thin, safe Python access to libzemba: numpy arrays in and out, one result per
row of a 2-D input, natural logarithms (nats), population moments. Calls are
serialised by a process-wide lock (``zemba.LOCK``); the library's diagnostic
lines are silenced unless ``set_diagnostics("show"|"capture")`` is chosen.
"""
from ._lib import LOCK, set_diagnostics, get_diagnostics, last_diagnostics, library_path, lib
from .features import *  # noqa: F401,F403
from .features import __all__ as _fa
from .eeg import (Trial, TrialFileError, load_trial, load_subject, load_alcohol, trial_divergence,
                  loaded_table, run_hvgs, run_mi, CONDITIONS)

__all__ = ["LOCK", "set_diagnostics", "get_diagnostics", "last_diagnostics", "library_path", "lib",
           "Trial", "TrialFileError", "load_trial", "load_subject", "load_alcohol", "trial_divergence",
           "loaded_table", "run_hvgs", "run_mi", "CONDITIONS", "batch"] + list(_fa)


def __getattr__(name):
    # zemba.batch (data-set scale: zemba.batch.extract(folder) -> feature table) loads on first use,
    # so that `python3 -m zemba.batch` runs it as a fresh module.
    if name == "batch":
        import importlib
        return importlib.import_module(".batch", __name__)
    raise AttributeError(f"module 'zemba' has no attribute {name!r}")

"""zemba.legacy: the interface of the original library, one function per seed routine.

Thin, safe Python access to libzemba (the seed library): numpy arrays in and
out, one result per row of a 2-D input, natural logarithms (nats), population
moments, and every seed routine's own conventions and limits (series of at
most 12193 samples, integer truncation where the routine truncates). Calls are
serialised by a process-wide lock (``zemba.legacy.LOCK``); the library's
diagnostic lines are silenced unless ``set_diagnostics("show"|"capture")`` is
chosen. ``docs/bindings.md`` maps each seed routine to its name here. For new
work use the functions at the top level of ``zemba`` (the reentrant core).
"""
from ._lib import LOCK, set_diagnostics, get_diagnostics, last_diagnostics, library_path, lib
from .features import *  # noqa: F401,F403
from .features import __all__ as _fa
from .eeg import (Trial, TrialFileError, load_trial, load_subject, load_alcohol, trial_divergence,
                  loaded_table, run_hvgs, run_mi, CONDITIONS)

__all__ = ["LOCK", "set_diagnostics", "get_diagnostics", "last_diagnostics", "library_path", "lib",
           "Trial", "TrialFileError", "load_trial", "load_subject", "load_alcohol", "trial_divergence",
           "loaded_table", "run_hvgs", "run_mi", "CONDITIONS"] + list(_fa)

"""Trial files of the alcoholism EEG data set, read by the core's shared reader."""
import os

from . import _core
from .legacy.eeg import Trial, TrialFileError, CONDITIONS

__all__ = ["read_trial", "Trial", "TrialFileError", "CONDITIONS"]

_REASONS = {7: ("open", "cannot be opened or read"), 8: ("not-regular", "is not a regular file"),
            9: ("format", "is not a trial file"), 10: ("incomplete", "is incomplete"),
            11: ("format", "is gzip, which this build cannot read")}


def _empty(path):
    try:
        return os.path.getsize(path) == 0
    except OSError:
        return False


def read_trial(path):
    """Read one trial file (plain text or gzip).

    Parameters
    ----------
    path : str or os.PathLike

    Returns
    -------
    Trial
        Named tuple: data (channels x 256 float64, microvolts), channels
        (names), group ('a' alcoholic, 'c' control), condition (1 S1 obj,
        2 S2 match, 3 S2 nomatch, 4 other, 0 none), error (True for an
        error trial), trial (number, None when absent), subject, path.

    Raises
    ------
    TrialFileError
        (a ValueError) naming the path and the reason ("open",
        "not-regular", "format", "unparsable-line" with ``line``, or
        "incomplete").

    Notes
    -----
    Every channel block the file opens must give each sample 0..255 exactly
    once with a finite value; anything but a regular file is rejected
    without being read.

    Examples
    --------
    >>> import pathlib, zemba
    >>> root = pathlib.Path(zemba.__file__).resolve().parents[2]
    >>> t = zemba.read_trial(root / "data/eeg/co2a0000364.rd.000")
    >>> t.data.shape, t.group, t.channels[0]
    ((64, 256), 'a', 'FP1')
    """
    p = os.fsdecode(os.fspath(path))
    status, line, fields = _core.read_trial(p)
    if fields is None:
        reason, detail = _REASONS.get(status, ("format", _core.status_string(status)))
        if status == 9 and line:
            reason, detail = "unparsable-line", f"has a bad sample line {line}"
        elif status == 10 and line:
            detail = f"is incomplete: the channel block at line {line} lacks samples"
        elif status == 10 and _empty(p):
            detail = "is empty"
        raise TrialFileError(f"trial file {p} {detail}", p, reason, line or None)
    trial = None if fields["trial"] < 0 else fields["trial"]
    return Trial(fields["data"], fields["channels"], fields["group"], fields["condition"], fields["error"],
                 trial, fields["subject"], str(path))

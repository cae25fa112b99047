"""Trial files of the alcoholism EEG data set: loading through the library's
resident sample table, and the channel-pair batch drivers over it."""
import ctypes
import gzip
import os
import re
import tempfile
from collections import namedtuple
from pathlib import Path

import numpy as np

from ._lib import calling, func, lib

Trial = namedtuple("Trial", "data channels group condition error trial subject path")
Table = namedtuple("Table", "group condition samples")

CONDITIONS = {1: "S1 obj", 2: "S2 match", 3: "S2 nomatch", 4: "other"}
_TABLE_DTYPE = np.dtype({"names": ["group", "condition", "names", "samples"],
                         "formats": [("S1", (4,)), ("i1", (4,)), ("S7", (65,)), ("<f8", (65, 1024))],
                         "offsets": [0, 4, 12, 472], "itemsize": 472 + 65 * 1024 * 8})


class TrialFileError(ValueError):
    """A trial file that is missing, empty, truncated or not in the trial format."""


def _table():
    arr = (ctypes.c_char * _TABLE_DTYPE.itemsize).in_dll(lib(), "myData")
    return np.frombuffer(arr, dtype=_TABLE_DTYPE, count=1)[0]


def _read_text(path):
    p = Path(path)
    if not p.exists():
        raise TrialFileError(f"trial file {p} does not exist")
    raw = p.read_bytes()
    if raw[:2] == b"\x1f\x8b":
        try:
            raw = gzip.decompress(raw)
        except (OSError, EOFError) as e:
            raise TrialFileError(f"trial file {p} is a damaged gzip file: {e}") from None
    return raw


def _check(p, raw):
    """Header facts of a trial text; raises TrialFileError if empty or truncated."""
    if not raw.strip():
        raise TrialFileError(f"trial file {p} is empty")
    lines = raw.decode("latin-1").split("\n")
    if len(lines) < 5 or not all(l.startswith("#") for l in lines[:4]):
        raise TrialFileError(f"trial file {p} is truncated or not a trial file (header lines missing)")
    blocks, counts = [], []
    for line in lines[4:]:
        if line.startswith("#"):
            blocks.append(line[1:].split()[0] if line[1:].split() else "")
            counts.append(0)
        elif line.strip():
            if not blocks:
                raise TrialFileError(f"trial file {p}: sample line before the first channel header")
            counts.append(counts.pop() + 1)
    if len(blocks) != 64 or any(c != 256 for c in counts):
        short = [b for b, c in zip(blocks, counts) if c != 256]
        raise TrialFileError(f"trial file {p} is truncated: {len(blocks)} of 64 channel blocks"
                             + (f", channel {short[0]} has {counts[blocks.index(short[0])]} of 256 samples"
                                if short else ""))
    m = re.search(r"trial\s+(\d+)", lines[3])
    return {"error": "err" in lines[3].lower().split(",")[0], "trial": int(m.group(1)) if m else None,
            "subject": lines[0][1:].strip().split(".")[0]}


def _call_loader(paths, n_files, select, option):
    """LoadAlcoholFile; returns the out array (caller holds the lock)."""
    arr = (ctypes.c_char_p * max(1, len(paths)))(*[os.fsencode(p) for p in paths])
    opt = (ctypes.c_char_p * 1)(option.encode())
    out = np.zeros(258)
    func("LoadAlcoholFile")(arr, ctypes.byref(ctypes.c_int(n_files)), ctypes.byref(ctypes.c_int(select)),
                            None, opt, None, out.ctypes.data_as(ctypes.POINTER(ctypes.c_double)))
    return out


def load_trial(path):
    """Load one trial file (plain or gzip) through the library.

    Returns Trial(data [64 x 256 float64, microvolts], channels, group ('a'
    alcoholic / 'c' control), condition (1 S1 obj, 2 S2 match, 3 S2 nomatch,
    4 other), error (True when line 4 carries "err"), trial, subject, path).
    Raises TrialFileError naming the file when it is missing, empty, truncated
    or rejected by the loader."""
    raw = _read_text(path)
    info = _check(path, raw)
    tmp = None
    try:
        target = str(path)
        if Path(path).read_bytes()[:2] == b"\x1f\x8b":
            fd, tmp = tempfile.mkstemp(suffix=".rd")
            with os.fdopen(fd, "wb") as f:
                f.write(raw)
            target = tmp
        with calling():
            out = _call_loader([target], 1, 1, "x")
            if out[0] == -1.0:
                raise TrialFileError(f"trial file {path} was rejected by the loader")
            t = _table()
            data = t["samples"][:64, :256].copy()
            names = [n.decode("latin-1") for n in t["names"][:64]]
            group = t["group"][0].decode("latin-1")
            condition = int(t["condition"][0])
    finally:
        if tmp:
            os.unlink(tmp)
    return Trial(data, names, group, condition, info["error"], info["trial"], info["subject"], str(path))


def load_subject(folder):
    """Load every trial file (``*.rd.NNN``, optionally ``.gz``) of a folder, in
    name order: a list of Trial."""
    files = sorted(p for p in Path(folder).iterdir() if re.search(r"\.rd\.\d+(\.gz)?$", p.name))
    if not files:
        raise TrialFileError(f"no trial files in {folder}")
    return [load_trial(p) for p in files]


def load_alcohol(paths, option="o", select=1):
    """Raw loader call on up to four files (plain text): returns the 258-element
    out array (out[0] group code or -1, out[1] condition; option "o": out[2:258]
    = channel ``select`` (1-based); "D": out[3:67] = divergence feature ``select``)."""
    paths = [str(p) for p in ([paths] if isinstance(paths, (str, os.PathLike)) else paths)]
    if len(paths) > 4:
        raise ValueError(f"{len(paths)} files given; the table holds at most 4")
    if option[:1] in "oO" and not 1 <= select <= 65:
        raise ValueError(f"select={select} is not a channel number 1..65")
    if option[:1] in "dD" and not 0 <= select <= 6:
        raise ValueError(f"select={select} is not a divergence feature index 0..6")
    for p in paths:
        _check(p, _read_text(p))
    with calling():
        return _call_loader(paths, len(paths), select, option)


def trial_divergence(path, feature=0):
    """Divergence feature ``feature`` (0..6, see divergence_features) of each of
    the 64 channels of a trial, computed by the loader (64 values)."""
    out = load_alcohol([path], "D", feature)
    if out[0] == -1.0:
        raise TrialFileError(f"trial file {path} was rejected by the loader")
    return out[3:67].copy()


def loaded_table():
    """Copy of the resident sample table: Table(group letters, condition codes,
    samples 65 x 1024)."""
    with calling():
        t = _table()
        return Table(t["group"].tobytes().decode("latin-1"), t["condition"].copy(), t["samples"].copy())


def _driver(name, n_channels, length, max_ch, max_len):
    if not 1 <= n_channels <= max_ch:
        raise ValueError(f"n_channels={n_channels} outside 1..{max_ch}")
    if not 2 <= length <= max_len:
        raise ValueError(f"length={length} outside 2..{max_len}")
    out = np.zeros(n_channels + 1)
    with calling():
        func(name)(n_channels, length, out.ctypes.data_as(ctypes.POINTER(ctypes.c_double)))
    return out[0], out[1:].copy()


def run_hvgs(n_channels=64, length=256):
    """Visibility-graph similarity of every pair of loaded channels (first
    trial of the last load): (pair mean, per-channel sums / n_channels)."""
    return _driver("RunHVGS", n_channels, length, 64, 257)


def run_mi(n_channels=64, length=256):
    """Mutual information (nats) of the degree sequences of every pair of
    loaded channels: (pair mean, per-channel sums / n_channels)."""
    return _driver("RunMI", n_channels, length, 65, 516)

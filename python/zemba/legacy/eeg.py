"""Trial files of the alcoholism EEG data set: loading through the library's
resident sample table, and the channel-pair batch drivers over it."""
import ctypes
import errno
import gzip
import math
import os
import re
import stat
import zlib
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
    """A trial file that cannot be read or is not a complete trial.

    Attributes: path; reason, one keyword of data/damaged/README.md: "open"
    (missing, no permission, path too long), "not-regular" (directory, FIFO,
    socket, device), "format" (not a trial, bad header, no channel block,
    more than 64 blocks, damaged gzip stream), "unparsable-line" (a sample
    line that does not parse, an index outside 0..255 or given twice, a value
    that is not finite; ``line`` is its number from 1) or "incomplete" (empty,
    header only, truncated, a block short of samples, gzip stream ending
    early; ``line`` is the short block's header line where there is one)."""

    def __init__(self, message, path=None, reason=None, line=None):
        super().__init__(message)
        self.path, self.reason, self.line = path, reason, line

    def __reduce__(self):
        return type(self), (self.args[0], self.path, self.reason, self.line)


def _table():
    arr = (ctypes.c_char * _TABLE_DTYPE.itemsize).in_dll(lib(), "myData")
    return np.frombuffer(arr, dtype=_TABLE_DTYPE, count=1)[0]


def _fail(path, reason, detail, line=None):
    return TrialFileError(f"trial file {os.fsdecode(path)} {detail}", os.fsdecode(path), reason, line)


_KINDS = ((stat.S_ISDIR, "a directory"), (stat.S_ISFIFO, "a FIFO"), (stat.S_ISSOCK, "a socket"),
          (stat.S_ISCHR, "a character device"), (stat.S_ISBLK, "a block device"))


def _not_regular(path, mode):
    kind = next((k for test, k in _KINDS if test(mode)), "not a regular file")
    return _fail(path, "not-regular", f"is {kind}, not a regular file")


def _os_failure(path, e):
    if isinstance(e, FileNotFoundError):
        return _fail(path, "open", "does not exist")
    if isinstance(e, PermissionError):
        return _fail(path, "open", "cannot be opened: permission denied")
    if e.errno == errno.ENAMETOOLONG:
        return _fail(path, "open", "cannot be opened: path too long")
    return _fail(path, "open", f"cannot be read: {e.strerror or e}")


def _read_bytes(path):
    """The bytes of a regular file. Anything else is rejected from its status
    alone; the file is opened non-blocking and checked again, so a FIFO or
    device swapped in meanwhile cannot block the read either."""
    p = os.fspath(path)
    try:
        mode = os.stat(p).st_mode
        if stat.S_ISREG(mode):
            fd = os.open(p, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY | getattr(os, "O_CLOEXEC", 0))
    except ValueError as e:             # a path holding a NUL byte
        raise _fail(path, "open", f"cannot be opened: {e}") from None
    except OSError as e:
        raise _os_failure(path, e) from None
    if not stat.S_ISREG(mode):
        raise _not_regular(path, mode)
    try:
        mode = os.fstat(fd).st_mode
        if not stat.S_ISREG(mode):
            raise _not_regular(path, mode)
        chunks = []
        while True:
            chunk = os.read(fd, 1 << 20)
            if not chunk:
                return b"".join(chunks)
            chunks.append(chunk)
    except OSError as e:
        raise _os_failure(path, e) from None
    finally:
        os.close(fd)


def _plain(path, raw):
    """The text of a trial file: gzip (first bytes 1f 8b, any number of members)
    is decompressed."""
    if raw[:2] != b"\x1f\x8b":
        return raw
    try:
        return gzip.decompress(raw)
    except EOFError as e:
        raise _fail(path, "incomplete", f"is a gzip stream that ends early: {e}") from None
    except (zlib.error, OSError) as e:
        raise _fail(path, "format", f"is a damaged gzip stream: {e}") from None


# A sample line: trial number, channel name, sample index, decimal value,
# separated by white space, nothing but white space after the value.
_SAMPLE = re.compile(rb"\s*[+-]?\d+\s+\S+\s+([+-]?\d+)\s+([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)\s*")
NAME_CAP = 6            # characters of a channel name the resident table keeps


def _condition_code(line):
    """1 "S1 ...", 2 "S2 match", 3 "S2 nomatch", 4 another "S" condition, 0 none
    (the first letter after "S<digit>" and spaces decides)."""
    p = 1
    while line[p:p + 1] == b" ":
        p += 1
    if line[p:p + 1] != b"S":
        return 0
    if line[p + 1:p + 2] == b"1":
        return 1
    p += 2
    while line[p:p + 1] == b" ":
        p += 1
    return {b"m": 2, b"M": 2, b"n": 3, b"N": 3}.get(line[p:p + 1], 4)


def _parse(path, text):
    """Trial fields of a trial file's text; TrialFileError names what is wrong.
    Every channel block must give each sample 0..255 exactly once; lines of
    white space only are ignored."""
    if not text.strip():
        raise _fail(path, "incomplete", "is empty")
    lines = text.split(b"\n")
    if lines[-1] == b"":
        lines.pop()

    def header(i):
        if i >= len(lines):
            raise _fail(path, "incomplete", "is truncated: it ends within the header"
                        if i < 4 else "holds no channel block: it ends after the header")
        return lines[i]

    first = header(0)
    if not first.startswith(b"#"):
        raise _fail(path, "format", "is not a trial file: line 1 does not start with '#'")
    if first[5:6] not in (b"a", b"c"):
        raise _fail(path, "format", "is not a trial file: line 1 names no group ('a' or 'c' at byte 5)")
    for i in (1, 2):
        if not header(i).startswith(b"#"):
            raise _fail(path, "format", f"is not a trial file: header line {i + 1} does not start with '#'")
    cond_line = header(3)
    if not header(4).startswith(b"#"):
        raise _fail(path, "format", "holds no channel block: line 5 is not a channel block header")

    names, rows = [], []
    row = None
    head = given = 0
    nan = math.nan
    match = _SAMPLE.fullmatch

    def close_block():
        if row is not None and given != 256:
            raise _fail(path, "incomplete", f"is truncated: channel block {names[-1] or '?'} (line {head}) "
                                            f"gives {given} of 256 samples", head)

    for i in range(4, len(lines)):
        line = lines[i]
        if line.startswith(b"#"):
            close_block()
            if len(names) == 64:
                raise _fail(path, "format", f"holds more than 64 channel blocks (line {i + 1})")
            words = line[1:].split()
            names.append(words[0][:NAME_CAP].decode("latin-1") if words else "")
            row, head, given = [nan] * 256, i + 1, 0
            rows.append(row)
            continue
        m = match(line)
        if m is None:
            if not line.strip():
                continue
            raise _fail(path, "unparsable-line", f"line {i + 1} is not a sample line: {line[:60].decode('latin-1')!r}", i + 1)
        s = int(m.group(1))
        if not 0 <= s <= 255:
            raise _fail(path, "unparsable-line", f"line {i + 1} gives sample index {s}, outside 0..255", i + 1)
        if row[s] == row[s]:            # not NaN: given before
            raise _fail(path, "unparsable-line", f"line {i + 1} gives sample {s} of channel block "
                                                 f"{names[-1] or '?'} a second time", i + 1)
        v = float(m.group(2))
        if not math.isfinite(v):
            raise _fail(path, "unparsable-line", f"line {i + 1} holds a value that is not finite", i + 1)
        row[s] = v
        given += 1
    close_block()
    number = re.search(rb"trial\s+(\d+)", cond_line)
    return {"data": np.array(rows, dtype=np.float64), "channels": names, "group": first[5:6].decode(),
            "condition": _condition_code(cond_line),
            "error": b"err" in cond_line.lower().split(b",")[0],
            "trial": int(number.group(1)) if number else None,
            "subject": first[1:].decode("latin-1").strip().split(".")[0]}


def read_trial_file(path):
    """Trial fields of a file (plain or gzip) without touching the library."""
    return _parse(path, _plain(path, _read_bytes(path)))


def _store(fields):
    """Leaves a trial in the resident table as a one-file load does (file slot
    0: its 256 columns NaN first, then the trial's rows; names, group,
    condition), so run_hvgs and run_mi see it. Caller holds the lock."""
    t = _table()
    n = len(fields["channels"])
    t["samples"][:, :256] = np.nan
    t["samples"][:n, :256] = fields["data"]
    for c, name in enumerate(fields["channels"]):
        t["names"][c] = name.encode("latin-1")
    t["group"][0] = fields["group"].encode()
    t["condition"][0] = fields["condition"]


def load_trial(path):
    """Load one trial file (plain or gzip), reading and checking it once.

    Returns Trial(data [channels x 256 float64, microvolts; 64 channels in
    every real trial], channels (names), group ('a' alcoholic / 'c' control),
    condition (1 S1 obj, 2 S2 match, 3 S2 nomatch, 4 other, 0 when line 4
    names none), error (True when line 4 before its first comma carries
    "err"), trial (number on line 4, None when absent), subject, path).
    The trial is also left in the library's resident table (file slot 0), as
    LoadAlcoholFile leaves it, for run_hvgs and run_mi.

    Raises TrialFileError (path, reason, line) for a file that cannot be read
    or is not a complete trial: every channel block the file opens must give
    each sample 0..255 exactly once, with a finite decimal value; anything but
    a regular file is rejected without being opened for reading."""
    f = read_trial_file(path)
    with calling():
        _store(f)
    return Trial(f["data"], f["channels"], f["group"], f["condition"], f["error"], f["trial"],
                 f["subject"], str(path))


def _call_loader(paths, n_files, select, option):
    """LoadAlcoholFile; returns the out array (caller holds the lock)."""
    arr = (ctypes.c_char_p * max(1, len(paths)))(*[os.fsencode(p) for p in paths])
    opt = (ctypes.c_char_p * 1)(option.encode())
    out = np.zeros(258)
    func("LoadAlcoholFile")(arr, ctypes.byref(ctypes.c_int(n_files)), ctypes.byref(ctypes.c_int(select)),
                            None, opt, None, out.ctypes.data_as(ctypes.POINTER(ctypes.c_double)))
    return out


def load_subject(folder):
    """Load every trial file (``*.rd.NNN``, optionally ``.gz``) of a folder, in
    name order: a list of Trial."""
    files = sorted(p for p in Path(folder).iterdir() if re.search(r"\.rd\.\d+(\.gz)?$", p.name))
    if not files:
        raise TrialFileError(f"no trial files in {folder}")
    return [load_trial(p) for p in files]


def load_alcohol(paths, option="o", select=1):
    """Raw loader call on up to four trial files (plain or gzip): returns the
    258-element out array (out[0] group code, out[1] condition; option "o":
    out[2:258] = channel ``select`` (1-based); "D": out[3:67] = divergence
    feature ``select``). The files fill the resident table. When the loader
    refuses a file (out[0] = -1), raises TrialFileError with the reason the
    file is refused for."""
    paths = [p for p in ([paths] if isinstance(paths, (str, bytes, os.PathLike)) else paths)]
    if len(paths) > 4:
        raise ValueError(f"{len(paths)} files given; the table holds at most 4")
    if option[:1] in "oO" and not 1 <= select <= 65:
        raise ValueError(f"select={select} is not a channel number 1..65")
    if option[:1] in "dD" and not 0 <= select <= 6:
        raise ValueError(f"select={select} is not a divergence feature index 0..6")
    for p in paths:
        if b"\0" in os.fsencode(p):        # the loader would read the path only up to it
            raise _fail(p, "open", "cannot be opened: the path holds a NUL byte")
    with calling():
        out = _call_loader(paths, len(paths), select, option)
    if out[0] == -1.0:
        for p in paths:
            read_trial_file(p)          # raises with the reason
        raise TrialFileError(f"trial file(s) {', '.join(map(os.fsdecode, paths))} refused by the library's loader",
                             os.fsdecode(paths[0]) if paths else None, "format")
    return out


def trial_divergence(path, feature=0):
    """Divergence feature ``feature`` (0..6, see divergence_features) of each of
    the 64 channels of a trial, computed by the loader (64 values)."""
    return load_alcohol([path], "D", feature)[3:67].copy()


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

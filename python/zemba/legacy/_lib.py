"""Loading of libzemba, the call lock and the routing of its printed diagnostics."""
import ctypes
import os
import sys
import tempfile
import threading
from pathlib import Path

import numpy as np

#: Process-wide lock: the library shares static buffers and is not reentrant.
LOCK = threading.RLock()

_lib = None
_libc = ctypes.CDLL(None)
_libc.fflush.argtypes = [ctypes.c_void_p]
_mode = "silent"
_last = ""

# C++-linkage routines, by their exported (mangled) names.
MANGLED = {
    "Z_HVG_Match3": "_Z11Z_HVG_MatchPKiS0_i",
    "FastDPE": "_Z7FastDPEPKdPKiS2_S2_Pd",
    "normaliseArray_d": "_Z14normaliseArrayPdPii",
    "normaliseArray_i": "_Z14normaliseArrayPKiPii",
    "calculateJointProbability_d": "_Z25calculateJointProbabilityPdS_i",
    "calculateJointProbability_i": "_Z25calculateJointProbabilityPKiS0_i",
    "CalculateVariane": "_Z16CalculateVarianePKidi",
    "Calculate_Covariance": "_Z20Calculate_CovariancePKiS0_iRdS1_",
    "Calculate_Correlation_double": "_Z28Calculate_Correlation_doublePKdS0_i",
    "evlmem": "_Z6evlmemdPdld",
    "integ": "_Z5integPdldddd",
    "band_power": "_Z10band_powerddPdld",
    "memcof": "_Z6memcofPKdllRdPd",
    "RunHVGS": "_Z7RunHVGSiiPd",
    "RunMI": "_Z5RunMIiiPd",
    "getRecurrenceMatrix": "_Z19getRecurrenceMatrixPKdiii",
    "normalize": "_Z9normalizePdi",
    "sampen2": "_Z7sampen2PKdPKiS0_S2_Pd",
    "sampen": "_Z6sampenPKdPiS0_PKiPd",
    "SmEn": "_Z4SmEnPKdPKiS0_S2_Pd",
    "ApEn": "_Z4ApEnPKdjjdd",
}


class NodeRecord(ctypes.Structure):
    _fields_ = [("degree", ctypes.c_int32), ("weight", ctypes.c_double)]


class JointProbabilityResult(ctypes.Structure):
    _fields_ = [
        ("jointProbabilities", ctypes.POINTER(ctypes.c_double)),
        ("jointNumStates", ctypes.c_int),
        ("firstProbabilities", ctypes.POINTER(ctypes.c_double)),
        ("firstNumStates", ctypes.c_int),
        ("secondProbabilities", ctypes.POINTER(ctypes.c_double)),
        ("secondNumStates", ctypes.c_int),
    ]


NODE_CAP = 12194
SERIES_CAP = 12193

_D = ctypes.POINTER(ctypes.c_double)
_I = ctypes.POINTER(ctypes.c_int)
_V = ctypes.c_void_p
_i, _d, _l = ctypes.c_int, ctypes.c_double, ctypes.c_long

# name -> (restype, argtypes); plain names have C linkage.
SIGNATURES = {
    "Z_DTW": (None, [_D, _V, _I, _D]),
    "Z_HVGS": (_d, [_I, _I, _I, _D, _D, _D]),
    "Z_HVG_Match_back": (_d, [_I, _I, _I, _V, _V, _D]),
    "Z_HVG_Match": (_d, [_I, _I, _I, _V, _V, _D]),
    "Z_HVG_Match3": (_d, [_I, _I, _i]),
    "calculateEntropy": (_d, [_I, _I, _I, _D]),
    "FastDPE": (None, [_D, _I, _I, _I, _D]),
    "normaliseArray_d": (_i, [_D, _I, _i]),
    "normaliseArray_i": (_i, [_I, _I, _i]),
    "calculateJointProbability_d": (JointProbabilityResult, [_D, _D, _i]),
    "calculateJointProbability_i": (JointProbabilityResult, [_I, _I, _i]),
    "calculateMutualInformation": (None, [_D, _D, _I, _D]),
    "DDPE": (None, [_D, _I, _I, _I, _D]),
    "HVG_Entropy": (None, [_D, _I, _I, _I, _D]),
    "calculateDelayPermutationEntropy": (None, [_D, _I, _I, _I, _D]),
    "MultiScale_DPE": (None, [_D, _I, _I, _I, _I, _D]),
    "calculatePermutationEntropy": (None, [_D, _I, _I, _D]),
    "Z_HVA": (_d, [_D, _I, _I, _D]),
    "Z_ZEMBA": (_d, [_D, _I, _D]),
    "getHVGAdjMatrix": (None, [_D, _I, _I, _I]),
    "getVGFast": (_d, [_D, _I, _I, _I, _I]),
    "getRevVGFast": (_d, [_D, _I, _I, _I, _I]),
    "getZEMBG_4features": (None, [_I, _i, _D]),
    "Z_ZEMBA_Entropy": (_d, [_D, _i, _i]),
    "Z_ZEMBA_KLD": (_d, [_D, _I, _D]),
    "getDegreeClusterDistribute": (_D, [_D, _D, _I, _I, _I, _D]),
    "getDegreeDistribute_int": (_D, [_I, _I, _I, _I, _D]),
    "CalculateVariane": (_d, [_I, _d, _i]),
    "Calculate_Covariance": (_d, [_I, _I, _i, _D, _D]),
    "Calculate_Correlation": (_d, [_I, _I, _i]),
    "Calculate_Correlation_double": (_d, [_D, _D, _i]),
    "evlmem": (_d, [_d, _D, _l, _d]),
    "integ": (_d, [_D, _l, _d, _d, _d, _d]),
    "band_power": (_d, [_d, _d, _D, _l, _d]),
    "memcof": (_i, [_D, _l, _l, _D, _D]),
    "memse": (None, [_D, _I, _D, _D]),
    "RunHVGS": (_D, [_i, _i, _D]),
    "RunMI": (_D, [_i, _i, _D]),
    "LoadAlcoholFile": (None, [ctypes.POINTER(ctypes.c_char_p), _I, _I, _V,
                               ctypes.POINTER(ctypes.c_char_p), _V, _D]),
    "getRecurrenceMatrix": (_i, [_D, _i, _i, _i]),
    "getRecurrenceAdj": (None, [_D, _I, _I, _I, _D]),
    "normalize": (_d, [_D, _i]),
    "sampen2": (None, [_D, _I, _D, _I, _D]),
    "sampen_1": (None, [_D, _I, _D, _I, _D]),
    "sampen": (None, [_D, _I, _D, _I, _D]),
    "SmEn": (_d, [_D, _I, _D, _I, _D]),
    "ApEn": (_d, [_D, ctypes.c_uint, ctypes.c_uint, _d, _d]),
    "AppEn1": (None, [_D, _I, _I, _D, _D]),
}


def library_path():
    """Path of the shared library: $ZEMBA_LIBRARY, else the copy installed with the package, else
    build/libzemba.so of the repository."""
    env = os.environ.get("ZEMBA_LIBRARY")
    if env:
        return Path(env)
    here = Path(__file__).resolve().parent.parent   # the zemba package (this is zemba/legacy)
    packaged = sorted(here.glob("libzemba*.so")) + sorted((here / "legacy").glob("libzemba*.so"))
    if packaged:  # an installed package carries its own copy
        return packaged[0]
    return here.parent.parent / "build" / "libzemba.so"


def lib():
    """The loaded library (loaded on first use), routines typed."""
    global _lib
    with LOCK:
        if _lib is None:
            path = library_path()
            if not path.exists():
                raise OSError(f"zemba library not found at {path} "
                              "(build it with scripts/build.sh or set ZEMBA_LIBRARY)")
            handle = ctypes.CDLL(str(path))
            for name, (res, args) in SIGNATURES.items():
                fn = getattr(handle, MANGLED.get(name, name))
                fn.restype = res
                fn.argtypes = args
            _lib = handle
        return _lib


def func(name):
    """The typed routine `name` (plain name, or the key of MANGLED)."""
    return getattr(lib(), MANGLED.get(name, name))


def buffer(name, dtype, shape):
    """Numpy view (no copy) of the exported array `name`; read it under LOCK, copy out."""
    dtype = np.dtype(dtype)
    count = int(np.prod(shape))
    arr = (np.ctypeslib.as_ctypes_type(dtype) * count).in_dll(lib(), name)
    return np.frombuffer(arr, dtype=dtype, count=count).reshape(shape)


def scalar(name, ctype=ctypes.c_int32):
    """Value of the exported scalar `name`."""
    return ctype.in_dll(lib(), name).value


def node_records(name, count):
    """Copies of (degree, weight) of the first `count` records of outSets/inSets."""
    arr = (NodeRecord * NODE_CAP).in_dll(lib(), name)
    view = np.frombuffer(arr, dtype=np.dtype([("degree", "<i4"), ("weight", "<f8")], align=True),
                         count=NODE_CAP)
    return view["degree"][:count].copy(), view["weight"][:count].copy()


# ---- diagnostics -----------------------------------------------------------
# The library reads ZEMBA_QUIET at each line it would print ("" or "0": print).
# It is set here, before the library is loaded, so the default costs nothing:
# no line is formatted, no write() is made, no file descriptor is touched.
# Child processes started afterwards inherit it (the batch workers rely on that).

QUIET = "ZEMBA_QUIET"
os.environ[QUIET] = "1"


def set_diagnostics(mode):
    """Choose what happens to the lines the library prints: "silent" (default:
    the library prints nothing), "capture" (kept for last_diagnostics()) or
    "show" (to the process's standard output)."""
    global _mode
    if mode not in ("silent", "capture", "show"):
        raise ValueError(f"diagnostics mode must be 'silent', 'capture' or 'show', not {mode!r}")
    _mode = mode


def get_diagnostics():
    return _mode


def last_diagnostics():
    """Text printed by the library during the last binding call ("capture" mode)."""
    return _last


def _c_stdout():
    """The C library's `stdout` pointer variable, or None where it cannot be reached."""
    try:
        var = ctypes.c_void_p.in_dll(_libc, "stdout")
        _libc.open_memstream.restype = ctypes.c_void_p
        _libc.open_memstream.argtypes = [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
        _libc.fclose.argtypes = [ctypes.c_void_p]
        _libc.free.argtypes = [ctypes.c_void_p]
        return var
    except (ValueError, AttributeError):
        return None


_stdout_var = _c_stdout()


class _MemoryStdout:
    """Capture by swapping the C `stdout` stream for an in-memory stream: no file
    descriptor changes, so output of other threads (Python's own writes, other
    programs' descriptors) is untouched. C-level printf of another thread during
    the call would be captured with it."""

    def start(self):
        self.buf, self.size = ctypes.c_char_p(), ctypes.c_size_t()
        self.stream = _libc.open_memstream(ctypes.byref(self.buf), ctypes.byref(self.size))
        if not self.stream:
            raise MemoryError("open_memstream failed")
        _libc.fflush(_stdout_var.value)
        self.saved = _stdout_var.value
        _stdout_var.value = self.stream

    def finish(self):
        _stdout_var.value = self.saved
        _libc.fclose(self.stream)      # sets buf and size
        addr = ctypes.cast(self.buf, ctypes.c_void_p).value
        text = ctypes.string_at(addr, self.size.value).decode("latin-1") if addr else ""
        if addr:
            _libc.free(addr)
        return text


class _DescriptorStdout:
    """Capture by redirecting file descriptor 1 to a temporary file (used only
    where the C stdout stream cannot be swapped): for the length of the call it
    also takes what other threads write to descriptor 1."""

    def start(self):
        try:
            sys.stdout.flush()
        except Exception:
            pass
        _libc.fflush(None)
        self.tmp = tempfile.TemporaryFile()
        self.saved = os.dup(1)
        os.dup2(self.tmp.fileno(), 1)

    def finish(self):
        _libc.fflush(None)
        os.dup2(self.saved, 1)
        os.close(self.saved)
        self.tmp.seek(0)
        text = self.tmp.read().decode("latin-1")
        self.tmp.close()
        return text


class _Calls:
    """Holds the lock for one binding call and routes the library's lines by the mode
    (only the outermost of nested calls routes)."""

    def __enter__(self):
        LOCK.acquire()
        self.depth = getattr(_tls, "depth", 0)
        _tls.depth = self.depth + 1
        self.mode = _mode if self.depth == 0 else None
        self.capture = None
        try:
            if self.mode in ("show", "capture"):
                os.environ[QUIET] = "0"
            if self.mode == "show":
                try:
                    sys.stdout.flush()
                except Exception:
                    pass
            elif self.mode == "capture":
                self.capture = _MemoryStdout() if _stdout_var is not None else _DescriptorStdout()
                self.capture.start()
        except BaseException:
            self._leave()
            raise
        return self

    def __exit__(self, *exc):
        global _last
        try:
            if self.mode == "capture":
                _last = self.capture.finish()
            elif self.mode is not None:
                if self.mode == "show":
                    _libc.fflush(None)
                _last = ""
        finally:
            self._leave()
        return False

    def _leave(self):
        if self.mode in ("show", "capture"):
            os.environ[QUIET] = "1"
        _tls.depth = self.depth
        LOCK.release()


_tls = threading.local()


def calling():
    """Context for one binding call: lock held, diagnostics routed by the mode."""
    return _Calls()

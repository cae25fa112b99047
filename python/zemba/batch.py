"""Batch feature extraction over a data set of EEG trial files.

From a folder laid out as the alcoholism data set distributes it
(``<subject>/<subject>.rd.NNN[.gz]``), a flat folder of trial files, or a list
of files, computes named per-channel features for every trial x channel and
returns a tidy pandas DataFrame (one row per trial and channel, rows sorted by
subject, trial number, file name and channel position).

The core's features release the interpreter lock, so local workers are
threads of this process when every feature is the core's; the original
library's features (process-wide buffers, one call at a time) are spread over
a local process pool ('spawn'), one library instance each. A Dask distributed
cluster is used when given its scheduler address. Every engine gives the same
table, row for row and bit for bit.

Command line: ``python3 -m zemba.batch SOURCE... -o features.csv`` (or
``scripts/zemba-batch``); ``--help`` lists the options.
"""
import argparse
import math
import os
import re
import signal
import stat
import sys
import tempfile
import time
import warnings
from collections import namedtuple
from pathlib import Path

import numpy as np

__all__ = ["legacy_api", "FEATURES", "DEFAULT_FEATURES", "BatchResult", "SkippedFile", "find_trials", "extract",
           "write_table", "check_writable", "make_figures", "main"]

GROUPS = {"a": "alcoholic", "c": "control"}
SIMILARITY = ("match", "mi")
MAX_DEGREE_BIN = 40          # degrees above this are counted in the last bin

SkippedFile = namedtuple("SkippedFile", "path reason")


class BatchResult(namedtuple("BatchResult", "table skipped degree_counts similarity channels similarity_kind")):
    """table: DataFrame (subject, group, condition, trial, file, channel, features...);
    skipped: list of SkippedFile; degree_counts: {group: node counts per degree
    0..MAX_DEGREE_BIN (last bin: that degree or more)} of the horizontal
    visibility graphs; similarity: {group: channels x channels mean pair
    similarity} or None; channels: channel names in table order;
    similarity_kind: 'match', 'mi' or None."""


def legacy_api():
    """The module holding the original library's routines the batch features
    call (divergence_features, hva, load_trial, ...): zemba.legacy where the
    package has it, else the top level, where they lived before."""
    import importlib
    try:
        return importlib.import_module("zemba.legacy")
    except ImportError:
        return importlib.import_module("zemba")


# ---- feature registry -------------------------------------------------------
# Each entry maps a trial's data (channels x samples, microvolts), its
# sampling rate and the feature's parameters to {column: one value per
# channel}. Columns are named as extract_features names them without the
# channel prefix: `{feature}` for one output, `{feature}_{output}` for several;
# the divergence features keep the `div_*` names the CLI prints.

def _core_api():
    import zemba
    return zemba


def _hvg_irreversibility(x, fs, weighted=None):
    d = _core_api().hvg_irreversibility(x, weighted=weighted)
    return {f"hvg_irreversibility_{k}": v for k, v in d.items()}


def _band_powers(x, fs, order=None, relative=False):
    b = _core_api().band_powers(x, fs, order=order, relative=bool(relative))
    return {f"band_powers_{k}": v for k, v in b.items()}


def _perm_entropy(x, fs, order=3, delay=1, normalize=False):
    return {"perm_entropy": _core_api().perm_entropy(x, order=int(order), delay=int(delay),
                                                     normalize=bool(normalize))}


def _sample_entropy(x, fs, order=2, tolerance=None):
    return {"sample_entropy": _core_api().sample_entropy(x, order=int(order), tolerance=tolerance)}


def _app_entropy(x, fs, order=2, tolerance=None):
    return {"app_entropy": _core_api().app_entropy(x, order=int(order), tolerance=tolerance)}


def _hvg_degrees(x):
    """Horizontal visibility degrees of each channel (core), int64 channels x samples."""
    from . import _core
    return np.stack([_core.vg_degrees_plain(0, row, False) for row in x]) if len(x) else \
        np.zeros((0, x.shape[-1]), dtype=np.int64)


def _mean_degree(x, fs):
    return {"mean_degree": _hvg_degrees(x).mean(axis=1)}


# The original library's features (zemba.legacy, serialised by its lock): the
# `div_*` columns are the ones the command-line program zemba-eeg prints.
def _divergence(x, fs):
    zemba = legacy_api()
    d = zemba.divergence_features(x)
    return {f"div_{k}": getattr(d, k) for k in d._fields}


def _delay_perm_entropy(x, fs, order=4, delay=1):
    zemba = legacy_api()
    return {"delay_perm_entropy": zemba.delay_permutation_entropy(x, m=int(order), tau=int(delay))}


def _degree_entropy(x, fs):
    zemba = legacy_api()
    return {"degree_entropy": zemba.degree_entropy(x)}


def _hvg_stack(x, fs):
    zemba = legacy_api()
    h = zemba.hvg_stack(x)
    return {f"hvg_stack_{k}": np.asarray(getattr(h, k), dtype=np.float64) for k in h._fields}


FEATURES = {
    "hvg_irreversibility": _hvg_irreversibility,
    "band_powers": _band_powers,
    "perm_entropy": _perm_entropy,
    "sample_entropy": _sample_entropy,
    "app_entropy": _app_entropy,
    "mean_degree": _mean_degree,
    "div": _divergence,
    "delay_perm_entropy": _delay_perm_entropy,
    "degree_entropy": _degree_entropy,
    "hvg_stack": _hvg_stack,
}
# Features computed by the reentrant core with the interpreter lock released:
# threads of one process compute them side by side.
CORE_FEATURES = frozenset({"hvg_irreversibility", "band_powers", "perm_entropy", "sample_entropy", "app_entropy",
                           "mean_degree"})
# Earlier names of the same features, still accepted.
ALIASES = {"divergence": "div", "permutation_entropy": "perm_entropy",
           "delay_permutation_entropy": "delay_perm_entropy"}
DEFAULT_FEATURES = ("hvg_irreversibility", "band_powers", "perm_entropy", "sample_entropy", "mean_degree")
DEFAULT_SFREQ = 256.0

FEATURE_HELP = {
    "hvg_irreversibility": "time-irreversibility features of the directed horizontal visibility graph "
                           "(7 columns hvg_irreversibility_*; weighted=None)",
    "band_powers": "Burg-model band powers delta..gamma at --sfreq (band_powers_*; order=trunc(sqrt(n)+0.5))",
    "perm_entropy": "permutation entropy in bits (perm_entropy; order=3, delay=1)",
    "sample_entropy": "sample entropy in nats (sample_entropy; order=2, tolerance=0.2 x SD)",
    "app_entropy": "approximate entropy in nats (app_entropy; order=2, tolerance=0.2 x SD)",
    "mean_degree": "mean degree of the horizontal visibility graph",
    "div": "original library: backward/forward divergence, integer weights (7 columns div_*, as zemba-eeg)",
    "delay_perm_entropy": "original library: delay permutation entropy (order=4, delay=1)",
    "degree_entropy": "original library: entropy of the visibility-graph degree sequence",
    "hvg_stack": "original library: stack-built visibility graph summary (7 columns hvg_stack_*)",
}


def feature_params(name):
    """{parameter: default} of a batch feature."""
    import inspect
    fn = FEATURES[ALIASES.get(name, name)]
    return {k: v.default for k, v in list(inspect.signature(fn).parameters.items())[2:]}


def _parse_params(params):
    """{feature: {param: value}} from a dict {'feature.param' or 'feature__param': value}
    or a list of 'feature.param=value' strings (values read as numbers where they are)."""
    if params is None:
        return {}
    if not isinstance(params, dict):
        items = {}
        for item in params:
            key, sep, value = str(item).partition("=")
            if not sep:
                raise ValueError(f"parameter {item!r} is not feature.param=value")
            for conv in (int, float):
                try:
                    value = conv(value)
                    break
                except ValueError:
                    pass
            items[key.strip()] = value
        params = items
    out = {}
    for key, value in params.items():
        name, sep, param = key.replace("__", ".").partition(".")
        name = ALIASES.get(name, name)
        if not sep or name not in FEATURES:
            raise ValueError(f"parameter {key!r} names no feature (feature.param; features: {', '.join(FEATURES)})")
        known = feature_params(name)
        if param not in known:
            raise ValueError(f"feature {name!r} has no parameter {param!r}"
                             + (f" (has: {', '.join(known)})" if known else " (it takes none)"))
        out.setdefault(name, {})[param] = value
    return out


def _resolve(features, params=None):
    """[(name, callable, params)] from names of FEATURES (or ALIASES) or module-level
    callables f(data, fs)."""
    if features is None:
        features = DEFAULT_FEATURES
    if isinstance(features, str):
        features = [f for f in features.split(",") if f]
    params = _parse_params(params)
    out = []
    for f in features:
        if callable(f):
            out.append((getattr(f, "__name__", repr(f)), f, {}))
        elif ALIASES.get(f, f) in FEATURES:
            f = ALIASES.get(f, f)
            out.append((f, FEATURES[f], dict(params.get(f, {}))))
        else:
            raise ValueError(f"unknown feature {f!r}; known: {', '.join(FEATURES)}")
    if not out:
        raise ValueError("no feature chosen")
    unused = set(params) - {n for n, _, _ in out}
    if unused:
        raise ValueError(f"parameters given for feature(s) not computed: {', '.join(sorted(unused))}")
    return out


# ---- finding trial files ----------------------------------------------------

_TRIAL_NAME = re.compile(r"\.rd\.(\d+)(\.gz)?$")


def find_trials(source):
    """Trial files of a data-set folder (subject subfolders), a flat folder, a
    single file, or a list of any of these; sorted by path, duplicates removed."""
    items = [source] if isinstance(source, (str, os.PathLike)) else list(source)
    found = []
    for item in items:
        p = Path(item)
        if p.is_dir():
            found.extend(f for f in p.rglob("*") if f.is_file() and _TRIAL_NAME.search(f.name))
        elif p.exists() or _TRIAL_NAME.search(p.name):
            found.append(p)   # a missing listed file is reported as skipped
        else:
            raise FileNotFoundError(f"{p} is neither a trial file nor a folder")
    seen, files = set(), []
    for f in sorted(found, key=lambda f: str(f)):
        key = str(f.resolve()) if f.exists() else str(f)
        if key not in seen:
            seen.add(key)
            files.append(f)
    return files


def _shard(files, shard):
    if shard is None:
        return files
    k, n = _parse_shard(shard)
    return files[k::n]


def _parse_shard(shard):
    if isinstance(shard, str):
        m = re.fullmatch(r"\s*(\d+)\s*/\s*(\d+)\s*", shard)
        if not m:
            raise ValueError(f"shard {shard!r} is not K/N")
        shard = (int(m.group(1)), int(m.group(2)))
    k, n = shard
    if n < 1 or not 0 <= k < n:
        raise ValueError(f"shard {k}/{n}: need N >= 1 and 0 <= K < N")
    return k, n


# ---- work done in a worker process -----------------------------------------

def _similarity(data, kind):
    """Channels x channels pair similarity of one trial's degree sequences
    (upper triangle computed, mirrored; diagonal NaN). The pair routine is
    called directly: the per-call checks of the wrappers hold for every pair
    once they hold for the trial (int32 degrees, few states)."""
    import ctypes
    zemba = legacy_api()
    from .legacy._lib import func
    n, length = data.shape
    mat = np.full((n, n), np.nan)
    if kind == "match":
        deg = np.ascontiguousarray(zemba.hvg_degrees(data).degree, dtype=np.int32)
        fn = func("Z_HVG_Match3")
        ptr = [deg[c].ctypes.data_as(ctypes.POINTER(ctypes.c_int)) for c in range(n)]
        pair = lambda a, b: fn(ptr[a], ptr[b], length)
    else:
        deg = np.ascontiguousarray(zemba.hvg_degrees(data, inverted=True).degree, dtype=np.float64)
        if n > 1:
            zemba.mutual_information(deg[0], deg[1])   # validates sizes and state counts
        span = int(deg.max() - deg.min()) + 1 if deg.size else 1
        if span * span > 4096:
            raise ValueError(f"degree range {span} too wide for mutual information")
        fn = func("calculateMutualInformation")
        ptr = [deg[c].ctypes.data_as(ctypes.POINTER(ctypes.c_double)) for c in range(n)]
        size, out = ctypes.c_int(length), ctypes.c_double()

        def pair(a, b):
            fn(ptr[a], ptr[b], ctypes.byref(size), ctypes.byref(out))
            return out.value
    for a in range(n - 1):
        for b in range(a + 1, n):
            mat[a, b] = mat[b, a] = pair(a, b)
    return mat


def _one_trial(path, features, similarity, fs):
    zemba = _core_api()
    try:
        t = zemba.read_trial(path)
    except zemba.TrialFileError as e:
        return ("skip", str(path), f"{e.reason}: {e}")
    except Exception as e:        # whatever makes a file unreadable skips that file only
        return ("skip", str(path), f"open: trial file {path} cannot be read: {type(e).__name__}: {e}")
    if t.error:
        return ("skip", str(path), "trial marked as an error trial (\"err\" in its condition line)")
    deg = _hvg_degrees(t.data)  # for the degree counts, and the mean degree if asked for
    cols = {}
    for name, fn, params in features:
        try:
            computed = {"mean_degree": deg.mean(axis=1)} if fn is _mean_degree else fn(t.data, fs, **params)
        except ValueError as e:   # the routines refuse this trial's data (e.g. values that overflow)
            return ("skip", str(path), f"feature {name} refused the trial: {e}")
        for col, vals in computed.items():
            vals = np.asarray(vals, dtype=np.float64)
            if vals.shape != (t.data.shape[0],):
                raise ValueError(f"feature {name} column {col} gave shape {vals.shape}, "
                                 f"one value per channel expected")
            cols[col] = vals
    counts = np.bincount(np.minimum(deg.ravel(), MAX_DEGREE_BIN), minlength=MAX_DEGREE_BIN + 1)
    meta = {"subject": t.subject, "group": GROUPS.get(t.group, t.group),
            "condition": zemba.CONDITIONS.get(t.condition, str(t.condition)), "trial": t.trial,
            "file": Path(path).name}
    sim = None
    if similarity:
        from .legacy._lib import calling
        with calling():
            sim = _similarity(t.data, similarity)
    return ("ok", str(path), meta, t.channels, cols, counts, sim)


def _run_chunk(paths, job, cancel=None):
    """Work unit of a worker: results of a few trial files, in order. The
    core's features run unlocked (threads compute side by side); the original
    library's take its lock call by call. job: (plan, similarity, sfreq), plan
    [(feature name or callable, params)]. cancel: a threading.Event that, once
    set, stops the chunk between trials (its results are then discarded)."""
    plan, similarity, fs = job
    feats = [(n, FEATURES[n], prm) if isinstance(n, str) else (getattr(n, "__name__", repr(n)), n, prm)
             for n, prm in plan]
    out = []
    for p in paths:
        if cancel is not None and cancel.is_set():
            break
        out.append(_one_trial(p, feats, similarity, fs))
    return out


def _indexed_chunk(task):
    i, paths, job = task
    return i, _run_chunk(paths, job)


def _worker_init():
    # Ctrl-C reaches the whole process group: the parent alone decides, and
    # stops the workers itself.
    signal.signal(signal.SIGINT, signal.SIG_IGN)


# ---- engines ----------------------------------------------------------------

def _chunks(files, workers):
    size = max(1, min(8, len(files) // max(1, 4 * workers)))
    return [[str(f) for f in files[i:i + size]] for i in range(0, len(files), size)]


def _progress(total, enabled):
    if enabled is None:
        enabled = sys.stderr.isatty()
    if not enabled:
        return None
    from tqdm import tqdm
    return tqdm(total=total, unit="trial", desc="zemba batch", file=sys.stderr, smoothing=0.1)


def _serial(chunks, job):
    for i, c in enumerate(chunks):
        yield i, _run_chunk(c, job)


def _threads(chunks, job, workers):
    """Chunks on a pool of threads in this process. Left early, queued chunks
    are cancelled and running ones stop after their current trial."""
    import threading
    from concurrent.futures import ThreadPoolExecutor, as_completed
    pool = ThreadPoolExecutor(workers, thread_name_prefix="zemba-batch")
    cancel = threading.Event()
    futs = {}
    try:
        futs = {pool.submit(_run_chunk, c, job, cancel): i for i, c in enumerate(chunks)}
        for f in as_completed(futs):
            yield futs[f], f.result()
    finally:
        cancel.set()                      # running chunks stop after their current trial
        pool.shutdown(wait=True, cancel_futures=True)


def _local(chunks, job, workers):
    """Chunks on a pool of spawned worker processes. Left early (an interrupt,
    an error), the pool is terminated: queued chunks are dropped and running
    workers stopped at once, then joined, so none outlives the call."""
    import multiprocessing
    ctx = multiprocessing.get_context("spawn")
    with _no_interrupt():                 # workers start with SIGINT ignored (inherited through exec)
        pool = ctx.Pool(workers, initializer=_worker_init)
    finished = False
    try:
        tasks = [(i, c, job) for i, c in enumerate(chunks)]
        for i, res in pool.imap_unordered(_indexed_chunk, tasks):
            yield i, res
        finished = True
    finally:
        with _no_interrupt():             # a second Ctrl-C must not leave workers behind
            if finished:
                pool.close()
            else:
                pool.terminate()
            pool.join()


class _no_interrupt:
    """Holds SIGINT off (main thread only) for the length of a cleanup."""

    def __enter__(self):
        import threading
        self.old = None
        if threading.current_thread() is threading.main_thread():
            self.old = signal.signal(signal.SIGINT, signal.SIG_IGN)
        return self

    def __exit__(self, *exc):
        if self.old is not None:
            signal.signal(signal.SIGINT, self.old)
        return False


def _dask(chunks, job, scheduler):
    from distributed import Client, as_completed
    own = not isinstance(scheduler, Client)
    client = Client(scheduler) if own else scheduler
    futs = []
    finished = False
    try:
        futs = [client.submit(_run_chunk, c, job, pure=False) for c in chunks]
        index = {f.key: i for i, f in enumerate(futs)}
        for f in as_completed(futs):
            res = f.result()
            i = index[f.key]
            f.release()
            yield i, res
        finished = True
    finally:
        if not finished and futs:
            client.cancel(futs)
        if own:
            client.close()


def extract(source, features=None, *, workers=None, scheduler=None, progress=None, shard=None,
            similarity=None, announce=False, params=None, sfreq=DEFAULT_SFREQ, engine="auto"):
    """Features of every trial x channel of `source` (see find_trials).

    features: names from FEATURES (default DEFAULT_FEATURES), or module-level
    callables f(data, fs) -> {column: values per channel}. workers: local worker
    processes (default: the machine's cores; 0 computes in this process).
    scheduler: a Dask scheduler address ('tcp://host:8786') or a
    distributed.Client; its workers must be processes (one thread each gives
    full use: calls on one library instance are serialised). progress: tqdm bar
    on stderr (default: when stderr is a terminal). shard: 'K/N' keeps every
    Nth trial file starting at the Kth (0-based) of the sorted list.
    similarity: 'match' (visibility-graph matching of degree sequences) or
    'mi' (mutual information of degree sequences) to average channel-pair
    similarity matrices per group. announce: one line on stderr when the
    work starts. Every file that cannot be read or is not a complete trial
    (whatever the reason), and error trials, are skipped, listed in the
    result and warned about. KeyboardInterrupt stops the work at once: queued
    chunks are dropped and worker processes stopped before it propagates.
    params: feature parameters, {'sample_entropy.order': 3} (or
    'sample_entropy__order') or a list of 'feature.param=value' strings.
    sfreq: sampling rate of the trials in Hz (the data set's: 256).
    engine: 'processes' (a spawned pool), 'threads' (this process) or 'auto'
    (the default: threads when every feature is computed by the core and no
    similarity is asked for, else processes) for workers >= 1; every engine
    gives the same table."""
    feats = _resolve(features, params)
    plan = [(n if n in FEATURES and FEATURES[n] is f else f, prm) for n, f, prm in feats]
    if not (isinstance(sfreq, (int, float)) and math.isfinite(sfreq) and sfreq > 0):
        raise ValueError(f"sfreq must be a positive sampling rate in Hz, not {sfreq!r}")
    if engine not in ("auto", "processes", "threads"):
        raise ValueError(f"engine must be 'auto', 'processes' or 'threads', not {engine!r}")
    if engine == "auto":
        core_only = similarity is None and all(isinstance(f, str) and f in CORE_FEATURES for f, _ in plan)
        engine = "threads" if core_only else "processes"
    job = (plan, similarity, float(sfreq))
    if similarity is not None and similarity not in SIMILARITY:
        raise ValueError(f"similarity must be one of {SIMILARITY} or None, not {similarity!r}")
    files = _shard(find_trials(source), shard)
    if workers is None:
        workers = os.cpu_count() or 1
    if scheduler is None and workers < 0:
        raise ValueError(f"workers={workers} must be >= 0")
    chunks = _chunks(files, 1 if scheduler is None and workers == 0 else max(1, workers))
    if scheduler is not None:
        stream = _dask(chunks, job, scheduler)
    elif workers == 0 or not chunks:
        stream = _serial(chunks, job)
    else:
        stream = (_threads if engine == "threads" else _local)(chunks, job, min(workers, len(chunks)))

    bar = _progress(len(files), progress)
    if announce:
        where = (f"the Dask scheduler {scheduler}" if scheduler is not None else
                 "this process" if workers == 0 or not chunks else
                 f"{min(workers, len(chunks))} worker {'thread' if engine == 'threads' else 'process'}(es)")
        print(f"zemba-batch: {len(files)} trial file(s) on {where}", file=sys.stderr, flush=True)
    done, ready, nxt, sims = [], {}, 0, {}
    try:
        for i, res in stream:
            ready[i] = res
            if bar is not None:
                bar.update(len(res))
            while nxt in ready:           # fold in file order: sums do not depend on timing
                for r in ready.pop(nxt):
                    if r[0] == "ok" and r[6] is not None:
                        s, k = sims.get(r[2]["group"], (0.0, 0))
                        sims[r[2]["group"]] = (s + r[6], k + 1)
                        r = r[:6] + (None,)
                    done.append(r)
                nxt += 1
    finally:
        stream.close()                    # an interrupt stops the engine's work here
        if bar is not None:
            bar.close()
    res = _assemble(done)
    means = {g: s / k for g, (s, k) in sorted(sims.items())} if similarity else None
    return res._replace(similarity=means, similarity_kind=similarity)


def _assemble(results):
    import pandas as pd
    skipped = [SkippedFile(r[1], r[2]) for r in results if r[0] == "skip"]
    ok = [r for r in results if r[0] == "ok"]
    if skipped:
        shown = "; ".join(f"{Path(s.path).name}: {s.reason}" for s in skipped[:5])
        more = f" (and {len(skipped) - 5} more)" if len(skipped) > 5 else ""
        warnings.warn(f"{len(skipped)} trial file(s) skipped: {shown}{more}", stacklevel=3)
    ok.sort(key=lambda r: (r[2]["subject"], r[2]["trial"] if r[2]["trial"] is not None else -1,
                           r[2]["file"], r[1]))
    counts, channels = {}, []
    for _, path, meta, chans, cols, deg, _ in ok:
        channels = channels or list(chans)
        counts[meta["group"]] = counts.get(meta["group"], 0) + deg
    base = ["subject", "group", "condition", "trial", "file", "channel"]
    if ok:
        # Built column by column: one frame per trial and a concatenation
        # cost more than the features of a trial.
        rows = np.array([len(r[3]) for r in ok])
        data = {k: np.repeat(np.array([r[2][k] for r in ok], dtype=object), rows) for k in ok[0][2]}
        data["channel"] = np.array([c for r in ok for c in r[3]], dtype=object)
        names = list(dict.fromkeys(c for r in ok for c in r[4]))
        for c in names:
            data[c] = np.concatenate([r[4][c] if c in r[4] else np.full(len(r[3]), np.nan) for r in ok])
        table = pd.DataFrame(data)
    else:
        table = pd.DataFrame({c: pd.Series(dtype=object) for c in base})
    table["trial"] = table["trial"].astype("Int64")
    return BatchResult(table, skipped, dict(sorted(counts.items())), None, channels, None)


# ---- output -----------------------------------------------------------------

def check_writable(path, folder=False):
    """Raises OSError unless `path` can be written: a file (or with folder=True
    a folder, made later if missing) whose folder exists and takes new files.
    A probe file is created and removed, so read-only file systems and
    permissions are found as they are."""
    path = Path(path)
    if folder:
        target = path
        while not target.exists():
            if target.parent == target:
                break
            target = target.parent
        if not target.is_dir():
            raise OSError(f"{target} is not a folder")
    else:
        if path.is_dir():
            raise OSError(f"{path} is a folder")
        target = path.parent
        if not target.is_dir():
            raise OSError(f"folder {target} does not exist")
    fd, probe = tempfile.mkstemp(prefix=".zemba-probe-", dir=target)
    os.close(fd)
    os.unlink(probe)


def _replace(path, write):
    """Calls write(temporary path) for a file beside `path`, then renames it
    over `path`: `path` holds the old content or the whole new one, never a
    part. The new file keeps the old one's permissions (else the umask's)."""
    path = Path(path)
    fd, tmp = tempfile.mkstemp(prefix=f".{path.name}.", suffix=".tmp", dir=path.parent)
    try:
        os.close(fd)
        try:
            mode = stat.S_IMODE(os.stat(path).st_mode)
        except OSError:
            umask = os.umask(0)
            os.umask(umask)
            mode = 0o666 & ~umask
        os.chmod(tmp, mode)
        write(tmp)
        fd = os.open(tmp, os.O_RDONLY)
        try:
            os.fsync(fd)
        finally:
            os.close(fd)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise
    return path


def write_table(table, path):
    """Write the feature table as CSV, or as Parquet for a '.parquet' name
    (needs pyarrow or fastparquet; Debian 12 packages neither). Written beside
    `path` and renamed over it: a failed write leaves an earlier file as it was."""
    path = Path(path)
    if path.suffix.lower() in (".parquet", ".pq"):
        engine = None
        for mod in ("pyarrow", "fastparquet"):
            try:
                __import__(mod)
                engine = mod
                break
            except ImportError:
                pass
        if engine is None:
            raise RuntimeError(f"cannot write {path}: Parquet output needs the pyarrow or fastparquet "
                               "package, and Debian 12 packages neither; write a .csv file instead "
                               "(or install one of them with pip)")
        return _replace(path, lambda tmp: table.to_parquet(tmp, engine=engine, index=False))
    return _replace(path, lambda tmp: table.to_csv(tmp, index=False))


def make_figures(result, folder):
    """PNG figures of a BatchResult in `folder`: degree distributions per
    group, band powers per channel and group (when computed), channel
    similarity per group (when computed). Returns the paths written."""
    from . import figures
    return figures.write_all(result, folder, result.similarity_kind or "match")


# ---- command line -----------------------------------------------------------

def _parser():
    p = argparse.ArgumentParser(
        prog="zemba-batch",
        description="Per-channel features of every trial file of an EEG data set, as a CSV table.")
    p.add_argument("source", nargs="*", help="data-set folder(s) (subject subfolders or flat) or trial files")
    p.add_argument("-o", "--output", help="table to write (.csv; .parquet when pyarrow/fastparquet is installed)")
    p.add_argument("-f", "--features", default=",".join(DEFAULT_FEATURES),
                   help="comma-separated feature names (default: %(default)s); --list-features shows all")
    p.add_argument("-j", "--workers", type=int, default=None,
                   help="local workers (default: number of cores; 0 = in this process)")
    p.add_argument("--engine", choices=("auto", "processes", "threads"), default="auto",
                   help="local workers are processes or threads of this process (default auto: threads "
                        "when every feature is the core's and no similarity is asked for)")
    p.add_argument("--param", action="append", default=[], metavar="FEATURE.PARAM=VALUE",
                   help="a feature's parameter, e.g. sample_entropy.order=3 (repeatable; "
                        "--list-features shows them)")
    p.add_argument("--sfreq", type=float, default=DEFAULT_SFREQ,
                   help="sampling rate of the trials in Hz (default: %(default)s)")
    p.add_argument("--scheduler", help="Dask scheduler address, e.g. tcp://host:8786 (instead of local workers)")
    p.add_argument("--shard", help="K/N: only every Nth trial file, starting at the Kth (0-based), "
                                   "of the sorted file list")
    p.add_argument("--figures", metavar="DIR", help="also write PNG figures into DIR")
    p.add_argument("--similarity", choices=SIMILARITY, default=None,
                   help="channel-pair similarity for the figure (default with --figures: match)")
    p.add_argument("--skipped", metavar="FILE", help="write the skipped files and reasons as CSV")
    p.add_argument("--no-progress", action="store_true", help="no progress bar")
    p.add_argument("--list-features", action="store_true", help="list the feature names and exit")
    return p


def main(argv=None):
    args = _parser().parse_args(argv)
    if args.list_features:
        for name in FEATURES:
            prm = ", ".join(f"{k}={v}" for k, v in feature_params(name).items())
            print(f"{name:20s} {FEATURE_HELP.get(name, '')}" + (f"  [params: {prm}]" if prm else ""))
        return 0
    if not args.source:
        _parser().error("no source given")
    if not args.output and not args.figures:
        _parser().error("nothing to write: give -o FILE and/or --figures DIR")
    try:                                   # before any computing
        for target, folder in ((args.output, False), (args.skipped, False), (args.figures, True)):
            if target:
                check_writable(target, folder)
    except OSError as e:
        print(f"zemba-batch: cannot write there: {e}", file=sys.stderr)
        return 2
    similarity = args.similarity or ("match" if args.figures else None)
    t0 = time.time()
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")   # skipped files are listed below instead
            res = extract(args.source, args.features, workers=args.workers, scheduler=args.scheduler,
                          progress=False if args.no_progress else None, shard=args.shard,
                          similarity=similarity, announce=True, params=args.param, sfreq=args.sfreq,
                          engine=args.engine)
        for s in res.skipped:
            print(f"zemba-batch: skipped {s.path}: {s.reason}", file=sys.stderr)
        n_trials = res.table["file"].nunique() if len(res.table) else 0
        if args.output:
            write_table(res.table, args.output)
        if args.skipped:
            import pandas as pd
            frame = pd.DataFrame(res.skipped, columns=["path", "reason"])
            _replace(args.skipped, lambda tmp: frame.to_csv(tmp, index=False))
        if args.figures:
            for f in make_figures(res, args.figures):
                print(f"zemba-batch: wrote {f}", file=sys.stderr)
    except KeyboardInterrupt:
        print("zemba-batch: interrupted; work cancelled, earlier output left as it was", file=sys.stderr)
        return 130
    except (RuntimeError, FileNotFoundError, ValueError) as e:
        print(f"zemba-batch: {e}", file=sys.stderr)
        return 2
    except OSError as e:
        print(f"zemba-batch: writing failed, earlier output left as it was: {e}", file=sys.stderr)
        return 1
    print(f"zemba-batch: {n_trials} trials, {len(res.table)} rows, {len(res.skipped)} skipped, "
          f"{time.time() - t0:.1f} s" + (f" -> {args.output}" if args.output else ""), file=sys.stderr)
    return 0


if __name__ == "__main__":
    from zemba.batch import main as _main   # workers pickle zemba.batch functions, not __main__ ones
    sys.exit(_main())

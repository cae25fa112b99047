"""Trials per second of zemba.batch on this machine with 1 and 2 local workers
(processes, or threads with --engine threads; with --scheduler also a Dask
cluster), over gzipped copies of the bundled real trials (the data set is
distributed gzipped), and the floor: reading (decompressing and parsing) the
same files alone, in one process.

    /usr/bin/python3 python/bench/batch_bench.py --copies 50 [--engine threads|processes]
"""
import gzip
import argparse
import os
import shutil
import sys
import tempfile
import time
import warnings
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

from zemba import batch  # noqa: E402


def make_dataset(folder, copies, compress=True):
    """copies x the 12 bundled trials, laid out as <subject>/<subject>.rd.NNN[.gz]."""
    n = 0
    for f in sorted((ROOT / "data" / "eeg").glob("*.rd.*")):
        subject, _, number = f.name.split(".")
        (folder / subject).mkdir(exist_ok=True)
        for c in range(copies):
            dest = folder / subject / f"{subject}.rd.{int(number) + 1000 * c:04d}"
            if compress:
                dest.with_name(dest.name + ".gz").write_bytes(gzip.compress(f.read_bytes()))
            else:
                shutil.copy(f, dest)
            n += 1
    return n


def timed(folder, features, **kw):
    t0 = time.perf_counter()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        res = batch.extract(folder, features, progress=False, **kw)
    return time.perf_counter() - t0, res


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--copies", type=int, default=8, help="copies of the 12 bundled trials (default 8)")
    p.add_argument("--features", default=",".join(batch.DEFAULT_FEATURES))
    p.add_argument("--workers", default="1,2", help="worker counts to time (default 1,2)")
    p.add_argument("--scheduler", help="also time a Dask cluster at this address")
    p.add_argument("--engine", choices=("processes", "threads", "both"), default="both",
                   help="local workers to time (default both; the batch's own default, auto, picks threads "
                        "for the core's features)")
    p.add_argument("--plain", action="store_true", help="plain copies instead of gzipped ones")
    args = p.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp)
        n = make_dataset(folder, args.copies, not args.plain)
        load = os.getloadavg()[0]
        print(f"{n} trials x 64 channels, features: {args.features}; {os.cpu_count()} cores, "
              f"load average {load:.1f} before the run (other work on the machine skews the speed-up)")
        import zemba
        files = batch.find_trials(folder)
        for label, read in (("floor: decompressing alone", lambda f: gzip.decompress(f.read_bytes())
                             if f.suffix == ".gz" else f.read_bytes()),
                            ("floor: reading (zemba.read_trial, the core's reader)", zemba.read_trial)):
            t0 = time.perf_counter()
            for f in files:
                read(f)
            floor = time.perf_counter() - t0
            print(f"{label}: {floor:7.2f} s  {n / floor:7.1f} trials/s")
        base, ref = timed(folder, args.features, workers=0)
        print(f"in-process (workers=0): {base:7.2f} s  {n / base:7.1f} trials/s")
        for engine in ("processes", "threads") if args.engine == "both" else (args.engine,):
            first = None
            for w in [int(x) for x in args.workers.split(",")]:
                t, res = timed(folder, args.features, workers=w, engine=engine)
                assert res.table.equals(ref.table), "tables differ"
                first = first or t
                kind = dict(processes="process", threads="thread")[engine] if w == 1 else engine
                print(f"{w} worker {kind}: {t:7.2f} s  {n / t:7.1f} trials/s  speed-up {first / t:4.2f}x")
        if args.scheduler:
            t, res = timed(folder, args.features, scheduler=args.scheduler)
            assert res.table.equals(ref.table), "tables differ"
            print(f"Dask {args.scheduler}: {t:7.2f} s  {n / t:7.1f} trials/s")


if __name__ == "__main__":
    main()

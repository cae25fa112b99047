"""Trials per second of zemba.batch on this machine with 1 and 2 local worker
processes (and, with --scheduler, on a Dask cluster), over copies of the
bundled real trials.

    ZEMBA_LIBRARY=build/libzemba.so /usr/bin/python3 python/bench/batch_bench.py --copies 8
"""
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


def make_dataset(folder, copies):
    """copies x the 12 bundled trials, laid out as <subject>/<subject>.rd.NNN."""
    n = 0
    for f in sorted((ROOT / "data" / "eeg").glob("*.rd.*")):
        subject, _, number = f.name.split(".")
        (folder / subject).mkdir(exist_ok=True)
        for c in range(copies):
            shutil.copy(f, folder / subject / f"{subject}.rd.{int(number) + 1000 * c:04d}")
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
    args = p.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp)
        n = make_dataset(folder, args.copies)
        load = os.getloadavg()[0]
        print(f"{n} trials x 64 channels, features: {args.features}; {os.cpu_count()} cores, "
              f"load average {load:.1f} before the run (other work on the machine skews the speed-up)")
        base, ref = timed(folder, args.features, workers=0)
        print(f"in-process (workers=0): {base:7.2f} s  {n / base:7.1f} trials/s")
        first = None
        for w in [int(x) for x in args.workers.split(",")]:
            t, res = timed(folder, args.features, workers=w)
            assert res.table.equals(ref.table), "tables differ"
            first = first or t
            print(f"{w} worker process(es):  {t:7.2f} s  {n / t:7.1f} trials/s  speed-up {first / t:4.2f}x")
        if args.scheduler:
            t, res = timed(folder, args.features, scheduler=args.scheduler)
            assert res.table.equals(ref.table), "tables differ"
            print(f"Dask {args.scheduler}: {t:7.2f} s  {n / t:7.1f} trials/s")


if __name__ == "__main__":
    main()

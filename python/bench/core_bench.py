"""Speed through the Python call: the core's top-level functions vs the seed routine (zemba.legacy)
vs the fastest peer figures measured on this kind of machine (seconds per call, seeded white noise).

Run: /usr/bin/python3 python/bench/core_bench.py   (after building zemba_python and zemba)
Prints a Markdown table; goal: >= 3x the peer at n = 256, >= 10x at n >= 4096, and the absolute
limits at n = 1e6 / 1e5."""
import pathlib
import sys
import time

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import zemba  # noqa: E402
import zemba.legacy as legacy  # noqa: E402

PEERS = {  # seconds per call at n = 256 / 4096 / 12193
    "HVG degrees": (1.57e-5, 2.0e-4, 9.0e-4), "NVG degrees": (1.64e-5, 4.2e-4, 2.0e-3),
    "mutual information (16 bins)": (7.4e-5, 3.3e-4, None),
    "perm entropy order 3": (3.1e-5, 1.7e-4, 5.0e-4), "perm entropy order 5": (3.3e-5, 2.0e-4, 8.9e-4),
    "sample entropy (2, 0.2 SD)": (1.9e-4, 1.8e-2, 6.8e-2), "approximate entropy (2, 0.2 SD)": (3.7e-4, 1.6e-2, 5.4e-2),
    "Burg order 16": (1.4e-4, 2.5e-4, 4.1e-4), "5 band powers (Burg 16)": (1.8e-3, 1.8e-3, 2.0e-3),
}
LIMITS = {("HVG degrees", 10**6): 0.010, ("NVG degrees", 10**6): 0.040, ("perm entropy order 3", 10**6): 0.005,
          ("sample entropy (2, 0.2 SD)", 10**5): 0.2, ("approximate entropy (2, 0.2 SD)", 10**5): 0.3}
SIZES = (256, 4096, 12193)


# Timed runs per figure (up to 2000 calls or 0.1 s each); the fastest call of all counts. The runs
# of one figure are spread over the whole table, a complete pass per round, so that a stretch of a
# few tenths of a second in which the machine runs slow (another guest on the core) cannot set it.
ROUNDS = 3


def seconds(f, budget=0.1):
    f()
    best, spent, calls = float("inf"), 0.0, 0
    while spent < budget or calls < 3:
        t0 = time.perf_counter()
        f()
        dt = time.perf_counter() - t0
        best, spent, calls = min(best, dt), spent + dt, calls + 1
        if calls >= 2000:
            break
    return best


CORE = {
    "HVG degrees": lambda x: zemba.HorizontalVG().build(x, only_degrees=True).degrees,
    "NVG degrees": lambda x: zemba.NaturalVG().build(x, only_degrees=True).degrees,
    "mutual information (16 bins)": lambda x: zemba.mutual_information(x, x[::-1].copy()),
    "perm entropy order 3": lambda x: zemba.perm_entropy(x, 3),
    "perm entropy order 5": lambda x: zemba.perm_entropy(x, 5),
    "sample entropy (2, 0.2 SD)": lambda x: zemba.sample_entropy(x, 2),
    "approximate entropy (2, 0.2 SD)": lambda x: zemba.app_entropy(x, 2),
    "Burg order 16": lambda x: zemba.burg(x, 16),
    "5 band powers (Burg 16)": lambda x: zemba.band_powers(x, 256.0, order=16),
}
SEED = {  # the seed routine computing the nearest quantity (its own conventions and limits)
    "HVG degrees": lambda x: legacy.hvg_degrees(x),
    "NVG degrees": lambda x: legacy.natural_visibility(x),
    "mutual information (16 bins)": lambda x: legacy.mutual_information(x * 0.6, x[::-1] * 0.6),
    "perm entropy order 3": lambda x: legacy.delay_permutation_entropy(x, m=4, tau=1),
    "perm entropy order 5": lambda x: legacy.delay_permutation_entropy(x, m=6, tau=1),
    "sample entropy (2, 0.2 SD)": lambda x: legacy.sample_entropy(x, m=2, r=0.2),
    "approximate entropy (2, 0.2 SD)": lambda x: legacy.approximate_entropy(x, m=2, r=1.0),
    "Burg order 16": lambda x: legacy.burg(x, 16),
    "5 band powers (Burg 16)": lambda x: legacy.band_powers(x, fs=256.0),
}
SEED_CAP = {"mutual information (16 bins)": 4096}


def main():
    legacy.set_diagnostics("silent")
    cases = []  # (name, n, index of the peer figure, series)
    for name in CORE:
        sizes = list(SIZES) + [n for (k, n) in LIMITS if k == name]
        for i, n in enumerate(sizes):
            if name == "mutual information (16 bins)" and n > 4096 and (name, n) not in LIMITS:
                continue
            if (name, n) in LIMITS or (i < 3 and PEERS[name][i]):
                cases.append((name, n, i, np.random.default_rng(n).normal(size=n)))
    inf = float("inf")
    core_s = {(name, n): inf for name, n, _, _ in cases}
    seed_s = {(name, n): inf for name, n, _, x in cases if n <= SEED_CAP.get(name, 12193)}
    for _ in range(ROUNDS):
        for name, n, _, x in cases:
            core_s[name, n] = min(core_s[name, n], seconds(lambda: CORE[name](x)))
            if seed_s.get((name, n)) is not None:
                try:
                    seed_s[name, n] = min(seed_s[name, n], seconds(lambda: SEED[name](x)))
                except Exception:
                    seed_s[name, n] = None
    rows = []
    for name, n, i, _ in cases:
        c, s = core_s[name, n], seed_s.get((name, n))
        peer = PEERS[name][i] if i < 3 else None
        if (name, n) in LIMITS:
            goal = LIMITS[name, n]
            met, ratio, target = c < goal, "", f"< {goal * 1e3:g} ms"
        else:
            want = 3 if n == 256 else 10
            met, ratio, target = peer / c >= want, f"{peer / c:.1f}x", f">= {want}x"
        rows.append((name, n, c, s, peer, ratio, target, met))
    print("| measure | n | core via Python (s) | seed routine (s) | peer (s) | peer / core | goal | met |")
    print("|---|---:|---:|---:|---:|---:|---|---|")
    for name, n, c, s, p, ratio, target, met in rows:
        f = lambda v: "-" if v is None else f"{v:.3g}"  # noqa: E731
        print(f"| {name} | {n} | {f(c)} | {f(s)} | {f(p)} | {ratio} | {target} | {'yes' if met else 'no'} |")


if __name__ == "__main__":
    main()

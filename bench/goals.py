#!/usr/bin/env python3
"""Prints the speed goals as markdown tables from a benchmark results file.

    python3 bench/goals.py [bench/results.json]

Figures are the minimum CPU time over the repetitions (the `_min` aggregate).
The peer figures are the fastest peers' seconds per call at 12193 samples of
white noise (n = 4096 for mutual information, 256 where stated), measured on
this kind of machine.
"""
import json
import sys

PEERS = [
    # job, benchmark, peer seconds per call, goal (peer / here at least)
    ("horizontal visibility degree sequence", "getHVGAdjMatrix_mode2/white/12193", 0.00087, 10),
    ("permutation entropy, order 3", "calculatePermutationEntropy_m3/white/12193", 0.00056, 10),
    ("permutation entropy, order 5", "calculatePermutationEntropy_m5/white/12193", 0.00088, 10),
    ("sample entropy, m = 2, r = 0.2 SD (`sampen_1`)", "sampen_1_m2/white/12193", 0.065, 10),
    ("approximate entropy, m = 2, integer data (`AppEn1`)", "AppEn1_m2/int/12193", 0.051, 10),
    ("mutual information, n = 4096", "calculateMutualInformation/white/4096", 0.00039, 10),
    ("core mutual information, 16 bins, n = 256", "CoreMutualInformation/white/256", 0.000074, 3),
    ("core mutual information, 16 bins, n = 4096", "CoreMutualInformation/white/4096", 0.00033, 10),
    ("Burg coefficients, order 16 (`memcof`)", "memcof_16/white/12193", 0.00062, 10),
    ("Burg, order 16, core (`zemba_burg`), n = 256", "core_burg_16/white/256", 0.00014, 3),
    ("Burg, order 16, core (`zemba_burg`), n = 4096", "core_burg_16/white/4096", 0.00025, 10),
    ("Burg, order 16, core (`zemba_burg`)", "core_burg_16/white/12193", 0.00041, 10),
    ("five band powers, order 16, core (`zemba_band_powers`), n = 256", "core_band_powers_16/white/256", 0.0018, 3),
    ("five band powers, order 16, core (`zemba_band_powers`), n = 4096", "core_band_powers_16/white/4096", 0.0018, 10),
    ("five band powers, order 16, core (`zemba_band_powers`)", "core_band_powers_16/white/12193", 0.0020, 10),
    ("natural visibility, n = 256 (`getVGFast`)", "getVGFast_mode2/white/256", 0.000021, 2),
    ("natural visibility, n = 12193 (`getVGFast`, fills 12193² slope cells)", "getVGFast_mode2/white/12193", 0.0015, None),
    # core entropies (bench/core_entropy.cpp); the last three rows are time limits, not peers
    ("core permutation entropy, order 3, n = 256", "Core/perm_entropy_o3/white/256", 3.1e-5, 3),
    ("core permutation entropy, order 3, n = 4096", "Core/perm_entropy_o3/white/4096", 1.7e-4, 10),
    ("core permutation entropy, order 3, n = 12193", "Core/perm_entropy_o3/white/12193", 5.0e-4, 10),
    ("core permutation entropy, order 5, n = 256", "Core/perm_entropy_o5/white/256", 3.3e-5, 3),
    ("core permutation entropy, order 5, n = 4096", "Core/perm_entropy_o5/white/4096", 2.0e-4, 10),
    ("core permutation entropy, order 5, n = 12193", "Core/perm_entropy_o5/white/12193", 8.9e-4, 10),
    ("core sample entropy, order 2, 0.2 SD, n = 256", "Core/sample_entropy/white/256", 1.9e-4, 3),
    ("core sample entropy, order 2, 0.2 SD, n = 4096", "Core/sample_entropy/white/4096", 1.8e-2, 10),
    ("core sample entropy, order 2, 0.2 SD, n = 12193", "Core/sample_entropy/white/12193", 6.8e-2, 10),
    ("core approximate entropy, order 2, 0.2 SD, n = 256", "Core/app_entropy/white/256", 3.7e-4, 3),
    ("core approximate entropy, order 2, 0.2 SD, n = 4096", "Core/app_entropy/white/4096", 1.6e-2, 10),
    ("core approximate entropy, order 2, 0.2 SD, n = 12193", "Core/app_entropy/white/12193", 5.4e-2, 10),
    ("core permutation entropy, order 3, n = 1e6 (limit 5 ms)", "Core/perm_entropy_o3/white/1000000", 5e-3, 1),
    ("core sample entropy, n = 1e5 (limit 0.2 s)", "Core/sample_entropy/white/100000", 0.2, 1),
    ("core approximate entropy, n = 1e5 (limit 0.3 s)", "Core/app_entropy/white/100000", 0.3, 1),
]

BASELINES = [
    # routine, benchmark, baseline, goal (routine / baseline at most)
    ("`Z_ZEMBA`", "Z_ZEMBA/white/12193", "Baseline/write16B/12193", 3),
    ("`getHVGAdjMatrix` mode 2", "getHVGAdjMatrix_mode2/white/12193", "Baseline/write24B/12193", 3),
    ("`getHVGAdjMatrix` mode 4", "getHVGAdjMatrix_mode4/white/12193", "Baseline/write24B/12193", 3),
    ("`getZEMBG_4features`", "getZEMBG_4features/white/12193", "Baseline/write32B/12193", 3),
    ("`getVGFast` mode 2", "getVGFast_mode2/white/12193", "Baseline/slopeRows/12193", 1.5),
    ("`getRevVGFast` mode 2", "getRevVGFast_mode2/white/12193", "Baseline/slopeRows/12193", 1.5),
]

# Core graph kernels (bench/core_graphs.cpp): job, benchmark, peer seconds per
# call (None: no peer figure), goal (peer / here at least, or a time bound in s).
CORE_GRAPHS = [
    ("horizontal degrees, n = 256", "CoreHVG_degrees/white/256", 1.57e-5, 3),
    ("horizontal degrees, n = 4096", "CoreHVG_degrees/white/4096", 2.0e-4, 10),
    ("horizontal degrees, n = 12193", "CoreHVG_degrees/white/12193", 9.0e-4, 10),
    ("horizontal degrees, n = 10^6", "CoreHVG_degrees/white/1000000", 0.10, "< 0.01 s"),
    ("natural degrees, n = 256", "CoreNVG_degrees/white/256", 1.64e-5, 3),
    ("natural degrees, n = 4096", "CoreNVG_degrees/white/4096", 4.2e-4, 10),
    ("natural degrees, n = 12193", "CoreNVG_degrees/white/12193", 2.0e-3, 10),
    ("natural degrees, n = 10^6", "CoreNVG_degrees/white/1000000", 0.17, "< 0.04 s"),
]

SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def seconds(results, name):
    for b in results["benchmarks"]:
        if b["name"] == name + "_min":
            return b["cpu_time"] * SCALE[b.get("time_unit", "ns")]
    return None


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "bench/results.json"
    with open(path) as f:
        results = json.load(f)
    print("| job | zemba, s/call | fastest peer, s/call | peer / zemba | goal | met |")
    print("|---|---|---|---|---|---|")
    for job, bench, peer, goal in PEERS:
        here = seconds(results, bench)
        if here is None:
            print(f"| {job} | (not run) | {peer:.2g} | | | |")
            continue
        ratio = peer / here
        met = "" if goal is None else ("yes" if ratio >= goal else "no")
        goal_text = "-" if goal is None else f">= {goal}"
        print(f"| {job} | {here:.3g} | {peer:.2g} | {ratio:.3g} | {goal_text} | {met} |")
    print()
    print("| routine, n = 12193 | zemba, us | baseline, us | ratio | goal | met |")
    print("|---|---|---|---|---|---|")
    for routine, bench, base, goal in BASELINES:
        here, ref = seconds(results, bench), seconds(results, base)
        if here is None or ref is None:
            print(f"| {routine} | (not run) | | | | |")
            continue
        ratio = here / ref
        print(f"| {routine} | {here * 1e6:.4g} | {ref * 1e6:.4g} ({base.split('/')[1]}) | {ratio:.2f} | <= {goal} | "
              f"{'yes' if ratio <= goal else 'no'} |")
    core_graphs(results)


def core_graphs(results):
    print()
    print("| core graph kernel | zemba, s/call | fastest peer, s/call | peer / zemba | goal | met |")
    print("|---|---|---|---|---|---|")
    for job, bench, peer, goal in CORE_GRAPHS:
        here = seconds(results, bench)
        if here is None:
            print(f"| {job} | (not run) | {peer:.2g} | | | |")
            continue
        ratio = peer / here
        if isinstance(goal, str):
            met = "yes" if here < float(goal.split()[1]) else "no"
            goal_text = goal
        else:
            met = "yes" if ratio >= goal else "no"
            goal_text = f">= {goal}"
        print(f"| {job} | {here:.3g} | {peer:.2g} | {ratio:.3g} | {goal_text} | {met} |")


if __name__ == "__main__":
    main()

"""The group comparison example on the bundled trials, against naive
references: subject means by explicit loops, U by counting pairs, the exact
two-sided p by enumerating every split of the subjects, Holm and
Benjamini-Hochberg from their textbook definitions."""
import importlib.util
import itertools

import numpy as np
import pytest

pytest.importorskip("pandas")
pytest.importorskip("scipy")

from conftest import ROOT  # noqa: E402

module_spec = importlib.util.spec_from_file_location("group_comparison", ROOT / "python/examples/group_comparison.py")
gc = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(gc)


def _u(a, b):
    return sum(1.0 if x > y else 0.5 if x == y else 0.0 for x in a for y in b)


def _exact_p(a, b):
    pooled, na = list(a) + list(b), len(a)
    mean_u = na * len(b) / 2
    dev = abs(_u(a, b) - mean_u)
    splits = list(itertools.combinations(range(len(pooled)), na))
    hits = 0
    for idx in splits:
        xa = [pooled[i] for i in idx]
        xb = [pooled[i] for i in range(len(pooled)) if i not in idx]
        hits += abs(_u(xa, xb) - mean_u) >= dev - 1e-12
    return hits / len(splits)


def test_example_matches_naive_statistics(tmp_path):
    out_csv = tmp_path / "groups.csv"
    out = gc.main([str(ROOT / "data" / "eeg"), "-o", str(out_csv)])
    assert out_csv.exists() and len(out) > 5
    from zemba import batch
    table = batch.extract(ROOT / "data" / "eeg", workers=0, progress=False).table
    for _, row in out.iterrows():
        f = row["feature"]
        per_subject = {}
        for subj in sorted(set(table["subject"])):
            vals = [v for v, s in zip(table[f], table["subject"]) if s == subj and np.isfinite(v)]
            if vals:
                group = table.loc[table["subject"] == subj, "group"].iloc[0]
                per_subject[subj] = (group, sum(vals) / len(vals))
        a = [v for g, v in per_subject.values() if g == "alcoholic"]
        b = [v for g, v in per_subject.values() if g == "control"]
        assert (row["n_a"], row["n_b"]) == (len(a), len(b)) == (3, 4)
        assert row["U"] == _u(a, b)
        assert row["rank_biserial"] == pytest.approx(2 * _u(a, b) / 12 - 1)
        assert row["p"] == pytest.approx(_exact_p(a, b), abs=1e-12)
    assert (out["p_adjusted"] >= out["p"]).all()


def test_corrections_follow_their_definitions():
    p = np.array([0.01, 0.04, 0.03, 0.2, 0.04])
    # Holm: sorted p times (m - rank), running maximum, capped at 1.
    assert gc.holm(p) == pytest.approx([0.05, 0.12, 0.12, 0.2, 0.12])
    # BH: p * m / rank, running minimum from the largest rank down.
    assert gc.benjamini_hochberg(p) == pytest.approx([0.05, 0.05, 0.05, 0.2, 0.05])
    assert gc.holm([0.9, 0.8]).tolist() == [1.0, 1.0]

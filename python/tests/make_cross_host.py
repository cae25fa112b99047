"""Writes tests/shared/cross_host.csv: series and the Python package's
features of them, which the R package's tests compare with its own values
(r/zemba/tests/testthat/test-cross-host.R).

Run from the repository root after building the Python package:
    python3 python/tests/make_cross_host.py

Rows: kind "input" (series, index, value) and kind "expected" (series,
feature, output, value). The series are fixed formulas, so no random
generator is shared between the hosts. Each feature is called through the
package's top-level function of the same name with the parameters listed in
CASES (Python keyword names); the R test calls the R function of that name
with the R names in its own table.
"""
import csv
import math
import pathlib
import sys

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parents[2]
OUT = ROOT / "tests" / "shared" / "cross_host.csv"


def series():
    n = 300
    i = np.arange(n, dtype=np.float64)
    a = np.sin(0.3 * i) + 0.5 * np.sin(1.7 * i + 0.4) + 0.1 * ((i * 7919) % 101) / 101
    b = np.cos(0.11 * i) * (1 + 0.2 * ((i * 104729) % 37) / 37)
    return {"a": a, "b": b}


# (feature, python keyword arguments, needs sfreq); the feature is named as
# the R function, Python's name differs for one of them (PY_NAMES).
PY_NAMES = {"approx_entropy": "app_entropy"}
CASES = [
    ("perm_entropy", dict(order=4, delay=1, normalize=False), False),
    ("sample_entropy", dict(order=2, tolerance=0.2), False),
    ("approx_entropy", dict(order=2, tolerance=0.2), False),
    ("hvg_irreversibility", dict(), False),
    ("band_powers", dict(), True),
]
SFREQ = 128.0


def main():
    import zemba
    rows = [("kind", "series", "feature", "output", "index", "value")]
    data = series()
    for name, x in data.items():
        rows += [("input", name, "", "", str(k + 1), repr(float(v))) for k, v in enumerate(x)]
    for feature, kwargs, sfreq in CASES:
        fn = getattr(zemba, PY_NAMES.get(feature, feature), None)
        if fn is None:
            sys.exit(f"zemba.{feature} is missing: the Python top-level functions are needed")
        for name, x in data.items():
            value = fn(x, SFREQ, **kwargs) if sfreq else fn(x, **kwargs)
            if hasattr(value, "_asdict"):
                items = list(value._asdict().items())
            elif isinstance(value, dict):
                items = list(value.items())
            else:
                items = [("", value)]
            for out, v in items:
                v = float(np.asarray(v).reshape(-1)[0])
                rows.append(("expected", name, feature, out, "", repr(v) if math.isfinite(v) else str(v)))
    OUT.parent.mkdir(parents=True, exist_ok=True)
    with open(OUT, "w", newline="") as f:
        csv.writer(f).writerows(rows)
    print(f"wrote {OUT}")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Writes golden/mutual_information.txt: inputs, numpy's histogram bin of every
sample and scikit-learn's mutual information of the labels.

    scripts/deps.sh python3-numpy python3-sklearn
    /usr/bin/python3 tests/core/info/make_golden.py

Run it only to change the cases; the test reads the committed file, so neither
package is needed to build or test. Debian's interpreter is named on purpose:
the packages are installed for it.

Each case:
    case NAME MODE N BINS_X BINS_Y      MODE: hist | floor | labels
    x ...                               N values (shortest round-trip repr)
    y ...
    lx ... / ly ...                     numpy's bin index of each sample (hist)
    mi VALUE                            sklearn.metrics.mutual_info_score
"""
import os
import sys
import warnings

import numpy as np
import sklearn
from sklearn.metrics import mutual_info_score

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden", "mutual_information.txt")


def numpy_bins(x, bins):
    """numpy's own bin of each sample: a one-sample histogram over x's range."""
    x = np.asarray(x, dtype=np.float64)
    rng = (x.min(), x.max())
    labels = np.empty(len(x), dtype=np.int64)
    for i, v in enumerate(x):
        counts, _ = np.histogram(np.array([v]), bins=bins, range=rng)
        labels[i] = int(np.argmax(counts))
        assert counts.sum() == 1
    # The whole-series histogram agrees with the per-sample one.
    whole, _ = np.histogram(x, bins=bins)
    assert (whole == np.bincount(labels, minlength=bins)).all()
    return labels


def fmt(values):
    return " ".join(repr(float(v)) for v in values)


def fmt_int(values):
    return " ".join(str(int(v)) for v in values)


cases = []


def hist(name, x, y, bx, by=None):
    by = bx if by is None else by
    x = np.asarray(x, dtype=np.float64)
    y = np.asarray(y, dtype=np.float64)
    try:
        lx, ly = numpy_bins(x, bx), numpy_bins(y, by)
    except (IndexError, ValueError) as e:  # numpy fails on the input itself
        print(f"skipped {name}: numpy raises {type(e).__name__}", file=sys.stderr)
        return
    mi = mutual_info_score(lx, ly)
    lines = [f"case {name} hist {len(x)} {bx} {by}", "x " + fmt(x), "y " + fmt(y),
             "lx " + fmt_int(lx), "ly " + fmt_int(ly), "mi " + repr(float(mi))]
    cases.append("\n".join(lines))


def floor(name, x, y):
    x = np.asarray(x, dtype=np.float64)
    y = np.asarray(y, dtype=np.float64)
    mi = mutual_info_score(np.floor(x), np.floor(y))
    cases.append("\n".join([f"case {name} floor {len(x)} 0 0", "x " + fmt(x), "y " + fmt(y),
                            "mi " + repr(float(mi))]))


def labels(name, a, b):
    mi = mutual_info_score(a, b)
    cases.append("\n".join([f"case {name} labels {len(a)} 0 0", "x " + fmt_int(a), "y " + fmt_int(b),
                            "mi " + repr(float(mi))]))


def edge_values(lo, hi, bins, rng):
    """Every edge numpy places over [lo, hi], its neighbours one ulp either side
    (inside the range), and the ends; shuffled."""
    e = np.linspace(lo, hi, bins + 1)
    v = np.concatenate([e, np.nextafter(e, -np.inf), np.nextafter(e, np.inf)])
    v = v[(v >= lo) & (v <= hi)]
    v = np.concatenate([v, [lo, hi]])
    rng.shuffle(v)
    return v


def main():
    warnings.filterwarnings("ignore")  # numpy and sklearn comment on the odd cases
    r = np.random.default_rng(20240618)
    # Six decimals keep the file short; products and sums below are full doubles.
    z = lambda n: np.round(r.standard_normal(n), 6)

    # seeded random series, dependent and independent
    for n in (256, 4096):
        x = z(n)
        hist(f"normal_dependent_{n}", x, 0.6 * x + 0.8 * z(n), 16)
    hist("normal_independent_1000", z(1000), z(1000), 16)
    hist("uniform_pair_5_11", np.round(r.uniform(-3, 7, 1000), 6), np.round(r.uniform(0, 1, 1000), 6), 5, 11)
    x = r.uniform(0, 1, 600)
    hist("uniform_sine_pair_13_4", x, np.sin(6 * x) + 0.1 * z(600), 13, 4)
    hist("walk_32", np.cumsum(z(1000)), np.cumsum(z(1000)), 32)

    # bin counts 1 and 2, and many bins (a joint table too large to be dense)
    hist("bins_1", z(300), z(300), 1)
    hist("bins_1_16", z(300), z(300), 1, 16)
    hist("bins_2", z(301), z(301), 2)
    x = z(1200)
    hist("bins_3000_4000", x, x + 0.01 * z(1200), 3000, 4000)

    # ties: integer data, many samples on interior edges
    x = np.round(3 * z(500))
    hist("ties_round3", x, np.round(x / 2 + z(500)), 16)
    x = r.integers(0, 17, 800).astype(float)  # range 16, 16 bins: every value on an edge
    hist("ties_integers_on_edges", x, (x + r.integers(0, 3, 800)) % 17, 16)
    hist("ties_integers_7", x, r.integers(-5, 5, 800).astype(float), 7, 9)

    # constant series
    hist("constant_x", np.full(100, 3.25), z(100), 16)
    hist("constant_both", np.full(50, -7.0), np.full(50, 1e6), 16)
    hist("constant_large", np.full(20, 2.0 ** 52 + 1), z(20), 5)

    # scales: volts and microvolts, far from 1
    x = z(512)
    y = 0.5 * x + z(512)
    for s in (1e-6, 1e6, 1e-300, 1e300, 2.0 ** -30):
        hist(f"scaled_{s:g}", s * x, s * y, 16)
    hist("offset_1e9", 1e9 + 1e-3 * x, y, 16)

    # samples on and one ulp beside numpy's edges
    for lo, hi, bins in ((0.1, 0.7, 10), (-3.3, 17.9, 7), (1e-7, 3e-7, 13), (-1e10, 1.0, 16), (0.0, 1.0, 3)):
        v = edge_values(lo, hi, bins, r)
        hist(f"edges_{lo:g}_{hi:g}_{bins}", v, r.uniform(0, 1, len(v)), bins)
    # ranges a few ulps wide: edges coincide, and numpy's first guess is corrected
    v = 1.0 + np.arange(21) * np.finfo(float).eps
    r.shuffle(v)
    hist("ulp_range_16", v, z(21), 16)
    v = np.arange(11) * 5e-324  # subnormal range: numpy's own arithmetic breaks down
    hist("subnormal_range_4", v, z(11), 4)

    # lengths 1 and 2
    hist("length_1", [0.5], [2.0], 16)
    hist("length_2", [0.5, 1.5], [2.0, -1.0], 16)

    # integer-part states
    x = 5 * z(1000)
    floor("floor_normal5", x, x + 3 * z(1000))
    floor("floor_fractions", r.uniform(-2, 2, 400), r.uniform(0, 3, 400))
    x = np.round(1e5 * z(1500))  # about 10^6 states: the sparse path
    floor("floor_microvolts", x + 0.5, x + np.round(1e4 * z(1500)))
    floor("floor_huge", 1e300 * z(200), z(200))
    floor("floor_negative_zero", [-0.0, 0.0, -0.5, 0.5, -1.0, 1.0], [1, 1, 2, 2, 3, 3])

    # labels
    a = r.integers(0, 6, 900)
    labels("labels_small", a, (a + r.integers(0, 2, 900)) % 6)
    big = r.integers(-2 ** 62, 2 ** 62, 50)
    labels("labels_spread", big[r.integers(0, 50, 700)], big[r.integers(0, 50, 700)])

    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w") as f:
        f.write(f"# mutual information golden values: numpy {np.__version__}, scikit-learn {sklearn.__version__}\n")
        f.write("# written by tests/core/info/make_golden.py; do not edit\n")
        for c in cases:
            f.write(c + "\nend\n")
    print(f"{len(cases)} cases -> {OUT}", file=sys.stderr)


if __name__ == "__main__":
    main()

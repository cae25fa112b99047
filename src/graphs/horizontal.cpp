// Horizontal visibility graphs reduced to per-node averages: the pairwise
// construction (Z_HVA, Z_DTW) with its count of elementary tests, and the
// linear-time stack construction (Z_ZEMBA) with its count of stack operations.
#include "zemba.h"

#include <cstdint>

#include "frame/arith.h"
#include "graphs/hv_stack.h"

namespace {

using zemba::trunc32;
using zemba::wrapAbs;
using zemba::wrapAdd;
using zemba::wrapMul;

// |trunc(d)| * dist + 1 in 32-bit arithmetic.
inline double edgeWeight(double d, int dist) {
    return static_cast<double>(wrapAdd(wrapMul(wrapAbs(trunc32(d)), dist), 1));
}

inline void addEdge(int a, int b, double w) {
    outSets[a].degree += 1;
    outSets[a].weight += w;
    outSets[b].degree += 1;
    outSets[b].weight += w;
}

void clearNodes(int n) {
    for (int k = 0; k < n; ++k) {
        outSets[k].degree = 0;
        outSets[k].weight = 0.0;
    }
}

// First sample after j that blocks any pair (j, i) through the end j.
int32_t firstBlockOfEnd[ZEMBA_NODE_CAP];

struct PairwiseTotals {
    int32_t degreeSum = 0;
    int32_t weightSum = 0;  // of the truncated node weights
    int32_t degree2 = 0;
    int64_t tests = 0;
};

// Every pair (j, i), j < i, is tested by scanning k = j+1.. until the first k
// that blocks it; a pair blocked at k costs 1 + (k - j) tests, a visible pair
// i - j. Sample k blocks (ordinary) when x[k] >= x[i] or x[k] >= x[j]
// (inverted: x[i] >= x[k] or x[j] >= x[k]); a NaN never satisfies either. The
// first blocking k is the earlier of the first k blocking through x[i] and the
// first blocking through x[j], both found without rescanning each pair. Node
// weights are sums of integers, exact in any order.
template <bool Inverted>
PairwiseTotals pairwise(const double* x, int n) {
    auto blocks = [](double xk, double end) { return Inverted ? end >= xk : xk >= end; };
    clearNodes(n);
    PairwiseTotals t;
    bool ordered = true;  // no NaN: samples passed over by k are passed over by j too
    for (int j = 0; j < n; ++j) ordered = ordered && x[j] == x[j];
    for (int j = n - 1; j >= 0; --j) {
        int k = j + 1;
        const double xj = x[j];
        while (k < n && !blocks(x[k], xj)) k = ordered ? firstBlockOfEnd[k] : k + 1;
        firstBlockOfEnd[j] = k;
    }
    for (int i = 1; i < n; ++i) {
        const double xi = x[i];
        t.tests += 1;
        addEdge(i - 1, i, edgeWeight(x[i - 1] - xi, 1));
        int s = i;  // first k in (j, i) blocking through x[i]; i if none
        int64_t tests = 0;
        for (int j = i - 2; j >= 0; --j) {
            if (blocks(x[j + 1], xi)) s = j + 1;
            const int fj = firstBlockOfEnd[j];
            const int k = fj < s ? fj : s;
            if (k < i) {
                tests += 1 + (k - j);
            } else {
                tests += i - j;
                addEdge(j, i, edgeWeight(x[j] - xi, i - j));
            }
        }
        t.tests += tests;
    }
    for (int k = 0; k < n; ++k) {
        t.degreeSum = wrapAdd(t.degreeSum, outSets[k].degree);
        t.weightSum = wrapAdd(t.weightSum, trunc32(outSets[k].weight));
        if (outSets[k].degree == 2) ++t.degree2;
    }
    return t;
}

void writeAverages(const PairwiseTotals& t, int n, double* out) {
    const double dn = static_cast<double>(n);
    out[0] = static_cast<double>(t.degreeSum) / dn;
    out[1] = static_cast<double>(t.weightSum) / dn;
    out[2] = static_cast<double>(t.degree2) / dn;
    out[3] = static_cast<double>(t.tests) / dn;
}

}  // namespace

extern "C" double Z_HVA(double* x, int* n, int* criterion, double* out) {
    const int len = *n;
    if (len > ZEMBA_SERIES_CAP || len < 0) return 0.0;
    const PairwiseTotals t = *criterion > 2 ? pairwise<true>(x, len) : pairwise<false>(x, len);
    writeAverages(t, len, out);
    return static_cast<double>(t.degreeSum);
}

extern "C" void Z_DTW(double* v, void* /*spare*/, int* n, double* out) {
    const int len = *n;
    if (len > ZEMBA_NODE_CAP || len < 0) return;
    writeAverages(pairwise<false>(v, len), len, out);
}

extern "C" double Z_ZEMBA(double* x, int* n, double* out) {
    const int len = *n;
    if (len > ZEMBA_SERIES_CAP || len < 0) return 0.0;
    clearNodes(len);
    const long ops = zemba::scanHorizontal<false>(
        x, len, [x](int a, int b) { addEdge(a, b, edgeWeight(x[b] - x[a], b - a)); });
    int32_t degreeSum = 0;
    double weightSum = 0.0;
    int32_t c2 = 0, c3 = 0, c4 = 0;
    for (int k = 0; k < len; ++k) {
        const int32_t d = outSets[k].degree;
        degreeSum = wrapAdd(degreeSum, d);
        weightSum += outSets[k].weight;
        c2 += d == 2;
        c3 += d == 3;
        c4 += d == 4;
    }
    const double dn = static_cast<double>(len);
    out[0] = static_cast<double>(degreeSum) / dn;
    out[1] = weightSum / dn;
    out[2] = static_cast<double>(c2) / dn;
    out[3] = static_cast<double>(ops) / dn;
    out[4] = static_cast<double>(c3) / dn;
    out[5] = static_cast<double>(c4) / dn;
    return static_cast<double>(degreeSum);
}

// Peak-aligned matching of two degree sequences: each local peak of the first
// sequence is laid over the largest value (and the previous largest) of the
// second within a shift of n/8, and the overlaps are scored by their summed
// absolute difference against their summed values.
#include "frame/diag.h"
#include "zemba.h"

#include <cstdio>
#include <cstring>

#include "frame/arith.h"

using zemba::wrapAbs;
using zemba::wrapAdd;
using zemba::wrapSub;

namespace {

struct Anchor {
    int maxD;    // first position of the largest b[0..n-2]
    int second;  // the position that held the maximum before maxD
    int marks;   // interior indices with a[i] == 2 plus those with b[i] == 2
};

// Clears the side tables, leaves the peaks of a on SortList1 and finds the
// anchors in b. Needs 2 <= n <= ZEMBA_NODE_CAP.
Anchor prepare(const int* a, const int* b, int n) {
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    std::memset(inSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    SortList1.top = -1;
    Anchor an{0, 0, 0};
    for (int i = 1; i <= n - 2; ++i) {
        if (a[i] == 2) outSets[i].degree = 1, ++an.marks;
        if (b[i] == 2) inSets[i].degree = 1, ++an.marks;
        if (b[n - 1 - i] == 2) inSets[i].weight = 1.0;
        if (a[i] > a[i - 1] && a[i] > a[i + 1]) StackPush(&SortList1, i);
        if (b[an.maxD] < b[i]) {
            an.second = an.maxD;
            an.maxD = i;
        }
    }
    return an;
}

struct Sums {
    int32_t diff;  // sum of |a - b| over the overlap (32-bit wrap)
    int32_t sum;   // sum of a + b over the overlap (32-bit wrap)
};

// Overlap at shift d: a[max(d,0) + k] against b[max(-d,0) + k], n - |d| pairs.
Sums compare(const int* a, const int* b, int n, int d) {
    const int* pa = a + (d > 0 ? d : 0);
    const int* pb = b + (d < 0 ? -d : 0);
    const int len = n - (d < 0 ? -d : d);
    int32_t diff = 0, sum = 0;
    for (int k = 0; k < len; ++k) {
        diff = wrapAdd(diff, wrapAbs(wrapSub(pa[k], pb[k])));
        sum = wrapAdd(sum, wrapAdd(pa[k], pb[k]));
    }
    return {diff, sum};
}

inline double score(int32_t diff, int32_t sum) {
    return 1.0 - static_cast<double>(wrapAdd(diff, diff)) / static_cast<double>(sum);
}

inline bool accepted(int n) { return n >= 2 && n <= ZEMBA_NODE_CAP; }

}  // namespace

extern "C" double Z_HVG_Match(int* a, int* b, int* nPtr, void*, void*, double* out) {
    const int n = *nPtr;
    if (!accepted(n)) return 0.0;
    const Anchor an = prepare(a, b, n);
    const int w = n >> 3;
    double best = 0.0;
    int bestShift = 0;
    while (!StackIsEmpty(&SortList1)) {
        const int p = StackPop(&SortList1);
        const int d = p - an.maxD;
        if (d > w || -d > w) continue;
        const Sums s1 = compare(a, b, n, d);
        const double cr = score(s1.diff, s1.sum);
        if (cr > best) best = cr, bestShift = d;
        if (s1.diff == 0) break;
        zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%6.4f\n", p, an.maxD, d, cr);

        if (an.maxD == an.second) continue;
        const int d2 = p - an.second;
        if (d2 > w || -d2 > w) continue;
        const Sums s2 = compare(a, b, n, d2);
        const double cr2 = score(s2.diff, s2.sum);
        if (cr2 > best) best = cr2, bestShift = d2;
        zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%6.4f\n", p, an.second, d2, cr2);
        if (s2.diff == 0) break;
    }
    out[0] = best;
    out[1] = bestShift;
    return bestShift;
}

double Z_HVG_Match(int const* a, int const* b, int n) {
    if (!accepted(n)) return 0.0;
    const Anchor an = prepare(a, b, n);
    const int w = n >> 3;
    int32_t worst = 0;
    int32_t sum = an.marks;
    while (!StackIsEmpty(&SortList1)) {
        const int p = StackPop(&SortList1);
        const int d = p - an.maxD;
        if (d > w || -d > w) continue;
        const Sums s1 = compare(a, b, n, d);
        sum = s1.sum;
        if (s1.diff > worst) worst = s1.diff;
        if (s1.diff == 0) break;
        zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%d\n", p, an.maxD, d, s1.diff);

        if (an.maxD == an.second) continue;
        const int d2 = p - an.second;
        if (d2 > w || -d2 > w) continue;
        const Sums s2 = compare(a, b, n, d2);
        sum = s2.sum;
        if (s2.diff > worst) worst = s2.diff;
        if (s2.diff == 0) break;
        zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%d\n", p, an.second, d2, s2.diff);
    }
    return score(worst, sum);
}

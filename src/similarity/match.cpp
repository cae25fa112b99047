// Peak-aligned matching of two degree sequences: each local peak of the first
// sequence is laid over the largest value (and the previous largest) of the
// second within a shift of n/8, and the overlaps are scored by their summed
// absolute difference against their summed values. The scan is the core's
// (core/similarity/match.h) over this interface's 32-bit wrapping sums; the
// side marks, the peaks on SortList1 and the printed lines are written here.
#include "frame/diag.h"
#include "zemba.h"

#include <cstdio>
#include <cstring>

#include "frame/arith.h"

#include "core/similarity/match.h"

using zemba::wrapAbs;
using zemba::wrapAdd;
using zemba::wrapSub;

namespace {

namespace core = zemba::core::match;

// Clears the side tables, marks the interior value-2 positions, leaves the
// peaks of a on SortList1 (for the caller's pops) and returns the count of
// marks. Needs 2 <= n <= ZEMBA_NODE_CAP.
int prepare(const int* a, const int* b, int n) {
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    std::memset(inSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    SortList1.top = -1;
    int marks = 0;
    for (int i = 1; i <= n - 2; ++i) {
        if (a[i] == 2) outSets[i].degree = 1, ++marks;
        if (b[i] == 2) inSets[i].degree = 1, ++marks;
        if (b[n - 1 - i] == 2) inSets[i].weight = 1.0;
        if (a[i] > a[i - 1] && a[i] > a[i + 1]) StackPush(&SortList1, i);
    }
    return marks;
}

struct Sums {
    int32_t diff;  // sum of |a - b| over the overlap (32-bit wrap)
    int32_t sum;   // sum of a + b over the overlap (32-bit wrap)
};

// Overlap at shift d: a[max(d,0) + k] against b[max(-d,0) + k], n - |d| pairs.
Sums compare(const int* a, const int* b, int n, ptrdiff_t shift) {
    const int d = static_cast<int>(shift);
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

// The shared scan over the peaks left on SortList1 (the last pushed first);
// the peaks it takes are popped.
template <class Visit>
void scanPeaks(const int* a, const int* b, int n, Visit&& visit) {
    const core::Anchors an = core::anchorsOf(b, static_cast<size_t>(n));
    const size_t taken = core::scan(
        a, static_cast<size_t>(n), an, [&](ptrdiff_t d) { return compare(a, b, n, d); },
        [&](size_t p, size_t anchor, ptrdiff_t d, bool first, const Sums& s) {
            visit(static_cast<int>(p), static_cast<int>(anchor), static_cast<int>(d), first, s);
        });
    SortList1.top -= static_cast<int>(taken);
}

}  // namespace

extern "C" double Z_HVG_Match(int* a, int* b, int* nPtr, void*, void*, double* out) {
    const int n = *nPtr;
    if (!accepted(n)) return 0.0;
    prepare(a, b, n);
    double best = 0.0;
    int bestShift = 0;
    scanPeaks(a, b, n, [&](int p, int anchor, int d, bool first, const Sums& s) {
        const double cr = score(s.diff, s.sum);
        if (cr > best) best = cr, bestShift = d;
        // An identical overlap on top ends the scan unprinted.
        if (!(first && s.diff == 0)) zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%6.4f\n", p, anchor, d, cr);
    });
    out[0] = best;
    out[1] = bestShift;
    return bestShift;
}

double Z_HVG_Match(int const* a, int const* b, int n) {
    if (!accepted(n)) return 0.0;
    const int marks = prepare(a, b, n);
    int32_t worst = 0;
    int32_t sum = marks;
    scanPeaks(a, b, n, [&](int p, int anchor, int d, bool, const Sums& s) {
        sum = s.sum;
        if (s.diff > worst) worst = s.diff;
        if (s.diff != 0) zemba::diag::printf("maxS=%d\t maxD=%d\tdiff=%d cr=%d\n", p, anchor, d, s.diff);
    });
    return score(worst, sum);
}

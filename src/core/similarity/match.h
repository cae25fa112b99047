// Peak-aligned matching of two degree sequences, shared by the core kernel and
// the original interface's Z_HVG_Match: each interior peak of a, from the last
// to the first, is laid over the largest value of b (and over the value that
// was largest before it) when the shift is within n/8, and each overlap is
// handed to the caller with its sums. The arithmetic of the sums is the
// caller's (Compare), so the same scan serves exact and 32-bit sums.
#ifndef ZEMBA_CORE_SIMILARITY_MATCH_H
#define ZEMBA_CORE_SIMILARITY_MATCH_H

#include <cstddef>

namespace zemba::core::match {

// top: first position of the largest b[0..n-2]; previous: the position that
// held the running maximum before top (0 when none did).
struct Anchors {
    size_t top = 0, previous = 0;
};

template <class T>
Anchors anchorsOf(const T* b, size_t n) {
    Anchors an;
    for (size_t i = 1; i + 2 <= n; ++i)
        if (b[an.top] < b[i]) an.previous = an.top, an.top = i;
    return an;
}

inline ptrdiff_t shiftOf(size_t peak, size_t anchor) {
    return static_cast<ptrdiff_t>(peak) - static_cast<ptrdiff_t>(anchor);
}
inline bool within(ptrdiff_t d, size_t w) {
    return (d < 0 ? static_cast<size_t>(-d) : static_cast<size_t>(d)) <= w;
}

// Visits the overlaps: compare(d) returns the sums of the overlap at shift d
// (a[max(d,0) + k] against b[max(-d,0) + k], n - |d| pairs), with a member
// `diff`; visit(peak, anchor, shift, first, sums) sees each one, `first` for
// the overlap on top. An overlap with diff == 0 ends the scan. Returns the
// number of peaks taken, the last included (those out of reach count too).
template <class T, class Compare, class Visit>
size_t scan(const T* a, size_t n, Anchors an, Compare&& compare, Visit&& visit) {
    if (n < 3) return 0;
    const size_t w = n >> 3;
    size_t taken = 0;
    for (size_t p = n - 2; p >= 1; --p) {
        if (!(a[p] > a[p - 1] && a[p] > a[p + 1])) continue;
        ++taken;
        const ptrdiff_t d = shiftOf(p, an.top);
        if (!within(d, w)) continue;
        const auto s1 = compare(d);
        visit(p, an.top, d, true, s1);
        if (s1.diff == 0) break;
        if (an.top == an.previous) continue;
        const ptrdiff_t d2 = shiftOf(p, an.previous);
        if (!within(d2, w)) continue;
        const auto s2 = compare(d2);
        visit(p, an.previous, d2, false, s2);
        if (s2.diff == 0) break;
    }
    return taken;
}

}  // namespace zemba::core::match

#endif

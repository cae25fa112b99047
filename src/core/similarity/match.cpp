// Peak-aligned matching of two degree sequences with exact sums (32- or
// 64-bit lanes per block, 128-bit in total); writes only *result and calls
// the visitor.
#include <cstdint>
#include <new>
#include <vector>

#include "core/similarity/match.h"
#include "zemba/core.h"

namespace {

using u128 = unsigned __int128;

struct Sums {
    u128 diff, sum;
};

// Overlap sums at shift d over degrees held as T (int32_t copies when every
// degree is below 2^31, else the caller's int64_t), added in Acc lanes over
// blocks short enough not to overflow them and the blocks in 128 bits: exact
// for any length.
template <class Acc, class T>
Sums compare(const T* a, const T* b, size_t n, ptrdiff_t d, size_t block) {
    const size_t shift = static_cast<size_t>(d < 0 ? -d : d);
    const T* pa = a + (d > 0 ? shift : 0);
    const T* pb = b + (d < 0 ? shift : 0);
    const size_t len = n - shift;
    Sums s{0, 0};
    for (size_t k0 = 0; k0 < len; k0 += block) {
        const size_t k1 = len - k0 < block ? len : k0 + block;
        Acc diff = 0, sum = 0;
        for (size_t k = k0; k < k1; ++k) {
            const T u = pa[k], v = pb[k];
            diff += static_cast<Acc>(u > v ? u - v : v - u);
            sum += static_cast<Acc>(u) + static_cast<Acc>(v);
        }
        s.diff += diff;
        s.sum += sum;
    }
    return s;
}

// sum >= 1: the peak, above a neighbour that is at least 0, lies in the overlap.
double score(u128 diff, u128 sum) {
    return 1.0 - static_cast<double>(diff * 2) / static_cast<double>(sum);
}

// Largest degree, or -1 when one lies outside 0 .. 2^32 - 1.
int64_t largestDegree(const int64_t* x, size_t n) {
    int64_t top = 0;
    bool ok = true;
    for (size_t i = 0; i < n; ++i) {
        ok &= static_cast<uint64_t>(x[i]) <= 0xffffffffull;
        top = x[i] > top ? x[i] : top;
    }
    return ok ? top : -1;
}

// Pairs per block: a pair adds at most 2 top to a sum, and a block must fit
// the lanes (32 bits when that still leaves long blocks, else 64).
template <class T>
void matchAll(const T* a, const T* b, size_t n, uint64_t top, zemba_match_result& r, zemba_match_visitor visit,
              void* user) {
    namespace m = zemba::core::match;
    const uint64_t block32 = 0xffffffffull / (2 * top + 1);
    const bool narrow = block32 >= 65536;
    const size_t block = narrow ? static_cast<size_t>(block32) : size_t(1) << 31;
    const m::Anchors an = n >= 2 ? m::anchorsOf(b, n) : m::Anchors{};
    r = zemba_match_result{0.0, 0, 0.0, 0, an.top, an.previous};
    u128 worst = 0, lastSum = 0;
    m::scan(
        a, n, an,
        [&](ptrdiff_t d) { return narrow ? compare<uint32_t>(a, b, n, d, block) : compare<uint64_t>(a, b, n, d, block); },
        [&](size_t p, size_t anchor, ptrdiff_t d, bool first, const Sums& s) {
            const double cr = score(s.diff, s.sum);
            if (cr > r.best_score) r.best_score = cr, r.best_shift = d;
            if (s.diff > worst) worst = s.diff;
            lastSum = s.sum;
            ++r.comparisons;
            if (visit) {
                const zemba_match_comparison c{p, anchor, static_cast<int64_t>(d), first ? 1 : 0,
                                               static_cast<double>(s.diff), static_cast<double>(s.sum), cr};
                visit(&c, user);
            }
        });
    if (r.comparisons) r.similarity = score(worst, lastSum);
}

}  // namespace

extern "C" int zemba_degree_match(const int64_t* a, const int64_t* b, size_t n, zemba_match_result* result,
                                  zemba_match_visitor visit, void* user) {
    if (!result || (n && (!a || !b))) return ZEMBA_E_NULL;
    const int64_t ta = largestDegree(a, n), tb = largestDegree(b, n);
    if (ta < 0 || tb < 0) return ZEMBA_E_ARGUMENT;
    zemba_match_result r{};
    // Degrees below 2^31 are compared as int32 copies (half the bytes, lanes
    // the compiler vectorises) when the memory is there.
    std::vector<int32_t> a32, b32;
    if (ta <= INT32_MAX && tb <= INT32_MAX) {
        try {
            a32.assign(a, a + n);
            b32.assign(b, b + n);
        } catch (const std::bad_alloc&) {
            a32.clear();
            b32.clear();
        }
    }
    const uint64_t top = static_cast<uint64_t>(ta > tb ? ta : tb);
    if (n && !a32.empty())
        matchAll(a32.data(), b32.data(), n, top, r, visit, user);
    else
        matchAll(a, b, n, top, r, visit, user);
    *result = r;
    return ZEMBA_OK;
}

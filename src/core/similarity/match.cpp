// Peak-aligned matching of two degree sequences with exact sums (64-bit per
// block, 128-bit in total); writes only *result and calls the visitor.
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
// degree is below 2^31, else the caller's int64_t), |a - b| + ... added in
// unsigned 64-bit lanes over blocks short enough not to overflow them and the
// blocks in 128 bits: exact for any length.
template <class T>
Sums compare(const T* a, const T* b, size_t n, ptrdiff_t d, size_t block) {
    const size_t shift = static_cast<size_t>(d < 0 ? -d : d);
    const T* pa = a + (d > 0 ? shift : 0);
    const T* pb = b + (d < 0 ? shift : 0);
    const size_t len = n - shift;
    Sums s{0, 0};
    for (size_t k0 = 0; k0 < len; k0 += block) {
        const size_t k1 = len - k0 < block ? len : k0 + block;
        uint64_t diff = 0, sum = 0;
        for (size_t k = k0; k < k1; ++k) {
            const T u = pa[k], v = pb[k];
            diff += static_cast<uint64_t>(u > v ? u - v : v - u);
            sum += static_cast<uint64_t>(u) + static_cast<uint64_t>(v);
        }
        s.diff += diff;
        s.sum += sum;
    }
    return s;
}

// Blocks of 2^31 pairs: each adds less than 2^33, so 64 bits hold a block.
constexpr size_t kBlock = size_t(1) << 31;

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

template <class T>
void matchAll(const T* a, const T* b, size_t n, zemba_match_result& r, zemba_match_visitor visit, void* user) {
    namespace m = zemba::core::match;
    const m::Anchors an = n >= 2 ? m::anchorsOf(b, n) : m::Anchors{};
    r = zemba_match_result{0.0, 0, 0.0, 0, an.top, an.previous};
    u128 worst = 0, lastSum = 0;
    m::scan(
        a, n, an, [&](ptrdiff_t d) { return compare(a, b, n, d, kBlock); },
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
    if (n && !a32.empty())
        matchAll(a32.data(), b32.data(), n, r, visit, user);
    else
        matchAll(a, b, n, r, visit, user);
    *result = r;
    return ZEMBA_OK;
}

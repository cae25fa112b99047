// Peak-aligned matching of two degree sequences with exact sums (64-bit per
// block, 128-bit in total); writes only *result and calls the visitor.
#include <cstdint>

#include "core/similarity/match.h"
#include "zemba/core.h"

namespace {

using u128 = unsigned __int128;

struct Sums {
    u128 diff, sum;
};

// Degrees below 2^32: a block of 2^30 pairs cannot overflow 64 bits.
constexpr size_t kBlock = size_t(1) << 30;

Sums compare(const int64_t* a, const int64_t* b, size_t n, ptrdiff_t d) {
    const size_t shift = static_cast<size_t>(d < 0 ? -d : d);
    const uint64_t* pa = reinterpret_cast<const uint64_t*>(a) + (d > 0 ? shift : 0);
    const uint64_t* pb = reinterpret_cast<const uint64_t*>(b) + (d < 0 ? shift : 0);
    const size_t len = n - shift;
    Sums s{0, 0};
    for (size_t k0 = 0; k0 < len; k0 += kBlock) {
        const size_t k1 = len - k0 < kBlock ? len : k0 + kBlock;
        uint64_t diff = 0, sum = 0;
        for (size_t k = k0; k < k1; ++k) {
            const uint64_t u = pa[k], v = pb[k];
            diff += u > v ? u - v : v - u;
            sum += u + v;
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

bool degreesValid(const int64_t* x, size_t n) {
    bool ok = true;
    for (size_t i = 0; i < n; ++i) ok &= static_cast<uint64_t>(x[i]) <= 0xffffffffull;
    return ok;
}

}  // namespace

extern "C" int zemba_degree_match(const int64_t* a, const int64_t* b, size_t n, zemba_match_result* result,
                                  zemba_match_visitor visit, void* user) {
    if (!result || (n && (!a || !b))) return ZEMBA_E_NULL;
    if (!degreesValid(a, n) || !degreesValid(b, n)) return ZEMBA_E_ARGUMENT;
    namespace m = zemba::core::match;
    const m::Anchors an = n >= 2 ? m::anchorsOf(b, n) : m::Anchors{};
    zemba_match_result r{0.0, 0, 0.0, 0, an.top, an.previous};
    u128 worst = 0, lastSum = 0;
    m::scan(
        a, n, an, [&](ptrdiff_t d) { return compare(a, b, n, d); },
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
    *result = r;
    return ZEMBA_OK;
}

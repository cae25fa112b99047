// Sample entropy -ln(A / B) in nats over the first n - m templates of lengths
// m and m + 1, with the standard error of A / B on request (the variance of
// sampen2: pairs of matches that share or overlap templates). Writes only the
// caller's result slots.
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/regularity/template_pairs.h"
#include "zemba/core.h"

namespace zemba::core {
namespace {

typedef unsigned __int128 u128;

// Column sums K[0] + ... + K[m] of one template length L: K[0] counts ordered
// pairs of distinct matches sharing a template, K[d + 1] pairs of matches on
// templates d + 1 apart, less the matches those templates have with near
// neighbours. F[s] holds the partners of template s (n - L + 1 of them).
u128 overlapSum(const double* x, size_t n, size_t m, double r, size_t L, const uint64_t* F) {
    const size_t N = n - L + 1;  // templates of length L
    u128 sum = 0;
    for (size_t s = 0; s < N; ++s) sum += static_cast<u128>(F[s]) * (F[s] - (F[s] > 0 ? 1 : 0));
    if (m == 0) return sum;

    // before[s]: matches of s with s - g, g = 1 .. 2d + 2; after[s]: with s + g,
    // g = 1 .. 2d + 1. Gaps are added in increasing order; K[d + 1] is summed
    // when gap 2d + 2 has reached `before` but not yet `after`.
    std::vector<uint32_t> before(N, 0), after(N, 0), run(n, 0);
    for (size_t g = 1; g <= 2 * m; ++g) {
        // run[s]: samples matching from s on along the diagonal (s, s + g), capped.
        uint32_t len = 0;
        for (size_t s = g < n ? n - g : 0; s-- > 0;) {
            len = within(x[s], x[s + g], r) ? (len < L ? len + 1 : len) : 0;
            run[s] = len;
        }
        for (size_t s = 0; s + g < N; ++s)
            if (run[s] >= L) ++before[s + g];
        if (g % 2 == 0) {
            const size_t d = g / 2 - 1;
            u128 k = 0;
            for (size_t s = d + 1; s < N; ++s) {
                const size_t e = s - d - 1;
                const u128 a = F[s] - before[s];
                const u128 b = F[e] - after[e];
                k += 2 * a * b;
            }
            sum += k;
        }
        for (size_t s = 0; s + g < N; ++s)
            if (run[s] >= L) ++after[s];
    }
    return sum;
}

// Standard error of p = A / B as sampen2 estimates it.
double standardError(const double* x, size_t n, size_t m, double r, const TemplateCounts& c, const uint64_t* shortCount,
                     const uint64_t* longCount) {
    const double A = static_cast<double>(c.pairsLong), B = static_cast<double>(c.pairsShort);
    const double p = A / B;
    const double dn = static_cast<double>(n);
    const double n1 =
        m == 0 ? dn * (dn - 1.0) * (dn - 2.0) : static_cast<double>(overlapSum(x, n, m, r, m, shortCount));
    const double n2 = static_cast<double>(overlapSum(x, n, m, r, m + 1, longCount));
    double v = (1.0 - p) * p / B;
    const double dv = (n2 - p * n1 * p) / (B * B);
    if (dv > 0) v += dv;
    return std::sqrt(v);
}

}  // namespace
}  // namespace zemba::core

extern "C" int zemba_sample_entropy_ex(const double* x, size_t n, size_t order, double tolerance, double* entropy,
                                       double* standard_error, uint64_t* a, uint64_t* b) {
    if (!x && n) return ZEMBA_E_NULL;
    if (!(tolerance >= 0.0) || std::isinf(tolerance)) return ZEMBA_E_ARGUMENT;
    if (n <= order) return ZEMBA_E_TOO_SHORT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    try {
        zemba::core::TemplateCounts c;
        const bool se = standard_error != nullptr;
        const size_t T = n - order;
        std::vector<uint64_t> counts(se ? 2 * T + 1 : 0);
        uint64_t* shortCount = se ? counts.data() : nullptr;
        uint64_t* longCount = se ? counts.data() + T + 1 : nullptr;
        zemba::core::countTemplatePairs(x, n, order, tolerance, shortCount, longCount, c);
        const double e = -std::log(static_cast<double>(c.pairsLong) / static_cast<double>(c.pairsShort));
        const double err = se ? zemba::core::standardError(x, n, order, tolerance, c, shortCount, longCount) : 0.0;
        if (entropy) *entropy = c.pairsShort == 0 ? std::numeric_limits<double>::quiet_NaN() : e;
        if (standard_error) *standard_error = err;
        if (a) *a = c.pairsLong;
        if (b) *b = c.pairsShort;
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

extern "C" int zemba_sample_entropy(const double* x, size_t n, size_t order, double tolerance, double* entropy) {
    if (!entropy) return ZEMBA_E_NULL;
    return zemba_sample_entropy_ex(x, n, order, tolerance, entropy, nullptr, nullptr, nullptr);
}

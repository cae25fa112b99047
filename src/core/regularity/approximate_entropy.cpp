// Approximate entropy phi_m - phi_{m+1} in nats (Pincus): phi_L is the mean
// over the n - L + 1 templates of length L of ln(C / (n - L + 1)), C the
// templates within the tolerance of it, itself included. Writes only *entropy.
#include <cmath>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/regularity/template_pairs.h"
#include "zemba/core.h"

namespace {

// Mean of ln((count[s] + 1) / N) over the N templates, the logarithms summed
// with compensation in template order.
double phi(const uint64_t* count, size_t N_) {
    const double N = static_cast<double>(N_);
    double sum = 0.0, carry = 0.0;
    for (size_t i = 0; i < N_; ++i) {
        const uint64_t c = count[i];
        const double v = std::log(static_cast<double>(c + 1));
        const double t = sum + v;
        carry += std::fabs(sum) >= std::fabs(v) ? (sum - t) + v : (v - t) + sum;
        sum = t;
    }
    return (sum + carry) / N - std::log(N);
}

}  // namespace

extern "C" int zemba_approximate_entropy(const double* x, size_t n, size_t order, double tolerance, double* entropy) {
    if ((!x && n) || !entropy) return ZEMBA_E_NULL;
    if (!(tolerance >= 0.0) || std::isinf(tolerance)) return ZEMBA_E_ARGUMENT;
    if (n <= order) return ZEMBA_E_TOO_SHORT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    try {
        const size_t T = n - order;
        std::vector<uint64_t> counts(2 * T + 1);
        zemba::core::TemplateCounts c;
        zemba::core::countTemplatePairs(x, n, order, tolerance, counts.data(), counts.data() + T + 1, c);
        *entropy = phi(counts.data(), T + 1) - phi(counts.data() + T + 1, T);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

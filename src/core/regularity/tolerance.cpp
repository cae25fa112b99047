// The default tolerance of the regularity statistics: 0.2 x the population
// standard deviation, from pairwise sums. Writes only *tolerance.
#include <cmath>

#include "core/frame/checks.h"
#include "core/regularity/moments.h"
#include "zemba/core.h"

namespace zemba::core {

namespace {

// Pairwise sum of f(x[i]) over [0, n): blocks of 64 summed in order.
template <class F>
double pairwiseSum(const double* x, size_t n, F f) {
    if (n <= 64) {
        double s = 0.0;
        for (size_t i = 0; i < n; ++i) s += f(x[i]);
        return s;
    }
    const size_t half = n / 2;
    return pairwiseSum(x, half, f) + pairwiseSum(x + half, n - half, f);
}

}  // namespace

double populationSd(const double* x, size_t n) {
    // Samples beyond 2^500 in magnitude are scaled by a power of two first, so
    // that neither the sums nor the squares overflow.
    double big = 0.0;
    for (size_t i = 0; i < n; ++i) big = std::fmax(big, std::fabs(x[i]));
    const double scale = big > 0x1p500 ? 0x1p-600 : 1.0;
    const double mean = pairwiseSum(x, n, [scale](double v) { return v * scale; }) / static_cast<double>(n);
    const double sq = pairwiseSum(x, n, [scale, mean](double v) { return (v * scale - mean) * (v * scale - mean); });
    return std::sqrt(sq / static_cast<double>(n)) / scale;
}

}  // namespace zemba::core

extern "C" int zemba_default_tolerance(const double* x, size_t n, double* tolerance) {
    if ((!x && n) || !tolerance) return ZEMBA_E_NULL;
    if (n == 0) return ZEMBA_E_TOO_SHORT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    *tolerance = 0.2 * zemba::core::populationSd(x, n);
    return ZEMBA_OK;
}

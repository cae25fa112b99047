// Exact counts of matching template pairs for sample and approximate entropy.
// Template s of length L is x[s .. s+L-1]; two templates match when every pair
// of corresponding samples differs by at most r (the difference computed in
// double, so the test is symmetric and monotone in each sample).
#ifndef ZEMBA_CORE_REGULARITY_TEMPLATE_PAIRS_H
#define ZEMBA_CORE_REGULARITY_TEMPLATE_PAIRS_H

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zemba::core {

inline bool within(double a, double b, double r) { return std::fabs(a - b) <= r; }

// For a series of n >= m + 1 finite samples, T = n - m:
//   pairsShort  unordered pairs of templates s < t < T matching over m samples
//   pairsLong   the same over m + 1 samples
// and, when shortCount and longCount are given (both or neither),
//   shortCount[s], s <= T   partners of template s among the T + 1 templates
//                           of length m (itself excluded)
//   longCount[s],  s < T    partners among the T templates of length m + 1.
// Throws std::bad_alloc.
struct TemplateCounts {
    uint64_t pairsShort = 0;
    uint64_t pairsLong = 0;
};

void countTemplatePairs(const double* x, size_t n, size_t m, double r, uint64_t* shortCount, uint64_t* longCount,
                        TemplateCounts& out);

}  // namespace zemba::core

#endif

/* zemba core: regularity kernels (include zemba/core.h rather than this file). */
#ifndef ZEMBA_CORE_REGULARITY_H
#define ZEMBA_CORE_REGULARITY_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- sample and approximate entropy ----------------------------------------
 *
 * Template s of length L is x[s], ..., x[s + L - 1]. Two templates match when
 * their Chebyshev distance is at most the tolerance: |x[s+k] - x[t+k]| <= r for
 * every k < L, the difference computed in double (<= at every series length).
 * The tolerance is in the units of x, finite and >= 0; the usual choice is
 * 0.2 x the population standard deviation (zemba_default_tolerance).
 * Counts are exact (they equal those of comparing every pair of templates);
 * the time grows with the number of template pairs within r on their first
 * two samples (about n^2 / 80 pairs for white noise at r = 0.2 SD), identical
 * templates are counted together, and a series whose whole range lies within
 * r takes linear time. Working memory is linear in n: about 8 x (order + 13)
 * bytes per sample, 16 more with per-template counts (approximate entropy,
 * standard error) and 12 more for the standard error.
 */

/* 0.2 x the population standard deviation of x[0..n) (mean and squared
 * deviations summed pairwise, divided by n) into *tolerance: the default
 * tolerance of the two entropies below.
 * Statuses: ZEMBA_E_NULL (x NULL with n > 0, tolerance NULL);
 * ZEMBA_E_TOO_SHORT (n = 0); ZEMBA_E_NONFINITE. */
ZEMBA_CORE_API int zemba_default_tolerance(const double* x, size_t n, double* tolerance);

/* Sample entropy of x[0..n) in nats: -ln(A / B), where B counts the pairs of
 * distinct templates of length order and A those of length order + 1 that
 * match, both among the first n - order templates (the count of Richman and
 * Moorman). A = 0 < B gives +infinity; B = 0 gives NaN (0 / 0 or no pair at
 * all). order 0 is allowed (B = all n (n - 1) / 2 pairs).
 * Statuses: ZEMBA_E_NULL (x NULL with n > 0, entropy NULL);
 * ZEMBA_E_ARGUMENT (tolerance negative, NaN or infinite);
 * ZEMBA_E_TOO_SHORT (n <= order); ZEMBA_E_NONFINITE; ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_sample_entropy(const double* x, size_t n, size_t order, double tolerance, double* entropy);

/* zemba_sample_entropy with more outputs, each optional (NULL skips it):
 *   entropy         as zemba_sample_entropy (nats);
 *   standard_error  standard error of the ratio p = A / B by the variance
 *                   formula of the original interface's sampen2 (Lake et al.):
 *                   p (1 - p) / B plus, when positive, (N2 - p^2 N1) / B^2,
 *                   N1 and N2 the counts of pairs of matches (lengths order
 *                   and order + 1) that share a template or lie on
 *                   overlapping templates; here from this function's own
 *                   matches (<= r, the series as given, not z-scored), pairs
 *                   reaching past the series counting as non-matching. NaN
 *                   when B = 0, 0 when A = 0. Asking for it roughly doubles
 *                   the time;
 *   a, b            the counts A and B.
 * Statuses: as zemba_sample_entropy (no output is required). */
ZEMBA_CORE_API int zemba_sample_entropy_ex(const double* x, size_t n, size_t order, double tolerance,
                                           double* entropy, double* standard_error, uint64_t* a, uint64_t* b);

/* Approximate entropy of x[0..n) in nats (Pincus): phi(order) - phi(order+1),
 * phi(L) = mean over the N_L = n - L + 1 templates of length L of
 * ln(C_i / N_L), C_i the number of templates of length L matching template i,
 * itself included (so C_i >= 1 and the result is finite).
 * Statuses: ZEMBA_E_NULL (x NULL with n > 0, entropy NULL);
 * ZEMBA_E_ARGUMENT (tolerance negative, NaN or infinite);
 * ZEMBA_E_TOO_SHORT (n <= order: no template of length order + 1);
 * ZEMBA_E_NONFINITE; ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_approximate_entropy(const double* x, size_t n, size_t order, double tolerance,
                                             double* entropy);

#ifdef __cplusplus
}
#endif

#endif

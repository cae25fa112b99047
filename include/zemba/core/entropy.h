/* zemba core: entropy kernels (include zemba/core.h rather than this file). */
#ifndef ZEMBA_CORE_ENTROPY_H
#define ZEMBA_CORE_ENTROPY_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- permutation entropy ---------------------------------------------------
 *
 * The windows of a series x[0..n) are x[i], x[i + delay], ..., x[i + (order-1)
 * delay] for i = 0 .. n - (order-1) delay - 1. The ordinal pattern of a
 * window is the permutation that sorts its members ascending; members of equal
 * value are ranked by time, the earlier one lower (so a constant window has
 * the pattern 0, 1, ..., order-1). On data without ties this is the textbook
 * (Bandt-Pompe) pattern. The entropy is -sum p log2 p over the patterns that
 * occur, p their share of the windows: in bits.
 *
 * Flags (bitwise or):
 *   ZEMBA_PE_NORMALIZE  divide by log2(order!), so the result lies in [0, 1];
 *   ZEMBA_PE_WEIGHTED   weighted permutation entropy: each window counts with
 *                       the population variance of its members (sum of squared
 *                       deviations from the window mean, divided by order), p
 *                       is a pattern's share of the total weight. When every
 *                       window is flat (total weight 0) the result is NaN.
 *
 * Any order >= 2 is accepted. Orders up to 8 count patterns in a table of
 * order! entries; orders 9 to 20 sort one 64-bit code per window (16 bytes of
 * working memory per window); longer orders store each window's rank vector
 * (order bytes per window up to order 256, 2 x order up to 65536, 4 x order
 * beyond) and take time proportional to windows x order x log(order).
 */
#define ZEMBA_PE_NORMALIZE 1u
#define ZEMBA_PE_WEIGHTED 2u

/* Permutation entropy of x[0..n) in bits (see above) into *entropy.
 * Statuses: ZEMBA_E_NULL (x NULL with n > 0, or entropy NULL);
 * ZEMBA_E_ARGUMENT (order < 2, delay < 1, (order-1) delay beyond size_t, or
 * unknown flag bits); ZEMBA_E_TOO_SHORT (n <= (order-1) delay: no window);
 * ZEMBA_E_NONFINITE; ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_perm_entropy(const double* x, size_t n, size_t order, size_t delay, unsigned flags,
                                      double* entropy);

/* Multiscale permutation entropy: for each k < n_scales, the series is
 * coarse-grained at scale s = scales[k] (y_j = mean of x[j s .. j s + s - 1],
 * j = 0 .. floor(n / s) - 1, the sum taken in index order and divided by s;
 * scale 1 is x itself) and entropies[k] receives zemba_perm_entropy of y with
 * the same order, delay and flags (bits).
 * Statuses: as zemba_perm_entropy; also ZEMBA_E_NULL (scales or entropies NULL
 * with n_scales > 0), ZEMBA_E_ARGUMENT (a scale of 0), ZEMBA_E_TOO_SHORT (some
 * scale leaves no window). n_scales = 0 writes nothing and returns ZEMBA_OK
 * when the checks pass (the series is still scanned for non-finite values).
 * Working memory: floor(n / s) doubles for the smallest scale s above 1. */
ZEMBA_CORE_API int zemba_multiscale_perm_entropy(const double* x, size_t n, const size_t* scales, size_t n_scales,
                                                 size_t order, size_t delay, unsigned flags, double* entropies);

#ifdef __cplusplus
}
#endif

#endif

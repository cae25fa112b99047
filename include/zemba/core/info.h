/* zemba core: information kernels (include zemba/core.h rather than this file).
 *
 * Mutual information of two series of equal length n, in nats, as the
 * plug-in estimate on the series' discrete states (labels):
 *
 *     MI = sum over occupied (i, j) of p(i,j) ln( (p(i,j) / p(i)) / p(j) )
 *
 * with p = count / n. The terms are added in a fixed order (states of y
 * ascending, within them states of x ascending), so a result does not depend
 * on the memory or thread it was computed with. The result is never negative
 * (a sum that rounds below zero is reported as 0.0); a series with a single
 * state, and n = 0 or 1, give exactly 0.0. This is the quantity
 * sklearn.metrics.mutual_info_score computes on the same labels.
 *
 * Three ways to turn samples into states:
 *   - equal-width histogram bins (zemba_mutual_information), placed exactly
 *     as numpy.histogram(x, bins) places them, so that the states are
 *     numpy's bin indices for every finite input;
 *   - the integer part floor(v) of each sample (zemba_mutual_information_floor),
 *     the states of the original interface's calculateMutualInformation;
 *   - labels the caller already has (zemba_mutual_information_labels).
 *
 * Time O(n) plus the joint table; memory: a joint table of bins_x x bins_y
 * doubles when it holds at most 65536 cells or 4 n cells, otherwise (many
 * states, e.g. integer-part states of microvolt data) up to 32 bytes per
 * sample for a sort of the state pairs, O(n log n) time. Both give the same
 * bits.
 */
#ifndef ZEMBA_CORE_INFO_H
#define ZEMBA_CORE_INFO_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bins per series when the caller passes 0 for a bin count. */
#define ZEMBA_MI_DEFAULT_BINS 16

/* Largest bin count accepted: every bin index and edge is then exact in a
 * double (2^53). */
#define ZEMBA_MI_MAX_BINS 9007199254740992ull

/* Equal-width histogram bin of each sample, as numpy places it.
 *
 * The range runs from the least to the greatest sample (a constant series is
 * widened to [v - 0.5, v + 0.5]); the bins + 1 edges are numpy.linspace's:
 * edge k = k * step + min with step = (max - min) / bins (when that step
 * underflows to 0: (k / bins) * (max - min) + min), the last edge exactly max.
 * Bin k holds edge k <= v < edge k+1; the last bin also holds v == max. The
 * index is found as numpy 1.24 finds it: the first guess
 * trunc((v - min) * (bins / (max - min))) (a value on max taken one bin
 * down), then one bin down when v lies below its lower edge, or one bin up
 * when it lies on or above its upper edge (never past the last bin). Later
 * numpy releases guess (v - min) / (max - min) * bins; the corrections make
 * both agree wherever each guess is within one bin of the edges' answer,
 * which fails only for ranges a few ulps wide whose edges coincide.
 * numpy.digitize on these edges agrees except that it puts v == max past the
 * last bin. Where numpy's own arithmetic fails (a range so narrow that
 * bins / (max - min) overflows; numpy raises an error) the first guess is
 * (v - min) / (max - min) * bins, corrected the same way; a constant series
 * too large to widen (v - 0.5 == v + 0.5) is put in bin bins / 2.
 *
 *   x       n samples (may be NULL when n = 0)
 *   bins    number of bins, 1 .. ZEMBA_MI_MAX_BINS; 0 selects
 *           ZEMBA_MI_DEFAULT_BINS
 *   labels  out: n bin indices in 0 .. bins - 1 (caller-owned, n entries)
 *
 * Status: ZEMBA_E_NULL (x or labels NULL with n > 0); ZEMBA_E_ARGUMENT (bins
 * beyond ZEMBA_MI_MAX_BINS, or max - min beyond the largest double);
 * ZEMBA_E_NONFINITE (a NaN or infinite sample). */
ZEMBA_CORE_API int zemba_histogram_labels(const double* x, size_t n, size_t bins, int64_t* labels);

/* Mutual information (nats) of x and y on equal-width histogram bins: x's
 * samples in bins_x bins over x's own range, y's in bins_y bins over y's own
 * range, each placed as zemba_histogram_labels places them (numpy's
 * histogram). The same bins are obtained at every scale: multiplying a series
 * by a power of two changes nothing, and volts and microvolts give the same
 * bins except for samples within rounding of an edge.
 *
 *   x, y            n samples each (may be NULL when n = 0)
 *   bins_x, bins_y  bins of x and of y, 1 .. ZEMBA_MI_MAX_BINS; 0 selects
 *                   ZEMBA_MI_DEFAULT_BINS (16)
 *   mi              out: the mutual information in nats, in
 *                   [0, ln min(bins_x, bins_y)]; 0.0 for n <= 1
 *
 * Status: ZEMBA_E_NULL (mi NULL, or x or y NULL with n > 0);
 * ZEMBA_E_ARGUMENT (a bin count beyond ZEMBA_MI_MAX_BINS, or a series whose
 * max - min exceeds the largest double); ZEMBA_E_NONFINITE (a NaN or infinite
 * sample in x or y); ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_mutual_information(const double* x, const double* y, size_t n, size_t bins_x,
                                            size_t bins_y, double* mi);

/* Mutual information (nats) of x and y on the states floor(v): two samples
 * share a state when they have the same integer part rounded down, at any
 * magnitude. For input the original interface accepts (n <= 4096, integer
 * parts within 32 bits, at most 4096 joint states) this is bit for bit the
 * value of its calculateMutualInformation (where that is not below zero).
 *
 *   x, y  n samples each (may be NULL when n = 0)
 *   mi    out: the mutual information in nats; 0.0 for n <= 1
 *
 * Status: ZEMBA_E_NULL (mi NULL, or x or y NULL with n > 0);
 * ZEMBA_E_NONFINITE (a NaN or infinite sample); ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_mutual_information_floor(const double* x, const double* y, size_t n, double* mi);

/* Mutual information (nats) of two label sequences: samples with equal labels
 * share a state (the labels' values matter only through equality).
 *
 *   a, b  n labels each (may be NULL when n = 0)
 *   mi    out: the mutual information in nats; 0.0 for n <= 1
 *
 * Status: ZEMBA_E_NULL (mi NULL, or a or b NULL with n > 0); ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_mutual_information_labels(const int64_t* a, const int64_t* b, size_t n, double* mi);

#ifdef __cplusplus
}
#endif

#endif

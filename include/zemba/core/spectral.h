/* zemba core: spectral kernels (include zemba/core.h rather than this file).
 *
 * An AR(p) model of a series x: x[t] = sum_{k=1..p} a[k-1] x[t-k] + e[t] with
 * innovations e of variance sigma^2 (the sign convention of the usual
 * statistical packages: a positive a[0] for a positively correlated series).
 * Its one-sided power spectral density at frequency f (Hz), sampling rate
 * sfreq (Hz), in units of x^2 / Hz:
 *
 *     P(f) = 2 sigma^2 / sfreq / |1 - sum_k a[k-1] exp(-2 pi i k f / sfreq)|^2,
 *
 * defined on 0 <= f <= sfreq / 2; its integral from 0 to sfreq / 2 is the
 * variance of the model process, sigma^2 / prod_k (1 - r_k^2) with r the
 * reflection coefficients. When sigma^2 = 0 the spectrum is taken as 0.
 */
#ifndef ZEMBA_CORE_SPECTRAL_H
#define ZEMBA_CORE_SPECTRAL_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Passed as `order` to zemba_burg_psd and zemba_band_powers: the default
 * order trunc(sqrt(n) + 0.5) (see zemba_burg_default_order). */
#define ZEMBA_ORDER_AUTO ((size_t)-1)

/* Number of default bands (zemba_default_band). */
#define ZEMBA_DEFAULT_BAND_COUNT 5

/* Burg's estimate of the AR(order) model of x[0..n).
 *   x          the series; n samples (n >= 1).
 *   order      0 <= order < n.
 *   demean     nonzero: the sample mean is removed first (the usual choice);
 *              zero: x is used as it is.
 *   coefs      out, order values: a[0..order) as above.
 *   variance   out: the innovation variance sigma^2, the mean forward and
 *              backward prediction-error energy of the last stage,
 *              sum_t (f_p(t)^2 + b_p(t)^2) / (2 (n - p)) (units of x^2). For
 *              order 0 it is the mean square of the (demeaned) series. The
 *              work is scaled by a power of two, so any finite samples are
 *              fine; only a variance beyond the double range reads inf.
 *   reflection out, order values, may be NULL: the reflection coefficients
 *              (partial autocorrelations) r_1..r_order, each in [-1, 1].
 * Coefficients and variance follow statsmodels' regression.linear_model.burg
 * (to about 1e-13 relative on well-conditioned series; sums here are taken in
 * 16 interleaved blocked lanes, so the result is the same on every
 * instruction set). A stage whose errors are all zero (e.g. the demeaned
 * constant series) has reflection coefficient 0; such a perfectly predicted
 * series ends with variance 0. A constant series gives all coefficients 0 and
 * variance 0 with demean, a[0] = 1 and variance 0 without.
 * Statuses: ZEMBA_E_NULL (x, coefs or variance NULL where needed),
 * ZEMBA_E_TOO_SHORT (order >= n, including n = 0), ZEMBA_E_NONFINITE,
 * ZEMBA_E_NO_MEMORY (about 2 n doubles of work space). Nothing is written unless
 * ZEMBA_OK. Cost: O(n order) time. */
ZEMBA_CORE_API int zemba_burg(const double* x, size_t n, size_t order, int demean, double* coefs,
                              double* variance, double* reflection);

/* *order = trunc(sqrt(n) + 0.5), the order the spectral functions choose by
 * default (0 for n = 0; it reaches n for n = 1, which they then reject).
 * ZEMBA_E_NULL when order is NULL. */
ZEMBA_CORE_API int zemba_burg_default_order(size_t n, size_t* order);

/* The default EEG bands, index 0..4: delta 0.5-4, theta 4-8, alpha 8-13,
 * beta 13-30, gamma 30-45 Hz. Writes the name (static text), the lower and
 * the upper edge in Hz into whichever of name, low, high is not NULL.
 * ZEMBA_E_ARGUMENT for index >= ZEMBA_DEFAULT_BAND_COUNT. */
ZEMBA_CORE_API int zemba_default_band(size_t index, const char** name, double* low, double* high);

/* Spectrum P(f) (x^2 / Hz) of the given AR model at nfreqs frequencies.
 *   coefs, order  a[0..order) (coefs may be NULL for order 0).
 *   variance      sigma^2 >= 0.
 *   sfreq         sampling rate in Hz, finite and > 0.
 *   freqs         nfreqs frequencies in Hz, each in [0, sfreq / 2].
 *   psd           out, nfreqs values.
 *   bad_index     out, may be NULL: the index of the first rejected frequency
 *                 when one is, else nfreqs (written on every return).
 * Statuses: ZEMBA_E_NULL, ZEMBA_E_ARGUMENT (sfreq, a frequency outside
 * [0, sfreq / 2] or NaN, negative variance), ZEMBA_E_NONFINITE (a
 * coefficient or the variance). */
ZEMBA_CORE_API int zemba_ar_psd(const double* coefs, size_t order, double variance, double sfreq,
                                const double* freqs, size_t nfreqs, double* psd, size_t* bad_index);

/* zemba_ar_psd of the model zemba_burg fits to x[0..n) with demean (order
 * ZEMBA_ORDER_AUTO: trunc(sqrt(n) + 0.5)). Statuses as zemba_ar_psd, checked
 * first, then ZEMBA_E_TOO_SHORT (order >= n), ZEMBA_E_NONFINITE (a sample),
 * ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_burg_psd(const double* x, size_t n, double sfreq, size_t order, const double* freqs,
                                  size_t nfreqs, double* psd, size_t* bad_index);

/* Band powers of the given AR model: the integral of P(f) over each band
 * [low, high] (Hz), in x^2, by globally adaptive Gauss-Kronrod (7-15)
 * quadrature of the closed form, to a relative accuracy of 1e-9 of each
 * band's power. Intervals are split until no peak can hide between their
 * nodes and |Kronrod - Gauss| summed over the band is below 1e-10 of it;
 * next to poles close to the unit circle the spectrum is evaluated in long
 * double. The accuracy holds (and is tested) down to models whose innovation
 * variance is 1e-15 of the model variance; for models with poles on the unit
 * circle to double precision (fitted to noiseless tones) the work stops at
 * 1000 intervals per band or intervals of 1e-13 rad per sample and the result
 * is an estimate (inf where |A| rounds to 0).
 *   bands     nbands pairs (low, high) in Hz with 0 <= low <= high <=
 *             sfreq / 2 (a band may end at the Nyquist frequency; low = high
 *             gives 0); NULL: the five default bands (nbands must then be
 *             ZEMBA_DEFAULT_BAND_COUNT).
 *   relative  nonzero: each power divided by the integral over [0, sfreq / 2]
 *             (the model variance), by the same quadrature; NaN when
 *             sigma^2 = 0.
 *   powers    out, nbands values.
 *   bad_band  out, may be NULL: index of the first rejected band (one that
 *             reaches above sfreq / 2, starts below 0, has low > high or a
 *             NaN edge), else nbands (written on every return).
 * Statuses: ZEMBA_E_NULL, ZEMBA_E_ARGUMENT (sfreq, a band, negative
 * variance, bands NULL with nbands != 5), ZEMBA_E_NONFINITE (a coefficient
 * or the variance), ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_ar_band_powers(const double* coefs, size_t order, double variance, double sfreq,
                                        const double* bands, size_t nbands, int relative, double* powers,
                                        size_t* bad_band);

/* zemba_ar_band_powers of the model zemba_burg fits to x[0..n) with demean
 * (order ZEMBA_ORDER_AUTO: trunc(sqrt(n) + 0.5)). Statuses as
 * zemba_ar_band_powers, checked first, then ZEMBA_E_TOO_SHORT (order >= n),
 * ZEMBA_E_NONFINITE (a sample), ZEMBA_E_NO_MEMORY. */
ZEMBA_CORE_API int zemba_band_powers(const double* x, size_t n, double sfreq, size_t order, const double* bands,
                                     size_t nbands, int relative, double* powers, size_t* bad_band);

#ifdef __cplusplus
}
#endif

#endif

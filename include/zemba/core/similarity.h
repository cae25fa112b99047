/* zemba core: similarity kernels (include zemba/core.h rather than this file).
 *
 * Peak-aligned matching of two degree sequences a and b of length n (the
 * comparison of two channels' visibility-graph degrees that the original
 * interface's Z_HVG_Match makes, at any length and without printing):
 *
 *   - anchors in b: `top`, the first position of the largest of b[0..n-2],
 *     and `previous`, the position that held the running maximum of
 *     b[0], b[1], ... before top (0 when b[0] stays the maximum);
 *   - each interior peak p of a (a[p] > a[p-1] and a[p] > a[p+1]), from the
 *     last to the first, is laid over top and then over previous (when the
 *     two differ) at shift d = p - anchor, provided |d| <= n / 8 (integer
 *     division);
 *   - the overlap at shift d pairs a[max(d,0) + k] with b[max(-d,0) + k] for
 *     k < n - |d|, giving D = sum |a - b| and S = sum (a + b) (S >= 1: the
 *     peak lies in the overlap), and the score 1 - 2 D / S;
 *   - the scan stops after an overlap with D = 0.
 *
 * Time O(P n) for P scored overlaps (P <= n / 2); memory O(1).
 */
#ifndef ZEMBA_CORE_SIMILARITY_H
#define ZEMBA_CORE_SIMILARITY_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One scored overlap, as handed to a zemba_match_visitor. */
typedef struct zemba_match_comparison {
    size_t peak;   /* p, the peak of a */
    size_t anchor; /* the position in b it was laid over (top or previous) */
    int64_t shift; /* d = peak - anchor */
    int on_top;    /* 1 when anchor is top, 0 when it is previous */
    double diff;   /* D = sum |a - b| over the overlap (exact below 2^53) */
    double sum;    /* S = sum (a + b) over the overlap (exact below 2^53) */
    double score;  /* 1 - 2 D / S */
} zemba_match_comparison;

/* Called once per scored overlap, in scan order; user is passed through. It
 * must return normally (no longjmp, no C++ exception through the kernel). */
typedef void (*zemba_match_visitor)(const zemba_match_comparison* comparison, void* user);

typedef struct zemba_match_result {
    double best_score;  /* the largest positive score (0.0 when none is positive) */
    int64_t best_shift; /* the shift of the first overlap reaching it (0 when none) */
    double similarity;  /* 1 - 2 max D / S of the last overlap (0.0 without overlaps) */
    size_t comparisons; /* number of scored overlaps */
    size_t top;         /* the anchors in b (0 for n < 2) */
    size_t previous;
} zemba_match_result;

/* Matches degree sequence a against b as described above.
 *
 *   a, b      n degrees each, every one in 0 .. 4294967295 (may be NULL when
 *             n = 0)
 *   n         any length; n < 3 has no interior peak, so no overlap is scored
 *   result    out: the figures above
 *   visit     optional (NULL: none): called for every scored overlap before
 *             the function returns, on the calling thread
 *   user      passed to visit
 *
 * Status: ZEMBA_E_NULL (result NULL, or a or b NULL with n > 0);
 * ZEMBA_E_ARGUMENT (a degree below 0 or above 4294967295; nothing is visited
 * and result is untouched). */
ZEMBA_CORE_API int zemba_degree_match(const int64_t* a, const int64_t* b, size_t n, zemba_match_result* result,
                                      zemba_match_visitor visit, void* user);

#ifdef __cplusplus
}
#endif

#endif

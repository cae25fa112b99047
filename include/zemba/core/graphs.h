/* zemba core: visibility graphs and the features built on them (include
 * zemba/core.h rather than this file).
 *
 * Vertex i is sample i of a series y[0..n-1] taken at times t[0..n-1]
 * (t NULL: t[i] = i; otherwise finite and strictly increasing, in any unit).
 *
 * Horizontal visibility graph (ZEMBA_VG_HORIZONTAL): samples a < b see each
 * other when every sample strictly between them is strictly lower than both
 * ends; a sample equal to either end blocks the edge. Neighbours always see
 * each other. Built by a stack walk in O(n) time.
 *
 * Natural visibility graph (ZEMBA_VG_NATURAL): samples a < b see each other
 * when every sample k strictly between lies strictly below the straight line
 * through (t[a], y[a]) and (t[b], y[b]):
 *     (y[k] - y[a]) * (t[b] - t[a]) < (y[b] - y[a]) * (t[k] - t[a]).
 * A sample exactly on the line blocks the edge. The comparison is decided
 * exactly on the stored doubles, with no tolerance, at any scale (volts or
 * microvolts; scaling a series by a power of two never changes its graph),
 * including ties, plateaus and collinear samples. Tools that compare slopes
 * with a tolerance (for example 1e-14 times the largest coordinate) build a
 * different graph on nearly collinear or volt-scale data. Built by divide and
 * conquer at the maxima (the maximum of a stretch sees only into the stretch;
 * its visible samples are found by a scan that skips, with a bound, the
 * stretches under samples it has passed), without an n x n matrix: a few
 * steps per sample on noise (about 5 beyond the neighbours, at any length);
 * at worst O(n^2) (for example on a convex series, whose graph is complete).
 *
 * Edges and their direction. Undirected edges are listed (from, to) with the
 * earlier vertex first. ZEMBA_VG_LEFT_TO_RIGHT: from the earlier vertex to
 * the later. ZEMBA_VG_TOP_TO_BOTTOM: from the higher end to the lower, and
 * from the earlier of two equal ends. In- and out-degrees of an undirected
 * graph count the neighbours to the left and to the right (as for
 * left-to-right). Edge lists are ordered by the later vertex, then by the
 * earlier vertex, both ascending, whatever the direction.
 *
 * Weights are computed for the edge as listed, from vertex f to vertex g,
 * with dy = y[g] - y[f] and dt = t[g] - t[f]:
 *   ZEMBA_VG_SLOPE dy / dt          ZEMBA_VG_ABS_SLOPE |dy / dt|
 *   ZEMBA_VG_ANGLE atan(dy / dt)    ZEMBA_VG_ABS_ANGLE |atan(dy / dt)|  (radians)
 *   ZEMBA_VG_DISTANCE sqrt(dt*dt + dy*dy)   ZEMBA_VG_SQ_DISTANCE dt*dt + dy*dy
 *   ZEMBA_VG_V_DISTANCE dy          ZEMBA_VG_ABS_V_DISTANCE |dy|
 *   ZEMBA_VG_H_DISTANCE dt          ZEMBA_VG_ABS_H_DISTANCE |dt|
 * and the integer weights of the original interface, with the index lag
 * d = b - a (a < b) whatever the times, computed in double precision (the
 * original interface wraps them to 32 bits instead):
 *   ZEMBA_VG_SEED_LAG_DIFF   |trunc(y[b] - y[a])| * d + 1   (Z_HVA, Z_ZEMBA)
 *   ZEMBA_VG_SEED_SPAN       |trunc((y[b] - y[a]) * d)| + 1 (getHVGAdjMatrix,
 *                                                            Z_ZEMBA_KLD)
 *   ZEMBA_VG_SEED_DIFF       |trunc(y[b] - y[a])| + 1       (getVGFast)
 * A weighted graph keeps only the edges with min_weight < weight < max_weight
 * (exclusive bounds; -INFINITY and INFINITY keep every edge); degrees, counts
 * and features are those of the kept edges. Unweighted graphs ignore the
 * bounds.
 *
 * Statuses common to the graph functions: ZEMBA_E_NULL (options, y with
 * n > 0, or a required output NULL), ZEMBA_E_ARGUMENT (unknown kind,
 * direction or weight, a NaN bound, times not strictly increasing),
 * ZEMBA_E_NONFINITE (a NaN or infinite sample or time; nothing written),
 * ZEMBA_E_NO_MEMORY (outputs may have been cleared). Lengths 0 and 1 are
 * valid (no edges).
 */
#ifndef ZEMBA_CORE_GRAPHS_H
#define ZEMBA_CORE_GRAPHS_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum zemba_vg_kind {
    ZEMBA_VG_HORIZONTAL = 0,
    ZEMBA_VG_NATURAL = 1
} zemba_vg_kind;

typedef enum zemba_vg_direction {
    ZEMBA_VG_UNDIRECTED = 0,
    ZEMBA_VG_LEFT_TO_RIGHT = 1,
    ZEMBA_VG_TOP_TO_BOTTOM = 2
} zemba_vg_direction;

typedef enum zemba_vg_weight {
    ZEMBA_VG_UNWEIGHTED = 0,
    ZEMBA_VG_SLOPE = 1,
    ZEMBA_VG_ABS_SLOPE = 2,
    ZEMBA_VG_ANGLE = 3,
    ZEMBA_VG_ABS_ANGLE = 4,
    ZEMBA_VG_DISTANCE = 5,
    ZEMBA_VG_SQ_DISTANCE = 6,
    ZEMBA_VG_V_DISTANCE = 7,
    ZEMBA_VG_ABS_V_DISTANCE = 8,
    ZEMBA_VG_H_DISTANCE = 9,
    ZEMBA_VG_ABS_H_DISTANCE = 10,
    ZEMBA_VG_SEED_LAG_DIFF = 11,
    ZEMBA_VG_SEED_SPAN = 12,
    ZEMBA_VG_SEED_DIFF = 13
} zemba_vg_weight;

/* Which graph: kind (zemba_vg_kind), direction (zemba_vg_direction), weight
 * (zemba_vg_weight) and the exclusive weight bounds. */
typedef struct zemba_vg_options {
    int kind;
    int direction;
    int weight;
    double min_weight;
    double max_weight;
} zemba_vg_options;

/* Fills *options with kind, undirected, unweighted, bounds -INFINITY and
 * INFINITY. ZEMBA_E_NULL, ZEMBA_E_ARGUMENT (unknown kind). */
ZEMBA_CORE_API int zemba_vg_options_init(zemba_vg_options* options, int kind);

/* Degree of every vertex (number of kept edges at it) into degrees[0..n-1].
 * Working memory (n < 2^32, unfiltered): the horizontal graph a stack of 16
 * bytes per entry, touched only as deep as it grows (a few entries on noise,
 * n on a monotone series); the natural graph 8 bytes per sample (each
 * sample's stretch) plus set-up stacks of 16 bytes per entry as deep as the
 * longest monotone run. With the output, 16 to 24 bytes per sample on noise.
 */
ZEMBA_CORE_API int zemba_vg_degrees(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                                    size_t* degrees);

/* In- and out-degrees under options->direction into in_degrees[0..n-1] and
 * out_degrees[0..n-1]; either pointer may be NULL (not both). Undirected and
 * left-to-right: in = neighbours to the left, out = to the right. */
ZEMBA_CORE_API int zemba_vg_directed_degrees(const zemba_vg_options* options, const double* y, const double* t,
                                             size_t n, size_t* in_degrees, size_t* out_degrees);

/* Number of kept edges into *count. */
ZEMBA_CORE_API int zemba_vg_edge_count(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                                       size_t* count);

/* Edge list: edge e goes from from[e] to to[e] (see the direction rules
 * above) and weighs weights[e] (1.0 for unweighted graphs); weights may be
 * NULL. from, to and weights hold capacity entries. *count receives the
 * number of kept edges; when it exceeds capacity the status is
 * ZEMBA_E_CAPACITY and the arrays hold unspecified values. A horizontal graph
 * has at most 2n - 3 edges (n >= 2); for a natural graph call
 * zemba_vg_edge_count first. */
ZEMBA_CORE_API int zemba_vg_edges(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                                  size_t capacity, size_t* from, size_t* to, double* weights, size_t* count);

/* Degree histogram: counts[d] = number of entries of degrees[0..n-1] equal
 * to d, for d = 0 .. *classes - 1, where *classes = max degree + 1 (0 when
 * n = 0). counts holds capacity entries; *classes is always set and the status
 * is ZEMBA_E_CAPACITY (nothing written) when it exceeds capacity. Divide by n
 * for the degree distribution. */
ZEMBA_CORE_API int zemba_degree_counts(const size_t* degrees, size_t n, size_t capacity, size_t* counts,
                                       size_t* classes);

/* Shannon entropy (nats) of the degree histogram: -sum p ln p over the
 * degrees present, p = count / n, added in ascending degree. n = 0 gives 0. */
ZEMBA_CORE_API int zemba_degree_entropy(const size_t* degrees, size_t n, double* entropy);

/* Entropy (nats) of the ordinal patterns of the degree sequence (the
 * visibility-pattern entropy of HVG_Entropy when the degrees are those of the
 * horizontal graph): windows of m consecutive degrees starting at 0, tau,
 * 2 tau, ... while they fit, W = (n - m) / tau + 1 windows. A window's pattern
 * is the order in which a selection sort visits its members: position p
 * receives, by one swap, the first strictly smallest of positions p..m-1.
 * -sum p ln p over the patterns present, p = count / W. ZEMBA_E_ARGUMENT:
 * m < 2 or tau < 1; ZEMBA_E_TOO_SHORT: n < m. */
ZEMBA_CORE_API int zemba_degree_pattern_entropy(const size_t* degrees, size_t n, size_t m, size_t tau,
                                                double* entropy);

/* Backward/forward (time-irreversibility) features of the left-to-right
 * graph of options->kind with options->weight and bounds (direction is not
 * read), as Z_ZEMBA_KLD defines them, into features[0..6]. With db, df the
 * backward (from earlier vertices) and forward degrees, wb, wf the sums of
 * the weights of those edges, w(l, m) the weight of edge l -> m:
 *   [0] divergence: sum over degrees d present in both histograms of
 *       (Hb[d] / n) ln(Hb[d] / Hf[d]), Hb, Hf the histograms of db and df;
 *   [1] degree entropy of db + df (zemba_degree_entropy);
 *   [2] mean degree, sum (db + df) / n;
 *   [3] mean backward weight, sum wb / n;
 *   [4] degree asymmetry, sqrt(sum |db - df| / n);
 *   [5] mean M, M[l] = sum over edges l -> m of df[m] w(l, m), divided by
 *       wf[l] when that is not 0;
 *   [6] mean G, G[l] = sum over edges l -> m of |(df[m] - db[m]) w(l, m)|,
 *       divided by wb[l] when that is not 0.
 * Unweighted graphs take every weight as 1. ZEMBA_VG_SEED_SPAN gives the
 * original routine's figures without its truncation of the series for [4]
 * and its 32-bit wrap-around. n = 0: ZEMBA_E_TOO_SHORT. */
ZEMBA_CORE_API int zemba_vg_irreversibility(const zemba_vg_options* options, const double* y, const double* t,
                                            size_t n, double* features);

#ifdef __cplusplus
}
#endif

#endif

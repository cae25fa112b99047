/*
 * zemba — nonlinear and information-theoretic features of time series.
 *
 * Every routine is one synchronous call: it reads the caller's arrays, resets
 * the part of each shared buffer it uses, computes, writes through the
 * caller's output pointer (and often returns a double too), and leaves its
 * working data in the exported buffers below until the next routine that uses
 * the same buffer.  Logarithms are natural (nats); moments are population
 * moments (divided by n).  Diagnostic lines go to standard output on every
 * call; the only message on standard error is the empty-stack message of
 * StackPop.
 *
 * The library is not reentrant: at most one call may be in progress at a time
 * across all threads of a process, and a host that reads an exported buffer
 * must do so between calls.
 *
 * Capacities are fixed (see ZEMBA_* below).  Where a routine would otherwise
 * write outside a buffer, it rejects the input the way it signals rejection
 * (its sentinel, or returning before anything is written); each declaration
 * says how.
 *
 * Plain-named routines have C linkage and can be called from C; the others
 * are C++ functions exported under their mangled names and are declared only
 * for C++.
 */
#ifndef ZEMBA_H
#define ZEMBA_H

#include <stdint.h>

#ifdef __cplusplus
#include <string>
#include <vector>
#endif

/* The linker's export list decides what leaves the library; ZEMBA_API only
 * keeps the declarations visible to it (and imports them in Windows hosts). */
#if defined(_WIN32)
#if defined(ZEMBA_BUILD)
#define ZEMBA_API
#else
#define ZEMBA_API __declspec(dllimport)
#endif
#else
#define ZEMBA_API __attribute__((visibility("default")))
#endif

/* ---- capacities ---------------------------------------------------------- */
#define ZEMBA_SERIES_CAP 12193      /* stack items, wk1/wk2, run tables: max samples */
#define ZEMBA_NODE_CAP 12194        /* records of outSets/inSets, SlopMatrix side */
#define ZEMBA_MI_CAP 4096           /* samples and joint states of mutual information */
#define ZEMBA_PERLIST_CAP 64        /* pattern length */
#define ZEMBA_DPE_CAP 3628800       /* windows of FastDPE (10!) */
#define ZEMBA_BURG_ORDER_CAP 106    /* Burg order (wkm) */
#define ZEMBA_SAMPEN_M_CAP 128      /* M + 1 of the sample-entropy routines */
#define ZEMBA_SAMPEN_RUN_CAP 24386  /* 2 x 12193: run tables of sampen2 */
#define ZEMBA_SAVEINT_CAP 150652552
#define ZEMBA_FREQ_LEN_CAP 150652547
#define ZEMBA_CHANNELS 65           /* channel rows of myData */
#define ZEMBA_TABLE_COLUMNS 1024    /* 4 files x 256 samples */
#define ZEMBA_TRIAL_SAMPLES 256
#define ZEMBA_MAX_FILES 4
#define ZEMBA_DEGREE_ROWS 64        /* DegreeMatrix rows */
#define ZEMBA_DEGREE_COLS 257       /* DegreeMatrix row length */
#define ZEMBA_DEGREE_VALUE_CAP 1032 /* DegreeValue entries */

/* ---- shared types -------------------------------------------------------- */

/* Per-node record of outSets and inSets: edge count and edge-weight sum in the
 * graph routines; counts, marks, positions or histogram buckets elsewhere. */
typedef struct NodeRecord {
    int32_t degree;
    double weight;
} NodeRecord;

/* Bounded stack of node indices; top = -1 (any negative) means empty. A zeroed
 * record holds one item, items[0] = 0. */
typedef struct stackT {
    int32_t items[ZEMBA_SERIES_CAP];
    int32_t top;
} stackT;

/* The resident sample table filled by LoadAlcoholFile. */
typedef struct AlcoholTable {
    char group[ZEMBA_MAX_FILES];          /* group letter of files 0..3 */
    int8_t condition[ZEMBA_MAX_FILES];    /* condition code 1..4 of files 0..3 */
    char reserved[4];
    char names[ZEMBA_CHANNELS][7];        /* channel names, zero-terminated */
    double samples[ZEMBA_CHANNELS][ZEMBA_TABLE_COLUMNS]; /* [channel][file*256 + s] */
} AlcoholTable;

/* Result of calculateJointProbability; the pointers point at the shared
 * probability tables and stay valid until the next call refills them. */
typedef struct JointProbabilityResult {
    double* jointProbabilities;
    int jointNumStates;
    double* firstProbabilities;
    int firstNumStates;
    double* secondProbabilities;
    int secondNumStates;
} JointProbabilityResult;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- exported data ------------------------------------------------------- */
ZEMBA_API extern int32_t ForBiddenLen;             /* 127; read by nothing */
ZEMBA_API extern int32_t FREQ_LEN;                 /* 150652547; FastDPE code-space size */
ZEMBA_API extern double jointStateProbs[ZEMBA_MI_CAP];
ZEMBA_API extern double secondStateProbs[ZEMBA_MI_CAP];
ZEMBA_API extern double firstStateProbs[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t jointStateCounts[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t secondStateCounts[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t firstStateCounts[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t secondNormalisedVector[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t firstNormalisedVector[ZEMBA_MI_CAP];
ZEMBA_API extern int32_t DPE_Sort[ZEMBA_DPE_CAP];   /* FastDPE pattern codes */
ZEMBA_API extern int32_t SaveInt[ZEMBA_SAVEINT_CAP]; /* reserved, never touched */
ZEMBA_API extern int32_t PerList[ZEMBA_PERLIST_CAP];
ZEMBA_API extern double SlopMatrix[ZEMBA_NODE_CAP][ZEMBA_NODE_CAP];
ZEMBA_API extern stackT SortList1;                  /* the shared node stack */
ZEMBA_API extern NodeRecord inSets[ZEMBA_NODE_CAP];
ZEMBA_API extern NodeRecord outSets[ZEMBA_NODE_CAP];
ZEMBA_API extern double wk2[ZEMBA_SERIES_CAP];
ZEMBA_API extern double wk1[ZEMBA_SERIES_CAP];
ZEMBA_API extern double wkm[ZEMBA_BURG_ORDER_CAP];
ZEMBA_API extern int32_t DegreeMatrix[ZEMBA_DEGREE_ROWS][ZEMBA_DEGREE_COLS];
ZEMBA_API extern int32_t DegreeValue[ZEMBA_DEGREE_VALUE_CAP];
ZEMBA_API extern AlcoholTable myData;
ZEMBA_API extern double myF[ZEMBA_SAMPEN_RUN_CAP];
ZEMBA_API extern double R2[ZEMBA_SAMPEN_RUN_CAP];
ZEMBA_API extern double R1[ZEMBA_SAMPEN_RUN_CAP];
ZEMBA_API extern double s1[ZEMBA_SAMPEN_M_CAP];
ZEMBA_API extern double v2[ZEMBA_SAMPEN_M_CAP];
ZEMBA_API extern double v1[ZEMBA_SAMPEN_M_CAP];
ZEMBA_API extern int32_t lastrun[ZEMBA_SERIES_CAP];
ZEMBA_API extern int32_t run1[ZEMBA_SERIES_CAP];
ZEMBA_API extern int32_t run[ZEMBA_SERIES_CAP];
ZEMBA_API extern double n2[ZEMBA_SAMPEN_M_CAP];
ZEMBA_API extern double n1[ZEMBA_SAMPEN_M_CAP];
ZEMBA_API extern double K[ZEMBA_SERIES_CAP];
ZEMBA_API extern double myF2[ZEMBA_SAMPEN_RUN_CAP];
ZEMBA_API extern double myF1[ZEMBA_SAMPEN_RUN_CAP];

/* ---- visibility graphs --------------------------------------------------- */
/* Node i is sample i. Ordinary criterion: two samples see each other when every
 * sample strictly between them is strictly lower than both (a sample equal to
 * an end blocks); inverted: strictly higher. Neighbours always see each other.
 * "trunc" is double -> 32-bit int toward zero. */

/* Every pair tested directly. criterion <= 2 ordinary, > 2 inverted. Edge
 * weight |trunc(x[j]-x[i])| * (i-j) + 1. out[4] = mean degree, mean truncated
 * node weight, share of degree-2 nodes, elementary tests per node (counted in
 * 64 bits). Returns the degree sum. Leaves degrees and weights in
 * outSets[0..n-1]. n > 12193 or n < 0: returns 0.0, writes nothing. */
ZEMBA_API double Z_HVA(double* x, int* n, int* criterion, double* out);

/* The same graph (ordinary criterion) by the linear-time stack method. out[6] =
 * mean degree, mean weight, share of degree 2, stack operations per node,
 * shares of degree 3 and 4. The series is not modified. Returns the degree sum.
 * n > 12193 or n < 0: returns 0.0, writes nothing. */
ZEMBA_API double Z_ZEMBA(double* x, int* n, double* out);

/* Stack-built graph, far edges weighing |trunc((x[b]-x[l])*(b-l))| + 1.
 * mode 1/3 (ordinary/inverted): ones at the edges of an n x n matrix the
 * caller zeroed (at least n+2 cells, 3 for n = 1), degree sum in cell (0,0),
 * truncated weight sum in cell (1,1). mode 2/4: degrees in out[0..n-1],
 * truncated weights in out[n..2n-1]. <= 0 / >= 5: only outSets.
 * n > 12193 or n < 0: returns before anything is written. */
ZEMBA_API void getHVGAdjMatrix(double* x, int* n, int* mode, int* out);

/* dist[d] += 1 (mode 1) or seq[n+i] (other modes) for every node i whose degree
 * d = seq[i] lies in 0..maxDegree, then dist[0..maxDegree] /= n. The caller
 * zeroes dist. Negative degrees are skipped. Returns dist. */
ZEMBA_API double* getDegreeDistribute_int(int* seq, int* n, int* maxDegree, int* mode, double* dist);

/* dist[trunc(degrees[i])] += values[i] (mode 1) or values[n+i] for degrees
 * below maxDegree + 1; no division, no clearing. Degrees that truncate below
 * zero (or are NaN) are skipped. Returns dist. */
ZEMBA_API double* getDegreeClusterDistribute(double* degrees, double* values, int* n, int* maxDegree,
                                             int* mode, double* dist);

/* Directed (time-ordered) horizontal visibility graph of an integer series,
 * edge weight |(x[b]-x[a])*(b-a)| + 1. out[6] = degree sum, degree imbalance
 * sum |db-df|, edge count, 2 x weight, weight imbalance, weight. Leaves the
 * backward sides in outSets, the forward sides in inSets. n <= 0: six zeros.
 * n > 12193: returns before anything is written. */
ZEMBA_API void getZEMBG_4features(int* x, int n, double* out);

/* Histogram entropy (nats) of the degrees of the pairwise-tested graph
 * (criterion as Z_HVA). Prints "d(%d)=%d" per node, then calculateEntropy's
 * line. Leaves degrees and weights in outSets. n > 12194 or n < 0: returns 0.0,
 * writes and prints nothing. */
ZEMBA_API double Z_ZEMBA_Entropy(double* x, int criterion, int n);

/* Backward/forward features of the directed graph, out[7]: KL divergence of the
 * backward- from the forward-degree distribution (over degrees present in both),
 * degree entropy, mean degree, mean backward weight, degree asymmetry, mean M,
 * mean G. Returns out[0]. Prints Z_ZEMBA_Entropy's lines then "Entropy=%6.4f".
 * Leaves outSets, inSets, SlopMatrix (first n rows and columns) and SortList1
 * filled. n <= 0 or n > 12193: returns 0.0, writes and prints nothing. */
ZEMBA_API double Z_ZEMBA_KLD(double* x, int* n, double* out);

/* Natural visibility graph on a lag lattice (tau < 1 taken as 1), edge weight
 * |trunc(v[j]-v[i])| + 1; slopes left in SlopMatrix. getVGFast: mode 1 writes
 * ones into an n x n matrix the caller zeroed, degree sum in cell (0,0),
 * trunc(10000 x degree entropy) in (1,1), truncated weight sum in (2,2), and
 * prints "i=%d:%d" per far edge; other modes write degrees and truncated weights
 * (2n ints) and print "Degree=%d". Returns the degree sum. n > 12193 or n < 0:
 * returns 0.0, writes nothing. */
ZEMBA_API double getVGFast(double* v, int* n, int* mode, int* tau, int* out);
/* As getVGFast; mode 1: degree sum in (0,0), truncated weight sum in (1,1);
 * other modes: n degrees then a 0 (n+1 ints), printing "Degree=%d".
 * n > 12194 or n < 0: returns 0.0, writes nothing. */
ZEMBA_API double getRevVGFast(double* v, int* n, int* mode, int* tau, int* out);

/* Delay embedding (N = n - m*tau + 1 vectors) into SlopMatrix rows, the N x N
 * Euclidean distance matrix into out (diagonal untouched), and out[0] = 1 +
 * half the mean pairwise distance (0.0 for N = 1). m <= 0, N <= 0, N or m above
 * 12194, tau < 1, or sizes beyond 32 bits: nothing embedded, out[0] = 0.0 and
 * nothing else written. */
ZEMBA_API void getRecurrenceAdj(double* x, int* n, int* m, int* tau, double* out);

/* Z_HVA's four averages on the ordinary criterion; spare is never read.
 * n > 12194 or n < 0: returns before anything is written. */
ZEMBA_API void Z_DTW(double* v, void* spare, int* n, double* out);

/* ---- entropy measures ---------------------------------------------------- */

/* Shannon entropy in nats (mode 1; other modes: sum of p ln p below the
 * largest bucket) of the histogram of n non-negative ints, left in
 * inSets[k].degree; values above 12193 are rescaled onto 12194 buckets,
 * negative values are left out. Reads data[0] even when n = 0. Prints
 * "ratio=%6.4f maxData=%6.0f". Returns the result stored through result. */
ZEMBA_API double calculateEntropy(int* data, int* n, int* mode, double* result);

/* Rise-fall ("0" rise, "1" fall or equal) pattern entropy of the m-sample
 * windows divided by ln((m-1)!); stores m-1 back into *m. result = -1 (m
 * unchanged) when n < m or m <= 1. */
ZEMBA_API void calculatePermutationEntropy(double* x, int* n, int* m, double* result);
/* Ordinal-pattern entropy (nats, not normalised) of windows of m-1 samples tau
 * apart; stores m-1 back; PerList keeps the last window's index list.
 * result = -1 (nothing written) when n < m, m <= 1 or m > 64. */
ZEMBA_API void calculateDelayPermutationEntropy(double* x, int* n, int* m, int* tau, double* result);
/* Overwrites x[0..n/scale-1] with block sums of scale samples, then
 * calculateDelayPermutationEntropy on them. scale < 1 or m > 64: result = -1,
 * series untouched. */
ZEMBA_API void MultiScale_DPE(double* x, int* n, int* m, int* tau, int* scale, double* result);
/* Entropy (nats) of delayed rise-fall strings; stores m-1 back; -1 when n < m
 * or m <= 1. */
ZEMBA_API void DDPE(double* x, int* n, int* m, int* tau, double* result);
/* out[3] = mean degree, mean strength (signed weights x[j]-x[i]+1), entropy of
 * the degree patterns of m-node windows starting tau apart. n < m, m <= 1 or
 * m >= 64: out[0] = -1, out[1..2] untouched, the graph still left in outSets.
 * n > 12193 or n < 0: returns before anything is written. Prints "%d" with the
 * low 32 bits of the entropy's bit pattern. */
ZEMBA_API void HVG_Entropy(double* x, int* n, int* m, int* tau, double* out);

/* ---- information and correlation ----------------------------------------- */
/* Mutual information (nats) of two series discretised by their integer parts.
 * Prints "first=%d", "second=%d", "jointNumStates=%d". n > 4096, more than 4096
 * joint states, or integer parts beyond 32 bits (or NaN): result = NaN, one
 * line says why, the shared tables are untouched. */
ZEMBA_API void calculateMutualInformation(double* first, double* second, int* n, double* result);
/* Pearson correlation of two integer series (population moments). */
ZEMBA_API double Calculate_Correlation(int* x, int* y, int n);

/* ---- regularity ---------------------------------------------------------- */
/* Run-length sample entropy for template lengths q = 0..M into out[0..M];
 * replaces the caller's series by its z-scores; counts left in wk1/wk2.
 * M < 0, M > 127, n < 0 or n > 12193: out[0] = -1.0, nothing else touched. */
ZEMBA_API void sampen_1(double* x, int* M, double* r, int* n, double* out);
/* Approximate entropy with tol = trunc(r) x population SD and distances
 * |trunc(x_a - x_b)|. m < 0: out = NaN. */
ZEMBA_API void AppEn1(double* x, int* n, int* m, double* r, double* out);

/* ---- spectral ------------------------------------------------------------ */
/* Five EEG band powers (0.53-4, 4-8, 8-13, 13-30, 30-60 Hz) from a Burg model
 * of order trunc(sqrt(n) + 0.5) at sampling rate fs; prints
 * "df*freq=%lf\t poles=%d". n < 2 or n > 11342 (order above 106), or fs not a
 * finite positive number: five NaN, nothing else touched or printed. */
ZEMBA_API void memse(double* x, int* n, double* fs, double* out);

/* ---- matching ------------------------------------------------------------ */
/* Peak-aligned matching of two degree sequences: out[0] = best score, out[1] =
 * its shift; returns the shift. Prints "maxS=%d\t maxD=%d\tdiff=%d cr=%6.4f"
 * per scored comparison. Side marks left in outSets/inSets. The spare
 * arguments are never read. n < 2, n > 12194: writes nothing, returns 0.0. */
ZEMBA_API double Z_HVG_Match(int* a, int* b, int* n, void* spareA, void* spareB, double* out);
/* Back-matching on the value-2 positions: out[0] = best normalised
 * cross-correlation, out[1] = its lag, out[2] = smallest pair difference;
 * returns the chosen shift. n < 2 or n > 6097: writes nothing, returns 0.0. */
ZEMBA_API double Z_HVG_Match_back(int* a, int* b, int* n, void* spareA, void* spareB, double* out);
/* Segment correlation: out[4] = result, span lengths of a and b, a start-minus-end
 * figure; returns the result (0.0 when *q != *r). n < 2 or n > 12194: writes
 * nothing, returns 0.0. */
ZEMBA_API double Z_HVGS(int* a, int* b, int* n, double* q, double* r, double* out);

/* ---- EEG data set -------------------------------------------------------- */
/* Loads up to four trial files side by side into myData (row = channel, column
 * = file * 256 + sample index) and prints the channel names. out[0] = group
 * letter code (-1.0 when a file fails), out[1] = condition code of the first
 * file (0 when its line 4 names no condition); option "o": out[2..257] =
 * samples of channel select (1-based); "D": out[2] = condition, out[3+c] =
 * Z_ZEMBA_KLD feature select (0..6; NaN outside) of channel c = 0..63; others:
 * out[2] = condition code. nFiles = 0 reports on the table left by the last
 * load; nFiles < 0 returns at once; nFiles > 4 prints a message and loads
 * nothing. Names are cut to 6 characters.
 * Files are read as the core reader reads them (zemba/core/eeg.h): plain or
 * gzip, lines whole, up to 65 channel blocks (a 66th block header ends the
 * file). Before any file is read, the 256 columns of each of the nFiles files
 * are set to NaN in all 65 rows, so rows a file does not fill stay NaN. A file
 * fails, ending the load with out[0] = -1.0 and one printed line, when it is
 * not a regular file ("not a regular file: PATH"), cannot be opened ("can not
 * open file"), fails a header check (the lines below), has no block header
 * on line 5 ("no channel block on line 5, no samples read: PATH"), holds a
 * sample line that does not parse, has an index outside 0..255 or given twice
 * in its block, or a value that is not finite ("unparsable sample line N:
 * PATH"), or has a block lacking some of samples 0..255 ("incomplete channel
 * block on line N: PATH", N = the block's header line), or is a damaged gzip
 * stream ("damaged gzip stream: PATH", "gzip stream ends early: PATH").
 * Header checks: line 1 not starting with '#' ("not a correct file: PATH"),
 * byte 5 of line 1 neither 'a' nor 'c' ("not a correct alcohol EEG file"),
 * line 2 or 3 not starting with '#' ("error on file format on 2 Lines ...",
 * "... on 3 Lines ..."); line 4 without '#' prints "error on file format on
 * S1 obj , trial 2" and loading goes on. Files before a failed one stay
 * loaded. */
ZEMBA_API void LoadAlcoholFile(char** paths, int* nFiles, int* select, void* spareA, char** option,
                               void* spareB, double* out);

#ifdef __cplusplus
} /* extern "C" */

/* ---- C++-linkage exports (mangled names) ---------------------------------- */

/* The bounded stack: StackTop/StackPop return -1 when empty (any negative
 * top); StackPop then writes "Can't pop element from stack: stack is empty.\n"
 * to stderr. A push onto a full stack (12193 items) is dropped; a top beyond
 * the items reads as -1. */
ZEMBA_API int StackIsEmpty(stackT* s);
ZEMBA_API int StackTop(stackT* s);
ZEMBA_API void StackPush(stackT* s, int value);
ZEMBA_API int StackPop(stackT* s);

/* Similarity of two degree sequences (the matching of the plain Z_HVG_Match):
 * 1 - 2 x (largest difference sum) / (last value sum). Prints
 * "maxS=%d\t maxD=%d\tdiff=%d cr=%d" per comparison. n < 2 or n > 12194: 0.0. */
ZEMBA_API double Z_HVG_Match(int const* a, int const* b, int n);

/* Delay permutation entropy with patterns packed into integer codes in
 * DPE_Sort (stable sort), histogram entropy divided by m-1; FREQ_LEN receives the
 * code-space size (capped at 150652547). result = -1 with nothing written when
 * n < m, m <= 1, m >= 10 or the windows exceed DPE_Sort. Prints
 * calculateEntropy's line. */
ZEMBA_API void FastDPE(double const* x, int const* n, int const* m, int const* tau, double* result);
/* Shannon entropy (nats) of a sequence of byte-string symbols. */
ZEMBA_API double calculateShannonEntropy(std::vector<std::string> symbols);

/* Integer states floor(x) - floor(min) (int version: x - min) into output;
 * returns the number of states max - min + 1 (0 for n <= 0). */
ZEMBA_API int normaliseArray(double* input, int* output, int n);
ZEMBA_API int normaliseArray(int const* input, int* output, int n);
/* Discretises both series and fills the shared count and probability tables;
 * the record points at them. The int version also prints "%d\t%d\t%d" per
 * sample. Rejected (n > 4096, more than 4096 joint states, integer parts beyond
 * 32 bits): zero states, tables untouched, one line says why. */
ZEMBA_API JointProbabilityResult calculateJointProbability(double* first, double* second, int n);
ZEMBA_API JointProbabilityResult calculateJointProbability(int const* first, int const* second, int n);

/* Variance about the caller's mean, divided by n. */
ZEMBA_API double CalculateVariane(int const* x, double mean, int n);
/* meanX/meanY are accumulators: the sums are added onto the values passed in,
 * then divided by n. Returns the population covariance about them. */
ZEMBA_API double Calculate_Covariance(int const* x, int const* y, int n, double& meanX, double& meanY);
/* Largest positive normalised cross-correlation over lags -n/2 .. n/2-1
 * (0 when none is positive); prints "tr=%6.4f(%d)". */
ZEMBA_API double Calculate_Correlation_double(double const* x, double const* y, int n);

/* Burg model spectrum at fdt cycles per sample: pm / |1 - sum d[k] e^{i(k+1)2pi fdt}|^2. */
ZEMBA_API double evlmem(double fdt, double* d, long m, double pm);
/* Adaptive three-way Simpson integral of evlmem from a to b, relative
 * tolerance eps. */
ZEMBA_API double integ(double* d, long m, double pm, double a, double b, double eps);
/* 2 x integ over [lo, hi] (cycles per sample; negative edges count as 0,
 * swapped edges are ordered, an empty band gives 0). */
ZEMBA_API double band_power(double lo, double hi, double* d, long m, double pm);
/* Burg coefficients d[0..m-1] and residual mean square xms of order m; work in
 * wk1, wk2, wkm. Returns 0. n > 12194 or m > 107: returns 0, writes nothing.
 * (long arguments carry 32-bit values.) */
ZEMBA_API int memcof(double const* x, long n, long m, double& xms, double* d);

/* Channel-pair drivers over myData (channel rows from column 0): out[0] = mean
 * pair value, out[1+c] = channel c's pair sum / nch; returns out. RunHVGS uses
 * the mangled Z_HVG_Match on ordinary degree sequences (nch <= 64, len <= 257)
 * and prints "sum=%6.1f, r[%d]=%7.5f"; RunMI the mutual information of inverted
 * degree sequences (nch <= 65, len <= 516) and prints "sum=%6.1f". nch < 1 or
 * beyond the limits: null, out untouched, nothing printed. */
ZEMBA_API double* RunHVGS(int nch, int len, double* out);
ZEMBA_API double* RunMI(int nch, int len, double* out);

/* Delay vectors (N = n - m*tau + 1) into SlopMatrix rows; returns N (nothing
 * written when N <= 0). Sizes beyond SlopMatrix: returns 0, writes nothing. */
ZEMBA_API int getRecurrenceMatrix(double const* x, int n, int m, int tau);

/* z-scores the series in place (population SD); returns the SD. */
ZEMBA_API double normalize(double* x, int n);
/* sampen_1 plus standard errors: out[0..M] entropies (0 where p = 0),
 * out[M+1..2M+1] standard errors of p_0..p_M. Rejects (out[0] = -1.0, nothing
 * else touched) M < 0, M > 127, n < 0, n > 12193, 2(M+1)n > 24386 or
 * (M+1)(M+2) > 12193. Replaces the series by its z-scores. */
ZEMBA_API void sampen2(double const* x, int const* M, double const* r, int const* n, double* out);
/* As sampen_1, after adding 1 to the caller's M; prints
 * "SampEn(0,%g,%d) = %lf". Rejected input (as sampen_1): out[0] = -1.0, M and
 * the series untouched, nothing printed. */
ZEMBA_API void sampen(double const* x, int* M, double const* r, int const* n, double* out);
/* Sample entropy ln(B/A) of template length m by direct comparison, tol =
 * trunc(r) x SD, distances |trunc(x_a - x_b)|; 0.0 without matches or when
 * m < 0 or m >= n. The series is not modified. */
ZEMBA_API double SmEn(double const* x, int const* m, double const* r, int const* n, double* out);
/* Approximate entropy with tol = r x sd (self-matches included). m > N, or
 * N > 2147483647 (a negative int passed as unsigned, e.g. -1): NaN, x unread. */
ZEMBA_API double ApEn(double const* x, unsigned int N, unsigned int m, double r, double sd);

#endif /* __cplusplus */

#endif /* ZEMBA_H */

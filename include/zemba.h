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

/* Horizontal visibility graph by testing every pair. criterion <= 2: ordinary
 * (seen over valleys), > 2: inverted. out[4] = mean degree, mean truncated
 * weight, share of degree-2 nodes, elementary tests per node (counted in 64
 * bits). Returns the degree sum. n > 12193 or n < 0: returns 0.0, writes
 * nothing. Leaves degrees and weights in outSets[0..n-1]. */
ZEMBA_API double Z_HVA(double* x, int* n, int* criterion, double* out);

/* Same graph (ordinary criterion) by the linear-time stack method. out[6] =
 * mean degree, mean weight, share of degree 2, stack operations per node,
 * share of degree 3, share of degree 4. The series is not modified.
 * n > 12193 or n < 0: returns 0.0, writes nothing. */
ZEMBA_API double Z_ZEMBA(double* x, int* n, double* out);

/* Stack-built graph. mode 1/3: ordinary/inverted adjacency (n*n ints, caller
 * zeroes it; at least n+2 cells, 3 for n = 1) with the degree sum in cell
 * (0,0) and the truncated weight sum in cell (1,1); mode 2/4: degrees in
 * out[0..n-1], truncated weights in out[n..2n-1]; <= 0 / >= 5: only outSets.
 * n > 12193 or n < 0: returns before anything is written. */
ZEMBA_API void getHVGAdjMatrix(double* x, int* n, int* mode, int* out);

/* dist[d] += 1 (mode 1) or += seq[n+i] for every node of degree d <= maxDegree,
 * then dist[0..maxDegree] /= n. Returns dist. */
ZEMBA_API double* getDegreeDistribute_int(int* seq, int* n, int* maxDegree, int* mode, double* dist);

/* dist[trunc(degrees[i])] += values[i] (mode 1) or values[n+i]; no division. */
ZEMBA_API double* getDegreeClusterDistribute(double* degrees, double* values, int* n, int* maxDegree,
                                             int* mode, double* dist);

/* Six directed sums of the horizontal visibility graph of an integer series:
 * degree sum, degree imbalance, edge count, 2x weight, weight imbalance,
 * weight. Leaves backward sides in outSets, forward sides in inSets. */
ZEMBA_API void getZEMBG_4features(int* x, int n, double* out);

/* Histogram entropy of the pairwise-built graph's degrees; prints
 * "d(%d)=%d" per node, then the calculateEntropy line. */
ZEMBA_API double Z_ZEMBA_Entropy(double* x, int criterion, int n);

/* Backward/forward divergence features, out[7]: KL divergence, degree
 * entropy, mean degree, mean backward weight, degree asymmetry, mean M, mean
 * G. Returns out[0]. */
ZEMBA_API double Z_ZEMBA_KLD(double* x, int* n, double* out);

/* Natural visibility graph on a lag lattice (tau < 1 taken as 1). mode 1:
 * adjacency plus summary cells; other: degree/weight sequences. Slopes are
 * left in SlopMatrix. Returns the degree sum. */
ZEMBA_API double getVGFast(double* v, int* n, int* mode, int* tau, int* out);
ZEMBA_API double getRevVGFast(double* v, int* n, int* mode, int* tau, int* out);

/* Delay embedding into SlopMatrix rows and the N x N distance matrix into out;
 * out[0] = 1 + half the mean pairwise distance. */
ZEMBA_API void getRecurrenceAdj(double* x, int* n, int* m, int* tau, double* out);

/* The four per-node averages of Z_HVA (ordinary criterion); spare is unread. */
ZEMBA_API void Z_DTW(double* v, void* spare, int* n, double* out);

/* ---- entropy measures ---------------------------------------------------- */

/* Shannon entropy (mode 1) of the histogram of non-negative ints, histogram
 * left in inSets[k].degree; prints "ratio=%6.4f maxData=%6.0f\n". */
ZEMBA_API double calculateEntropy(int* data, int* n, int* mode, double* result);

/* Rise-fall permutation entropy over m-sample windows divided by ln((m-1)!);
 * stores m-1 back into *m; -1 when n < m or m <= 1. */
ZEMBA_API void calculatePermutationEntropy(double* x, int* n, int* m, double* result);
ZEMBA_API void calculateDelayPermutationEntropy(double* x, int* n, int* m, int* tau, double* result);
/* Overwrites x[0..n/scale-1] with block sums, then the delay permutation entropy. */
ZEMBA_API void MultiScale_DPE(double* x, int* n, int* m, int* tau, int* scale, double* result);
ZEMBA_API void DDPE(double* x, int* n, int* m, int* tau, double* result);
/* out[3] = mean degree (-1 when m is rejected), mean strength, degree-pattern entropy. */
ZEMBA_API void HVG_Entropy(double* x, int* n, int* m, int* tau, double* out);

/* ---- information and correlation ----------------------------------------- */
ZEMBA_API void calculateMutualInformation(double* first, double* second, int* n, double* result);
ZEMBA_API double Calculate_Correlation(int* x, int* y, int n);

/* ---- regularity ---------------------------------------------------------- */
/* Run-length sample entropy for q = 0..M; z-scores the caller's series. */
ZEMBA_API void sampen_1(double* x, int* M, double* r, int* n, double* out);
/* Approximate entropy with tol = trunc(r) x population SD. */
ZEMBA_API void AppEn1(double* x, int* n, int* m, double* r, double* out);

/* ---- spectral ------------------------------------------------------------ */
/* Five EEG band powers (delta, theta, alpha, beta, gamma) from a Burg model of
 * order trunc(sqrt(n) + 0.5); prints "df*freq=%lf\t poles=%d\n". */
ZEMBA_API void memse(double* x, int* n, double* fs, double* out);

/* ---- matching ------------------------------------------------------------ */
ZEMBA_API double Z_HVG_Match(int* a, int* b, int* n, void* spareA, void* spareB, double* out);
ZEMBA_API double Z_HVG_Match_back(int* a, int* b, int* n, void* spareA, void* spareB, double* out);
ZEMBA_API double Z_HVGS(int* a, int* b, int* n, double* q, double* r, double* out);

/* ---- EEG data set -------------------------------------------------------- */
/* Loads up to four trial files into myData. out[0] = group letter code (-1.0
 * on failure), out[1] = condition code; option "o": out[2..257] = samples of
 * channel select (1-based); "D": out[3+c] = divergence feature select of
 * channel c; otherwise out[2] = condition code. */
ZEMBA_API void LoadAlcoholFile(char** paths, int* nFiles, int* select, void* spareA, char** option,
                               void* spareB, double* out);

#ifdef __cplusplus
} /* extern "C" */

/* ---- C++-linkage exports (mangled names) ---------------------------------- */

ZEMBA_API int StackIsEmpty(stackT* s);
ZEMBA_API int StackTop(stackT* s);
ZEMBA_API void StackPush(stackT* s, int value);
ZEMBA_API int StackPop(stackT* s);

ZEMBA_API double Z_HVG_Match(int const* a, int const* b, int n);

ZEMBA_API void FastDPE(double const* x, int const* n, int const* m, int const* tau, double* result);
ZEMBA_API double calculateShannonEntropy(std::vector<std::string> symbols);

ZEMBA_API int normaliseArray(double* input, int* output, int n);
ZEMBA_API int normaliseArray(int const* input, int* output, int n);
ZEMBA_API JointProbabilityResult calculateJointProbability(double* first, double* second, int n);
ZEMBA_API JointProbabilityResult calculateJointProbability(int const* first, int const* second, int n);

ZEMBA_API double CalculateVariane(int const* x, double mean, int n);
ZEMBA_API double Calculate_Covariance(int const* x, int const* y, int n, double& meanX, double& meanY);
ZEMBA_API double Calculate_Correlation_double(double const* x, double const* y, int n);

ZEMBA_API double evlmem(double fdt, double* d, long m, double pm);
ZEMBA_API double integ(double* d, long m, double pm, double a, double b, double eps);
ZEMBA_API double band_power(double lo, double hi, double* d, long m, double pm);
ZEMBA_API int memcof(double const* x, long n, long m, double& xms, double* d);

ZEMBA_API double* RunHVGS(int nch, int len, double* out);
ZEMBA_API double* RunMI(int nch, int len, double* out);

ZEMBA_API int getRecurrenceMatrix(double const* x, int n, int m, int tau);

ZEMBA_API double normalize(double* x, int n);
ZEMBA_API void sampen2(double const* x, int const* M, double const* r, int const* n, double* out);
ZEMBA_API void sampen(double const* x, int* M, double const* r, int const* n, double* out);
ZEMBA_API double SmEn(double const* x, int const* m, double const* r, int const* n, double* out);
ZEMBA_API double ApEn(double const* x, unsigned int N, unsigned int m, double r, double sd);

#endif /* __cplusplus */

#endif /* ZEMBA_H */

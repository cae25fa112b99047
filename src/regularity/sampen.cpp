// Sample entropy: z-scoring, the run-length estimators (counts for every
// template length from one pass over all sample pairs, with standard errors in
// sampen2) and the direct template comparison of SmEn.
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include <emmintrin.h>

#include "frame/arith.h"
#include "regularity/moments.h"
#include "regularity/sorted_pairs.h"

namespace {

constexpr int kMaxLengths = ZEMBA_SAMPEN_M_CAP;  // M + 1 <= 128

// Walks every pair i < j = i + 1 + d once, row by row. run[d] holds the length
// of the run of matching samples that ends at (i, j): it continues entry d of
// the previous row (the same diagonal), so the row is updated in place; entries
// beyond the current row keep the value the last row that reached them wrote.
// pair(i, d, v) sees each run length, row(i, len) runs after each row.
template <class Pair, class Row>
inline void walkRuns(const double* x, int n, double r, Pair&& pair, Row&& row) {
    for (int i = 0; i + 1 < n; ++i) {
        const double y = x[i];
        const double* xs = x + i + 1;
        const int len = n - 1 - i;
        for (int d = 0; d < len; ++d) {
            const double xj = xs[d];
            // both tests strict; a NaN fails them
            const int32_t keep = -static_cast<int32_t>((r > xj - y) & (r > y - xj));
            const int32_t v = (run[d] + 1) & keep;
            run[d] = v;
            pair(i, d, v);
        }
        row(i, len);
    }
}

// Pairs by run length capped at c: all[.][L] over every pair (four interleaved
// copies, so that consecutive increments of one bin do not wait on each
// other), last[L] over the pairs whose later sample is the last one (their
// templates cannot extend).
struct RunHistogram {
    uint32_t all[4][kMaxLengths + 1];
    uint64_t last[kMaxLengths + 1];
    int c;

    explicit RunHistogram(int cap) : c(cap) {
        std::memset(all, 0, sizeof all);
        std::memset(last, 0, sizeof last);
    }
    int bin(int32_t v) const { return v < c ? v : c; }
    void add(int d, int32_t v) { ++all[d & 3][bin(v)]; }

    // wk1[k] += A_k (run >= k + 1), wk2[k] += C_k (the same, later index < n - 1).
    // Fewer than 2^32 pairs (n <= 12193) fall in any bin.
    void addCounts() const {
        uint64_t a = 0, ext = 0;
        for (int len = c; len >= 1; --len) {
            const uint64_t here = uint64_t{all[0][len]} + all[1][len] + all[2][len] + all[3][len];
            a += here;
            ext += here - last[len];
            wk1[len - 1] += static_cast<double>(a);
            wk2[len - 1] += static_cast<double>(ext);
        }
    }
};

// The pass of sampen_1 and sampen: counts only, previous row kept in lastrun.
void countRuns(const double* x, int n, double r, int c) {
    RunHistogram h(c);
    walkRuns(
        x, n, r, [&](int, int d, int32_t v) { h.add(d, v); },
        [&](int, int len) { ++h.last[h.bin(run[len - 1])]; });
    h.addCounts();
    if (n >= 2) std::memcpy(lastrun, run, sizeof(int32_t) * static_cast<size_t>(n - 1));
}

// The same pass for small caps (C <= 4): four pairs per step, the match test as
// |x_j - y| < r (y - x_j is exactly -(x_j - y), NaN fails), counts of run >= k
// kept per lane for the row, so no histogram scatter.
template <int C>
void countRunsDense(const double* x, int n, double r) {
    uint64_t all[C] = {}, last[C] = {};
    const __m128d rr = _mm_set1_pd(r);
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
    const __m128i one = _mm_set1_epi32(1);
    for (int i = 0; i + 1 < n; ++i) {
        const double y = x[i];
        const __m128d yy = _mm_set1_pd(y);
        const double* xs = x + i + 1;
        const int len = n - 1 - i;
        __m128i acc[C];
        for (int k = 0; k < C; ++k) acc[k] = _mm_setzero_si128();
        int d = 0;
        for (; d + 4 <= len; d += 4) {
            const __m128d t0 = _mm_and_pd(_mm_sub_pd(_mm_loadu_pd(xs + d), yy), absMask);
            const __m128d t1 = _mm_and_pd(_mm_sub_pd(_mm_loadu_pd(xs + d + 2), yy), absMask);
            const __m128 k01 = _mm_shuffle_ps(_mm_castpd_ps(_mm_cmplt_pd(t0, rr)),
                                              _mm_castpd_ps(_mm_cmplt_pd(t1, rr)), _MM_SHUFFLE(2, 0, 2, 0));
            __m128i* at = reinterpret_cast<__m128i*>(run + d);
            const __m128i v = _mm_and_si128(_mm_add_epi32(_mm_loadu_si128(at), one), _mm_castps_si128(k01));
            _mm_storeu_si128(at, v);
            for (int k = 0; k < C; ++k) acc[k] = _mm_sub_epi32(acc[k], _mm_cmpgt_epi32(v, _mm_set1_epi32(k)));
        }
        for (int k = 0; k < C; ++k) {
            alignas(16) uint32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc[k]);
            all[k] += uint64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
        }
        for (; d < len; ++d) {
            const double xj = xs[d];
            const int32_t keep = -static_cast<int32_t>((r > xj - y) & (r > y - xj));
            const int32_t v = (run[d] + 1) & keep;
            run[d] = v;
            for (int k = 0; k < C; ++k) all[k] += v > k;
        }
        const int32_t end = run[len - 1];
        for (int k = 0; k < C; ++k) last[k] += end > k;
    }
    for (int k = 0; k < C; ++k) {
        wk1[k] += static_cast<double>(all[k]);
        wk2[k] += static_cast<double>(all[k] - last[k]);
    }
    if (n >= 2) std::memcpy(lastrun, run, sizeof(int32_t) * static_cast<size_t>(n - 1));
}

zemba::PairTables runTables;

// The counts of the pass without visiting every pair: the pairs whose last
// samples match are found from the samples sorted by value, and compared
// backwards on their earlier samples (a template that would start before the
// series gets NaN there, which never matches). Each diagonal's final run,
// the one ending at the last sample, is then followed back on its own; those
// runs are what the pass leaves in run[] and what it counts as unable to
// extend. Returns false (nothing changed) for NaN samples, templates longer
// than the gathered columns or when the tables are taken.
bool countRunsSorted(const double* x, int n, double r, int c) {
    if (c > zemba::kPairColumns || n < 2 || n > zemba::kPairCap) return false;
    for (int i = 0; i < n; ++i)
        if (std::isnan(x[i])) return false;
    if (!runTables.claim()) return false;
    const double gap = std::numeric_limits<double>::quiet_NaN();
    runTables.gather(n, c, [x, gap](int64_t t, int k) { return t >= k ? x[t - k] : gap; });
    int64_t counts[zemba::kPairColumns];
    zemba::countMatchingPairs(runTables, n, c, r, counts);
    runTables.release();

    int64_t last[zemba::kPairColumns] = {};
    for (int d = 0; d + 1 < n; ++d) {
        const double* a = x + (n - 2 - d);
        const double* b = x + (n - 1);
        int32_t len = 0;
        while (len <= n - 2 - d && r > b[-len] - a[-len] && r > a[-len] - b[-len]) ++len;
        run[d] = len;
        for (int k = 0; k < c; ++k) last[k] += len > k;
    }
    for (int k = 0; k < c; ++k) {
        wk1[k] += static_cast<double>(counts[k]);
        wk2[k] += static_cast<double>(counts[k] - last[k]);
    }
    std::memcpy(lastrun, run, sizeof(int32_t) * static_cast<size_t>(n - 1));
    return true;
}

void countRunsFast(const double* x, int n, double r, int c) {
    if (countRunsSorted(x, n, r, c)) return;
    switch (c) {
        case 1: return countRunsDense<1>(x, n, r);
        case 2: return countRunsDense<2>(x, n, r);
        case 3: return countRunsDense<3>(x, n, r);
        case 4: return countRunsDense<4>(x, n, r);
        default: return countRuns(x, n, r, c);
    }
}

// B_0: all pairs, product in 32 bits halved with truncation.
double allPairs(int n) { return static_cast<double>(zemba::wrapMul(n, n - 1) / 2); }

bool lengthsRejected(int M, int n) { return M < 0 || M >= kMaxLengths || n < 0 || n > ZEMBA_SERIES_CAP; }

// Entropies of sampen_1 and sampen after output[0] = A_0 / B_0 is stored.
void finishEntropies(int M, double* out) {
    for (int q = 1; q <= M; ++q) out[q] = wk1[q] / wk2[q - 1];
    for (int q = 0; q <= M; ++q) out[q] = -std::log(out[q]);
}

void zeroRunRows(int entries) {
    const size_t bytes = sizeof(int32_t) * static_cast<size_t>(entries);
    std::memset(run, 0, bytes);
    std::memset(lastrun, 0, bytes);
}

}  // namespace

double normalize(double* x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i];
    const double mean = sum / n;
    for (int i = 0; i < n; ++i) x[i] -= mean;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) sq += x[i] * x[i];
    const double sd = std::sqrt(sq / n);
    for (int i = 0; i < n; ++i) x[i] /= sd;
    return sd;
}

void sampen_1(double* x, int* MPtr, double* rPtr, int* nPtr, double* out) {
    const int M = *MPtr, n = *nPtr;
    if (lengthsRejected(M, n)) {
        out[0] = -1.0;
        return;
    }
    zeroRunRows(n);
    std::memset(wk1, 0, sizeof wk1);
    std::memset(wk2, 0, sizeof wk2);
    normalize(x, n);
    countRunsFast(x, n, *rPtr, M + 1);
    out[0] = wk1[0] / allPairs(n);
    finishEntropies(M, out);
}

void sampen(double const* xIn, int* MPtr, double const* rPtr, int const* nPtr, double* out) {
    const int M = *MPtr, n = *nPtr;
    if (lengthsRejected(M, n)) {
        out[0] = -1.0;
        return;
    }
    *MPtr = M + 1;
    double* x = const_cast<double*>(xIn);  // the series is z-scored in place
    zeroRunRows(n);
    std::memset(wk1, 0, sizeof(double) * kMaxLengths);
    std::memset(wk2, 0, sizeof(double) * kMaxLengths);
    normalize(x, n);
    countRunsFast(x, n, *rPtr, M + 1);
    out[0] = wk1[0] / allPairs(n);
    zemba::diag::printf("SampEn(0,%g,%d) = %lf\n", *rPtr, n, -std::log(out[0]));
    finishEntropies(M, out);
}

void sampen2(double const* xIn, int const* MPtr, double const* rPtr, int const* nPtr, double* out) {
    const int M = *MPtr, n = *nPtr;
    if (lengthsRejected(M, n) || 2L * (M + 1) * n > ZEMBA_SAMPEN_RUN_CAP ||
        (M + 1) * (M + 2) > ZEMBA_SERIES_CAP) {
        out[0] = -1.0;
        return;
    }
    double* x = const_cast<double*>(xIn);  // the series is z-scored in place
    const int c = M + 1;
    const int width = 2 * c;  // run lengths kept per template in R1 and R2
    const int row = M + 2;    // row length of K
    const size_t inUse = sizeof(double) * static_cast<size_t>(width) * static_cast<size_t>(n);

    std::memset(run, 0, sizeof run);
    std::memset(lastrun, 0, sizeof lastrun);
    std::memset(run1, 0, sizeof run1);
    std::memset(wk1, 0, sizeof wk1);
    std::memset(wk2, 0, sizeof wk2);
    std::memset(R1, 0, inUse);
    std::memset(R2, 0, inUse);
    std::memset(myF, 0, inUse);
    std::memset(myF1, 0, inUse);
    std::memset(myF2, 0, inUse);
    std::memset(K, 0, sizeof(double) * static_cast<size_t>(c) * static_cast<size_t>(row));
    std::memset(n1, 0, sizeof n1);
    std::memset(n2, 0, sizeof n2);
    std::memset(v1, 0, sizeof v1);
    std::memset(v2, 0, sizeof v2);
    std::memset(s1, 0, sizeof s1);

    normalize(x, n);

    // Counts, per-template match counts and the forward run table.
    RunHistogram h(c);
    walkRuns(
        x, n, *rPtr,
        [&](int i, int d, int32_t v) {
            h.add(d, v);
            const int top = v < c ? v : c;
            double* after = myF1 + i;
            double* mine = myF + i;
            double* partner = myF + i + 1 + d;
            for (int k = 0; k < top; ++k) {
                after[k * n] += 1.0;
                mine[k * n] += 1.0;
                partner[k * n] += 1.0;
            }
        },
        [&](int i, int len) {
            ++h.last[h.bin(run[len - 1])];
            for (int d = 0; d < width; ++d) R1[i + d * n] = run[d];
        });
    h.addCounts();
    if (n >= 2) {
        const int copied = n - 1 > width ? n - 1 : width;
        std::memcpy(run1, run, sizeof(int32_t) * static_cast<size_t>(copied));
    }

    // Backward table: R2[t + k n] = run length of the pair (t - 1 - k, t).
    for (int t = 2; t < n; ++t) {
        const int kEnd = t < width ? t - 1 : width;
        for (int k = 0; k < kEnd; ++k) R2[t + k * n] = R1[(t - 1) + k * (n - 1)];
    }

    // Partners before each template; column 0 of K: ordered pairs of distinct
    // matches that share the template, f (f - 1) for f matches.
    for (int k = 0; k < c; ++k) {
        const int b = k * n;
        double shared = 0.0;
        for (int i = 0; i < n; ++i) {
            const double f = myF[b + i];
            myF2[b + i] = zemba::trunc32(f) - myF1[b + i];
            shared += f * (f - 1.0);
        }
        K[k * row] += shared;
    }

    for (int q = M; q >= 1; --q) wk2[q] = wk2[q - 1];
    wk2[0] = allPairs(n);

    double p[kMaxLengths];
    for (int q = 0; q <= M; ++q) {
        p[q] = wk1[q] / wk2[q];
        out[q] = p[q];
        v2[q] = (1.0 - p[q]) * p[q] / wk2[q];
    }

    // Pairs of matches on templates j + 1 apart.
    for (int m = 1; m <= c; ++m) {
        const int b = (m - 1) * n;
        const int jEnd = m < M ? m : M;
        for (int j = 0; j <= jEnd && j + 1 < n; ++j) {
            double sum = 0.0;
            for (int l = j + 1; l < n; ++l) {
                const int k = l - j - 1;
                int32_t a = zemba::trunc32(myF1[b + l]) + zemba::trunc32(myF2[b + l]);
                for (int q = 0; q <= 2 * j + 1; ++q) a -= R2[l + q * n] >= m;
                int32_t e = zemba::trunc32(myF1[b + k]) + zemba::trunc32(myF2[b + k]);
                for (int q = 0; q <= 2 * j; ++q) e -= R1[k + q * n] >= m;
                sum += 2.0 * a * e;
            }
            K[(m - 1) * row + j + 1] += sum;
        }
    }

    n1[0] = static_cast<double>(n) * static_cast<double>(n - 1) * static_cast<double>(n - 2);
    for (int q = 1; q <= M; ++q) {
        double s = 0.0;
        for (int col = 0; col <= q; ++col) s += K[(q - 1) * row + col];
        n1[q] = s;
    }
    for (int q = 0; q <= M; ++q) {
        double s = 0.0;
        for (int col = 0; col <= q; ++col) s += K[q * row + col];
        n2[q] = s;
    }

    for (int q = 0; q <= M; ++q) {
        v1[q] = v2[q];
        const double dv = (n2[q] - p[q] * n1[q] * p[q]) / (wk2[q] * wk2[q]);
        if (dv > 0) v1[q] += dv;
        s1[q] = std::sqrt(v1[q]);
    }
    for (int q = 0; q <= M; ++q) out[q] = p[q] == 0 ? 0.0 : -std::log(p[q]);
    for (int q = 0; q <= M; ++q) out[M + 1 + q] = s1[q];
}

zemba::PairTables smenTables;

// SmEn's counts from the templates sorted by first sample. With every
// difference inside 32 bits and tol >= 0, |trunc(d)| <= tol is exactly
// |d| < floor(tol) + 1. Returns false (nothing computed) where that does not
// hold, for templates longer than the gathered columns, or when the tables are
// taken (SmEn may run concurrently with itself).
bool smenSorted(const double* x, int n, int m, double tol, double& A, double& B) {
    const int64_t T = static_cast<int64_t>(n) - m;  // templates 0 .. n - m - 1
    if (m + 1 > zemba::kPairColumns || T < 2 || T > zemba::kPairCap || !(tol >= 0)) return false;
    double lo = x[0], hi = x[0];
    for (int i = 0; i < n; ++i) {
        if (std::isnan(x[i])) return false;
        lo = x[i] < lo ? x[i] : lo;
        hi = x[i] > hi ? x[i] : hi;
    }
    if (!(hi - lo < 2147483648.0)) return false;
    if (!smenTables.claim()) return false;
    smenTables.gather(T, m + 1, [x](int64_t t, int k) { return x[t + k]; });
    int64_t counts[zemba::kPairColumns];
    zemba::countMatchingPairs(smenTables, T, m + 1, std::floor(tol) + 1.0, counts);
    smenTables.release();
    B = static_cast<double>(m > 0 ? counts[m - 1] : T * (T - 1) / 2);
    A = static_cast<double>(counts[m]);
    return true;
}

double SmEn(double const* x, int const* mPtr, double const* rPtr, int const* nPtr, double* out) {
    const int m = *mPtr, n = *nPtr;
    const double tol = zemba::trunc32(*rPtr) * zemba::populationSd(x, n);
    auto dist = [&](int a, int b) {
        return static_cast<double>(zemba::wrapAbs(zemba::trunc32(x[a] - x[b])));
    };
    double A = 0.0, B = 0.0;
    if (m >= 0 && m < n && !smenSorted(x, n, m, tol, A, B)) {
        const int last = n - m - 1;  // last template start that can extend
        for (int i = 0; i < last; ++i)
            for (int j = i + 1; j <= last; ++j) {
                int k = 0;
                while (k < m && dist(i + k, j + k) <= tol) ++k;
                if (k < m) continue;
                B += 1.0;
                if (dist(i + m, j + m) <= tol) A += 1.0;
            }
    }
    double result = 0.0;
    if (A >= 1 && B >= 1) result = std::log(B / A);
    *out = result;
    return result;
}

// Approximate entropy: the mean over templates of ln(B / A), where B counts the
// templates (itself included) that match it over m samples and A those that
// also match on the next sample; distances are truncated differences.
#include "zemba.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

#include "frame/arith.h"
#include "regularity/moments.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using zemba::trunc32;
using zemba::wrapAbs;

inline bool near(const double* x, int64_t a, int64_t b, double tol) {
    return static_cast<double>(wrapAbs(trunc32(x[a] - x[b]))) <= tol;
}

// Every template against every template, with the early exit.
double directLogSum(const double* x, int64_t T, int64_t m, double tol) {
    double S = 0.0;
    for (int64_t i = 0; i < T; ++i) {
        double A = 0.0, B = 0.0;
        for (int64_t j = 0; j < T; ++j) {
            int64_t k = 0;
            while (k < m && near(x, i + k, j + k, tol)) ++k;
            if (k < m) continue;
            B += 1.0;
            if (near(x, i + m, j + m, tol)) A += 1.0;
        }
        if (A > 0 && B > 0) S += std::log(B / A);
    }
    return S;
}

constexpr int64_t kSortedCap = 12288;  // templates handled from sorted first samples
constexpr int kColumns = 4;             // template lengths with gathered columns

// Work tables of the sorted path. The routines may be called concurrently, so
// a call that finds them taken counts directly instead.
struct SortedTables {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    int32_t order[kSortedCap];
    double column[kColumns + 1][kSortedCap];  // column[k][q] = x[order[q] + k]
    int32_t countA[kSortedCap], countB[kSortedCap];
};
SortedTables tables;

// Matches of template i among the partners q in [first, end) whose first
// samples match: B over samples 1 .. M - 1, A also over sample M.
template <int M>
inline void countPartners(const double* x, int64_t i, int64_t first, int64_t end, double F, int32_t& A, int32_t& B) {
    double xi[M + 1];
    for (int k = 1; k <= M; ++k) xi[k] = x[i + k];
    int64_t a = 0, b = 0;
    int64_t q = first;
#if defined(__SSE2__)
    // Two partners at a time: a lane's mask is all ones where it matches.
    __m128d xk[M + 1];
    for (int k = 1; k <= M; ++k) xk[k] = _mm_set1_pd(xi[k]);
    const __m128d hiF = _mm_set1_pd(F), loF = _mm_set1_pd(-F);
    __m128i va = _mm_setzero_si128(), vb = _mm_setzero_si128();
    for (; q + 2 <= end; q += 2) {
        __m128d ok = _mm_castsi128_pd(_mm_set1_epi32(-1));
        for (int k = 1; k < M; ++k) {
            const __m128d d = _mm_sub_pd(xk[k], _mm_loadu_pd(tables.column[k] + q));
            ok = _mm_and_pd(ok, _mm_and_pd(_mm_cmplt_pd(d, hiF), _mm_cmpgt_pd(d, loF)));
        }
        const __m128d d = _mm_sub_pd(xk[M], _mm_loadu_pd(tables.column[M] + q));
        const __m128d last = _mm_and_pd(ok, _mm_and_pd(_mm_cmplt_pd(d, hiF), _mm_cmpgt_pd(d, loF)));
        vb = _mm_sub_epi64(vb, _mm_castpd_si128(ok));
        va = _mm_sub_epi64(va, _mm_castpd_si128(last));
    }
    int64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), va);
    a = lanes[0] + lanes[1];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), vb);
    b = lanes[0] + lanes[1];
#endif
    for (; q < end; ++q) {
        bool ok = true;
        for (int k = 1; k < M; ++k) {
            const double d = xi[k] - tables.column[k][q];
            ok = ok && d < F && d > -F;
        }
        const double d = xi[M] - tables.column[M][q];
        b += ok;
        a += ok && d < F && d > -F;
    }
    A = static_cast<int32_t>(a);
    B = static_cast<int32_t>(b);
}

// The same counts, comparing each template only with the templates whose
// first samples match its own. When every difference fits 32 bits and
// tol >= 0, samples match exactly when their rounded difference lies strictly
// inside (-F, F) with F = floor(tol) + 1, so these partners are one run of the
// templates sorted by first sample, found with two moving bounds. Returns
// false (nothing computed) where that does not hold.
bool sortedLogSum(const double* x, int64_t T, int64_t m, double tol, double& S) {
    if (m < 1 || m > kColumns || T < 1 || T > kSortedCap || !(tol >= 0)) return false;
    double lo = x[0], hi = x[0];
    for (int64_t i = 0; i < T + m; ++i) {
        if (std::isnan(x[i])) return false;  // NaN matches everything: no sorted order
        if (x[i] < lo) lo = x[i];
        if (x[i] > hi) hi = x[i];
    }
    if (!(hi - lo < 2147483648.0)) return false;  // NaN, infinities, 32-bit overflow
    if (tables.busy.test_and_set(std::memory_order_acquire)) return false;
    const double F = std::floor(tol) + 1.0;

    int32_t* order = tables.order;
    for (int64_t i = 0; i < T; ++i) order[i] = static_cast<int32_t>(i);
    std::sort(order, order + T, [x](int32_t a, int32_t b) { return x[a] < x[b]; });
    for (int k = 0; k <= m; ++k)
        for (int64_t q = 0; q < T; ++q) tables.column[k][q] = x[order[q] + k];
    const double* key = tables.column[0];

    double sum = 0.0;
    int64_t first = 0, end = 0;  // partners of order[p]: order[first .. end - 1]
    // The logarithms are summed in template order: counts first, sum after.
    int32_t* countsA = tables.countA;
    int32_t* countsB = tables.countB;
    for (int64_t p = 0; p < T; ++p) {
        const int64_t i = order[p];
        const double xi = key[p];
        while (!(xi - key[first] < F)) ++first;
        if (end < first) end = first;
        while (end < T && xi - key[end] > -F) ++end;
        int32_t A, B;
        switch (m) {
            case 1: countPartners<1>(x, i, first, end, F, A, B); break;
            case 2: countPartners<2>(x, i, first, end, F, A, B); break;
            case 3: countPartners<3>(x, i, first, end, F, A, B); break;
            default: countPartners<4>(x, i, first, end, F, A, B); break;
        }
        countsA[i] = A;
        countsB[i] = B;
    }
    for (int64_t i = 0; i < T; ++i) {
        const double A = countsA[i], B = countsB[i];
        if (A > 0 && B > 0) sum += std::log(B / A);
    }
    tables.busy.clear(std::memory_order_release);
    S = sum;
    return true;
}

// Sum over templates 0 .. T - 1 of ln(B / A); every template has sample i + m.
double templateLogSum(const double* x, int64_t T, int64_t m, double tol) {
    double S;
    if (sortedLogSum(x, T, m, tol, S)) return S;
    return directLogSum(x, T, m, tol);
}

}  // namespace

double ApEn(double const* x, unsigned int N, unsigned int m, double r, double sd) {
    // m > N leaves no template; its count would wrap around. A count above
    // INT32_MAX is a negative int passed as unsigned (-1 reads as 4294967295):
    // no series of the library's int lengths is that long.
    if (m > N || N > static_cast<unsigned int>(INT32_MAX)) return std::numeric_limits<double>::quiet_NaN();
    const unsigned int T = N - m;
    return templateLogSum(x, T, m, r * sd) / static_cast<double>(T);
}

void AppEn1(double* x, int* nPtr, int* mPtr, double* rPtr, double* out) {
    const int N = *nPtr, m = *mPtr;
    if (m < 0) {  // a negative length would start templates beyond the series
        *out = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    const double tol = zemba::trunc32(*rPtr) * zemba::populationSd(x, N);
    const int64_t T = static_cast<int64_t>(N) - m;
    *out = templateLogSum(x, T, m, tol) / static_cast<double>(T);
}

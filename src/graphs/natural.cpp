// Natural visibility graphs on a lag lattice, found with the running maximum
// of the slopes from each node; the slopes are left in SlopMatrix.
//
// With a lag of 1 each row of SlopMatrix is written once, a vector at a time
// (zeros up to the diagonal, correctly rounded quotients after it), at the
// widest instruction set available; a vector whose slopes are all "not
// greater" than the running maximum holds no edge and is not looked at again.
// Large matrices are written with streaming stores.
#include "frame/diag.h"
#include "zemba.h"

#include <immintrin.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/arith.h"
#include "frame/cpu.h"

using zemba::trunc32;
using zemba::wrapAbs;
using zemba::wrapAdd;

namespace {

int32_t vgDegrees[ZEMBA_SERIES_CAP];

// The slopes of a vector that holds an edge, for the scalar walk. (Not a local
// array: the compiler may give a local 64-byte alignment that a sanitizer's
// relocated stack frames do not keep.)
alignas(64) double laneSlopes[8];

// From this many samples on the matrix (n * n doubles, 8 MB) outgrows the
// caches and is streamed to memory.
constexpr int kStreamFrom = 1024;

struct Graph {
    const double* v;
    int n;
    int tau;
    bool adjacency;
    bool printFar;
    int* out;
};

inline void addEdge(const Graph& g, int i, int j) {
    const int32_t w = wrapAdd(wrapAbs(trunc32(g.v[j] - g.v[i])), 1);
    outSets[i].degree++;
    outSets[j].degree++;
    outSets[i].weight += w;
    outSets[j].weight += w;
    if (g.adjacency) {
        const size_t n = static_cast<size_t>(g.n);
        g.out[i * n + j] = 1;
        g.out[j * n + i] = 1;
    }
}

// Node j beyond the first neighbour of row i against the running maximum s.
inline void visit(const Graph& g, int i, int j, double slope, double& s) {
    if (slope > s) {
        addEdge(g, i, j);
        s = slope;
        if (g.printFar) zemba::diag::printf("i=%d:%d\n", i, j);
    }
}

// The lanes of one vector (columns c, c + 1, ...) named in bits, in order.
__attribute__((noinline)) double visitLanes(const Graph& g, int i, int c, const double* q, unsigned bits, double s) {
    while (bits) {
        const int k = __builtin_ctz(bits);
        bits &= bits - 1;
        visit(g, i, c + k, q[k], s);
    }
    return s;
}

// Lag 1: the edge to the first neighbour, and the running maximum it starts.
// Its slope, (v[i] - v[i+1]) / -1, is v[i+1] - v[i] (both NaN when either
// is), so the same lane met again in a vector is not greater.
inline double firstEdge(const Graph& g, int i) {
    if (i + 1 >= g.n) return 0.0;
    addEdge(g, i, i + 1);
    return g.v[i + 1] - g.v[i];
}

// Columns [c, end) of row i, one at a time (lag 1).
inline double cells(const Graph& g, int i, double* row, int c, int end, double s) {
    const double vi = g.v[i];
    for (int j = c; j < end; ++j) {
        if (j <= i) {
            row[j] = 0.0;
        } else {
            const double slope = (vi - g.v[j]) / static_cast<double>(i - j);
            row[j] = slope;
            visit(g, i, j, slope, s);
        }
    }
    return s;
}

// Any lag: each row cleared, then the lattice slopes.
void rowsLattice(const Graph& g) {
    const int n = g.n, tau = g.tau;
    for (int i = 0; i < n; ++i) {
        double* row = SlopMatrix[i];
        std::memset(row, 0, sizeof(double) * static_cast<size_t>(n));
        if (i > n - 2 || tau >= n - i) continue;
        const double vi = g.v[i];
        double s = (vi - g.v[i + tau]) / static_cast<double>(-tau);
        row[i + tau] = s;
        addEdge(g, i, i + tau);
        for (int j = i + 2 * tau; j < n; j += tau) {
            const double slope = (vi - g.v[j]) / static_cast<double>(i - j);
            row[j] = slope;
            visit(g, i, j, slope, s);
        }
    }
}

// Doubles from p up to the next multiple of the given byte alignment.
inline int toAligned(const double* p, int bytes) {
    const unsigned mis = static_cast<unsigned>(reinterpret_cast<uintptr_t>(p) % static_cast<unsigned>(bytes));
    return static_cast<int>(((bytes - mis) % static_cast<unsigned>(bytes)) / sizeof(double));
}

// ---- two lanes ----

template <bool Stream>
void rowsSse2(const Graph& g) {
    const int n = g.n;
    const double* v = g.v;
    for (int i = 0; i < n; ++i) {
        double* row = SlopMatrix[i];
        int c = toAligned(row, 16);
        if (c > n) c = n;
        double s = cells(g, i, row, 0, c, firstEdge(g, i));
        for (; c + 2 <= i + 1; c += 2) {
            if (Stream) _mm_stream_pd(row + c, _mm_setzero_pd());
            else _mm_store_pd(row + c, _mm_setzero_pd());
        }
        if (c + 2 <= n && c <= i) {
            s = cells(g, i, row, c, c + 2, s);
            c += 2;
        }
        const __m128d vi = _mm_set1_pd(v[i]);
        const __m128d step = _mm_set1_pd(2.0);
        __m128d den = _mm_sub_pd(_mm_set1_pd(static_cast<double>(i - c)), _mm_set_pd(1.0, 0.0));
        __m128d sv = _mm_set1_pd(s);
        for (; c + 2 <= n; c += 2) {
            const __m128d q = _mm_div_pd(_mm_sub_pd(vi, _mm_loadu_pd(v + c)), den);
            if (Stream) _mm_stream_pd(row + c, q);
            else _mm_store_pd(row + c, q);
            den = _mm_sub_pd(den, step);
            if (const unsigned bits = static_cast<unsigned>(_mm_movemask_pd(_mm_cmpgt_pd(q, sv)))) {
                _mm_storeu_pd(laneSlopes, q);
                s = visitLanes(g, i, c, laneSlopes, bits, s);
                sv = _mm_set1_pd(s);
            }
        }
        cells(g, i, row, c, n, s);
    }
    if (Stream) _mm_sfence();
}

// ---- four lanes ----

template <bool Stream>
ZEMBA_AVX2 void rowsAvx2(const Graph& g) {
    const int n = g.n;
    const double* v = g.v;
    for (int i = 0; i < n; ++i) {
        double* row = SlopMatrix[i];
        int c = toAligned(row, 32);
        if (c > n) c = n;
        double s = cells(g, i, row, 0, c, firstEdge(g, i));
        for (; c + 4 <= i + 1; c += 4) {
            if (Stream) _mm256_stream_pd(row + c, _mm256_setzero_pd());
            else _mm256_store_pd(row + c, _mm256_setzero_pd());
        }
        if (c + 4 <= n && c <= i) {
            s = cells(g, i, row, c, c + 4, s);
            c += 4;
        }
        const __m256d vi = _mm256_set1_pd(v[i]);
        const __m256d step = _mm256_set1_pd(4.0);
        __m256d den = _mm256_sub_pd(_mm256_set1_pd(static_cast<double>(i - c)), _mm256_set_pd(3.0, 2.0, 1.0, 0.0));
        __m256d sv = _mm256_set1_pd(s);
        for (; c + 4 <= n; c += 4) {
            const __m256d q = _mm256_div_pd(_mm256_sub_pd(vi, _mm256_loadu_pd(v + c)), den);
            if (Stream) _mm256_stream_pd(row + c, q);
            else _mm256_store_pd(row + c, q);
            den = _mm256_sub_pd(den, step);
            if (const unsigned bits = static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(q, sv, _CMP_GT_OQ)))) {
                _mm256_storeu_pd(laneSlopes, q);
                s = visitLanes(g, i, c, laneSlopes, bits, s);
                sv = _mm256_set1_pd(s);
            }
        }
        cells(g, i, row, c, n, s);
    }
    if (Stream) _mm_sfence();
}

// ---- eight lanes ----

// Columns c + k for the lanes k in m, any mix of zeros and slopes: masked
// loads and stores.
ZEMBA_AVX512 inline __attribute__((always_inline)) double chunk512(const Graph& g, int i, double* row, int c,
                                                                    __mmask8 m, double s) {
    const int below = i - c;  // lanes 0..below are on or left of the diagonal
    const __mmask8 right = below < 0 ? 0xFF : below >= 7 ? 0 : static_cast<__mmask8>(0xFF << (below + 1));
    const __mmask8 sm = m & right;
    if (!sm) {
        _mm512_mask_storeu_pd(row + c, m, _mm512_setzero_pd());
        return s;
    }
    const __m512d x = _mm512_maskz_loadu_pd(sm, g.v + c);
    const __m512d den = _mm512_sub_pd(_mm512_set1_pd(static_cast<double>(below)),
                                      _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0));
    const __m512d q = _mm512_maskz_div_pd(sm, _mm512_sub_pd(_mm512_set1_pd(g.v[i]), x), den);
    _mm512_mask_storeu_pd(row + c, m, q);
    const unsigned bits = _mm512_mask_cmp_pd_mask(sm, q, _mm512_set1_pd(s), _CMP_GT_OQ);
    if (bits) {
        _mm512_storeu_pd(laneSlopes, q);
        s = visitLanes(g, i, c, laneSlopes, bits, s);
    }
    return s;
}

template <bool Stream>
ZEMBA_AVX512 void rowsAvx512(const Graph& g) {
    const int n = g.n;
    const double* v = g.v;
    for (int i = 0; i < n; ++i) {
        double* row = SlopMatrix[i];
        int c = toAligned(row, 64);
        if (c > n) c = n;
        double s = firstEdge(g, i);
        if (c > 0) s = chunk512(g, i, row, 0, static_cast<__mmask8>((1u << c) - 1), s);
        for (; c + 8 <= i + 1; c += 8) {
            if (Stream) _mm512_stream_pd(row + c, _mm512_setzero_pd());
            else _mm512_store_pd(row + c, _mm512_setzero_pd());
        }
        if (c + 8 <= n && c <= i) {
            s = chunk512(g, i, row, c, 0xFF, s);
            c += 8;
        }
        const __m512d vi = _mm512_set1_pd(v[i]);
        const __m512d step = _mm512_set1_pd(8.0);
        __m512d den = _mm512_sub_pd(_mm512_set1_pd(static_cast<double>(i - c)),
                                    _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0));
        __m512d sv = _mm512_set1_pd(s);
        for (; c + 8 <= n; c += 8) {
            const __m512d q = _mm512_div_pd(_mm512_sub_pd(vi, _mm512_loadu_pd(v + c)), den);
            if (Stream) _mm512_stream_pd(row + c, q);
            else _mm512_store_pd(row + c, q);
            den = _mm512_sub_pd(den, step);
            if (const unsigned bits = _mm512_cmp_pd_mask(q, sv, _CMP_GT_OQ)) {
                _mm512_storeu_pd(laneSlopes, q);
                s = visitLanes(g, i, c, laneSlopes, bits, s);
                sv = _mm512_set1_pd(s);
            }
        }
        if (c < n) chunk512(g, i, row, c, static_cast<__mmask8>((1u << (n - c)) - 1), s);
    }
    if (Stream) _mm_sfence();
}

// Builds the graph into outSets (and the ones of the adjacency matrix when
// adjacency is set) and leaves the slopes in SlopMatrix.
void buildNatural(const double* v, int n, int tau, bool adjacency, bool printFar, int* out) {
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    const Graph g{v, n, tau, adjacency, printFar, out};
    if (tau != 1) return rowsLattice(g);
    const bool stream = n >= kStreamFrom;
    switch (zemba::isa()) {
        case zemba::Isa::avx512: return stream ? rowsAvx512<true>(g) : rowsAvx512<false>(g);
        case zemba::Isa::avx2: return stream ? rowsAvx2<true>(g) : rowsAvx2<false>(g);
        default: return stream ? rowsSse2<true>(g) : rowsSse2<false>(g);
    }
}

}  // namespace

double getVGFast(double* v, int* nPtr, int* modePtr, int* tauPtr, int* out) {
    const int n = *nPtr;
    if (n < 0 || n > ZEMBA_SERIES_CAP) return 0.0;
    const int mode = *modePtr;
    const int tau = *tauPtr < 1 ? 1 : *tauPtr;
    buildNatural(v, n, tau, mode == 1, mode == 1, out);

    int32_t degreeSum = 0;
    if (mode == 1) {
        std::memset(vgDegrees, 0, sizeof vgDegrees);
        double weightSum = 0.0;
        for (int i = 0; i < n; ++i) {
            vgDegrees[i] = outSets[i].degree;
            degreeSum += outSets[i].degree;
            weightSum += outSets[i].weight;
        }
        out[0] = degreeSum;
        out[2 * n + 2] = trunc32(weightSum);
        int count = n;
        int one = 1;
        double entropy = 0.0;
        calculateEntropy(vgDegrees, &count, &one, &entropy);
        out[n + 1] = trunc32(10000.0 * entropy);
    } else {
        for (int i = 0; i < n; ++i) {
            out[i] = outSets[i].degree;
            out[n + i] = trunc32(outSets[i].weight);
            degreeSum += outSets[i].degree;
        }
        zemba::diag::printf("Degree=%d\n", degreeSum);
    }
    return degreeSum;
}

double getRevVGFast(double* v, int* nPtr, int* modePtr, int* tauPtr, int* out) {
    const int n = *nPtr;
    if (n < 0 || n > ZEMBA_NODE_CAP) return 0.0;
    const int mode = *modePtr;
    const int tau = *tauPtr < 1 ? 1 : *tauPtr;
    buildNatural(v, n, tau, mode == 1, false, out);

    int32_t degreeSum = 0;
    if (mode == 1) {
        double weightSum = 0.0;
        for (int i = 0; i < n; ++i) {
            degreeSum += outSets[i].degree;
            weightSum += outSets[i].weight;
        }
        out[0] = degreeSum;
        out[n + 1] = trunc32(weightSum);
    } else {
        for (int i = 0; i < n; ++i) {
            out[i] = outSets[i].degree;
            degreeSum += outSets[i].degree;
        }
        zemba::diag::printf("Degree=%d\n", degreeSum);
        out[n] = 0;
    }
    return degreeSum;
}

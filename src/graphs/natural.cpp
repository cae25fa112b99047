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

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/frame/dispatch.h"
#include "frame/arith.h"

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

// Lag 1, W columns at a time (one kernel for every width, see dispatch.h):
// the columns up to the first aligned vector, and the vector that holds the
// diagonal, go one at a time; whole vectors left of the diagonal are zeros.
template <bool Stream>
struct SlopeRows {
    template <class V>
    static ZEMBA_KERNEL void put(double* p, const typename V::vd& v) {
        if (Stream) V::stream(p, v);
        else V::store(p, v);
    }

    template <class V>
    static ZEMBA_KERNEL void run(const Graph& g) {
        typedef typename V::vd vd;
        constexpr int W = V::W;
        const int n = g.n;
        const double* v = g.v;
        const vd zero{};
        vd iota, step, vi, den, sv, x, q;
        V::iota(iota);
        V::broadcast(step, static_cast<double>(W));
        for (int i = 0; i < n; ++i) {
            double* row = SlopMatrix[i];
            int c = toAligned(row, static_cast<int>(sizeof(vd)));
            if (c > n) c = n;
            double s = cells(g, i, row, 0, c, firstEdge(g, i));
            for (; c + W <= i + 1; c += W) put<V>(row + c, zero);
            if (c + W <= n && c <= i) {
                s = cells(g, i, row, c, c + W, s);
                c += W;
            }
            V::broadcast(vi, v[i]);
            V::broadcast(den, static_cast<double>(i - c));
            den = den - iota;
            V::broadcast(sv, s);
            for (; c + W <= n; c += W) {
                V::load(x, v + c);
                q = (vi - x) / den;
                put<V>(row + c, q);
                den = den - step;
                if (const unsigned bits = V::bits(q > sv)) {
                    V::store(laneSlopes, q);
                    s = visitLanes(g, i, c, laneSlopes, bits, s);
                    V::broadcast(sv, s);
                }
            }
            cells(g, i, row, c, n, s);
        }
        if (Stream) V::fence();
    }
};

// Builds the graph into outSets (and the ones of the adjacency matrix when
// adjacency is set) and leaves the slopes in SlopMatrix.
void buildNatural(const double* v, int n, int tau, bool adjacency, bool printFar, int* out) {
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    const Graph g{v, n, tau, adjacency, printFar, out};
    if (tau != 1) return rowsLattice(g);
    const bool stream = n >= kStreamFrom;
    if (stream) zemba::core::dispatch<SlopeRows<true>>(g);
    else zemba::core::dispatch<SlopeRows<false>>(g);
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

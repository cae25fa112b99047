// Recurrence networks: delay embedding of a series into the rows of
// SlopMatrix and the matrix of Euclidean distances between the delay vectors.
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/frame/dispatch.h"

namespace {

constexpr int kRejected = std::numeric_limits<int>::min();

// Number of delay vectors n - m*tau + 1, or kRejected when the embedding
// would not fit SlopMatrix, would read outside x (tau < 1 with m >= 1), or
// its arithmetic leaves 32 bits. A count of 0 or less is returned as is.
int vectorCount(int n, int m, int tau) {
    const int64_t span = static_cast<int64_t>(m) * tau;
    if (span > INT32_MAX || span < INT32_MIN) return kRejected;
    const int64_t count = static_cast<int64_t>(n) - span + 1;
    if (count > INT32_MAX || count < INT32_MIN) return kRejected;
    if (count <= 0) return static_cast<int>(count);
    if (count > ZEMBA_NODE_CAP || m > ZEMBA_NODE_CAP || (m >= 1 && tau < 1)) return kRejected;
    return static_cast<int>(count);
}

void embed(const double* x, int count, int m, int tau) {
    for (int i = 0; i < count; ++i) {
        double* row = SlopMatrix[i];
        for (int k = 0; k < m; ++k) row[k] = x[i + k * tau];
    }
}

// Distance rows, vectorised over the columns: delay vector b's coordinate k is
// x[b + k*tau], so W neighbouring columns read W neighbouring samples. Every
// cell is computed with the lower-indexed vector first (as the pair walk of
// the upper triangle does), so both symmetric cells get the same bits and each
// row is written in order. The running sum adds the upper cells of the
// previous row, read back from out in walk order, interleaved with the work on
// the current row so the dependent additions overlap the distance arithmetic.

// One cell; lo < hi are the two vector indices.
template <int M>
inline __attribute__((always_inline)) double cell(const double* x, int lo, int hi, int m, int tau) {
    const int dims = M > 0 ? M : m;
    double sq = 0.0;
    for (int k = 0; k < dims; ++k) {
        const double diff = x[lo + k * tau] - x[hi + k * tau];
        sq += diff * diff;
    }
    return std::sqrt(sq);
}

// Columns [b0, b1) of row a, all on one side of the diagonal (Upper: b > a).
// Drains W cells of the previous row into sum per vector step while any are left.
template <class V, int M, bool Upper>
ZEMBA_KERNEL void span(const double* x, int a, int b0, int b1, int m, int tau, double* row, const double*& prev,
                       int& left, double& sum) {
    typedef typename V::vd vd;
    constexpr int W = V::W;
    const int dims = M > 0 ? M : m;
    int b = b0;
    for (; b + W <= b1; b += W) {
        vd sq = vd{}, xa, xb;
        for (int k = 0; k < dims; ++k) {
            V::load(xb, x + b + k * tau);
            V::broadcast(xa, x[a + k * tau]);
            const vd diff = Upper ? xa - xb : xb - xa;
            const vd t = diff * diff;
            sq = k == 0 ? t : sq + t;  // 0 + t is t: a square is never -0
        }
        V::sqrt(sq);
        V::store(row + b, sq);
        if (left >= W) {
            for (int j = 0; j < W; ++j) sum += prev[j];
            prev += W;
            left -= W;
        }
    }
    for (; b < b1; ++b) row[b] = Upper ? cell<M>(x, a, b, m, tau) : cell<M>(x, b, a, m, tau);
}

template <class V, int M>
ZEMBA_KERNEL double rows(const double* x, int count, int m, int tau, double* out) {
    const size_t stride = static_cast<size_t>(count);
    double sum = 0.0;
    const double* prev = out;
    int left = 0;
    for (int a = 0; a < count; ++a) {
        double* row = out + a * stride;
        span<V, M, false>(x, a, 0, a, m, tau, row, prev, left, sum);
        span<V, M, true>(x, a, a + 1, count, m, tau, row, prev, left, sum);
        for (; left > 0; --left) sum += *prev++;
        prev = row + a + 1;
        left = count - a - 1;
    }
    return sum;
}

// Every row at the dispatched width, with the common dimensions unrolled.
struct DistanceRows {
    template <class V>
    static ZEMBA_KERNEL double run(const double* x, int count, int m, int tau, double* out) {
        switch (m) {
            case 1: return rows<V, 1>(x, count, m, tau, out);
            case 2: return rows<V, 2>(x, count, m, tau, out);
            case 3: return rows<V, 3>(x, count, m, tau, out);
            case 4: return rows<V, 4>(x, count, m, tau, out);
            case 5: return rows<V, 5>(x, count, m, tau, out);
            default: return rows<V, 0>(x, count, m, tau, out);
        }
    }
};

}  // namespace

int getRecurrenceMatrix(double const* x, int n, int m, int tau) {
    const int count = vectorCount(n, m, tau);
    if (count == kRejected) return 0;
    if (count > 0) embed(x, count, m, tau);
    return count;
}

void getRecurrenceAdj(double* x, int* nPtr, int* mPtr, int* tauPtr, double* out) {
    const int m = *mPtr;
    const int tau = *tauPtr;
    // m <= 0 would give n - m*tau + 1 > n vectors of no coordinates.
    const int count = m < 1 ? kRejected : vectorCount(*nPtr, m, tau);
    if (count == kRejected || count <= 0) {
        out[0] = 0.0;
        return;
    }
    embed(x, count, m, tau);

    const double sum = zemba::core::dispatch<DistanceRows>(x, count, m, tau, out);
    out[0] = count > 1 ? sum / ((count - 1) * count) + 1.0 : 0.0;
}

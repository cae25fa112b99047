// Recurrence networks: delay embedding of a series into the rows of
// SlopMatrix and the matrix of Euclidean distances between the delay vectors.
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <limits>

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

}  // namespace

int getRecurrenceMatrix(double const* x, int n, int m, int tau) {
    const int count = vectorCount(n, m, tau);
    if (count == kRejected) return 0;
    if (count > 0) embed(x, count, m, tau);
    return count;
}

void getRecurrenceAdj(double* x, int* nPtr, int* mPtr, int* tauPtr, double* out) {
    const int m = *mPtr;
    const int count = vectorCount(*nPtr, m, *tauPtr);
    if (count == kRejected || count <= 0) {
        out[0] = 0.0;
        return;
    }
    embed(x, count, m, *tauPtr);

    const size_t stride = static_cast<size_t>(count);
    double sum = 0.0;
    for (int a = 0; a + 1 < count; ++a) {
        const double* ra = SlopMatrix[a];
        for (int b = a + 1; b < count; ++b) {
            const double* rb = SlopMatrix[b];
            double sq = 0.0;
            for (int k = 0; k < m; ++k) {
                const double diff = ra[k] - rb[k];
                sq += diff * diff;
            }
            const double d = std::sqrt(sq);
            out[a * stride + b] = d;
            out[b * stride + a] = d;
            sum += d;
        }
    }
    out[0] = count > 1 ? sum / ((count - 1) * count) + 1.0 : 0.0;
}

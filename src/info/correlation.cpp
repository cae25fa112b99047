// Second-order statistics: variance about a given mean, covariance and Pearson
// correlation of integer series, and the peak normalised cross-correlation of
// two real series over lags -n/2 .. n/2-1. Population moments throughout.
#include "frame/diag.h"
#include "zemba.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/frame/dispatch.h"

namespace {

// Lagged products of the centred series, summed for a group of kGroup
// consecutive lags side by side: lane j of block b is lag L0 + b*W + j and
// adds its terms in increasing k, as a lag-by-lag walk does. cy carries
// kGroup zeros on each side; a lane outside its overlap multiplies a finite
// centred sample by 0 and adds +-0, which leaves its sum unchanged (a sum
// that starts at +0 never becomes -0).
constexpr int kBlocks = 8;
constexpr int kMaxGroup = kBlocks * 8;
constexpr int kCentredCap = ZEMBA_SERIES_CAP;

// Centred copies of the two series (y with zero margins). Static rather than
// on the stack (about 200 KB; some hosts give threads small stacks); a call
// that finds them taken sums lag by lag instead.
struct Centred {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    double x[kCentredCap];
    double yPadded[kCentredCap + 2 * kMaxGroup];
    double sums[kMaxGroup];  // one group's lag sums (not a local array: see dispatch.h)
    bool claim() { return !busy.test_and_set(std::memory_order_acquire); }
    void release() { busy.clear(std::memory_order_release); }
} centred;

template <class V>
ZEMBA_KERNEL void lagSums(const double* cx, const double* cy, int n, int lag0, double* c) {
    typedef typename V::vd vd;
    constexpr int W = V::W, G = kBlocks * W;
    vd acc[kBlocks];
    for (int b = 0; b < kBlocks; ++b) acc[b] = vd{};
    const int kLo = lag0 + G - 1 < 0 ? -(lag0 + G - 1) : 0;
    const int kHi = lag0 > 0 ? n - lag0 : n;
    vd bx, v;
    for (int k = kLo; k < kHi; ++k) {
        V::broadcast(bx, cx[k]);
        const double* p = cy + k + lag0;
        for (int b = 0; b < kBlocks; ++b) {
            V::load(v, p + b * W);
            acc[b] = acc[b] + bx * v;
        }
    }
    for (int b = 0; b < kBlocks; ++b) V::store(c + b * W, acc[b]);
}

struct PeakLag {
    template <class V>
    static ZEMBA_KERNEL void run(const double* cx, const double* cy, int n, double d, double& best, int& bestLag) {
        constexpr int G = kBlocks * V::W;
        const int h = n / 2;
        double* c = centred.sums;
        for (int lag0 = -h; lag0 < h; lag0 += G) {
            lagSums<V>(cx, cy, n, lag0, c);
            const int lanes = h - lag0 < G ? h - lag0 : G;
            for (int j = 0; j < lanes; ++j) {
                const double r = c[j] / d;
                if (r > best) {
                    best = r;
                    bestLag = lag0 + j;
                }
            }
        }
    }
};

}  // namespace

double CalculateVariane(int const* x, double mean, int n) {
    double ss = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dv = x[i] - mean;
        ss += dv * dv;
    }
    return ss / n;
}

// The two means are accumulators: the sums are added onto what is passed in.
double Calculate_Covariance(int const* x, int const* y, int n, double& meanX, double& meanY) {
    for (int i = 0; i < n; ++i) {
        meanX += x[i];
        meanY += y[i];
    }
    meanX /= n;
    meanY /= n;
    double c = 0.0;
    for (int i = 0; i < n; ++i) c += (x[i] - meanX) * (y[i] - meanY);
    return c / n;
}

double Calculate_Correlation(int* x, int* y, int n) {
    double mx = 0.0, my = 0.0;
    const double cov = Calculate_Covariance(x, y, n, mx, my);
    double ssx = 0.0, ssy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = x[i] - mx, dy = y[i] - my;
        ssx += dx * dx;
        ssy += dy * dy;
    }
    const double sx = std::sqrt(ssx / n), sy = std::sqrt(ssy / n);
    return cov / (sx * sy);
}

double Calculate_Correlation_double(double const* x, double const* y, int n) {
    double sumX = 0.0, sumY = 0.0;
    for (int i = 0; i < n; ++i) {
        sumX += x[i];
        sumY += y[i];
    }
    const double mx = sumX / n, my = sumY / n;
    double ssx = 0.0, ssy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = x[i] - mx, dy = y[i] - my;
        ssx += dx * dx;
        ssy += dy * dy;
    }
    const double d = std::sqrt(ssx * ssy);

    // Lag L pairs x[k] with y[k + L]; the normaliser is the whole-series one.
    // An infinite or NaN normaliser makes every r 0, -0 or NaN: none beats 0.
    const int h = n / 2;
    double best = 0.0;
    int bestLag = 0;
    const bool finite = h > 0 && std::isfinite(d);
    if (finite && n <= kCentredCap && centred.claim()) {
        // d finite: every centred sample is finite.
        double* cx = centred.x;
        double* cyPadded = centred.yPadded;
        double* cy = cyPadded + kMaxGroup;
        for (int i = 0; i < n; ++i) {
            cx[i] = x[i] - mx;
            cy[i] = y[i] - my;
        }
        std::memset(cyPadded, 0, sizeof(double) * kMaxGroup);
        std::memset(cy + n, 0, sizeof(double) * kMaxGroup);
        zemba::core::dispatch<PeakLag>(cx, cy, n, d, best, bestLag);
        centred.release();
    } else if (finite) {
        for (int lag = -h; lag < h; ++lag) {
            const int k0 = lag < 0 ? -lag : 0;
            const int k1 = lag > 0 ? n - lag : n;
            double c = 0.0;
            for (int k = k0; k < k1; ++k) c += (x[k] - mx) * (y[k + lag] - my);
            const double r = c / d;
            if (r > best) {
                best = r;
                bestLag = lag;
            }
        }
    }
    zemba::diag::printf("tr=%6.4f(%d)\n", best, bestLag);
    return best;
}

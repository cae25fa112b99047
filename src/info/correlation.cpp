// Second-order statistics: variance about a given mean, covariance and Pearson
// correlation of integer series, and the peak normalised cross-correlation of
// two real series over lags -n/2 .. n/2-1. Population moments throughout.
#include "zemba.h"

#include <cmath>
#include <cstdio>

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
    const int h = n / 2;
    double best = 0.0;
    int bestLag = 0;
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
    std::printf("tr=%6.4f(%d)\n", best, bestLag);
    return best;
}

// Population moments shared by the regularity statistics.
#ifndef ZEMBA_REGULARITY_MOMENTS_H
#define ZEMBA_REGULARITY_MOMENTS_H

#include <cmath>

namespace zemba {

// Standard deviation about the mean, divided by n (the series is only read).
inline double populationSd(const double* x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i];
    const double mean = sum / n;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) {
        const double c = x[i] - mean;
        sq += c * c;
    }
    return std::sqrt(sq / n);
}

}  // namespace zemba

#endif

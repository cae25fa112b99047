// Seeded test series: white noise (kind 0), its running sum (kind 1), or the
// noise times tieScale rounded to integers, with many ties (kind 2).
#ifndef ZEMBA_TEST_SERIES_H
#define ZEMBA_TEST_SERIES_H

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace zemba_test {

inline std::vector<double> series(int n, uint64_t seed, int kind, double tieScale) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    double s = 0.0;
    for (auto& v : x) {
        const double e = z(g);
        v = kind == 0 ? e : kind == 1 ? (s += e) : std::round(tieScale * e);
    }
    return x;
}

}  // namespace zemba_test

#endif

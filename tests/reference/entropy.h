// Naive references of the pattern entropies: each window's pattern built and
// counted in a map, written for clarity, not speed. Shared by the tests of the
// core kernels and of the original interface's routines.
#ifndef ZEMBA_TEST_REFERENCE_ENTROPY_H
#define ZEMBA_TEST_REFERENCE_ENTROPY_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zemba_ref {

// -sum p log p over a map of counts or masses, in the base of log.
template <class Key, class Mass>
double shannon(const std::map<Key, Mass>& counts, double (*log)(double)) {
    double total = 0;
    for (const auto& c : counts) total += c.second;
    double h = 0;
    for (const auto& c : counts)
        if (c.second > 0) h -= c.second / total * log(c.second / total);
    return h;
}

// Offsets 0..len-1 of the members x[start + k * delay], sorted by value, equal
// values by offset (a stable ranking).
inline std::vector<int> stableOrder(const std::vector<double>& x, size_t start, size_t len, size_t delay) {
    std::vector<std::pair<double, int>> members;
    for (size_t k = 0; k < len; ++k) members.push_back({x[start + k * delay], static_cast<int>(k)});
    std::sort(members.begin(), members.end());
    std::vector<int> order;
    for (const auto& e : members) order.push_back(e.second);
    return order;
}

// Population variance of the window's members.
inline double windowVariance(const std::vector<double>& x, size_t start, size_t len, size_t delay) {
    double mean = 0;
    for (size_t k = 0; k < len; ++k) mean += x[start + k * delay];
    mean /= len;
    double var = 0;
    for (size_t k = 0; k < len; ++k) var += (x[start + k * delay] - mean) * (x[start + k * delay] - mean);
    return var / len;
}

// Permutation entropy in bits over the windows i .. i + (order-1) delay,
// patterns by stable ranking; weighted: each window counts with its variance;
// normalised by log2(order!).
inline double permutationEntropy(const std::vector<double>& x, size_t order, size_t delay, bool normalize = false,
                                 bool weighted = false) {
    std::map<std::vector<int>, double> mass;
    for (size_t i = 0; i + (order - 1) * delay < x.size(); ++i)
        mass[stableOrder(x, i, order, delay)] += weighted ? windowVariance(x, i, order, delay) : 1.0;
    double h = shannon(mass, std::log2);
    if (normalize) {
        double f = 0;
        for (size_t k = 2; k <= order; ++k) f += std::log2(static_cast<double>(k));
        h /= f;
    }
    return h;
}

// Means of the consecutive non-overlapping blocks of `scale` samples.
inline std::vector<double> coarseGrained(const std::vector<double>& x, size_t scale) {
    std::vector<double> y;
    for (size_t j = 0; (j + 1) * scale <= x.size(); ++j) {
        double s = 0;
        for (size_t t = 0; t < scale; ++t) s += x[j * scale + t];
        y.push_back(s / scale);
    }
    return y;
}

// ---- patterns of the original interface's routines -----------------------------

// Rise-fall string of the m - 1 steps after x[i]: '0' where the next sample is
// greater, '1' where it falls or stays.
inline std::string riseFallPattern(const std::vector<double>& x, size_t i, int m) {
    std::string p;
    for (int k = 0; k + 1 < m; ++k) p += x[i + k + 1] > x[i + k] ? '0' : '1';
    return p;
}

// Selection sort of an index list by value: the first smallest of the rest is
// swapped into each position in turn (not stable).
template <class Value>
void selectionSort(int32_t* list, int len, Value value) {
    for (int p = 0; p + 1 < len; ++p) {
        int q = p;
        for (int c = p + 1; c < len; ++c)
            if (value(list[q]) > value(list[c])) q = c;
        std::swap(list[p], list[q]);
    }
}

// Delayed rise-fall strings: window w spells the steps x[(w+k) tau + 1] vs
// x[w + k] while inside the series, k < tau (m - 1); strings shorter than
// m - 1 are dropped.
inline std::vector<std::string> delayedRiseFallPatterns(const std::vector<double>& x, int m, int tau) {
    const int n = static_cast<int>(x.size()), mp = m - 1;
    if (tau < 1) tau = 1;
    const int64_t span = int64_t(tau) * mp;
    std::vector<std::string> patterns;
    for (int64_t w = 0; w <= n - span; ++w) {
        std::string p;
        for (int64_t k = 0; k < span && (w + k) * tau + 1 < n; ++k) p += x[(w + k) * tau + 1] > x[w + k] ? '0' : '1';
        if (static_cast<int>(p.size()) >= mp) patterns.push_back(p);
    }
    return patterns;
}

}  // namespace zemba_ref

#endif

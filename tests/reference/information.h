// Naive references for the information kernels: equal-width bins counted
// edge by edge, and mutual information from ordered maps of state pairs.
// Slow on purpose; shared by every test that needs them.
#ifndef ZEMBA_REFERENCE_INFORMATION_H
#define ZEMBA_REFERENCE_INFORMATION_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace zemba_ref {

// numpy.linspace(lo, hi, bins + 1) for a range of ordinary width: k * step + lo,
// the last edge exactly hi.
inline std::vector<double> histogramEdges(double lo, double hi, size_t bins) {
    if (lo == hi) lo -= 0.5, hi += 0.5;
    const double step = (hi - lo) / static_cast<double>(bins);
    std::vector<double> e(bins + 1);
    for (size_t k = 0; k < bins; ++k) e[k] = static_cast<double>(k) * step + lo;
    e[bins] = hi;
    return e;
}

// Bin of every sample: the number of interior edges at or below it (so the
// last bin holds the maximum). Equals numpy's bins wherever the edges are
// strictly increasing.
inline std::vector<int64_t> histogramLabels(const std::vector<double>& x, size_t bins) {
    if (x.empty()) return {};
    const auto mm = std::minmax_element(x.begin(), x.end());
    const std::vector<double> e = histogramEdges(*mm.first, *mm.second, bins);
    std::vector<int64_t> out;
    for (double v : x) {
        int64_t k = 0;
        for (size_t j = 1; j < bins; ++j) k += v >= e[j];
        out.push_back(k);
    }
    return out;
}

inline bool edgesIncrease(const std::vector<double>& x, size_t bins) {
    const auto mm = std::minmax_element(x.begin(), x.end());
    const std::vector<double> e = histogramEdges(*mm.first, *mm.second, bins);
    for (size_t k = 1; k < e.size(); ++k)
        if (!(e[k] > e[k - 1])) return false;
    return true;
}

// Plug-in mutual information (nats) of two label sequences: sum over the
// occupied pairs of c/n ln(c n / (a b)).
template <class A, class B>
double mutualInformation(const std::vector<A>& a, const std::vector<B>& b) {
    std::map<std::pair<A, B>, double> joint;
    std::map<A, double> ca;
    std::map<B, double> cb;
    for (size_t i = 0; i < a.size(); ++i) {
        joint[{a[i], b[i]}] += 1.0;
        ca[a[i]] += 1.0;
        cb[b[i]] += 1.0;
    }
    const double n = static_cast<double>(a.size());
    double mi = 0.0;
    for (const auto& kv : joint)
        mi += kv.second / n * std::log(kv.second * n / (ca[kv.first.first] * cb[kv.first.second]));
    return mi;
}

inline std::vector<double> floors(const std::vector<double>& x) {
    std::vector<double> f;
    for (double v : x) f.push_back(std::floor(v) + 0.0);
    return f;
}

}  // namespace zemba_ref

#endif

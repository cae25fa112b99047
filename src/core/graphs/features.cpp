// Features of visibility graphs: the degree histogram, its entropy, the
// entropy of ordinal patterns of degrees, and the backward/forward
// (irreversibility) features. Each writes only the caller's outputs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "core/graphs/visibility.h"
#include "zemba/core.h"

using zemba::core::graphs::check;
using zemba::core::graphs::forEachEdge;
using zemba::core::graphs::Graph;
using zemba::core::graphs::kept;
using zemba::core::graphs::weightOf;

namespace {

// -sum p ln p, p = count / total, over the nonzero counts in the given order.
template <class It>
double entropyOf(It first, It last, double total) {
    double h = 0.0;
    for (; first != last; ++first)
        if (*first) {
            const double p = static_cast<double>(*first) / total;
            h -= p * std::log(p);
        }
    return h;
}

}  // namespace

extern "C" int zemba_degree_counts(const size_t* degrees, size_t n, size_t capacity, size_t* counts,
                                   size_t* classes) {
    if ((!degrees && n) || !classes || (!counts && capacity)) return ZEMBA_E_NULL;
    size_t top = 0;
    for (size_t i = 0; i < n; ++i) top = std::max(top, degrees[i]);
    const size_t c = n ? top + 1 : 0;
    *classes = c;
    if (c > capacity) return ZEMBA_E_CAPACITY;
    std::fill(counts, counts + c, size_t{0});
    for (size_t i = 0; i < n; ++i) ++counts[degrees[i]];
    return ZEMBA_OK;
}

extern "C" int zemba_degree_entropy(const size_t* degrees, size_t n, double* entropy) {
    if ((!degrees && n) || !entropy) return ZEMBA_E_NULL;
    if (n == 0) {
        *entropy = 0.0;
        return ZEMBA_OK;
    }
    try {
        size_t top = 0;
        for (size_t i = 0; i < n; ++i) top = std::max(top, degrees[i]);
        if (top < n) {  // degrees of a graph: a table by degree
            std::vector<size_t> counts(top + 1);
            for (size_t i = 0; i < n; ++i) ++counts[degrees[i]];
            *entropy = entropyOf(counts.begin(), counts.end(), static_cast<double>(n));
        } else {
            std::vector<size_t> sorted(degrees, degrees + n);
            std::sort(sorted.begin(), sorted.end());
            std::vector<size_t> runs;
            for (size_t i = 0; i < n;) {
                size_t j = i;
                while (j < n && sorted[j] == sorted[i]) ++j;
                runs.push_back(j - i);
                i = j;
            }
            *entropy = entropyOf(runs.begin(), runs.end(), static_cast<double>(n));
        }
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

extern "C" int zemba_degree_pattern_entropy(const size_t* degrees, size_t n, size_t m, size_t tau,
                                            double* entropy) {
    if ((!degrees && n) || !entropy) return ZEMBA_E_NULL;
    if (m < 2 || tau < 1) return ZEMBA_E_ARGUMENT;
    if (n < m) return ZEMBA_E_TOO_SHORT;
    const size_t windows = (n - m) / tau + 1;
    try {
        std::vector<size_t> order(m);
        auto sortWindow = [&](const size_t* v) {
            for (size_t k = 0; k < m; ++k) order[k] = k;
            for (size_t p = 0; p + 1 < m; ++p) {
                size_t q = p;
                for (size_t c = p + 1; c < m; ++c)
                    if (v[order[q]] > v[order[c]]) q = c;
                std::swap(order[p], order[q]);
            }
        };
        std::vector<size_t> counts;
        if (m <= 20) {
            // The pattern as its rank among the permutations (below 20! < 2^64).
            std::vector<uint64_t> codes(windows);
            for (size_t w = 0; w < windows; ++w) {
                sortWindow(degrees + w * tau);
                uint64_t code = 0;
                for (size_t p = 0; p < m; ++p) {
                    uint64_t smaller = 0;
                    for (size_t q = p + 1; q < m; ++q) smaller += order[q] < order[p];
                    code = code * (m - p) + smaller;
                }
                codes[w] = code;
            }
            std::sort(codes.begin(), codes.end());
            for (size_t i = 0; i < windows;) {
                size_t j = i;
                while (j < windows && codes[j] == codes[i]) ++j;
                counts.push_back(j - i);
                i = j;
            }
        } else {
            std::map<std::vector<size_t>, size_t> patterns;
            for (size_t w = 0; w < windows; ++w) {
                sortWindow(degrees + w * tau);
                ++patterns[order];
            }
            for (const auto& p : patterns) counts.push_back(p.second);
        }
        *entropy = entropyOf(counts.begin(), counts.end(), static_cast<double>(windows));
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

extern "C" int zemba_vg_irreversibility(const zemba_vg_options* options, const double* y, const double* t,
                                        size_t n, double* features) {
    Graph g;
    if (const int s = check(options, y, t, n, g)) return s;
    if (!features) return ZEMBA_E_NULL;
    if (n == 0) return ZEMBA_E_TOO_SHORT;
    g.direction = ZEMBA_VG_LEFT_TO_RIGHT;
    try {
        std::vector<size_t> db(n), df(n);
        std::vector<double> wb(n), wf(n), sumM(n), sumG(n);
        auto none = [](size_t) {};
        int s = forEachEdge(
            g,
            [&](size_t a, size_t b) {
                const double w = weightOf(g, a, b);
                if (!kept(g, w)) return;
                ++df[a];
                ++db[b];
                wf[a] += w;
                wb[b] += w;
            },
            none);
        if (s != ZEMBA_OK) return s;
        s = forEachEdge(
            g,
            [&](size_t a, size_t b) {
                const double w = weightOf(g, a, b);
                if (!kept(g, w)) return;
                sumM[a] += static_cast<double>(df[b]) * w;
                const double lean = static_cast<double>(df[b]) - static_cast<double>(db[b]);
                sumG[a] += std::fabs(lean * w);
            },
            none);
        if (s != ZEMBA_OK) return s;

        std::vector<size_t> hb(n), hf(n), total(2 * n);
        double degreeSum = 0.0, backWeight = 0.0, meanM = 0.0, meanG = 0.0;
        size_t imbalance = 0;
        for (size_t l = 0; l < n; ++l) {
            ++hb[db[l]];
            ++hf[df[l]];
            ++total[db[l] + df[l]];
            degreeSum += static_cast<double>(db[l] + df[l]);
            imbalance += db[l] > df[l] ? db[l] - df[l] : df[l] - db[l];
            backWeight += wb[l];
            meanM += wf[l] != 0.0 ? sumM[l] / wf[l] : sumM[l];
            meanG += wb[l] != 0.0 ? sumG[l] / wb[l] : sumG[l];
        }
        const double dn = static_cast<double>(n);
        double kl = 0.0;
        for (size_t d = 0; d < n; ++d)
            if (hb[d] && hf[d]) kl += (static_cast<double>(hb[d]) / dn) * std::log(static_cast<double>(hb[d]) / static_cast<double>(hf[d]));
        features[0] = kl;
        features[1] = entropyOf(total.begin(), total.end(), dn);
        features[2] = degreeSum / dn;
        features[3] = backWeight / dn;
        features[4] = std::sqrt(static_cast<double>(imbalance) / dn);
        features[5] = meanM / dn;
        features[6] = meanG / dn;
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

// Permutation entropy in bits: the ordinal patterns of the windows of `order`
// samples `delay` apart (ties ranked by time), counted or weighted by the
// window's population variance; the multiscale form on coarse-grained means.
// Writes only the caller's result slots.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

#include "core/frame/checks.h"
#include "zemba/core.h"

namespace {

constexpr unsigned kKnownFlags = ZEMBA_PE_NORMALIZE | ZEMBA_PE_WEIGHTED;
constexpr size_t kCodeOrder = 20;   // codes fit 64 bits (20! < 2^64)
constexpr size_t kBlock = 256;      // windows coded per pass

// Shannon entropy in bits of the masses mass[0..k) over total.
double bits(const double* mass, size_t k, double total) {
    double h = 0.0;
    for (size_t c = 0; c < k; ++c)
        if (mass[c] > 0.0) {
            const double p = mass[c] / total;
            h -= p * std::log2(p);
        }
    return h;
}

// log2(order!) as a sum of logarithms (exact enough for any order).
double log2Factorial(size_t order) {
    double s = 0.0;
    for (size_t k = 2; k <= order; ++k) s += std::log2(static_cast<double>(k));
    return s;
}

// Population variance of the window's members, mean first.
template <class Member>
double windowVariance(size_t order, Member member) {
    double sum = 0.0;
    for (size_t k = 0; k < order; ++k) sum += member(k);
    const double mean = sum / static_cast<double>(order);
    double sq = 0.0;
    for (size_t k = 0; k < order; ++k) {
        const double d = member(k) - mean;
        sq += d * d;
    }
    return sq / static_cast<double>(order);
}

// ---- orders up to 8: Lehmer codes into a table -------------------------------
//
// Member j of a window ranks above every later member with a strictly smaller
// value; L_j counts those members, and sum L_j (D-1-j)! numbers the order!
// patterns one-to-one (equal values rank by time, the earlier lower).

template <int D>
struct Factorials {
    double f[D] = {};
    constexpr Factorials() {
        for (int a = 0; a < D; ++a) {
            double v = 1.0;
            for (int t = 2; t <= D - 1 - a; ++t) v *= t;
            f[a] = v;
        }
    }
};

// code[i], i < count: the Lehmer code of window w0 + i, as a double (exact).
template <int D>
void codeBlock(const double* x, size_t w0, size_t count, size_t delay, double* code) {
    constexpr Factorials<D> fact;
    const double* m[D];
    for (int a = 0; a < D; ++a) m[a] = x + w0 + static_cast<size_t>(a) * delay;
    for (size_t i = 0; i < count; ++i) {
        double c = 0.0;
#pragma GCC unroll 8
        for (int a = 0; a + 1 < D; ++a) {
            const double va = m[a][i];
#pragma GCC unroll 8
            for (int b = a + 1; b < D; ++b) c += m[b][i] < va ? fact.f[a] : 0.0;
        }
        code[i] = c;
    }
}

template <int D>
void weightBlock(const double* x, size_t w0, size_t count, size_t delay, double* weight) {
    const double* m[D];
    for (int a = 0; a < D; ++a) m[a] = x + w0 + static_cast<size_t>(a) * delay;
    for (size_t i = 0; i < count; ++i) weight[i] = windowVariance(D, [&](size_t k) { return m[k][i]; });
}

constexpr size_t factorialOf(int d) { return d <= 1 ? 1 : static_cast<size_t>(d) * factorialOf(d - 1); }

// Entropy (bits) of the windows' patterns, counted (weighted = false) or
// weighted by the window variances. *total receives the total mass.
template <int D>
double tableEntropy(const double* x, size_t windows, size_t delay, bool weighted, double* total) {
    constexpr size_t K = factorialOf(D);
    constexpr int kLanes = K <= 120 ? 4 : 1;  // spread small tables so increments do not wait on each other
    std::vector<uint64_t> count(weighted ? 0 : K * kLanes, 0);
    std::vector<double> mass(K, 0.0);
    double code[kBlock], weight[kBlock];
    for (size_t w0 = 0; w0 < windows; w0 += kBlock) {
        const size_t len = std::min(kBlock, windows - w0);
        codeBlock<D>(x, w0, len, delay, code);
        if (weighted) {
            weightBlock<D>(x, w0, len, delay, weight);
            for (size_t i = 0; i < len; ++i) mass[static_cast<size_t>(code[i])] += weight[i];
        } else {
            size_t i = 0;
            for (; i + kLanes <= len; i += kLanes)
                for (int l = 0; l < kLanes; ++l) ++count[static_cast<size_t>(l) * K + static_cast<size_t>(code[i + l])];
            for (; i < len; ++i) ++count[static_cast<size_t>(code[i])];
        }
    }
    if (!weighted) {
        for (size_t c = 0; c < K; ++c) {
            uint64_t s = 0;
            for (int l = 0; l < kLanes; ++l) s += count[static_cast<size_t>(l) * K + c];
            mass[c] = static_cast<double>(s);
        }
        *total = static_cast<double>(windows);
    } else {
        double t = 0.0;
        for (size_t c = 0; c < K; ++c) t += mass[c];
        *total = t;
    }
    return bits(mass.data(), K, *total);
}

// ---- longer orders: patterns sorted ------------------------------------------

// Entropy over runs of equal keys after sorting (key, mass) pairs.
template <class Key, class Less, class Equal>
double sortedEntropy(std::vector<std::pair<Key, double>>& items, Less less, Equal equal, double total) {
    std::sort(items.begin(), items.end(), [&](const auto& a, const auto& b) { return less(a.first, b.first); });
    std::vector<double> mass;
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        double s = 0.0;
        while (j < items.size() && equal(items[i].first, items[j].first)) s += items[j++].second;
        mass.push_back(s);
        i = j;
    }
    return bits(mass.data(), mass.size(), total);
}

// Orders 9 .. 20: one 64-bit Lehmer code per window.
double codedEntropy(const double* x, size_t windows, size_t order, size_t delay, bool weighted, double* total) {
    std::vector<uint64_t> fact(order, 1);
    for (size_t a = order - 1; a-- > 0;) fact[a] = fact[a + 1] * (order - 1 - a);
    // fact[a] = (order - 1 - a)!
    std::vector<std::pair<uint64_t, double>> items(windows);
    double t = 0.0;
    for (size_t w = 0; w < windows; ++w) {
        const double* v = x + w;
        uint64_t code = 0;
        for (size_t a = 0; a + 1 < order; ++a) {
            uint64_t below = 0;
            const double va = v[a * delay];
            for (size_t b = a + 1; b < order; ++b) below += v[b * delay] < va;
            code += below * fact[a];
        }
        const double mass = weighted ? windowVariance(order, [&](size_t k) { return v[k * delay]; }) : 1.0;
        items[w] = {code, mass};
        t += mass;
    }
    *total = weighted ? t : static_cast<double>(windows);
    return sortedEntropy(
        items, [](uint64_t a, uint64_t b) { return a < b; }, [](uint64_t a, uint64_t b) { return a == b; }, *total);
}

// Orders above 20: each window's rank vector (stable ranks, width bytes per
// entry) stored, windows sorted by it.
template <class Rank>
double rankedEntropy(const double* x, size_t windows, size_t order, size_t delay, bool weighted, double* total) {
    std::vector<Rank> ranks(windows * order);
    std::vector<std::pair<size_t, double>> items(windows);
    std::vector<size_t> idx(order);
    double t = 0.0;
    for (size_t w = 0; w < windows; ++w) {
        const double* v = x + w;
        std::iota(idx.begin(), idx.end(), size_t{0});
        std::stable_sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return v[a * delay] < v[b * delay]; });
        Rank* r = ranks.data() + w * order;
        for (size_t k = 0; k < order; ++k) r[idx[k]] = static_cast<Rank>(k);
        const double mass = weighted ? windowVariance(order, [&](size_t k) { return v[k * delay]; }) : 1.0;
        items[w] = {w, mass};
        t += mass;
    }
    *total = weighted ? t : static_cast<double>(windows);
    const size_t bytes = order * sizeof(Rank);
    const Rank* base = ranks.data();
    return sortedEntropy(
        items, [&](size_t a, size_t b) { return std::memcmp(base + a * order, base + b * order, bytes) < 0; },
        [&](size_t a, size_t b) { return std::memcmp(base + a * order, base + b * order, bytes) == 0; }, *total);
}

// Entropy in bits of a finite series already checked to hold a window; the
// normalisation and the zero-mass case are applied here.
double patternEntropy(const double* x, size_t n, size_t order, size_t delay, unsigned flags) {
    const size_t windows = n - (order - 1) * delay;
    const bool weighted = (flags & ZEMBA_PE_WEIGHTED) != 0;
    double total = 0.0, h;
    switch (order) {
        case 2: h = tableEntropy<2>(x, windows, delay, weighted, &total); break;
        case 3: h = tableEntropy<3>(x, windows, delay, weighted, &total); break;
        case 4: h = tableEntropy<4>(x, windows, delay, weighted, &total); break;
        case 5: h = tableEntropy<5>(x, windows, delay, weighted, &total); break;
        case 6: h = tableEntropy<6>(x, windows, delay, weighted, &total); break;
        case 7: h = tableEntropy<7>(x, windows, delay, weighted, &total); break;
        case 8: h = tableEntropy<8>(x, windows, delay, weighted, &total); break;
        default:
            if (order <= kCodeOrder) h = codedEntropy(x, windows, order, delay, weighted, &total);
            else if (order <= 256) h = rankedEntropy<uint8_t>(x, windows, order, delay, weighted, &total);
            else if (order <= 65536) h = rankedEntropy<uint16_t>(x, windows, order, delay, weighted, &total);
            else h = rankedEntropy<uint32_t>(x, windows, order, delay, weighted, &total);
    }
    if (!(total > 0.0)) return std::nan("");  // weighted, and every window flat
    if (flags & ZEMBA_PE_NORMALIZE) h /= log2Factorial(order);
    return h;
}

// Arguments shared by both entry points.
int checkArguments(size_t order, size_t delay, unsigned flags) {
    if (order < 2 || delay < 1 || (flags & ~kKnownFlags) != 0) return ZEMBA_E_ARGUMENT;
    if (order - 1 > SIZE_MAX / delay) return ZEMBA_E_ARGUMENT;
    return ZEMBA_OK;
}

bool holdsWindow(size_t n, size_t order, size_t delay) { return n > (order - 1) * delay; }

}  // namespace

extern "C" int zemba_perm_entropy(const double* x, size_t n, size_t order, size_t delay, unsigned flags,
                                  double* entropy) {
    if ((!x && n) || !entropy) return ZEMBA_E_NULL;
    if (int s = checkArguments(order, delay, flags)) return s;
    if (!holdsWindow(n, order, delay)) return ZEMBA_E_TOO_SHORT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    try {
        *entropy = patternEntropy(x, n, order, delay, flags);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

extern "C" int zemba_multiscale_perm_entropy(const double* x, size_t n, const size_t* scales, size_t n_scales,
                                             size_t order, size_t delay, unsigned flags, double* entropies) {
    if ((!x && n) || (!scales && n_scales) || (!entropies && n_scales)) return ZEMBA_E_NULL;
    if (int s = checkArguments(order, delay, flags)) return s;
    size_t longest = 0;  // longest coarse-grained series (scales above 1)
    for (size_t k = 0; k < n_scales; ++k) {
        if (scales[k] < 1) return ZEMBA_E_ARGUMENT;
        if (!holdsWindow(n / scales[k], order, delay)) return ZEMBA_E_TOO_SHORT;
        if (scales[k] > 1) longest = std::max(longest, n / scales[k]);
    }
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    try {
        std::vector<double> coarse(longest);
        std::vector<double> out(n_scales);
        for (size_t k = 0; k < n_scales; ++k) {
            const size_t s = scales[k];
            const size_t len = n / s;
            const double* y = x;
            if (s > 1) {
                for (size_t j = 0; j < len; ++j) {
                    const double* block = x + j * s;
                    double sum = 0.0;
                    for (size_t t = 0; t < s; ++t) sum += block[t];
                    coarse[j] = sum / static_cast<double>(s);
                }
                y = coarse.data();
            }
            out[k] = patternEntropy(y, len, order, delay, flags);
        }
        std::copy(out.begin(), out.end(), entropies);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

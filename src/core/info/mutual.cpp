// Mutual information (nats) of two series on histogram bins, integer-part
// states or given labels: the plug-in estimate from a dense joint table, or
// from a sort of the occupied state pairs when the table would be large.
// Writes only *mi (or the caller's label array).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/info/bins.h"
#include "core/info/plugin.h"
#include "zemba/core.h"

namespace zemba::core {

double pluginSum(const double* joint, const double* pa, const double* pb, size_t bx, size_t by) {
    double mi = 0.0;
    for (size_t j = 0; j < by; ++j) {
        const double* row = joint + j * bx;
        const double q = pb[j];
        for (size_t i = 0; i < bx; ++i) {
            const double pj = row[i];
            if (pj > 0.0) {
                const double p = pa[i];
                if (p > 0.0 && q > 0.0) mi += pluginTerm(pj, p, q);
            }
        }
    }
    return mi;
}

}  // namespace zemba::core

namespace {

using zemba::core::EqualBins;

constexpr size_t kTableEdges = 1025;  // bins up to 1024 read their edges from a table
constexpr size_t kBlock = 512;

// Joint tables up to this many cells (or 4 cells per sample) are dense.
bool denseFits(double cells, size_t n) { return cells <= 65536.0 || cells <= 4.0 * static_cast<double>(n); }

void minMax(const double* x, size_t n, double& lo, double& hi) {
    double a = x[0], b = x[0];
    for (size_t i = 1; i < n; ++i) {
        a = x[i] < a ? x[i] : a;
        b = x[i] > b ? x[i] : b;
    }
    lo = a, hi = b;
}

// Dense plug-in estimate: state pairs from label(i) -> (sx, sy) counted in a
// bx x by table of doubles (exact below 2^53 samples), turned into
// probabilities in place.
template <class Labels>
double denseMI(size_t n, size_t bx, size_t by, const Labels& labels) {
    std::vector<double> t(bx * by + bx + by, 0.0);
    double* joint = t.data();
    double* pa = joint + bx * by;
    double* pb = pa + bx;
    labels([&](size_t sx, size_t sy) { joint[sx + bx * sy] += 1.0; });
    const double count = static_cast<double>(n);
    for (size_t j = 0; j < by; ++j) {
        double* row = joint + j * bx;
        double s = 0.0;
        for (size_t i = 0; i < bx; ++i) {
            s += row[i];
            pa[i] += row[i];
        }
        pb[j] = s / count;
        for (size_t i = 0; i < bx; ++i) row[i] /= count;
    }
    for (size_t i = 0; i < bx; ++i) pa[i] /= count;
    return zemba::core::pluginSum(joint, pa, pb, bx, by);
}

// Sparse plug-in estimate from n pairs of ordered keys: the pairs sorted by
// (y, x), the x keys sorted for their counts; terms in the order of the dense
// table (y ascending, x ascending within), so both give the same bits.
struct KeyPair {
    uint64_t y, x;
    bool operator<(const KeyPair& o) const { return y != o.y ? y < o.y : x < o.x; }
};

double sparseMI(std::vector<KeyPair>& pairs) {
    const size_t n = pairs.size();
    std::vector<uint64_t> xs(n);
    for (size_t i = 0; i < n; ++i) xs[i] = pairs[i].x;
    std::sort(xs.begin(), xs.end());
    std::sort(pairs.begin(), pairs.end());
    // Distinct x keys with their counts, in place of the sorted keys.
    std::vector<uint64_t> xCount;
    size_t distinct = 0;
    for (size_t i = 0; i < n;) {
        size_t e = i;
        while (e < n && xs[e] == xs[i]) ++e;
        xs[distinct++] = xs[i];
        xCount.push_back(e - i);
        i = e;
    }
    const double count = static_cast<double>(n);
    double mi = 0.0;
    for (size_t i = 0; i < n;) {
        size_t ye = i;
        while (ye < n && pairs[ye].y == pairs[i].y) ++ye;
        const double pb = static_cast<double>(ye - i) / count;
        for (size_t c = i; c < ye;) {
            size_t ce = c;
            while (ce < ye && pairs[ce].x == pairs[c].x) ++ce;
            const size_t at = static_cast<size_t>(std::lower_bound(xs.begin(), xs.begin() + distinct, pairs[c].x) - xs.begin());
            const double pj = static_cast<double>(ce - c) / count;
            const double pa = static_cast<double>(xCount[at]) / count;
            mi += zemba::core::pluginTerm(pj, pa, pb);
            c = ce;
        }
        i = ye;
    }
    return mi;
}

// Order-preserving keys: doubles (-0.0 read as +0.0) and signed integers.
inline uint64_t keyOf(double d) {
    d += 0.0;
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return (b >> 63) ? ~b : b | (1ull << 63);
}
inline uint64_t keyOf(int64_t v) { return static_cast<uint64_t>(v) ^ (1ull << 63); }

inline double clipped(double mi) { return mi > 0.0 ? mi : 0.0; }

int checkSeries(const double* x, const double* y, size_t n) {
    if (n && (!x || !y)) return ZEMBA_E_NULL;
    if (!zemba::core::allFinite(x, n) || !zemba::core::allFinite(y, n)) return ZEMBA_E_NONFINITE;
    return ZEMBA_OK;
}

size_t binsOrDefault(size_t bins) { return bins ? bins : ZEMBA_MI_DEFAULT_BINS; }

bool binsValid(size_t bins) { return static_cast<unsigned long long>(bins) <= ZEMBA_MI_MAX_BINS; }

bool initBins(EqualBins& b, const double* x, size_t n, size_t bins) {
    double lo, hi;
    minMax(x, n, lo, hi);
    return b.init(lo, hi, bins);
}

// Bin indices of both series, pair by pair, into emit(sx, sy): edges from
// tables when both bin counts allow, else computed per sample.
template <class Emit>
void binPairs(const double* x, const double* y, size_t n, const EqualBins& bx, const EqualBins& by, Emit&& emit) {
    if (bx.bins() < kTableEdges && by.bins() < kTableEdges) {
        double ex[kTableEdges], ey[kTableEdges];
        for (size_t k = 0; k <= bx.bins(); ++k) ex[k] = bx.edge(k);
        for (size_t k = 0; k <= by.bins(); ++k) ey[k] = by.edge(k);
        const auto fx = [&](size_t k) { return ex[k]; };
        const auto fy = [&](size_t k) { return ey[k]; };
        for (size_t i = 0; i < n; ++i) emit(bx.index(x[i], fx), by.index(y[i], fy));
    } else {
        for (size_t i = 0; i < n; ++i) emit(bx.index(x[i]), by.index(y[i]));
    }
}

}  // namespace

extern "C" int zemba_histogram_labels(const double* x, size_t n, size_t bins, int64_t* labels) {
    if (n && (!x || !labels)) return ZEMBA_E_NULL;
    bins = binsOrDefault(bins);
    if (!binsValid(bins)) return ZEMBA_E_ARGUMENT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    if (n == 0) return ZEMBA_OK;
    EqualBins b;
    if (!initBins(b, x, n, bins)) return ZEMBA_E_ARGUMENT;
    if (bins < kTableEdges) {
        double e[kTableEdges];
        for (size_t k = 0; k <= bins; ++k) e[k] = b.edge(k);
        const auto f = [&](size_t k) { return e[k]; };
        for (size_t i = 0; i < n; ++i) labels[i] = static_cast<int64_t>(b.index(x[i], f));
    } else {
        for (size_t i = 0; i < n; ++i) labels[i] = static_cast<int64_t>(b.index(x[i]));
    }
    return ZEMBA_OK;
}

extern "C" int zemba_mutual_information(const double* x, const double* y, size_t n, size_t bins_x, size_t bins_y,
                                        double* mi) {
    if (!mi) return ZEMBA_E_NULL;
    bins_x = binsOrDefault(bins_x);
    bins_y = binsOrDefault(bins_y);
    if (!binsValid(bins_x) || !binsValid(bins_y)) return ZEMBA_E_ARGUMENT;
    if (const int s = checkSeries(x, y, n)) return s;
    if (n <= 1) {
        *mi = 0.0;
        return ZEMBA_OK;
    }
    EqualBins bx, by;
    if (!initBins(bx, x, n, bins_x) || !initBins(by, y, n, bins_y)) return ZEMBA_E_ARGUMENT;
    try {
        double r;
        if (denseFits(static_cast<double>(bins_x) * static_cast<double>(bins_y), n)) {
            r = denseMI(n, bins_x, bins_y, [&](auto&& count) { binPairs(x, y, n, bx, by, count); });
        } else {
            std::vector<KeyPair> pairs(n);
            size_t i = 0;
            binPairs(x, y, n, bx, by, [&](size_t sx, size_t sy) { pairs[i++] = {sy, sx}; });
            r = sparseMI(pairs);
        }
        *mi = clipped(r);
        return ZEMBA_OK;
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

extern "C" int zemba_mutual_information_floor(const double* x, const double* y, size_t n, double* mi) {
    if (!mi) return ZEMBA_E_NULL;
    if (const int s = checkSeries(x, y, n)) return s;
    if (n <= 1) {
        *mi = 0.0;
        return ZEMBA_OK;
    }
    double lx, hx, ly, hy;
    minMax(x, n, lx, hx);
    minMax(y, n, ly, hy);
    lx = std::floor(lx), ly = std::floor(ly);
    const double sx = std::floor(hx) - lx + 1.0, sy = std::floor(hy) - ly + 1.0;
    try {
        double r;
        if (denseFits(sx * sy, n)) {
            const size_t bx = static_cast<size_t>(sx), by = static_cast<size_t>(sy);
            r = denseMI(n, bx, by, [&](auto&& count) {
                for (size_t i = 0; i < n; ++i)
                    count(static_cast<size_t>(std::floor(x[i]) - lx), static_cast<size_t>(std::floor(y[i]) - ly));
            });
        } else {
            std::vector<KeyPair> pairs(n);
            for (size_t i = 0; i < n; ++i) pairs[i] = {keyOf(std::floor(y[i])), keyOf(std::floor(x[i]))};
            r = sparseMI(pairs);
        }
        *mi = clipped(r);
        return ZEMBA_OK;
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

extern "C" int zemba_mutual_information_labels(const int64_t* a, const int64_t* b, size_t n, double* mi) {
    if (!mi) return ZEMBA_E_NULL;
    if (n && (!a || !b)) return ZEMBA_E_NULL;
    if (n <= 1) {
        *mi = 0.0;
        return ZEMBA_OK;
    }
    int64_t la = a[0], ha = a[0], lb = b[0], hb = b[0];
    for (size_t i = 1; i < n; ++i) {
        la = std::min(la, a[i]), ha = std::max(ha, a[i]);
        lb = std::min(lb, b[i]), hb = std::max(hb, b[i]);
    }
    // Spans as doubles: a span of 2^64 states must not wrap to 0.
    const double sa = static_cast<double>(static_cast<uint64_t>(ha) - static_cast<uint64_t>(la)) + 1.0;
    const double sb = static_cast<double>(static_cast<uint64_t>(hb) - static_cast<uint64_t>(lb)) + 1.0;
    try {
        double r;
        if (denseFits(sa * sb, n)) {
            const size_t bx = static_cast<size_t>(sa), by = static_cast<size_t>(sb);
            r = denseMI(n, bx, by, [&](auto&& count) {
                for (size_t i = 0; i < n; ++i)
                    count(static_cast<size_t>(static_cast<uint64_t>(a[i]) - static_cast<uint64_t>(la)),
                          static_cast<size_t>(static_cast<uint64_t>(b[i]) - static_cast<uint64_t>(lb)));
            });
        } else {
            std::vector<KeyPair> pairs(n);
            for (size_t i = 0; i < n; ++i) pairs[i] = {keyOf(b[i]), keyOf(a[i])};
            r = sparseMI(pairs);
        }
        *mi = clipped(r);
        return ZEMBA_OK;
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

// Matching template pairs (template_pairs.h) without visiting every pair.
// Templates are sorted by their first sample and cut into strips whose first
// members lie more than r apart: a template's partners on the first sample lie
// in its own strip (where every pair matches on it) or the next one. Inside a
// strip the templates are ordered by their second sample (the first sample of
// the next template, so one sort of the series gives both orders), and the
// partners on it form one run of each strip, found with moving bounds; only
// the other samples are compared, a vector of candidates at a time. Identical
// templates are counted once, with their multiplicity. Writes only `out`.
#include "core/regularity/template_pairs.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace zemba::core {
namespace {

// Vectors of W doubles and of W 64-bit integers. The scan is written once over
// them; it is compiled here for two lanes (SSE2, the baseline), where no
// compare is split into scalars. A wider instance needs only a function built
// for the wider instruction set that calls scanStrips<W, ...>.
constexpr int kLanes = 2;     // the width compiled here
constexpr size_t kMaxLanes = 8;  // the widest the padding allows

template <int W>
struct Lanes {
    typedef double vd __attribute__((vector_size(8 * W)));
    typedef int64_t vi __attribute__((vector_size(8 * W)));
};

template <class V>
[[gnu::always_inline]] inline void loadLanes(V& v, const void* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
[[gnu::always_inline]] inline void storeLanes(void* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// ok &= |p[0..W) - own| <= r, lane by lane.
template <class VD, class VI>
[[gnu::always_inline]] inline void andNear(VI& ok, const double* p, double own, const VD& radius) {
    VD v;
    loadLanes(v, p);
    VD d = v - own;
    d = reinterpret_cast<VD>(reinterpret_cast<VI>(d) & (VI{} + INT64_MAX));
    ok &= reinterpret_cast<VI>(d <= radius);
}

template <class VI>
[[gnu::always_inline]] inline int64_t laneSum(const VI& v) {
    int64_t s = 0;
    for (size_t l = 0; l < sizeof v / sizeof(int64_t); ++l) s += v[l];
    return s;
}

// One block of working memory per call, handed out in 16-byte aligned pieces.
class Arena {
public:
    explicit Arena(size_t bytes) : block_(new unsigned char[bytes]), size_(bytes) {}
    template <class T>
    T* take(size_t count) {
        used_ = (used_ + 15) & ~size_t{15};
        T* p = reinterpret_cast<T*>(block_.get() + used_);
        used_ += count * sizeof(T);
        return used_ <= size_ ? p : throw std::bad_alloc();
    }

private:
    std::unique_ptr<unsigned char[]> block_;
    size_t used_ = 0, size_;
};

// ---- sorting the samples -------------------------------------------------------

struct Keyed {
    uint64_t key;  // the sample's bits, mapped so that unsigned order is numeric order
    size_t at;
};

inline uint64_t orderedBits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b >> 63 ? ~b : b | (uint64_t{1} << 63);
}

// Sorts by key: least significant digit first, 11 bits per pass, passes
// whose digit is the same for every item skipped. tmp holds as many items;
// returns whichever of a and tmp holds the result.
Keyed* radixSort(Keyed* a, Keyed* tmp, size_t count) {
    if (count < 256) {
        std::sort(a, a + count, [](const Keyed& p, const Keyed& q) { return p.key < q.key; });
        return a;
    }
    constexpr int kBits = 11, kPasses = 6;
    constexpr size_t kBuckets = size_t{1} << kBits;
    std::vector<size_t> hist(kPasses * kBuckets, 0);
    for (size_t i = 0; i < count; ++i)
        for (int p = 0; p < kPasses; ++p) ++hist[p * kBuckets + ((a[i].key >> (p * kBits)) & (kBuckets - 1))];
    for (int p = 0; p < kPasses; ++p) {
        size_t* h = hist.data() + p * kBuckets;
        if (h[(a[0].key >> (p * kBits)) & (kBuckets - 1)] == count) continue;
        size_t sum = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            const size_t c = h[b];
            h[b] = sum;
            sum += c;
        }
        for (size_t i = 0; i < count; ++i) tmp[h[(a[i].key >> (p * kBits)) & (kBuckets - 1)]++] = a[i];
        std::swap(a, tmp);
    }
    return a;
}

// ---- the layout --------------------------------------------------------------

// Distinct templates in strip order: columns of samples 0..m, multiplicities,
// and where each one's members start in the member list.
struct Layout {
    size_t U = 0, m = 0;
    double* col = nullptr;  // sample k of unique u at col[k * stride + u]
    size_t stride = 0;
    int64_t* weight = nullptr;
    size_t* first = nullptr;   // members of u: member[first[u] .. first[u + 1])
    std::vector<size_t> strip;  // uniques of strip s: strip[s] .. strip[s + 1] - 1
    bool unitWeights = true;
    const double* column(size_t k) const { return col + k * stride; }
};

// ---- scanning ------------------------------------------------------------------

// Partners v in [v0, v1) of unique u: their weights summed where they match
// over m samples (accS) and over m + 1 (accL); with PER each partner's own
// counts gain u's weight. Sample 1 is known to match; sample 0 is known to
// match unless CROSS. M > 0 fixes m at compile time. Reads up to W - 1 entries
// past v1 (the columns are padded).
template <int W, int M, bool PER, bool CROSS>
[[gnu::always_inline]] inline void scanPartners(const Layout& L, size_t u, size_t v0, size_t v1,
                                                const typename Lanes<W>::vd& radius, int64_t* cntS, int64_t* cntL,
                                                typename Lanes<W>::vi& accS, typename Lanes<W>::vi& accL) {
    typedef typename Lanes<W>::vi vi;
    const size_t m = M > 0 ? static_cast<size_t>(M) : L.m;
    const size_t U = L.stride;
    const double* c = L.col;
    const int64_t* w = L.weight;
    const int64_t wu = w[u];
    auto step = [&](size_t v, const vi& live) __attribute__((always_inline)) {
        vi ok = live;
        if (CROSS) andNear(ok, c + v, c[u], radius);
        for (size_t k = 2; k < m; ++k) andNear(ok, c + k * U + v, c[k * U + u], radius);
        vi okL = ok;
        if (m >= 2) andNear(okL, c + m * U + v, c[m * U + u], radius);
        vi wv;
        loadLanes(wv, w + v);
        accS += ok & wv;
        accL += okL & wv;
        if (PER) {
            vi s, l;
            loadLanes(s, cntS + v);
            loadLanes(l, cntL + v);
            storeLanes(cntS + v, s + (ok & wu));
            storeLanes(cntL + v, l + (okL & wu));
        }
    };
    const vi all = ~vi{};
    size_t v = v0;
    for (; v + 2 * W <= v1; v += 2 * W) {
        step(v, all);
        step(v + W, all);
    }
    if (v + W <= v1) {
        step(v, all);
        v += W;
    }
    if (v < v1) {
        vi live = {};
        for (size_t l = 0; v + l < v1; ++l) live[l] = -1;
        step(v, live);
    }
}

// Every strip against itself and the next. Totals of pairs between distinct
// uniques (weighted) into pairsS / pairsL; with PER, partner counts per unique.
template <int W, int M, bool PER>
void scanStrips(const Layout& L, double r, int64_t* cntS, int64_t* cntL, uint64_t& pairsS, uint64_t& pairsL) {
    typedef typename Lanes<W>::vd vd;
    typedef typename Lanes<W>::vi vi;
    const double* c1 = L.column(1);
    const vd radius = vd{} + r;
    uint64_t totalS = 0, totalL = 0;
    vi sumS = {}, sumL = {};  // unit weights: pairs summed lane by lane
    const size_t strips = L.strip.size() - 1;
    for (size_t s = 0; s < strips; ++s) {
        const size_t begin = L.strip[s], end = L.strip[s + 1];
        const size_t next = s + 1 < strips ? L.strip[s + 2] : end;
        size_t inner = begin, lo = end, hi = end;
        for (size_t u = begin; u < end; ++u) {
            const double y = c1[u];
            if (inner <= u) inner = u + 1;
            while (inner < end && c1[inner] - y <= r) ++inner;
            while (lo < next && y - c1[lo] > r) ++lo;
            if (hi < lo) hi = lo;
            while (hi < next && c1[hi] - y <= r) ++hi;
            if (!PER && L.unitWeights) {
                scanPartners<W, M, PER, false>(L, u, u + 1, inner, radius, cntS, cntL, sumS, sumL);
                scanPartners<W, M, PER, true>(L, u, lo, hi, radius, cntS, cntL, sumS, sumL);
                continue;
            }
            vi accS = {}, accL = {};
            scanPartners<W, M, PER, false>(L, u, u + 1, inner, radius, cntS, cntL, accS, accL);
            scanPartners<W, M, PER, true>(L, u, lo, hi, radius, cntS, cntL, accS, accL);
            const int64_t rowS = laneSum(accS), rowL = laneSum(accL);
            const uint64_t wu = static_cast<uint64_t>(L.weight[u]);
            totalS += wu * static_cast<uint64_t>(rowS);
            totalL += wu * static_cast<uint64_t>(rowL);
            if (PER) {
                cntS[u] += rowS;
                cntL[u] += rowL;
            }
        }
    }
    pairsS = totalS + static_cast<uint64_t>(laneSum(sumS));
    pairsL = totalL + static_cast<uint64_t>(laneSum(sumL));
}

template <int W, bool PER>
void scanStripsFor(const Layout& L, double r, int64_t* cntS, int64_t* cntL, uint64_t& pairsS, uint64_t& pairsL) {
    switch (L.m) {
        case 1: return scanStrips<W, 1, PER>(L, r, cntS, cntL, pairsS, pairsL);
        case 2: return scanStrips<W, 2, PER>(L, r, cntS, cntL, pairsS, pairsL);
        case 3: return scanStrips<W, 3, PER>(L, r, cntS, cntL, pairsS, pairsL);
        case 4: return scanStrips<W, 4, PER>(L, r, cntS, cntL, pairsS, pairsL);
        default: return scanStrips<W, 0, PER>(L, r, cntS, cntL, pairsS, pairsL);
    }
}

// Pairs within r on the first sample, from the templates' first samples sorted
// ascending (value[i] of template at[i]); count[t] (if not null) receives each
// template's partners.
uint64_t pairsOnFirstSample(const double* value, const size_t* at, size_t T, double r, uint64_t* count) {
    uint64_t total = 0;
    size_t lo = 0, hi = 0;
    for (size_t i = 0; i < T; ++i) {
        const double y = value[i];
        while (y - value[lo] > r) ++lo;
        if (hi <= i) hi = i + 1;
        while (hi < T && value[hi] - y <= r) ++hi;
        total += hi - i - 1;
        if (count) count[at[i]] = (hi - i - 1) + (i - lo);
    }
    return total;
}

// k (k - 1) / 2 without overflowing the product.
uint64_t pairsOf(uint64_t k) { return k % 2 == 0 ? k / 2 * (k - 1) : (k - 1) / 2 * k; }

bool matchOver(const double* x, size_t a, size_t b, size_t len, double r) {
    for (size_t k = 0; k < len; ++k)
        if (!within(x[a + k], x[b + k], r)) return false;
    return true;
}

}  // namespace

void countTemplatePairs(const double* x, size_t n, size_t m, double r, uint64_t* shortCount, uint64_t* longCount,
                        TemplateCounts& out) {
    const size_t T = n - m;
    const uint64_t allPairs = pairsOf(T);
    const bool perTemplate = shortCount != nullptr;
    out = TemplateCounts{};

    // Every pair matches when the whole series spans at most r.
    const auto range = std::minmax_element(x, x + n);
    if (*range.second - *range.first <= r) {
        out.pairsShort = out.pairsLong = allPairs;
        if (perTemplate) {
            std::fill(shortCount, shortCount + T + 1, static_cast<uint64_t>(T));
            std::fill(longCount, longCount + T, static_cast<uint64_t>(T - 1));
        }
        return;
    }

    // Samples 0 .. K-1 sorted: the first samples of all templates and, for
    // m >= 1, the second sample of the last one.
    const size_t K = m == 0 ? T : T + 1;
    const size_t stride = T + kMaxLanes;  // room for the uniques and the lanes read past them
    Arena arena(2 * K * sizeof(Keyed) + (5 * T + 1) * sizeof(size_t) + (m + 4) * stride * sizeof(double) + 12 * 16);
    Keyed* keys = arena.take<Keyed>(2 * K);
    for (size_t i = 0; i < K; ++i) keys[i] = {orderedBits(x[i]), i};
    const Keyed* sorted = radixSort(keys, keys + K, K);

    // Templates by first sample.
    double* firstValue = arena.take<double>(T);
    size_t* firstAt = arena.take<size_t>(T);
    for (size_t i = 0, j = 0; i < K; ++i)
        if (sorted[i].at < T) {
            firstValue[j] = x[sorted[i].at];
            firstAt[j++] = sorted[i].at;
        }

    if (m == 0) {
        out.pairsShort = allPairs;
        if (perTemplate) std::fill(shortCount, shortCount + T + 1, static_cast<uint64_t>(T));
        out.pairsLong = pairsOnFirstSample(firstValue, firstAt, T, r, longCount);
        return;
    }
    if (m == 1)
        out.pairsShort = pairsOnFirstSample(firstValue, firstAt, T, r, shortCount);

    // Strips over the first samples; stripOf[t] numbers template t's strip.
    size_t* stripOf = arena.take<size_t>(T);
    std::vector<size_t> stripStart;
    for (size_t i = 0; i < T;) {
        stripStart.push_back(i);
        const double v = firstValue[i];
        for (; i < T && firstValue[i] - v <= r; ++i) stripOf[firstAt[i]] = stripStart.size() - 1;
    }
    const size_t strips = stripStart.size();
    stripStart.push_back(T);

    // Members in strip order, by second sample inside each strip: the sorted
    // samples x[t + 1] name the templates t in that order.
    size_t* member = arena.take<size_t>(T);
    {
        std::vector<size_t> fill(stripStart.begin(), stripStart.end() - 1);
        for (size_t i = 0; i < K; ++i) {
            const size_t a = sorted[i].at;
            if (a >= 1) member[fill[stripOf[a - 1]]++] = a - 1;
        }
    }
    // Equal second samples: order by samples 2..m then 0, so identical
    // templates are neighbours.
    auto later = [x, m](size_t a, size_t b) {
        for (size_t k = 2; k <= m; ++k)
            if (x[a + k] != x[b + k]) return x[a + k] < x[b + k];
        return x[a] < x[b];
    };
    for (size_t i = 0; i + 1 < T;) {
        size_t j = i + 1;
        while (j < T && stripOf[member[j]] == stripOf[member[i]] && x[member[j] + 1] == x[member[i] + 1]) ++j;
        if (j - i > 1) std::sort(member + i, member + j, later);
        i = j;
    }

    // Distinct templates.
    Layout L;
    L.m = m;
    auto same = [x, m](size_t a, size_t b) {
        for (size_t k = 0; k <= m; ++k)
            if (x[a + k] != x[b + k]) return false;
        return true;
    };
    size_t* firstOf = arena.take<size_t>(T + 1);
    size_t U = 0;
    for (size_t s = 0; s < strips; ++s) {
        L.strip.push_back(U);
        for (size_t i = stripStart[s]; i < stripStart[s + 1]; ++i)
            if (i == stripStart[s] || !same(member[i - 1], member[i])) firstOf[U++] = i;
    }
    L.strip.push_back(U);
    firstOf[U] = T;
    L.U = U;
    L.stride = U + kMaxLanes;  // padded: the scan reads up to kMaxLanes - 1 entries past its range
    L.col = arena.take<double>((m + 1) * L.stride);
    L.weight = arena.take<int64_t>(L.stride);
    for (size_t u = 0; u < U; ++u) {
        const size_t t = member[firstOf[u]];
        for (size_t k = 0; k <= m; ++k) L.col[k * L.stride + u] = x[t + k];
        L.weight[u] = static_cast<int64_t>(firstOf[u + 1] - firstOf[u]);
        L.unitWeights = L.unitWeights && L.weight[u] == 1;
    }
    for (size_t u = U; u < L.stride; ++u) {
        for (size_t k = 0; k <= m; ++k) L.col[k * L.stride + u] = 0.0;
        L.weight[u] = 0;
    }
    L.first = firstOf;

    uint64_t pairsS = 0, pairsL = 0;
    int64_t* cntS = nullptr;
    int64_t* cntL = nullptr;
    if (perTemplate) {
        cntS = arena.take<int64_t>(L.stride);
        cntL = arena.take<int64_t>(L.stride);
        std::fill(cntS, cntS + L.stride, int64_t{0});
        std::fill(cntL, cntL + L.stride, int64_t{0});
        scanStripsFor<kLanes, true>(L, r, cntS, cntL, pairsS, pairsL);
    } else {
        scanStripsFor<kLanes, false>(L, r, nullptr, nullptr, pairsS, pairsL);
    }
    uint64_t selfPairs = 0;  // pairs of identical templates
    for (size_t u = 0; u < U; ++u) {
        selfPairs += pairsOf(static_cast<uint64_t>(L.weight[u]));
    }
    if (m >= 2) out.pairsShort = pairsS + selfPairs;
    out.pairsLong = pairsL + selfPairs;
    if (!perTemplate) return;

    for (size_t u = 0; u < U; ++u) {
        const int64_t same = L.weight[u] - 1;
        for (size_t i = L.first[u]; i < L.first[u + 1]; ++i) {
            const size_t t = member[i];
            if (m >= 2) shortCount[t] = static_cast<uint64_t>(cntS[u] + same);
            longCount[t] = static_cast<uint64_t>(cntL[u] + same);
        }
    }
    // The last template of length m has no sample after it.
    for (size_t s = 0; s < T; ++s)
        if (matchOver(x, s, T, m, r)) {
            ++shortCount[s];
            ++shortCount[T];
        }
}

}  // namespace zemba::core

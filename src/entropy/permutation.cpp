// Permutation entropies over pattern strings: rise-fall patterns (normalised
// by ln((m-1)!)), ordinal patterns with a delay, their multi-scale form on
// block sums, and delayed rise-fall patterns. Windows are counted as integer
// codes that stand one-to-one for their pattern strings; the entropy is then
// summed over a string-to-count map filled with the distinct patterns in
// order of first appearance, which leaves the map exactly as counting every
// window's string would. Patterns too long for a code take the string path.
#include "zemba.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "entropy/patterns.h"
#include "frame/arith.h"

namespace {

// L! rounded once to the nearest double (exact through L = 22); infinity past 170!.
double factorialAsDouble(int L) {
    if (L > 170) return HUGE_VAL;
    uint32_t limb[40] = {1};  // 170! < 2^1020
    int used = 1;
    for (uint32_t t = 2; t <= static_cast<uint32_t>(L); ++t) {
        uint64_t carry = 0;
        for (int i = 0; i < used; ++i) {
            const uint64_t cur = static_cast<uint64_t>(limb[i]) * t + carry;
            limb[i] = static_cast<uint32_t>(cur);
            carry = cur >> 32;
        }
        if (carry != 0) limb[used++] = static_cast<uint32_t>(carry);
    }
    int bits = 32 * (used - 1);
    for (uint32_t top = limb[used - 1]; top != 0; top >>= 1) ++bits;
    auto bit = [&](int b) { return (limb[b / 32] >> (b % 32)) & 1u; };
    if (bits <= 64) {
        uint64_t v = 0;
        for (int b = bits - 1; b >= 0; --b) v = (v << 1) | bit(b);
        return static_cast<double>(v);
    }
    // Top 64 bits with the rest folded into a sticky bit: one correct rounding.
    const int shift = bits - 64;
    uint64_t v = 0;
    for (int b = bits - 1; b >= shift; --b) v = (v << 1) | bit(b);
    for (int b = 0; b < shift; ++b)
        if (bit(b)) {
            v |= 1u;
            break;
        }
    return std::ldexp(static_cast<double>(v), shift);
}

// ---- counting codes ---------------------------------------------------------

constexpr int kDirectBits = 20;
constexpr uint64_t kDirectSpace = uint64_t{1} << kDirectBits;
constexpr int kHashBits = 17;
constexpr uint64_t kHashSlots = uint64_t{1} << kHashBits;
constexpr int64_t kHashWindows = int64_t{1} << (kHashBits - 1);  // load at most 1/2

int32_t directCount[kDirectSpace];  // zero between calls
int32_t hashCount[kHashSlots];      // zero between calls
uint64_t hashKey[kHashSlots];
uint32_t firstSeen[kDirectSpace];  // codes (direct) or slots (hashed), first-seen order

// Counts window codes in a table indexed by code when the code space is small,
// otherwise in an open-addressing hash; leaves both tables zero on the way out.
class Tally {
public:
    Tally() = default;
    Tally(const Tally&) = delete;
    Tally& operator=(const Tally&) = delete;
    ~Tally() {
        for (int d = 0; d < distinct_; ++d) (direct_ ? directCount : hashCount)[firstSeen[d]] = 0;
    }

    // False when the codes can be neither indexed nor hashed at this window count.
    bool open(uint64_t space, int64_t windows) {
        direct_ = space <= kDirectSpace;
        return direct_ || windows <= kHashWindows;
    }

    void add(uint64_t code) {
        if (direct_) {
            if (directCount[code]++ == 0) firstSeen[distinct_++] = static_cast<uint32_t>(code);
            return;
        }
        uint64_t slot = (code * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits);
        while (hashCount[slot] != 0 && hashKey[slot] != code) slot = (slot + 1) & (kHashSlots - 1);
        if (hashCount[slot]++ == 0) {
            hashKey[slot] = code;
            firstSeen[distinct_++] = static_cast<uint32_t>(slot);
        }
    }

    // spell(code, string) writes a code's pattern. Several codes may spell one
    // pattern; the first of them is also the first seen of that pattern.
    template <class Spell>
    double entropy(int total, Spell spell) const {
        std::unordered_map<std::string, int> counts;
        std::string pattern;
        for (int d = 0; d < distinct_; ++d) {
            const uint32_t at = firstSeen[d];
            spell(direct_ ? at : hashKey[at], pattern);
            counts[pattern] += direct_ ? directCount[at] : hashCount[at];
        }
        return zemba::entropyOfCounts(counts, total);
    }

private:
    bool direct_ = true;
    int distinct_ = 0;
};

// ---- rise-fall patterns --------------------------------------------------------

// Code bit k set where step k does not rise, as the string's character k is "1".
double riseFallEntropy(const double* x, int n, int L) {
    const int windows = n - L;
    Tally tally;
    tally.open(uint64_t{1} << L, windows);
    const uint32_t top = 1u << (L - 1);
    uint32_t code = 0;
    for (int k = 0; k + 1 < L; ++k) code |= static_cast<uint32_t>(!(x[k + 1] > x[k])) << (k + 1);
    for (int i = 0; i < windows; ++i) {
        code = (code >> 1) | (x[i + L] > x[i + L - 1] ? 0u : top);
        tally.add(code);
    }
    return tally.entropy(windows, [L](uint64_t c, std::string& p) {
        p.assign(static_cast<size_t>(L), '0');
        for (int k = 0; k < L; ++k)
            if ((c >> k) & 1u) p[k] = '1';
    });
}

// ---- ordinal patterns ------------------------------------------------------------

// Member offsets in the order the pattern routines sort a window: position p
// receives, by one swap, the first smallest of positions p..len-1 (a candidate
// replaces the running minimum only when strictly smaller). Not stable.
// greater(a, b) tells whether member a is greater than member b.
template <class Greater>
void selectionOrder(int len, int* order, Greater greater) {
    for (int k = 0; k < len; ++k) order[k] = k;
    for (int p = 0; p + 1 < len; ++p) {
        int q = p;
        for (int c = p + 1; c < len; ++c)
            if (greater(order[q], order[c])) q = c;
        std::swap(order[p], order[q]);
    }
}

template <class T>
void selectionOrder(const T* v, int len, int* order) {
    selectionOrder(len, order, [v](int a, int b) { return v[a] > v[b]; });
}

// The sort reads only the outcomes of "a > b" between members, so any code
// that fixes those outcomes fixes the pattern (several codes may share one).

// Up to 8 members: two bits per pair, a > b and b > a. Gap g = 1 .. len-1
// holds the pairs (j, j + g), j = 0 .. len-1-g, lowest j first, so sliding
// the window by one member shifts every gap down by one pair.
constexpr int kMaxPairLen = 8;  // len(len-1) bits fit 64

constexpr int gapOffset(int len, int g) { return 2 * ((g - 1) * len - (g - 1) * g / 2); }

template <class T>
uint64_t pairBits(T a, T b) {
    return static_cast<uint64_t>(a > b) | static_cast<uint64_t>(b > a) << 1;
}

template <int Len, class T>
uint64_t pairCode(const T* v) {
    uint64_t code = 0;
    for (int g = 1; g < Len; ++g)
        for (int j = 0; j + g < Len; ++j) code |= pairBits(v[j], v[j + g]) << (gapOffset(Len, g) + 2 * j);
    return code;
}

constexpr int64_t kMaxLag = 64;

template <int Len, class Load>
void tallyPairs(Tally& tally, Load load, int64_t windows, int64_t advance, int64_t spacing) {
    using T = decltype(load(int64_t{0}));
    T v[Len];
    // Window w is window w - lag shifted by one member when lag = spacing / advance
    // is whole: drop the pairs of its first member and add those of the new
    // last one at the top of each gap. The last lag codes wait in a ring.
    const int64_t lag = spacing % advance == 0 ? spacing / advance : 0;
    if (lag < 1 || lag > kMaxLag) {
        for (int64_t w = 0; w < windows; ++w) {
            for (int r = 0; r < Len; ++r) v[r] = load(w * advance + r * spacing);
            tally.add(pairCode<Len>(v));
        }
        return;
    }
    uint64_t top = 0;
    for (int g = 1; g < Len; ++g) top |= uint64_t{3} << (gapOffset(Len, g) + 2 * (Len - 1 - g));
    uint64_t ring[kMaxLag];
    int64_t slot = 0;
    uint64_t code = 0;
    for (int64_t w = 0; w < windows; ++w) {
        if (w < lag) {
            for (int r = 0; r < Len; ++r) v[r] = load(w * advance + r * spacing);
            code = pairCode<Len>(v);
        } else {
            const int64_t last = w * advance + (Len - 1) * spacing;
            const T newest = load(last);
            code = ((lag == 1 ? code : ring[slot]) >> 2) & ~top;  // a lag of 1 stays in a register
            for (int g = 1; g < Len; ++g)
                code |= pairBits(load(last - g * spacing), newest) << (gapOffset(Len, g) + 2 * (Len - 1 - g));
        }
        ring[slot] = code;
        if (++slot == lag) slot = 0;
        tally.add(code);
    }
}

// Up to 15 members: the sum of below_j * len^j, below_j the number of members
// strictly smaller than member j. Between comparable values these counts
// decide every comparison; a window with an incomparable (NaN) member is
// sorted directly and coded by the inverse of its order, which sorts alike.
constexpr int kMaxCountLen = 15;  // len^len < 2^64

template <class T>
uint64_t countCode(const T* v, int len) {
    int below[kMaxCountLen] = {};
    bool incomparable = false;
    if constexpr (std::is_floating_point<T>::value)
        for (int j = 0; j < len; ++j) incomparable |= v[j] != v[j];
    if (incomparable) {
        int order[kMaxCountLen];
        selectionOrder(v, len, order);
        for (int k = 0; k < len; ++k) below[order[k]] = k;
    } else {
        for (int j = 0; j < len; ++j)
            for (int k = j + 1; k < len; ++k) {
                below[j] += v[k] < v[j];
                below[k] += v[j] < v[k];
            }
    }
    uint64_t code = 0;
    for (int j = len - 1; j >= 0; --j) code = code * static_cast<uint64_t>(len) + static_cast<uint64_t>(below[j]);
    return code;
}

void spellOrder(const int* order, int len, std::string& p) {
    p.resize(static_cast<size_t>(len));
    for (int k = 0; k < len; ++k) p[k] = static_cast<char>(48 + order[k]);
}

// Entropy of the ordinal patterns of `windows` windows of len members: window
// w starts at w * advance, its member r lies at start + r * spacing, and its
// pattern is the string of characters 48 + offset in sorted order.
template <class Load>
double ordinalEntropy(Load load, int64_t windows, int64_t advance, int64_t spacing, int len) {
    using T = decltype(load(int64_t{0}));
    const int total = static_cast<int>(windows);
    Tally tally;
    if (len <= kMaxPairLen && tally.open(uint64_t{1} << (len * (len - 1)), windows)) {
        switch (len) {
            case 1: tallyPairs<1>(tally, load, windows, advance, spacing); break;
            case 2: tallyPairs<2>(tally, load, windows, advance, spacing); break;
            case 3: tallyPairs<3>(tally, load, windows, advance, spacing); break;
            case 4: tallyPairs<4>(tally, load, windows, advance, spacing); break;
            case 5: tallyPairs<5>(tally, load, windows, advance, spacing); break;
            case 6: tallyPairs<6>(tally, load, windows, advance, spacing); break;
            case 7: tallyPairs<7>(tally, load, windows, advance, spacing); break;
            default: tallyPairs<8>(tally, load, windows, advance, spacing); break;
        }
        return tally.entropy(total, [len](uint64_t code, std::string& p) {
            bool greater[kMaxPairLen][kMaxPairLen] = {};
            for (int g = 1; g < len; ++g)
                for (int j = 0; j + g < len; ++j) {
                    const uint64_t bits = code >> (gapOffset(len, g) + 2 * j);
                    greater[j][j + g] = bits & 1u;
                    greater[j + g][j] = (bits >> 1) & 1u;
                }
            int order[kMaxPairLen];
            selectionOrder(len, order, [&greater](int a, int b) { return greater[a][b]; });
            spellOrder(order, len, p);
        });
    }
    uint64_t space = 1;
    for (int j = 0; j < len && len <= kMaxCountLen; ++j) space *= static_cast<uint64_t>(len);
    if (len <= kMaxCountLen && tally.open(space, windows)) {
        T v[kMaxCountLen];
        for (int64_t w = 0; w < windows; ++w) {
            for (int r = 0; r < len; ++r) v[r] = load(w * advance + r * spacing);
            tally.add(countCode(v, len));
        }
        return tally.entropy(total, [len](uint64_t code, std::string& p) {
            int below[kMaxCountLen], order[kMaxCountLen];
            for (int j = 0; j < len; ++j) {
                below[j] = static_cast<int>(code % static_cast<uint64_t>(len));
                code /= static_cast<uint64_t>(len);
            }
            selectionOrder(below, len, order);
            spellOrder(order, len, p);
        });
    }
    std::vector<std::string> patterns;
    std::vector<T> v(static_cast<size_t>(len));
    std::vector<int> order(static_cast<size_t>(len));
    for (int64_t w = 0; w < windows; ++w) {
        for (int r = 0; r < len; ++r) v[r] = load(w * advance + r * spacing);
        selectionOrder(v.data(), len, order.data());
        std::string p;
        spellOrder(order.data(), len, p);
        patterns.push_back(std::move(p));
    }
    return calculateShannonEntropy(patterns);
}

}  // namespace

namespace zemba {

double ordinalPatternEntropy(const double* x, int64_t windows, int64_t advance, int64_t spacing, int len) {
    return ordinalEntropy([x](int64_t k) { return x[k]; }, windows, advance, spacing, len);
}

double ordinalPatternEntropy(const NodeRecord* nodes, int64_t windows, int64_t advance, int64_t spacing, int len) {
    return ordinalEntropy([nodes](int64_t k) { return nodes[k].degree; }, windows, advance, spacing, len);
}

}  // namespace zemba

void calculatePermutationEntropy(double* x, int* nPtr, int* mPtr, double* result) {
    const int n = *nPtr;
    const int m = *mPtr;
    *result = -1.0;
    if (n < m || m <= 1) return;
    const int L = m - 1;
    *mPtr = L;

    double h;
    if (L <= kDirectBits) {
        h = riseFallEntropy(x, n, L);
    } else {
        std::vector<std::string> patterns;
        patterns.reserve(static_cast<size_t>(n - m) + 1);
        for (int i = 0; i <= n - m; ++i) {
            std::string p(static_cast<size_t>(L), '1');
            for (int k = 0; k < L; ++k)
                if (x[i + k + 1] > x[i + k]) p[k] = '0';
            patterns.push_back(std::move(p));
        }
        h = calculateShannonEntropy(patterns);
    }
    *result = h;

    double f;
    if (L <= 12) {
        int32_t prod = 1;
        for (int t = L; t >= 1; --t) prod = zemba::wrapMul(prod, t);
        f = static_cast<double>(prod);
    } else {
        f = factorialAsDouble(L);
    }
    *result = h / std::log(f);
}

void calculateDelayPermutationEntropy(double* x, int* nPtr, int* mPtr, int* tauPtr, double* result) {
    const int n = *nPtr;
    const int m = *mPtr;
    *result = -1.0;
    const int tau = *tauPtr > 0 ? *tauPtr : 1;
    if (n < m || m <= 1 || m > ZEMBA_PERLIST_CAP) return;
    const int mp = m - 1;
    *mPtr = mp;

    // Windows i = 0, 1, ... while i + mp * tau <= n; the scan stops at the first
    // start that fails, so with tau > 1 that start is the last one examined.
    const int64_t starts = n - mp + 1;
    const int64_t reach = static_cast<int64_t>(mp) * tau;
    const int64_t windows = n - reach + 1 > 0 ? n - reach + 1 : 0;
    const double h = zemba::ordinalPatternEntropy(x, windows, 1, tau, mp);

    const int64_t last = windows < starts ? windows : windows - 1;
    for (int k = 0; k <= mp; ++k) PerList[k] = static_cast<int32_t>(last + static_cast<int64_t>(k) * tau);
    if (windows == starts && m != 2) {
        for (int p = 0; p + 1 < mp; ++p) {
            int q = p;
            for (int c = p + 1; c < mp; ++c)
                if (x[PerList[q]] > x[PerList[c]]) q = c;
            std::swap(PerList[p], PerList[q]);
        }
    }
    *result = h;
}

void MultiScale_DPE(double* x, int* nPtr, int* mPtr, int* tauPtr, int* scalePtr, double* result) {
    const int scale = *scalePtr;
    if (scale < 1 || *mPtr > ZEMBA_PERLIST_CAP) {
        *result = -1.0;
        return;
    }
    int coarse = *nPtr / scale;
    for (int j = 0; j < coarse; ++j) {
        const double* block = x + static_cast<int64_t>(j) * scale;
        double sum = 0.0;
        for (int t = 0; t < scale; ++t) sum += block[t];
        x[j] = sum;
    }
    calculateDelayPermutationEntropy(x, &coarse, mPtr, tauPtr, result);
}

void DDPE(double* x, int* nPtr, int* mPtr, int* tauPtr, double* result) {
    const int n = *nPtr;
    const int m = *mPtr;
    *result = -1.0;
    const int tau = *tauPtr > 0 ? *tauPtr : 1;
    if (n < m || m <= 1) return;
    const int mp = m - 1;
    *mPtr = mp;
    const int64_t span = static_cast<int64_t>(tau) * mp;

    // Step t compares x[t * tau + 1] with x[t] and exists while t * tau + 1 < n.
    // Window w spells steps w .. w + len - 1, len = min(span, steps - w); it is
    // kept while len >= mp, so the kept windows are a prefix of the scan.
    const int64_t steps = (n - 2) / tau + 1;
    const int64_t kept = std::min<int64_t>(n - span, steps - mp) + 1;
    const int64_t windows = kept > 0 ? kept : 0;
    Tally tally;
    // Code: the steps' bits (1 where no rise) under a marker bit at position len.
    if (span <= 62 && tally.open(uint64_t{2} << span, windows)) {
        const int s = static_cast<int>(span);
        auto fallsAt = [x, tau](int64_t t) -> uint64_t { return x[t * tau + 1] > x[t] ? 0u : 1u; };
        uint64_t bits = 0;
        for (int64_t k = 0; k < std::min<int64_t>(s, steps); ++k) bits |= fallsAt(k) << k;
        for (int64_t w = 0; w < windows; ++w) {
            if (w > 0) {
                bits >>= 1;
                if (w + s - 1 < steps) bits |= fallsAt(w + s - 1) << (s - 1);
            }
            const int64_t len = std::min<int64_t>(s, steps - w);
            tally.add(bits | uint64_t{1} << len);
        }
        *result = tally.entropy(static_cast<int>(windows), [](uint64_t c, std::string& p) {
            int len = 63;
            while (!((c >> len) & 1u)) --len;
            p.assign(static_cast<size_t>(len), '0');
            for (int k = 0; k < len; ++k)
                if ((c >> k) & 1u) p[k] = '1';
        });
        return;
    }

    std::vector<std::string> patterns;
    for (int64_t w = 0; w <= n - span; ++w) {
        std::string str;
        for (int64_t k = 0; k < span; ++k) {
            const int64_t at = (w + k) * tau + 1;
            if (at >= n) break;
            str.push_back(x[at] > x[w + k] ? '0' : '1');
        }
        if (static_cast<int64_t>(str.size()) >= mp) patterns.push_back(std::move(str));
    }
    *result = calculateShannonEntropy(patterns);
}

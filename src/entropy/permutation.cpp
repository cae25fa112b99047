// Permutation entropies over string-coded windows: rise-fall patterns
// (normalised by ln((m-1)!)), ordinal patterns with a delay, their multi-scale
// form on block sums, and delayed rise-fall patterns. Each window becomes one
// string; the sequence is counted by calculateShannonEntropy.
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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

// Rise-fall patterns of up to kCodeBits steps counted as integer codes (bit k
// set where step k does not rise). The entropy is then summed over a
// string-to-count map built from the distinct patterns in order of first
// appearance: the map ends up exactly as counting every window's string would
// leave it, so the terms are added in the same order.
constexpr int kCodeBits = 16;
int32_t codeCount[1 << kCodeBits];  // zero between calls
int32_t firstSeen[1 << kCodeBits];

double riseFallEntropy(const double* x, int n, int L) {
    const int windows = n - L;
    const uint32_t top = 1u << (L - 1);
    uint32_t code = 0;
    for (int k = 0; k + 1 < L; ++k) code |= static_cast<uint32_t>(!(x[k + 1] > x[k])) << (k + 1);
    int distinct = 0;
    for (int i = 0; i < windows; ++i) {
        code = (code >> 1) | (x[i + L] > x[i + L - 1] ? 0u : top);
        if (codeCount[code]++ == 0) firstSeen[distinct++] = static_cast<int32_t>(code);
    }
    std::unordered_map<std::string, int> counts;
    std::string p(static_cast<size_t>(L), '1');
    for (int d = 0; d < distinct; ++d) {
        const uint32_t c = static_cast<uint32_t>(firstSeen[d]);
        for (int k = 0; k < L; ++k) p[k] = (c >> k) & 1u ? '1' : '0';
        counts[p] = codeCount[c];
        codeCount[c] = 0;
    }
    const double total = static_cast<double>(windows);
    double h = 0.0;
    for (const auto& entry : counts) {
        const double q = entry.second / total;
        h = h - std::log(q) * q;
    }
    return h;
}

}  // namespace

void calculatePermutationEntropy(double* x, int* nPtr, int* mPtr, double* result) {
    const int n = *nPtr;
    const int m = *mPtr;
    *result = -1.0;
    if (n < m || m <= 1) return;
    const int L = m - 1;
    *mPtr = L;

    double h;
    if (L <= kCodeBits) {
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

    std::vector<std::string> patterns;
    for (int i = 0; i <= n - mp; ++i) {
        for (int k = 0; k <= mp; ++k) PerList[k] = static_cast<int32_t>(i + static_cast<int64_t>(k) * tau);
        if (i + static_cast<int64_t>(mp) * tau > n) break;
        if (m != 2) {
            for (int p = 0; p + 1 < mp; ++p) {
                int q = p;
                for (int c = p + 1; c < mp; ++c)
                    if (x[PerList[q]] > x[PerList[c]]) q = c;
                std::swap(PerList[p], PerList[q]);
            }
        }
        std::string pat(static_cast<size_t>(mp), '0');
        for (int k = 0; k < mp; ++k) pat[k] = static_cast<char>(48 + (PerList[k] - i) / tau);
        patterns.push_back(std::move(pat));
    }
    *result = calculateShannonEntropy(patterns);
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

    std::vector<std::string> patterns;
    for (int64_t w = 0; w <= n - span; ++w) {
        std::string s;
        for (int64_t k = 0; k < span; ++k) {
            const int64_t at = (w + k) * tau + 1;
            if (at >= n) break;
            s.push_back(x[at] > x[w + k] ? '0' : '1');
        }
        if (static_cast<int64_t>(s.size()) >= mp) patterns.push_back(std::move(s));
    }
    *result = calculateShannonEntropy(patterns);
}

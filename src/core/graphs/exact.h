// Exact comparison of two visibility slopes seen from one sample:
// sign(A * D1 - B * D2) with A = ym - yj, B = ym - yk and D1, D2 differences
// of sample times (or of indices), decided on the stored doubles without
// rounding. Error-free transformations (two-sum, fused two-product, expansion
// sums) decide it when the series' exponent range allows, after an exact
// power-of-two scaling where needed; otherwise fixed-size big integers do.
#ifndef ZEMBA_CORE_GRAPHS_EXACT_H
#define ZEMBA_CORE_GRAPHS_EXACT_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/frame/checks.h"

namespace zemba::core::exact {

inline void twoSum(double a, double b, double& s, double& e) {
    s = a + b;
    const double bv = s - a;
    const double av = s - bv;
    e = (a - av) + (b - bv);
}

inline void twoDiff(double a, double b, double& s, double& e) {
    s = a - b;
    const double bv = a - s;
    const double av = s + bv;
    e = (a - av) + (bv - b);
}

// Sign of the exact sum of count doubles (an expansion grown term by term;
// its largest component carries the sign).
inline int sumSign(const double* terms, int count) {
    double h[40];
    int hn = 0;
    for (int i = 0; i < count; ++i) {
        double q = terms[i];
        int k = 0;
        for (int j = 0; j < hn; ++j) {
            double s, e;
            twoSum(q, h[j], s, e);
            q = s;
            if (e != 0.0) h[k++] = e;
        }
        if (q != 0.0) h[k++] = q;
        hn = k;
    }
    return hn == 0 ? 0 : (h[hn - 1] > 0.0 ? 1 : -1);
}

// ---- fixed-size big integers: every double times 2^1074 is an integer below
// 2^2098; a difference of two needs 34 limbs, a product 68.
struct Big {
    static constexpr int kLimbs = 36;
    uint64_t m[kLimbs];  // magnitude, least significant limb first
    int sign;            // -1, 0, 1
};

inline void toBig(double v, Big& out) {
    std::memset(out.m, 0, sizeof out.m);
    out.sign = v > 0 ? 1 : v < 0 ? -1 : 0;
    if (v == 0.0) return;
    int e = 0;
    const double f = std::frexp(std::fabs(v), &e);      // v = f * 2^e, 0.5 <= f < 1
    const uint64_t mant = static_cast<uint64_t>(std::ldexp(f, 53));  // exact, 53 bits
    int shift = e - 53 + 1074;                          // >= 0 for every double
    uint64_t mm = mant;
    if (shift < 0) {  // subnormal values: the low bits of mant are zero
        mm >>= -shift;
        shift = 0;
    }
    const int limb = shift / 64, bit = shift % 64;
    out.m[limb] |= mm << bit;
    if (bit) out.m[limb + 1] |= mm >> (64 - bit);
}

inline void fromUnsigned(uint64_t v, Big& out) {
    std::memset(out.m, 0, sizeof out.m);
    out.m[0] = v;
    out.sign = v ? 1 : 0;
}

inline int compareMagnitude(const uint64_t* a, const uint64_t* b, int limbs) {
    for (int i = limbs - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

// out = a - b
inline void subtract(const Big& a, const Big& b, Big& out) {
    const int bs = -b.sign;
    if (a.sign == 0 || bs == 0 || a.sign == bs) {  // magnitudes add
        unsigned __int128 carry = 0;
        for (int i = 0; i < Big::kLimbs; ++i) {
            carry += static_cast<unsigned __int128>(a.m[i]) + b.m[i];
            out.m[i] = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
        out.sign = a.sign != 0 ? a.sign : bs;
        return;
    }
    const int c = compareMagnitude(a.m, b.m, Big::kLimbs);
    if (c == 0) {
        std::memset(out.m, 0, sizeof out.m);
        out.sign = 0;
        return;
    }
    const Big& hi = c > 0 ? a : b;
    const Big& lo = c > 0 ? b : a;
    uint64_t borrow = 0;
    for (int i = 0; i < Big::kLimbs; ++i) {
        const uint64_t x = hi.m[i], y = lo.m[i];
        const uint64_t d = x - y - borrow;
        borrow = (x < y || (x == y && borrow)) ? 1 : 0;
        out.m[i] = d;
    }
    out.sign = c > 0 ? a.sign : bs;
}

struct BigProduct {
    uint64_t m[2 * Big::kLimbs];
    int sign;
};

inline void multiply(const Big& a, const Big& b, BigProduct& out) {
    std::memset(out.m, 0, sizeof out.m);
    out.sign = a.sign * b.sign;
    if (out.sign == 0) return;
    for (int i = 0; i < Big::kLimbs; ++i) {
        if (!a.m[i]) continue;
        unsigned __int128 carry = 0;
        for (int j = 0; j < Big::kLimbs; ++j) {
            carry += static_cast<unsigned __int128>(a.m[i]) * b.m[j] + out.m[i + j];
            out.m[i + j] = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
        for (int k = i + Big::kLimbs; carry; ++k) {
            carry += out.m[k];
            out.m[k] = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
    }
}

inline int compareProducts(const BigProduct& p, const BigProduct& q) {
    if (p.sign != q.sign) return p.sign < q.sign ? -1 : 1;
    if (p.sign == 0) return 0;
    const int c = compareMagnitude(p.m, q.m, 2 * Big::kLimbs);
    return p.sign > 0 ? c : -c;
}

// How the predicates of one series are decided.
struct Mode {
    enum Kind { kPlain, kScaled, kBig } kind = kPlain;
    int sy = 0;  // y is multiplied by 2^sy (kScaled)
    int st = 0;  // times are multiplied by 2^st (kScaled)
};

// Exponent bounds of the nonzero magnitudes: |v| < 2^hi, and every value a
// multiple of 2^lo.
struct Range {
    bool any = false;
    int hi = 0, lo = 0;
};

// From the largest magnitude and the smallest nonzero one.
inline Range rangeFrom(double maxAbs, double minAbs) {
    Range r;
    if (maxAbs == 0.0) return r;
    r.any = true;
    r.hi = std::ilogb(maxAbs) + 1;
    const int low = std::ilogb(minAbs) - 52;
    r.lo = low < -1074 ? -1074 : low;
    return r;
}

inline Range rangeOf(const double* v, size_t n) {
    double maxAbs, minAbs;
    magnitudes(v, n, maxAbs, minAbs);
    return rangeFrom(maxAbs, minAbs);
}

// Chooses the exact method for a series whose values have the range ry and
// times t (t NULL: the indices 0..n-1). Expansions are exact when no product
// of a difference of values and a difference of times overflows and the
// smallest unit of such products is representable.
inline Mode chooseMode(const Range& ry, const double* t, size_t n) {
    Mode mode;
    if (!ry.any) return mode;
    Range rt;
    if (t) {
        rt = rangeOf(t, n);
        if (!rt.any) return mode;  // one sample at time 0
    } else {
        rt.any = true;
        rt.hi = std::ilogb(static_cast<double>(n > 1 ? n : 2)) + 1;
        rt.lo = 0;
    }
    auto fits = [&](int sy, int st) {
        const int hy = ry.hi + sy + 1, ht = rt.hi + st + 1;  // differences below 2^hy, 2^ht
        return hy + ht <= 1018 && hy <= 1022 && ht <= 1022 && ry.lo + sy >= -1074 && rt.lo + st >= -1074 &&
               ry.lo + sy + rt.lo + st >= -1074;
    };
    if (fits(0, 0)) return mode;
    int st = 0;
    if (t) {
        st = 1 - rt.hi;  // times below 2
        if (rt.lo + st < -1074) st = -1074 - rt.lo;
    }
    int lower = -1074 - ry.lo;
    if (-1074 - rt.lo - st - ry.lo > lower) lower = -1074 - rt.lo - st - ry.lo;
    int upper = 1018 - (rt.hi + st + 1) - (ry.hi + 1);
    if (1021 - ry.hi < upper) upper = 1021 - ry.hi;
    if (lower <= upper && fits(lower > 0 ? lower : (upper < 0 ? upper : 0), st)) {
        mode.kind = Mode::kScaled;
        mode.sy = lower > 0 ? lower : (upper < 0 ? upper : 0);
        mode.st = st;
        return mode;
    }
    mode.kind = Mode::kBig;
    return mode;
}

// sign((ym - yj) * (tA1 - tA0) - (ym - yk) * (tB1 - tB0)); for index times
// the differences are passed as dA = tA1 - tA0 and dB exactly (tA0 = tB0 = 0).
inline int slopeSign(const Mode& mode, double ym, double yj, double yk, double tA1, double tA0, double tB1,
                     double tB0) {
    if (mode.kind == Mode::kBig) {
        Big a, b, c, d, e, f;
        toBig(ym, a);
        toBig(yj, b);
        subtract(a, b, c);  // ym - yj
        toBig(yk, b);
        subtract(a, b, d);  // ym - yk
        toBig(tA1, a);
        toBig(tA0, b);
        subtract(a, b, e);
        toBig(tB1, a);
        toBig(tB0, b);
        subtract(a, b, f);
        BigProduct p, q;
        multiply(c, e, p);
        multiply(d, f, q);
        return compareProducts(p, q);
    }
    if (mode.kind == Mode::kScaled) {
        ym = std::ldexp(ym, mode.sy);
        yj = std::ldexp(yj, mode.sy);
        yk = std::ldexp(yk, mode.sy);
        tA1 = std::ldexp(tA1, mode.st);
        tA0 = std::ldexp(tA0, mode.st);
        tB1 = std::ldexp(tB1, mode.st);
        tB0 = std::ldexp(tB0, mode.st);
    }
    double a1, a0, b1, b0, d1, d0, e1, e0;
    twoDiff(ym, yj, a1, a0);
    twoDiff(ym, yk, b1, b0);
    twoDiff(tA1, tA0, d1, d0);
    twoDiff(tB1, tB0, e1, e0);
    const double f[4] = {a1, a0, -b1, -b0};
    const double g[4] = {d1, d0, e1, e0};
    double terms[16];
    int count = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j) {
            const double x = f[i], z = g[(i < 2 ? 0 : 2) + j];
            if (x == 0.0 || z == 0.0) continue;
            const double p = x * z;
            terms[count++] = p;
            terms[count++] = std::fma(x, z, -p);
        }
    return sumSign(terms, count);
}

}  // namespace zemba::core::exact

#endif

// Scans of a series' values for the kernels' argument checks: the first NaN
// or infinity, the largest and smallest nonzero magnitudes, and the least and
// greatest values. They write only their result arguments.
#include "core/frame/checks.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/frame/dispatch.h"

namespace zemba::core {
namespace {

constexpr size_t kChunk = 64;  // values between two looks for a bad one

bool nonfinite(double v) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return (b & 0x7ff0000000000000ull) == 0x7ff0000000000000ull;
}

// Whole chunks with nothing bad are passed at vector speed; the chunk holding
// the first bad value and the tail are searched one value at a time.
struct FirstNonfinite {
    template <class V>
    static ZEMBA_KERNEL size_t run(const double* x, size_t n) {
        typedef typename V::vd vd;
        size_t i = 0;
        for (; i + kChunk <= n; i += kChunk) {
            vd nan = vd{};  // v - v is 0 for a finite v and NaN for the others
            for (size_t k = 0; k < kChunk; k += 2 * V::W) {
                vd v, w;
                V::load(v, x + i + k);
                V::load(w, x + i + k + V::W);
                nan = nan + ((v - v) + (w - w));
            }
            if (V::bits(nan == nan) != (1u << V::W) - 1) break;
        }
        for (; i < n; ++i)
            if (nonfinite(x[i])) return i;
        return n;
    }
};

// Small: the smallest nonzero magnitude too (into *small).
template <bool Small>
struct ValueRange {
    template <class V>
    static ZEMBA_KERNEL bool run(const double* x, size_t n, double& lo, double& hi, double* small) {
        typedef typename V::vd vd;
        double a = x[0], b = x[0], s = HUGE_VAL;
        size_t i = 0;
        bool finite = true;
        if (n >= static_cast<size_t>(V::W)) {
            vd l, h, v, nan = vd{}, m = vd{} + HUGE_VAL;  // v - v is 0 for a finite v and NaN for the others
            V::load(l, x);
            h = l;
            for (; i + V::W <= n; i += V::W) {
                V::load(v, x + i);
                V::min(l, v);
                V::max(h, v);
                nan = nan + (v - v);
                if (Small) {
                    V::abs(v);
                    V::min(m, v == vd{} ? vd{} + HUGE_VAL : v);
                }
            }
            for (int k = 0; k < V::W; ++k) {
                a = l[k] < a ? l[k] : a;
                b = h[k] > b ? h[k] : b;
                s = m[k] < s ? m[k] : s;
            }
            finite = V::bits(nan == nan) == (1u << V::W) - 1;
        }
        for (; i < n; ++i) {
            a = x[i] < a ? x[i] : a;
            b = x[i] > b ? x[i] : b;
            finite &= x[i] - x[i] == 0.0;
            const double abs = std::fabs(x[i]);
            if (Small && abs != 0.0) s = abs < s ? abs : s;
        }
        lo = a;
        hi = b;
        if (Small) *small = s;
        return finite;
    }
};

}  // namespace

size_t firstNonfinite(const double* x, size_t n) { return dispatch<FirstNonfinite>(x, n); }

void magnitudes(const double* x, size_t n, double& maxAbs, double& minAbs) {
    double lo = 0.0, hi = 0.0;
    minAbs = HUGE_VAL;
    if (n) valueSpan(x, n, lo, hi, minAbs);
    maxAbs = -lo > hi ? -lo : hi;
}

bool valueRange(const double* x, size_t n, double& lo, double& hi) {
    return dispatch<ValueRange<false>>(x, n, lo, hi, nullptr);
}

bool valueSpan(const double* x, size_t n, double& lo, double& hi, double& minAbs) {
    return dispatch<ValueRange<true>>(x, n, lo, hi, &minAbs);
}

}  // namespace zemba::core

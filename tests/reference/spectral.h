// Naive references for the spectral routines, sharing no code with the
// library: Burg's recursion written out plainly (in the original routine's
// own arithmetic, and in any wider type), the AR spectrum evaluated term by
// term, composite Simpson integration and the closed-form AR(2) variance.
#ifndef ZEMBA_TESTS_REFERENCE_SPECTRAL_H
#define ZEMBA_TESTS_REFERENCE_SPECTRAL_H

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace zemba_reference {

// ---- the original routine's recursion (memcof), in double, plain loops ----

struct MemcofResult {
    std::vector<double> d;     // coefficients
    std::vector<double> f, b;  // forward and backward errors left behind
    std::vector<double> prev;  // previous stage's coefficients
    double xms = 0.0;          // (sum x^2 / n) prod (1 - k^2)
};

inline MemcofResult memcofPlain(const std::vector<double>& x, int m) {
    const int n = static_cast<int>(x.size());
    MemcofResult r;
    r.d.assign(static_cast<size_t>(m), 0.0);
    r.prev.assign(static_cast<size_t>(m) + 1, 0.0);
    r.f.assign(x.begin(), x.end() - 1);
    r.b.assign(x.begin() + 1, x.end());
    double p = 0.0;
    for (double v : x) p += v * v;
    r.xms = p / n;
    for (int k = 0; k < m; ++k) {
        double num = 0.0, den = 0.0;
        const int len = n - 1 - k;
        for (int j = 0; j < len; ++j) {
            num += r.f[j] * r.b[j];
            den += r.f[j] * r.f[j] + r.b[j] * r.b[j];
        }
        r.d[k] = 2.0 * num / den;
        r.xms *= 1.0 - r.d[k] * r.d[k];
        for (int i = 0; i < k; ++i) r.d[i] = r.prev[i] - r.d[k] * r.prev[k - 1 - i];
        if (k == m - 1) break;
        for (int i = 0; i <= k; ++i) r.prev[i] = r.d[i];
        for (int j = 0; j < len - 1; ++j) {
            r.f[j] -= r.prev[k] * r.b[j];
            r.b[j] = r.b[j + 1] - r.prev[k] * r.f[j + 1];
        }
    }
    return r;
}

// ---- Burg in a wide type T (long double, __float128) ----
// Mean removed in T; each stage's reflection coefficient 2 sum f b /
// sum (f^2 + b^2) from sums in index order; the variance summed directly from
// the last stage's errors, sum (f_p^2 + b_p^2) / (2 (n - p)). A stage whose
// errors are all zero gets reflection 0.

template <class T>
struct BurgWide {
    std::vector<T> coefs, reflection;
    T variance = 0;
};

template <class T>
BurgWide<T> burgWide(const std::vector<double>& x, size_t order, bool demean) {
    const size_t n = x.size();
    std::vector<T> y(n);
    T mean = 0;
    if (demean) {
        for (double v : x) mean += T(v);
        mean /= T(n);
    }
    for (size_t i = 0; i < n; ++i) y[i] = T(x[i]) - mean;
    BurgWide<T> r;
    r.coefs.assign(order, T(0));
    r.reflection.assign(order, T(0));
    if (order == 0) {
        for (const T& v : y) r.variance += v * v;
        r.variance /= T(n);
        return r;
    }
    // f[t], b[t]: forward and backward errors of the last stage at time t.
    std::vector<T> f(y), b(y);
    for (size_t p = 1; p <= order; ++p) {
        T num = 0, den = 0;
        for (size_t t = p; t < n; ++t) {
            num += f[t] * b[t - 1];
            den += f[t] * f[t] + b[t - 1] * b[t - 1];
        }
        const T k = den > T(0) ? T(2) * num / den : T(0);
        r.reflection[p - 1] = k;
        std::vector<T> prev(r.coefs.begin(), r.coefs.begin() + (p - 1));
        for (size_t i = 0; i + 1 < p; ++i) r.coefs[i] = prev[i] - k * prev[p - 2 - i];
        r.coefs[p - 1] = k;
        // f_p(t) = f(t) - k b(t - 1), b_p(t) = b(t - 1) - k f(t), t >= p.
        for (size_t t = n - 1; t >= p; --t) {
            const T ft = f[t] - k * b[t - 1], bt = b[t - 1] - k * f[t];
            f[t] = ft;
            b[t] = bt;
        }
    }
    for (size_t t = order; t < n; ++t) r.variance += f[t] * f[t] + b[t] * b[t];
    r.variance /= T(2) * T(n - order);
    return r;
}

// Variance of the model process, sigma^2 / prod (1 - r_k^2).
template <class T>
T modelVariance(const BurgWide<T>& m) {
    T v = m.variance;
    for (const T& k : m.reflection) v /= (T(1) - k * k);
    return v;
}

// Variance of the AR model with coefficients a and innovation variance var:
// reflection coefficients by the step-down recursion in T, then
// var / prod (1 - r_k^2).
template <class T>
T arModelVariance(const std::vector<double>& a, double var) {
    std::vector<T> c(a.begin(), a.end());
    T v = var;
    for (size_t p = c.size(); p > 0; --p) {
        const T k = c[p - 1], q = T(1) - k * k;
        v /= q;
        std::vector<T> prev(p - 1);
        for (size_t i = 0; i + 1 < p; ++i) prev[i] = (c[i] + k * c[p - 2 - i]) / q;
        c = prev;
    }
    return v;
}

// ---- spectra ----

// pm / |1 - sum d[k] e^{i(k+1) 2 pi fdt}|^2 evaluated term by term (fdt in
// cycles per sample).
template <class T>
T arSpectrum(T fdt, const std::vector<T>& d, T pm) {
    const T twoPi = T(6.283185307179586476925286766559L);
    std::complex<T> a(1, 0);
    for (size_t k = 0; k < d.size(); ++k) a -= d[k] * std::polar(T(1), twoPi * fdt * T(k + 1));
    return pm / std::norm(a);
}

// One-sided density 2 var / sfreq / |A(f)|^2 at f Hz.
inline long double arPsd(long double f, const std::vector<long double>& a, long double var, long double sfreq) {
    return arSpectrum<long double>(f / sfreq, a, 2 * var / sfreq);
}

// Composite Simpson over [lo, hi] with `intervals` (even) intervals.
template <class F>
double simpson(F f, double lo, double hi, int intervals) {
    const double h = (hi - lo) / intervals;
    double odd = 0, even = 0;
    for (int i = 1; i < intervals; ++i) (i % 2 ? odd : even) += f(lo + i * h);
    const double s = f(lo) + 4 * odd + 2 * even + f(hi);
    return s * h / 3;
}

// The AR(2) model with poles r e^{+-iw}: d = (2 r cos w, -r^2) and its process
// variance per unit innovation variance, (1 - p2) / ((1 + p2)((1 - p2)^2 - p1^2)).
struct Ar2 {
    double d[2];
    double variance;
    Ar2(double r, double w) {
        d[0] = 2 * r * std::cos(w);
        d[1] = -r * r;
        const long double p1 = d[0], p2 = d[1];
        variance = static_cast<double>((1 - p2) / ((1 + p2) * ((1 - p2) * (1 - p2) - p1 * p1)));
    }
};

}  // namespace zemba_reference

#endif

// Spectrum of an AR model, 2 sigma^2 / sfreq / |A(f)|^2, at given frequencies,
// and its integrals over frequency bands by adaptive Gauss-Kronrod quadrature;
// the C entry points of the spectral kernels. Writes only the caller's
// outputs; the quadrature's interval list is allocated per call.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/frame/dispatch.h"
#include "core/spectral/burg.h"
#include "zemba/core.h"

namespace zemba::core {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Bands integrated to this relative accuracy; the quadrature aims ten times
// tighter, measured by |Kronrod - Gauss| (which overstates the Kronrod error).
constexpr double kTarget = 1e-10;
// Intervals narrower than this (radians) are not split further.
constexpr double kNarrowest = 1e-13;
// Split budget per band: beyond it the estimate so far is returned.
constexpr size_t kMaxIntervals = 1000;

// Gauss-Kronrod 7-15 nodes (non-negative half) and weights.
const double kXgk[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                        0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                        0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                        0.207784955007898467600689403773245, 0.0};
const double kWgk[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                        0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                        0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                        0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
const double kWg[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                       0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

const double kDefaultBands[ZEMBA_DEFAULT_BAND_COUNT][2] = {{0.5, 4.0}, {4.0, 8.0}, {8.0, 13.0}, {13.0, 30.0},
                                                           {30.0, 45.0}};
const char* const kDefaultBandNames[ZEMBA_DEFAULT_BAND_COUNT] = {"delta", "theta", "alpha", "beta", "gamma"};

// |A(e^{-iw})|^2 with A(z) = 1 - sum a[k] z^(k+1), by complex Horner in T.
template <class T>
T horner(const double* a, size_t p, double w) {
    const T c = std::cos(static_cast<T>(w)), s = std::sin(static_cast<T>(w));
    T br = a[p - 1], bi = 0;
    for (size_t k = p - 1; k-- > 0;) {
        const T r = a[k] + (c * br + s * bi);
        bi = c * bi - s * br;
        br = r;
    }
    const T ar = 1 - (c * br + s * bi), ai = -(c * bi - s * br);
    return ar * ar + ai * ai;
}

// |A|^2, in double where that keeps about 12 digits: its rounding error is
// near 2 eps sum |a| / |A|, so where |A| falls below 1e-4 sum |a| (next to a
// pole on the unit circle) it is evaluated again in long double.
double refined(const double* a, size_t p, double w, double d, double size) {
    return d >= 1e-8 * size * size ? d : static_cast<double>(horner<long double>(a, p, w));
}

double denominator(const double* a, size_t p, double w, double size) {
    return p == 0 ? 1.0 : refined(a, p, w, horner<double>(a, p, w), size);
}

constexpr size_t kNodes = 16;  // the 15 Kronrod nodes and one spare

// horner<double> at kNodes frequencies side by side, from their cosines c
// and sines s: the same expression in every lane, so the same bits, without
// waiting on one chain.
struct HornerNodes {
    template <class V>
    static ZEMBA_KERNEL void run(const double* a, size_t p, const double* c, const double* s, double* out) {
        using vd = typename V::vd;
        for (size_t j = 0; j < kNodes; j += V::W) {
            vd cv, sv, br, bi{}, ak;
            V::load(cv, c + j);
            V::load(sv, s + j);
            V::broadcast(br, a[p - 1]);
            for (size_t k = p - 1; k-- > 0;) {
                V::broadcast(ak, a[k]);
                const vd r = ak + (cv * br + sv * bi);
                bi = cv * bi - sv * br;
                br = r;
            }
            const vd one = vd{} + 1.0;
            const vd ar = one - (cv * br + sv * bi), ai = cv * bi - sv * br;
            V::store(out + j, ar * ar + ai * ai);
        }
    }
};

// denominator() at the kNodes frequencies: centre - d[i] at i, centre + d[i]
// at 7 + i (i < 7), the centre at 14 and 15. Their cosines and sines come by
// angle addition from the centre's (cc, sc) and the offsets'.
void denominators(const double* a, size_t p, double centre, double cc, double sc, const double* d, double size,
                  double* out) {
    if (p == 0) {
        std::fill(out, out + kNodes, 1.0);
        return;
    }
    double c[kNodes], s[kNodes];
    for (int i = 0; i < 7; ++i) {
        const double cd = std::cos(d[i]), sd = std::sin(d[i]);
        c[i] = cc * cd + sc * sd, s[i] = sc * cd - cc * sd;
        c[7 + i] = cc * cd - sc * sd, s[7 + i] = sc * cd + cc * sd;
    }
    c[14] = c[15] = cc, s[14] = s[15] = sc;
    dispatch<HornerNodes>(a, p, c, s, out);
    for (size_t j = 0; j < kNodes; ++j) {
        const double w = j < 7 ? centre - d[j] : j < 14 ? centre + d[j - 7] : centre;
        out[j] = refined(a, p, w, out[j], size);
    }
}

// |dA(e^{-iw})/dw| = |sum (k + 1) a[k] e^{-i(k+1)w}|, from c = cos w, s = sin w.
double slope(const double* a, size_t p, double c, double s) {
    double zr = 1.0, zi = 0.0, sr = 0.0, si = 0.0;
    for (size_t k = 0; k < p; ++k) {
        const double t = zr * c + zi * s;
        zi = zi * c - zr * s;
        zr = t;
        sr += static_cast<double>(k + 1) * a[k] * zr;
        si += static_cast<double>(k + 1) * a[k] * zi;
    }
    return std::sqrt(sr * sr + si * si);
}

double coefSize(const double* a, size_t p) {
    double s = 1.0;
    for (size_t k = 0; k < p; ++k) s += std::fabs(a[k]);
    return s;
}

struct Piece {
    double a, b, value, error;
    bool resolved;  // |A| stays above a quarter of its centre value on [a, b]
};

bool lessUrgent(const Piece& x, const Piece& y) {
    if (x.resolved != y.resolved) return x.resolved;  // unresolved pieces first
    return x.error < y.error;
}

// Integral of 1 / |A(e^{-iw})|^2 over bands of w.
class Integrator {
public:
    Integrator(const double* a, size_t p) : a_(a), p_(p), size_(coefSize(a, p)) {
        for (size_t k = 0; k < p; ++k) curvature_ += static_cast<double>((k + 1) * (k + 1)) * std::fabs(a[k]);
    }

    double integrate(double lo, double hi) {
        if (!(hi > lo)) return 0.0;
        heap_.clear();
        done_.clear();
        push(lo, hi);
        size_t unresolved = heap_.back().resolved ? 0 : 1;
        double value = heap_.back().value, error = heap_.back().error;
        while (!heap_.empty() && heap_.size() + done_.size() < kMaxIntervals) {
            if (unresolved == 0 && error <= kTarget * std::fabs(value)) break;
            std::pop_heap(heap_.begin(), heap_.end(), lessUrgent);
            const Piece worst = heap_.back();
            heap_.pop_back();
            unresolved -= worst.resolved ? 0 : 1;
            error -= worst.error;
            if (worst.b - worst.a <= kNarrowest) {  // kept as it is
                done_.push_back(worst);
                continue;
            }
            const double mid = 0.5 * (worst.a + worst.b);
            for (const Piece& q : {evaluate(worst.a, mid), evaluate(mid, worst.b)}) {
                heap_.push_back(q);
                std::push_heap(heap_.begin(), heap_.end(), lessUrgent);
                unresolved += q.resolved ? 0 : 1;
                error += q.error;
                value += q.value;
            }
            value -= worst.value;
        }
        // The final value summed afresh, left to right.
        done_.insert(done_.end(), heap_.begin(), heap_.end());
        std::sort(done_.begin(), done_.end(), [](const Piece& x, const Piece& y) { return x.a < y.a; });
        double sum = 0.0;
        for (const Piece& q : done_) sum += q.value;
        return sum;
    }

private:
    void push(double a, double b) {
        heap_.push_back(evaluate(a, b));
        std::push_heap(heap_.begin(), heap_.end(), lessUrgent);
    }

    Piece evaluate(double a, double b) const {
        const double c = 0.5 * (a + b), h = 0.5 * (b - a);
        const double cc = std::cos(c), sc = std::sin(c);
        double d[7], den[kNodes];
        for (int i = 0; i < 7; ++i) d[i] = h * kXgk[i];
        denominators(a_, p_, c, cc, sc, d, size_, den);
        const double fc = 1.0 / den[14];
        double kronrod = kWgk[7] * fc, gauss = kWg[3] * fc;
        for (int i = 0; i < 7; ++i) {
            const double f = 1.0 / den[i] + 1.0 / den[7 + i];
            kronrod += kWgk[i] * f;
            if (i % 2 == 1) gauss += kWg[i / 2] * f;
        }
        Piece q;
        q.a = a;
        q.b = b;
        q.value = kronrod * h;
        q.error = std::fabs((kronrod - gauss) * h);
        // |A(w)| >= |A(c)| - |A'(c)| |w - c| - max |A''| (w - c)^2 / 2 stays
        // above a quarter of |A(c)| on the piece: no peak hides between nodes.
        q.resolved = (slope(a_, p_, cc, sc) + 0.5 * curvature_ * h) * h <= 0.75 * std::sqrt(1.0 / fc);
        return q;
    }

    const double* a_;
    size_t p_;
    double size_;             // 1 + sum |a|
    double curvature_ = 0.0;  // bound on |d^2 A / dw^2|
    std::vector<Piece> heap_, done_;  // pieces to refine, pieces kept
};

bool validRate(double sfreq) { return std::isfinite(sfreq) && sfreq > 0.0; }

int checkModel(const double* coefs, size_t order, double variance) {
    if (!allFinite(coefs, order) || !std::isfinite(variance)) return ZEMBA_E_NONFINITE;
    return variance < 0.0 ? ZEMBA_E_ARGUMENT : ZEMBA_OK;
}

// Index of the first band that is not 0 <= low <= high <= sfreq / 2, or nbands.
size_t firstBadBand(const double* bands, size_t nbands, double sfreq) {
    const double nyquist = 0.5 * sfreq;
    for (size_t i = 0; i < nbands; ++i) {
        const double lo = bands[2 * i], hi = bands[2 * i + 1];
        if (!(lo >= 0.0 && lo <= hi && hi <= nyquist)) return i;  // NaN fails too
    }
    return nbands;
}

size_t firstBadFrequency(const double* freqs, size_t nfreqs, double sfreq) {
    const double nyquist = 0.5 * sfreq;
    for (size_t i = 0; i < nfreqs; ++i)
        if (!(freqs[i] >= 0.0 && freqs[i] <= nyquist)) return i;
    return nfreqs;
}

void psdOf(const double* coefs, size_t order, double variance, double sfreq, const double* freqs, size_t nfreqs,
           double* psd) {
    const double scale = 2.0 * variance / sfreq, size = coefSize(coefs, order);
    for (size_t i = 0; i < nfreqs; ++i)
        psd[i] = variance == 0.0 ? 0.0 : scale / denominator(coefs, order, kTwoPi * (freqs[i] / sfreq), size);
}

void bandPowersOf(const double* coefs, size_t order, double variance, double sfreq, const double* bands,
                  size_t nbands, int relative, double* powers) {
    std::vector<double> out(nbands, 0.0);
    double total = 0.0;
    if (variance > 0.0) {
        Integrator quad(coefs, order);
        const double scale = variance / kPi;  // (2 var / sfreq) df = (var / pi) dw
        for (size_t i = 0; i < nbands; ++i)
            out[i] = scale * quad.integrate(kTwoPi * (bands[2 * i] / sfreq), kTwoPi * (bands[2 * i + 1] / sfreq));
        if (relative) total = scale * quad.integrate(0.0, kPi);
    }
    for (size_t i = 0; i < nbands; ++i) powers[i] = relative ? out[i] / total : out[i];
}

// The bands to use: the caller's, or the default five when bands is null.
const double* bandsOrDefault(const double* bands) { return bands ? bands : &kDefaultBands[0][0]; }

}  // namespace
}  // namespace zemba::core

using namespace zemba::core;

extern "C" int zemba_default_band(size_t index, const char** name, double* low, double* high) {
    if (index >= ZEMBA_DEFAULT_BAND_COUNT) return ZEMBA_E_ARGUMENT;
    if (name) *name = kDefaultBandNames[index];
    if (low) *low = kDefaultBands[index][0];
    if (high) *high = kDefaultBands[index][1];
    return ZEMBA_OK;
}

extern "C" int zemba_ar_psd(const double* coefs, size_t order, double variance, double sfreq, const double* freqs,
                            size_t nfreqs, double* psd, size_t* bad_index) {
    if (bad_index) *bad_index = nfreqs;
    if ((order && !coefs) || (nfreqs && (!freqs || !psd))) return ZEMBA_E_NULL;
    if (!validRate(sfreq)) return ZEMBA_E_ARGUMENT;
    const size_t bad = firstBadFrequency(freqs, nfreqs, sfreq);
    if (bad < nfreqs) {
        if (bad_index) *bad_index = bad;
        return ZEMBA_E_ARGUMENT;
    }
    if (int st = checkModel(coefs, order, variance)) return st;
    psdOf(coefs, order, variance, sfreq, freqs, nfreqs, psd);
    return ZEMBA_OK;
}

extern "C" int zemba_ar_band_powers(const double* coefs, size_t order, double variance, double sfreq,
                                    const double* bands, size_t nbands, int relative, double* powers,
                                    size_t* bad_band) {
    if (bad_band) *bad_band = nbands;
    if ((order && !coefs) || (nbands && !powers)) return ZEMBA_E_NULL;
    if (bands == nullptr && nbands != ZEMBA_DEFAULT_BAND_COUNT) return ZEMBA_E_ARGUMENT;
    if (!validRate(sfreq)) return ZEMBA_E_ARGUMENT;
    const double* b = bandsOrDefault(bands);
    const size_t bad = firstBadBand(b, nbands, sfreq);
    if (bad < nbands) {
        if (bad_band) *bad_band = bad;
        return ZEMBA_E_ARGUMENT;
    }
    if (int st = checkModel(coefs, order, variance)) return st;
    try {
        bandPowersOf(coefs, order, variance, sfreq, b, nbands, relative, powers);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

namespace {

// Shared front of the series entry points: resolves the order and fits the model.
int fitForSpectrum(const double* x, size_t n, size_t order, std::vector<double>& coefs, double& variance) {
    if (order == ZEMBA_ORDER_AUTO) order = burgDefaultOrder(n);
    if (order >= n) return ZEMBA_E_TOO_SHORT;
    if (!allFinite(x, n)) return ZEMBA_E_NONFINITE;
    coefs.resize(order);
    return burgFit(x, n, order, true, coefs.data(), &variance, nullptr);
}

}  // namespace

extern "C" int zemba_burg_psd(const double* x, size_t n, double sfreq, size_t order, const double* freqs,
                              size_t nfreqs, double* psd, size_t* bad_index) {
    if (bad_index) *bad_index = nfreqs;
    if ((n && !x) || (nfreqs && (!freqs || !psd))) return ZEMBA_E_NULL;
    if (!validRate(sfreq)) return ZEMBA_E_ARGUMENT;
    const size_t bad = firstBadFrequency(freqs, nfreqs, sfreq);
    if (bad < nfreqs) {
        if (bad_index) *bad_index = bad;
        return ZEMBA_E_ARGUMENT;
    }
    try {
        std::vector<double> coefs;
        double variance = 0.0;
        if (int st = fitForSpectrum(x, n, order, coefs, variance)) return st;
        psdOf(coefs.data(), coefs.size(), variance, sfreq, freqs, nfreqs, psd);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

extern "C" int zemba_band_powers(const double* x, size_t n, double sfreq, size_t order, const double* bands,
                                 size_t nbands, int relative, double* powers, size_t* bad_band) {
    if (bad_band) *bad_band = nbands;
    if ((n && !x) || (nbands && !powers)) return ZEMBA_E_NULL;
    if (bands == nullptr && nbands != ZEMBA_DEFAULT_BAND_COUNT) return ZEMBA_E_ARGUMENT;
    if (!validRate(sfreq)) return ZEMBA_E_ARGUMENT;
    const double* b = bandsOrDefault(bands);
    const size_t bad = firstBadBand(b, nbands, sfreq);
    if (bad < nbands) {
        if (bad_band) *bad_band = bad;
        return ZEMBA_E_ARGUMENT;
    }
    try {
        std::vector<double> coefs;
        double variance = 0.0;
        if (int st = fitForSpectrum(x, n, order, coefs, variance)) return st;
        bandPowersOf(coefs.data(), coefs.size(), variance, sfreq, b, nbands, relative, powers);
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
    return ZEMBA_OK;
}

// Band power of a Burg model spectrum: an adaptive three-way Simpson
// integrator specialised to evlmem (integ), the folded two-sided band
// integral (band_power) and the five EEG band powers of a series (memse).
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame/arith.h"

namespace {

double memCoefs[ZEMBA_BURG_ORDER_CAP];

constexpr int kLevels = 60;      // saved levels 0 .. 59
constexpr int kLevelLimit = 30;  // deepest level reached by tolerance-driven splits
constexpr int kBudget = 512;     // interval starts
constexpr double kLevelFactor = 1.7;

struct Level {
    int third;  // 1, 2 or 3: the third being worked on
    double fm2, fb2, est2;
    double fm3, fb3, est3;
};

}  // namespace

double integ(double* d, long m, double pm, double a, double b, double eps) {
    Level lv[kLevels];
    lv[0].third = 3;

    auto f = [&](double t) { return evlmem(t, d, m, pm); };

    double FA = f(a), FB = f(b), FM = 4.0 * f((a + b) * 0.5);
    double DA = b - a;
    double EST = 1.0, AREA = 1.0, G = 1.0, SUM = 0.0;
    int L = 0, budget = kBudget;

    // Budget exhausted: what is finished plus the estimates still pending,
    // left to right, so the result spans the whole interval.
    auto pending = [&]() {
        double s = SUM + EST;
        for (int l = L; l >= 1; --l) {
            if (lv[l].third < 2) s += lv[l].est2;
            if (lv[l].third < 3) s += lv[l].est3;
        }
        return s;
    };

    for (;;) {
        // Split the current interval into thirds.
        const double DX = DA / 3.0;
        ++L;
        G *= kLevelFactor;
        const double F1 = 4.0 * f(a + 0.5 * DX);
        const double F2 = f(a + DX);
        const double F3 = f(a + 2.0 * DX);
        const double F4 = 4.0 * f(a + 2.5 * DX);
        Level& s = lv[L];
        s.fm2 = FM;
        s.fb2 = F3;
        s.fm3 = F4;
        s.fb3 = FB;
        const double EST1 = (FA + F1 + F2) * DX / 6.0;
        const double EST2 = (FM + F2 + F3) * DX / 6.0;
        const double EST3 = (F3 + F4 + FB) * DX / 6.0;
        s.est2 = EST2;
        s.est3 = EST3;
        AREA = AREA - std::fabs(EST) + std::fabs(EST1) + std::fabs(EST2) + std::fabs(EST3);

        bool descend;
        const double S3 = EST1 + EST2 + EST3;
        if (std::fabs(EST - 1.0) < 1e-06) {
            descend = L < kLevels - 1;  // no split beyond the saved levels
        } else if (std::fabs(EST - S3) * G <= eps * AREA) {
            descend = false;
        } else {
            descend = L < kLevelLimit;
        }
        // An interval that is accepted or stops at a depth limit adds S3.

        if (descend) {
            s.third = 1;
            DA = DX;
            FM = F1;
            FB = F2;
            EST = EST1;
            if (--budget == 0) return pending();
            continue;
        }

        SUM += S3;
        double W = DX;
        const double E = a + DA;
        int P;
        for (;;) {
            --L;
            P = lv[L].third;
            if (P == 3 && L <= 1) return SUM;
            G /= kLevelFactor;
            W *= 3.0;
            if (P != 3) break;
        }
        Level& up = lv[L];
        a = E;
        DA = W;
        FA = FB;
        if (P == 1) {
            FM = up.fm2;
            FB = up.fb2;
            EST = up.est2;
        } else {
            FM = up.fm3;
            FB = up.fb3;
            EST = up.est3;
        }
        up.third = P + 1;
        if (--budget == 0) return pending();
    }
}

double band_power(double lo, double hi, double* d, long m, double pm) {
    if (lo < 0.0) lo = 0.0;
    if (hi < 0.0) hi = 0.0;
    if (lo > hi) {
        const double t = lo;
        lo = hi;
        hi = t;
    }
    if (lo == hi) return 0.0;
    return 2.0 * integ(d, m, pm, lo, hi, 1e-07);
}

void memse(double* x, int* nPtr, double* fsPtr, double* out) {
    static const double kLow[5] = {0.53, 4.0, 8.0, 13.0, 30.0};
    static const double kHigh[5] = {4.0, 8.0, 13.0, 30.0, 60.0};

    const int n = *nPtr;
    const int32_t m = zemba::trunc32(std::sqrt(static_cast<double>(n)) + 0.5);
    const double fs = *fsPtr;
    if (n < 2 || m > ZEMBA_BURG_ORDER_CAP || !(fs > 0.0) || !std::isfinite(fs)) {
        for (int i = 0; i < 5; ++i) out[i] = std::numeric_limits<double>::quiet_NaN();
        return;
    }

    std::memset(wkm, 0, sizeof wkm);
    std::memset(memCoefs, 0, sizeof memCoefs);
    std::memset(wk1, 0, sizeof wk1);
    std::memset(wk2, 0, sizeof wk2);
    double xms = 0.0;
    memcof(x, n, m, xms, memCoefs);
    zemba::diag::printf("df*freq=%lf\t poles=%d\n", fs * 0.006329113924050633, m);
    for (int i = 0; i < 5; ++i) out[i] = band_power(kLow[i] / fs, kHigh[i] / fs, memCoefs, m, xms);
}

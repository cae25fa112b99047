// Burg maximum-entropy (all-poles) model of a series: the coefficients and
// residual mean square (memcof) and the model spectrum at one frequency
// (evlmem). Prediction errors live in wk1/wk2, the previous stage in wkm.
#include "zemba.h"

#include <cmath>

#include "core/frame/dispatch.h"
#include "frame/arith.h"

namespace {

// One stage's update of the forward and backward prediction errors:
//   wk1[l] -= r wk2[l];  wk2[l] = wk2[l + 1] - r wk1[l + 1]   (l < count)
// Each entry reads only entries not yet rewritten (wk1[l + 1] is rewritten one
// step later), so W entries at a time, loading before storing, give the same
// values.
struct UpdateErrors {
    template <class V>
    static ZEMBA_KERNEL void run(double r, int64_t count) {
        typedef typename V::vd vd;
        constexpr int W = V::W;
        vd rr, f, b, fNext, bNext;
        V::broadcast(rr, r);
        int64_t l = 0;
        for (; l + W <= count; l += W) {
            V::load(f, wk1 + l);
            V::load(b, wk2 + l);
            V::load(fNext, wk1 + l + 1);
            V::load(bNext, wk2 + l + 1);
            f = f - rr * b;
            b = bNext - rr * fNext;
            V::store(wk1 + l, f);
            V::store(wk2 + l, b);
        }
        for (; l < count; ++l) {
            wk1[l] -= r * wk2[l];
            wk2[l] = wk2[l + 1] - r * wk1[l + 1];
        }
    }
};

}  // namespace

int memcof(double const* x, long nArg, long mArg, double& xms, double* d) {
    const int32_t n = zemba::narrow32(nArg);
    const int32_t m = zemba::narrow32(mArg);
    // wk1/wk2 hold n - 1 errors, wkm the m - 1 previous-stage coefficients.
    if (n > ZEMBA_SERIES_CAP + 1 || m > ZEMBA_BURG_ORDER_CAP + 1) return 0;

    double p = 0.0;
    for (int32_t j = 0; j < n; ++j) p += x[j] * x[j];
    xms = p / n;

    const int64_t last = static_cast<int64_t>(n) - 1;  // prediction errors; n = INT32_MIN must not wrap
    for (int64_t j = 0; j < last; ++j) {
        wk1[j] = x[j];
        wk2[j] = x[j + 1];
    }
    for (int32_t k = 0; k < m; ++k) {
        double num = 0.0, den = 0.0;
        const int64_t len = last - k;
        for (int64_t l = 0; l < len; ++l) {
            num += wk1[l] * wk2[l];
            den += wk1[l] * wk1[l] + wk2[l] * wk2[l];
        }
        num = 2.0 * num;
        d[k] = num / den;
        xms *= (1.0 - d[k] * d[k]);
        for (int32_t l = 0; l < k; ++l) d[l] = wkm[l] - d[k] * wkm[k - 1 - l];
        if (k == m - 1) break;
        for (int32_t l = 0; l <= k; ++l) wkm[l] = d[l];
        zemba::core::dispatch<UpdateErrors>(wkm[k], len - 1);
    }
    return 0;
}

double evlmem(double fdt, double* d, long mArg, double pm) {
    const int32_t m = zemba::narrow32(mArg);
    const double theta = 6.283185307179586 * fdt;
    const double cs = std::cos(theta), sn = std::sin(theta);
    double wr = 1.0, wi = 0.0, sumr = 1.0, sumi = 0.0;
    for (int32_t k = 0; k < m; ++k) {
        const double wt = wr;
        wr = wr * cs - wi * sn;
        wi = wi * cs + wt * sn;
        sumr -= d[k] * wr;
        sumi -= d[k] * wi;
    }
    return pm / (sumr * sumr + sumi * sumi);
}

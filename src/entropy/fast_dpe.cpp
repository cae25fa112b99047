// Delay permutation entropy without strings: each window's ordinal pattern
// (stable order of its m members) is packed into a base-(m+1) integer code,
// the codes go to DPE_Sort, and their histogram entropy is divided by m - 1.
#include "zemba.h"

#include <cstdint>

#include "frame/arith.h"

namespace {

// Codes need m digits of base m + 1; from m = 10 on they no longer fit 32 bits.
constexpr int kMaxCodedMembers = 9;

}  // namespace

void FastDPE(double const* x, int const* nPtr, int const* mPtr, int const* tauPtr, double* result) {
    const int n = *nPtr;
    const int m = *mPtr;
    *result = -1.0;
    const int tau = *tauPtr > 0 ? *tauPtr : 1;
    if (n < m || m <= 1 || m > kMaxCodedMembers) return;
    const int64_t lastOffset = static_cast<int64_t>(m - 1) * tau;
    if (n - lastOffset > ZEMBA_DPE_CAP) return;  // more windows than DPE_Sort holds

    int64_t space = m + 1;
    for (int t = m; t >= 0; --t) space = (m + 2) * space + t;
    const int64_t cap = ZEMBA_FREQ_LEN_CAP;
    FREQ_LEN = static_cast<int32_t>(space < cap ? space : cap);

    const int base = m + 1;
    int count = 0;
    for (int i = 0; i <= n - m; ++i) {
        for (int k = 0; k < m; ++k) PerList[k] = static_cast<int32_t>(i + static_cast<int64_t>(k) * tau);
        if (i + lastOffset >= n) break;
        for (int end = m - 1; end > 0; --end) {
            bool swapped = false;
            for (int k = 0; k < end; ++k) {
                const int32_t a = PerList[k];
                const int32_t b = PerList[k + 1];
                if (x[a] > x[b]) {
                    PerList[k] = b;
                    PerList[k + 1] = a;
                    swapped = true;
                }
            }
            if (!swapped) break;
        }
        int32_t code = (PerList[0] - i) / tau;
        for (int k = 1; k < m; ++k) {
            const int8_t digit = static_cast<int8_t>((PerList[k] - i) / tau);
            code = zemba::wrapAdd(zemba::wrapMul(code, base), digit);
        }
        DPE_Sort[count++] = code;
    }
    int mode = 1;
    calculateEntropy(DPE_Sort, &count, &mode, result);
    *result = *result / static_cast<double>(m - 1);
}

// Visibility pattern entropy: mean degree and mean strength of the horizontal
// visibility graph (signed edge weight x[j] - x[i] + 1), and the entropy of
// the ordinal patterns of the degree sequence over windows of m nodes.
#include "frame/diag.h"
#include "zemba.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "entropy/patterns.h"

void HVG_Entropy(double* x, int* nPtr, int* mPtr, int* tauPtr, double* out) {
    const int n = *nPtr;
    if (n > ZEMBA_SERIES_CAP) return;  // the stack cannot hold the graph

    const int cleared = n > 4096 ? n : 4096;
    for (int k = 0; k < cleared; ++k) {
        outSets[k].degree = 0;
        outSets[k].weight = 0.0;
    }
    auto join = [x](int a, int b) {
        const double w = x[b] - x[a] + 1.0;
        outSets[a].degree++;
        outSets[a].weight += w;
        outSets[b].degree++;
        outSets[b].weight += w;
    };
    int32_t* items = SortList1.items;
    int top = 0;
    items[0] = 0;
    for (int j = 1; j < n; ++j) {
        const int k = j - 1;
        const double xj = x[j];
        join(k, j);
        if (!(xj < x[k])) {
            int c;
            do {
                c = items[top--];
                if (c != k) join(c, j);
            } while (top >= 0 && xj > x[c]);
            if (x[c] > xj) items[++top] = c;
        }
        items[++top] = j;
    }
    SortList1.top = top;

    int32_t degreeSum = 0;
    double weightSum = 0.0;
    for (int k = 0; k < n; ++k) {
        degreeSum += outSets[k].degree;
        weightSum += outSets[k].weight;
    }

    out[0] = -1.0;
    const int m = *mPtr;
    const int tau = *tauPtr > 0 ? *tauPtr : 1;
    if (n < m || m <= 1 || m >= ZEMBA_PERLIST_CAP) return;

    // Windows start at w * tau while they lie inside the series; with tau > 1 the
    // scan stops at the first start that does not, the last one it examines.
    const int64_t starts = n - m + 1;
    const int64_t windows = (n - m) / tau + 1;
    const double h = zemba::ordinalPatternEntropy(outSets, windows, tau, 1, m);

    const int64_t s = (windows < starts ? windows : windows - 1) * tau;
    for (int k = 0; k <= m; ++k) PerList[k] = static_cast<int32_t>(s + k);
    if (windows == starts) {
        for (int p = 0; p + 1 < m; ++p) {
            int q = p;
            for (int c = p + 1; c < m; ++c)
                if (outSets[PerList[q]].degree > outSets[PerList[c]].degree) q = c;
            std::swap(PerList[p], PerList[q]);
        }
    }
    out[2] = h;

    uint64_t bits;
    std::memcpy(&bits, &h, sizeof bits);
    zemba::diag::printf("%d\n", static_cast<int32_t>(static_cast<uint32_t>(bits)));

    out[0] = degreeSum / static_cast<double>(n);
    out[1] = weightSum / static_cast<double>(n);
}

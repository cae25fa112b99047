// Histogram entropy of non-negative integer sequences (degrees, pattern codes):
// the common entropy kernel. The histogram lives in inSets[k].degree.
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/arith.h"

double calculateEntropy(int* data, int* nPtr, int* mode, double* result) {
    const int n = *nPtr;
    int maxData = data[0];
    for (int i = 1; i < n; ++i)
        if (data[i] > maxData) maxData = data[i];
    zemba::diag::printf("ratio=%6.4f maxData=%6.0f\n", 1.0, static_cast<double>(maxData));

    // Values above the last bucket are rescaled so that the largest lands there.
    const bool rescale = maxData > ZEMBA_SERIES_CAP;
    const double ratio = rescale ? static_cast<double>(ZEMBA_SERIES_CAP) / maxData : 1.0;
    const double top = rescale ? maxData * ratio : static_cast<double>(maxData);

    double span = top + 2.0;
    if (span > 0.0) {
        long records = span >= ZEMBA_NODE_CAP ? static_cast<long>(ZEMBA_NODE_CAP) : static_cast<long>(span);
        std::memset(inSets, 0, sizeof(NodeRecord) * static_cast<size_t>(records));
    }
    // A negative value has no bucket; it is left out of the histogram rather
    // than written in front of it.
    for (int i = 0; i < n; ++i) {
        const int v = data[i];
        if (v < 0) continue;
        const int bucket = rescale ? zemba::trunc32(v * ratio) : v;
        if (bucket >= 0 && bucket < ZEMBA_NODE_CAP) inSets[bucket].degree++;
    }

    double h = 0.0;
    const double count = static_cast<double>(n);
    if (*mode == 1) {
        if (top >= 0.0)
            for (int k = 0; k <= top && k < ZEMBA_NODE_CAP; ++k) {
                const double p = inSets[k].degree / count;
                if (p > 0.0) h -= p * std::log(p);
            }
    } else if (top > 0.0) {
        for (int k = 0; k < top && k < ZEMBA_NODE_CAP; ++k) {
            const double p = inSets[k].degree / count;
            if (p > 0.0) h -= p * std::log(1.0 / p);
        }
    }
    *result = h;
    return h;
}

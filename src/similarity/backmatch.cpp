// Comparisons of two degree sequences through their value-2 nodes:
// back-matching pairs the value-2 positions in order, takes the most frequent
// position difference as the shift and searches lags around it for the peak
// normalised cross-correlation; the similarity sum correlates a characteristic
// segment of each sequence (the span of its maximum, or between value-2 nodes).
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kBackMatchCap = (ZEMBA_NODE_CAP - 1) / 2 + 1;  // 2n - 1 bins fit inSets

// Correlation of a[0..len-1] with b[0..len-1], moments divided by len.
double segmentCorrelation(const int* a, const int* b, int len) {
    double sa = 0.0, sb = 0.0;
    for (int t = 0; t < len; ++t) {
        sa += a[t];
        sb += b[t];
    }
    const double ma = sa / len, mb = sb / len;
    double va = 0.0, vb = 0.0, c = 0.0;
    for (int t = 0; t < len; ++t) {
        const double da = a[t] - ma, db = b[t] - mb;
        va += da * da;
        vb += db * db;
        c += da * db;
    }
    va /= len;
    vb /= len;
    c /= len;
    return c / std::sqrt(va * vb);
}

// Span of the largest value: first to last occurrence, or p to p+1 for a
// unique maximum at p (0 to n-1 when p is the last position).
void maxSpan(const int* x, int n, int& lo, int& hi) {
    lo = hi = 0;
    int top = x[0];
    for (int p = 1; p < n; ++p) {
        if (x[p] > top) top = x[p], lo = hi = p;
        else if (x[p] == top) hi = p;
    }
    if (lo == hi) {
        if (lo == n - 1) lo = 0, hi = n - 1;
        else hi = lo + 1;
    }
}

// First value-2 position (n if none) and the closing position after it.
void twoSpan(const int* x, int n, int& first, int& last) {
    first = 0;
    while (first < n && x[first] != 2) ++first;
    if (n - 1 <= first + 2) {
        last = n - 1;
        return;
    }
    last = first + 2;
    for (int p = n - 1; p >= first + 3; --p)
        if (x[p] == 2) {
            last = p;
            break;
        }
}

}  // namespace

extern "C" double Z_HVG_Match_back(int* a, int* b, int* nPtr, void*, void*, double* out) {
    const int n = *nPtr;
    if (n < 2 || n > kBackMatchCap) return 0.0;
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    std::memset(inSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));

    // Pair the value-2 positions of a and b in order.
    int pairs = 0, dmin = n, dmax = -n, s = 0;
    for (int i = 0; i < n; ++i) {
        if (a[i] != 2) continue;
        if (s >= n) break;
        int k = s;
        while (k < n && b[k] != 2) ++k;
        if (k == n) break;
        ++pairs;
        outSets[pairs].degree = i;
        outSets[pairs].weight = k;
        s = k + 1;
        const int dk = i - k;
        if (dk < dmin) dmin = dk;
        if (dk > dmax) dmax = dk;
    }

    // Histogram of the differences; the fullest bin (lowest on ties) is the shift.
    for (int h = 0; h <= dmax - dmin; ++h) inSets[h].degree = 0;
    for (int j = 1; j <= pairs; ++j) ++inSets[outSets[j].degree - static_cast<int>(outSets[j].weight) - dmin].degree;
    int bin = 0;
    for (int h = 1; h <= dmax - dmin; ++h)
        if (inSets[h].degree > inSets[bin].degree) bin = h;
    const int diff = bin + dmin;
    zemba::diag::printf("diff=%d:%d\n", diff, dmin);

    // Aligned overlap: a[diff + t] with b[t], or a[t] with b[t - diff].
    const int* pa = a;
    const int* pb = b;
    int len = 0;
    if (diff >= 0 && diff < n) pa = a + diff, len = n - diff;
    else if (diff < 0 && diff > -n) pb = b - diff, len = n + diff;
    double sa = 0.0, sb = 0.0;
    for (int t = 0; t < len; ++t) {
        sa += pa[t];
        sb += pb[t];
    }
    const double mA = sa / len, mB = sb / len;
    zemba::diag::printf("mean=(%6.2f:%6.2f\n", mA, mB);
    double ssA = 0.0, ssB = 0.0;
    for (int t = 0; t < len; ++t) {
        const double da = pa[t] - mA, db = pb[t] - mB;
        ssA += da * da;
        ssB += db * db;
    }
    const double sd = std::sqrt(ssA * ssB);
    zemba::diag::printf("sd=(%6.2f)\n", sd);

    int W = 2 * (diff < 0 ? -diff : diff) + 2;
    if (W > (n >> 1)) W = (n >> 1) - 1;
    double best = 0.0;
    int bestLag = 0;
    for (int lag = -W; lag < W; ++lag) {
        double c = 0.0;
        if (diff >= 0) {
            // b index diff - lag + t must lie in 0..n-1.
            const int off = diff - lag;
            int t0 = off < 0 ? -off : 0;
            int t1 = n - diff;
            if (t1 > n - off) t1 = n - off;
            for (int t = t0; t < t1; ++t) c += (a[diff + t] - mA) * (b[off + t] - mB);
        } else {
            const int t0 = lag < 0 ? -lag : 0;
            const int t1 = lag > 0 ? n - lag : n;
            for (int t = t0; t < t1; ++t) c += (a[t] - mA) * (b[lag + t] - mB);
        }
        const double r = c / sd;
        if (r > best) best = r, bestLag = lag;
    }
    out[0] = best;
    out[1] = bestLag;
    out[2] = dmin;
    return diff;
}

extern "C" double Z_HVGS(int* a, int* b, int* nPtr, double* q, double* r, double* out) {
    const int n = *nPtr;
    if (n < 2 || n > ZEMBA_NODE_CAP) return 0.0;
    int loA, hiA, loB, hiB;
    maxSpan(a, n, loA, hiA);
    maxSpan(b, n, loB, hiB);
    const int dA = hiA - loA, dB = hiB - loB;
    out[1] = dA;
    out[2] = dB;
    if (!(*q == *r)) {
        out[0] = 0.0;
        out[3] = -(n - 1);
        return 0.0;
    }
    if (dA == dB && dB > n / 3) {
        const double rho = segmentCorrelation(a + loA, b + loB, dA);
        zemba::diag::printf("Sum=%1.6f/%d\n", rho, dA);
        const double res = std::sqrt(rho) / dA;
        out[0] = res;
        out[3] = -(n - 1);
        return res;
    }
    int a0, a1, b0, b1;
    twoSpan(a, n, a0, a1);
    zemba::diag::printf("%d:%d\n", a0, a1);
    twoSpan(b, n, b0, b1);
    zemba::diag::printf("%d:%d\n", b0, b1);
    int len = 0;
    if (a1 > a0 && b1 > b0) len = (a1 - a0 < b1 - b0) ? a1 - a0 : b1 - b0;
    const double rho = segmentCorrelation(a + (len ? a0 : 0), b + (len ? b0 : 0), len);
    zemba::diag::printf("Sum=%1.6f/%d\n", rho, len);
    out[0] = rho;
    out[3] = a0 - a1;
    return rho;
}

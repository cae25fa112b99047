// Weighted horizontal visibility entropy and time-asymmetry features: the
// degree entropy of the pairwise-built graph, and the divergence between the
// backward- and forward-degree distributions of the directed graph with its
// companion figures.
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/arith.h"
#include "graphs/hv_stack.h"

using zemba::trunc32;
using zemba::wrapAbs;
using zemba::wrapAdd;
using zemba::wrapMul;
using zemba::wrapSub;

namespace {

// Per-call work arrays, kept out of the call stack (hosts may give 1 MB stacks).
int32_t degreeList[ZEMBA_NODE_CAP];
int32_t histForward[ZEMBA_SERIES_CAP];
int32_t histBackward[ZEMBA_SERIES_CAP];
double meanLater[ZEMBA_SERIES_CAP];
double asymLater[ZEMBA_SERIES_CAP];
int32_t reversedInt[ZEMBA_SERIES_CAP];

// Stage-1 edges in scan order (ascending later node). A stack walk has fewer
// than 3n edges: n - 1 neighbour edges plus at most one per pop.
constexpr int kEdgeCap = 3 * ZEMBA_SERIES_CAP;
int32_t edgeFrom[kEdgeCap];
int32_t edgeTo[kEdgeCap];
int32_t edgeWeight[kEdgeCap];

inline void addUndirected(int a, int b, int32_t w) {
    outSets[a].degree++;
    outSets[b].degree++;
    outSets[a].weight += w;
    outSets[b].weight += w;
}

// Direct pair test: j is scanned downward from i - 1 while the extreme of
// the samples between stays below (above, inverted) x[i]; a NaN sample never
// blocks. Yields the same edges as testing every sample between every pair.
template <bool Inverted>
void pairGraph(const double* x, int n) {
    for (int i = 1; i < n; ++i) {
        const double xi = x[i];
        bool any = false;
        double ext = 0.0;  // max (min, inverted) of the non-NaN samples in (j, i)
        for (int j = i - 1; j >= 0; --j) {
            const double xj = x[j];
            const bool blocked = any && (Inverted ? xj >= ext : ext >= xj);
            if (!blocked) {
                const int32_t w = wrapAdd(wrapMul(wrapAbs(trunc32(xj - xi)), i - j), 1);
                addUndirected(j, i, w);
            }
            if (xj == xj) {
                if (!any || (Inverted ? xj < ext : xj > ext)) ext = xj;
                any = true;
                if (Inverted ? xi >= ext : ext >= xi) break;  // blocks every farther j
            }
        }
    }
}

}  // namespace

double Z_ZEMBA_Entropy(double* x, int criterion, int n) {
    if (n < 0 || n > ZEMBA_NODE_CAP) return 0.0;
    std::memset(outSets, 0, sizeof(NodeRecord) * static_cast<size_t>(n));
    if (criterion <= 2)
        pairGraph<false>(x, n);
    else
        pairGraph<true>(x, n);
    std::memset(degreeList, 0, sizeof degreeList);
    for (int i = 0; i < n; ++i) {
        zemba::diag::printf("d(%d)=%d", i, outSets[i].degree);
        degreeList[i] = outSets[i].degree;
    }
    int count = n;
    int mode = 1;
    double result = 0.0;
    calculateEntropy(degreeList, &count, &mode, &result);
    return result;
}

double Z_ZEMBA_KLD(double* x, int* nPtr, double* out) {
    const int n = *nPtr;
    if (n <= 0 || n > ZEMBA_SERIES_CAP) return 0.0;
    const size_t un = static_cast<size_t>(n);

    std::memset(histForward, 0, sizeof(int32_t) * un);
    std::memset(meanLater, 0, sizeof(double) * un);
    const double entropy = Z_ZEMBA_Entropy(x, 2, n);
    zemba::diag::printf("Entropy=%6.4f\n", entropy);

    std::memset(outSets, 0, sizeof(NodeRecord) * un);
    std::memset(inSets, 0, sizeof(NodeRecord) * un);
    for (int r = 0; r < n; ++r) std::memset(SlopMatrix[r], 0, sizeof(double) * un);

    // Stage 1: directed graph; backward figures in outSets, forward in inSets.
    int edges = 0;
    zemba::scanHorizontal<false>(x, n, [&](int a, int b) {
        const int32_t w = (a == b - 1) ? wrapAdd(wrapAbs(trunc32(x[b] - x[a])), 1)
                                       : wrapAdd(wrapAbs(trunc32((x[b] - x[a]) * static_cast<double>(b - a))), 1);
        inSets[a].degree++;
        inSets[a].weight += w;
        outSets[b].degree++;
        outSets[b].weight += w;
        SlopMatrix[b][a] = w;
        edgeFrom[edges] = a;
        edgeTo[edges] = b;
        edgeWeight[edges] = w;
        ++edges;
    });
    for (int k = 0; k < n; ++k) reversedInt[n - 1 - k] = trunc32(x[k]);

    // Stage 2: histograms, and per node the sums over its later neighbours.
    // Edges of one node come in ascending partner order, so each sum adds its
    // terms in the same order as a sweep over the node's column would; the
    // cells of non-edges would add only zeros.
    std::memset(asymLater, 0, sizeof(double) * un);
    std::memset(histBackward, 0, sizeof(int32_t) * un);
    for (int e = 0; e < edges; ++e) {
        const int l = edgeFrom[e];
        const int m = edgeTo[e];
        const double w = edgeWeight[e];
        const int32_t df = inSets[m].degree;
        meanLater[l] += df * w;
        asymLater[l] += wrapAbs(trunc32(static_cast<double>(df - outSets[m].degree) * w));
    }
    int32_t total = 0;
    for (int l = 0; l < n; ++l) {
        histBackward[outSets[l].degree]++;
        histForward[inSets[l].degree]++;
        total = wrapAdd(total, wrapAdd(outSets[l].degree, inSets[l].degree));
        if (inSets[l].weight != 0.0) meanLater[l] /= inSets[l].weight;
        if (outSets[l].weight != 0.0) asymLater[l] /= outSets[l].weight;
    }

    // Stage 3: forward degrees of the truncated series, walked in reverse;
    // only the later position of each edge is counted.
    std::memset(inSets, 0, sizeof(NodeRecord) * un);
    const int32_t* t = reversedInt;
    zemba::scanHorizontal<false>(t, n, [&](int a, int b) {
        const int32_t w = (a == b - 1) ? wrapAdd(wrapAbs(wrapSub(t[b], t[a])), 1)
                                       : wrapAdd(wrapAbs(wrapMul(wrapSub(t[b], t[a]), b - a)), 1);
        inSets[b].degree++;
        inSets[b].weight += w;
        SlopMatrix[a][b] = w;
    });

    int32_t q = 0;
    int32_t tmax = 0;
    double sumWb = 0.0, sumM = 0.0, sumG = 0.0;
    for (int k = 0; k < n; ++k) {
        const int32_t db = outSets[k].degree;
        const int32_t dfr = inSets[n - 1 - k].degree;
        q = wrapAdd(q, wrapAbs(wrapSub(db, dfr)));
        if (db + dfr > tmax) tmax = db + dfr;
        sumWb += outSets[k].weight;
        sumM += meanLater[k];
        sumG += asymLater[k];
    }

    // Degrees never exceed n - 1, so the histograms end there.
    const double dn = static_cast<double>(n);
    const int dEnd = tmax < n - 1 ? tmax : n - 1;
    double kl = 0.0;
    for (int d = 0; d <= dEnd; ++d) {
        const int32_t hb = histBackward[d];
        const int32_t hf = histForward[d];
        if (hf > 0 && hb > 0) kl += (hb / dn) * std::log(static_cast<double>(hb) / hf);
    }

    out[0] = kl;
    out[1] = entropy;
    out[2] = total / dn;
    out[3] = sumWb / dn;
    out[4] = std::sqrt(q / dn);
    out[5] = sumM / dn;
    out[6] = sumG / dn;
    return kl;
}

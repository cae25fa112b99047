// Natural visibility graphs on a lag lattice, found with the running maximum
// of the slopes from each node; the slopes are left in SlopMatrix.
#include "zemba.h"

#include <cstdio>
#include <cstring>

#include "frame/arith.h"

using zemba::trunc32;
using zemba::wrapAbs;
using zemba::wrapAdd;

namespace {

int32_t vgDegrees[ZEMBA_SERIES_CAP];

inline void addEdge(int i, int j, int32_t w, bool adjacency, int* out, size_t n) {
    outSets[i].degree++;
    outSets[j].degree++;
    outSets[i].weight += w;
    outSets[j].weight += w;
    if (adjacency) {
        out[i * n + j] = 1;
        out[j * n + i] = 1;
    }
}

// Builds the graph into outSets (and the ones of the adjacency matrix when
// adjacency is set). Each row of SlopMatrix is cleared, filled with the
// lattice slopes and scanned for edges in one pass.
void buildNatural(const double* v, int n, int tau, bool adjacency, bool printFar, int* out) {
    const size_t un = static_cast<size_t>(n);
    std::memset(outSets, 0, sizeof(NodeRecord) * un);
    for (int i = 0; i < n; ++i) {
        double* row = SlopMatrix[i];
        std::memset(row, 0, sizeof(double) * un);
        if (i > n - 2 || tau >= n - i) continue;
        const double vi = v[i];
        int j = i + tau;
        double s = (vi - v[j]) / static_cast<double>(i - j);
        row[j] = s;
        addEdge(i, j, wrapAdd(wrapAbs(trunc32(v[j] - vi)), 1), adjacency, out, un);
        for (j += tau; j < n; j += tau) {
            const double slope = (vi - v[j]) / static_cast<double>(i - j);
            row[j] = slope;
            if (slope > s) {
                addEdge(i, j, wrapAdd(wrapAbs(trunc32(v[j] - vi)), 1), adjacency, out, un);
                s = slope;
                if (printFar) std::printf("i=%d:%d\n", i, j);
            }
        }
    }
}

}  // namespace

double getVGFast(double* v, int* nPtr, int* modePtr, int* tauPtr, int* out) {
    const int n = *nPtr;
    if (n < 0 || n > ZEMBA_SERIES_CAP) return 0.0;
    const int mode = *modePtr;
    const int tau = *tauPtr < 1 ? 1 : *tauPtr;
    buildNatural(v, n, tau, mode == 1, mode == 1, out);

    int32_t degreeSum = 0;
    if (mode == 1) {
        std::memset(vgDegrees, 0, sizeof vgDegrees);
        double weightSum = 0.0;
        for (int i = 0; i < n; ++i) {
            vgDegrees[i] = outSets[i].degree;
            degreeSum += outSets[i].degree;
            weightSum += outSets[i].weight;
        }
        out[0] = degreeSum;
        out[2 * n + 2] = trunc32(weightSum);
        int count = n;
        int one = 1;
        double entropy = 0.0;
        calculateEntropy(vgDegrees, &count, &one, &entropy);
        out[n + 1] = trunc32(10000.0 * entropy);
    } else {
        for (int i = 0; i < n; ++i) {
            out[i] = outSets[i].degree;
            out[n + i] = trunc32(outSets[i].weight);
            degreeSum += outSets[i].degree;
        }
        std::printf("Degree=%d\n", degreeSum);
    }
    return degreeSum;
}

double getRevVGFast(double* v, int* nPtr, int* modePtr, int* tauPtr, int* out) {
    const int n = *nPtr;
    if (n < 0 || n > ZEMBA_NODE_CAP) return 0.0;
    const int mode = *modePtr;
    const int tau = *tauPtr < 1 ? 1 : *tauPtr;
    buildNatural(v, n, tau, mode == 1, false, out);

    int32_t degreeSum = 0;
    if (mode == 1) {
        double weightSum = 0.0;
        for (int i = 0; i < n; ++i) {
            degreeSum += outSets[i].degree;
            weightSum += outSets[i].weight;
        }
        out[0] = degreeSum;
        out[n + 1] = trunc32(weightSum);
    } else {
        for (int i = 0; i < n; ++i) {
            out[i] = outSets[i].degree;
            degreeSum += outSets[i].degree;
        }
        std::printf("Degree=%d\n", degreeSum);
        out[n] = 0;
    }
    return degreeSum;
}

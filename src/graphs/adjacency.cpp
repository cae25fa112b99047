// Horizontal visibility graph by the stack method, handed back as an adjacency
// matrix or as degree and weight sequences, and distributions over the degree.
#include "zemba.h"

#include <cstddef>
#include <cstdint>

#include "frame/arith.h"
#include "graphs/hv_stack.h"

namespace {

using zemba::trunc32;
using zemba::wrapAbs;
using zemba::wrapAdd;

template <bool Inverted>
void buildGraph(const double* x, int n, bool matrix, int* out) {
    const std::size_t stride = static_cast<std::size_t>(n);
    zemba::scanHorizontal<Inverted>(x, n, [=](int a, int b) {
        // Neighbours: |trunc(dx)| + 1; farther pairs: |trunc(dx * distance)| + 1.
        const double dx = x[b] - x[a];
        const double span = b - a == 1 ? dx : dx * static_cast<double>(b - a);
        const double w = static_cast<double>(wrapAdd(wrapAbs(trunc32(span)), 1));
        outSets[a].degree += 1;
        outSets[a].weight += w;
        outSets[b].degree += 1;
        outSets[b].weight += w;
        if (matrix) {
            out[a * stride + b] = 1;
            out[b * stride + a] = 1;
        }
    });
}

}  // namespace

extern "C" void getHVGAdjMatrix(double* x, int* n, int* mode, int* out) {
    const int len = *n;
    if (len > ZEMBA_SERIES_CAP || len < 0) return;
    const int m = *mode;
    const bool matrix = m == 1 || m == 3;
    const bool sequences = m == 2 || m == 4;
    for (int k = 0; k < len; ++k) {
        outSets[k].degree = 0;
        outSets[k].weight = 0.0;
    }
    if (m > 2)
        buildGraph<true>(x, len, matrix, out);
    else
        buildGraph<false>(x, len, matrix, out);

    int32_t degreeSum = 0;
    int32_t weightSum = 0;
    for (int k = 0; k < len; ++k) {
        const int32_t d = outSets[k].degree;
        const int32_t w = trunc32(outSets[k].weight);
        degreeSum = wrapAdd(degreeSum, d);
        weightSum = wrapAdd(weightSum, w);
        if (sequences) {
            out[k] = d;
            out[len + k] = w;
        }
    }
    if (matrix) {
        out[0] = degreeSum;
        out[len + 1] = weightSum;
    }
}

extern "C" double* getDegreeDistribute_int(int* seq, int* n, int* maxDegree, int* mode, double* dist) {
    const int len = *n;
    const int32_t classes = wrapAdd(*maxDegree, 1);
    const bool counting = *mode == 1;
    for (int i = 0; i < len; ++i) {
        const int32_t d = seq[i];
        if (d < 0 || d >= classes) continue;
        dist[d] += counting ? 1.0 : static_cast<double>(seq[len + i]);
    }
    const double dn = static_cast<double>(len);
    for (int32_t k = 0; k < classes; ++k) dist[k] /= dn;
    return dist;
}

extern "C" double* getDegreeClusterDistribute(double* degrees, double* values, int* n, int* maxDegree, int* mode,
                                              double* dist) {
    const int len = *n;
    const double classes = static_cast<double>(wrapAdd(*maxDegree, 1));
    const bool own = *mode == 1;
    for (int i = 0; i < len; ++i) {
        const double d = degrees[i];
        if (!(d < classes)) continue;
        const int32_t k = trunc32(d);
        if (k < 0) continue;
        dist[k] += own ? values[i] : values[len + i];
    }
    return dist;
}

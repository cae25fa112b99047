// Horizontal visibility graph of an integer series read in the time
// direction: backward (edges to earlier samples, in outSets) against forward
// (edges to later samples, in inSets) degrees and weights, summed over nodes.
#include "zemba.h"

#include <cmath>
#include <cstdint>

#include "frame/arith.h"
#include "graphs/hv_stack.h"

using zemba::wrapAbs;
using zemba::wrapAdd;
using zemba::wrapMul;
using zemba::wrapSub;

extern "C" void getZEMBG_4features(int* x, int n, double* out) {
    if (n > ZEMBA_SERIES_CAP) return;
    for (int k = 0; k < n; ++k) {
        outSets[k].degree = 0;
        outSets[k].weight = 0.0;
        inSets[k].degree = 0;
        inSets[k].weight = 0.0;
    }
    const int32_t* v = x;
    zemba::scanHorizontal<false>(v, n, [v](int a, int b) {
        // |(x[b] - x[a]) * (b - a)| + 1 in 32-bit arithmetic.
        const double w = static_cast<double>(wrapAdd(wrapAbs(wrapMul(wrapSub(v[b], v[a]), b - a)), 1));
        outSets[b].degree += 1;
        outSets[b].weight += w;
        inSets[a].degree += 1;
        inSets[a].weight += w;
    });
    int32_t degrees = 0, degreeImbalance = 0, edges = 0;
    double weights = 0.0, weightImbalance = 0.0, weight = 0.0;
    for (int k = 0; k < n; ++k) {
        const int32_t db = outSets[k].degree, df = inSets[k].degree;
        const double wb = outSets[k].weight, wf = inSets[k].weight;
        degrees += db + df;
        degreeImbalance += db > df ? db - df : df - db;
        edges += db;
        weights += wb + wf;
        weightImbalance += std::fabs(wb - wf);
        weight += wb;
    }
    out[0] = static_cast<double>(degrees);
    out[1] = static_cast<double>(degreeImbalance);
    out[2] = static_cast<double>(edges);
    out[3] = weights;
    out[4] = weightImbalance;
    out[5] = weight;
}

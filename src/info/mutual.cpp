// Mutual information of two series: each series is discretised into
// consecutive integer states, joint and marginal state frequencies are counted
// in the shared tables, and MI = sum p(a,b) ln(p(a,b) / (p(a) p(b))) in nats
// (the core's plug-in sum over those tables).
#include "frame/diag.h"
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "core/frame/dispatch.h"
#include "frame/arith.h"
#include "core/info/plugin.h"

#include <immintrin.h>

using zemba::wrapAdd;
using zemba::wrapSub;

namespace {

// Integer part of a sample; false when it does not fit 32 bits (or is NaN).
// floor(v) lies in [-2^31, 2^31) exactly when v does.
inline bool floorFits(double v) { return v >= -2147483648.0 && v < 2147483648.0; }

// Range of the discretised values of a series, widened to 64 bits.
struct Range {
    int64_t lo, hi;
};

// floor32 of every sample into out (when given), with the least and the
// greatest (n >= 1).
void floorsPlain(const double* x, int i, int n, int32_t* out, int32_t& lo, int32_t& hi) {
    for (; i < n; ++i) {
        const int32_t v = zemba::floor32(x[i]);
        if (out) out[i] = v;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
}

// The same W at a time (SSE2 has no vector floor: one at a time there).
// Rounding down is exact, and the truncating conversion gives INT32_MIN
// outside the int range and for NaN, as floor32.
struct Floors {
    template <class V>
    static ZEMBA_KERNEL void run(const double* x, int n, int32_t* out, int32_t& lo, int32_t& hi) {
        int i = 0;
        if constexpr (V::W > 2) {
            typedef typename V::vi32 vi32;
            vi32 vlo = vi32{} + lo, vhi = vi32{} + hi, f;
            typename V::vd v;
            for (; i + V::W <= n; i += V::W) {
                V::load(v, x + i);
                V::floor(v);
                V::trunc32(f, v);
                if (out) V::store(out + i, f);
                V::min(vlo, f);
                V::max(vhi, f);
            }
            for (int k = 0; k < V::W; ++k) {
                lo = vlo[k] < lo ? vlo[k] : lo;
                hi = vhi[k] > hi ? vhi[k] : hi;
            }
        }
        floorsPlain(x, i, n, out, lo, hi);
    }
};

void floors(const double* x, int n, int32_t* out, int32_t& lo, int32_t& hi) {
    lo = hi = zemba::floor32(x[0]);
    zemba::core::dispatch<Floors>(x, n, out, lo, hi);
}

Range rangeOf(const double* x, int n) {
    int32_t lo, hi;
    floors(x, n, nullptr, lo, hi);
    return {lo, hi};
}

Range rangeOf(const int* x, int n) {
    int32_t lo = x[0], hi = lo;
    for (int i = 1; i < n; ++i) {
        if (x[i] < lo) lo = x[i];
        else if (x[i] > hi) hi = x[i];
    }
    return {lo, hi};
}

bool samplesFit(const double* x, int n) {
    bool fit = true;
    for (int i = 0; i < n; ++i) fit &= floorFits(x[i]);
    return fit;
}
bool samplesFit(const int*, int) { return true; }

JointProbabilityResult emptyResult() {
    return {jointStateProbs, 0, firstStateProbs, 0, secondStateProbs, 0};
}

// Checks the capacities of the shared tables before anything is written to
// them; prints one line and returns false when the input does not fit.
template <class T>
bool fitsTables(const T* first, const T* second, int n) {
    if (n > ZEMBA_MI_CAP) {
        zemba::diag::printf("joint probability: n=%d exceeds %d samples; nothing computed\n", n, ZEMBA_MI_CAP);
        return false;
    }
    if (n <= 0) return true;
    if (!samplesFit(first, n) || !samplesFit(second, n)) {
        zemba::diag::printf("joint probability: a sample's integer part does not fit 32 bits; nothing computed\n");
        return false;
    }
    const Range ra = rangeOf(first, n), rb = rangeOf(second, n);
    const int64_t f = ra.hi - ra.lo + 1, s = rb.hi - rb.lo + 1;
    if (f > ZEMBA_MI_CAP || s > ZEMBA_MI_CAP || f * s > ZEMBA_MI_CAP) {
        zemba::diag::printf("joint probability: %lld x %lld joint states exceed %d; nothing computed\n",
                    static_cast<long long>(f), static_cast<long long>(s), ZEMBA_MI_CAP);
        return false;
    }
    return true;
}

// Counts the states left in the normalised vectors (F x S <= capacity).
template <bool PrintSamples>
JointProbabilityResult countStates(int n, int f, int s) {
    const int joint = f * s;
    zemba::diag::printf("first=%d\n", f);
    zemba::diag::printf("second=%d\n", s);
    zemba::diag::printf("jointNumStates=%d\n", joint);
    for (int k = 0; k < f; ++k) firstStateCounts[k] = 0, firstStateProbs[k] = 0.0;
    for (int k = 0; k < s; ++k) secondStateCounts[k] = 0, secondStateProbs[k] = 0.0;
    for (int k = 0; k < joint; ++k) jointStateCounts[k] = 0, jointStateProbs[k] = 0.0;
    for (int i = 0; i < n; ++i) {
        const int a = firstNormalisedVector[i], b = secondNormalisedVector[i];
        const int j = a + f * b;
        if (PrintSamples) zemba::diag::printf("%d\t%d\t%d\n", a, b, j);
        ++firstStateCounts[a];
        ++secondStateCounts[b];
        ++jointStateCounts[j];
    }
    const double count = static_cast<double>(n);
    for (int k = 0; k < f; ++k) firstStateProbs[k] = firstStateCounts[k] / count;
    for (int k = 0; k < s; ++k) secondStateProbs[k] = secondStateCounts[k] / count;
    for (int k = 0; k < joint; ++k) jointStateProbs[k] = jointStateCounts[k] / count;
    return {jointStateProbs, joint, firstStateProbs, f, secondStateProbs, s};
}

template <bool PrintSamples, class T>
bool buildJoint(const T* first, const T* second, int n, JointProbabilityResult& res) {
    if (!fitsTables(first, second, n)) {
        res = emptyResult();
        return false;
    }
    // normaliseArray takes the double series through a non-const pointer but
    // only reads it.
    const int f = normaliseArray(const_cast<T*>(first), firstNormalisedVector, n);
    const int s = normaliseArray(const_cast<T*>(second), secondNormalisedVector, n);
    res = countStates<PrintSamples>(n, f, s);
    return true;
}

}  // namespace

int normaliseArray(double* input, int* output, int n) {
    if (n <= 0) return 0;
    int32_t lo, hi;
    floors(input, n, output, lo, hi);
    for (int i = 0; i < n; ++i) output[i] = wrapSub(output[i], lo);
    return wrapAdd(wrapSub(hi, lo), 1);
}

int normaliseArray(int const* input, int* output, int n) {
    if (n <= 0) return 0;
    int32_t lo = input[0], hi = lo;
    for (int i = 1; i < n; ++i) {
        if (input[i] < lo) lo = input[i];
        else if (input[i] > hi) hi = input[i];
    }
    for (int i = 0; i < n; ++i) output[i] = wrapSub(input[i], lo);
    return wrapAdd(wrapSub(hi, lo), 1);
}

JointProbabilityResult calculateJointProbability(double* first, double* second, int n) {
    JointProbabilityResult res;
    buildJoint<false>(first, second, n, res);
    return res;
}

JointProbabilityResult calculateJointProbability(int const* first, int const* second, int n) {
    JointProbabilityResult res;
    buildJoint<true>(first, second, n, res);
    return res;
}

void calculateMutualInformation(double* first, double* second, int* nPtr, double* result) {
    JointProbabilityResult jp;
    if (!buildJoint<false>(first, second, *nPtr, jp)) {
        *result = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    // The core's plug-in sum over the tables (first state varying fastest).
    *result = zemba::core::pluginSum(jointStateProbs, firstStateProbs, secondStateProbs,
                                     static_cast<size_t>(jp.firstNumStates), static_cast<size_t>(jp.secondNumStates));
}

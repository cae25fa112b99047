// Burg's recursion: AR coefficients, reflection coefficients and innovation
// variance (mean forward and backward error energy of the last stage) of a
// series. Works on a scaled, optionally demeaned copy and one buffer of forward
// errors, both allocated per call; writes only the caller's outputs.
#include "core/spectral/burg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "core/frame/checks.h"
#include "zemba/core.h"

namespace zemba::core {
namespace {

// Every sum runs in 16 lanes (element j in lane j mod 16) whatever the vector
// width, so each instruction set gives the same bits. A block of kBlock
// elements is summed on its own and then added to the running lanes, which
// keeps the rounding error growth near kBlock / 16 + n / kBlock.
constexpr size_t kLanes = 16;
constexpr size_t kBlock = 512;

#define ZEMBA_INLINE inline __attribute__((always_inline))

// W doubles (and W 64-bit integers) in one register of the instruction set.
template <int W>
struct Vec {
    typedef double d __attribute__((vector_size(8 * W)));
    typedef int64_t i __attribute__((vector_size(8 * W)));
};

template <class V>
ZEMBA_INLINE void load(V& v, const void* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
ZEMBA_INLINE void store(void* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// plus lanes (F + B)^2 in lane[0..16), minus lanes (F - B)^2 in lane[16..32).
struct Sums {
    double lane[2 * kLanes];
};

// The W-wide registers r = 0 .. 16 / W - 1 hold lanes W r .. W r + W - 1.
template <int W>
ZEMBA_INLINE void foldBlock(Sums& s, const typename Vec<W>::d* plus, const typename Vec<W>::d* minus) {
    for (size_t r = 0; r < kLanes / W; ++r) {
        typename Vec<W>::d t;
        load(t, s.lane + W * r);
        t += plus[r];
        store(s.lane + W * r, t);
        load(t, s.lane + kLanes + W * r);
        t += minus[r];
        store(s.lane + kLanes + W * r, t);
    }
}

ZEMBA_INLINE void addPair(Sums& s, size_t lane, double f, double b) {
    const double p = f + b, m = f - b;
    s.lane[lane] += p * p;
    s.lane[kLanes + lane] += m * m;
}

// Sums of the pairs (F[j], B[j]), j < len.
template <int W>
ZEMBA_INLINE void pairSumsBody(const double* F, const double* B, size_t len, Sums& s) {
    typedef typename Vec<W>::d vd;
    constexpr size_t R = kLanes / W;
    const size_t full = len - len % kLanes;
    for (size_t j0 = 0; j0 < full; j0 += kBlock) {
        const size_t j1 = std::min(full, j0 + kBlock);
        vd plus[R] = {}, minus[R] = {};
        for (size_t j = j0; j < j1; j += kLanes)
            for (size_t r = 0; r < R; ++r) {
                vd f, b;
                load(f, F + j + W * r);
                load(b, B + j + W * r);
                const vd p = f + b, m = f - b;
                plus[r] += p * p;
                minus[r] += m * m;
            }
        foldBlock<W>(s, plus, minus);
    }
    for (size_t j = full; j < len; ++j) addPair(s, j - full, F[j], B[j]);
}

// The 8 lanes from v[1] on: v shifted down by one, next[0] on top.
ZEMBA_INLINE void nextLane(typename Vec<8>::d& out, const typename Vec<8>::d& v, const typename Vec<8>::d& next) {
#if defined(__clang__)
    out = __builtin_shufflevector(v, next, 1, 2, 3, 4, 5, 6, 7, 8);
#else
    out = __builtin_shuffle(v, next, typename Vec<8>::i{1, 2, 3, 4, 5, 6, 7, 8});
#endif
}

// One stage of the recursion on pairs (Fs[j], Bs[j]), j < len:
//   Fd[j] = Fs[j + 1] - k Bs[j + 1],  Bd[j] = Bs[j] - k Fs[j]   (j < len - 1),
// and the sums of the new pairs. With 8 lanes the values at j + 1 come from
// the registers at j and j + 8, so every load is at a multiple of 8 (loads
// may reach 7 values beyond len - 1, into padding no result uses); narrower
// registers load them from j + 1. A group's
// loads come before its stores, and stores land only below what later groups
// read, so Fd may be Fs and Bd may be Bs (or Bs - 1 == Fs, as in the first
// stage).
template <int W>
ZEMBA_INLINE void updateBody(double* Fd, double* Bd, const double* Fs, const double* Bs, size_t len, double k,
                             Sums& s) {
    typedef typename Vec<W>::d vd;
    constexpr size_t R = kLanes / W;
    const size_t m = len - 1;
    const size_t full = m - m % kLanes;
    const vd kk = vd{} + k;
    vd f[R + 1], b[R + 1];  // 8 lanes: the group's registers and the next one's first
    if (W == 8 && full > 0) {
        load(f[0], Fs);
        load(b[0], Bs);
    }
    for (size_t j0 = 0; j0 < full; j0 += kBlock) {
        const size_t j1 = std::min(full, j0 + kBlock);
        vd plus[R] = {}, minus[R] = {};
        for (size_t j = j0; j < j1; j += kLanes) {
            if constexpr (W == 8)
                for (size_t r = 1; r <= R; ++r) {
                    load(f[r], Fs + j + W * r);
                    load(b[r], Bs + j + W * r);
                }
            for (size_t r = 0; r < R; ++r) {
                vd fc, bc, fn, bn;
                if constexpr (W == 8) {
                    fc = f[r];
                    bc = b[r];
                    nextLane(fn, f[r], f[r + 1]);
                    nextLane(bn, b[r], b[r + 1]);
                } else {
                    load(fc, Fs + j + W * r);
                    load(bc, Bs + j + W * r);
                    load(fn, Fs + j + W * r + 1);
                    load(bn, Bs + j + W * r + 1);
                }
                const vd fo = fn - kk * bn, bo = bc - kk * fc;
                store(Fd + j + W * r, fo);
                store(Bd + j + W * r, bo);
                const vd p = fo + bo, q = fo - bo;
                plus[r] += p * p;
                minus[r] += q * q;
            }
            if constexpr (W == 8) {
                f[0] = f[R];
                b[0] = b[R];
            }
        }
        foldBlock<W>(s, plus, minus);
    }
    for (size_t j = full; j < m; ++j) {
        const double fo = Fs[j + 1] - k * Bs[j + 1], bo = Bs[j] - k * Fs[j];
        Fd[j] = fo;
        Bd[j] = bo;
        addPair(s, j - full, fo, bo);
    }
}

// Largest |x[i]| (every value finite): the magnitudes' bit patterns, as
// integers, are ordered like the values.
template <int W>
ZEMBA_INLINE double maxAbsBody(const double* x, size_t n) {
    typedef typename Vec<W>::i vi;
    const size_t full = n - n % W;
    vi best = {};
    const vi mask = vi{} + INT64_MAX;
    for (size_t i = 0; i < full; i += W) {
        vi b;
        load(b, x + i);
        b &= mask;
        best = b > best ? b : best;
    }
    int64_t lanes[W], r = 0;
    store(lanes, best);
    for (int l = 0; l < W; ++l) r = std::max(r, lanes[l]);
    for (size_t i = full; i < n; ++i) {
        int64_t b;
        std::memcpy(&b, x + i, sizeof b);
        r = std::max(r, b & INT64_MAX);
    }
    double v;
    std::memcpy(&v, &r, sizeof v);
    return v;
}

// sum (x[i] s - shift) in the 16 lanes, reduced pairwise.
template <int W>
ZEMBA_INLINE double shiftedSumBody(const double* x, size_t n, double s, double shift) {
    typedef typename Vec<W>::d vd;
    constexpr size_t R = kLanes / W;
    const size_t full = n - n % kLanes;
    double lanes[kLanes] = {};
    const vd ss = vd{} + s, sh = vd{} + shift;
    for (size_t j0 = 0; j0 < full; j0 += kBlock) {
        const size_t j1 = std::min(full, j0 + kBlock);
        vd blk[R] = {};
        for (size_t j = j0; j < j1; j += kLanes)
            for (size_t r = 0; r < R; ++r) {
                vd v;
                load(v, x + j + W * r);
                blk[r] += v * ss - sh;
            }
        for (size_t r = 0; r < R; ++r) {
            vd t;
            load(t, lanes + W * r);
            t += blk[r];
            store(lanes + W * r, t);
        }
    }
    for (size_t j = full; j < n; ++j) lanes[j - full] += x[j] * s - shift;
    for (size_t w = kLanes / 2; w >= 1; w /= 2)
        for (size_t l = 0; l < w; ++l) lanes[l] += lanes[l + w];
    return lanes[0];
}

template <int W>
ZEMBA_INLINE void centreBody(const double* x, size_t n, double s, double shift, double mean, double* y) {
    typedef typename Vec<W>::d vd;
    const size_t full = n - n % W;
    const vd ss = vd{} + s, sh = vd{} + shift, mm = vd{} + mean;
    for (size_t i = 0; i < full; i += W) {
        vd v;
        load(v, x + i);
        store(y + i, (v * ss - sh) - mm);
    }
    for (size_t i = full; i < n; ++i) y[i] = (x[i] * s - shift) - mean;
}

struct Kernels {
    double (*maxAbs)(const double*, size_t);
    double (*shiftedSum)(const double*, size_t, double, double);
    void (*centre)(const double*, size_t, double, double, double, double*);
    void (*pairSums)(const double*, const double*, size_t, Sums&);
    void (*update)(double*, double*, const double*, const double*, size_t, double, Sums&);
};

#define ZEMBA_KERNEL_SET(SUFFIX, W, ATTR)                                                                        \
    ATTR double maxAbs##SUFFIX(const double* x, size_t n) { return maxAbsBody<W>(x, n); }                      \
    ATTR double shiftedSum##SUFFIX(const double* x, size_t n, double s, double sh) {                          \
        return shiftedSumBody<W>(x, n, s, sh);                                                                 \
    }                                                                                                          \
    ATTR void centre##SUFFIX(const double* x, size_t n, double s, double sh, double m, double* y) {            \
        centreBody<W>(x, n, s, sh, m, y);                                                                      \
    }                                                                                                          \
    ATTR void pairSums##SUFFIX(const double* F, const double* B, size_t len, Sums& s) {                        \
        pairSumsBody<W>(F, B, len, s);                                                                         \
    }                                                                                                          \
    ATTR void update##SUFFIX(double* Fd, double* Bd, const double* Fs, const double* Bs, size_t len, double k, \
                             Sums& s) {                                                                        \
        updateBody<W>(Fd, Bd, Fs, Bs, len, k, s);                                                              \
    }                                                                                                          \
    const Kernels kKernels##SUFFIX = {maxAbs##SUFFIX, shiftedSum##SUFFIX, centre##SUFFIX, pairSums##SUFFIX,     \
                                      update##SUFFIX};

ZEMBA_KERNEL_SET(Sse2, 2, )
ZEMBA_KERNEL_SET(Avx2, 4, __attribute__((target("avx2"))))
ZEMBA_KERNEL_SET(Avx512, 8, __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq"))))

// The widest set the processor offers, capped by ZEMBA_ISA=sse2|avx2.
const Kernels& pickKernels() {
    __builtin_cpu_init();
    int best = 0;
    if (__builtin_cpu_supports("avx2")) best = 1;
    if (best == 1 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        best = 2;
    const char* cap = std::getenv("ZEMBA_ISA");
    if (cap && std::strcmp(cap, "sse2") == 0) best = 0;
    if (cap && std::strcmp(cap, "avx2") == 0) best = std::min(best, 1);
    return best == 2 ? kKernelsAvx512 : best == 1 ? kKernelsAvx2 : kKernelsSse2;
}

const Kernels& kernels() {
    static const Kernels& chosen = pickKernels();
    return chosen;
}

struct AlignedDelete {
    void operator()(double* p) const { ::operator delete[](p, std::align_val_t{64}); }
};

// The 32 lanes reduced pairwise in a fixed order: (plus, minus).
void reduce(Sums& s, double& plus, double& minus) {
    for (size_t w = kLanes / 2; w >= 1; w /= 2)
        for (size_t l = 0; l < w; ++l) {
            s.lane[l] += s.lane[l + w];
            s.lane[kLanes + l] += s.lane[kLanes + l + w];
        }
    plus = s.lane[0];
    minus = s.lane[kLanes];
}

}  // namespace

size_t burgDefaultOrder(size_t n) { return static_cast<size_t>(std::sqrt(static_cast<double>(n)) + 0.5); }

int burgFit(const double* x, size_t n, size_t order, bool demean, double* coefs, double* variance,
            double* reflection) {
    const Kernels& K = kernels();
    // Work on x times a power of two that brings the largest magnitude into
    // [1, 2): exact, and no square can overflow or vanish below the errors.
    const double big = K.maxAbs(x, n);
    if (big == 0.0) {
        std::fill(coefs, coefs + order, 0.0);
        if (reflection) std::fill(reflection, reflection + order, 0.0);
        *variance = 0.0;
        return ZEMBA_OK;
    }
    const int e = std::max(std::ilogb(big), -1000);
    const double s = std::ldexp(1.0, -e);

    // Mean about the first sample, so that a constant series centres to zeros.
    double shift = 0.0, mean = 0.0;
    if (demean) {
        shift = x[0] * s;
        mean = K.shiftedSum(x, n, s, shift) / static_cast<double>(n);
    }

    // y (n values) becomes the backward errors in place; F holds the forward
    // ones. Both start on a cache line (fewer split loads and stores) and are
    // followed by zeros that the vector loads may reach.
    if (n > SIZE_MAX / 16 - kLanes) return ZEMBA_E_NO_MEMORY;
    const size_t stride = (n + kLanes + 7) / 8 * 8;
    const size_t total = order > 0 ? 2 * stride : stride;
    std::unique_ptr<double, AlignedDelete> buf(
        static_cast<double*>(::operator new[](sizeof(double) * total, std::align_val_t{64}, std::nothrow)));
    if (!buf) return ZEMBA_E_NO_MEMORY;
    double* y = buf.get();
    double* F = y + stride;
    std::fill(y + n, y + stride, 0.0);
    if (order > 0) std::fill(F + n, F + stride, 0.0);
    K.centre(x, n, s, shift, mean, y);

    Sums sums{};
    double plus = 0.0, minus = 0.0;
    if (order == 0) {
        K.pairSums(y, y, n, sums);  // (y + y)^2 = 4 y^2
        reduce(sums, plus, minus);
        *variance = std::ldexp(plus / 4.0 / static_cast<double>(n), 2 * e);
        return ZEMBA_OK;
    }

    const double* Fs = y + 1;  // stage-one pairs: (y[t], y[t - 1])
    size_t len = n - 1;
    K.pairSums(Fs, y, len, sums);
    reduce(sums, plus, minus);
    for (size_t p = 1;; ++p) {
        // k = 2 sum f b / sum (f^2 + b^2) = (plus - minus) / (plus + minus);
        // 1 - k^2 = 4 plus minus / (plus + minus)^2 stays exact as |k| -> 1.
        const double d = plus + minus;
        const double k = d > 0.0 ? (plus - minus) / d : 0.0;
        if (reflection) reflection[p - 1] = k;
        coefs[p - 1] = k;
        for (size_t i = 0; 2 * i + 2 <= p; ++i) {  // a_i -= k a_{p-1-i}, i < p - 1
            const size_t j = p - 2 - i;
            const double ai = coefs[i], aj = coefs[j];
            coefs[i] = ai - k * aj;
            if (i != j) coefs[j] = aj - k * ai;
        }
        if (p == order) {
            // sum (f_p^2 + b_p^2) / (2 (n - p)) = plus minus / (d (n - p)).
            const double lo = std::min(plus, minus), hi = std::max(plus, minus);
            const double v = d > 0.0 ? lo * (hi / d) / static_cast<double>(n - p) : 0.0;
            *variance = std::ldexp(v, 2 * e);
            return ZEMBA_OK;
        }
        sums = Sums{};
        K.update(F, y, Fs, y, len, k, sums);
        reduce(sums, plus, minus);
        Fs = F;
        --len;
    }
}

}  // namespace zemba::core

extern "C" int zemba_burg(const double* x, size_t n, size_t order, int demean, double* coefs, double* variance,
                          double* reflection) {
    if ((n && !x) || (order && !coefs) || !variance) return ZEMBA_E_NULL;
    if (order >= n) return ZEMBA_E_TOO_SHORT;
    if (!zemba::core::allFinite(x, n)) return ZEMBA_E_NONFINITE;
    return zemba::core::burgFit(x, n, order, demean != 0, coefs, variance, reflection);
}

extern "C" int zemba_burg_default_order(size_t n, size_t* order) {
    if (!order) return ZEMBA_E_NULL;
    *order = zemba::core::burgDefaultOrder(n);
    return ZEMBA_OK;
}

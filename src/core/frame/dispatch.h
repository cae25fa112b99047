// Run-time choice of the vector instruction set, and the per-width operations
// every vectorised kernel is written over once.
//
// A kernel is a type with one static member template run<V>, V being Ops<2>
// (SSE2), Ops<4> (AVX2) or Ops<8> (AVX-512); dispatch<Kernel>(args...) calls
// the instantiation for the widest set this processor offers and ZEMBA_ISA
// (sse2|avx2|avx512 in the environment) allows:
//
//   struct Scale {
//       template <class V>
//       static ZEMBA_KERNEL void run(double* x, size_t n, double k) {
//           typename V::vd kv, v;
//           V::broadcast(kv, k);
//           size_t i = 0;
//           for (; i + V::W <= n; i += V::W) {
//               V::load(v, x + i);
//               v = v * kv;              // + - * / < > == ?: act lane by lane
//               V::store(x + i, v);
//           }
//           for (; i < n; ++i) x[i] *= k;  // the tail, one sample at a time
//       }
//   };
//   zemba::core::dispatch<Scale>(x, n, 2.0);
//
// The operations of V (vd: W doubles, vi: W int64, vi32: W int32):
//   V::W, V::kIsa                 lanes, instruction set
//   load(v, p), store(p, v)       unaligned; doubles or int64 (store: int32 too)
//   stream(p, v), fence()         non-temporal store (p aligned to sizeof(vd));
//                                 fence() after the last one
//   broadcast(v, x), iota(v)      x in every lane (-0 kept); 0, 1, ..., W-1
//   sqrt(v), floor(v), abs(v)     in place; correctly rounded / exact
//   min(a, b), max(a, b)          a = std::min(a, b), std::max(a, b) per lane
//   trunc32(out, v)               toward zero; NaN and beyond int32: INT32_MIN
//   bits(m)                       bit l = lane l of a compare result m
//   bitsGreater(a, b)             bits(a > b)
//   sum(v)                        the lanes added in lane order
// and on 2W floats (vf) and 2W int32 (vw, what compares of vf give), F = 2W lanes in a vector as
// wide:
//   load(v, p), store(p, v)       unaligned; floats or int32
//   loadKept(v, p)                load() kept in a register: one load for every use
//   broadcast(v, x), iotaF(v)     int32 x in every lane; 0, 1, ..., F-1
//   min(a, b), max(a, b), abs(v)  as for doubles
//   bitsF(m)                      bit l = lane l of a compare result m (vw)
//   widen(lo, hi, m)              lanes 0..W-1 and W..2W-1 of m as int64
//   toFloat(p, v)                 the W doubles of v rounded to float into p
//   vd{} is zero; + - * / act lane by lane, and < > <= >= == != give a vi of
//   -1 (true) or 0, e.g. if (unsigned b = V::bits(q > limit)) ...
//
// dispatchAt<Kernel>(isa, args...) runs one chosen width (a test can compare
// every width the machine offers, detectedIsa() and below, in one process).
// Template parameters of the kernel go on the type: dispatch<Count<3>>(...).
//
// Rules for kernels:
//   - run and every function it calls on vectors are ZEMBA_KERNEL (always
//     inlined): only the instantiating function is compiled for the wider set,
//     and a helper left out of line would be compiled for SSE2.
//   - Vectors go to helpers by reference, never by value or as a return value
//     (the calling convention for 32- and 64-byte vectors differs between the
//     sets; GCC and Clang warn).
//   - No local array for the lanes of a vector: the compiler may give it a
//     32/64-byte alignment that a sanitizer's relocated stack frame does not
//     keep. Store lanes into the kernel's working memory (V::store).
//   - A variable scalar enters vector arithmetic through V::broadcast, and a
//     vector is written whole, not lane by lane: GCC builds 32/64-byte vectors
//     piecewise in code compiled for SSE2 (slower, and false warnings of
//     uninitialised use). Constants (vd{}, vd{} + 2.0) are fine.
//   - Arithmetic is IEEE per lane and the build forbids contraction, so a lane
//     computes the bits of the same scalar expression; keep the scalar tail's
//     expression identical to the vector one.
//   - Arguments are forwarded as given; pass scalars, pointers and references
//     (no vector types).
#ifndef ZEMBA_CORE_FRAME_DISPATCH_H
#define ZEMBA_CORE_FRAME_DISPATCH_H

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

// Compile one function for a wider set than the x86-64 baseline (SSE2). The
// dispatcher's instantiations carry them; call such a function only after
// isa() allows it.
#define ZEMBA_TARGET_AVX2 __attribute__((target("avx2")))
#define ZEMBA_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq")))
#define ZEMBA_KERNEL inline __attribute__((always_inline))

// GCC gets the wider instructions written out (it does not inline a target
// intrinsic into a template shared by every width); other compilers take
// those operations lane by lane and leave the rest to their vectoriser.
#if defined(__GNUC__) && !defined(__clang__)
#define ZEMBA_LANES_ASM 1
#else
#define ZEMBA_LANES_ASM 0
#endif

namespace zemba::core {

enum class Isa : int { sse2 = 0, avx2 = 1, avx512 = 2 };

// The widest set this processor offers (asked once per process).
Isa detectedIsa();
// detectedIsa() capped by ZEMBA_ISA (read once per process): what dispatch uses.
Isa isa();
// The cap rule: "sse2" and "avx2" lower best to at most that set; anything
// else (or no value) leaves it.
Isa capIsa(Isa best, const char* cap);

// Operations shared by every width. D and I are W-lane vectors of double and
// int64 (compare results: all ones or zero per lane), I32 of int32; VF and VW
// 2W-lane vectors of float and int32 (as wide as D), VH W floats.
template <int N, class D, class I, class I32, class VF, class VW, class VH>
struct LaneOps {
    static constexpr int W = N;
    static constexpr int F = 2 * N;
    typedef D vd;
    typedef I vi;
    typedef I32 vi32;
    typedef VF vf;
    typedef VW vw;

    // Unaligned load and store of W doubles.
    static ZEMBA_KERNEL void load(vd& v, const double* p) { std::memcpy(&v, p, sizeof v); }
    static ZEMBA_KERNEL void store(double* p, const vd& v) { std::memcpy(p, &v, sizeof v); }
    static ZEMBA_KERNEL void load(vi& v, const int64_t* p) { std::memcpy(&v, p, sizeof v); }
    static ZEMBA_KERNEL void store(int64_t* p, const vi& v) { std::memcpy(p, &v, sizeof v); }
    static ZEMBA_KERNEL void store(int32_t* p, const vi32& v) { std::memcpy(p, &v, sizeof v); }
    // Orders the streaming stores (stream) before what follows.
    static ZEMBA_KERNEL void fence() { _mm_sfence(); }
    // Lane-wise std::min / std::max (a NaN in b keeps a; equal lanes keep a).
    static ZEMBA_KERNEL void min(vd& a, const vd& b) { a = b < a ? b : a; }
    static ZEMBA_KERNEL void max(vd& a, const vd& b) { a = a < b ? b : a; }
    static ZEMBA_KERNEL void min(vi32& a, const vi32& b) { a = b < a ? b : a; }
    static ZEMBA_KERNEL void max(vi32& a, const vi32& b) { a = a < b ? b : a; }
    // |v|: the sign bit cleared.
    static ZEMBA_KERNEL void abs(vd& v) {
        v = reinterpret_cast<vd>(reinterpret_cast<vi>(v) & (vi{} + INT64_MAX));
    }
    // The same on float and int32 lanes, and W doubles rounded to float.
    static ZEMBA_KERNEL void load(vf& v, const float* p) { std::memcpy(&v, p, sizeof v); }
    static ZEMBA_KERNEL void store(float* p, const vf& v) { std::memcpy(p, &v, sizeof v); }
    static ZEMBA_KERNEL void load(vw& v, const int32_t* p) { std::memcpy(&v, p, sizeof v); }
    static ZEMBA_KERNEL void store(int32_t* p, const vw& v) { std::memcpy(p, &v, sizeof v); }
    // (GCC would fold a load into each instruction that uses it: two loads,
    // each crossing a cache line when unaligned)
    static ZEMBA_KERNEL void loadKept(vf& v, const float* p) {
        load(v, p);
#if ZEMBA_LANES_ASM
        asm("" : "+v"(v));
#endif
    }
    static ZEMBA_KERNEL void min(vf& a, const vf& b) { a = b < a ? b : a; }
    static ZEMBA_KERNEL void max(vf& a, const vf& b) { a = a < b ? b : a; }
    static ZEMBA_KERNEL void abs(vf& v) { v = reinterpret_cast<vf>(reinterpret_cast<vw>(v) & (vw{} + INT32_MAX)); }
    static ZEMBA_KERNEL void toFloat(float* p, const vd& v) {
        const VH h = __builtin_convertvector(v, VH);
        std::memcpy(p, &h, sizeof h);
    }
    // Lane sums of a double and an int64 vector, in lane order.
    static ZEMBA_KERNEL double sum(const vd& v) {
        double s = v[0];
        for (int l = 1; l < W; ++l) s += v[l];
        return s;
    }
    static ZEMBA_KERNEL int64_t sum(const vi& v) {
        int64_t s = 0;
        for (int l = 0; l < W; ++l) s += v[l];
        return s;
    }
};

template <int W>
struct Ops;

// ---- two lanes: SSE2 ----
typedef double vd2 __attribute__((vector_size(16)));
typedef int64_t vi2 __attribute__((vector_size(16)));
typedef int32_t vi32x2 __attribute__((vector_size(8)));
typedef int32_t vi32x4 __attribute__((vector_size(16)));
typedef int32_t vi32x8 __attribute__((vector_size(32)));
typedef int32_t vi32x16 __attribute__((vector_size(64)));
typedef float vf2 __attribute__((vector_size(8)));
typedef float vf4 __attribute__((vector_size(16)));
typedef float vf8 __attribute__((vector_size(32)));
typedef float vf16 __attribute__((vector_size(64)));

template <>
struct Ops<2> : LaneOps<2, vd2, vi2, vi32x2, vf4, vi32x4, vf2> {
    static constexpr Isa kIsa = Isa::sse2;
    static ZEMBA_KERNEL unsigned bitsF(const vw& m) {
        return static_cast<unsigned>(_mm_movemask_ps(reinterpret_cast<__m128>(m)));
    }
    static ZEMBA_KERNEL void widen(vi& lo, vi& hi, const vw& m) {
        lo = vi{m[0], m[1]};
        hi = vi{m[2], m[3]};
    }
    // x in every lane (built from two lanes: a wider vector built lane by lane
    // in a function compiled for SSE2 would be written piecewise).
    static ZEMBA_KERNEL void broadcast(vd& v, double x) { v = vd{x, x}; }
    static ZEMBA_KERNEL void iota(vd& v) { v = vd{0.0, 1.0}; }
    static ZEMBA_KERNEL void broadcast(vw& v, int32_t x) { v = vw{x, x, x, x}; }
    static ZEMBA_KERNEL void iotaF(vw& v) { v = vw{0, 1, 2, 3}; }
    // Non-temporal store; p aligned to 16 bytes.
    static ZEMBA_KERNEL void stream(double* p, const vd& v) { _mm_stream_pd(p, v); }
    // Correctly rounded square roots in place.
    static ZEMBA_KERNEL void sqrt(vd& v) { v = _mm_sqrt_pd(v); }
    // Bit l set where lane l of the compare result m is set.
    static ZEMBA_KERNEL unsigned bits(const vi& m) {
        return static_cast<unsigned>(_mm_movemask_pd(reinterpret_cast<__m128d>(m)));
    }
    static ZEMBA_KERNEL unsigned bitsGreater(const vd& a, const vd& b) { return bits(a > b); }
    // Rounded toward minus infinity in place (SSE2 has no vector form).
    static ZEMBA_KERNEL void floor(vd& v) { v = vd{__builtin_floor(v[0]), __builtin_floor(v[1])}; }
    // Truncated toward zero; NaN and values outside int32 give INT32_MIN.
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) {
        const __m128i t = _mm_cvttpd_epi32(v);
        std::memcpy(&out, &t, sizeof out);
    }
};

// ---- four lanes: AVX2 ----
typedef double vd4 __attribute__((vector_size(32)));
typedef int64_t vi4 __attribute__((vector_size(32)));

// Lane-by-lane forms of the wider operations (other compilers).
template <class O>
struct PortableLanes {
    typedef typename O::vd vd;
    typedef typename O::vi vi;
    typedef typename O::vi32 vi32;
    static ZEMBA_KERNEL void sqrt(vd& v) {
        for (int l = 0; l < O::W; ++l) v[l] = __builtin_sqrt(v[l]);
    }
    static ZEMBA_KERNEL unsigned bits(const vi& m) {
        unsigned b = 0;
        for (int l = 0; l < O::W; ++l) b |= static_cast<unsigned>(m[l] & 1) << l;
        return b;
    }
    static ZEMBA_KERNEL unsigned bitsF(const typename O::vw& m) {
        unsigned b = 0;
        for (int l = 0; l < O::F; ++l) b |= static_cast<unsigned>(m[l] & 1) << l;
        return b;
    }
    static ZEMBA_KERNEL void floor(vd& v) {
        for (int l = 0; l < O::W; ++l) v[l] = __builtin_floor(v[l]);
    }
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) {
        for (int l = 0; l < O::W; ++l)
            out[l] = v[l] > -2147483649.0 && v[l] < 2147483648.0 ? static_cast<int32_t>(v[l]) : INT32_MIN;
    }
    static ZEMBA_KERNEL void stream(double* p, const vd& v) {
#if defined(__clang__)
        __builtin_nontemporal_store(v, reinterpret_cast<vd*>(p));
#else
        std::memcpy(p, &v, sizeof v);
#endif
    }
};

template <>
struct Ops<4> : LaneOps<4, vd4, vi4, vi32x4, vf8, vi32x8, vf4> {
    static constexpr Isa kIsa = Isa::avx2;
    static ZEMBA_KERNEL void widen(vi& lo, vi& hi, const vw& m) {
        lo = __builtin_convertvector(__builtin_shufflevector(m, m, 0, 1, 2, 3), vi);
        hi = __builtin_convertvector(__builtin_shufflevector(m, m, 4, 5, 6, 7), vi);
    }
    static ZEMBA_KERNEL void broadcast(vd& v, double x) { v = __builtin_shufflevector(vd2{x, x}, vd2{x, x}, 0, 0, 0, 0); }
    static ZEMBA_KERNEL void iota(vd& v) { v = vd{0.0, 1.0, 2.0, 3.0}; }
    static ZEMBA_KERNEL void broadcast(vw& v, int32_t x) {
        const vi32x4 q = {x, x, x, x};
        v = __builtin_shufflevector(q, q, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    static ZEMBA_KERNEL void iotaF(vw& v) { v = vw{0, 1, 2, 3, 4, 5, 6, 7}; }
    static ZEMBA_KERNEL unsigned bitsGreater(const vd& a, const vd& b) { return bits(a > b); }
#if ZEMBA_LANES_ASM
    static ZEMBA_KERNEL void stream(double* p, const vd& v) { asm("vmovntpd %1, %0" : "=m"(*reinterpret_cast<vd*>(p)) : "v"(v)); }
    static ZEMBA_KERNEL void sqrt(vd& v) { asm("vsqrtpd %0, %0" : "+v"(v)); }
    static ZEMBA_KERNEL unsigned bits(const vi& m) {
        unsigned b;
        asm("vmovmskpd %1, %0" : "=r"(b) : "v"(m));
        return b;
    }
    static ZEMBA_KERNEL unsigned bitsF(const vw& m) {
        unsigned b;
        asm("vmovmskps %1, %0" : "=r"(b) : "v"(m));
        return b;
    }
    static ZEMBA_KERNEL void floor(vd& v) { asm("vroundpd $1, %0, %0" : "+v"(v)); }
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) { asm("vcvttpd2dq %1, %0" : "=v"(out) : "v"(v)); }
#else
    static ZEMBA_KERNEL void stream(double* p, const vd& v) { PortableLanes<Ops>::stream(p, v); }
    static ZEMBA_KERNEL void sqrt(vd& v) { PortableLanes<Ops>::sqrt(v); }
    static ZEMBA_KERNEL unsigned bits(const vi& m) { return PortableLanes<Ops>::bits(m); }
    static ZEMBA_KERNEL unsigned bitsF(const vw& m) { return PortableLanes<Ops>::bitsF(m); }
    static ZEMBA_KERNEL void floor(vd& v) { PortableLanes<Ops>::floor(v); }
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) { PortableLanes<Ops>::trunc32(out, v); }
#endif
};

// ---- eight lanes: AVX-512 ----
typedef double vd8 __attribute__((vector_size(64)));
typedef int64_t vi8 __attribute__((vector_size(64)));

template <>
struct Ops<8> : LaneOps<8, vd8, vi8, vi32x8, vf16, vi32x16, vf8> {
    static constexpr Isa kIsa = Isa::avx512;
    static ZEMBA_KERNEL void widen(vi& lo, vi& hi, const vw& m) {
        lo = __builtin_convertvector(__builtin_shufflevector(m, m, 0, 1, 2, 3, 4, 5, 6, 7), vi);
        hi = __builtin_convertvector(__builtin_shufflevector(m, m, 8, 9, 10, 11, 12, 13, 14, 15), vi);
    }
    static ZEMBA_KERNEL void iota(vd& v) { v = vd{0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0}; }
    static ZEMBA_KERNEL void iotaF(vw& v) { v = vw{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}; }
#if ZEMBA_LANES_ASM
    // (from two lanes GCC goes through memory here: a stalled reload per call)
    static ZEMBA_KERNEL void broadcast(vd& v, double x) { asm("vbroadcastsd %1, %0" : "=v"(v) : "v"(x)); }
    static ZEMBA_KERNEL void broadcast(vw& v, int32_t x) { asm("vpbroadcastd %1, %0" : "=v"(v) : "r"(x)); }
    static ZEMBA_KERNEL void stream(double* p, const vd& v) { asm("vmovntpd %1, %0" : "=m"(*reinterpret_cast<vd*>(p)) : "v"(v)); }
    static ZEMBA_KERNEL void sqrt(vd& v) { asm("vsqrtpd %0, %0" : "+v"(v)); }
    static ZEMBA_KERNEL unsigned bits(const vi& m) {
        unsigned char k;
        asm("vpmovq2m %1, %0" : "=Yk"(k) : "v"(m));
        return k;
    }
    static ZEMBA_KERNEL unsigned bitsF(const vw& m) {
        uint16_t k;
        asm("vpmovd2m %1, %0" : "=Yk"(k) : "v"(m));
        return k;
    }
    // (the compare straight into a mask register: predicate 0x1e, greater
    // than, ordered and quiet)
    static ZEMBA_KERNEL unsigned bitsGreater(const vd& a, const vd& b) {
        unsigned char k;
        asm("vcmppd $0x1e, %2, %1, %0" : "=Yk"(k) : "v"(a), "v"(b));
        return k;
    }
    static ZEMBA_KERNEL void floor(vd& v) { asm("vrndscalepd $1, %0, %0" : "+v"(v)); }
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) { asm("vcvttpd2dq %1, %0" : "=v"(out) : "v"(v)); }
#else
    static ZEMBA_KERNEL void broadcast(vd& v, double x) { v = vd{x, x, x, x, x, x, x, x}; }
    static ZEMBA_KERNEL void broadcast(vw& v, int32_t x) { v = vw{x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x}; }
    static ZEMBA_KERNEL unsigned bitsGreater(const vd& a, const vd& b) { return bits(a > b); }
    static ZEMBA_KERNEL void stream(double* p, const vd& v) { PortableLanes<Ops>::stream(p, v); }
    static ZEMBA_KERNEL void sqrt(vd& v) { PortableLanes<Ops>::sqrt(v); }
    static ZEMBA_KERNEL unsigned bits(const vi& m) { return PortableLanes<Ops>::bits(m); }
    static ZEMBA_KERNEL unsigned bitsF(const vw& m) { return PortableLanes<Ops>::bitsF(m); }
    static ZEMBA_KERNEL void floor(vd& v) { PortableLanes<Ops>::floor(v); }
    static ZEMBA_KERNEL void trunc32(vi32& out, const vd& v) { PortableLanes<Ops>::trunc32(out, v); }
#endif
};

using Sse2 = Ops<2>;
using Avx2 = Ops<4>;
using Avx512 = Ops<8>;

namespace detail {
template <class K, class... A>
__attribute__((noinline)) decltype(auto) onSse2(A&&... a) {
    return K::template run<Ops<2>>(static_cast<A&&>(a)...);
}
template <class K, class... A>
ZEMBA_TARGET_AVX2 __attribute__((noinline)) decltype(auto) onAvx2(A&&... a) {
    return K::template run<Ops<4>>(static_cast<A&&>(a)...);
}
template <class K, class... A>
ZEMBA_TARGET_AVX512 __attribute__((noinline)) decltype(auto) onAvx512(A&&... a) {
    return K::template run<Ops<8>>(static_cast<A&&>(a)...);
}
}  // namespace detail

// Kernel::run<Ops<width of which>>(a...); which must not exceed detectedIsa().
template <class Kernel, class... A>
inline decltype(auto) dispatchAt(Isa which, A&&... a) {
    switch (which) {
        case Isa::avx512: return detail::onAvx512<Kernel>(static_cast<A&&>(a)...);
        case Isa::avx2: return detail::onAvx2<Kernel>(static_cast<A&&>(a)...);
        default: return detail::onSse2<Kernel>(static_cast<A&&>(a)...);
    }
}

// Kernel::run at the width isa() chooses.
template <class Kernel, class... A>
inline decltype(auto) dispatch(A&&... a) {
    return dispatchAt<Kernel>(isa(), static_cast<A&&>(a)...);
}

}  // namespace zemba::core

#endif

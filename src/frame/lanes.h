// Vectors of W doubles (and of W 64-bit integers) as GCC vector types, so that
// one kernel can be compiled for 2, 4 and 8 lanes inside functions marked for
// SSE2, AVX2 or AVX-512 (see cpu.h).
#ifndef ZEMBA_FRAME_LANES_H
#define ZEMBA_FRAME_LANES_H

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace zemba {

template <int W, class V>
inline __attribute__((always_inline)) void wideRoot(V& v) {
#if defined(__GNUC__) && !defined(__clang__)
    asm("vsqrtpd %0, %0" : "+v"(v));
#else
    for (int l = 0; l < W; ++l) v[l] = __builtin_sqrt(v[l]);
#endif
}

template <int W>
struct Lanes;
// root(v): correctly rounded square roots in place. The wider forms are one
// vsqrtpd written out, since GCC does not inline a target intrinsic into the
// template shared by all widths; other compilers take them lane by lane.
template <>
struct Lanes<2> {
    typedef double vd __attribute__((vector_size(16)));
    typedef int64_t vi __attribute__((vector_size(16)));
    static inline __attribute__((always_inline)) void root(vd& v) { v = _mm_sqrt_pd(v); }
};
template <>
struct Lanes<4> {
    typedef double vd __attribute__((vector_size(32)));
    typedef int64_t vi __attribute__((vector_size(32)));
    static inline __attribute__((always_inline)) void root(vd& v) { wideRoot<4>(v); }
};
template <>
struct Lanes<8> {
    typedef double vd __attribute__((vector_size(64)));
    typedef int64_t vi __attribute__((vector_size(64)));
    static inline __attribute__((always_inline)) void root(vd& v) { wideRoot<8>(v); }
};

// Unaligned load and store (the vector goes by reference, never by value
// across a call whose instruction set differs).
template <class V>
inline void loadLanes(V& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
inline void storeLanes(double* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace zemba

#endif

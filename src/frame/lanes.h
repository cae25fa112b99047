// Vectors of W doubles (and of W 64-bit integers) as GCC vector types, so that
// one kernel can be compiled for 2, 4 and 8 lanes inside functions marked for
// SSE2, AVX2 or AVX-512 (see cpu.h).
#ifndef ZEMBA_FRAME_LANES_H
#define ZEMBA_FRAME_LANES_H

#include <cstdint>
#include <cstring>

namespace zemba {

template <int W>
struct Lanes;
// root(v): correctly rounded square roots in place (sqrtpd / vsqrtpd; the
// wider forms as one instruction, since GCC does not inline target intrinsics
// into a template shared by all widths).
template <>
struct Lanes<2> {
    typedef double vd __attribute__((vector_size(16)));
    typedef int64_t vi __attribute__((vector_size(16)));
    static inline __attribute__((always_inline)) void root(vd& v) { v = __builtin_ia32_sqrtpd(v); }
};
template <>
struct Lanes<4> {
    typedef double vd __attribute__((vector_size(32)));
    typedef int64_t vi __attribute__((vector_size(32)));
    static inline __attribute__((always_inline)) void root(vd& v) { asm("vsqrtpd %0, %0" : "+v"(v)); }
};
template <>
struct Lanes<8> {
    typedef double vd __attribute__((vector_size(64)));
    typedef int64_t vi __attribute__((vector_size(64)));
    static inline __attribute__((always_inline)) void root(vd& v) { asm("vsqrtpd %0, %0" : "+v"(v)); }
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

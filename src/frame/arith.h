// Integer arithmetic as the library defines it: 32-bit two's-complement
// wrap-around and x86 truncation of doubles. Written without undefined
// behaviour so that sanitizers stay silent on purpose.
#ifndef ZEMBA_FRAME_ARITH_H
#define ZEMBA_FRAME_ARITH_H

#include <cstdint>
#include <limits>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <emmintrin.h>
#endif

namespace zemba {

// double -> int32 truncating toward zero; NaN and values outside the int32
// range give INT32_MIN, as the x86 conversion instruction does.
inline int32_t trunc32(double v) {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    return _mm_cvttsd_si32(_mm_set_sd(v));
#else
    if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
#endif
}

inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
// trunc32(floor(v)) without the library call: inside [-2^31, 2^31) the
// truncation toward zero steps down where it rounded up; outside (and for
// NaN) INT32_MIN.
inline int32_t floor32(double v) {
    if (!(v >= -2147483648.0 && v < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    const int64_t t = static_cast<int64_t>(v);
    return static_cast<int32_t>(static_cast<double>(t) > v ? t - 1 : t);
}

// |a| with |INT32_MIN| = INT32_MIN, as the machine's negation gives.
inline int32_t wrapAbs(int32_t a) { return a < 0 ? wrapSub(0, a) : a; }

// Narrowing of a 'long' argument (64-bit on LP64 hosts) to the 32-bit value
// the interface defines.
inline int32_t narrow32(long v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(v))); }

}  // namespace zemba

#endif

// Order-preserving unsigned keys: compared as integers, they order as the
// values do. Doubles (-0.0 read as +0.0; the key of no double but a NaN is 0
// or UINT64_MAX) and signed integers.
#ifndef ZEMBA_CORE_FRAME_KEYS_H
#define ZEMBA_CORE_FRAME_KEYS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zemba::core {

inline uint64_t orderKey(double d) {
    d += 0.0;
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return (b >> 63) ? ~b : b | (1ull << 63);
}

// keys[i] = orderKey(x[i]) for finite x[0..n-1]. Vectorised.
void orderKeys(const double* x, size_t n, uint64_t* keys);

inline uint64_t orderKey(int64_t v) { return static_cast<uint64_t>(v) ^ (1ull << 63); }

}  // namespace zemba::core

#endif

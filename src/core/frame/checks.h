// Argument checks shared by the core kernels.
#ifndef ZEMBA_CORE_FRAME_CHECKS_H
#define ZEMBA_CORE_FRAME_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zemba::core {

// Index of the first value whose exponent is all ones (NaN or infinity), or n.
// Eight values are tested per step without a branch.
inline size_t firstNonfinite(const double* x, size_t n) {
    constexpr uint64_t kExp = 0x7ff0000000000000ull;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t bad = 0;
        for (int k = 0; k < 8; ++k) {
            uint64_t b;
            std::memcpy(&b, x + i + k, 8);
            bad |= static_cast<uint64_t>((b & kExp) == kExp) << k;
        }
        if (bad) return i + static_cast<size_t>(__builtin_ctzll(bad));
    }
    for (; i < n; ++i) {
        uint64_t b;
        std::memcpy(&b, x + i, 8);
        if ((b & kExp) == kExp) return i;
    }
    return n;
}

inline bool allFinite(const double* x, size_t n) { return firstNonfinite(x, n) == n; }

}  // namespace zemba::core

#endif

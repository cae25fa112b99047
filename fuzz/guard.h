// Guarded caller arrays for the fuzz targets: exactly the size a caller would
// declare, followed by canary cells that no call may change. The allocation
// ends right after the canaries, so AddressSanitizer catches anything further.
#ifndef ZEMBA_FUZZ_GUARD_H
#define ZEMBA_FUZZ_GUARD_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zemba_fuzz {

[[noreturn]] inline void fail(const char* what, const char* routine) {
    std::fprintf(stderr, "zemba fuzz: %s (%s)\n", what, routine);
    std::abort();
}

template <typename T>
class Guarded {
public:
    static constexpr size_t kCanaries = 4;
    explicit Guarded(size_t n) : n_(n), cells_(n + kCanaries) {
        std::memset(cells_.data(), 0xA5, sizeof(T) * cells_.size());
        std::memcpy(&canary_, cells_.data() + n, sizeof(T));
    }
    T* data() { return cells_.data(); }
    T& operator[](size_t i) { return cells_[i]; }
    size_t size() const { return n_; }
    // Fills the declared cells (the canaries stay as they are).
    void fill(T v) {
        for (size_t i = 0; i < n_; ++i) cells_[i] = v;
    }
    void check(const char* routine) const {
        for (size_t i = n_; i < cells_.size(); ++i)
            if (std::memcmp(&cells_[i], &canary_, sizeof(T)) != 0) fail("write past the declared output", routine);
    }
    // True when no declared cell differs from the fill pattern 0xA5.
    bool untouched() const {
        for (size_t i = 0; i < n_; ++i)
            if (std::memcmp(&cells_[i], &canary_, sizeof(T)) != 0) return false;
        return true;
    }

private:
    size_t n_;
    std::vector<T> cells_;
    T canary_{};
};

}  // namespace zemba_fuzz

#endif

// Detection of the processor's vector instruction sets (see cpu.h).
#include "frame/cpu.h"

#include <cstdlib>
#include <cstring>

namespace zemba {
namespace {

Isa detect() {
    __builtin_cpu_init();
    Isa best = Isa::sse2;
    if (__builtin_cpu_supports("avx2")) best = Isa::avx2;
    if (best == Isa::avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        best = Isa::avx512;
    const char* cap = std::getenv("ZEMBA_ISA");
    Isa limit = Isa::avx512;
    if (cap && std::strcmp(cap, "sse2") == 0) limit = Isa::sse2;
    if (cap && std::strcmp(cap, "avx2") == 0) limit = Isa::avx2;
    return static_cast<int>(best) < static_cast<int>(limit) ? best : limit;
}

}  // namespace

Isa isa() {
    static const Isa chosen = detect();
    return chosen;
}

}  // namespace zemba

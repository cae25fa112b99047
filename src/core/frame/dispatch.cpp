// Detection of the processor's vector instruction sets and the ZEMBA_ISA cap
// (see dispatch.h); each is settled once per process.
#include "core/frame/dispatch.h"

#include <cstdlib>
#include <cstring>

namespace zemba::core {
namespace {

Isa probe() {
    __builtin_cpu_init();
    Isa best = Isa::sse2;
    if (__builtin_cpu_supports("avx2")) best = Isa::avx2;
    if (best == Isa::avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        best = Isa::avx512;
    return best;
}

}  // namespace

Isa capIsa(Isa best, const char* cap) {
    Isa limit = Isa::avx512;
    if (cap && std::strcmp(cap, "sse2") == 0) limit = Isa::sse2;
    if (cap && std::strcmp(cap, "avx2") == 0) limit = Isa::avx2;
    return static_cast<int>(best) < static_cast<int>(limit) ? best : limit;
}

Isa detectedIsa() {
    static const Isa best = probe();
    return best;
}

Isa isa() {
    static const Isa chosen = capIsa(detectedIsa(), std::getenv("ZEMBA_ISA"));
    return chosen;
}

}  // namespace zemba::core

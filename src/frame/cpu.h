// The vector instruction sets this processor offers, asked once per process.
// Routines with hand-vectorised paths pick one by isa(); every path gives the
// same bits. ZEMBA_ISA=sse2|avx2|avx512 in the environment caps the choice,
// so that one machine can run the tests of every path.
#ifndef ZEMBA_FRAME_CPU_H
#define ZEMBA_FRAME_CPU_H

namespace zemba {

enum class Isa : int { sse2 = 0, avx2 = 1, avx512 = 2 };

Isa isa();

}  // namespace zemba

// Function attributes that compile one function for a wider instruction set
// than the library's baseline (x86-64, SSE2). Call such functions only after
// isa() allows them.
#define ZEMBA_AVX2 __attribute__((target("avx2")))
#define ZEMBA_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq")))

#endif

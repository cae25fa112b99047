// Pair counting over sorted templates (see sorted_pairs.h), vectorised over
// the partners of each template at the widest instruction set available.
#include "regularity/sorted_pairs.h"

#include <cmath>
#include <cstring>

#include "frame/cpu.h"
#include "frame/lanes.h"

namespace zemba {
namespace {

// W partners at a time with GCC vector types; the wrappers below compile this
// for 2, 4 and 8 lanes.
template <int W, int C>
__attribute__((always_inline)) inline void countLanes(const PairTables& t, int64_t T, double R, int64_t* counts) {
    typedef typename Lanes<W>::vd vd;
    typedef typename Lanes<W>::vi vi;
    const double* key = t.column[0];
    vi acc[C];
    int64_t scalar[C] = {};
    const vd radius = vd{} + R;
    const vi absMask = vi{} + INT64_MAX;
    for (int k = 0; k < C; ++k) acc[k] = vi{};
    int64_t end = 0, first = 0;
    for (int64_t q = 0; q < T; ++q) {
        // Partners after q in sorted order: p < end. The difference to q grows
        // with p and shrinks as q moves on, so end only moves forward.
        if (end <= q) end = q + 1;
        while (end < T && key[end] - key[q] < R) ++end;
        first += end - q - 1;
        vd own[C] = {};
        for (int k = 1; k < C; ++k) own[k] = vd{} + t.column[k][q];
        int64_t p = q + 1;
        for (; p + W <= end; p += W) {
            vi ok = ~vi{};
            for (int k = 1; k < C; ++k) {
                vd v;
                loadLanes(v, t.column[k] + p);
                const vd d = reinterpret_cast<vd>(reinterpret_cast<vi>(v - own[k]) & absMask);
                ok &= d < radius;
                acc[k] -= ok;
            }
        }
        for (; p < end; ++p) {
            bool ok = true;
            for (int k = 1; k < C; ++k) {
                ok = ok && std::fabs(t.column[k][p] - t.column[k][q]) < R;
                scalar[k] += ok;
            }
        }
    }
    counts[0] = first;
    for (int k = 1; k < C; ++k) {
        int64_t s = scalar[k];
        for (int l = 0; l < W; ++l) s += acc[k][l];
        counts[k] = s;
    }
}

template <int C>
void countSse2(const PairTables& t, int64_t T, double R, int64_t* counts) {
    countLanes<2, C>(t, T, R, counts);
}
template <int C>
ZEMBA_AVX2 void countAvx2(const PairTables& t, int64_t T, double R, int64_t* counts) {
    countLanes<4, C>(t, T, R, counts);
}
template <int C>
ZEMBA_AVX512 void countAvx512(const PairTables& t, int64_t T, double R, int64_t* counts) {
    countLanes<8, C>(t, T, R, counts);
}

template <int C>
void countAt(const PairTables& t, int64_t T, double R, int64_t* counts) {
    switch (isa()) {
        case Isa::avx512: return countAvx512<C>(t, T, R, counts);
        case Isa::avx2: return countAvx2<C>(t, T, R, counts);
        default: return countSse2<C>(t, T, R, counts);
    }
}

}  // namespace

void countMatchingPairs(const PairTables& t, int64_t T, int C, double R, int64_t* counts) {
    switch (C) {
        case 1: return countAt<1>(t, T, R, counts);
        case 2: return countAt<2>(t, T, R, counts);
        case 3: return countAt<3>(t, T, R, counts);
        default: return countAt<4>(t, T, R, counts);
    }
}

}  // namespace zemba

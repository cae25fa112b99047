// Pair counting over sorted templates (see sorted_pairs.h), vectorised over
// the partners of each template at the widest instruction set available.
#include "regularity/sorted_pairs.h"

#include <cmath>
#include <cstring>

#include "core/frame/dispatch.h"

namespace zemba {
namespace {

// W partners at a time (one kernel for every width, see dispatch.h).
template <int C>
struct CountPairs {
    template <class V>
    static ZEMBA_KERNEL void run(const PairTables& t, int64_t T, double R, int64_t* counts) {
        typedef typename V::vd vd;
        typedef typename V::vi vi;
        constexpr int W = V::W;
        const double* key = t.column[0];
        vi acc[C];
        int64_t scalar[C] = {};
        vd radius;
        V::broadcast(radius, R);
        for (int k = 0; k < C; ++k) acc[k] = vi{};
        int64_t end = 0, first = 0;
        for (int64_t q = 0; q < T; ++q) {
            // Partners after q in sorted order: p < end. The difference to q grows
            // with p and shrinks as q moves on, so end only moves forward.
            if (end <= q) end = q + 1;
            while (end < T && key[end] - key[q] < R) ++end;
            first += end - q - 1;
            vd own[C] = {};
            for (int k = 1; k < C; ++k) V::broadcast(own[k], t.column[k][q]);
            int64_t p = q + 1;
            for (; p + W <= end; p += W) {
                vi ok = ~vi{};
                for (int k = 1; k < C; ++k) {
                    vd d;
                    V::load(d, t.column[k] + p);
                    d = d - own[k];
                    V::abs(d);
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
        for (int k = 1; k < C; ++k) counts[k] = scalar[k] + V::sum(acc[k]);
    }
};

}  // namespace

void countMatchingPairs(const PairTables& t, int64_t T, int C, double R, int64_t* counts) {
    switch (C) {
        case 1: return core::dispatch<CountPairs<1>>(t, T, R, counts);
        case 2: return core::dispatch<CountPairs<2>>(t, T, R, counts);
        case 3: return core::dispatch<CountPairs<3>>(t, T, R, counts);
        default: return core::dispatch<CountPairs<4>>(t, T, R, counts);
    }
}

}  // namespace zemba

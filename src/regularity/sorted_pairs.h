// Pairs of templates whose samples all lie within a tolerance of each other,
// counted from the templates sorted by one of their samples: the partners of a
// template on that sample form one run of the sorted order, so only they are
// compared on the other samples.
#ifndef ZEMBA_REGULARITY_SORTED_PAIRS_H
#define ZEMBA_REGULARITY_SORTED_PAIRS_H

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace zemba {

constexpr int kPairColumns = 4;      // samples compared per template
constexpr int64_t kPairCap = 12288;  // templates

// Work tables. Routines that may run concurrently claim them and fall back to
// their direct count when another call holds them.
struct PairTables {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    struct Keyed {
        double key;
        int32_t at;
    } keyed[kPairCap];
    double column[kPairColumns][kPairCap];  // sample k of the q-th template in sorted order

    bool claim() { return !busy.test_and_set(std::memory_order_acquire); }
    void release() { busy.clear(std::memory_order_release); }

    // Sorts templates 0 .. T - 1 by sample(t, 0), which must never be NaN, and
    // gathers column[k][q] = sample(template q, k) for k < C.
    template <class Sample>
    void gather(int64_t T, int C, Sample sample) {
        for (int64_t t = 0; t < T; ++t) keyed[t] = {sample(t, 0), static_cast<int32_t>(t)};
        std::sort(keyed, keyed + T, [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
        for (int64_t q = 0; q < T; ++q) column[0][q] = keyed[q].key;
        for (int k = 1; k < C; ++k)
            for (int64_t q = 0; q < T; ++q) column[k][q] = sample(keyed[q].at, k);
    }
};

// counts[k], k < C <= kPairColumns: unordered pairs of the T gathered templates
// whose samples 0 .. k all match, a and b matching when |a - b| < R as computed
// in double (a NaN never matches).
void countMatchingPairs(const PairTables& t, int64_t T, int C, double R, int64_t* counts);

}  // namespace zemba

#endif

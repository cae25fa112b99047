// Visibility graph kernels of the C interface: degrees, directed degrees, edge
// counts and edge lists (with weights) of the horizontal and natural graphs.
// Each writes only the caller's output arrays.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/frame/keys.h"
#include "core/graphs/visibility.h"
#include "zemba/core.h"

using zemba::core::graphs::check;
using zemba::core::graphs::forEachEdge;
using zemba::core::graphs::Graph;
using zemba::core::graphs::kept;
using zemba::core::graphs::scratch;
using zemba::core::graphs::tailOf;
using zemba::core::graphs::weightOf;

namespace {

// Degrees of the horizontal graph, unfiltered, by the stack walk. A stack
// keeps order keys of the heights (compared as integers, one instruction
// each) beside the nodes' degree slots, strictly decreasing, over three
// sentinels no sample passes. Arriving at b, the lower samples taken off see
// b (and it them); the first one at least as high sees b too and goes when
// level with it. The top four entries are compared at once (the heights are
// ordered, so the lower ones form a run from the top, and the entry below the
// run is the one at least as high); deeper runs take a loop.
// Every node sees exactly one later sample in the step that takes it off, so
// that edge is counted when the node arrives, and taken back from the nodes
// left on the stack at the end. A step then adds one to a single entry, the
// one that stops the run, when it is higher and stays. Sentinels count into a
// slot of their own.
struct Entry {
    uint64_t h;
    size_t* slot;
};

constexpr uint64_t kTop = UINT64_MAX;  // above every key

struct Walk {
    Entry* e;
    size_t top;

    void open(uint64_t y0, size_t* slot, size_t* spare) {
        for (int s = 0; s < 3; ++s) e[s] = Entry{kTop, spare};
        e[3] = Entry{y0, slot};
        top = 3;
        *slot = 1;
    }

    __attribute__((always_inline)) void step(uint64_t yb, size_t* slot) {
        const Entry* t = e + top;
        const uint64_t v0 = t[0].h, v1 = t[-1].h, v2 = t[-2].h, v3 = t[-3].h;
        size_t popped = (size_t{v0 < yb} + size_t{v1 < yb}) + (size_t{v2 < yb} + size_t{v3 < yb});
        // with the entry level with yb, if any: it stops the run and goes too
        const size_t gone = (size_t{v0 <= yb} + size_t{v1 <= yb}) + (size_t{v2 <= yb} + size_t{v3 <= yb});
        if (__builtin_expect(popped == 4, 0)) {
            top -= popped;
            while (e[top].h < yb) {
                --top;
                ++popped;
            }
            *slot = popped + (top > 2) + 1;
            if (e[top].h == yb)
                --top;
            else
                ++*e[top].slot;
        } else {
            // the next top follows from the four entries already read, not
            // from another load at the new top (it would lengthen the chain
            // from one step to the next)
            *t[-popped].slot += gone == popped;
            *slot = popped + (top - popped > 2) + 1;
            top -= gone;
        }
        ++top;
        e[top] = Entry{yb, slot};
    }

    // the nodes never taken off: their counted edge to a later sample is not there
    void close() {
        for (size_t s = 3; s <= top; ++s) --*e[s].slot;
    }
};

constexpr size_t kBlock = 256;  // keys made at a time, at vector speed

// The two halves of the series are walked side by side (their chains of
// dependent loads overlap); then the samples still visible from the end of
// the first half meet the running maxima of the second, the only samples
// there that can see across.
int horizontalDegrees(const double* y, size_t n, size_t* deg) {
    using zemba::core::orderKey;
    const size_t half = n < 64 ? n : n / 2;
    auto stack = scratch<Entry>(n + 6);
    if (!stack) return ZEMBA_E_NO_MEMORY;
    size_t spare = 0;
    Walk a{stack.get(), 0};
    Walk b{stack.get() + half + 3, 0};
    a.open(orderKey(y[0]), deg, &spare);
    if (half < n) b.open(orderKey(y[half]), deg + half, &spare);
    size_t i = 1;
    if (half < n) {
        uint64_t ka[kBlock], kb[kBlock];
        while (i < half) {
            const size_t m = std::min(kBlock, half - i);
            zemba::core::orderKeys(y + i, m, ka);
            zemba::core::orderKeys(y + half + i, m, kb);
            for (size_t j = 0; j < m; ++j) {
                a.step(ka[j], deg + i + j);
                b.step(kb[j], deg + half + i + j);
            }
            i += m;
        }
    }
    for (; i < half; ++i) a.step(orderKey(y[i]), deg + i);
    for (size_t k = half + i; k < n; ++k) b.step(orderKey(y[k]), deg + k);
    if (half < n) {
        b.close();
        // Across the halves: as the walk goes on, but only at new maxima of
        // the second half, which push nothing the first half's nodes could meet.
        uint64_t best = 0;  // below every key
        for (size_t k = half; k < n && a.top > 2; ++k) {
            const uint64_t yk = orderKey(y[k]);
            if (!(yk > best)) continue;
            best = yk;
            while (a.e[a.top].h < yk) {
                ++deg[k];
                --a.top;
            }
            if (a.top > 2) {
                ++deg[k];
                if (a.e[a.top].h == yk)
                    --a.top;
                else
                    ++*a.e[a.top].slot;
            }
        }
    }
    a.close();
    return ZEMBA_OK;
}

}  // namespace

extern "C" int zemba_vg_options_init(zemba_vg_options* options, int kind) {
    if (!options) return ZEMBA_E_NULL;
    if (kind != ZEMBA_VG_HORIZONTAL && kind != ZEMBA_VG_NATURAL) return ZEMBA_E_ARGUMENT;
    options->kind = kind;
    options->direction = ZEMBA_VG_UNDIRECTED;
    options->weight = ZEMBA_VG_UNWEIGHTED;
    options->min_weight = -HUGE_VAL;
    options->max_weight = HUGE_VAL;
    return ZEMBA_OK;
}

extern "C" int zemba_vg_degrees(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                                size_t* degrees) {
    Graph g;
    // the unfiltered natural degrees of an untimed series check the values in
    // a pass of their own (statuses as from check())
    const bool own = options && options->kind == ZEMBA_VG_NATURAL && !t;
    if (const int s = check(options, y, t, n, g, !own)) return s;
    if (own && (g.filter || !degrees) && !zemba::core::allFinite(y, n)) return ZEMBA_E_NONFINITE;
    if (!degrees && n) return ZEMBA_E_NULL;
    if (n == 0) return ZEMBA_OK;
    if (g.kind == ZEMBA_VG_HORIZONTAL && !g.filter) return horizontalDegrees(y, n, degrees);
    if (g.kind == ZEMBA_VG_NATURAL && !g.filter) return zemba::core::graphs::naturalDegrees(g, degrees);
    std::memset(degrees, 0, sizeof(size_t) * n);
    return forEachEdge(
        g,
        [&](size_t a, size_t b) {
            if (g.filter && !kept(g, weightOf(g, a, b))) return;
            ++degrees[a];
            ++degrees[b];
        },
        [](size_t) {});
}

extern "C" int zemba_vg_directed_degrees(const zemba_vg_options* options, const double* y, const double* t,
                                         size_t n, size_t* in_degrees, size_t* out_degrees) {
    Graph g;
    if (const int s = check(options, y, t, n, g)) return s;
    if (n == 0) return ZEMBA_OK;
    if (!in_degrees && !out_degrees) return ZEMBA_E_NULL;
    size_t sink = 0;
    if (in_degrees) std::memset(in_degrees, 0, sizeof(size_t) * n);
    if (out_degrees) std::memset(out_degrees, 0, sizeof(size_t) * n);
    return forEachEdge(
        g,
        [&](size_t a, size_t b) {
            if (g.filter && !kept(g, weightOf(g, a, b))) return;
            const size_t from = tailOf(g, a, b), to = from == a ? b : a;
            ++(out_degrees ? out_degrees[from] : sink);
            ++(in_degrees ? in_degrees[to] : sink);
        },
        [](size_t) {});
}

extern "C" int zemba_vg_edge_count(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                                   size_t* count) {
    Graph g;
    if (const int s = check(options, y, t, n, g)) return s;
    if (!count) return ZEMBA_E_NULL;
    size_t c = 0;
    const int s = forEachEdge(
        g, [&](size_t a, size_t b) { c += !g.filter || kept(g, weightOf(g, a, b)); }, [](size_t) {});
    if (s == ZEMBA_OK) *count = c;
    return s;
}

extern "C" int zemba_vg_edges(const zemba_vg_options* options, const double* y, const double* t, size_t n,
                              size_t capacity, size_t* from, size_t* to, double* weights, size_t* count) {
    Graph g;
    if (const int s = check(options, y, t, n, g)) return s;
    if (!count || (capacity && (!from || !to))) return ZEMBA_E_NULL;
    if (g.kind == ZEMBA_VG_HORIZONTAL) {
        // Edges come grouped by the later vertex, the earlier ones descending:
        // each group is turned around once complete.
        size_t c = 0, group = 0;
        const int s = forEachEdge(
            g,
            [&](size_t a, size_t b) {
                const double w = weightOf(g, a, b);
                if (!kept(g, w)) return;
                if (c < capacity) {
                    from[c] = a;
                    to[c] = b;
                    if (weights) weights[c] = w;
                }
                ++c;
            },
            [&](size_t) {
                if (c <= capacity) {
                    std::reverse(from + group, from + c);
                    if (weights) std::reverse(weights + group, weights + c);
                }
                group = c;
            });
        if (s != ZEMBA_OK) return s;
        *count = c;
        if (c > capacity) return ZEMBA_E_CAPACITY;
    } else {
        // Natural graph: count the edges per later vertex, then place each at
        // its vertex's slot. A slot receives first the edges of the samples
        // before the vertex's stretch (ascending), then the vertex's own to the
        // left (nearest first), all of them later than the former.
        std::unique_ptr<size_t[]> slot;
        try {
            slot.reset(new size_t[n + 1]());
        } catch (const std::bad_alloc&) {
            return ZEMBA_E_NO_MEMORY;
        }
        size_t* at = slot.get();
        int s = forEachEdge(
            g, [&](size_t a, size_t b) { at[b + 1] += !g.filter || kept(g, weightOf(g, a, b)); }, [](size_t) {});
        if (s != ZEMBA_OK) return s;
        for (size_t i = 0; i < n; ++i) at[i + 1] += at[i];
        const size_t c = n ? at[n] : 0;
        *count = c;
        if (c > capacity) return ZEMBA_E_CAPACITY;
        s = forEachEdge(
            g,
            [&](size_t a, size_t b) {
                const double w = weightOf(g, a, b);
                if (!kept(g, w)) return;
                const size_t e = at[b]++;
                from[e] = a;
                to[e] = b;
                if (weights) weights[e] = w;
            },
            [](size_t) {});
        if (s != ZEMBA_OK) return s;
        // A vertex's own edges start at the largest earlier vertex of its slot.
        for (size_t b = 0, begin = 0; b < n; begin = at[b++]) {
            const size_t end = at[b];
            if (end - begin < 2) continue;
            const size_t top = static_cast<size_t>(std::max_element(from + begin, from + end) - from);
            std::reverse(from + top, from + end);
            if (weights) std::reverse(weights + top, weights + end);
        }
    }
    if (g.direction == ZEMBA_VG_TOP_TO_BOTTOM)
        for (size_t e = 0; e < *count; ++e)
            if (tailOf(g, from[e], to[e]) != from[e]) std::swap(from[e], to[e]);
    return ZEMBA_OK;
}

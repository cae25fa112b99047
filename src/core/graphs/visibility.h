// The edge enumerators of both visibility graphs, argument checks and edge
// weights shared by the graph kernels. Nothing here writes outside the
// callbacks' own arrays.
#ifndef ZEMBA_CORE_GRAPHS_VISIBILITY_H
#define ZEMBA_CORE_GRAPHS_VISIBILITY_H

#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/graphs/exact.h"
#include "core/graphs/horizontal_walk.h"
#include "zemba/core.h"

namespace zemba::core::graphs {

struct Graph {
    const double* y;
    const double* t;  // NULL: indices
    size_t n;
    int kind, direction, weight;
    double lo, hi;
    bool filter;  // weighted with a finite bound
};

// Checks options and input; fills g. ZEMBA_OK or the status to return.
inline int check(const zemba_vg_options* o, const double* y, const double* t, size_t n, Graph& g) {
    if (!o || (!y && n)) return ZEMBA_E_NULL;
    if ((o->kind != ZEMBA_VG_HORIZONTAL && o->kind != ZEMBA_VG_NATURAL) || o->direction < ZEMBA_VG_UNDIRECTED ||
        o->direction > ZEMBA_VG_TOP_TO_BOTTOM || o->weight < ZEMBA_VG_UNWEIGHTED || o->weight > ZEMBA_VG_SEED_DIFF ||
        std::isnan(o->min_weight) || std::isnan(o->max_weight))
        return ZEMBA_E_ARGUMENT;
    if (!allFinite(y, n) || (t && !allFinite(t, n))) return ZEMBA_E_NONFINITE;
    if (t)
        for (size_t i = 1; i < n; ++i)
            if (!(t[i] > t[i - 1])) return ZEMBA_E_ARGUMENT;
    g = Graph{y, t, n, o->kind, o->direction, o->weight, o->min_weight, o->max_weight, false};
    g.filter = g.weight != ZEMBA_VG_UNWEIGHTED && (g.lo > -HUGE_VAL || g.hi < HUGE_VAL);
    return ZEMBA_OK;
}

// Tail of the edge a < b as listed under the direction.
inline size_t tailOf(const Graph& g, size_t a, size_t b) {
    return g.direction == ZEMBA_VG_TOP_TO_BOTTOM && g.y[b] > g.y[a] ? b : a;
}

// Weight of the edge a < b as listed (from the tail to the head).
inline double weightOf(const Graph& g, size_t a, size_t b) {
    const double* y = g.y;
    const double lag = static_cast<double>(b - a);
    switch (g.weight) {
        case ZEMBA_VG_UNWEIGHTED: return 1.0;
        case ZEMBA_VG_SEED_LAG_DIFF: return std::fabs(std::trunc(y[b] - y[a])) * lag + 1.0;
        case ZEMBA_VG_SEED_SPAN: return std::fabs(std::trunc((y[b] - y[a]) * lag)) + 1.0;
        case ZEMBA_VG_SEED_DIFF: return std::fabs(std::trunc(y[b] - y[a])) + 1.0;
        default: break;
    }
    const size_t f = tailOf(g, a, b), h = f == a ? b : a;
    const double dy = y[h] - y[f];
    const double dt = g.t ? g.t[h] - g.t[f] : static_cast<double>(h) - static_cast<double>(f);
    switch (g.weight) {
        case ZEMBA_VG_SLOPE: return dy / dt;
        case ZEMBA_VG_ABS_SLOPE: return std::fabs(dy / dt);
        case ZEMBA_VG_ANGLE: return std::atan(dy / dt);
        case ZEMBA_VG_ABS_ANGLE: return std::fabs(std::atan(dy / dt));
        case ZEMBA_VG_DISTANCE: return std::sqrt(dt * dt + dy * dy);
        case ZEMBA_VG_SQ_DISTANCE: return dt * dt + dy * dy;
        case ZEMBA_VG_V_DISTANCE: return dy;
        case ZEMBA_VG_ABS_V_DISTANCE: return std::fabs(dy);
        case ZEMBA_VG_H_DISTANCE: return dt;
        default: return std::fabs(dt);
    }
}

inline bool kept(const Graph& g, double w) { return !g.filter || (g.lo < w && w < g.hi); }

// Storage for n items of T without initialising it (pages are touched only
// as they are used); null when out of memory.
template <class T>
std::unique_ptr<T[]> scratch(size_t n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[n ? n : 1]);
}

// ---- natural visibility -------------------------------------------------------

// Every sample m sees only inside its stretch [lo[m], hi[m]] (bounded by the
// nearest sample at least as high on the left and the nearest strictly higher
// one on the right), and every edge joins a sample to one in its stretch.
// Seen from m, sample j beyond k is hidden when its slope towards m is not
// smaller: (ym - yj) / |tm - tj| >= (ym - yk) / |tm - tk|. Scanning away from
// m, the smallest such slope so far decides; a sample passed over covers its
// own stretch on the far side (all no higher than itself), which is skipped
// whole when even its lowest possible slope cannot be smaller.
template <class Index>
class Natural {
public:
    Natural(const double* y, const double* t, size_t n) : y_(y), t_(t), n_(n) {}

    // Sets up the stretches; false when out of memory (std::bad_alloc from
    // a stack is left to the caller). Each side is a stack pass (the two run
    // side by side, their chains of dependent loads overlapping); a stack
    // keeps heights beside lo/hi candidates over four sentinels, grows as
    // needed and is compared four entries at a time, as the heights are
    // ordered; deeper runs take a loop.
    bool build() {
        const size_t n = n_;
        nd_ = scratch<Node>(n);
        if (!nd_) return false;
        for (size_t i = 0; i < n; ++i) nd_[i].y = y_[i];
        mode_ = exact::chooseMode(y_, t_, n);
        Pass<false> left(nd_.get(), n);
        Pass<true> right(nd_.get(), n);
        for (size_t i = 0; i < n; ++i) {
            left.step(y_, i);
            right.step(y_, n - 1 - i);
        }
        return true;
    }

    // edge(a, b), a < b, for every edge; per sample m in ascending order, its
    // edges to the left (nearest first), then to the right (nearest first).
    // leftDone(m) follows the edges to the left of m.
    template <class Edge, class LeftDone>
    void forEachEdge(Edge&& edge, LeftDone&& leftDone) {
        if (t_) {
            for (size_t m = 0; m < n_; ++m) {
                scan<true, false, false>(static_cast<Index>(m), edge);
                leftDone(m);
                scan<true, true, false>(static_cast<Index>(m), edge);
            }
        } else {
            for (size_t m = 0; m < n_; ++m) {
                scan<false, false, false>(static_cast<Index>(m), edge);
                leftDone(m);
                scan<false, true, false>(static_cast<Index>(m), edge);
            }
        }
    }

    // Whether degrees() may be used: index times, and magnitudes for which
    // no product below leaves the normal range.
    bool fastDegrees() const {
        if (t_ || n_ > (size_t{1} << 40)) return false;
        const exact::Range r = exact::rangeOf(y_, n_);
        return !r.any || (r.hi <= 400 && r.lo >= -460);
    }

    // Degrees into deg[0..n-1] (when fastDegrees()). Neighbours are counted
    // first; then the scans that reach past the neighbour, listed beforehand,
    // run three at a time side by side, each step free of branches on the
    // common outcomes, so that the three chains of dependent loads overlap.
    bool degrees(size_t* deg) {
        Node* nd = nd_.get();
        const size_t n = n_;
        auto tasks = scratch<Index>(n);
        if (!tasks) return false;
        for (size_t i = 0; i < n; ++i) deg[i] = (i > 0) + (i + 1 < n);
        size_t count = 0;
        for (size_t m = 2; m < n; ++m) {
            tasks[count] = static_cast<Index>(m);
            count += static_cast<size_t>(nd[m].lo) + 2 <= m;
        }
        sweep<false>(tasks.get(), count, deg);
        count = 0;
        for (size_t m = 0; m + 2 < n; ++m) {
            tasks[count] = static_cast<Index>(m);
            count += (static_cast<size_t>(nd[m].hi) >= m + 2) & (nd[m + 1].y != nd[m].y);
        }
        sweep<true>(tasks.get(), count, deg);
        return true;
    }

private:
    struct Lane {
        ptrdiff_t m, j, end;
        double ym, b, dk, yk;
    };

    template <bool Right>
    __attribute__((always_inline)) void begin(Lane& l, ptrdiff_t m) const {
        constexpr ptrdiff_t step = Right ? 1 : -1;
        const Node* nd = nd_.get();
        l.m = m;
        l.end = static_cast<ptrdiff_t>(Right ? nd[m].hi : nd[m].lo);
        l.j = m + 2 * step;
        l.ym = nd[m].y;
        l.yk = nd[m + step].y;
        l.b = l.ym - l.yk;
        l.dk = 1.0;
    }

    __attribute__((noinline)) bool exactlyBelow(double ym, double yj, double yk, double dk, double dj) const {
        return exact::slopeSign(mode_, ym, yj, yk, dk, 0.0, dj, 0.0) < 0;
    }

    static double pick(bool take, double a, double b) {
        uint64_t ua, ub;
        std::memcpy(&ua, &a, 8);
        std::memcpy(&ub, &b, 8);
        const uint64_t mask = 0 - static_cast<uint64_t>(take);
        const uint64_t r = (ua & mask) | (ub & ~mask);
        double d;
        std::memcpy(&d, &r, 8);
        return d;
    }

    // One step of a scan; true when the scan is over.
    template <bool Right>
    __attribute__((always_inline)) bool advance(Lane& l, size_t* deg) const {
        constexpr ptrdiff_t step = Right ? 1 : -1;
        const Node* nd = nd_.get();
        const ptrdiff_t j = l.j;
        const Node& nj = nd[j];
        const double yj = nj.y;
        const double a = l.ym - yj;
        const double dj = static_cast<double>((j - l.m) * step);
        const double p = a * l.dk, q = l.b * dj;
        bool seen = p < q * (1.0 - kMargin);
        if (__builtin_expect(static_cast<bool>(static_cast<int>(p >= q * (1.0 - kMargin)) &
                                               static_cast<int>(p <= q * (1.0 + kMargin))),
                             0))
            seen = exactlyBelow(l.ym, yj, l.yk, l.dk, dj);
        deg[j] += seen;
        deg[l.m] += seen;
        const ptrdiff_t c = static_cast<ptrdiff_t>(Right ? nj.hi : nj.lo);
        const double r = l.b * static_cast<double>((c - l.m) * step);
        const ptrdiff_t skip = static_cast<ptrdiff_t>(!seen) & static_cast<ptrdiff_t>(p > r * (1.0 + kMargin));
        const ptrdiff_t next = j + ((c - j) & -skip);
        l.b = pick(seen, a, l.b);
        l.dk = pick(seen, dj, l.dk);
        l.yk = pick(seen, yj, l.yk);
        l.j = next + step;
        return static_cast<bool>(static_cast<int>(next == l.end) | static_cast<int>(l.b == 0.0));
    }

    template <bool Right>
    void sweep(const Index* tasks, size_t count, size_t* deg) {
        size_t t = 0;
        if (count >= 3) {
            Lane l0, l1, l2;
            begin<Right>(l0, static_cast<ptrdiff_t>(tasks[0]));
            begin<Right>(l1, static_cast<ptrdiff_t>(tasks[1]));
            begin<Right>(l2, static_cast<ptrdiff_t>(tasks[2]));
            t = 3;
            for (;;) {
                const bool d0 = advance<Right>(l0, deg);
                const bool d1 = advance<Right>(l1, deg);
                const bool d2 = advance<Right>(l2, deg);
                if (__builtin_expect(d0 | d1 | d2, 0)) {
                    if (t + 3 > count) {
                        // Too few tasks left to refill every lane: finish the
                        // unfinished ones alone.
                        if (!d0) while (!advance<Right>(l0, deg)) {}
                        if (!d1) while (!advance<Right>(l1, deg)) {}
                        if (!d2) while (!advance<Right>(l2, deg)) {}
                        break;
                    }
                    if (d0) begin<Right>(l0, static_cast<ptrdiff_t>(tasks[t++]));
                    if (d1) begin<Right>(l1, static_cast<ptrdiff_t>(tasks[t++]));
                    if (d2) begin<Right>(l2, static_cast<ptrdiff_t>(tasks[t++]));
                }
            }
        }
        for (; t < count; ++t) {
            Lane l;
            begin<Right>(l, static_cast<ptrdiff_t>(tasks[t]));
            while (!advance<Right>(l, deg)) {
            }
        }
    }

    // A sample's height beside its stretch: one cache line per step of a scan.
    struct Node {
        double y;
        Index lo, hi;
    };

    // Left to right (lo: one past the nearest sample at least as high) or
    // right to left (hi: one before the nearest strictly higher sample).
    template <bool FromRight>
    struct Pass {
        struct Entry {
            double h;
            Index mark;
        };
        std::vector<Entry> stack;
        Node* out;
        size_t top = 3;

        Pass(Node* o, size_t n) : stack(1024), out(o) {
            for (int s = 0; s < 4; ++s) stack[s] = Entry{HUGE_VAL, FromRight ? static_cast<Index>(n - 1) : Index{0}};
        }

        static bool under(double v, double ym) { return FromRight ? v <= ym : v < ym; }

        __attribute__((always_inline)) void step(const double* y, size_t m) {
            const double ym = y[m];
            Entry* e = stack.data();
            size_t popped = size_t{under(e[top].h, ym)} + size_t{under(e[top - 1].h, ym)} +
                            size_t{under(e[top - 2].h, ym)} + size_t{under(e[top - 3].h, ym)};
            top -= popped;
            if (__builtin_expect(popped == 4, 0))
                while (under(e[top].h, ym)) --top;
            (FromRight ? out[m].hi : out[m].lo) = e[top].mark;
            if (__builtin_expect(++top == stack.size(), 0)) stack.resize(2 * stack.size());
            stack[top] = Entry{ym, static_cast<Index>(FromRight ? m - 1 : m + 1)};
        }
    };

    static constexpr double kTiny = 0x1p-960, kHuge = 0x1p1000, kMargin = 4e-15;

    static bool inRange(double v) { return v >= kTiny && v <= kHuge; }

    // |t[m] - t[j]| in index or time units.
    template <bool Timed, bool Right>
    double gap(Index m, Index j) const {
        if (Timed) return Right ? t_[j] - t_[m] : t_[m] - t_[j];
        return static_cast<double>(Right ? j - m : m - j);
    }

    // Exact sign of (ym - yj) * gap(m, k) - (ym - yk) * gap(m, j).
    template <bool Timed, bool Right>
    int exactSign(Index m, Index j, Index k) const {
        const double ym = nd_[m].y, yj = nd_[j].y, yk = nd_[k].y;
        if (Timed) {
            if (Right) return exact::slopeSign(mode_, ym, yj, yk, t_[k], t_[m], t_[j], t_[m]);
            return exact::slopeSign(mode_, ym, yj, yk, t_[m], t_[k], t_[m], t_[j]);
        }
        return exact::slopeSign(mode_, ym, yj, yk, gap<false, Right>(m, k), 0.0, gap<false, Right>(m, j), 0.0);
    }

    // Safe: every product is known to be a normal double (fastDegrees()).
    template <bool Timed, bool Right, bool Safe, class Edge>
    void scan(Index m, Edge& edge) {
        auto inRange = [](double v) { return Safe || Natural::inRange(v); };
        const Node* nd = nd_.get();
        const Index end = Right ? nd[m].hi : nd[m].lo;
        if (m == end) return;
        const double ym = nd[m].y;
        Index k = Right ? m + 1 : m - 1;  // the sample with the smallest slope so far
        Right ? edge(m, k) : edge(k, m);
        double b = ym - nd[k].y;  // its drop below ym (>= 0) ...
        if (b == 0.0) return;     // level with m: hides everything beyond
        double dk = gap<Timed, Right>(m, k);  // ... and its distance
        Index next = k;                       // the last sample passed
        while (next != end) {
            const Index j = Right ? next + 1 : next - 1;
            const Node& nj = nd[j];
            const double a = ym - nj.y;
            const double dj = gap<Timed, Right>(m, j);
            const double p = a * dk, q = b * dj;
            bool seen;
            if (a == 0.0) {
                seen = true;
            } else if (inRange(p) && inRange(q)) {
                seen = !(p > q * (1.0 + kMargin)) && (p < q * (1.0 - kMargin) || exactSign<Timed, Right>(m, j, k) < 0);
            } else {
                seen = exactSign<Timed, Right>(m, j, k) < 0;
            }
            next = j;
            if (!seen) {
                // Skip the stretch j covers when no sample in it can be seen.
                const Index cover = Right ? nj.hi : nj.lo;
                if (cover != j) {
                    const double r = b * gap<Timed, Right>(m, cover);
                    if (inRange(p) && inRange(r) && p > r * (1.0 + kMargin)) next = cover;
                }
                continue;
            }
            Right ? edge(m, j) : edge(j, m);
            k = j;
            b = a;
            dk = dj;
            if (b == 0.0) return;
        }
    }

    const double* y_;
    const double* t_;
    size_t n_;
    exact::Mode mode_;
    std::unique_ptr<Node[]> nd_;
};

// ---- both graphs ----------------------------------------------------------------

// edge(a, b), a < b, for every edge of the graph before the weight bounds;
// leftDone(b) after the edges whose later vertex is b have all been given
// (horizontal graph), or after the edges to the left of b (natural graph).
// Returns ZEMBA_OK or ZEMBA_E_NO_MEMORY.
template <class Edge, class LeftDone>
int forEachEdge(const Graph& g, Edge&& edge, LeftDone&& leftDone) {
    const size_t n = g.n;
    if (n < 2) {
        for (size_t m = 0; m < n; ++m) leftDone(m);
        return ZEMBA_OK;
    }
    try {
        if (g.kind == ZEMBA_VG_HORIZONTAL) {
            auto items = scratch<ptrdiff_t>(n);
            if (!items) return ZEMBA_E_NO_MEMORY;
            ptrdiff_t top = 0;
            ptrdiff_t last = 0;
            walkHorizontal<false>(g.y, static_cast<ptrdiff_t>(n), items.get(), top, [&](ptrdiff_t a, ptrdiff_t b) {
                if (b != last) {
                    leftDone(static_cast<size_t>(last));
                    last = b;
                }
                edge(static_cast<size_t>(a), static_cast<size_t>(b));
            });
            leftDone(static_cast<size_t>(last));
            return ZEMBA_OK;
        }
        auto run = [&](auto tag) -> int {
            using Index = decltype(tag);
            Natural<Index> nat(g.y, g.t, n);
            if (!nat.build()) return ZEMBA_E_NO_MEMORY;
            nat.forEachEdge([&](Index a, Index b) { edge(static_cast<size_t>(a), static_cast<size_t>(b)); },
                            leftDone);
            return ZEMBA_OK;
        };
        return n <= UINT32_MAX ? run(uint32_t{}) : run(uint64_t{});
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

// Degrees of the unfiltered natural graph into deg[0..n-1].
inline int naturalDegrees(const Graph& g, size_t* deg) {
    const size_t n = g.n;
    try {
        auto run = [&](auto tag) -> int {
            using Index = decltype(tag);
            Natural<Index> nat(g.y, g.t, n);
            if (!nat.build()) return ZEMBA_E_NO_MEMORY;
            if (nat.fastDegrees()) {
                if (!nat.degrees(deg)) return ZEMBA_E_NO_MEMORY;
            } else {
                std::fill(deg, deg + n, size_t{0});
                nat.forEachEdge(
                    [&](Index a, Index b) {
                        ++deg[a];
                        ++deg[b];
                    },
                    [](size_t) {});
            }
            return ZEMBA_OK;
        };
        return n <= UINT32_MAX ? run(uint32_t{}) : run(uint64_t{});
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

}  // namespace zemba::core::graphs

#endif

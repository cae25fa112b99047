// The edge enumerators of both visibility graphs, argument checks and edge
// weights shared by the graph kernels. Nothing here writes outside the
// callbacks' own arrays.
#ifndef ZEMBA_CORE_GRAPHS_VISIBILITY_H
#define ZEMBA_CORE_GRAPHS_VISIBILITY_H

#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "core/frame/checks.h"
#include "core/frame/dispatch.h"
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
        block_ = scratch<Index>(2 * n);
        if (!block_) return false;
        lo_ = block_.get();
        hi_ = lo_ + n;
        mode_ = exact::chooseMode(y_, t_, n);
        Pass<false> left(lo_, n);
        Pass<true> right(hi_, n);
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

    // Whether degreesNear() may be used: index times, and magnitudes for which
    // no product below leaves the normal range.
    bool fastDegrees() const {
        if (t_ || n_ > (size_t{1} << 40)) return false;
        const exact::Range r = exact::rangeOf(y_, n_);
        return !r.any || (r.hi <= 400 && r.lo >= -460);
    }

    static constexpr size_t kNear = 16;

    // Degrees into deg[0..n-1] (when fastDegrees()) by near windows: every
    // sample counts the samples it sees within kNear on either side, a vector
    // of neighbouring samples at a time, and a sample whose stretch reaches
    // further scans on from there. In the vectors a slope is (y[j+-d] - y[j])
    // times the rounded 1/d, within 3.01 units in the last place of the
    // quotient; a comparison closer than kMargin is decided again exactly.
    // lanes: 3 x V::W doubles of working memory.
    template <class V>
    ZEMBA_KERNEL void degreesNear(size_t* deg, double* lanes) {
        typedef typename V::vd vd;
        typedef typename V::vi vi;
        const size_t n = n_;
        std::fill(deg, deg + n, size_t{0});
        size_t j = 0;
        for (; j < n && j < kNear; ++j) nearAndFar(static_cast<Index>(j), deg);
        auto edge = [deg](Index a, Index b) {
            ++deg[a];
            ++deg[b];
        };
        for (; j + V::W + kNear <= n; j += V::W) {
            vd yj, mLeft, mRight, lastLeft, lastRight;
            vi count = vi{}, unsure = vi{};
            V::load(yj, y_ + j);
            side<V, false>(y_ + j, yj, count, unsure, mLeft, lastLeft);
            side<V, true>(y_ + j, yj, count, unsure, mRight, lastRight);
            vi d;
            V::load(d, reinterpret_cast<const int64_t*>(deg + j));
            d = d - count;
            V::store(reinterpret_cast<int64_t*>(deg + j), d);
            // Lanes to look at again: a close call, or a stretch that may reach
            // past the window (every sample within it lower than j's).
            const unsigned again = V::bits(unsure);
            unsigned look = again | V::bits(mLeft < vd{}) | V::bits(mRight <= vd{});
            if (!look) continue;
            V::store(lanes, lastLeft);
            V::store(lanes + V::W, lastRight);
            V::store(reinterpret_cast<int64_t*>(lanes + 2 * V::W), count);
            for (; look; look &= look - 1) {
                const int l = __builtin_ctz(look);
                const Index m = static_cast<Index>(j + l);
                if (again >> l & 1) {
                    deg[m] -= static_cast<size_t>(-reinterpret_cast<const int64_t*>(lanes + 2 * V::W)[l]);
                    nearAndFar(m, deg);
                } else {
                    farther(m, static_cast<size_t>(lanes[l]), static_cast<size_t>(lanes[V::W + l]), edge);
                }
            }
        }
        for (; j < n; ++j) nearAndFar(static_cast<Index>(j), deg);
    }

private:
    // Left to right (lo: one past the nearest sample at least as high) or
    // right to left (hi: one before the nearest strictly higher sample).
    template <bool FromRight>
    struct Pass {
        struct Entry {
            double h;
            Index mark;
        };
        std::vector<Entry> stack;
        Index* out;
        size_t top = 3;

        Pass(Index* o, size_t n) : stack(n < 1016 ? n + 8 : 1024), out(o) {
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
            out[m] = e[top].mark;
            if (__builtin_expect(++top == stack.size(), 0)) stack.resize(2 * stack.size());
            stack[top] = Entry{ym, static_cast<Index>(FromRight ? m - 1 : m + 1)};
        }
    };

    // One side of the near windows of W samples from p: count less one per
    // sample seen (compare results are -1), unsure -1 where a comparison was
    // too close to call, top the steepest slope, last the farthest distance seen.
    template <class V, bool Right>
    static ZEMBA_KERNEL void side(const double* p, const typename V::vd& yj, typename V::vi& count,
                                  typename V::vi& unsure, typename V::vd& top, typename V::vd& last) {
        typedef typename V::vd vd;
        typedef typename V::vi vi;
        V::load(top, p + (Right ? 1 : -1));
        top = top - yj;
        last = vd{} + 1.0;
        count = count - 1;
#pragma GCC unroll 16
        for (int d = 2; d <= static_cast<int>(kNear); ++d) {
            vd s, a, b;
            V::load(s, p + (Right ? d : -d));
            s = (s - yj) * (vd{} + 1.0 / d);
            a = s;
            b = top;
            V::abs(a);
            V::abs(b);
            const vd tol = (a + b) * (vd{} + kMargin);
            const vi seen = s - top > tol;
            unsure = unsure | ~(seen | (top - s >= tol));
            count = count + seen;
            last = seen ? vd{} + static_cast<double>(d) : last;
            V::max(top, s);
        }
    }

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
        const double ym = y_[m], yj = y_[j], yk = y_[k];
        if (Timed) {
            if (Right) return exact::slopeSign(mode_, ym, yj, yk, t_[k], t_[m], t_[j], t_[m]);
            return exact::slopeSign(mode_, ym, yj, yk, t_[m], t_[k], t_[m], t_[j]);
        }
        return exact::slopeSign(mode_, ym, yj, yk, gap<false, Right>(m, k), 0.0, gap<false, Right>(m, j), 0.0);
    }

    // Safe: every product is known to be a normal double (fastDegrees()).
    template <bool Timed, bool Right, bool Safe, class Edge>
    void scan(Index m, Edge& edge) {
        const Index end = Right ? hi_[m] : lo_[m];
        if (m == end) return;
        const Index k = Right ? m + 1 : m - 1;
        Right ? edge(m, k) : edge(k, m);
        follow<Timed, Right, Safe>(m, k, k, end, edge);
    }

    // The scan from m on past cur towards end, k being the last sample seen.
    template <bool Timed, bool Right, bool Safe, class Edge>
    void follow(Index m, Index k, Index cur, Index end, Edge& edge) {
        auto inRange = [](double v) { return Safe || Natural::inRange(v); };
        const double ym = y_[m];
        double b = ym - y_[k];  // the drop of k below ym (>= 0) ...
        if (b == 0.0) return;   // level with m: hides everything beyond
        double dk = gap<Timed, Right>(m, k);  // ... and its distance
        for (;;) {
            // Skip the stretch that cur covers when no sample in it can be seen.
            Index next = cur;
            const Index cover = Right ? hi_[cur] : lo_[cur];
            if (cover != cur && cur != k) {
                const double p = (ym - y_[cur]) * dk;
                const double r = b * gap<Timed, Right>(m, cover);
                if (inRange(p) && inRange(r) && p > r * (1.0 + kMargin)) next = cover;
            }
            if (next == end) return;
            const Index j = Right ? next + 1 : next - 1;
            cur = j;
            const double a = ym - y_[j];
            const double dj = gap<Timed, Right>(m, j);
            const double p = a * dk, q = b * dj;
            bool seen;
            if (a == 0.0) {
                seen = true;
            } else if (inRange(p) && inRange(q)) {
                if (p > q * (1.0 + kMargin)) continue;
                seen = p < q * (1.0 - kMargin) || exactSign<Timed, Right>(m, j, k) < 0;
            } else {
                seen = exactSign<Timed, Right>(m, j, k) < 0;
            }
            if (!seen) continue;
            Right ? edge(m, j) : edge(j, m);
            k = j;
            b = a;
            dk = dj;
            if (b == 0.0) return;
        }
    }

    // The samples j sees within kNear on one side, by any height (fastDegrees()):
    // each one seen rises more steeply from j than every nearer one. last: the
    // distance of the farthest one seen, 0 for none.
    template <bool Right>
    size_t nearExact(Index j, size_t& last) const {
        const size_t room = Right ? n_ - 1 - j : j;
        const size_t reach = room < kNear ? room : kNear;
        last = reach ? 1 : 0;
        if (!reach) return 0;
        size_t count = 1;
        Index k = Right ? j + 1 : j - 1;
        double b = y_[j] - y_[k], dk = 1.0;
        for (size_t d = 2; d <= reach; ++d) {
            const Index x = Right ? j + d : j - d;
            const double a = y_[j] - y_[x];
            const double p = a * dk, q = b * static_cast<double>(d);
            const double tol = kMargin * (std::fabs(p) + std::fabs(q));
            const bool seen = q - p > tol || (!(p - q > tol) && exactSign<false, Right>(j, x, k) < 0);
            if (!seen) continue;
            ++count;
            k = x;
            b = a;
            dk = static_cast<double>(d);
            last = d;
        }
        return count;
    }

    // The scans on from kNear on each side where j's stretch reaches further
    // (last*: the distance of the farthest sample j sees within the window).
    template <class Edge>
    void farther(Index j, size_t lastLeft, size_t lastRight, Edge& edge) {
        if (lo_[j] + kNear < j) follow<false, false, true>(j, j - lastLeft, j - kNear, lo_[j], edge);
        if (hi_[j] > j + kNear) follow<false, true, true>(j, j + lastRight, j + kNear, hi_[j], edge);
    }

    // Sample j's near counts on both sides, decided exactly, into deg[j], then
    // its scans past the window.
    void nearAndFar(Index j, size_t* deg) {
        auto edge = [deg](Index a, Index b) {
            ++deg[a];
            ++deg[b];
        };
        size_t lastLeft, lastRight;
        deg[j] += nearExact<false>(j, lastLeft) + nearExact<true>(j, lastRight);
        farther(j, lastLeft, lastRight, edge);
    }

    const double* y_;
    const double* t_;
    size_t n_;
    exact::Mode mode_;
    std::unique_ptr<Index[]> block_;
    Index* lo_ = nullptr;
    Index* hi_ = nullptr;
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

template <class Index>
struct NearDegrees {
    template <class V>
    static ZEMBA_KERNEL void run(Natural<Index>& nat, size_t* deg, double* lanes) {
        nat.template degreesNear<V>(deg, lanes);
    }
};

// Degrees of the unfiltered natural graph into deg[0..n-1].
inline int naturalDegrees(const Graph& g, size_t* deg) {
    const size_t n = g.n;
    try {
        auto run = [&](auto tag) -> int {
            using Index = decltype(tag);
            Natural<Index> nat(g.y, g.t, n);
            if (!nat.build()) return ZEMBA_E_NO_MEMORY;
            if (nat.fastDegrees()) {
                double lanes[3 * 8];
                dispatch<NearDegrees<Index>>(nat, deg, lanes);
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

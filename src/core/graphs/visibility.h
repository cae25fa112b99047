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
// values: check that y is finite (false: the caller does).
inline int check(const zemba_vg_options* o, const double* y, const double* t, size_t n, Graph& g,
                 bool values = true) {
    if (!o || (!y && n)) return ZEMBA_E_NULL;
    if ((o->kind != ZEMBA_VG_HORIZONTAL && o->kind != ZEMBA_VG_NATURAL) || o->direction < ZEMBA_VG_UNDIRECTED ||
        o->direction > ZEMBA_VG_TOP_TO_BOTTOM || o->weight < ZEMBA_VG_UNWEIGHTED || o->weight > ZEMBA_VG_SEED_DIFF ||
        std::isnan(o->min_weight) || std::isnan(o->max_weight))
        return ZEMBA_E_ARGUMENT;
    if ((values && !allFinite(y, n)) || (t && !allFinite(t, n))) return ZEMBA_E_NONFINITE;
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
struct Stretches;

// Counts an edge a - b into both ends' degrees.
struct CountEdge {
    size_t* deg;
    template <class Index>
    void operator()(Index a, Index b) const {
        ++deg[a];
        ++deg[b];
    }
};

template <class Index>
class Natural {
public:
    Natural(const double* y, const double* t, size_t n) : y_(y), t_(t), n_(n) {}

    // Sets up the stretches (n >= 1), with room for `floats` floats after
    // them (one block: storage that two blocks would return to the system
    // between calls). ZEMBA_OK, ZEMBA_E_NONFINITE for a NaN or infinite value
    // (found by the pass that bounds the values), or ZEMBA_E_NO_MEMORY.
    int build(size_t floats = 0) {
        double minAbs;
        if (!valueSpan(y_, n_, yLo_, yHi_, minAbs)) return ZEMBA_E_NONFINITE;
        range_ = exact::rangeFrom(-yLo_ > yHi_ ? -yLo_ : yHi_, minAbs);
        mode_ = exact::chooseMode(range_, t_, n_);
        const size_t ends = 2 * n_ + 8;  // room for a vector's lanes past the end
        block_ = scratch<Index>(ends + (floats * sizeof(float) + sizeof(Index) - 1) / sizeof(Index));
        if (!block_) return ZEMBA_E_NO_MEMORY;
        lo_ = block_.get();
        hi_ = lo_ + n_;
        floats_ = reinterpret_cast<float*>(lo_ + ends);
        // the float copy, made with the stretches, which then use it too
        floatsReady_ = floats && fastDegrees() && n_ <= (size_t{1} << 31);
        double lanes[8 + kEdgePad];
        dispatch<Stretches<Index>>(*this, lanes);
        return ZEMBA_OK;
    }

    // The stretches' ends (lanes: W + kEdgePad doubles of working memory). A
    // vector of samples looks for its nearest higher sample within kNear on
    // each side; a sample with none there jumps on from kNear away through the
    // ends already found (everything a sample's stretch holds is no higher
    // than it), the left ends in ascending order and the right ends in
    // descending. Near the ends of the series the vectors read a copy padded
    // with +inf, which stops a stretch at the series' end; lanes past the end
    // write into the room after lo_ (before hi_ is made) and after hi_. With
    // the float copy asked of build(), it is made here and the vectors away
    // from the ends read it, F samples at a time (nearEndsF()).
    template <class V>
    ZEMBA_KERNEL void stretches(double* lanes) {
        const size_t n = n_;
        double* pad = lanes + V::W;
        const float* fy = floats_;
        if (floatsReady_) floatCopy<V>(floats_);
        size_t m = 0;
        if (n) {
            copyPadded(pad, -static_cast<ptrdiff_t>(kNear), 2 * kNear + V::W, HUGE_VAL);
            for (; m < n && m < kNear; m += V::W) nearEnds<V, false>(pad + kNear + m, m, lanes);
        }
        if (floatsReady_)
            for (; m + V::F <= n; m += V::F) nearEndsF<V, false>(fy + m, m);
        for (; m + V::W <= n; m += V::W) nearEnds<V, false>(y_ + m, m, lanes);
        if (m < n) {
            copyPadded(pad, static_cast<ptrdiff_t>(m - kNear), kNear + V::W, HUGE_VAL);
            nearEnds<V, false>(pad + kNear, m, lanes);
        }
        m = 0;
        if (floatsReady_)
            for (; m + V::F + kNear <= n; m += V::F) nearEndsF<V, true>(fy + m, m);
        for (; m + V::W + kNear <= n; m += V::W) nearEnds<V, true>(y_ + m, m, lanes);
        if (m < n) {
            const size_t from = m;
            copyPadded(pad, static_cast<ptrdiff_t>(from), 2 * kNear + 2 * V::W, HUGE_VAL);
            for (; m < n; m += V::W) nearEnds<V, true>(pad + (m - from), m, lanes);
        }
        forEachFar<V, false>(lo_, [&](size_t m) {
            const double ym = y_[m];
            Index q = static_cast<Index>(m - kNear), p;
            while ((p = lo_[q]) != 0 && y_[p - 1] < ym) q = p - 1;
            lo_[m] = p;
        });
        forEachFar<V, true>(hi_, [&](size_t m) {
            const double ym = y_[m];
            Index q = static_cast<Index>(m + kNear), p;
            while ((p = hi_[q]) != n - 1 && y_[p + 1] <= ym) q = p + 1;
            hi_[m] = p;
        });
    }

    // far(m) for every m whose end is kFar, in ascending order (Down: in
    // descending order); with 32-bit ends, F ends compared at a time.
    template <class V, bool Down, class Far>
    ZEMBA_KERNEL void forEachFar(const Index* ends, Far&& far) const {
        const size_t n = n_;
        size_t whole = 0;
        if constexpr (sizeof(Index) == 4) whole = n / V::F * V::F;
        auto vectorAt = [&](size_t m) {
            typename V::vw e;
            V::load(e, reinterpret_cast<const int32_t*>(ends + m));
            return V::bitsF(e == typename V::vw{} - 1);
        };
        if (!Down) {
            for (size_t m = 0; m < whole; m += V::F)
                for (unsigned bits = vectorAt(m); bits; bits &= bits - 1) far(m + __builtin_ctz(bits));
            for (size_t m = whole; m < n; ++m)
                if (ends[m] == kFar) far(m);
        } else {
            for (size_t m = n; m-- > whole;)
                if (ends[m] == kFar) far(m);
            for (size_t m = whole; m > 0;) {
                m -= V::F;
                for (unsigned bits = vectorAt(m); bits;) {
                    const int l = 31 - __builtin_clz(bits);
                    bits &= ~(1u << l);
                    far(m + l);
                }
            }
        }
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
    // no product below leaves the normal range (after build()).
    bool fastDegrees() const {
        if (t_ || n_ > UINT32_MAX) return false;
        const exact::Range& r = range_;
        return !r.any || (r.hi <= 400 && r.lo >= -460);
    }

    static constexpr size_t kNear = 16;

    // Degrees into deg[0..n-1] (when fastDegrees()) by near windows. Every
    // sample decides which samples it sees within kNear to its right, a
    // vector of neighbouring samples at a time; a pair seen counts for both
    // ends, the right end's share gathered a strip of kStrip samples at a
    // time from a table of the pairs seen, by distance. A sample whose
    // stretch reaches past its window scans on from there. The vectors work
    // on a float copy (floatCopy()), where a slope is the difference times
    // the rounded 1/d, within 2^-20 of the exact slope of the centred and
    // scaled values; when two slopes compared differ by no more than kTolF,
    // the sample's window is decided again exactly. The copy is made by
    // build() when asked for n + kFloatPad floats; lanes: kLanes doubles;
    // seen: kSeen int32.
    template <class V>
    ZEMBA_KERNEL void degreesNear(size_t* deg, double* lanes, int32_t* seen) {
        const size_t n = n_;
        const float* fy = floats_;
        std::fill(deg, deg + n, size_t{0});
        // (the columns past a strip too: the copy below reads them all, and
        // no strip writes those from kStrip + d on)
        for (size_t d = 2; d <= kNear; ++d) {
            std::fill(row(seen, d), row(seen, d) + kNear, int32_t{0});
            std::fill(row(seen, d) + kStrip, row(seen, d) + kRow, int32_t{0});
        }
        for (size_t a = 0; a < n; a += kStrip) {
            if (a)  // pairs from the last strip's samples to this one's first (a whole kNear: no call)
                for (size_t d = 2; d <= kNear; ++d) std::memcpy(row(seen, d), row(seen, d) + kStrip, kNear * sizeof(int32_t));
            const size_t b = n - a < kStrip ? n : a + kStrip;
            // the strip's vectors first, then its lanes that need more (no
            // branch on a vector's outcome while the next ones are computed)
            unsigned marks[kStrip / 4];
            int32_t* slots = reinterpret_cast<int32_t*>(lanes + kLanesLeft);
            for (size_t j = a; j < b; j += V::F)
                marks[(j - a) / V::F] = rightBlock<V>(fy + j, j, b, deg, slots + 2 * (j - a), seen + (j - a));
            for (size_t j = a; j < b; j += V::F)
                if (const unsigned mark = marks[(j - a) / V::F])
                    rightLanes<V>(j, mark, deg, slots + 2 * (j - a), seen + (j - a));
            leftCounts<V>(a, b, deg, lanes, seen);
        }
    }

    // floats past the end of the copy
    static constexpr size_t kFloatPad = kNear + 16;
    // doubles copyPadded() may write in the stretches
    static constexpr size_t kEdgePad = 2 * kNear + 16;
    static constexpr size_t kStrip = 128;
    // doubles of working memory: leftCounts()'s lanes, then a strip's slots
    static constexpr size_t kLanesLeft = 16;
    static constexpr size_t kLanes = kLanesLeft + kStrip;
    static constexpr size_t kRow = kStrip + kNear;
    static constexpr size_t kSeen = (kNear - 1) * kRow;

private:
    static constexpr Index kFar = ~Index{0};  // a stretch end not yet found
    static constexpr float kTolF = 0x1p-18f;

    // Row d (2 to kNear) of the table of pairs seen: entry i is -1 when sample
    // a + i - d sees a + i (a: the strip's first sample; i < d: from the strip
    // before). Neighbours always see each other.
    static int32_t* row(int32_t* seen, size_t d) { return seen + (d - 2) * kRow; }

    // fy[i] = float((y[i] - c) * 2^-h) for the mid-range c and the least h
    // with every |y[i] - c| < 2^h, then -inf past the end. The map keeps the
    // order of the samples (ties stay ties; a float strictly above another
    // comes from a larger double), and each float is within 2^-24 + 2^-53 of
    // its exact scaled value, so a slope between two of them within 2^-22 and
    // a difference of two slopes within 2^-20: far below kTolF.
    template <class V>
    ZEMBA_KERNEL void floatCopy(float* fy) const {
        typedef typename V::vd vd;
        const size_t n = n_;
        const size_t whole = n / V::W * V::W;
        const double lo = yLo_, hi = yHi_;
        const double c = lo + (hi - lo) * 0.5;
        const double r = hi - c > c - lo ? hi - c : c - lo;
        const double scale = r > 0.0 ? std::ldexp(1.0, -(std::ilogb(r) + 1)) : 1.0;
        vd vc, vs, v;
        V::broadcast(vc, c);
        V::broadcast(vs, scale);
        for (size_t i = 0; i < whole; i += V::W) {
            V::load(v, y_ + i);
            v = (v - vc) * vs;
            V::toFloat(fy + i, v);
        }
        for (size_t i = whole; i < n; ++i) fy[i] = static_cast<float>((y_[i] - c) * scale);
        std::fill(fy + n, fy + n + kFloatPad, -HUGE_VALF);
    }

    // The right windows of the F samples from j (their floats at p[0..], the
    // strip ending at b; lanes from b on are not counted): counts into deg,
    // the pairs seen into the table (at: its columns for j), and into slot
    // (2F int32) each lane's count and farthest distance seen. Returns the
    // lanes for rightLanes(): a close call (bit 16 + l, and bit l), or a
    // stretch that may reach past the window (bit l).
    template <class V>
    ZEMBA_KERNEL unsigned rightBlock(const float* p, size_t j, size_t b, size_t* deg, int32_t* slot, int32_t* at) {
        typedef typename V::vf vf;
        typedef typename V::vw vw;
        vf yj, top, last, close = vf{} + HUGE_VALF;
        vw count = vw{};
        V::load(yj, p);
        side<V>(p, yj, count, close, top, last, at);
        const int live = b - j < static_cast<size_t>(V::F) ? static_cast<int>(b - j) : V::F;
        const unsigned liveBits = (1u << live) - 1;
        // (a stretch may reach past the window when no sample within it is
        // higher than j's)
        const unsigned again = V::bitsF(close <= vf{} + kTolF) & liveBits;
        const unsigned look = again | (V::bitsF(top <= vf{}) & liveBits);
        V::store(slot, count);
        V::store(reinterpret_cast<float*>(slot + V::F), last);
        if (j + V::F < n_) {
            subtract<V>(deg + j, count);
        } else {
            // the window counted a neighbour at distance 1 that the last
            // sample does not have
            for (int l = 0; l < live; ++l) {
                slot[l] += j + l == n_ - 1;
                deg[j + l] += static_cast<size_t>(-static_cast<int64_t>(slot[l]));
            }
        }
        return look | again << 16;
    }

    // The lanes of rightBlock()'s mark for the F samples from j: close calls
    // decided again exactly, scans on past the windows where needed.
    template <class V>
    ZEMBA_KERNEL void rightLanes(size_t j, unsigned mark, size_t* deg, const int32_t* slot, int32_t* at) {
        CountEdge edge{deg};
        const int32_t* counts = slot;
        const float* far = reinterpret_cast<const float*>(slot + V::F);
        const unsigned again = mark >> 16;
        for (unsigned look = mark & 0xffff; look; look &= look - 1) {
            const int l = __builtin_ctz(look);
            const Index m = static_cast<Index>(j + l);
            size_t reach = static_cast<size_t>(far[l]);
            if (again >> l & 1) {
                for (size_t d = 2; d <= kNear; ++d) row(at, d)[d + l] = 0;
                deg[m] += static_cast<size_t>(static_cast<int64_t>(counts[l])) +
                          nearExact(m, reach, [&](size_t d) { row(at, d)[d + l] = -1; });
            }
            fartherSide<V, true>(m, reach, edge);
        }
    }

    // deg[0..F-1] -= count (compare results are -1 per pair seen).
    template <class V>
    static ZEMBA_KERNEL void subtract(size_t* deg, const typename V::vw& count) {
        typename V::vi lo, hi, d;
        V::widen(lo, hi, count);
        V::load(d, reinterpret_cast<const int64_t*>(deg));
        d = d - lo;
        V::store(reinterpret_cast<int64_t*>(deg), d);
        V::load(d, reinterpret_cast<const int64_t*>(deg + V::W));
        d = d - hi;
        V::store(reinterpret_cast<int64_t*>(deg + V::W), d);
    }

    // The left shares of the pairs seen, for the samples [a, b) of a strip,
    // into deg; then the scans on to the left where a stretch reaches past
    // the window.
    template <class V>
    ZEMBA_KERNEL void leftCounts(size_t a, size_t b, size_t* deg, double* lanes, int32_t* seen) {
        typedef typename V::vw vw;
        CountEdge edge{deg};
        int32_t* counts = reinterpret_cast<int32_t*>(lanes);
        vw iota;
        V::iotaF(iota);
        for (size_t t = a; t < b; t += V::F) {
            vw count = vw{} - 1;  // the neighbour on the left (the first sample has none)
#pragma GCC unroll 16
            for (int d = 2; d <= static_cast<int>(kNear); ++d) {
                vw s;
                V::load(s, row(seen, static_cast<size_t>(d)) + (t - a));
                count = count + s;
            }
            const int live = b - t < static_cast<size_t>(V::F) ? static_cast<int>(b - t) : V::F;
            if (live == V::F && t) {
                subtract<V>(deg + t, count);
            } else {
                V::store(counts, count);
                counts[0] += t == 0;
                for (int l = 0; l < live; ++l) deg[t + l] += static_cast<size_t>(-static_cast<int64_t>(counts[l]));
            }
            // the lanes whose stretch reaches past the window: lo_[m] + kNear < m
            unsigned far = 0;
            if (live == V::F && t >= kNear) {
                vw ends, bound;
                V::load(ends, reinterpret_cast<const int32_t*>(lo_ + t));
                V::broadcast(bound, static_cast<int32_t>(t - kNear));
                bound = bound + iota;
                // unsigned order, as signed with the sign bits flipped
                far = V::bitsF((ends ^ INT32_MIN) < (bound ^ INT32_MIN));
            } else {
                for (int l = 0; l < live; ++l) far |= static_cast<unsigned>(lo_[t + l] + kNear < t + l) << l;
            }
            for (; far; far &= far - 1) {
                const int l = __builtin_ctz(far);
                size_t last = kNear;  // the farthest sample m sees in its window
                while (last > 1 && !row(seen, last)[t - a + l]) --last;
                fartherSide<V, false>(static_cast<Index>(t + l), last, edge);
            }
        }
    }

    // y[from .. from + count - 1] into buf, `outside` beyond the series' ends.
    void copyPadded(double* buf, ptrdiff_t from, size_t count, double outside) const {
        for (size_t i = 0; i < count; ++i) {
            const ptrdiff_t at = from + static_cast<ptrdiff_t>(i);
            buf[i] = at >= 0 && static_cast<size_t>(at) < n_ ? y_[at] : outside;
        }
    }

    // The stretch ends on one side of the W samples from m (their values at
    // p[0..W-1], kNear more readable on that side) whose nearest sample at
    // least as high (left) or higher (right) lies within kNear, into lo_ or
    // hi_; kFar for the others. lanes: W doubles of working memory.
    template <class V, bool Right>
    ZEMBA_KERNEL void nearEnds(const double* p, size_t m, double* lanes) {
        typedef typename V::vd vd;
        vd ym, v, dist = vd{}, nearer = vd{};
        V::load(ym, p);
        // the nearest distance as two independent chains of selects, the far
        // half and the near half
#pragma GCC unroll 16
        for (int d = static_cast<int>(kNear); d > static_cast<int>(kNear / 2); --d) {
            V::load(v, Right ? p + d : p - d);
            dist = (Right ? v > ym : v >= ym) ? vd{} + static_cast<double>(d) : dist;
        }
#pragma GCC unroll 16
        for (int d = static_cast<int>(kNear / 2); d >= 1; --d) {
            V::load(v, Right ? p + d : p - d);
            nearer = (Right ? v > ym : v >= ym) ? vd{} + static_cast<double>(d) : nearer;
        }
        dist = nearer == vd{} ? dist : nearer;
        Index* out = (Right ? hi_ : lo_) + m;
        if (sizeof(Index) == 4 && n_ <= (size_t{1} << 31)) {
            // the ends as int32 (kFar is -1 there)
            vd at;
            V::iota(at);
            V::broadcast(v, static_cast<double>(m));
            at = at + v;
            at = Right ? at + dist - 1.0 : at + 1.0 - dist;
            at = dist == vd{} ? vd{} - 1.0 : at;
            typename V::vi32 e;
            V::trunc32(e, at);
            V::store(reinterpret_cast<int32_t*>(out), e);
            return;
        }
        V::store(lanes, dist);
        for (int l = 0; l < V::W; ++l) {
            const size_t d = static_cast<size_t>(lanes[l]);
            out[l] = d ? static_cast<Index>(Right ? m + l + d - 1 : m + l + 1 - d) : kFar;
        }
    }

    // nearEnds() on the float copy, F samples from p (kNear more readable on
    // that side): the nearest sample within kNear whose float is not below
    // the sample's own. Those below are below in the series too, and one
    // above is above; a lane whose sample found is level in the copy is
    // decided again on the doubles.
    template <class V, bool Right>
    ZEMBA_KERNEL void nearEndsF(const float* p, size_t m) {
        typedef typename V::vf vf;
        typedef typename V::vw vw;
        vf fm, v, found = vf{}, foundNear = vf{};
        vw dist = vw{}, nearer = vw{};
        V::load(fm, p);
        // two independent chains of selects, as in nearEnds()
#pragma GCC unroll 16
        for (int d = static_cast<int>(kNear); d > static_cast<int>(kNear / 2); --d) {
            V::loadKept(v, Right ? p + d : p - d);
            const vw up = v >= fm;
            dist = up ? vw{} + d : dist;
            found = up ? v : found;
        }
#pragma GCC unroll 16
        for (int d = static_cast<int>(kNear / 2); d >= 1; --d) {
            V::loadKept(v, Right ? p + d : p - d);
            const vw up = v >= fm;
            nearer = up ? vw{} + d : nearer;
            foundNear = up ? v : foundNear;
        }
        const vw near = nearer != vw{};
        dist = near ? nearer : dist;
        found = near ? foundNear : found;
        // (found >= fm where a sample was found)
        unsigned level = V::bitsF(dist != vw{}) & ~V::bitsF(found > fm);
        vw at, first;
        V::iotaF(at);
        V::broadcast(first, static_cast<int32_t>(m));
        at = at + first;
        at = Right ? at + dist - 1 : at + 1 - dist;
        at = dist == vw{} ? vw{} - 1 : at;
        Index* out = (Right ? hi_ : lo_) + m;
        V::store(reinterpret_cast<int32_t*>(out), at);
        for (; level; level &= level - 1) {
            const int l = __builtin_ctz(level);
            const size_t j = m + static_cast<size_t>(l);
            const double yj = y_[j];
            Index end = kFar;
            for (size_t d = 1; d <= kNear; ++d)
                if (Right ? y_[j + d] > yj : y_[j - d] >= yj) {
                    end = static_cast<Index>(Right ? j + d - 1 : j + 1 - d);
                    break;
                }
            out[l] = end;
        }
    }

    // The right windows of F samples from p (floats, kNear more readable):
    // count less one per sample seen (compare results are -1), close the
    // smallest difference between two slopes compared, top the steepest
    // slope, last the farthest distance seen; the pairs seen into the table
    // (at: the columns of the first lane; lanes past the end of the series
    // write columns no sample reads).
    template <class V>
    static ZEMBA_KERNEL void side(const float* p, const typename V::vf& yj, typename V::vw& count,
                                  typename V::vf& close, typename V::vf& top, typename V::vf& last, int32_t* at) {
        typedef typename V::vf vf;
        typedef typename V::vw vw;
        V::load(top, p + 1);
        top = top - yj;
        last = vf{} + 1.0f;
        count = count - 1;
#pragma GCC unroll 16
        for (int d = 2; d <= static_cast<int>(kNear); ++d) {
            vf s, diff;
            V::load(s, p + d);
            s = (s - yj) * (vf{} + 1.0f / static_cast<float>(d));
            diff = s - top;
            const vw seen = diff > vf{};
            count = count + seen;
            V::store(row(at, static_cast<size_t>(d)) + d, seen);
            last = seen ? vf{} + static_cast<float>(d) : last;
            V::abs(diff);
            V::min(close, diff);
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

    // Exact sign of (ym - yj) * gap(m, k) - (ym - yk) * gap(m, j). The gaps
    // are positive: with a sample level with m the other decides at once.
    template <bool Timed, bool Right>
    int exactSign(Index m, Index j, Index k) const {
        const double ym = y_[m], yj = y_[j], yk = y_[k];
        if (yj == ym) return (yk > ym) - (yk < ym);
        if (yk == ym) return (ym > yj) - (ym < yj);
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

    // Whether m sees j past k, the last sample it saw, a = ym - y[j] and b =
    // ym - y[k] being the drops and dj, dk the distances (every sample
    // between them no higher than m): j must drop less per unit of distance.
    // Decided by the rounded products unless they are within the margin
    // (b > 0: with Safe a level sample, a = 0, passes the first test); in
    // the source only the exact test is a branch.
    template <bool Timed, bool Right, bool Safe>
    __attribute__((always_inline)) bool sees(Index m, Index j, Index k, double a, double dj, double b,
                                             double dk) const {
        if (!Safe && a == 0.0) return true;
        const double p = a * dk, q = b * dj;
        bool seen = p < q * (1.0 - kMargin);
        const bool clear = Safe || (inRange(p) && inRange(q));
        if (__builtin_expect(!clear || (!seen && !(p > q * (1.0 + kMargin))), 0))
            seen = exactSign<Timed, Right>(m, j, k) < 0;
        return seen;
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
            if (!sees<Timed, Right, Safe>(m, j, k, a, dj, b, dk)) continue;
            Right ? edge(m, j) : edge(j, m);
            k = j;
            b = a;
            dk = dj;
            if (b == 0.0) return;
        }
    }

    // The samples j sees within kNear to its right, by any height
    // (fastDegrees()): each one seen rises more steeply from j than every
    // nearer one. Returns their count; onSeen(d) for each past the neighbour
    // (always seen); last: the distance of the farthest, 0 for none.
    template <class OnSeen>
    size_t nearExact(Index j, size_t& last, OnSeen&& onSeen) const {
        const size_t room = n_ - 1 - j;
        const size_t reach = room < kNear ? room : kNear;
        last = reach ? 1 : 0;
        if (!reach) return 0;
        size_t count = 1;
        Index k = j + 1;
        double b = y_[j] - y_[k], dk = 1.0;
        for (size_t d = 2; d <= reach; ++d) {
            const Index x = static_cast<Index>(j + d);
            const double a = y_[j] - y_[x];
            const double p = a * dk, q = b * static_cast<double>(d);
            const double tol = kMargin * (std::fabs(p) + std::fabs(q));
            const bool seen = q - p > tol || (!(p - q > tol) && exactSign<false, true>(j, x, k) < 0);
            if (!seen) continue;
            onSeen(d);
            ++count;
            k = x;
            b = a;
            dk = static_cast<double>(d);
            last = d;
        }
        return count;
    }

    static constexpr size_t kSweep = 1024;

    // follow() from m past cur for up to kSweep samples, a vector of W at a
    // time (fastDegrees()): a vector whose samples are all clearly hidden (by
    // follow's own test) is passed over whole, and the others are decided one
    // by one in order as follow() does, counting each pair seen into
    // edge.deg with selects rather than a branch on the outcome (the compiler
    // may still branch). Leaves k and cur where follow() goes on; false when
    // the scan has ended.
    template <class V, bool Right>
    ZEMBA_KERNEL bool sweep(Index m, Index& k, Index& cur, Index end, CountEdge& edge) {
        typedef typename V::vd vd;
        const double ym = y_[m];
        double b = ym - y_[k];
        if (b == 0.0) return false;
        double dk = gap<false, Right>(m, k);
        const size_t room = Right ? end - cur : cur - end;
        size_t left = room < kSweep ? room : kSweep;
        // bm: b with the margin, the horizon a lane must clear to be looked at
        // (bm * dist is within a few units in the last place of follow()'s
        // b * dist * (1 + kMargin): far inside the margin, so a lane passed
        // over is still clearly hidden)
        vd ymv, bm, dkv, iota, dist, step = vd{} + static_cast<double>(V::W);
        V::broadcast(ymv, ym);
        V::broadcast(bm, b * (1.0 + kMargin));
        V::broadcast(dkv, dk);
        V::iota(iota);
        // the distances of the first whole vector's lanes, then W more each
        V::broadcast(dist, Right ? static_cast<double>(cur + 1 - m) : static_cast<double>(m - cur + V::W));
        dist = Right ? dist + iota : dist - iota;
        while (left) {
            // the next `take` samples past cur, as the top (right) or bottom
            // (left) lanes of the vector from `first`
            const unsigned take = left < V::W ? static_cast<unsigned>(left) : V::W;
            left -= take;
            const Index first = Right ? cur + take - (V::W - 1) : cur - take;
            cur = Right ? cur + take : cur - take;
            vd v;
            V::load(v, y_ + first);
            if (take < V::W) {
                V::broadcast(dist, Right ? static_cast<double>(first - m) : static_cast<double>(m - first));
                dist = Right ? dist + iota : dist - iota;
            }
            const vd a = ymv - v;
            const unsigned lanes = Right ? ((1u << V::W) - 1) & ~((1u << (V::W - take)) - 1) : (1u << take) - 1;
            unsigned open = ~V::bitsGreater(a * dkv, bm * dist) & lanes;
            dist = dist + step;
            while (open) {
                const int l = Right ? __builtin_ctz(open) : 31 - __builtin_clz(open);
                open &= ~(1u << l);
                const Index j = first + static_cast<Index>(l);
                const double aj = ym - y_[j];
                const double dj = gap<false, Right>(m, j);
                const bool seen = sees<false, Right, true>(m, j, k, aj, dj, b, dk);
                const size_t one = seen;
                edge.deg[j] += one;
                edge.deg[m] += one;
                k = seen ? j : k;
                b = seen ? aj : b;
                dk = seen ? dj : dk;
                if (b == 0.0) return false;
                V::broadcast(bm, b * (1.0 + kMargin));
                V::broadcast(dkv, dk);
            }
        }
        return cur != end;
    }

    // The scan on from kNear on one side where j's stretch reaches further
    // (last: the distance of the farthest sample j sees within the window).
    template <class V, bool Right, class Edge>
    ZEMBA_KERNEL void fartherSide(Index j, size_t last, Edge& edge) {
        const Index end = Right ? hi_[j] : lo_[j];
        if (Right ? end <= j + kNear : end + kNear >= j) return;
        Index k = Right ? j + last : j - last, cur = Right ? j + kNear : j - kNear;
        if (sweep<V, Right>(j, k, cur, end, edge)) follow<false, Right, true>(j, k, cur, end, edge);
    }

    const double* y_;
    const double* t_;
    size_t n_;
    double yLo_ = 0.0, yHi_ = 0.0;  // the least and greatest values
    exact::Range range_;  // of the values
    exact::Mode mode_;
    std::unique_ptr<Index[]> block_;
    Index* lo_ = nullptr;
    Index* hi_ = nullptr;
    float* floats_ = nullptr;  // the room asked of build()
    bool floatsReady_ = false;  // the float copy is made (fastDegrees())
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
            if (const int s = nat.build()) return s;
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
struct Stretches {
    template <class V>
    static ZEMBA_KERNEL void run(Natural<Index>& nat, double* lanes) {
        nat.template stretches<V>(lanes);
    }
};

template <class Index>
struct NearDegrees {
    template <class V>
    static ZEMBA_KERNEL void run(Natural<Index>& nat, size_t* deg, double* lanes, int32_t* seen) {
        nat.template degreesNear<V>(deg, lanes, seen);
    }
};

// Degrees of the unfiltered natural graph into deg[0..n-1] (n >= 1);
// ZEMBA_E_NONFINITE when a value is NaN or infinite (checked here too, so the
// caller need not), or ZEMBA_E_NO_MEMORY.
inline int naturalDegrees(const Graph& g, size_t* deg) {
    const size_t n = g.n;
    try {
        auto run = [&](auto tag) -> int {
            using Index = decltype(tag);
            Natural<Index> nat(g.y, g.t, n);
            // the windows for 32-bit indices only (one copy of their code
            // per width); longer series take the scans from every sample
            constexpr bool windows = sizeof(Index) == 4;
            if (const int s = nat.build(windows && !g.t ? n + Natural<Index>::kFloatPad : 0)) return s;
            if constexpr (windows) {
                if (nat.fastDegrees()) {
                    double lanes[Natural<Index>::kLanes];
                    int32_t seen[Natural<Index>::kSeen];
                    dispatch<NearDegrees<Index>>(nat, deg, lanes, seen);
                    return ZEMBA_OK;
                }
            }
            std::fill(deg, deg + n, size_t{0});
            nat.forEachEdge(CountEdge{deg}, [](size_t) {});
            return ZEMBA_OK;
        };
        return n <= UINT32_MAX ? run(uint32_t{}) : run(uint64_t{});
    } catch (const std::bad_alloc&) {
        return ZEMBA_E_NO_MEMORY;
    }
}

}  // namespace zemba::core::graphs

#endif

// Deliberately naive visibility graphs, straight from the definitions: every
// pair tested against every sample between (natural graphs in exact rational
// arithmetic), and the features computed from the resulting edge lists.
#ifndef ZEMBA_REFERENCE_VISIBILITY_H
#define ZEMBA_REFERENCE_VISIBILITY_H

#include <gmpxx.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace zemba_ref {

using Edge = std::pair<size_t, size_t>;  // (earlier, later)

// ---- horizontal visibility ----------------------------------------------------

// Whether sample k lets a and b see each other: ordinary (strictly lower than
// both ends) or inverted (strictly higher). With nanBlocks false the test is
// written so that a NaN sample never blocks; true: so that it always does.
template <class T>
bool passes(const std::vector<T>& x, size_t a, size_t b, size_t k, bool inverted, bool nanBlocks) {
    if (nanBlocks) return inverted ? (x[k] > x[a] && x[k] > x[b]) : (x[k] < x[a] && x[k] < x[b]);
    return inverted ? !(x[a] >= x[k] || x[b] >= x[k]) : !(x[k] >= x[a] || x[k] >= x[b]);
}

template <class T>
bool horizontalSees(const std::vector<T>& x, size_t a, size_t b, bool inverted = false, bool nanBlocks = true) {
    for (size_t k = a + 1; k < b; ++k)
        if (!passes(x, a, b, k, inverted, nanBlocks)) return false;
    return true;
}

// Tests until the first sample that blocks (a, b), plus one when one does:
// the cost the original pairwise routine counts.
template <class T>
long long horizontalCost(const std::vector<T>& x, size_t a, size_t b, bool inverted) {
    size_t k = a + 1;
    while (k < b && passes(x, a, b, k, inverted, false)) ++k;
    return static_cast<long long>(k - a) + (k < b ? 1 : 0);
}

template <class T>
std::vector<Edge> horizontalEdges(const std::vector<T>& x, bool inverted = false, bool nanBlocks = true) {
    std::vector<Edge> e;
    for (size_t b = 1; b < x.size(); ++b)
        for (size_t a = 0; a < b; ++a)
            if (horizontalSees(x, a, b, inverted, nanBlocks)) e.emplace_back(a, b);
    return e;
}

// ---- natural visibility ---------------------------------------------------------

// Sample k strictly below the line through a and b, in exact rationals (every
// double is a rational).
inline bool belowChord(const std::vector<double>& y, const std::vector<double>& t, size_t a, size_t b, size_t k) {
    const mpq_class ya(y[a]), yb(y[b]), yk(y[k]), ta(t[a]), tb(t[b]), tk(t[k]);
    return (yk - ya) * (tb - ta) < (yb - ya) * (tk - ta);
}

inline std::vector<double> indexTimes(size_t n) {
    std::vector<double> t(n);
    for (size_t i = 0; i < n; ++i) t[i] = static_cast<double>(i);
    return t;
}

// t empty: times 0, 1, 2, ...
inline std::vector<Edge> naturalEdges(const std::vector<double>& y, std::vector<double> t = {}) {
    if (t.empty()) t = indexTimes(y.size());
    std::vector<Edge> e;
    for (size_t b = 1; b < y.size(); ++b)
        for (size_t a = 0; a < b; ++a) {
            bool sees = true;
            for (size_t k = a + 1; k < b && sees; ++k) sees = belowChord(y, t, a, b, k);
            if (sees) e.emplace_back(a, b);
        }
    return e;
}

// Natural visibility on the lattice a, a + tau, ...: degrees and the weights
// |trunc(v[b] - v[a])| + 1 of the original routine. exactIntegers: the chord
// test with the division cleared (exact for small integers); otherwise as a
// floating-point chord height.
struct LatticeGraph {
    std::vector<int> degree;
    std::vector<long> weight;
};

inline LatticeGraph naturalLattice(const std::vector<double>& v, int tau, bool exactIntegers) {
    const int n = static_cast<int>(v.size());
    LatticeGraph r{std::vector<int>(n), std::vector<long>(n)};
    for (int a = 0; a < n; ++a)
        for (int b = a + tau; b < n; b += tau) {
            bool visible = true;
            for (int c = a + tau; c < b && visible; c += tau) {
                if (exactIntegers)
                    visible = (v[c] - v[a]) * (b - a) < (v[b] - v[a]) * (c - a);
                else
                    visible = v[c] < v[a] + (v[b] - v[a]) * (c - a) / (b - a);
            }
            if (visible) {
                const long w = std::labs(static_cast<long>(v[b] - v[a])) + 1;
                r.degree[a]++;
                r.degree[b]++;
                r.weight[a] += w;
                r.weight[b] += w;
            }
        }
    return r;
}

// ---- graph figures from an edge list -------------------------------------------

inline std::vector<size_t> degrees(const std::vector<Edge>& edges, size_t n) {
    std::vector<size_t> d(n);
    for (const Edge& e : edges) d[e.first]++, d[e.second]++;
    return d;
}

// -sum p ln p of the histogram of values (p = count / n).
inline double histogramEntropy(const std::vector<size_t>& values) {
    std::map<size_t, size_t> h;
    for (size_t v : values) h[v]++;
    double e = 0.0;
    for (const auto& [v, c] : h) {
        const double p = double(c) / double(values.size());
        e -= p * std::log(p);
    }
    return e;
}

// Entropy of the selection-sort orders of windows of m values starting tau
// apart (position p receives the first strictly smallest of p..m-1).
template <class T>
double patternEntropy(const std::vector<T>& v, size_t m, size_t tau) {
    std::map<std::vector<size_t>, size_t> counts;
    size_t windows = 0;
    for (size_t s = 0; s + m <= v.size(); s += tau, ++windows) {
        std::vector<size_t> order(m);
        for (size_t k = 0; k < m; ++k) order[k] = k;
        for (size_t p = 0; p + 1 < m; ++p) {
            size_t q = p;
            for (size_t c = p + 1; c < m; ++c)
                if (v[s + order[q]] > v[s + order[c]]) q = c;
            std::swap(order[p], order[q]);
        }
        counts[order]++;
    }
    double e = 0.0;
    for (const auto& [o, c] : counts) e -= double(c) / windows * std::log(double(c) / windows);
    return e;
}

// The backward/forward features of a left-to-right graph: edges (a, b), a < b,
// weighing w(a, b). forwardForAsymmetry, when given, replaces the forward
// degrees in the asymmetry (feature 4), and truncate truncates each term of G
// (feature 6), as the original routine does (it takes the former from the
// graph of the truncated series).
inline std::vector<double> irreversibility(size_t n, const std::vector<Edge>& edges,
                                           const std::function<double(size_t, size_t)>& w,
                                           const std::vector<size_t>* forwardForAsymmetry = nullptr,
                                           bool truncate = false) {
    const double dn = double(n);
    std::vector<size_t> db(n), df(n);
    std::vector<double> wb(n), wf(n);
    for (const Edge& e : edges) {
        df[e.first]++, db[e.second]++;
        wf[e.first] += w(e.first, e.second), wb[e.second] += w(e.first, e.second);
    }
    std::map<size_t, size_t> hb, hf;
    std::vector<size_t> total(n);
    for (size_t k = 0; k < n; ++k) hb[db[k]]++, hf[df[k]]++, total[k] = db[k] + df[k];
    double kl = 0.0;
    for (const auto& [d, cb] : hb)
        if (hf.count(d)) kl += (cb / dn) * std::log(double(cb) / double(hf[d]));
    const std::vector<size_t>& dfa = forwardForAsymmetry ? *forwardForAsymmetry : df;
    double degreeSum = 0, q = 0, wbSum = 0, mSum = 0, gSum = 0;
    for (size_t l = 0; l < n; ++l) {
        degreeSum += double(db[l] + df[l]);
        q += std::fabs(double(db[l]) - double(dfa[l]));
        wbSum += wb[l];
        double m = 0.0, g = 0.0;
        for (const Edge& e : edges)
            if (e.first == l) {
                const size_t later = e.second;
                m += double(df[later]) * w(l, later);
                const double lean = (double(df[later]) - double(db[later])) * w(l, later);
                g += std::fabs(truncate ? std::trunc(lean) : lean);
            }
        if (wf[l] != 0.0) m /= wf[l];
        if (wb[l] != 0.0) g /= wb[l];
        mSum += m, gSum += g;
    }
    return {kl, histogramEntropy(total), degreeSum / dn, wbSum / dn, std::sqrt(q / dn), mSum / dn, gSum / dn};
}

}  // namespace zemba_ref

#endif

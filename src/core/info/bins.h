// Equal-width histogram bins placed as numpy 1.24's histogram places them:
// edges from numpy.linspace(min, max, bins + 1), a first guess of the index
// from (v - min) * (bins / (max - min)), then one step down or up against the
// edges. Internal to the core.
#ifndef ZEMBA_CORE_INFO_BINS_H
#define ZEMBA_CORE_INFO_BINS_H

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zemba::core {

class EqualBins {
public:
    // Bins over [lo, hi] (lo <= hi, both finite, 1 <= bins <= 2^53). False
    // when hi - lo overflows.
    bool init(double lo, double hi, size_t bins) {
        bins_ = bins;
        nb_ = static_cast<double>(bins);
        if (lo == hi) lo = lo - 0.5, hi = hi + 0.5;  // numpy widens an empty range
        first_ = lo, last_ = hi;
        delta_ = hi - lo;
        if (std::isinf(delta_)) return false;
        flat_ = !(delta_ > 0.0);
        step_ = delta_ / nb_;
        norm_ = nb_ / delta_;
        useNorm_ = std::isfinite(norm_);
        return true;
    }

    size_t bins() const { return bins_; }
    double first() const { return first_; }
    double norm() const { return norm_; }
    double step() const { return step_; }
    // The first guess is (v - min) * norm (numpy's), the range is not empty
    // and the edges are k * step + min.
    bool plain() const { return useNorm_ && !flat_ && step_ != 0.0; }

    // numpy.linspace(first, last, bins + 1)[k].
    double edge(size_t k) const {
        if (k == bins_) return last_;
        const double kk = static_cast<double>(k);
        return step_ != 0.0 ? kk * step_ + first_ : (kk / nb_) * delta_ + first_;
    }

    // Bin of v (min <= v <= max), with edge(k) given by `edges`.
    template <class Edges>
    size_t index(double v, const Edges& edges) const {
        if (flat_) return bins_ / 2;
        const double f = useNorm_ ? (v - first_) * norm_ : (v - first_) / delta_ * nb_;
        // f >= 0; numpy takes f == bins one bin down (beyond cannot happen
        // below 2^53 bins, but never index past the last bin).
        size_t k = f < nb_ ? static_cast<size_t>(static_cast<int64_t>(f)) : bins_ - 1;
        if (v < edges(k)) --k;
        else if (k + 1 < bins_ && v >= edges(k + 1)) ++k;
        return k;
    }
    size_t index(double v) const {
        return index(v, [this](size_t k) { return edge(k); });
    }

private:
    double first_ = 0.0, last_ = 0.0, delta_ = 0.0, step_ = 0.0, norm_ = 0.0, nb_ = 1.0;
    size_t bins_ = 1;
    bool useNorm_ = true, flat_ = false;
};

}  // namespace zemba::core

#endif

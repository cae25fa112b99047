// Argument checks shared by the core kernels.
#ifndef ZEMBA_CORE_FRAME_CHECKS_H
#define ZEMBA_CORE_FRAME_CHECKS_H

#include <cstddef>

namespace zemba::core {

// Index of the first NaN or infinity in x[0..n-1], or n. Vectorised.
size_t firstNonfinite(const double* x, size_t n);

inline bool allFinite(const double* x, size_t n) { return firstNonfinite(x, n) == n; }

// The largest magnitude of finite x[0..n-1] (0 when n is 0 or all are zero)
// and the smallest nonzero one (+inf when there is none).
void magnitudes(const double* x, size_t n, double& maxAbs, double& minAbs);

// The least and greatest of x[0..n-1] (n >= 1) into lo and hi; false when a
// value is NaN or infinite (lo and hi then unspecified).
bool valueRange(const double* x, size_t n, double& lo, double& hi);

// valueRange() and, in the same pass, the smallest nonzero magnitude into
// minAbs (+inf when there is none; unspecified when false is returned).
bool valueSpan(const double* x, size_t n, double& lo, double& hi, double& minAbs);

}  // namespace zemba::core

#endif

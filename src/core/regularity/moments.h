// Moments shared by the regularity kernels.
#ifndef ZEMBA_CORE_REGULARITY_MOMENTS_H
#define ZEMBA_CORE_REGULARITY_MOMENTS_H

#include <cstddef>

namespace zemba::core {

// Standard deviation about the mean, divided by n (n >= 1), pairwise summed.
double populationSd(const double* x, size_t n);

}  // namespace zemba::core

#endif

// Burg fit shared by the spectral kernels (arguments already checked).
#ifndef ZEMBA_CORE_SPECTRAL_BURG_H
#define ZEMBA_CORE_SPECTRAL_BURG_H

#include <cstddef>

namespace zemba::core {

// AR(order) model of x[0..n) by Burg's recursion, 0 <= order < n, every sample
// finite. Writes coefs[0..order), *variance and, when reflection is not null,
// reflection[0..order). Returns ZEMBA_OK or ZEMBA_E_NO_MEMORY (nothing written).
int burgFit(const double* x, size_t n, size_t order, bool demean, double* coefs, double* variance,
            double* reflection);

// trunc(sqrt(n) + 0.5).
size_t burgDefaultOrder(size_t n);

}  // namespace zemba::core

#endif

// The plug-in mutual information sum over a joint probability table, shared
// by the core kernels and the original interface's calculateMutualInformation.
#ifndef ZEMBA_CORE_INFO_PLUGIN_H
#define ZEMBA_CORE_INFO_PLUGIN_H

#include <cmath>
#include <cstddef>

namespace zemba::core {

// One occupied cell: p(i,j) ln((p(i,j) / p(i)) / p(j)).
inline double pluginTerm(double pj, double pa, double pb) { return pj * std::log((pj / pa) / pb); }

// Sum of the terms over joint[i + bx * j] (i < bx: state of the first series,
// j < by: state of the second), j outer and i inner, skipping cells whose
// joint or marginal probability is not positive. Not clipped at zero.
double pluginSum(const double* joint, const double* pa, const double* pb, size_t bx, size_t by);

}  // namespace zemba::core

#endif

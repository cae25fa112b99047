// Entropies of counted patterns, shared by the pattern routines.
#ifndef ZEMBA_ENTROPY_PATTERNS_H
#define ZEMBA_ENTROPY_PATTERNS_H

#include <cstdint>
#include <string>
#include <unordered_map>

#include "zemba.h"

namespace zemba {

// Shannon entropy (nats) of symbol counts out of total, its terms added in the
// map's iteration order (symbols.cpp).
double entropyOfCounts(const std::unordered_map<std::string, int>& counts, int total);

// Entropy of the ordinal patterns of `windows` windows of len members, window w
// starting at w * advance and its members `spacing` apart: of a series, or of
// the degrees of graph nodes (permutation.cpp).
double ordinalPatternEntropy(const double* x, int64_t windows, int64_t advance, int64_t spacing, int len);
double ordinalPatternEntropy(const NodeRecord* nodes, int64_t windows, int64_t advance, int64_t spacing, int len);

}  // namespace zemba

#endif

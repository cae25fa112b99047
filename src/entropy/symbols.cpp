// Shannon entropy (nats) of the empirical distribution of byte-string symbols.
#include <cmath>
#include <unordered_map>

#include "entropy/patterns.h"
#include "zemba.h"

namespace zemba {

double entropyOfCounts(const std::unordered_map<std::string, int>& counts, int total) {
    const double all = static_cast<double>(total);
    double h = 0.0;
    for (const auto& entry : counts) {
        const double p = entry.second / all;
        h = h - std::log(p) * p;
    }
    return h;
}

}  // namespace zemba

double calculateShannonEntropy(std::vector<std::string> symbols) {
    std::unordered_map<std::string, int> counts;
    for (const std::string& s : symbols) counts[s]++;
    return zemba::entropyOfCounts(counts, static_cast<int>(symbols.size()));
}

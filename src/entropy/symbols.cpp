// Shannon entropy (nats) of the empirical distribution of byte-string symbols.
#include "zemba.h"

#include <cmath>
#include <unordered_map>

double calculateShannonEntropy(std::vector<std::string> symbols) {
    std::unordered_map<std::string, int> counts;
    for (const std::string& s : symbols) counts[s]++;
    const double total = static_cast<double>(static_cast<int>(symbols.size()));
    double h = 0.0;
    for (const auto& entry : counts) {
        const double p = entry.second / total;
        h = h - std::log(p) * p;
    }
    return h;
}

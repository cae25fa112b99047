// Reader of golden.txt (written by make_golden.py from statsmodels and SciPy).
#ifndef ZEMBA_TESTS_CORE_SPECTRAL_GOLDEN_H
#define ZEMBA_TESTS_CORE_SPECTRAL_GOLDEN_H

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zemba_test {

struct GoldenCase {
    std::string name;
    bool model = false;  // coefficients given, no series
    bool stray = false;  // statsmodels strays here: judge by the wide reference
    bool demean = true;
    size_t order = 0;
    double variance = 0.0, sfreq = 0.0;
    std::vector<double> x, coefs, reflection, bands, power, relative, freqs, psd;
};

inline std::vector<GoldenCase> goldenCases() {
    std::ifstream in(std::string(ZEMBA_SOURCE_DIR) + "/tests/core/spectral/golden.txt");
    std::vector<GoldenCase> cases;
    GoldenCase c;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string key;
        s >> key;
        std::vector<double> v;
        for (std::string t; s >> t;) v.push_back(std::strtod(t.c_str(), nullptr));
        if (key == "case" || key == "model") {
            c = GoldenCase();
            c.model = key == "model";
            c.name = line.substr(key.size() + 1);
        } else if (key == "end") {
            cases.push_back(c);
        } else if (key == "stray") {
            c.stray = v.at(0) != 0;
        } else if (key == "demean") {
            c.demean = v.at(0) != 0;
        } else if (key == "order") {
            c.order = static_cast<size_t>(v.at(0));
        } else if (key == "variance") {
            c.variance = v.at(0);
        } else if (key == "sfreq") {
            c.sfreq = v.at(0);
        } else {
            std::vector<double>* dst = key == "x" ? &c.x : key == "coefs" ? &c.coefs
                                     : key == "reflection" ? &c.reflection : key == "bands" ? &c.bands
                                     : key == "power" ? &c.power : key == "relative" ? &c.relative
                                     : key == "freqs" ? &c.freqs : key == "psd" ? &c.psd : nullptr;
            if (dst) *dst = v;
        }
    }
    return cases;
}

}  // namespace zemba_test

#endif

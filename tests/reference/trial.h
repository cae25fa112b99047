// Naive reference reader of trial text: every line split on white space with
// string streams, no shared code with the library. For good files only.
#ifndef ZEMBA_TESTS_REFERENCE_TRIAL_H
#define ZEMBA_TESTS_REFERENCE_TRIAL_H

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace zemba_reference {

struct Trial {
    std::string subject;
    char group = 0;
    int condition = 0;  // 1 S1 obj, 2 S2 match, 3 S2 nomatch, 0 none
    int trial = -1;
    std::vector<std::string> names;
    std::vector<std::vector<double>> values;  // [block][sample]
};

inline Trial parseTrialText(const std::string& text) {
    Trial t;
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (n == 1) {
            t.group = line.size() > 5 ? line[5] : 0;
            t.subject = line.substr(2, line.find('.') - 2);
        } else if (n == 4) {
            if (line.find("S1 obj") != std::string::npos) t.condition = 1;
            if (line.find("S2 match") != std::string::npos) t.condition = 2;
            if (line.find("S2 nomatch") != std::string::npos) t.condition = 3;
            const size_t at = line.find("trial ");
            if (at != std::string::npos) t.trial = std::atoi(line.c_str() + at + 6);
        } else if (n > 4 && !line.empty() && line[0] == '#') {
            std::istringstream h(line.substr(1));
            std::string name;
            h >> name;
            t.names.push_back(name);
            t.values.emplace_back(256, 0.0);
        } else if (n > 4) {
            std::istringstream s(line);
            int trial, index;
            std::string sensor, value;
            s >> trial >> sensor >> index >> value;
            t.values.back().at(index) = std::strtod(value.c_str(), nullptr);
        }
    }
    return t;
}

}  // namespace zemba_reference

#endif

// The shared folder of damaged trial files (data/damaged) and its manifest,
// for the tests of every interface that reads trial files.
#ifndef ZEMBA_TESTS_DAMAGED_H
#define ZEMBA_TESTS_DAMAGED_H

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zemba_test {

struct DamagedFile {
    std::string file;         // name in the folder
    bool loads = false;       // a good trial
    std::string reason;       // open, not-regular, format, unparsable-line, incomplete ("" when it loads)
    size_t line = 0;          // for unparsable-line: the line reported
    std::string description;
    std::string path() const { return std::string(ZEMBA_DAMAGED_DIR) + "/" + file; }
};

inline std::vector<DamagedFile> damagedFiles() {
    std::vector<DamagedFile> rows;
    std::ifstream in(std::string(ZEMBA_DAMAGED_DIR) + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream cells(line);
        for (std::string c; std::getline(cells, c, '\t');) f.push_back(c);
        f.resize(5);
        DamagedFile d;
        d.file = f[0];
        d.loads = f[1] == "yes";
        d.reason = f[2];
        d.line = f[3].empty() ? 0 : std::stoul(f[3]);
        d.description = f[4];
        rows.push_back(d);
    }
    return rows;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace zemba_test

#endif

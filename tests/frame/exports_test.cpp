// Loads the built library the way a host does (dlopen in a process that is not
// linked to it) and checks its export table, data sizes and initial values,
// and that its 1.8 GB of buffers cost no memory until used.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

struct DataObject {
    const char* name;
    uint64_t bytes;
};

// Sizes as the interface defines them: element size times capacity.
const DataObject kData[] = {
    {"ForBiddenLen", 4},
    {"FREQ_LEN", 4},
    {"jointStateProbs", 8 * 4096},
    {"secondStateProbs", 8 * 4096},
    {"firstStateProbs", 8 * 4096},
    {"jointStateCounts", 4 * 4096},
    {"secondStateCounts", 4 * 4096},
    {"firstStateCounts", 4 * 4096},
    {"secondNormalisedVector", 4 * 4096},
    {"firstNormalisedVector", 4 * 4096},
    {"DPE_Sort", 4ull * 3628800},
    {"SaveInt", 602610208ull},
    {"PerList", 4 * 64},
    {"SlopMatrix", 8ull * 12194 * 12194},
    {"SortList1", 4 * 12194},
    {"inSets", 16 * 12194},
    {"outSets", 16 * 12194},
    {"wk2", 8 * 12193},
    {"wk1", 8 * 12193},
    {"wkm", 8 * 106},
    {"DegreeMatrix", 4 * 64 * 257},
    {"DegreeValue", 4 * 1032},
    {"myData", 472 + 8 * 65 * 1024},
    {"myF", 8 * 24386},
    {"R2", 8 * 24386},
    {"R1", 8 * 24386},
    {"s1", 8 * 128},
    {"v2", 8 * 128},
    {"v1", 8 * 128},
    {"lastrun", 4 * 12193},
    {"run1", 4 * 12193},
    {"run", 4 * 12193},
    {"n2", 8 * 128},
    {"n1", 8 * 128},
    {"K", 8 * 12193},
    {"myF2", 8 * 24386},
    {"myF1", 8 * 24386},
};

// The names of the export list: "code NAME" or "data NAME" lines.
std::map<std::string, std::string> exportList() {
    std::map<std::string, std::string> names;
    std::ifstream in(ZEMBA_EXPORTS_FILE);
    std::string kind, name, line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (fields >> kind >> name && (kind == "code" || kind == "data")) names[name] = kind;
    }
    return names;
}

// Defined dynamic symbols of the library: name -> (type letter, size).
std::map<std::string, std::pair<char, uint64_t>> dynamicSymbols() {
    std::map<std::string, std::pair<char, uint64_t>> symbols;
    std::string cmd = std::string("nm -D -S --defined-only ") + ZEMBA_LIBRARY_PATH;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return symbols;
    char buf[1024];
    while (std::fgets(buf, sizeof buf, pipe)) {
        std::istringstream fields(buf);
        std::string addr, second, third, fourth;
        fields >> addr >> second >> third;
        if (fields >> fourth) {  // address size type name
            symbols[fourth] = {third[0], std::stoull(second, nullptr, 16)};
        } else {  // address type name
            symbols[third] = {second[0], 0};
        }
    }
    pclose(pipe);
    return symbols;
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

TEST(Exports, ListHoldsEveryRoutineAndDataObject) {
    auto names = exportList();
    int code = 0, data = 0;
    for (auto& [name, kind] : names) (kind == "code" ? code : data)++;
    EXPECT_EQ(code, 53);
    EXPECT_EQ(data, 37);
    EXPECT_EQ(data, static_cast<int>(sizeof kData / sizeof kData[0]));
}

TEST(Exports, LibraryExportsExactlyTheList) {
    auto names = exportList();
    auto symbols = dynamicSymbols();
    ASSERT_FALSE(symbols.empty()) << "nm found no symbols in " << ZEMBA_LIBRARY_PATH;
    for (auto& [name, kind] : names) {
        auto it = symbols.find(name);
        ASSERT_NE(it, symbols.end()) << "not exported: " << name;
        char type = it->second.first;
        if (kind == "code")
            EXPECT_TRUE(type == 'T' || type == 'W') << name << " has type " << type;
        else
            EXPECT_TRUE(type == 'B' || type == 'D') << name << " has type " << type;
    }
    for (auto& [name, info] : symbols)
        EXPECT_TRUE(names.count(name)) << "exported but not in the list: " << name;
}

TEST(Exports, DataObjectsHaveTheirSizesAndLiveInZeroStorage) {
    auto symbols = dynamicSymbols();
    for (const DataObject& d : kData) {
        auto it = symbols.find(d.name);
        ASSERT_NE(it, symbols.end()) << d.name;
        EXPECT_EQ(it->second.second, d.bytes) << d.name;
        bool initialised = std::string(d.name) == "ForBiddenLen" || std::string(d.name) == "FREQ_LEN";
        EXPECT_EQ(it->second.first, initialised ? 'D' : 'B') << d.name;
    }
}

TEST(Exports, FreshLoadIsZeroedAndCostsNoMemory) {
    long before = residentKiB();
    void* lib = dlopen(ZEMBA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    long after = residentKiB();
    EXPECT_LT(after - before, 8 * 1024) << "loading raised resident memory by " << (after - before) << " KiB";

    EXPECT_EQ(*static_cast<int32_t*>(dlsym(lib, "ForBiddenLen")), 127);
    EXPECT_EQ(*static_cast<int32_t*>(dlsym(lib, "FREQ_LEN")), 150652547);
    // Content is checked on a bounded sample of each object: its first and last
    // bytes and bytes spread over at most kProbes pages. Reading an untouched
    // zero page commits it on some kernels (and a whole huge page on others), so
    // resident memory is judged only before any buffer is read.
    constexpr uint64_t kProbes = 64;
    for (const DataObject& d : kData) {
        std::string name = d.name;
        if (name == "ForBiddenLen" || name == "FREQ_LEN") continue;
        auto* bytes = static_cast<const unsigned char*>(dlsym(lib, d.name));
        ASSERT_NE(bytes, nullptr) << name;
        uint64_t step = d.bytes / kProbes + 1;
        bool zero = bytes[0] == 0 && bytes[d.bytes - 1] == 0;
        for (uint64_t i = step / 2; i < d.bytes && zero; i += step) zero = bytes[i] == 0;
        if (d.bytes <= 4096)
            for (uint64_t i = 0; i < d.bytes && zero; ++i) zero = bytes[i] == 0;
        EXPECT_TRUE(zero) << name << " is not zero after load";
    }
    dlclose(lib);
}

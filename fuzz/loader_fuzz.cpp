// Fuzz target for the EEG trial loader: arbitrary bytes split into one to four
// files in a private temporary folder, an arbitrary option letter, channel or
// feature select and file count (0 to 5), with the output array sized exactly
// as the option requires. The first file's bytes also go through the core
// reader's memory entry (zemba_parse_trial), which must either fill a whole
// trial or leave its output untouched.
#include <fuzzer/FuzzedDataProvider.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "guard.h"
#include "zemba.h"
#include "zemba/core.h"

using zemba_fuzz::fail;
using zemba_fuzz::Guarded;

namespace {

std::string folder;

void writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail("cannot write a fuzz file", "LoadAlcoholFile");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The core reader on the same bytes: a good trial is whole, a failure writes nothing.
void checkCoreReader(const std::string& bytes) {
    static zemba_trial t;
    std::memset(&t, 0x5A, sizeof t);
    size_t line = 1;
    const int status = zemba_parse_trial(bytes.data(), bytes.size(), &t, &line);
    if (status != ZEMBA_OK) {
        const auto* b = reinterpret_cast<const unsigned char*>(&t);
        for (size_t i = 0; i < sizeof t; ++i)
            if (b[i] != 0x5A) fail("trial written on failure", "zemba_parse_trial");
        if (line > 0 && status != ZEMBA_E_FORMAT && status != ZEMBA_E_INCOMPLETE)
            fail("line reported with another status", "zemba_parse_trial");
        return;
    }
    if (line != 0 || t.channels < 1 || t.channels > ZEMBA_TRIAL_CHANNEL_CAP || t.condition < 0 || t.condition > 4 ||
        (t.group != 'a' && t.group != 'c'))
        fail("header figures out of range", "zemba_parse_trial");
    for (int c = 0; c < ZEMBA_TRIAL_CHANNEL_CAP; ++c) {
        if (std::memchr(t.names[c], '\0', sizeof t.names[c]) == nullptr) fail("name not terminated", "zemba_parse_trial");
        for (double v : t.samples[c])
            if (c < t.channels ? !std::isfinite(v) : !std::isnan(v)) fail("sample out of place", "zemba_parse_trial");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/zemba-loader-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) fail("cannot make a temporary folder", "LoadAlcoholFile");
    folder = tmpl;
    if (!std::getenv("ZEMBA_FUZZ_STDOUT")) {
        const int fd = open("/dev/null", O_WRONLY);
        if (fd >= 0) dup2(fd, 1);
    }
    std::atexit([] {
        for (int k = 0; k < 4; ++k) std::remove((folder + "/trial" + std::to_string(k)).c_str());
        rmdir(folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider p(data, size);
    const int files = p.ConsumeIntegralInRange<int>(1, 4);
    int nFiles = p.ConsumeIntegralInRange<int>(0, 5);
    int select = p.ConsumeBool() ? p.ConsumeIntegralInRange<int>(-2, 70) : p.ConsumeIntegral<int>();
    // The divergence option runs 64 graph features per call: keep it rarer.
    const char letters[] = {'o', 'O', 'x', '\0', 'D', 'd'};
    const uint8_t pick = p.ConsumeIntegral<uint8_t>();
    char optionText[2] = {pick < 200 ? letters[pick % 4] : pick < 230 ? letters[4 + pick % 2] : static_cast<char>(pick),
                          '\0'};
    char* option = optionText;
    const bool noOption = p.ConsumeIntegral<uint8_t>() == 0;

    // The rest of the input is cut into the files; every file but the last
    // takes a length-prefixed share.
    std::string paths[5];
    char* argv[5];
    std::string firstBytes;
    for (int k = 0; k < files; ++k) {
        const std::string bytes = k + 1 < files ? p.ConsumeRandomLengthString(1 << 16) : p.ConsumeRemainingBytesAsString();
        if (k == 0) firstBytes = bytes;
        paths[k] = folder + "/trial" + std::to_string(k);
        writeFile(paths[k], bytes);
    }
    for (int k = files; k < 5; ++k) paths[k] = folder + "/missing" + std::to_string(k);
    checkCoreReader(firstBytes);
    for (int k = 0; k < 5; ++k) argv[k] = &paths[k][0];

    const char opt = noOption ? '\0' : optionText[0];
    const size_t cells = (opt == 'o' || opt == 'O') ? 2 + ZEMBA_TRIAL_SAMPLES
                         : (opt == 'D' || opt == 'd') ? 3 + ZEMBA_DEGREE_ROWS
                                                      : 3;
    Guarded<double> out(cells);
    LoadAlcoholFile(argv, &nFiles, &select, nullptr, noOption ? nullptr : &option, nullptr, out.data());
    out.check("LoadAlcoholFile");

    // What the loader leaves must stay well-formed whatever the files held.
    for (int c = 0; c < ZEMBA_CHANNELS; ++c)
        if (std::memchr(myData.names[c], '\0', sizeof myData.names[c]) == nullptr)
            fail("channel name not terminated", "LoadAlcoholFile");
    for (int k = 0; k < ZEMBA_MAX_FILES; ++k)
        if (myData.condition[k] < 0 || myData.condition[k] > 4) fail("condition code outside 0..4", "LoadAlcoholFile");
    if (nFiles > ZEMBA_MAX_FILES && out[0] != -1.0) fail("too many files accepted", "LoadAlcoholFile");
    if (nFiles <= ZEMBA_MAX_FILES && !(out[0] == -1.0 || out[0] == 'a' || out[0] == 'c' || nFiles == 0))
        fail("group code neither -1 nor a letter", "LoadAlcoholFile");
    return 0;
}

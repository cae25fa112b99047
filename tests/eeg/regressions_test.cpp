// Inputs found by fuzzing the trial loader, kept so they stay harmless.
#include "zemba.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/capture.h"

namespace {

std::string writeTrial(const std::string& text) {
    std::string path = testing::TempDir() + "zemba_loader_regression_XXXXXX";
    std::vector<char> buf(path.begin(), path.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd >= 0) {
        (void)!write(fd, text.data(), text.size());
        close(fd);
    }
    return std::string(buf.data());
}

// Two complete channel blocks; FP1 starts -8.921, 5.5 and the rest are 0.
std::string trialText() {
    std::string t =
        "# co2a0000364.rd\n"
        "# 120 trials, 64 chans, 416 samples 368 post_stim samples\n"
        "# 3.906000 msecs uV\n"
        "# S1 obj , trial 0\n";
    for (const char* name : {"FP1", "FP2"}) {
        t += std::string("# ") + name + " chan 0\n";
        for (int s = 0; s < 256; ++s) {
            const char* v = (name[2] == '1' && s < 2) ? (s == 0 ? "-8.921" : "5.5") : "0.000";
            t += std::string("0 ") + name + " " + std::to_string(s) + " " + v + "\n";
        }
    }
    return t;
}

// A channel select of INT_MIN once overflowed while being turned into a row;
// any select outside 1..65 falls back to the first channel.
TEST(LoaderRegressions, ExtremeChannelSelectFallsBackToFirstChannel) {
    const std::string path = writeTrial(trialText());
    char* paths[] = {const_cast<char*>(path.c_str())};
    char letter[] = "o";
    char* option = letter;
    int files = 1;
    for (int select : {INT_MIN, INT_MAX, 0, -1}) {
        std::vector<double> out(2 + 256, 99.0);
        zemba_test::captureStdout([&] { LoadAlcoholFile(paths, &files, &select, nullptr, &option, nullptr, out.data()); });
        EXPECT_EQ(out[0], 'a');
        EXPECT_EQ(out[2], -8.921) << select;
        EXPECT_EQ(out[3], 5.5) << select;
    }
    std::remove(path.c_str());
}

}  // namespace

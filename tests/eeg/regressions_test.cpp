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

const char kTrial[] =
    "# co2a0000364.rd\n"
    "# 120 trials, 64 chans, 416 samples 368 post_stim samples\n"
    "# 3.906000 msecs uV\n"
    "# S1 obj , trial 0\n"
    "# FP1 chan 0\n"
    "0 FP1 0 -8.921\n"
    "0 FP1 1 5.5\n"
    "# FP2 chan 1\n"
    "0 FP2 0 7.25\n";

// A channel select of INT_MIN once overflowed while being turned into a row;
// any select outside 1..65 falls back to the first channel.
TEST(LoaderRegressions, ExtremeChannelSelectFallsBackToFirstChannel) {
    const std::string path = writeTrial(kTrial);
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

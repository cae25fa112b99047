// The switch that silences every diagnostic line: a host sets ZEMBA_QUIET and
// the routines print nothing, on either stream; unset, the lines come back.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/capture.h"

using zemba_test::captureStderr;
using zemba_test::captureStdout;

namespace {

std::string printedByHistogramAndEmptyPop() {
    return captureStdout([] {
        int values[] = {1, 2, 2, 3};
        int n = 4, mode = 0;
        double out[4] = {};
        calculateEntropy(values, &n, &mode, out);
    }) + captureStderr([] {
        stackT s;
        s.top = -1;
        StackPop(&s);
    });
}

}  // namespace

TEST(Diagnostics, QuietSwitchSilencesBothStreamsAndIsReadAtEachCall) {
    unsetenv("ZEMBA_QUIET");
    std::string loud = printedByHistogramAndEmptyPop();
    EXPECT_NE(loud.find("ratio="), std::string::npos);
    EXPECT_NE(loud.find("stack is empty"), std::string::npos);

    setenv("ZEMBA_QUIET", "1", 1);
    EXPECT_EQ(printedByHistogramAndEmptyPop(), "");

    for (const char* off : {"", "0"}) {
        setenv("ZEMBA_QUIET", off, 1);
        EXPECT_EQ(printedByHistogramAndEmptyPop(), loud) << "ZEMBA_QUIET=\"" << off << "\"";
    }
    unsetenv("ZEMBA_QUIET");
}

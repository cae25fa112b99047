#include "zemba.h"

#include <gtest/gtest.h>

#include "support/capture.h"

using zemba_test::captureStderr;
using zemba_test::captureStdout;

namespace {
const char kEmptyMessage[] = "Can't pop element from stack: stack is empty.\n";
}

TEST(Stack, PushPopIsLastInFirstOutAndEmptyPopReports) {
    stackT s;
    s.top = -1;
    StackPush(&s, 5);
    StackPush(&s, 7);
    EXPECT_EQ(StackTop(&s), 7);
    EXPECT_EQ(StackPop(&s), 7);
    EXPECT_EQ(StackPop(&s), 5);
    int popped = 0;
    std::string err = captureStderr([&] { popped = StackPop(&s); });
    EXPECT_EQ(popped, -1);
    EXPECT_EQ(err, kEmptyMessage);
    EXPECT_EQ(err.size(), 46u);
    EXPECT_EQ(s.top, -1);
    EXPECT_EQ(StackIsEmpty(&s), 1);
}

TEST(Stack, TopOfEmptyStackIsSilent) {
    stackT s;
    s.top = -1;
    int top = 0;
    std::string out = captureStdout([&] {
        std::string err = captureStderr([&] { top = StackTop(&s); });
        EXPECT_EQ(err, "");
    });
    EXPECT_EQ(top, -1);
    EXPECT_EQ(out, "");
}

TEST(Stack, ZeroedRecordHoldsOneItem) {
    static stackT s;  // zero-initialised, like the shared instance at load
    EXPECT_EQ(StackIsEmpty(&s), 0);
    EXPECT_EQ(StackPop(&s), 0);
    EXPECT_EQ(s.top, -1);
    EXPECT_EQ(StackIsEmpty(&s), 1);
}

TEST(Stack, NegativeTopBelowMinusOneStaysPut) {
    stackT s;
    s.top = -5;
    std::string err = captureStderr([&] { EXPECT_EQ(StackPop(&s), -1); });
    EXPECT_EQ(err, kEmptyMessage);
    EXPECT_EQ(s.top, -5);
}

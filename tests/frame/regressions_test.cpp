// Inputs found by fuzzing the stack routines, kept so they stay harmless.
#include "zemba.h"

#include <gtest/gtest.h>

#include "support/capture.h"

namespace {

// The record under test lives between two sentinels so that a stray write past
// either end of the items would show.
struct Fenced {
    int32_t before;
    stackT s;
    int32_t after;
};

Fenced fenced;

TEST(StackRegressions, PushOntoAFullStackIsDropped) {
    fenced.before = fenced.after = 0x5A5A5A5A;
    fenced.s.top = -1;
    for (int i = 0; i < ZEMBA_SERIES_CAP; ++i) StackPush(&fenced.s, i);
    ASSERT_EQ(fenced.s.top, ZEMBA_SERIES_CAP - 1);
    StackPush(&fenced.s, 777);  // once wrote the item one past the end, over top
    StackPush(&fenced.s, 778);
    EXPECT_EQ(fenced.s.top, ZEMBA_SERIES_CAP - 1);
    EXPECT_EQ(StackTop(&fenced.s), ZEMBA_SERIES_CAP - 1);
    EXPECT_EQ(StackPop(&fenced.s), ZEMBA_SERIES_CAP - 1);
    EXPECT_EQ(fenced.after, 0x5A5A5A5A);
}

TEST(StackRegressions, PushOntoAnyNegativeTopStartsAtTheFirstItem) {
    fenced.before = fenced.after = 0x5A5A5A5A;
    fenced.s.top = -9;
    StackPush(&fenced.s, 41);
    EXPECT_EQ(fenced.s.top, 0);
    EXPECT_EQ(fenced.s.items[0], 41);
    EXPECT_EQ(fenced.before, 0x5A5A5A5A);
}

TEST(StackRegressions, TopBeyondTheItemsReadsAsNothing) {
    fenced.s.top = ZEMBA_SERIES_CAP + 5;
    EXPECT_EQ(StackTop(&fenced.s), -1);
    std::string err = zemba_test::captureStderr([] { EXPECT_EQ(StackPop(&fenced.s), -1); });
    EXPECT_EQ(err, "");
    EXPECT_EQ(fenced.s.top, ZEMBA_SERIES_CAP + 5);
    EXPECT_EQ(StackIsEmpty(&fenced.s), 0);
}

}  // namespace

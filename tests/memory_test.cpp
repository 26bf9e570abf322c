#include <gtest/gtest.h>

#include "platform/system/memory.h"
#include "support/test_support.h"

TEST(AccountedMemory, ShrinkLowersCountAndKeepsPeak) {
    MemoryState saved = memoryState;
    memoryState = {};
    char* block = nullptr;
    accountedAlloc(block, 0, 100);
    accountedAlloc(block, 100, 40);
    EXPECT_EQ(memoryState.accountedBytes, 40u);
    EXPECT_EQ(memoryState.accountedPeak, 100u);
    accountedFree(block, 40);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(memoryState.accountedBytes, 0u);
    memoryState = saved;
}

TEST(AccountedMemory, BalanceReportTexts) {
    MemoryState saved = memoryState;
    BoxRecorder recorder;
    memoryState = {};
    reportMemoryBalance();
    EXPECT_TRUE(recorder.boxes.empty());
    memoryState.accountedBytes = 3000000;
    reportMemoryBalance();
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, "MEMORY MANAGEMENT ERROR !");
    EXPECT_EQ(recorder.boxes[0].text,
              "Memory difference between application start and termination detected !\n\n"
              "3000000 BYTES  or  2929 KB  or  2 MB");
    memoryState = saved;
}

TEST(FailureReport, BatchLineEscapesAndAnswers) {
    EXPECT_EQ(formatBatchLine(BoxKind::Notice, "A\tB", "x\\y\nz", true),
              "notice\tA\\tB\tx\\\\y\\nz");
    EXPECT_EQ(formatBatchLine(BoxKind::Question, "QUESTION", "go ?", false),
              "question\tQUESTION\tgo ?\tno");
}

TEST(FailureReportDeathTest, FatalExitsWithOneAndWritesTheBatchLine) {
    failureState.batch = true;
    EXPECT_EXIT(fatalError("ERROR", "broken\nhere"), testing::ExitedWithCode(1),
                "fatal\tERROR\tbroken\\\\nhere");
}

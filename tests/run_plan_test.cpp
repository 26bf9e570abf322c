// The command line resolved into the run plan: each mode with every consequence it has.
#include <gtest/gtest.h>

#include <sstream>

#include "app/run_plan.h"

namespace {

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> list;
    std::istringstream in(line);
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

TEST(RunPlan, EachModeWithAllItsConsequences) {
    const struct {
        const char* arguments;
        RunJob job;
        bool dialogs, answerBoxes;
        uint32_t stepMs, stepDivisor;
        bool offlineSound, windowed, verticalSync;
        uint32_t width, height;
    } cases[] = {
        {"", RunJob::Demo, true, false, 0, 1, false, false, true, 0, 0},
        {"--batch", RunJob::Demo, false, true, 0, 1, false, false, true, 0, 0},
        {"--fixed-step 40", RunJob::Demo, true, false, 40, 1, true, false, true, 0, 0},
        {"--batch --fixed-step 5", RunJob::Demo, false, true, 5, 1, true, false, true, 0, 0},
        {"--record v.mp4", RunJob::Record, false, true, 1000, 30, true, true, false, 0, 0},
        {"--record v.mp4 --fps 25 --size 640x360", RunJob::Record, false, true, 1000, 25, true,
         true, false, 640, 360},
        // The recording's frame rate rules its clock over --fixed-step.
        {"--fixed-step 7 --record v.mp4", RunJob::Record, false, true, 1000, 30, true, true, false,
         0, 0},
        // A benchmark plays nothing to the user: its sound is mixed offline, needing no device.
        {"--benchmark", RunJob::Benchmark, false, true, 1000, 60, true, true, false, 0, 0},
        {"--benchmark b.json --size 320x240", RunJob::Benchmark, false, true, 1000, 60, true, true,
         false, 320, 240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Options options = parseOptions(words(c.arguments));
        ASSERT_EQ(options.error, "");
        RunPlan plan = resolveRunPlan(options);
        EXPECT_EQ(plan.job, c.job);
        EXPECT_EQ(plan.dialogs, c.dialogs);
        EXPECT_EQ(plan.answerBoxes, c.answerBoxes);
        EXPECT_EQ(plan.stepMs, c.stepMs);
        EXPECT_EQ(plan.stepDivisor, c.stepDivisor);
        EXPECT_EQ(plan.offlineSound, c.offlineSound);
        EXPECT_EQ(plan.windowed, c.windowed);
        EXPECT_EQ(plan.verticalSync, c.verticalSync);
        EXPECT_EQ(plan.width, c.width);
        EXPECT_EQ(plan.height, c.height);
    }
}

TEST(RunPlan, AnswersAndPointsComeFromTheCommandLine) {
    RunPlan plan = resolveRunPlan(
        parseOptions(words("--benchmark --answer no --seek second:1500 --until end:4000")));
    EXPECT_FALSE(plan.answerYes);
    EXPECT_TRUE(plan.seek);
    EXPECT_EQ(plan.start.sequence, "second");
    EXPECT_EQ(plan.start.ms, 1500u);
    EXPECT_TRUE(plan.until);
    EXPECT_EQ(plan.stop.sequence, "end");
    EXPECT_EQ(plan.stop.ms, 4000u);
    plan = resolveRunPlan(parseOptions({}));
    EXPECT_TRUE(plan.answerYes);
    EXPECT_FALSE(plan.seek);
    EXPECT_FALSE(plan.until);
}

} // namespace

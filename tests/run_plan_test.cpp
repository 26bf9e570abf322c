// The command line resolved into the run plan: each mode with every consequence it has.
#include <gtest/gtest.h>

#include "app/options.h"
#include "app/run_plan.h"
#include "support/test_support.h"

namespace {

RunPlan planOf(const std::string& line) {
    Options options = parseOptions(splitWords(line));
    EXPECT_EQ(options.error, "") << line;
    return resolveRunPlan(options);
}

TEST(RunPlan, EachModeWithAllItsConsequences) {
    const struct {
        const char* arguments;
        RunJob job;
        const char* output;
        uint32_t fps;
        bool dialogs, answerBoxes;
        uint32_t stepMs, stepDivisor;
        bool offlineSound, windowed, verticalSync;
        uint32_t width, height;
    } cases[] = {
        {"", RunJob::Demo, "", 0, true, false, 0, 1, false, false, true, 0, 0},
        {"--batch", RunJob::Demo, "", 0, false, true, 0, 1, false, false, true, 0, 0},
        {"--fixed-step 40", RunJob::Demo, "", 0, true, false, 40, 1, true, false, true, 0, 0},
        {"--batch --fixed-step 1", RunJob::Demo, "", 0, false, true, 1, 1, true, false, true, 0, 0},
        {"--record v.mp4", RunJob::Record, "v.mp4", 30, false, true, 1000, 30, true, true, false, 0,
         0},
        {"--record out/v.webm --fps 1 --size 16x16", RunJob::Record, "out/v.webm", 1, false, true,
         1000, 1, true, true, false, 16, 16},
        {"--record v.mkv --fps 1000 --size 16384x16384", RunJob::Record, "v.mkv", 1000, false, true,
         1000, 1000, true, true, false, 16384, 16384},
        // The recording's frame rate rules its clock over --fixed-step.
        {"--fixed-step 7 --record v.mp4", RunJob::Record, "v.mp4", 30, false, true, 1000, 30, true,
         true, false, 0, 0},
        // A benchmark plays nothing to the user: its sound is mixed offline, needing no device.
        // N/D frames a second: the clock steps 1000 × D / N ms.
        {"--record v.mp4 --fps 60000/1001", RunJob::Record, "v.mp4", 60000, false, true, 1001000,
         60000, true, true, false, 0, 0},
        {"--benchmark", RunJob::Benchmark, "", 60, false, true, 1000, 60, true, true, false, 0, 0},
        {"--benchmark b.json --size 320x240", RunJob::Benchmark, "b.json", 60, false, true, 1000,
         60, true, true, false, 320, 240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        RunPlan plan = planOf(c.arguments);
        EXPECT_EQ(plan.job, c.job);
        EXPECT_EQ(plan.output, c.output);
        EXPECT_EQ(plan.rate.frames, c.job == RunJob::Demo ? 30u : c.fps);
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

TEST(RunPlan, PointsKeysShotsAndGammaAreResolved) {
    RunPlan plan = planOf("--benchmark --answer no --seek second:1500 --until end:19999 "
                          "--picture-gamma");
    EXPECT_FALSE(plan.answerYes);
    EXPECT_TRUE(plan.gammaInPicture);
    EXPECT_TRUE(plan.seek);
    EXPECT_EQ(plan.start.sequence, Sequence::Second);
    EXPECT_EQ(plan.start.ms, 1500u);
    EXPECT_TRUE(plan.until);
    EXPECT_EQ(plan.stop.sequence, Sequence::End);
    EXPECT_EQ(plan.stop.ms, 19999u);
    plan = planOf("--batch --fixed-step 40 --seek gamma:0 --keys first:0:Escape,end:5:a "
                  "--shots gamma:0,second:65000");
    EXPECT_EQ(plan.start.sequence, Sequence::Gamma);
    ASSERT_EQ(plan.keys.size(), 2u);
    EXPECT_EQ(plan.keys[1].point.sequence, Sequence::End);
    EXPECT_EQ(plan.keys[1].point.ms, 5u);
    EXPECT_EQ(plan.keys[1].keyCode, 'A');
    ASSERT_EQ(plan.shots.size(), 2u);
    EXPECT_EQ(plan.shots[0].sequence, Sequence::Gamma);
    EXPECT_EQ(plan.shots[1].sequence, Sequence::Second);
    EXPECT_EQ(plan.shots[1].ms, 65000u);
    plan = planOf("");
    EXPECT_TRUE(plan.answerYes);
    EXPECT_FALSE(plan.gammaInPicture);
    EXPECT_FALSE(plan.seek);
    EXPECT_FALSE(plan.until);
    EXPECT_TRUE(plan.keys.empty() && plan.shots.empty());
}

// The governor's mode on each kind of renderer: by default on only where the renderer draws
// in software, and never for pictures made for files unless a scale is asked for.
TEST(RunPlan, GovernorModeOnEachRendererAndTheScaleAskedFor) {
    using enum GovernorMode;
    const struct {
        const char* arguments;
        GovernorMode software, hardware;
        float fixedScale;
    } cases[] = {
        {"", Governed, Off, 1.0f},
        {"--scale on", Governed, Governed, 1.0f},
        {"--scale off", Off, Off, 1.0f},
        {"--benchmark", Governed, Off, 1.0f},
        {"--benchmark --scale 1", Fixed, Fixed, 1.0f},
        {"--fixed-step 40", Off, Off, 1.0f},
        {"--record a.mp4", Off, Off, 1.0f},
        {"--fixed-step 40 --shots first:1000 --scale 0.7", Fixed, Fixed, 0.7f},
        {"--scale 0.5", Fixed, Fixed, 0.5f},
        {"--record a.mp4 --scale on", Governed, Governed, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        RunPlan plan = planOf(c.arguments);
        EXPECT_EQ(plan.governorOnSoftware, c.software);
        EXPECT_EQ(plan.governorOnHardware, c.hardware);
        EXPECT_EQ(plan.fixedScale, c.fixedScale);
    }
    for (const char* wrong : {"0.49", "1.01", "half", "", "0.7x"})
        EXPECT_NE(parseOptions({"--scale", wrong}).error, "") << wrong;
}

} // namespace

// Frames are drawn at the display's pixels for people watching; pictures made for files keep
// the configured size.
TEST(RunPlan, RealPixelsOnlyWherePeopleWatch) {
    const struct {
        const char* arguments;
        bool realPixels;
    } cases[] = {
        {"", true},
        {"--batch --fixed-step 40", true},
        {"--batch --fixed-step 40 --shots first:1000", false},
        {"--record v.mp4", false},
        {"--benchmark", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(planOf(c.arguments).realPixels, c.realPixels) << c.arguments;
}

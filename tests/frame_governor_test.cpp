#include "app/frame_governor.h"

#include <gtest/gtest.h>

namespace {

// Frames whose pixel work goes with the area of the scale: `fullMs` at scale 1.
void playFrames(FrameGovernor& governor, int frames, float fullMs) {
    for (int i = 0; i < frames; ++i) {
        float scale = kScaleSteps[governor.step];
        governFrame(governor, fullMs * scale * scale, 0);
    }
}

FrameGovernor governorOn() {
    FrameGovernor governor;
    governor.mode = GovernorMode::Governed;
    governor.budgetMs = 1000.0f / 60.0f;
    return governor;
}

} // namespace

TEST(FrameGovernor, GoesDownAtOnceAsFarAsTheTimeAsksAndComesUpSlowly) {
    FrameGovernor governor = governorOn();
    playFrames(governor, 3, 27.0f);
    // 27 ms at scale 1 fits 0.8 of 16.7 ms at 0.7 (13.2 ms), not at 0.85 (19.5 ms).
    EXPECT_EQ(kScaleSteps[governor.step], 0.7f) << "three slow frames are enough";
    playFrames(governor, 200, 27.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 0.7f) << "no flicker: 0.85 would miss the budget";
    // Lighter frames: 0.85 then takes 0.72 x 16 ms = 11.6 ms, within 0.75 of the budget.
    playFrames(governor, kGovernorHistory - 1, 16.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 0.7f) << "up only after a whole history";
    playFrames(governor, 1, 16.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 0.85f);
    playFrames(governor, 3 * kGovernorHistory, 16.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 0.85f) << "1 would take 16 ms: too near the budget";
    playFrames(governor, 3 * kGovernorHistory, 8.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 1.0f);
}

TEST(FrameGovernor, OneSlowFrameAmongFastOnesKeepsTheScaleButBlocksGoingUp) {
    FrameGovernor governor = governorOn();
    governor.step = 1;
    for (int i = 0; i < 3 * kGovernorHistory; ++i)
        governFrame(governor, i % 20 == 0 ? 40.0f : 6.0f, 0);
    EXPECT_EQ(governor.step, 1);
    playFrames(governor, 3, 200.0f);
    EXPECT_EQ(governor.step, kScaleStepCount - 1) << "no smaller step than the last";
}

// The thresholds, with a budget of 16.7 ms: down when the median of three frames passes 0.95
// of it (15.8 ms); up when the slowest of a history, grown by the larger step's area, fits 0.75
// of it (12.5 ms). Frames just inside and just outside each threshold, at every step.
TEST(FrameGovernor, EachStepIsLeftOnlyPastItsThreshold) {
    struct Case {
        int32_t step;
        float frameMs;
        int32_t after;
    } cases[] = {
        {0, 15.7f, 0}, {0, 16.0f, 1}, // down: 0.95 of the budget
        {1, 15.7f, 1}, {1, 16.0f, 2}, //
        {4, 16.0f, 4},                // no smaller step than the last
        {1, 8.9f, 0},  {1, 9.2f, 1},  // up to 1: 12.5 ms x 0.85^2 = 9.03 ms
        {2, 8.4f, 1},  {2, 8.6f, 2},  // up to 0.85: 12.5 ms x (0.7 / 0.85)^2 = 8.48 ms
        {3, 9.1f, 2},  {3, 9.3f, 3},  // up to 0.7: 12.5 ms x (0.6 / 0.7)^2 = 9.18 ms
        {4, 8.6f, 3},  {4, 8.8f, 4},  // up to 0.6: 12.5 ms x (0.5 / 0.6)^2 = 8.68 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.step << ", " << c.frameMs << " ms");
        FrameGovernor governor = governorOn();
        governor.step = c.step;
        for (int i = 0; i < kGovernorHistory && governor.step == c.step; ++i)
            governFrame(governor, c.frameMs, 0);
        EXPECT_EQ(governor.step, c.after);
    }
}

TEST(FrameGovernor, OffOrFixedKeepsItsScaleAndEveryFrameCountsForTheMean) {
    FrameGovernor governor;
    playFrames(governor, 50, 100.0f);
    EXPECT_EQ(governor.step, 0);
    governor.step = stepForScale(0.6f);
    governor.mode = GovernorMode::Fixed;
    playFrames(governor, 50, 100.0f);
    EXPECT_EQ(kScaleSteps[governor.step], 0.6f);
    EXPECT_EQ(governor.scaledFrames[0], 100u);
    EXPECT_NEAR(governor.scaleSum[0] / double(governor.scaledFrames[0]), 0.8, 1e-6);
}

TEST(FrameGovernor, AScaleAskedForIsTheLargestStepAtOrBelowIt) {
    struct Case {
        float asked, step;
    } cases[] = {{1.0f, 1.0f},  {0.9f, 0.85f}, {0.85f, 0.85f},
                 {0.65f, 0.6f}, {0.5f, 0.5f},  {0.2f, 0.5f}};
    for (const Case& c : cases) EXPECT_EQ(kScaleSteps[stepForScale(c.asked)], c.step) << c.asked;
}

TEST(FrameGovernor, ThePictureGivesUpDetailOnlyBelowFullSize) {
    struct Case {
        float scale;
        bool oneMipLevel;
    };
    const Case cases[] = {{1.0f, false}, {0.999f, true}, {0.85f, true}, {0.5f, true}};
    for (const Case& c : cases)
        EXPECT_EQ(cutsAtScale(c.scale).oneMipLevel, c.oneMipLevel) << "scale " << c.scale;
}

// Automation of a run: key presses and screenshots at points of the timeline, the start point,
// and the offline mix that keeps the music's time with a fixed-step clock.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <filesystem>

#include "app/automation.h"
#include "app/options.h"
#include "app/run_plan.h"
#include "platform/events.h"
#include "platform/window.h"
#include "sound/encoders.h"
#include "sound/sound_startup.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

RunPlan parsed(const std::vector<std::string>& arguments) {
    Options options = parseOptions(arguments);
    EXPECT_EQ(options.error, "");
    return resolveRunPlan(options);
}

struct Automation : testing::Test {
    void SetUp() override {
        eventState = EventState{};
        timelineState = TimelineState{};
    }
    void TearDown() override {
        finishAutomation();
        timelineState = TimelineState{};
        eventState = EventState{};
    }
};

std::vector<std::string> watched;
void watchStart(Sequence sequence, uint32_t ms) {
    watched.push_back("start " + std::string(sequenceName(sequence)) + " " + std::to_string(ms));
}
void watchDrawn(Sequence sequence, uint32_t ms) {
    watched.push_back("drawn " + std::string(sequenceName(sequence)) + " " + std::to_string(ms));
}

} // namespace

TEST_F(Automation, KeysGoDownAtTheFirstFrameAtTheirPointAndUpAtTheNext) {
    installAutomation(parsed({"--batch", "--keys", "first:20000:Escape,second:0:s"}));
    timelineFrameStart(Sequence::First, 19960);
    EXPECT_EQ(eventState.keys[kKeyEscape], 0);
    timelineFrameStart(Sequence::First, 20040); // no frame fell on 20000 exactly
    EXPECT_EQ(eventState.keys[kKeyEscape], 1);
    // The scene ends on it; the next frame is the first of the next sequence.
    timelineFrameStart(Sequence::Second, 0);
    EXPECT_EQ(eventState.keys[kKeyEscape], 0);
    EXPECT_EQ(eventState.keys['S'], 1);
    timelineFrameStart(Sequence::Second, 40);
    EXPECT_EQ(eventState.keys['S'], 0);
    // Each press happens once, and only in its own sequence.
    timelineFrameStart(Sequence::First, 30000);
    timelineFrameStart(Sequence::End, 30000);
    EXPECT_EQ(eventState.keys[kKeyEscape], 0);
}

TEST_F(Automation, HooksThatWereThereAreCalledAfterOursAndComeBackAtTheEnd) {
    watched.clear();
    timelineState.hooks = {watchStart, watchDrawn};
    installAutomation(parsed({"--batch", "--keys", "end:100:Space"}));
    timelineFrameStart(Sequence::End, 100);
    EXPECT_EQ(eventState.keys[kKeySpace], 1);
    timelineFrameDrawn(Sequence::End, 100);
    EXPECT_EQ(watched, (std::vector<std::string>{"start end 100", "drawn end 100"}));
    finishAutomation();
    EXPECT_EQ(timelineState.hooks.frameStart, watchStart);
    EXPECT_EQ(timelineState.hooks.frameDrawn, watchDrawn);
}

TEST_F(Automation, SeekSetsWhereTheTimelineStarts) {
    installAutomation(parsed({"--seek", "second:1500"}));
    EXPECT_TRUE(sequenceSkippedBySeek(Sequence::Gamma));
    EXPECT_TRUE(sequenceSkippedBySeek(Sequence::First));
    EXPECT_FALSE(sequenceSkippedBySeek(Sequence::Second));
    EXPECT_FALSE(sequenceSkippedBySeek(Sequence::End));
    EXPECT_EQ(sequenceStartMs(Sequence::Second), 1500u);
    EXPECT_EQ(sequenceStartMs(Sequence::End), 0u);

    installAutomation(parsed({}));
    EXPECT_FALSE(sequenceSkippedBySeek(Sequence::Gamma));
    EXPECT_EQ(sequenceStartMs(Sequence::First), 0u);
}

TEST_F(Automation, ScreenshotsAreTakenOnceUprightAtTheFirstFrameAtTheirPoint) {
    HiddenGLWindow gl(64, 48);
    if (!gl.ok) GTEST_SKIP() << "no display";
    TempDir dir;
    ScopedChdir inDir(dir.path);
    windowState.window = gl.window;
    auto drawFrame = [](float red) {
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 1, 1); // blue below
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 24, 64, 24);
        glClearColor(red, 0, 0, 1); // red above
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    };
    installAutomation(parsed({"--fixed-step", "40", "--shots", "first:5000,gamma:0,end:9000"}));
    drawFrame(1.0f);
    timelineFrameDrawn(Sequence::Gamma, 0);
    timelineFrameDrawn(Sequence::First, 4960);
    EXPECT_FALSE(std::filesystem::exists("first-5000.png"));
    timelineFrameDrawn(Sequence::First, 5000);
    drawFrame(0.5f);
    timelineFrameDrawn(Sequence::First, 5040); // already taken: not overwritten
    windowState.window = nullptr;

    for (const char* name : {"gamma-0.png", "first-5000.png"}) {
        RgbPicture shot = readPngRgb(name);
        ASSERT_EQ(shot.width, 64) << name;
        ASSERT_EQ(shot.height, 48) << name;
        EXPECT_EQ(shot.at(10, 2, 0), 255) << name; // the top row first
        EXPECT_EQ(shot.at(10, 2, 2), 0) << name;
        EXPECT_EQ(shot.at(10, 45, 0), 0) << name;
        EXPECT_EQ(shot.at(10, 45, 2), 255) << name;
    }
    testing::internal::CaptureStderr();
    finishAutomation();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "film03: no frame reached end:9000; end-9000.png was not written\n");
}

TEST_F(Automation, OfflineMixKeepsTheMusicTimeWithTheFixedStepClock) {
    std::vector<int16_t> pcm(size_t(44100) * 4 * 2, 0);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(4000 * std::sin(double(i / 2) * 0.06));
    std::vector<uint8_t> ogg = encodeVorbis(pcm, 2, 44100);
    ASSERT_FALSE(ogg.empty());
    for (int32_t quality : {0, 1, 2}) {
        for (uint32_t step : {40u, 33u}) {
            SCOPED_TRACE("quality " + std::to_string(quality) + ", step " + std::to_string(step));
            eventState = EventState{};
            RunPlan plan = parsed({"--batch", "--fixed-step", std::to_string(step)});
            eventState.fixedStepMs = plan.stepMs;
            installAutomation(plan);
            startDemoSound(quality, nullptr);
            ASSERT_TRUE(soundIsRunning());
            waitMs(200); // time passes before the music starts
            FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
            resetClock(0);
            ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
            int worst = 0;
            for (int frame = 0; frame < 50; ++frame) {
                tickClock();
                int drift = FSOUND_Stream_GetTime(stream) - int(eventState.clock.elapsed);
                worst = std::max(worst, std::abs(drift));
            }
            waitMs(100); // a wait lets the music play on, as it does in real time
            EXPECT_NEAR(FSOUND_Stream_GetTime(stream), int(50 * step + 100), 1);
            // Exact where the step is a whole number of frames at the rate; else within 1 ms.
            EXPECT_LE(worst, step == 40 ? 0 : 1);
            finishAutomation();
            closeSoundSystem();
            EXPECT_EQ(eventState.virtualTicksAdvanced, nullptr);
        }
    }
}

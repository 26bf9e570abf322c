// The demo driven from outside while it plays: key presses injected at points of the timeline
// end the sequences as the viewer's keys do, and losing the focus pauses the music, stops the
// demo clock and, on return, sets the scene time from the music.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/automation.h"
#include "app/demo_state.h"
#include "app/options.h"
#include "app/startup.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/window.h"
#include "support/demo_runs.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

class DemoAutomation : public testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
        prepareDemoFolder(dir.path, demoRunRecord(320, 240));
    }
    DemoRun run(const std::string& arguments) {
        std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
        return runDemoProgram(dir.path, "--batch --fixed-step 40 " + arguments, tag, 500);
    }
    bool shot(const std::string& name) { return std::filesystem::exists(dir.file(name)); }
    TempDir dir;
};

} // namespace

TEST_F(DemoAutomation, EscapeInTheFirstSceneSkipsTheSecondAndTheEndScreenStillRuns) {
    DemoRun result = run("--seek first:19000 --keys first:20000:Escape "
                         "--shots first:20000,first:20040,second:0,end:0,end:19960");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(shot("first-20000.png")); // the frame the key went down in is drawn whole
    EXPECT_TRUE(shot("end-0.png"));
    EXPECT_TRUE(shot("end-19960.png"));
    EXPECT_EQ(result.err, "film03: no frame reached first:20040; first-20040.png was not written\n"
                          "film03: no frame reached second:0; second-0.png was not written\n");
}

TEST_F(DemoAutomation, EscapeEndsTheSecondSceneAndTheEndScreen) {
    DemoRun result = run("--seek second:9000 --keys second:10000:Escape,end:2000:Escape "
                         "--shots second:10000,second:10040,end:0,end:2000,end:2040");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(shot("second-10000.png"));
    EXPECT_TRUE(shot("end-0.png"));
    EXPECT_TRUE(shot("end-2000.png"));
    EXPECT_EQ(result.err,
              "film03: no frame reached second:10040; second-10040.png was not written\n"
              "film03: no frame reached end:2040; end-2040.png was not written\n");
}

TEST_F(DemoAutomation, KeysNeedBatchModeAndKnownNames) {
    DemoRun result = runDemoProgram(dir.path, "--keys first:20000:Escape", "keysbatch", 60);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "film03: --keys needs --batch\nTry 'film03 --help' for more "
                          "information.\n");
    result = runDemoProgram(dir.path, "--help", "keyshelp", 60);
    EXPECT_NE(result.out.find("  --keys LIST "), std::string::npos);
}

// --- Focus loss while a scene plays ----------------------------------------------------------

namespace {

struct PauseWatch {
    int stage = 0; // 0 playing, 1 first pause, 2 back, 3 second pause, 4 back
    uint32_t sceneAtLoss = 0;
    int musicAtLoss = 0;
    DemoClock clockAtLoss;
    uint32_t ticksAtLoss = 0;
    int inactivePumps[2] = {0, 0};
    int musicMovedWhileInactive = 0;
    int clockMovedWhileInactive = 0;
    uint32_t sceneAfter[2] = {0, 0};
    int musicAfter[2] = {0, 0};
    uint32_t expectedAfter[2] = {0, 0};
    void (*toolkitPump)() = nullptr;
};
PauseWatch watch;

int musicTimeNow() {
    return FSOUND_Stream_GetTime(demoState.musicStream);
}

// Mixes `ms` of sound as an audio device pulling on its own would.
void mixAhead(int ms) {
    std::vector<int16_t> buffer(size_t(automationState.mixRate) * size_t(ms) / 1000 * 2);
    soundRenderFrames(buffer.data(), int(buffer.size() / 2));
}

void pushFocus(bool gained) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(windowState.window);
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&event);
}

// Runs inside the pump while the program waits in the background.
void pumpWhileAway() {
    if (watch.toolkitPump != nullptr) watch.toolkitPump();
    if (eventState.active) return;
    // The virtual display may take the focus away at other moments too; those pauses end the
    // same way but are not the ones watched.
    bool watched = watch.stage == 1 || watch.stage == 3;
    if (!watched) {
        pushFocus(true);
        return;
    }
    int pause = watch.stage == 1 ? 0 : 1;
    mixAhead(100);
    if (musicTimeNow() != watch.musicAtLoss) ++watch.musicMovedWhileInactive;
    const DemoClock& clock = eventState.clock;
    if (clock.now != watch.clockAtLoss.now || clock.elapsed != watch.clockAtLoss.elapsed ||
        tickCount() != watch.ticksAtLoss)
        ++watch.clockMovedWhileInactive;
    if (++watch.inactivePumps[pause] % 5 == 0) pushFocus(true);
}

void watchFrame(Sequence sequence, uint32_t sceneMs) {
    // Focus counts from the first frame on, as in a viewer's run; every pause then ends, watched
    // or not (the virtual display's other windows may take the focus too).
    eventState.ignoreFocus = false;
    if (eventState.pumpToolkit != pumpWhileAway) {
        watch.toolkitPump = eventState.pumpToolkit;
        eventState.pumpToolkit = pumpWhileAway;
    }
    bool pausePoint = (watch.stage == 0 && sequence == Sequence::First && sceneMs >= 41000) ||
                      (watch.stage == 2 && sequence == Sequence::Second && sceneMs >= 2000);
    if (watch.stage == 1 || watch.stage == 3) {
        int pause = watch.stage == 1 ? 0 : 1;
        watch.sceneAfter[pause] = sceneMs;
        watch.musicAfter[pause] = musicTimeNow();
        ++watch.stage;
    } else if (pausePoint) {
        // The music has run ahead of the clock, as a device's clock drifts from the system's.
        mixAhead(1500);
        watch.sceneAtLoss = sceneMs;
        watch.musicAtLoss = musicTimeNow();
        watch.clockAtLoss = eventState.clock;
        watch.ticksAtLoss = tickCount();
        // On return one step of the clock is mixed before the scene time is taken.
        uint32_t offset = sequence == Sequence::Second ? 50000 : 0;
        watch.expectedAfter[watch.stage / 2] = uint32_t(watch.musicAtLoss + 40) - offset;
        pushFocus(false);
        ++watch.stage;
    }
}

} // namespace

TEST_F(DemoAutomation, FocusLossPausesTheMusicAndTheSceneTimeComesBackFromIt) {
    ScopedChdir inDir(dir.path);
    setenv("FILM03_INSTANCE", "focusloss", 1);
    Options options = parseOptions({"--batch", "--fixed-step", "40", "--seek", "first:40000",
                                    "--keys", "second:4000:Escape,end:0:Escape"});
    ASSERT_EQ(options.error, "");
    failureState.batch = true;
    eventState.fixedStepMs = options.fixedStepMs;
    eventState.ignoreFocus = true; // until the scenes play: see watchFrame
    timelineState.hooks.frameStart = watchFrame;
    ASSERT_EQ(runDemo(options), 0);

    ASSERT_EQ(watch.stage, 4) << "both pauses happened and both scenes came back";
    for (int pause = 0; pause < 2; ++pause) {
        SCOPED_TRACE(pause == 0 ? "first scene" : "second scene");
        EXPECT_GE(watch.inactivePumps[pause], 5);
        EXPECT_EQ(watch.sceneAfter[pause], watch.expectedAfter[pause]);
    }
    // The first scene's time is the music's; the second scene's is 50 s behind it.
    EXPECT_EQ(watch.sceneAfter[0], uint32_t(watch.musicAfter[0]));
    EXPECT_EQ(watch.sceneAfter[1], uint32_t(watch.musicAfter[1] - 50000));
    EXPECT_EQ(watch.musicMovedWhileInactive, 0);
    EXPECT_EQ(watch.clockMovedWhileInactive, 0);
}

TEST_F(DemoAutomation, AScaleAskedForDrawsTheWholeFrameAndOnlyThe3DPartSmaller) {
    // The glow's close-up: the hall, the glow, the flares and the stars all in the 3D part.
    const std::string points = "--seek first:39920 --keys first:40040:Escape --shots first:40000";
    ASSERT_EQ(run(points).exitCode, 0);
    std::filesystem::rename(dir.file("first-40000.png"), dir.file("full.png"));
    DemoRun scaled = run(points + " --scale 0.5");
    ASSERT_EQ(scaled.exitCode, 0) << scaled.err;
    RgbPicture full = readPngRgb(dir.file("full.png"));
    RgbPicture half = readPngRgb(dir.file("first-40000.png"));
    // Blurred, but the same picture over the whole frame, not a corner of it.
    PictureDifference difference = comparePictures(full, half, 40);
    ASSERT_TRUE(difference.sameSize);
    EXPECT_LT(difference.meanAbsolute, 8.0);
    EXPECT_LT(difference.worstBlock, 24.0);
    EXPECT_GT(difference.meanAbsolute, 0.0) << "drawn at scale 1";
}

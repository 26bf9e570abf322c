#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/boxes.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "support/test_support.h"

namespace {

// Everything that happens around a box, in order.
std::string trace;
BoxAnswer traceBox(BoxKind, std::string_view caption, std::string_view, SDL_Window*) {
    trace += "box(" + std::string(caption) + (eventState.cursorVisible ? ",shown) " : ",hidden) ");
    std::fprintf(stderr, "%s", trace.c_str());
    return BoxAnswer::Yes;
}
void tracePause(bool paused) {
    trace += paused ? "pause " : "resume ";
}
bool fakeCurrent(int, DisplayMode& mode) {
    mode = {800, 600, 4, 60};
    return true;
}
int fakeChange(const DisplayMode* mode) {
    trace += mode == nullptr ? "desktop " : "switch ";
    std::fprintf(stderr, "%s", mode == nullptr ? "desktop " : "");
    return kChangeSuccessful;
}

class BoxesAround : public testing::Test {
  protected:
    void SetUp() override {
        trace.clear();
        eventState = EventState{};
        eventState.fixedStepMs = 1;
        displayModeState = DisplayModeState{};
        displayModeState.backend.currentMode = fakeCurrent;
        displayModeState.backend.change = fakeChange;
        failureState.pauseSound = tracePause;
        boxesState.draw = traceBox;
        // What the start-up does: boxes go to the screen.
        presentBoxesOnScreen();
    }
    void TearDown() override {
        failureState.pauseSound = nullptr;
        boxesState = BoxesState{};
        setBoxPresenter({});
        displayModeState = DisplayModeState{};
        eventState = EventState{};
    }
};

} // namespace

TEST_F(BoxesAround, NoticeShowsTheCursorAndHidesItAgain) {
    setCursorVisible(false);
    noticeBox("ATTENTION !", "text");
    EXPECT_EQ(trace, "box(ATTENTION !,shown) ");
    EXPECT_FALSE(eventState.cursorVisible);
    EXPECT_EQ(eventState.cursorCounter, -1);
    setCursorVisible(true);
    EXPECT_TRUE(questionBox("QUESTION", "go on ?"));
    EXPECT_TRUE(eventState.cursorVisible);
}

TEST_F(BoxesAround, NoticeWhileSwitchedPausesTheSoundAndKeepsTheMode) {
    displayModeState.changed = true;
    noticeBox("ATTENTION !", "text");
    EXPECT_EQ(trace, "pause box(ATTENTION !,shown) resume ");
    EXPECT_TRUE(displayModeState.changed);
}

using BoxesAroundDeathTest = BoxesAround;

TEST_F(BoxesAroundDeathTest, FatalWhileSwitchedRestoresTheDesktopAndLeavesTheCursorShown) {
    displayModeState.changed = true;
    setCursorVisible(false);
    // The report's line reaches a terminal before the box comes up.
    EXPECT_EXIT(fatalError("ERROR", "broken"), testing::ExitedWithCode(1),
                "^fatal\tERROR\tbroken\npause box\\(ERROR,shown\\) desktop $");
}

TEST_F(BoxesAroundDeathTest, FatalReportIsOneLineOnStandardErrorInEveryMode) {
    boxesState = BoxesState{}; // the real box window
    failureState.batch = true; // the batch line is that line: written once
    EXPECT_EXIT(fatalError("ERROR", "two\nlines"), testing::ExitedWithCode(1),
                "^fatal\tERROR\ttwo\\\\nlines\n$");
    // Without a display no box comes up; the line is still written once.
    failureState.batch = false;
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            fatalError("ERROR", "no box");
        },
        testing::ExitedWithCode(1), "^fatal\tERROR\tno box\n$");
}

// The loading dialog's logic with a fake window: the Pause / Continue / "Next Step >>" gate,
// the buttons' enabling, the status list and the bar, batch output and a missing window.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/loading_dialog.h"
#include "platform/events.h"

namespace {

struct FakeWindow {
    bool creatable = true;
    bool created = false, destroyed = false, minimised = false, restored = false;
    std::vector<std::string> lines;
    std::vector<int> percents;
    int pumps = 0;
    // What the user does at each pump (index = pump number from 0).
    std::vector<std::function<void()>> script;
} fakeWindow;

bool fakeCreate() {
    fakeWindow.created = true;
    return fakeWindow.creatable;
}
void fakeDestroy() {
    fakeWindow.destroyed = true;
}
void fakeAddLine(std::string_view text) {
    fakeWindow.lines.emplace_back(text);
}
void fakeSetPercent(int percent) {
    fakeWindow.percents.push_back(percent);
}
void fakeMinimise() {
    fakeWindow.minimised = true;
}
void fakeRestore() {
    fakeWindow.restored = true;
}
void fakePump() {
    size_t at = size_t(fakeWindow.pumps++);
    if (at < fakeWindow.script.size() && fakeWindow.script[at]) fakeWindow.script[at]();
    // A user who never lets go would hang the test: give up loudly instead.
    if (fakeWindow.pumps > 1000) loadingContinuePressed(), ADD_FAILURE() << "gate never opened";
}
void noIdle() {}

class LoadingDialog : public testing::Test {
  protected:
    void SetUp() override {
        fakeWindow = FakeWindow{};
        loadingDialogState = LoadingDialogState{};
        loadingDialogState.view = {fakeCreate, fakeDestroy,  fakeAddLine, fakeSetPercent,
                                   nullptr,    fakeMinimise, fakeRestore};
        loadingDialogState.pump = fakePump;
        loadingDialogState.idle = noIdle;
        eventState = EventState{};
    }
    void TearDown() override {
        loadingDialogState = LoadingDialogState{};
        eventState = EventState{};
    }
    // Pumps from now on: nothing happens for `waits` pumps, then action.
    static void after(int waits, std::function<void()> action) {
        fakeWindow.script.assign(size_t(fakeWindow.pumps), nullptr);
        for (int i = 0; i < waits; ++i) fakeWindow.script.push_back(nullptr);
        fakeWindow.script.push_back(std::move(action));
    }
};

TEST_F(LoadingDialog, UnpausedLinesAndStepsPassWithOnePumpEach) {
    openLoadingDialog(200.0f);
    loadingDialogAddLine("Initializing fonts...");
    loadingDialogSetProgress(10.0f);
    EXPECT_EQ(fakeWindow.pumps, 2);
}

TEST_F(LoadingDialog, PauseHoldsTheNextLineUntilNextStepLetsExactlyOneThrough) {
    openLoadingDialog(200.0f);
    loadingPausePressed();
    after(5, loadingNextStepPressed);
    loadingDialogAddLine("Loading Music...");
    EXPECT_EQ(fakeWindow.pumps, 7); // five idle pumps, the press, one more after it
    EXPECT_FALSE(loadingDialogState.nextStep);

    // Still paused: the progress step waits for its own "Next Step >>".
    after(2, loadingNextStepPressed);
    int before = fakeWindow.pumps;
    loadingDialogSetProgress(50.0f);
    EXPECT_EQ(fakeWindow.pumps - before, 4);
    EXPECT_EQ(fakeWindow.percents.back(), 25);
}

TEST_F(LoadingDialog, NextStepPressedBeforeTheLineLetsOnlyThatOneThrough) {
    openLoadingDialog(100.0f);
    loadingPausePressed();
    loadingNextStepPressed();
    loadingNextStepPressed(); // a second press before the line counts once
    loadingDialogAddLine("first");
    EXPECT_EQ(fakeWindow.pumps, 1);
    after(3, loadingNextStepPressed);
    loadingDialogAddLine("second");
    EXPECT_EQ(fakeWindow.pumps, 1 + 5);
}

TEST_F(LoadingDialog, ContinueResumesNormalLoading) {
    openLoadingDialog(100.0f);
    loadingPausePressed();
    after(4, loadingContinuePressed);
    loadingDialogAddLine("held");
    EXPECT_EQ(fakeWindow.pumps, 6);
    loadingDialogAddLine("free");
    loadingDialogSetProgress(1.0f);
    EXPECT_EQ(fakeWindow.pumps, 8);
}

TEST_F(LoadingDialog, ButtonsFollowPauseAndContinue) {
    const LoadingDialogState& state = loadingDialogState;
    openLoadingDialog(100.0f);
    EXPECT_TRUE(state.pauseEnabled);
    EXPECT_FALSE(state.continueEnabled);
    EXPECT_FALSE(state.nextStepEnabled);
    loadingContinuePressed(); // not paused: nothing
    EXPECT_FALSE(state.paused);
    loadingPausePressed();
    EXPECT_TRUE(state.paused);
    EXPECT_FALSE(state.pauseEnabled);
    EXPECT_TRUE(state.continueEnabled);
    EXPECT_TRUE(state.nextStepEnabled);
    loadingNextStepPressed();
    loadingPausePressed(); // already paused: the pending step stays
    EXPECT_TRUE(state.nextStep);
    loadingContinuePressed();
    EXPECT_FALSE(state.paused);
    EXPECT_FALSE(state.nextStep);
    EXPECT_TRUE(state.pauseEnabled);
    EXPECT_FALSE(state.continueEnabled);
    EXPECT_FALSE(state.nextStepEnabled);
}

TEST_F(LoadingDialog, StatusListGetsEachLineAndABlankLine) {
    openLoadingDialog(100.0f);
    loadingDialogAddLine("Loading Sounds...");
    loadingDialogAddLine("Done !");
    const std::vector<std::string> expected = {"Loading Sounds...", " ", "Done !", " "};
    EXPECT_EQ(fakeWindow.lines, expected);
    EXPECT_EQ(loadingDialogState.lines, expected);
}

TEST_F(LoadingDialog, BarShowsRoundedPercentAndStopsAtHundred) {
    EXPECT_EQ(loadingPercent(0.0f, 200.0f), 0);
    EXPECT_EQ(loadingPercent(0.99f, 200.0f), 0);
    EXPECT_EQ(loadingPercent(1.0f, 200.0f), 1); // 0.5 % rounds up
    EXPECT_EQ(loadingPercent(199.0f, 200.0f), 100);
    EXPECT_EQ(loadingPercent(440.0f, 200.0f), 100); // loading ends above the total
    EXPECT_EQ(loadingPercent(5.0f, 0.0f), 0);       // no total: no division by zero
    openLoadingDialog(1000.0f);
    loadingDialogSetProgress(333.0f);
    EXPECT_EQ(loadingDialogState.value, 333.0f);
    EXPECT_EQ(fakeWindow.percents, std::vector<int>{33});
}

TEST_F(LoadingDialog, OpenMinimisesTheMainWindowAndCloseBringsItBack) {
    eventState.ignoreFocus = false;
    openLoadingDialog(100.0f);
    EXPECT_TRUE(fakeWindow.minimised);
    EXPECT_TRUE(loadingDialogState.exists);
    EXPECT_TRUE(eventState.ignoreFocus); // the dialog taking the focus keeps the program active
    loadingPausePressed();
    closeLoadingDialog();
    EXPECT_TRUE(fakeWindow.destroyed);
    EXPECT_TRUE(fakeWindow.restored);
    EXPECT_FALSE(loadingDialogState.exists);
    EXPECT_FALSE(loadingDialogState.paused);
    EXPECT_FALSE(eventState.ignoreFocus);
}

TEST_F(LoadingDialog, WithoutAWindowLoadingGoesOnAndTheMainWindowStaysMinimised) {
    fakeWindow.creatable = false;
    openLoadingDialog(100.0f);
    EXPECT_TRUE(fakeWindow.minimised);
    EXPECT_FALSE(loadingDialogState.exists);
    loadingDialogAddLine("Loading Music...");
    loadingDialogSetProgress(60.0f);
    EXPECT_TRUE(fakeWindow.lines.empty());
    EXPECT_TRUE(fakeWindow.percents.empty());
    EXPECT_EQ(loadingDialogState.value, 60.0f); // still stored
    EXPECT_EQ(loadingDialogState.total, 100.0f);
    closeLoadingDialog();
    EXPECT_FALSE(fakeWindow.destroyed);
    EXPECT_FALSE(fakeWindow.restored);
}

TEST_F(LoadingDialog, BatchRunsPrintTheLinesAndOpenNoWindow) {
    loadingDialogState.sink = LoadingSink::StandardOutput;
    testing::internal::CaptureStdout();
    openLoadingDialog(100.0f);
    loadingDialogAddLine("Initializing fonts...");
    loadingDialogSetProgress(50.0f);
    loadingDialogAddLine("Done !");
    closeLoadingDialog();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Initializing fonts...\nDone !\n");
    EXPECT_FALSE(fakeWindow.created);
    EXPECT_FALSE(fakeWindow.minimised);
    EXPECT_FALSE(fakeWindow.restored);
}

} // namespace

#include "config/loading_dialog.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "platform/events.h"
#include "platform/system/stop_signals.h"

LoadingDialogState loadingDialogState;

namespace {

void pump() {
    if (loadingDialogState.pump != nullptr)
        loadingDialogState.pump();
    else
        pumpMessages();
}

void idle() {
    if (loadingDialogState.idle != nullptr)
        loadingDialogState.idle();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void updateButtons() {
    LoadingDialogState& state = loadingDialogState;
    if (state.exists && state.view.updateButtons != nullptr) state.view.updateButtons();
}

void setButtons(bool pause, bool continueAndNext) {
    LoadingDialogState& state = loadingDialogState;
    state.pauseEnabled = pause;
    state.continueEnabled = continueAndNext;
    state.nextStepEnabled = continueAndNext;
    updateButtons();
}

} // namespace

int loadingPercent(float value, float total) {
    if (!(total > 0.0f)) return 0;
    float percent = std::trunc(value / total * 100.0f + 0.5f);
    if (!(percent >= 0.0f)) return 0;
    return percent > 100.0f ? 100 : int(percent);
}

void openLoadingDialog(float total) {
    LoadingDialogState& state = loadingDialogState;
    state.total = total;
    state.value = 0.0f;
    state.percent = 0;
    state.lines.clear();
    if (state.sink != LoadingSink::Dialog || state.exists) return;
    if (state.view.minimiseMainWindow != nullptr) state.view.minimiseMainWindow();
    state.paused = false;
    state.nextStep = false;
    state.pauseEnabled = true;
    state.continueEnabled = false;
    state.nextStepEnabled = false;
    state.exists = state.view.create != nullptr && state.view.create();
    if (!state.exists) return;
    updateButtons();
    state.savedIgnoreFocus = eventState.ignoreFocus;
    setIgnoreFocus(true);
}

void loadingDialogAddLine(std::string_view text) {
    LoadingDialogState& state = loadingDialogState;
    if (state.sink == LoadingSink::StandardOutput) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (state.exists) {
        state.lines.emplace_back(text);
        state.lines.emplace_back(" ");
        if (state.view.addLine != nullptr) {
            state.view.addLine(text);
            state.view.addLine(" ");
        }
    }
    waitWhileLoadingPaused();
}

void loadingDialogSetProgress(float value) {
    LoadingDialogState& state = loadingDialogState;
    state.value = value;
    if (state.exists) {
        state.percent = loadingPercent(value, state.total);
        if (state.view.setPercent != nullptr) state.view.setPercent(state.percent);
    }
    waitWhileLoadingPaused();
}

void waitWhileLoadingPaused() {
    LoadingDialogState& state = loadingDialogState;
    // A stop signal opens the gate: the loading phase stops before its next step.
    while (state.paused && !state.nextStep && !stopRequested()) {
        pump();
        if (state.paused && !state.nextStep) idle();
    }
    state.nextStep = false;
    pump();
}

void closeLoadingDialog() {
    LoadingDialogState& state = loadingDialogState;
    if (!state.exists) return;
    if (state.view.destroy != nullptr) state.view.destroy();
    state.exists = false;
    state.paused = false;
    state.nextStep = false;
    setIgnoreFocus(state.savedIgnoreFocus);
    if (state.view.restoreMainWindow != nullptr) state.view.restoreMainWindow();
}

void loadingPausePressed() {
    LoadingDialogState& state = loadingDialogState;
    if (state.paused) return;
    state.paused = true;
    state.nextStep = false;
    setButtons(false, true);
}

void loadingContinuePressed() {
    LoadingDialogState& state = loadingDialogState;
    if (!state.paused) return;
    state.paused = false;
    state.nextStep = false;
    setButtons(true, false);
}

void loadingNextStepPressed() {
    loadingDialogState.nextStep = true;
}

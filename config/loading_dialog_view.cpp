// The loading dialog's FLTK window: " Loading status " with the status list, " Loading
// progress " with the bar, and the buttons "Pause", "Continue" and "Next Step >>".
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>

#include <string>

#include "config/dialogs_view.h"
#include "config/fltk_support.h"
#include "config/loading_dialog.h"
#include "platform/fltk_pump.h"
#include "platform/system/instance.h"
#include "platform/window.h"

namespace {

struct LoadingWindow {
    bool useOwnIcon = false;
    std::string title{kLoadingTitle};
    Fl_Double_Window* window = nullptr;
    Fl_Hold_Browser* status = nullptr;
    Fl_Progress* progress = nullptr;
    Fl_Button* pause = nullptr;
    Fl_Button* resume = nullptr;
    Fl_Button* nextStep = nullptr;
};
LoadingWindow loadingWindow;

void enable(Fl_Button* button, bool enabled) {
    if (enabled)
        button->activate();
    else
        button->deactivate();
}

void showButtons() {
    const LoadingDialogState& state = loadingDialogState;
    enable(loadingWindow.pause, state.pauseEnabled);
    enable(loadingWindow.resume, state.continueEnabled);
    enable(loadingWindow.nextStep, state.nextStepEnabled);
}

void pausePressed(Fl_Widget*, void*) {
    loadingPausePressed();
}
void continuePressed(Fl_Widget*, void*) {
    loadingContinuePressed();
}
void nextStepPressed(Fl_Widget*, void*) {
    loadingNextStepPressed();
}
void ignoreClose(Fl_Widget*, void*) {}

bool raiseWindow() {
    if (loadingWindow.window == nullptr) return false;
    loadingWindow.window->show();
    return true;
}

bool createWindow() {
    if (!openFltkDisplay()) return false;
    LoadingWindow& view = loadingWindow;
    view.window = new Fl_Double_Window(420, 330, view.title.c_str());
    new GroupFrame(9, 9, 402, 200, " Loading status ");
    view.status = new Fl_Hold_Browser(20, 30, 380, 168);
    new GroupFrame(9, 217, 402, 56, " Loading progress ");
    view.progress = new Fl_Progress(20, 240, 380, 20);
    view.progress->minimum(0);
    view.progress->maximum(100);
    view.progress->value(0);
    view.progress->selection_color(FL_DARK_BLUE);
    view.pause = new Fl_Button(9, 286, 100, 30, "Pause");
    view.pause->callback(pausePressed);
    view.resume = new Fl_Button(115, 286, 100, 30, "Continue");
    view.resume->callback(continuePressed);
    view.nextStep = new Fl_Button(311, 286, 100, 30, "Next Step >>");
    view.nextStep->callback(nextStepPressed);
    view.window->end();
    view.window->callback(ignoreClose);
    setProgramIcon(*view.window, view.useOwnIcon);
    placeDialog(*view.window, nullptr, 0, 10);
    showButtons();
    view.window->show();
    instanceState.raiseDialog = raiseWindow;
    serveFltkFromPump();
    Fl::check();
    return true;
}

void destroyWindow() {
    LoadingWindow& view = loadingWindow;
    if (view.window == nullptr) return;
    if (instanceState.raiseDialog == raiseWindow) instanceState.raiseDialog = nullptr;
    view.window->hide();
    delete view.window;
    view = LoadingWindow{view.useOwnIcon};
    Fl::check();
}

void addLine(std::string_view text) {
    // The browser reads '@' at the start of a line as a format code: "@." shows the rest
    // as it is.
    std::string line = "@." + std::string(text);
    Fl_Hold_Browser* status = loadingWindow.status;
    status->add(line.c_str());
    status->select(status->size());
    status->bottomline(status->size());
}

void setPercent(int percent) {
    loadingWindow.progress->value(float(percent));
}

} // namespace

void installLoadingDialogView(bool useOwnIcon) {
    loadingWindow.useOwnIcon = useOwnIcon;
    LoadingDialogView& view = loadingDialogState.view;
    view.create = createWindow;
    view.destroy = destroyWindow;
    view.addLine = addLine;
    view.setPercent = setPercent;
    view.updateButtons = showButtons;
    view.minimiseMainWindow = minimiseMainWindow;
    view.restoreMainWindow = restoreMainWindow;
    // Held at the gate, the loading sleeps until a button, the main window or a stop signal
    // wakes it.
    loadingDialogState.idle = waitForFltkEvent;
}

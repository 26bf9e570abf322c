#include "platform/fltk_pump.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/desktop_restore.h"
#include "platform/events.h"
#include "platform/system/instance.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"

namespace {

struct FltkPumpState {
    int modalDepth = 0; // modal loops running inside one another
};
FltkPumpState fltkPumpState;

void pumpFltk() {
    if (fl_display != nullptr) Fl::check();
}

bool focusInFltkWindow() {
    if (fl_display == nullptr) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(fl_display, &focus, &revert);
    return focus != None && focus != PointerRoot && fl_find(focus) != nullptr;
}

// Wakes a modal loop: the descriptor's bytes are read, the loop looks at what changed.
void onStopWake(int, void*) {
    drainStopWake();
}

void onInstanceRequest(int, void*) {
    serveLaterStarts();
}

// The main window's events are read by the pump that follows the wake.
void onMainWindowEvent(int, void*) {}

// The outermost wait watches the descriptors; waits inside it share them.
void watchDescriptors() {
    if (fltkPumpState.modalDepth++ != 0) return;
    if (stopWakeDescriptor() >= 0) Fl::add_fd(stopWakeDescriptor(), FL_READ, onStopWake);
    if (instanceState.listenSocket >= 0)
        Fl::add_fd(instanceState.listenSocket, FL_READ, onInstanceRequest);
}

void unwatchDescriptors() {
    if (--fltkPumpState.modalDepth != 0) return;
    if (stopWakeDescriptor() >= 0) Fl::remove_fd(stopWakeDescriptor(), FL_READ);
    if (instanceState.listenSocket >= 0) Fl::remove_fd(instanceState.listenSocket, FL_READ);
}

// The main window's connection to the X server, -1 without a main window or off X11.
int mainWindowConnection() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (windowState.window == nullptr || !SDL_GetWindowWMInfo(windowState.window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return -1;
    return ConnectionNumber(info.info.x11.display);
}

} // namespace

bool openFltkDisplay() {
    if (fl_display != nullptr) return true;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    // FLTK puts in a handler of its own for a lost connection; the program's ends it cleanly.
    installDisplayLossHandler();
    Fl::scheme("gtk+");
    FL_NORMAL_SIZE = 12;
    return true;
}

void serveFltkFromPump() {
    eventState.pumpToolkit = pumpFltk;
    eventState.focusInToolkitWindow = focusInFltkWindow;
}

void runFltkModal(Fl_Window& window, void (*onStop)(Fl_Window& window)) {
    watchDescriptors();
    serveLaterStarts();
    while (window.shown()) {
        if (stopRequested()) {
            onStop(window);
            window.hide();
            break;
        }
        Fl::wait(1e20);
    }
    unwatchDescriptors();
}

void waitForFltkEvent() {
    watchDescriptors();
    int mainWindow = mainWindowConnection();
    if (mainWindow >= 0) Fl::add_fd(mainWindow, FL_READ, onMainWindowEvent);
    // A main window whose connection cannot be watched is served at least every 100 ms.
    bool bounded = mainWindow < 0 && windowState.window != nullptr;
    // A signal after this check has written to the descriptor: the wait ends at once.
    if (!stopRequested()) Fl::wait(bounded ? 0.1 : 1e20);
    if (mainWindow >= 0) Fl::remove_fd(mainWindow, FL_READ);
    unwatchDescriptors();
}

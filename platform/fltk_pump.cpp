#include "platform/fltk_pump.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "platform/desktop_restore.h"
#include "platform/events.h"
#include "platform/instance.h"
#include "platform/stop_signals.h"

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
    pollInstanceRequests();
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
    // The outermost loop watches the descriptors; loops inside it share them.
    int wake = stopWakeDescriptor();
    int instance = instanceState.listenSocket;
    bool outermost = fltkPumpState.modalDepth++ == 0;
    if (outermost && wake >= 0) Fl::add_fd(wake, FL_READ, onStopWake);
    if (outermost && instance >= 0) Fl::add_fd(instance, FL_READ, onInstanceRequest);
    pollInstanceRequests();
    while (window.shown()) {
        if (stopRequested()) {
            onStop(window);
            window.hide();
            break;
        }
        Fl::wait(1e20);
    }
    fltkPumpState.modalDepth--;
    if (outermost && wake >= 0) Fl::remove_fd(wake, FL_READ);
    if (outermost && instance >= 0) Fl::remove_fd(instance, FL_READ);
}

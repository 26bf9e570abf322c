#include "platform/fltk_pump.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include "platform/events.h"

namespace {

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

} // namespace

void serveFltkFromPump() {
    eventState.pumpToolkit = pumpFltk;
    eventState.focusInToolkitWindow = focusInFltkWindow;
}

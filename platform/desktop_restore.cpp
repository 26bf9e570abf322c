#include "platform/desktop_restore.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <type_traits>
#include <vector>

#include "platform/system/stop_signals.h"
#include "platform/window.h"

namespace {

constexpr int kMaxCrtcs = 8;
constexpr int kMaxCrtcOutputs = 8;

struct SavedCrtc {
    RRCrtc crtc = 0;
    RRMode mode = 0;
    int x = 0;
    int y = 0;
    Rotation rotation = RR_Rotate_0;
    RROutput outputs[kMaxCrtcOutputs] = {};
    int outputCount = 0;
};

// Fixed arrays only: the ending thread may read them while main returns and the static
// objects are destroyed, so nothing here may be freed by a destructor.
struct DesktopRestoreState {
    Display* display = nullptr; // the connection of this module's own
    bool hookAdded = false;
    Colormap colormap = None;
    XColor cells[256] = {}; // the saved ramp, in the cells SDL stores it in
    int cellCount = 0;
    SavedCrtc crtcs[kMaxCrtcs] = {};
    int crtcCount = 0;
    int screenWidth = 0, screenHeight = 0, screenWidthMm = 0, screenHeightMm = 0;
    // Set once the data beside them is complete; the ending thread reads only then.
    std::atomic<bool> gammaReady{false};
    std::atomic<bool> modesReady{false};
};
static_assert(std::is_trivially_destructible_v<DesktopRestoreState>);
DesktopRestoreState desktopRestore;

// The connection to the main window's X display, opened once (null off X).
Display* ownConnection(SDL_Window* window) {
    DesktopRestoreState& state = desktopRestore;
    if (state.display != nullptr) return state.display;
    const char* name = nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window != nullptr) {
        if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
        name = DisplayString(info.info.x11.display);
    } else if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) {
        return nullptr;
    }
    state.display = XOpenDisplay(name);
    if (state.display != nullptr && !state.hookAdded) {
        addImmediateEndHook(restoreDesktopAtOnce);
        state.hookAdded = true;
    }
    return state.display;
}

int lowestBit(unsigned long& mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

std::vector<XColor> rampCells(const Visual& visual, const GammaRamp& ramp) {
    unsigned long red = visual.red_mask, green = visual.green_mask, blue = visual.blue_mask;
    int redShift = lowestBit(red), greenShift = lowestBit(green), blueShift = lowestBit(blue);
    int count = visual.map_entries < 256 ? visual.map_entries : 256;
    std::vector<XColor> cells(size_t(count > 1 ? count : 0));
    for (int i = 0; i < int(cells.size()); ++i) {
        XColor& cell = cells[size_t(i)];
        cell.pixel = ((red * unsigned(i) / unsigned(count - 1)) << redShift) |
                     ((green * unsigned(i) / unsigned(count - 1)) << greenShift) |
                     ((blue * unsigned(i) / unsigned(count - 1)) << blueShift);
        cell.red = ramp.red[i];
        cell.green = ramp.green[i];
        cell.blue = ramp.blue[i];
        cell.flags = DoRed | DoGreen | DoBlue;
    }
    return cells;
}

namespace {

int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool crtcChanged(Display* display, XRRScreenResources* resources, const SavedCrtc& saved) {
    XRRCrtcInfo* now = XRRGetCrtcInfo(display, resources, saved.crtc);
    bool changed = now == nullptr || now->mode != saved.mode || now->x != saved.x ||
                   now->y != saved.y || now->rotation != saved.rotation;
    if (now != nullptr) XRRFreeCrtcInfo(now);
    return changed;
}

// A mode switch also shrinks the screen to the new mode, and the saved mode does not fit in
// it: the changed CRTCs are turned off, the screen gets its saved size, and they are set again.
void restoreCrtcs(Display* display) {
    DesktopRestoreState& state = desktopRestore;
    Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return;
    const SavedCrtc* changed[kMaxCrtcs] = {};
    int changedCount = 0;
    for (int i = 0; i < state.crtcCount; ++i)
        if (crtcChanged(display, resources, state.crtcs[i]))
            changed[changedCount++] = &state.crtcs[i];
    if (changedCount > 0) {
        XGrabServer(display);
        for (int i = 0; i < changedCount; ++i)
            XRRSetCrtcConfig(display, resources, changed[i]->crtc, CurrentTime, 0, 0, None,
                             RR_Rotate_0, nullptr, 0);
        XRRSetScreenSize(display, root, state.screenWidth, state.screenHeight, state.screenWidthMm,
                         state.screenHeightMm);
        for (int i = 0; i < changedCount; ++i)
            XRRSetCrtcConfig(display, resources, changed[i]->crtc, CurrentTime, changed[i]->x,
                             changed[i]->y, changed[i]->mode, changed[i]->rotation,
                             const_cast<RROutput*>(changed[i]->outputs), changed[i]->outputCount);
        XUngrabServer(display);
    }
    XRRFreeScreenResources(resources);
}

} // namespace

void prepareGammaRestore(SDL_Window* window, const GammaRamp& saved) {
    DesktopRestoreState& state = desktopRestore;
    Display* display = ownConnection(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (display == nullptr || !SDL_GetWindowWMInfo(window, &info)) return;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, info.info.x11.window, &attributes) == 0 ||
        attributes.visual == nullptr || attributes.visual->c_class != DirectColor)
        return;
    state.gammaReady = false;
    state.colormap = attributes.colormap;
    std::vector<XColor> cells = rampCells(*attributes.visual, saved);
    state.cellCount = int(std::min(cells.size(), std::size(state.cells)));
    std::copy_n(cells.begin(), state.cellCount, state.cells);
    state.gammaReady = state.cellCount > 0;
}

void prepareDisplayModeRestore() {
    DesktopRestoreState& state = desktopRestore;
    Display* display = ownConnection(nullptr);
    if (display == nullptr) return;
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) return;
    state.modesReady = false;
    state.crtcCount = 0;
    int screen = DefaultScreen(display);
    state.screenWidth = DisplayWidth(display, screen);
    state.screenHeight = DisplayHeight(display, screen);
    state.screenWidthMm = DisplayWidthMM(display, screen);
    state.screenHeightMm = DisplayHeightMM(display, screen);
    for (int i = 0; i < resources->ncrtc && state.crtcCount < kMaxCrtcs; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (crtc == nullptr) continue;
        if (crtc->mode != None) {
            SavedCrtc& saved = state.crtcs[state.crtcCount++];
            saved = {resources->crtcs[i], crtc->mode, crtc->x, crtc->y, crtc->rotation, {}, 0};
            saved.outputCount = std::min(crtc->noutput, kMaxCrtcOutputs);
            std::copy_n(crtc->outputs, saved.outputCount, saved.outputs);
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    state.modesReady = state.crtcCount > 0;
}

void restoreDesktopAtOnce() {
    DesktopRestoreState& state = desktopRestore;
    Display* display = state.display;
    if (display == nullptr) return;
    // A refused request must not end the process through the library's default handler.
    XErrorHandler previous = XSetErrorHandler(ignoreXError);
    if (state.gammaReady) XStoreColors(display, state.colormap, state.cells, state.cellCount);
    if (state.modesReady) restoreCrtcs(display);
    XSync(display, False);
    XSetErrorHandler(previous);
}

namespace {

// The display connection died (the X server ended or hung up): the program ends here, with
// the line a stopped run ends with, and never through the X library's exit() on another
// thread.
int onDisplayLost(Display*) {
    std::fputs("film03: the connection to the X server was lost\n", stderr);
    if (stopRequested()) writeLastLine();
    endProcessAtOnce(stopRequested() ? stopExitCode() : 1);
}

} // namespace

void installDisplayLossHandler() {
    XSetIOErrorHandler(onDisplayLost);
}

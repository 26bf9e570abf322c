#include "platform/desktop_restore.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <atomic>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/window.h"

namespace {

struct SavedCrtc {
    RRCrtc crtc = 0;
    RRMode mode = 0;
    int x = 0;
    int y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
};

struct DesktopRestoreState {
    Display* display = nullptr; // the connection of this module's own
    bool hookAdded = false;
    Colormap colormap = None;
    std::vector<XColor> cells; // the saved ramp, in the cells SDL stores it in
    std::vector<SavedCrtc> crtcs;
    int screenWidth = 0, screenHeight = 0, screenWidthMm = 0, screenHeightMm = 0;
    // Set once the data beside them is complete; the ending thread reads only then.
    std::atomic<bool> gammaReady{false};
    std::atomic<bool> modesReady{false};
};
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

// The cells of a DirectColor map that hold a ramp: entry i of each table at the pixel whose
// red, green and blue fields are the i-th step of their range (as SDL sets a window's ramp).
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
    std::vector<const SavedCrtc*> changed;
    for (const SavedCrtc& saved : state.crtcs)
        if (crtcChanged(display, resources, saved)) changed.push_back(&saved);
    if (!changed.empty()) {
        XGrabServer(display);
        for (const SavedCrtc* saved : changed)
            XRRSetCrtcConfig(display, resources, saved->crtc, CurrentTime, 0, 0, None, RR_Rotate_0,
                             nullptr, 0);
        XRRSetScreenSize(display, root, state.screenWidth, state.screenHeight, state.screenWidthMm,
                         state.screenHeightMm);
        for (const SavedCrtc* saved : changed)
            XRRSetCrtcConfig(display, resources, saved->crtc, CurrentTime, saved->x, saved->y,
                             saved->mode, saved->rotation,
                             const_cast<RROutput*>(saved->outputs.data()),
                             int(saved->outputs.size()));
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
    state.cells = rampCells(*attributes.visual, saved);
    state.gammaReady = !state.cells.empty();
}

void prepareDisplayModeRestore() {
    DesktopRestoreState& state = desktopRestore;
    Display* display = ownConnection(nullptr);
    if (display == nullptr) return;
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) return;
    state.modesReady = false;
    state.crtcs.clear();
    int screen = DefaultScreen(display);
    state.screenWidth = DisplayWidth(display, screen);
    state.screenHeight = DisplayHeight(display, screen);
    state.screenWidthMm = DisplayWidthMM(display, screen);
    state.screenHeightMm = DisplayHeightMM(display, screen);
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (crtc == nullptr) continue;
        if (crtc->mode != None)
            state.crtcs.push_back(
                {resources->crtcs[i], crtc->mode, crtc->x, crtc->y, crtc->rotation,
                 std::vector<RROutput>(crtc->outputs, crtc->outputs + crtc->noutput)});
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    state.modesReady = !state.crtcs.empty();
}

void restoreDesktopAtOnce() {
    DesktopRestoreState& state = desktopRestore;
    Display* display = state.display;
    if (display == nullptr) return;
    // A refused request must not end the process through the library's default handler.
    XErrorHandler previous = XSetErrorHandler(ignoreXError);
    if (state.gammaReady)
        XStoreColors(display, state.colormap, state.cells.data(), int(state.cells.size()));
    if (state.modesReady) restoreCrtcs(display);
    XSync(display, False);
    XSetErrorHandler(previous);
}

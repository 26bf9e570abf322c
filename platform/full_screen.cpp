#include "platform/full_screen.h"

#include "platform/desktop_restore.h"
#include "platform/display_modes.h"
#include "platform/window_state.h"

// Full screen where the desktop keeps its mode: the configured one where the display has
// only that, else a size the display lacks, whose frames are then shown scaled.
bool coversDesktop() {
    return displayModeState.changed && displayModeState.borderless;
}

// Windowed with a frame, or full screen without one. A window that covers the desktop is a
// full-screen window of the desktop's size (window managers then keep their panels out of
// the way). A window may be resized; its drawable has the screen's real pixels (HiDPI).
Uint32 mainWindowFlags(bool fullscreen) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (!fullscreen) return flags | SDL_WINDOW_RESIZABLE;
    if (coversDesktop()) return flags | SDL_WINDOW_FULLSCREEN_DESKTOP;
    return flags | SDL_WINDOW_BORDERLESS;
}

// The monitor's part of the desktop without its panels; nothing where the window system does
// not say.
ScreenRect usableDesktop(int monitor) {
    SDL_Rect rect;
    if (SDL_GetDisplayUsableBounds(monitor, &rect) != 0 &&
        SDL_GetDisplayBounds(monitor, &rect) != 0)
        return {};
    return {rect.x, rect.y, rect.w, rect.h};
}

// Where the window goes before its borders are known: full screen at the monitor's corner (as
// large as the monitor where it covers it), a window within the monitor's usable desktop.
ScreenRect initialWindowPlace(const WindowDescription& description) {
    const DisplayMode& desktop = displayModeState.desktop;
    SDL_Rect bounds = {0, 0, 0, 0};
    if (SDL_GetDisplayBounds(description.monitor, &bounds) != 0) bounds = {0, 0, 0, 0};
    if (description.fullscreen && coversDesktop() && desktop.width > 0 && desktop.height > 0)
        return {bounds.x, bounds.y, desktop.width, desktop.height};
    if (description.fullscreen) return {bounds.x, bounds.y, description.width, description.height};
    ScreenRect usable = usableDesktop(description.monitor);
    if (usable.width <= 0 || usable.height <= 0)
        return {int(SDL_WINDOWPOS_CENTERED), int(SDL_WINDOWPOS_CENTERED), description.width,
                description.height};
    return placeWindow(description.width, description.height, usable, {});
}

// Full screen in the switched mode (SDL sets the mode on the window).
void enterFullscreen(SDL_Window* window) {
    if (!displayModeState.changed || displayModeState.borderless) return;
    prepareDisplayModeRestore();
    SDL_DisplayMode mode = {};
    SDL_DisplayMode wanted = {SDL_PIXELFORMAT_UNKNOWN, displayModeState.chosen.width,
                              displayModeState.chosen.height, displayModeState.chosen.refreshRate,
                              nullptr};
    if (SDL_GetClosestDisplayMode(displayModeState.monitor, &wanted, &mode) == nullptr ||
        SDL_SetWindowDisplayMode(window, &mode) != 0 ||
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
        displaySwitchFailed(kChangeFailed);
    // The mode is in force only now: the cursor goes to the centre again.
    SDL_WarpMouseInWindow(window, mode.w / 2, mode.h / 2);
}

// SDL puts the desktop mode back when a full-screen window is minimised, and switches again
// when the window manager restores it. Without a window manager the window is never
// iconified, so it is never restored either: the switched mode is set again here.
void enterSwitchedModeAgain(SDL_Window* window) {
    const DisplayModeState& modes = displayModeState;
    SDL_DisplayMode now;
    if (!modes.changed || modes.borderless || SDL_GetCurrentDisplayMode(modes.monitor, &now) != 0 ||
        (now.w == modes.chosen.width && now.h == modes.chosen.height))
        return;
    SDL_SetWindowFullscreen(window, 0);
    enterFullscreen(window);
}

void restoreMainWindow() {
    if (windowState.window == nullptr) return;
    SDL_RestoreWindow(windowState.window);
    enterSwitchedModeAgain(windowState.window);
    SDL_SetWindowInputFocus(windowState.window);
    SDL_RaiseWindow(windowState.window);
}

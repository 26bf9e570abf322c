#include "platform/display_modes.h"

#include <SDL.h>

#include <algorithm>

#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/window.h"

DisplayModeState displayModeState;

namespace {

constexpr std::string_view kModeCaption = "WINDOWS ERROR";

DisplayMode fromSdl(const SDL_DisplayMode& mode) {
    return {mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format)), mode.refresh_rate};
}

bool sdlCurrentMode(int monitor, DisplayMode& mode) {
    startVideo();
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(monitor, &desktop) != 0) return false;
    mode = fromSdl(desktop);
    return true;
}

bool sdlModeAt(int monitor, int index, DisplayMode& mode) {
    startVideo();
    SDL_DisplayMode listed;
    if (index >= SDL_GetNumDisplayModes(monitor) ||
        SDL_GetDisplayMode(monitor, index, &listed) != 0)
        return false;
    mode = fromSdl(listed);
    return true;
}

// The mode itself is set on the full-screen window when it is made (SDL sets modes per
// window); here the display is asked whether it has the mode, and a display with a single
// mode is served by a borderless window of the configured size.
int sdlChange(const DisplayMode* mode) {
    if (mode == nullptr) {
        if (windowState.window != nullptr && !displayModeState.borderless &&
            SDL_SetWindowFullscreen(windowState.window, 0) != 0)
            return kChangeFailed;
        return kChangeSuccessful;
    }
    displayModeState.borderless = SDL_GetNumDisplayModes(displayModeState.monitor) <= 1;
    return kChangeSuccessful;
}

int sdlTestRestore() {
    return kChangeSuccessful;
}

void sdlPlaceCursor(int x, int y) {
    SDL_WarpMouseGlobal(x, y);
}

int sdlMonitorCount() {
    startVideo();
    return std::max(SDL_GetNumVideoDisplays(), 1);
}

bool sdlMonitorAt(int monitor, Monitor& found) {
    startVideo();
    SDL_Rect bounds;
    if (monitor < 0 || monitor >= SDL_GetNumVideoDisplays() ||
        SDL_GetDisplayBounds(monitor, &bounds) != 0)
        return false;
    const char* name = SDL_GetDisplayName(monitor);
    found = {name != nullptr ? name : "", bounds.x, bounds.y, bounds.w, bounds.h};
    return true;
}

// A Wayland compositor gives its clients no mode switches (SDL only imitates them by
// scaling); the window covers the output and the program scales its frames itself.
bool sdlSwitchesModes() {
    return !waylandWindows();
}

DisplayBackend& backend() {
    DisplayBackend& b = displayModeState.backend;
    if (b.currentMode == nullptr) b.currentMode = sdlCurrentMode;
    if (b.modeAt == nullptr) b.modeAt = sdlModeAt;
    if (b.change == nullptr) b.change = sdlChange;
    if (b.testRestore == nullptr) b.testRestore = sdlTestRestore;
    if (b.placeCursor == nullptr) b.placeCursor = sdlPlaceCursor;
    if (b.monitorCount == nullptr) b.monitorCount = sdlMonitorCount;
    if (b.monitorAt == nullptr) b.monitorAt = sdlMonitorAt;
    if (b.switchesModes == nullptr) b.switchesModes = sdlSwitchesModes;
    return b;
}

// The cursor goes to the centre of the monitor's picture.
void centreCursor(DisplayBackend& b, int monitor, int width, int height) {
    Monitor place;
    if (!b.monitorAt(monitor, place)) place = Monitor{};
    b.placeCursor(place.x + width / 2, place.y + height / 2);
}

} // namespace

std::string displayModeText(int width, int height, int refreshRate) {
    return std::to_string(width) + " x " + std::to_string(height) + " x 32 bpp at " +
           std::to_string(refreshRate) + " Hz";
}

std::optional<std::string_view> displayChangeReason(int code) {
    switch (code) {
        case kChangeRestart:
            return "The computer must be restarted in order for the graphics mode to work";
        case kChangeFailed:
            return "The display driver failed the specified graphics mode";
        case kChangeBadMode:
            return "The graphics mode is not supported";
        case kChangeNotUpdated:
            return "Unable to write settings to the registry";
        case kChangeBadFlags:
            return "An invalid set of flags was passed in";
        default:
            return std::nullopt;
    }
}

int monitorCount() {
    return std::max(backend().monitorCount(), 1);
}

bool monitorAt(int monitor, Monitor& found) {
    return backend().monitorAt(monitor, found);
}

bool displayModeAt(int monitor, int index, DisplayMode& mode) {
    return backend().modeAt(monitor, index, mode);
}

bool desktopDisplayMode(int monitor, DisplayMode& mode) {
    return backend().currentMode(monitor, mode);
}

bool sizeFitsWindow(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxWindowSide && height <= kMaxWindowSide;
}

bool sizeFitsDesktop(int width, int height, const DisplayMode& desktop) {
    return width > 0 && height > 0 && width <= desktop.width && height <= desktop.height;
}

void displaySwitchFailed(int code) {
    std::string text = "Switching to new video resolution failed !\nWindows message :\n";
    text += displayChangeReason(code).value_or(displayChangeReason(kChangeFailed).value());
    text += "\n\nDesired video mode was :\n\n" + displayModeState.modeText;
    fatalError(kModeCaption, text);
}

void registerDisplayModeFailureHooks() {
    failureState.hooks.displaySwitched = [] { return displayModeState.changed; };
    failureState.hooks.restoreDisplayMode = restoreDisplayMode;
}

bool switchDisplayMode(const DisplayMode& wanted, int monitor) {
    registerDisplayModeFailureHooks();
    DisplayModeState& state = displayModeState;
    DisplayBackend& b = backend();
    state.monitor = monitor;
    state.modeText = displayModeText(wanted.width, wanted.height, wanted.refreshRate);
    b.currentMode(monitor, state.desktop);

    bool found = false;
    DisplayMode mode;
    for (int i = 0; !found && b.modeAt(monitor, i, mode); ++i) {
        found = mode.width == wanted.width && mode.height == wanted.height &&
                mode.bytesPerPixel == 4 && mode.refreshRate == wanted.refreshRate;
    }
    // A size offered at the rate "?" covers the monitor; another rate of a listed size is
    // the monitor's rate for it, with a notice. A desktop without mode switches (a Wayland
    // compositor) is covered at any size.
    const bool switches = b.switchesModes();
    const bool unknownRateFits =
        wanted.refreshRate == 0 && sizeFitsDesktop(wanted.width, wanted.height, state.desktop);
    for (int i = 0; !found && switches && !unknownRateFits && b.modeAt(monitor, i, mode); ++i) {
        found =
            mode.width == wanted.width && mode.height == wanted.height && mode.bytesPerPixel == 4;
        if (found)
            noticeBox("ATTENTION !",
                      "The display has no video mode " + state.modeText +
                          " !\n\nThe demo plays at " +
                          displayModeText(mode.width, mode.height, mode.refreshRate) + " instead.");
    }
    if (!switches || (!found && sizeFitsWindow(wanted.width, wanted.height))) {
        // Nothing to switch: the window covers the monitor and shows its frames scaled. Only
        // a size the dialog offers so, or a desktop without mode switches, goes without a
        // notice.
        if (switches && !unknownRateFits)
            noticeBox("ATTENTION !",
                      "The display has no video mode " + state.modeText +
                          " !\n\nThe demo plays in full screen at the desktop's mode, its "
                          "pictures drawn at " +
                          std::to_string(wanted.width) + " x " + std::to_string(wanted.height) +
                          " and scaled to the screen.");
        state.chosen = state.desktop;
        state.changed = true;
        state.borderless = true;
        centreCursor(b, monitor, state.desktop.width, state.desktop.height);
        return true;
    }
    if (!found) {
        fatalError(kModeCaption, "No supported video mode found !\nMaybe you need to use a lower "
                                 "resolution or lower frequency (Hz) !\nCould not switch to "
                                 "desired video mode :\n\n" +
                                     state.modeText);
    }
    state.chosen = mode;

    int result = b.change(&state.chosen);
    waitMs(200);
    if (result == kChangeSuccessful) {
        state.changed = true;
        centreCursor(b, monitor, wanted.width, wanted.height);
        return true;
    }
    if (displayChangeReason(result)) displaySwitchFailed(result);
    return false;
}

void restoreDisplayMode() {
    DisplayModeState& state = displayModeState;
    if (!state.changed) return;
    DisplayBackend& b = backend();
    int test = b.testRestore();
    b.change(nullptr);
    waitMs(200);
    if (test != kChangeSuccessful) {
        b.change(&state.desktop);
        waitMs(200);
        if (auto reason = displayChangeReason(test)) {
            noticeBox(kModeCaption, "An error occured while resetting to old video resolution "
                                    "!\nWindows message :\n" +
                                        std::string(*reason) + "\n\nOld video mode was :\n\n" +
                                        state.modeText);
        }
    }
    state.changed = false;
}

#include "platform/display_modes.h"

#include <SDL.h>

#include "platform/events.h"
#include "platform/failure.h"
#include "platform/window.h"

DisplayModeState displayModeState;

namespace {

constexpr std::string_view kModeCaption = "WINDOWS ERROR";

DisplayMode fromSdl(const SDL_DisplayMode& mode) {
    return {mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format)), mode.refresh_rate};
}

bool sdlCurrentMode(DisplayMode& mode) {
    startVideo();
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
    mode = fromSdl(desktop);
    return true;
}

bool sdlModeAt(int index, DisplayMode& mode) {
    startVideo();
    SDL_DisplayMode listed;
    if (index >= SDL_GetNumDisplayModes(0) || SDL_GetDisplayMode(0, index, &listed) != 0)
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
    displayModeState.borderless = SDL_GetNumDisplayModes(0) <= 1;
    return kChangeSuccessful;
}

int sdlTestRestore() {
    return kChangeSuccessful;
}

void sdlPlaceCursor(int x, int y) {
    SDL_WarpMouseGlobal(x, y);
}

DisplayBackend& backend() {
    DisplayBackend& b = displayModeState.backend;
    if (b.currentMode == nullptr) b.currentMode = sdlCurrentMode;
    if (b.modeAt == nullptr) b.modeAt = sdlModeAt;
    if (b.change == nullptr) b.change = sdlChange;
    if (b.testRestore == nullptr) b.testRestore = sdlTestRestore;
    if (b.placeCursor == nullptr) b.placeCursor = sdlPlaceCursor;
    return b;
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

bool displayModeAt(int index, DisplayMode& mode) {
    return backend().modeAt(index, mode);
}

bool desktopDisplayMode(DisplayMode& mode) {
    return backend().currentMode(mode);
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

bool switchDisplayMode(const DisplayMode& wanted) {
    registerDisplayModeFailureHooks();
    DisplayModeState& state = displayModeState;
    DisplayBackend& b = backend();
    state.modeText = displayModeText(wanted.width, wanted.height, wanted.refreshRate);
    b.currentMode(state.desktop);

    bool found = false;
    DisplayMode mode;
    for (int i = 0; !found && b.modeAt(i, mode); ++i) {
        found = mode.width == wanted.width && mode.height == wanted.height &&
                mode.bytesPerPixel == 4 && mode.refreshRate == wanted.refreshRate;
    }
    // A size offered at the rate "?" covers the desktop; another rate of a listed size is
    // the display's rate for it, with a notice.
    const bool unknownRateFits =
        wanted.refreshRate == 0 && sizeFitsDesktop(wanted.width, wanted.height, state.desktop);
    for (int i = 0; !found && !unknownRateFits && b.modeAt(i, mode); ++i) {
        found =
            mode.width == wanted.width && mode.height == wanted.height && mode.bytesPerPixel == 4;
        if (found)
            noticeBox("ATTENTION !",
                      "The display has no video mode " + state.modeText +
                          " !\n\nThe demo plays at " +
                          displayModeText(mode.width, mode.height, mode.refreshRate) + " instead.");
    }
    if (!found && sizeFitsWindow(wanted.width, wanted.height)) {
        // Nothing to switch: the window covers the desktop and shows its frames scaled. Only
        // a size the dialog offers so goes without a notice.
        if (!unknownRateFits)
            noticeBox("ATTENTION !",
                      "The display has no video mode " + state.modeText +
                          " !\n\nThe demo plays in full screen at the desktop's mode, its "
                          "pictures drawn at " +
                          std::to_string(wanted.width) + " x " + std::to_string(wanted.height) +
                          " and scaled to the screen.");
        state.chosen = state.desktop;
        state.changed = true;
        state.borderless = true;
        b.placeCursor(state.desktop.width / 2, state.desktop.height / 2);
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
        b.placeCursor(wanted.width / 2, wanted.height / 2);
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

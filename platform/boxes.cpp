#include "platform/boxes.h"

#include <SDL.h>

#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/gamma_ramp.h"
#include "platform/window_state.h"

BoxesState boxesState;

namespace {

void pauseSound(bool paused) {
    if (failureState.pauseSound != nullptr) failureState.pauseSound(paused);
}

// The box itself; a box that came up gave the focus back to the program, which is no
// deactivation of it.
BoxAnswer drawBox(BoxKind kind, std::string_view caption, std::string_view text) {
    SDL_Window* owner = kind == BoxKind::Question ? nullptr : boxOwnerWindow();
    BoxAnswer answer = boxesState.draw(kind, caption, text, owner);
    if (answer != BoxAnswer::NotShown && windowState.videoStarted) {
        SDL_PumpEvents();
        SDL_FlushEvent(SDL_WINDOWEVENT);
    }
    return answer;
}

// A box while the display mode is changed: the sound pauses while it is up.
BoxAnswer drawAroundDisplay(BoxKind kind, std::string_view caption, std::string_view text) {
    bool switched = displayModeState.changed;
    if (switched) {
        pauseSound(true);
        pumpMessages();
    }
    BoxAnswer answer = drawBox(kind, caption, text);
    if (switched && displayModeState.changed) {
        pauseSound(false);
        pumpMessages();
    }
    return answer;
}

BoxAnswer showOnScreen(BoxKind kind, std::string_view caption, std::string_view text) {
    bool wasVisible = eventState.cursorVisible;
    setCursorVisible(true);
    BoxAnswer answer = drawAroundDisplay(kind, caption, text);
    if (kind != BoxKind::Fatal) setCursorVisible(wasVisible);
    return answer;
}

void putDesktopBack() {
    restoreDisplayMode();
    setCursorVisible(true);
    restoreGammaRamp();
}

} // namespace

void presentBoxesOnScreen() {
    setBoxPresenter({showOnScreen, putDesktopBack});
}

SDL_Window* boxOwnerWindow() {
    SDL_Window* window = windowState.window;
    if (window == nullptr) return nullptr;
    Uint32 flags = SDL_GetWindowFlags(window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0 ? nullptr : window;
}

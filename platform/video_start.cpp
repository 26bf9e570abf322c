#include "platform/video_start.h"

#include <string_view>

#include "platform/desktop_restore.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/game_controller.h"
#include "platform/window_state.h"

namespace {

constexpr const char* kDesktopEntryName = "film03";
constexpr std::string_view kWindowsError = "WINDOWS ERROR";

// In a Wayland session the window is a Wayland surface of its own, named after the desktop
// entry (which gives it its icon there); where the compositor cannot be reached SDL goes on to
// X11. A driver named in SDL_VIDEODRIVER is used as named.
void preferNativeWayland() {
    SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", kDesktopEntryName, 0);
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if ((named != nullptr && *named != '\0') || wayland == nullptr || *wayland == '\0') return;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
}

} // namespace

void windowCreationFailed() {
    fatalError(kWindowsError,
               unknownCallError("Creating new window failed", "WinAPI", "CreateWindowEx"));
}

void startVideo() {
    if (windowState.videoStarted) return;
    preferNativeWayland();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) windowCreationFailed();
    windowState.videoStarted = true;
    startControllers();
    // In place of any handler SDL put in for a lost display connection.
    installDisplayLossHandler();
    // Kept loaded for the whole run: SDL would unload the GL library with the probe window,
    // and entry points are looked up after it.
    SDL_GL_LoadLibrary(nullptr);
    SDL_ShowCursor(eventState.cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

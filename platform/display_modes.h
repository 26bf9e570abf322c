// Display mode switching for full screen: the exact-match search in the display's mode list,
// the switch, and the way back to the desktop mode (at shutdown or from a fatal report).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0; // "32 bits per pixel" is 4 bytes per pixel
    int refreshRate = 0;   // Hz; 0 where the display does not say
};

// Results of a mode change, numbered as the failure reasons are known to users.
enum DisplayChange : int {
    kChangeSuccessful = 0,
    kChangeRestart = 1,
    kChangeFailed = -1,
    kChangeBadMode = -2,
    kChangeNotUpdated = -3,
    kChangeBadFlags = -4,
    kChangeBadParam = -5,
};

// One monitor of the desktop: its name and its rectangle in desktop coordinates.
struct Monitor {
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// SDL's answers: the display backend's defaults.
bool sdlCurrentMode(int monitor, DisplayMode& mode);
bool sdlModeAt(int monitor, int index, DisplayMode& mode);
int sdlChange(const DisplayMode* mode);
int sdlTestRestore();
void sdlPlaceCursor(int x, int y);
int sdlMonitorCount();
bool sdlMonitorAt(int monitor, Monitor& found);
bool sdlSwitchesModes();

// What the switch asks of the window system; SDL's by default, fake monitors in tests.
// Monitors are numbered from 0, the first monitor of the window system.
struct DisplayBackend {
    bool (*currentMode)(int monitor, DisplayMode& mode) = sdlCurrentMode;  // its desktop mode
    bool (*modeAt)(int monitor, int index, DisplayMode& mode) = sdlModeAt; // false past the last
    int (*change)(const DisplayMode* mode) = sdlChange; // a DisplayChange; null: back to desktop
    int (*testRestore)() = sdlTestRestore;              // would going back succeed?
    void (*placeCursor)(int x, int y) = sdlPlaceCursor; // in desktop coordinates
    int (*monitorCount)() = sdlMonitorCount;            // at least 1
    bool (*monitorAt)(int monitor, Monitor& found) = sdlMonitorAt;
    bool (*switchesModes)() =
        sdlSwitchesModes; // false on a compositor that sets no modes for clients
};

struct DisplayModeState {
    bool changed = false;    // true from a successful switch until restoreDisplayMode
    bool borderless = false; // the display cannot change modes: a borderless window instead
    int monitor = 0;         // the monitor full screen covers
    DisplayMode desktop;     // that monitor's mode before the switch
    DisplayMode chosen;      // the listed mode that matched
    std::string modeText;    // of the configured mode
    DisplayBackend backend;  // SDL's unless a test put its own in
};
extern DisplayModeState displayModeState;

// "1024 x 768 x 32 bpp at 75 Hz".
std::string displayModeText(int width, int height, int refreshRate);

// The reason text for a listed failure code; nothing for unlisted codes.
std::optional<std::string_view> displayChangeReason(int code);

// Switches the monitor to the given width, height and refresh rate at 32 bits per pixel
// (bytesPerPixel is not read). True when switched; false only for an unlisted failure (the
// caller offers windowed mode). A size the monitor lists at another rate is switched to at
// the monitor's rate (chosen holds it), with a notice. A size the monitor does not list keeps
// its mode: the window covers it without a border, its frames scaled (borderless is set); a
// notice says so unless the size was offered at the rate "?" (0, fitting on the monitor). A
// desktop that sets no modes for its clients (a Wayland compositor) is never switched: the
// window covers the monitor at any size, its frames scaled, without a notice. Every listed
// failure, and a size no window can have, is fatal.
bool switchDisplayMode(const DisplayMode& wanted, int monitor = 0);

// The monitors of the desktop (at least 1) and one of them; false for a monitor that is not
// there.
int monitorCount();
bool monitorAt(int monitor, Monitor& found);
// The monitor's mode at index (0 first, in the display's order); false past the last one.
bool displayModeAt(int monitor, int index, DisplayMode& mode);
// The monitor's desktop mode as it is now; false where the display does not say.
bool desktopDisplayMode(int monitor, DisplayMode& mode);
// The largest side of a window or a drawing surface the drivers in use accept.
inline constexpr int kMaxWindowSide = 16384;
// A window (or the frames a covering window scales) can have this size.
bool sizeFitsWindow(int width, int height);
// A window of this size fits on the desktop (no size fits a desktop that did not say).
bool sizeFitsDesktop(int width, int height, const DisplayMode& desktop);

// Back to the desktop mode; does nothing unless the mode was changed.
void restoreDisplayMode();

// The fatal report for a failed switch with the given failure code.
[[noreturn]] void displaySwitchFailed(int code);

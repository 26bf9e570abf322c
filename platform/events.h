// The message pump, keyboard and mouse state, the demo clock, the cursor and the busy-wait.
// Every frame loop calls, in this order: draw, swap, pumpMessages, waitWhileInactive,
// tickClock; then it tests eventState.running, the key table and the elapsed time.
#pragma once

#include <SDL.h>

#include <cstdint>

// Key codes of the key table (the Win32 virtual-key numbering the demo was written for).
// Letters use their upper-case ASCII code ('S' = 83), digits theirs ('0' = 48).
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyTab = 9;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyShift = 16;
inline constexpr int kKeyControl = 17;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeySpace = 32;
inline constexpr int kKeyHome = 36;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;
inline constexpr int kKeyF1 = 112; // F1..F12 are 112..123
inline constexpr int kKeyComma = 188;
inline constexpr int kKeyPeriod = 190;

// Millisecond clock that stands still while the program is in the background. All fields
// are unsigned 32-bit and wrap like a 32-bit tick counter.
struct DemoClock {
    uint32_t timeBase = 0;    // tick count when the main window was created
    uint32_t pausedTotal = 0; // sum of all periods spent inactive
    uint32_t now = 0;         // tick count - time base - paused total, at the last tick/reset
    uint32_t frameDelta = 0;  // now - previous now; 0 after resetClock
    uint32_t elapsed = 0;     // scene time: set by resetClock, advanced by every tickClock
};

struct EventState {
    bool running = true;    // main window alive; every frame loop ends when it is false
    bool active = true;     // program in the foreground
    bool closing = false;   // set by closeMainWindow: only then may the window close
    bool resumed = false;   // waitWhileInactive had to wait (scenes re-synchronise and clear it)
    uint8_t keys[256] = {}; // 1 while the key with that code is down (and see below)
    // A key pressed and released within one batch of events (a tap between two slow frames)
    // stays down in the table until the next batch begins, so the frame between sees it.
    bool inEventBatch = false;
    uint8_t pressedInBatch[256] = {};
    uint8_t releaseAtNextBatch[256] = {};
    bool leftButton = false;
    bool rightButton = false;
    int mouseX = 0; // client coordinates of the last mouse motion
    int mouseY = 0;
    bool cursorVisible = true;      // the program's idea of the cursor
    bool savedCursorVisible = true; // remembered by saveCursorVisibility
    int cursorCounter = 0;          // the system's show/hide counter: shown while >= 0
    uint32_t deactivatedAt = 0;     // tick count when the program went to the background
    int exitCode = 0;               // the program's result, as carried by the last message
    // Batch runs never go to the background: several of them may share one virtual
    // display, where each new window takes the focus from the others.
    bool ignoreFocus = false;
    DemoClock clock;
    // With a fixed step the tick count is virtual: it advances by exactly fixedStepMs per
    // tickClock and by n per waitMs(n), so every run sees the same times. A step divisor d
    // makes the step fixedStepMs / d milliseconds (1000 / 30 for 30 frames a second): each
    // tick advances by whole milliseconds and carries the rest, so that k ticks after a
    // resetClock the scene time has moved by exactly floor(k × fixedStepMs / d).
    uint32_t fixedStepMs = 0;
    uint32_t fixedStepDivisor = 1;
    uint32_t stepCarry = 0; // the part of a millisecond, in 1/d, not yet on the clock
    uint32_t virtualTicks = 0;
    // Called with the number of milliseconds whenever the virtual tick count advances, so
    // that whatever keeps time with it (the offline sound mix) follows.
    void (*virtualTicksAdvanced)(uint32_t ms) = nullptr;
    // Test hook: replaces the system tick count when set.
    uint32_t (*tickSource)() = nullptr;
    // Filled while the program has dialog or tool windows of its own: serves their events
    // from every pump, and tells whether the input focus went to one of them (the program
    // then stays active, as the focus stayed within it).
    void (*pumpToolkit)() = nullptr;
    bool (*focusInToolkitWindow)() = nullptr;
    // Set while game controllers are served: takes their events (plugged, unplugged, buttons,
    // sticks).
    bool (*controllerEvent)(const SDL_Event& event) = nullptr;
};
extern EventState eventState;

// Batch runs never go to the background (see ignoreFocus).
void setIgnoreFocus(bool ignore);
// What follows the virtual tick count (see virtualTicksAdvanced; nullptr: nothing).
void followVirtualTicks(void (*advanced)(uint32_t ms));
// The clock's fixed step (0: the system's tick count) and its divisor (see fixedStepMs).
void setFixedStep(uint32_t stepMs, uint32_t divisor);

// The main window may close now (closeMainWindow), and it is gone: the running flag ends every
// frame loop, and the program's result is 0.
void allowClosing();
void endRunning();
// The clock's time base and the running flag start with a window (the main window or the
// data tool's).
void startWindowClock();
// While the program has dialog or tool windows of its own: pump serves their events from
// every pumpMessages, focusInWindow tells whether the input focus went to one of them.
// The game controllers' events go to `handle` from now on (null: nowhere).
void serveControllersFromPump(bool (*handle)(const SDL_Event& event));
void serveToolkitFromPump(void (*pump)(), bool (*focusInWindow)());

// The 32-bit millisecond tick count (wraps after 49.7 days).
uint32_t tickCount();

void pumpMessages();
void waitWhileInactive();
void clearKeys();
void clearMouseButtons();

void resetClock(uint32_t elapsed);
// resetClock as the clock stands at a frame of a fixed-step run: the scene time `elapsed`,
// reached by a step of `frameDelta`, with `stepCarry` (in 1/divisor ms) not yet on the clock.
void resetClockAtStep(uint32_t elapsed, uint32_t frameDelta, uint32_t stepCarry);
void tickClock();
void waitMs(uint32_t ms);

void setCursorVisible(bool show);
void saveCursorVisibility();
void restoreCursorVisibility();

// Activation and deactivation of the program (focus gained or lost).
void activateApp(bool activated);

// The main window's handling of one event (keys, mouse, focus, close). Exposed so that
// tests can feed synthetic events.
void handleEvent(const SDL_Event& event);
// Bracket the handling of the events queued since the last frame (pumpMessages does): the
// taps the last frame saw go up first, and a tap within the batch is kept for the next frame.
void beginEventBatch();
void endEventBatch();

// Key-table code for an SDL key, or -1 for keys the table does not hold.
int virtualKeyFor(SDL_Keycode key);
// A key of the table pressed (down) or released, as a keyboard's key is: a press and release
// within one batch of events stays down for the frame that follows. Codes outside the table
// (-1: a key without a code) change nothing.
void pressKey(int code, bool down, bool repeat);

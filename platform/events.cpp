#include "platform/events.h"

#include "platform/system/failure.h"
#include "platform/system/stop_signals.h"
#include "platform/frame_present.h"
#include "platform/gamma_ramp.h"
#include "platform/window_state.h"

EventState eventState;

namespace {

// One step of the system's cursor counter; the cursor shows while the counter is >= 0.
void showCursorStep(bool show) {
    eventState.cursorCounter += show ? 1 : -1;
}

// Hands the counter's verdict to SDL, once per change (not per step).
void applyCursorCounter() {
    if (!windowState.videoStarted) return;
    int wanted = eventState.cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE;
    if (SDL_ShowCursor(SDL_QUERY) != wanted) SDL_ShowCursor(wanted);
}

// Windowed only: the cursor a phase hid stays hidden over the client area and shows over
// the frame and outside the window.
void cursorInWindowTest() {
    if (windowState.fullscreen || windowState.window == nullptr) return;
    if (SDL_GetMouseFocus() == windowState.window)
        restoreCursorVisibility();
    else
        setCursorVisible(true);
}

void pressMouseButton(Uint8 button, bool down) {
    if (button == SDL_BUTTON_LEFT)
        eventState.leftButton = down;
    else if (button == SDL_BUTTON_RIGHT)
        eventState.rightButton = down;
    else
        return;
    if (down && windowState.window != nullptr && SDL_GetKeyboardFocus() != windowState.window)
        SDL_SetWindowInputFocus(windowState.window);
}

void handleKey(const SDL_KeyboardEvent& key, bool down) {
    // Keys with Alt held are the window system's (menu keys); the table is not changed.
    if ((key.keysym.mod & KMOD_ALT) != 0) return;
    if (key.keysym.sym == SDLK_LALT || key.keysym.sym == SDLK_RALT) return;
    pressKey(virtualKeyFor(key.keysym.sym), down, key.repeat != 0);
}

void handleWindowEvent(const SDL_WindowEvent& window) {
    bool focusCounts = !eventState.ignoreFocus;
    switch (window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (focusCounts) activateApp(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (eventState.focusInToolkitWindow != nullptr && eventState.focusInToolkitWindow())
                break;
            if (focusCounts) activateApp(false);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // Resized by its manager or the user: the frames are fitted to the new size.
            fitFramesToWindow();
            break;
        default:
            break;
    }
}

} // namespace

void pressKey(int code, bool down, bool repeat) {
    if (code < 0 || code > 255) return;
    EventState& state = eventState;
    if (down) {
        state.keys[code] = 1;
        state.releaseAtNextBatch[code] = 0;
        if (state.inEventBatch && !repeat) state.pressedInBatch[code] = 1;
    } else if (state.inEventBatch && state.pressedInBatch[code] != 0) {
        state.releaseAtNextBatch[code] = 1; // a tap: down for the frame that follows
    } else {
        state.keys[code] = 0;
    }
}

void setIgnoreFocus(bool ignore) {
    eventState.ignoreFocus = ignore;
}

void followVirtualTicks(void (*advanced)(uint32_t ms)) {
    eventState.virtualTicksAdvanced = advanced;
}

void setFixedStep(uint32_t stepMs, uint32_t divisor) {
    eventState.fixedStepMs = stepMs;
    eventState.fixedStepDivisor = divisor;
}

void allowClosing() {
    eventState.closing = true;
}

void endRunning() {
    eventState.running = false;
    eventState.exitCode = 0;
}

void startWindowClock() {
    eventState.clock.timeBase = tickCount();
    eventState.running = true;
}

void serveControllersFromPump(bool (*handle)(const SDL_Event& event)) {
    eventState.controllerEvent = handle;
}

void serveToolkitFromPump(void (*pump)(), bool (*focusInWindow)()) {
    eventState.pumpToolkit = pump;
    eventState.focusInToolkitWindow = focusInWindow;
}

uint32_t tickCount() {
    if (eventState.tickSource != nullptr) return eventState.tickSource();
    if (eventState.fixedStepMs != 0) return eventState.virtualTicks;
    return static_cast<uint32_t>(SDL_GetTicks64());
}

int virtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return kKeyF1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_BACKSPACE:
            return kKeyBackspace;
        case SDLK_TAB:
            return kKeyTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return kKeyEnter;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return kKeyShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return kKeyControl;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return kKeyEscape;
        case SDLK_SPACE:
            return kKeySpace;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return kKeyHome;
        case SDLK_COMMA:
            return kKeyComma;
        case SDLK_PERIOD:
            return kKeyPeriod;
        case SDLK_LEFT:
            return kKeyLeft;
        case SDLK_UP:
            return kKeyUp;
        case SDLK_RIGHT:
            return kKeyRight;
        case SDLK_DOWN:
            return kKeyDown;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_KP_0:
            return 96;
        case SDLK_KP_MULTIPLY:
            return 106;
        case SDLK_KP_PLUS:
            return 107;
        case SDLK_KP_MINUS:
            return 109;
        case SDLK_KP_PERIOD:
            return 110;
        case SDLK_KP_DIVIDE:
            return 111;
        default:
            return -1;
    }
}

void handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
            handleKey(event.key, true);
            break;
        case SDL_KEYUP:
            handleKey(event.key, false);
            break;
        case SDL_MOUSEMOTION: {
            // In frame pixels, as the window system reports them: x unsigned 16-bit, y signed
            // 16-bit.
            int x = event.motion.x, y = event.motion.y;
            mouseToFrame(x, y);
            eventState.mouseX = static_cast<uint16_t>(x);
            eventState.mouseY = static_cast<int16_t>(y);
            if (event.motion.state == SDL_BUTTON_LMASK) eventState.leftButton = true;
            if (event.motion.state == SDL_BUTTON_RMASK) eventState.rightButton = true;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            pressMouseButton(event.button.button, true);
            break;
        case SDL_MOUSEBUTTONUP:
            pressMouseButton(event.button.button, false);
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERAXISMOTION:
            if (eventState.controllerEvent != nullptr) eventState.controllerEvent(event);
            break;
        case SDL_WINDOWEVENT:
            handleWindowEvent(event.window);
            break;
        default:
            break;
    }
}

void beginEventBatch() {
    EventState& state = eventState;
    for (int code = 0; code < 256; ++code) {
        if (state.releaseAtNextBatch[code] != 0) state.keys[code] = 0;
        state.releaseAtNextBatch[code] = 0;
        state.pressedInBatch[code] = 0;
    }
    state.inEventBatch = true;
}

void endEventBatch() {
    eventState.inEventBatch = false;
}

void activateApp(bool activated) {
    // Focus can be reported twice in a row; only a change of state counts, so that no time
    // before the first deactivation is taken for time spent inactive.
    if (activated == eventState.active) return;
    if (activated) {
        eventState.active = true;
        if (failureState.pauseSound != nullptr) failureState.pauseSound(false);
        applyGammaRamp(windowState.gamma);
        if (windowState.window != nullptr) SDL_RestoreWindow(windowState.window);
        clearKeys();
        clearMouseButtons();
        eventState.clock.pausedTotal += tickCount() - eventState.deactivatedAt;
    } else {
        eventState.deactivatedAt = tickCount();
        eventState.active = false;
        if (failureState.pauseSound != nullptr) failureState.pauseSound(true);
        restoreGammaRamp();
        if (windowState.window != nullptr) SDL_MinimizeWindow(windowState.window);
    }
}

void pumpMessages() {
    SDL_Event event;
    if (eventState.active) {
        beginEventBatch();
        while (eventState.active && eventState.running && windowState.videoStarted &&
               SDL_PollEvent(&event))
            handleEvent(event);
        endEventBatch();
    } else {
        // In the background the pump blocks until the program is active again, or stops.
        while (!eventState.active && eventState.running && windowState.videoStarted &&
               !stopRequested()) {
            if (SDL_WaitEventTimeout(&event, 100)) handleEvent(event);
            if (eventState.pumpToolkit != nullptr) eventState.pumpToolkit();
            serveLaterStarts();
        }
    }
    if (eventState.pumpToolkit != nullptr) eventState.pumpToolkit();
    serveLaterStarts();
    cursorInWindowTest();
}

void waitWhileInactive() {
    if (eventState.active) return;
    eventState.resumed = true;
    // Without the video subsystem no activation can arrive; a stop signal ends the wait.
    while (!eventState.active && eventState.running && windowState.videoStarted && !stopRequested())
        pumpMessages();
    clearKeys();
    clearMouseButtons();
}

void clearKeys() {
    for (int code = 0; code < 256; ++code) {
        eventState.keys[code] = 0;
        eventState.pressedInBatch[code] = 0;
        eventState.releaseAtNextBatch[code] = 0;
    }
}

void clearMouseButtons() {
    eventState.leftButton = false;
    eventState.rightButton = false;
}

void resetClock(uint32_t elapsed) {
    DemoClock& clock = eventState.clock;
    clock.now = tickCount() - clock.timeBase - clock.pausedTotal;
    clock.frameDelta = 0;
    clock.elapsed = elapsed;
    eventState.stepCarry = 0;
}

void resetClockAtStep(uint32_t elapsed, uint32_t frameDelta, uint32_t stepCarry) {
    resetClock(elapsed);
    eventState.clock.frameDelta = frameDelta;
    eventState.stepCarry = stepCarry;
}

namespace {

void advanceVirtualTicks(uint32_t ms) {
    eventState.virtualTicks += ms;
    if (eventState.virtualTicksAdvanced != nullptr) eventState.virtualTicksAdvanced(ms);
}

} // namespace

void tickClock() {
    if (eventState.fixedStepMs != 0) {
        uint32_t divisor = eventState.fixedStepDivisor == 0 ? 1 : eventState.fixedStepDivisor;
        uint64_t carried = uint64_t(eventState.stepCarry) + eventState.fixedStepMs;
        advanceVirtualTicks(uint32_t(carried / divisor));
        eventState.stepCarry = uint32_t(carried % divisor);
    }
    DemoClock& clock = eventState.clock;
    uint32_t t = tickCount() - clock.timeBase - clock.pausedTotal;
    clock.frameDelta = t - clock.now;
    clock.now = t;
    clock.elapsed += clock.frameDelta;
}

void waitMs(uint32_t ms) {
    if (eventState.fixedStepMs != 0 && eventState.tickSource == nullptr) {
        advanceVirtualTicks(ms);
        return;
    }
    // The distance from the start is compared, so a wait that spans the wrap of the tick
    // count ends on time.
    uint32_t start = tickCount();
    while (tickCount() - start < ms) {
        if (eventState.tickSource == nullptr) SDL_Delay(1);
    }
}

void setCursorVisible(bool show) {
    // One step of the system counter per change of state, so the counter never drifts.
    if (show) {
        if (eventState.cursorVisible) showCursorStep(false);
        eventState.cursorVisible = true;
        showCursorStep(true);
    } else {
        if (!eventState.cursorVisible) showCursorStep(true);
        eventState.cursorVisible = false;
        showCursorStep(false);
    }
    applyCursorCounter();
}

void saveCursorVisibility() {
    eventState.savedCursorVisible = eventState.cursorVisible;
}

void restoreCursorVisibility() {
    setCursorVisible(eventState.savedCursorVisible);
}

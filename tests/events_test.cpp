#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "platform/events.h"
#include "platform/game_controller.h"
#include "platform/window.h"
#include "support/test_support.h"

namespace {

uint32_t fakeTicks = 0;
uint32_t readFakeTicks() {
    return fakeTicks;
}
// Advances by one millisecond per reading, as a busy-wait sees a running clock.
uint32_t runningFakeTicks() {
    return fakeTicks++;
}

std::vector<bool> soundPauses;
void recordSoundPause(bool paused) {
    soundPauses.push_back(paused);
}

// Every test starts from the process's initial state, with the tick count under its control.
class EventsTest : public testing::Test {
  protected:
    void SetUp() override {
        eventState = EventState{};
        eventState.tickSource = readFakeTicks;
        failureState.pauseSound = recordSoundPause;
        soundPauses.clear();
    }
    void TearDown() override {
        eventState = EventState{};
        failureState.pauseSound = nullptr;
    }
};

SDL_Event keyEvent(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event event = {};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event windowEvent(Uint8 what) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    return event;
}

} // namespace

TEST_F(EventsTest, ClockWrapsAroundTheTickCounter) {
    fakeTicks = 0xFFFFFF00u;
    eventState.clock.timeBase = 0xFFFFFE00u;
    resetClock(1000);
    EXPECT_EQ(eventState.clock.now, 0x100u);
    EXPECT_EQ(eventState.clock.frameDelta, 0u);
    fakeTicks += 0x180; // crosses 2^32
    tickClock();
    EXPECT_EQ(eventState.clock.frameDelta, 0x180u);
    EXPECT_EQ(eventState.clock.now, 0x280u);
    EXPECT_EQ(eventState.clock.elapsed, 1000u + 0x180u);
    tickClock();
    EXPECT_EQ(eventState.clock.frameDelta, 0u);
    resetClock(0);
    EXPECT_EQ(eventState.clock.elapsed, 0u);
}

TEST_F(EventsTest, TimeInTheBackgroundIsNotCounted) {
    fakeTicks = 10000;
    resetClock(0);
    fakeTicks += 40;
    tickClock();
    eventState.keys['S'] = 1;
    handleEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_FALSE(eventState.active);
    fakeTicks += 5000;
    handleEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED));
    EXPECT_TRUE(eventState.active);
    EXPECT_EQ(eventState.clock.pausedTotal, 5000u);
    EXPECT_EQ(eventState.keys['S'], 0); // a key held while away is released
    fakeTicks += 20;
    tickClock();
    EXPECT_EQ(eventState.clock.elapsed, 60u);
    EXPECT_EQ(soundPauses, (std::vector<bool>{true, false}));

    // A repeated focus report is no second activation.
    handleEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED));
    EXPECT_EQ(eventState.clock.pausedTotal, 5000u);
    EXPECT_EQ(soundPauses.size(), 2u);

    // Batch runs stay in the foreground.
    eventState.ignoreFocus = true;
    handleEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_TRUE(eventState.active);
}

TEST_F(EventsTest, WaitingEndsOnTimeAlsoAcrossTheWrap) {
    fakeTicks = 5;
    waitMs(0); // a frozen clock: only returns when 0 means no wait
    EXPECT_EQ(fakeTicks, 5u);

    eventState.tickSource = runningFakeTicks;
    fakeTicks = 0xFFFFFFFBu;
    waitMs(10);
    uint32_t waited = fakeTicks - 0xFFFFFFFBu;
    EXPECT_GE(waited, 10u);
    EXPECT_LE(waited, 12u);
}

TEST_F(EventsTest, FixedStepAdvancesTheClockExactly) {
    eventState.tickSource = nullptr;
    eventState.fixedStepMs = 40;
    eventState.virtualTicks = 1000;
    resetClock(0);
    for (int frame = 0; frame < 25; ++frame) tickClock();
    EXPECT_EQ(eventState.clock.elapsed, 1000u);
    EXPECT_EQ(eventState.clock.frameDelta, 40u);
    waitMs(200); // no real waiting: the virtual clock moves on
    tickClock();
    EXPECT_EQ(eventState.clock.frameDelta, 240u);
}

// A step of 1000 / 30 ms: whole milliseconds on the clock, the rest carried, so that frame k
// of a sequence shows scene time floor(k × 1000 / 30) and 30 frames make exactly one second.
TEST_F(EventsTest, FractionalFixedStepCarriesTheRest) {
    eventState.tickSource = nullptr;
    eventState.fixedStepMs = 1000;
    eventState.fixedStepDivisor = 30;
    eventState.stepCarry = 17; // left over from an earlier sequence: the reset drops it
    resetClock(40000);
    uint32_t deltas[3] = {};
    for (int frame = 1; frame <= 4500; ++frame) {
        tickClock();
        if (frame <= 3) deltas[frame - 1] = eventState.clock.frameDelta;
        ASSERT_EQ(eventState.clock.elapsed, 40000u + uint32_t(uint64_t(frame) * 1000 / 30));
    }
    EXPECT_EQ(deltas[0], 33u);
    EXPECT_EQ(deltas[1], 33u);
    EXPECT_EQ(deltas[2], 34u);
    EXPECT_EQ(eventState.clock.elapsed, 190000u);
    eventState.fixedStepDivisor = 60;
    resetClock(0);
    for (int frame = 0; frame < 3000; ++frame) tickClock();
    EXPECT_EQ(eventState.clock.elapsed, 50000u);
}

TEST_F(EventsTest, CursorCounterNeverDrifts) {
    std::mt19937 random(4357);
    for (int step = 0; step < 2000; ++step) {
        switch (random() % 4) {
            case 0:
                setCursorVisible(true);
                break;
            case 1:
                setCursorVisible(false);
                break;
            case 2:
                saveCursorVisibility();
                break;
            default:
                restoreCursorVisibility();
                break;
        }
        ASSERT_EQ(eventState.cursorCounter, eventState.cursorVisible ? 0 : -1) << step;
    }
    setCursorVisible(false);
    saveCursorVisibility();
    setCursorVisible(true);
    restoreCursorVisibility();
    EXPECT_FALSE(eventState.cursorVisible);
    EXPECT_EQ(eventState.cursorCounter, -1);
}

TEST_F(EventsTest, InputFillsTheKeyTableAndButtons) {
    const std::pair<SDL_Keycode, int> keys[] = {
        {SDLK_ESCAPE, 27}, {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_SPACE, 32},
        {SDLK_s, 'S'},     {SDLK_z, 90},      {SDLK_0, 48}};
    for (auto [key, code] : keys) {
        handleEvent(keyEvent(SDL_KEYDOWN, key));
        EXPECT_EQ(eventState.keys[code], 1) << code;
        handleEvent(keyEvent(SDL_KEYUP, key));
        EXPECT_EQ(eventState.keys[code], 0) << code;
    }
    // Keys pressed with Alt belong to the window system.
    handleEvent(keyEvent(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT));
    handleEvent(keyEvent(SDL_KEYDOWN, SDLK_F4, KMOD_LALT));
    handleEvent(keyEvent(SDL_KEYDOWN, SDLK_s, KMOD_RALT));
    for (uint8_t key : eventState.keys) ASSERT_EQ(key, 0);

    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = 300, event.motion.y = 200, event.motion.state = SDL_BUTTON_LMASK;
    handleEvent(event);
    EXPECT_EQ(eventState.mouseX, 300);
    EXPECT_EQ(eventState.mouseY, 200);
    EXPECT_TRUE(eventState.leftButton);
    event = {};
    event.type = SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_LEFT;
    handleEvent(event);
    EXPECT_FALSE(eventState.leftButton);
}

TEST_F(EventsTest, TheWindowClosesOnlyWhenTheProgramCloses) {
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    handleEvent(quit);
    handleEvent(windowEvent(SDL_WINDOWEVENT_CLOSE));
    EXPECT_TRUE(eventState.running);
    closeMainWindow();
    EXPECT_TRUE(eventState.closing);
    EXPECT_FALSE(eventState.running);
    closeMainWindow(); // a second close does nothing
    EXPECT_FALSE(eventState.running);
}

// A controller's buttons press the keys they stand for, as a keyboard does (a tap within a
// batch of events stays down for the next frame); the others press nothing.
TEST_F(EventsTest, ControllerButtonsPressTheirKeys) {
    int expected[SDL_CONTROLLER_BUTTON_MAX];
    std::fill(std::begin(expected), std::end(expected), -1);
    expected[SDL_CONTROLLER_BUTTON_A] = kKeySpace;
    expected[SDL_CONTROLLER_BUTTON_START] = kKeySpace;
    expected[SDL_CONTROLLER_BUTTON_B] = kKeyEscape;
    expected[SDL_CONTROLLER_BUTTON_BACK] = kKeyEscape;
    expected[SDL_CONTROLLER_BUTTON_LEFTSHOULDER] = kKeyLeft;
    expected[SDL_CONTROLLER_BUTTON_DPAD_LEFT] = kKeyLeft;
    expected[SDL_CONTROLLER_BUTTON_RIGHTSHOULDER] = kKeyRight;
    expected[SDL_CONTROLLER_BUTTON_DPAD_RIGHT] = kKeyRight;
    serveControllersFromPump(handleControllerEvent);
    SDL_Event event = {};
    for (int button = SDL_CONTROLLER_BUTTON_INVALID; button <= SDL_CONTROLLER_BUTTON_MAX;
         ++button) {
        bool known = button >= 0 && button < SDL_CONTROLLER_BUTTON_MAX;
        int key = known ? expected[button] : -1;
        EXPECT_EQ(keyForControllerButton(button), key) << button;
        event.cbutton.button = Uint8(button);
        event.type = SDL_CONTROLLERBUTTONDOWN;
        handleEvent(event);
        if (key >= 0) {
            EXPECT_EQ(eventState.keys[key], 1) << button;
        }
        event.type = SDL_CONTROLLERBUTTONUP;
        handleEvent(event);
        for (uint8_t down : eventState.keys) ASSERT_EQ(down, 0) << button;
    }
    // A tap between two frames.
    beginEventBatch();
    event.cbutton.button = SDL_CONTROLLER_BUTTON_A;
    for (Uint32 type : {SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLERBUTTONUP}) {
        event.type = type;
        handleEvent(event);
    }
    endEventBatch();
    EXPECT_EQ(eventState.keys[kKeySpace], 1);
    beginEventBatch();
    endEventBatch();
    EXPECT_EQ(eventState.keys[kKeySpace], 0);
}

// The stick's tilt: nothing within the dead zone, from 0 at its edge to 1 at either end.
TEST(ControllerStick, TiltWithItsDeadZone) {
    const struct {
        int16_t axis;
        float tilt;
    } cases[] = {{-32768, -1.0f}, {-8001, -1.0f / 24768}, {-8000, -0.0f}, {-7999, 0.0f},
                 {0, 0.0f},       {7999, 0.0f},           {8000, 0.0f},   {8001, 1.0f / 24767},
                 {20384, 0.5f},   {32767, 1.0f}};
    for (const auto& c : cases) EXPECT_NEAR(stickTilt(c.axis), c.tilt, 1e-4f) << c.axis;
}

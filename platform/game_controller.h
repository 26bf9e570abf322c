// Game controllers through SDL's GameController interface, plugged in and out at any time.
// A button the demo knows presses the key it stands for in the key table, so that it does
// what that key does wherever the key is read (batch runs too): A and Start are Space (pause,
// and confirm the gamma screen), B and Back are Escape, the shoulders and the d-pad's left and
// right are the arrow keys (seek). The left stick's sideways tilt is kept for the gamma slider.
// The dialogs are not driven by controllers.
#pragma once

#include <SDL.h>

#include <cstdint>

// The key code a controller button presses (an SDL_GameControllerButton); -1 for none.
int keyForControllerButton(int button);
// A stick's axis value (-32768..32767) as a tilt of -1..1; 0 within the dead zone around the
// centre, and growing from 0 at its edge to 1 at the end.
inline constexpr int16_t kStickDeadZone = 8000;
float stickTilt(int16_t axis);

inline constexpr int32_t kMaxControllers = 8;

struct ControllerState {
    bool started = false;                           // the subsystem is up
    SDL_GameController* open[kMaxControllers] = {}; // the controllers plugged in
    float leftStickX = 0.0f;                        // of the last controller moved
};
extern ControllerState controllerState;

// Starts SDL's controller subsystem (the controllers plugged in arrive as added events); a
// system without one goes on without controllers.
void startControllers();
void stopControllers();
// Takes a controller event (added, removed, button, axis); false for other events.
bool handleControllerEvent(const SDL_Event& event);
// The left stick's sideways tilt now (-1..1).
float controllerStickX();

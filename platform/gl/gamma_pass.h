// The picture's last pass on its way to the window, where the gamma cannot go through the
// display's ramp: the finished frame is drawn into the window's back buffer, scaled to an
// area of it, with every colour channel looked up in the ramp's 256 steps. A small shader
// program in the window's context; a driver without one leaves the gamma to the ramp.
#pragma once

#include <cstdint>

struct GammaPassState {
    bool ready = false;   // the program and the curve exist in the window's context
    bool curved = false;  // the curve is not the identity: frames must take the pass
    uint32_t program = 0; // draws the frame through the curve
    // 256 x 256 texture of two channels: texel (x, y) holds the steps of x and of y, so that
    // one look-up serves red and green, a second one blue.
    uint32_t curve = 0;
    int32_t pictureAt = 0; // uniform locations of the two samplers
    int32_t curveAt = 0;
    uint8_t steps[256] = {}; // the curve as set, for tests and for a context made again
};
extern GammaPassState gammaPass;

// In the window's context: makes the program and the identity curve. False where the driver
// has no shader programs.
bool startGammaPass();
void stopGammaPass();
// The curve: step i is what a channel of value i becomes.
void setGammaPassCurve(const uint8_t steps[256]);
// Draws the colour texture of a width x height frame into the rectangle (x, y, areaWidth,
// areaHeight) of the current framebuffer of the stack (origin bottom left), through the curve;
// smoothed where the size changes. The GL state is left as it was.
void drawGammaPass(uint32_t texture, int width, int height, int x, int y, int areaWidth,
                   int areaHeight);

// The gamma calibration screen's slider and label, without GL: the slider position s
// (-0.49..0.49, gamma = (0.5 - s) * 2, so the centre is gamma 1), the hit test, the drag, the
// clamp, the creep back towards the centre while the display refuses the ramp, the label and
// its blink, the grey of the letter row and the pulsing pointer. Coordinates are the 2D quad
// units of the screen (x -1..1 from the left, y 1..-1 from the top).
#pragma once

#include <cstdint>
#include <string>

inline constexpr float kSliderLimit = 0.49f;
inline constexpr float kSliderCreep = 0.0001f;
inline constexpr float kSliderTop = -0.05f;
inline constexpr float kLabelFontSize = 0.02f;
inline constexpr int32_t kLetterCount = 26;

struct GammaSlider {
    float position = 0.0f; // s
    bool dragging = false;
    float grabX = 0.0f; // mouse x at the last drag step
};

// The slider for a gamma setting: s = 0.5 - gamma * 0.5, not dragged.
GammaSlider gammaSliderFor(float gamma);
float gammaForSlider(float position);

// The mouse in quad units from its position in the window (pixels, y downwards).
void mouseToQuadUnits(int mouseX, int mouseY, int width, int height, float& mx, float& my);

// The slider's knob is under the mouse: s - 0.08 < mx < s + 0.1 and
// -0.05 - 0.16 * aspect < my < -0.05.
bool sliderHit(float position, float mx, float my, float aspect);
// One frame of dragging: released, a drag stops; while dragging the slider follows the mouse
// anywhere; a press on the knob starts a drag. Then the clamp to +-0.49.
void dragSlider(GammaSlider& slider, bool leftButton, float mx, float my, float aspect);
float clampSlider(float position);
// A controller's stick tilt (-1..1) moves the slider at up to kStickSliderSpeed units a second
// over a frame of frameMs, clamped; a drag with the mouse goes first.
inline constexpr float kStickSliderSpeed = 0.5f;
void tiltSlider(GammaSlider& slider, float tilt, uint32_t frameMs);
// 0.0001 towards the centre (to the right from the centre itself).
float creepTowardsCentre(float position);

// The slider's frame after the drag: the gamma applied through `apply` (true when the display
// took the ramp), and on a refusal the slider moved back a little.
struct GammaApplied {
    float gamma = 1.0f;
    bool refused = false;
};
GammaApplied applySliderGamma(GammaSlider& slider, bool (*apply)(float gamma));

// The label under the slider: 2 - gamma with at most six significant digits while dragging;
// otherwise "MOVE THE SLIDER" in the even 300 ms periods of the tick count and nothing in the
// odd ones; after a refusal, the failure note in front.
std::string gammaLabel(float gamma, bool dragging, uint32_t tickMs, bool refused);
// The label's left edge, centred on the slider by its character count.
float gammaLabelX(float position, size_t length);

// Grey of letter i of the row: i * 0.04 * 0.5, from black to 0.5.
float letterGrey(int32_t i);
// Alpha of the mouse pointer: sin(tick * 0.00333333)^2 * 0.4 + 0.6.
float pointerAlpha(uint32_t tickMs);

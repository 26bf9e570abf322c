#include "app/gamma_slider.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kMoveTheSlider = "MOVE THE SLIDER";
constexpr const char* kRampRefused = "SetDeviceGammaRamp()\nfailed! Correcting..\n";
constexpr uint32_t kBlinkHalfPeriodMs = 300;

} // namespace

GammaSlider gammaSliderFor(float gamma) {
    GammaSlider slider;
    slider.position = 0.5f - gamma * 0.5f;
    return slider;
}

float gammaForSlider(float position) {
    return (0.5f - position) * 2.0f;
}

void mouseToQuadUnits(int mouseX, int mouseY, int width, int height, float& mx, float& my) {
    float x = width > 0 ? static_cast<float>(mouseX) / static_cast<float>(width) : 0.0f;
    float y = height > 0 ? static_cast<float>(mouseY) / static_cast<float>(height) : 0.0f;
    mx = 2.0f * x - 1.0f;
    my = 1.0f - 2.0f * y;
}

bool sliderHit(float position, float mx, float my, float aspect) {
    return mx > position - 0.08f && mx < position + 0.1f && my > kSliderTop - 0.16f * aspect &&
           my < kSliderTop;
}

void dragSlider(GammaSlider& slider, bool leftButton, float mx, float my, float aspect) {
    if (!leftButton) slider.dragging = false;
    bool hit = sliderHit(slider.position, mx, my, aspect);
    if (slider.dragging) {
        slider.position += mx - slider.grabX;
        slider.grabX = mx;
    } else if (hit && leftButton) {
        slider.dragging = true;
        slider.grabX = mx;
    }
    slider.position = clampSlider(slider.position);
}

float clampSlider(float position) {
    if (position < -kSliderLimit) return -kSliderLimit;
    if (position > kSliderLimit) return kSliderLimit;
    return position;
}

float creepTowardsCentre(float position) {
    return position > 0.0f ? position - kSliderCreep : position + kSliderCreep;
}

GammaApplied applySliderGamma(GammaSlider& slider, bool (*apply)(float gamma)) {
    GammaApplied applied;
    applied.gamma = gammaForSlider(slider.position);
    applied.refused = !apply(applied.gamma);
    if (applied.refused) slider.position = creepTowardsCentre(slider.position);
    return applied;
}

std::string gammaLabel(float gamma, bool dragging, uint32_t tickMs, bool refused) {
    std::string text;
    if (dragging) {
        char number[32];
        std::snprintf(number, sizeof number, "%g", static_cast<double>(2.0f - gamma));
        text = number;
    } else if ((tickMs / kBlinkHalfPeriodMs) % 2 == 0) {
        text = kMoveTheSlider;
    }
    if (refused) text = kRampRefused + text;
    return text;
}

float gammaLabelX(float position, size_t length) {
    return position - static_cast<float>(length) * 0.5f * kLabelFontSize;
}

float letterGrey(int32_t i) {
    return static_cast<float>(i) * 0.04f * 0.5f;
}

float pointerAlpha(uint32_t tickMs) {
    float wave = std::sin(static_cast<float>(tickMs) * 0.00333333f);
    return wave * wave * 0.4f + 0.6f;
}

void tiltSlider(GammaSlider& slider, float tilt, uint32_t frameMs) {
    if (slider.dragging || tilt == 0.0f) return;
    float step = tilt * kStickSliderSpeed * static_cast<float>(frameMs) / 1000.0f;
    slider.position = clampSlider(slider.position + step);
}

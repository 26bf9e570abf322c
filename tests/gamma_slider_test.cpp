// The gamma screen's slider: position and gamma, the knob's hit area, dragging and its
// limits, the creep back while the display refuses the ramp, the label and its blink.
#include "app/gamma_slider.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/window.h"

namespace {

constexpr float kAspect = 4.0f / 3.0f;

// The display's answers, one per call.
bool displayAccepts = true;
int applyCalls = 0;
float lastApplied = 0.0f;
bool fakeApply(float gamma) {
    ++applyCalls;
    lastApplied = gamma;
    return displayAccepts;
}

} // namespace

TEST(GammaSlider, PositionAndGamma) {
    EXPECT_FLOAT_EQ(gammaSliderFor(1.0f).position, 0.0f);
    EXPECT_FLOAT_EQ(gammaSliderFor(0.5f).position, 0.25f);
    EXPECT_FALSE(gammaSliderFor(1.0f).dragging);
    EXPECT_FLOAT_EQ(gammaForSlider(0.0f), 1.0f);
    // The ends of the slider: 0.02 on the right, 1.98 on the left.
    EXPECT_NEAR(gammaForSlider(0.49f), 0.02f, 1e-6f);
    EXPECT_NEAR(gammaForSlider(-0.49f), 1.98f, 1e-6f);
    // At the right end every entry above 0 is close to full; the centre is the identity.
    GammaRamp bright = buildGammaRamp(gammaForSlider(0.49f));
    EXPECT_EQ(bright.red[0], 0);
    EXPECT_GE(bright.red[1], 220 * 256);
    GammaRamp identity = buildGammaRamp(gammaForSlider(gammaSliderFor(1.0f).position));
    for (int i = 0; i < 256; ++i) ASSERT_EQ(identity.red[i], i * 256);
}

TEST(GammaSlider, MouseAndKnobHitArea) {
    float mx = 0.0f, my = 0.0f;
    mouseToQuadUnits(0, 0, 800, 600, mx, my);
    EXPECT_FLOAT_EQ(mx, -1.0f);
    EXPECT_FLOAT_EQ(my, 1.0f);
    mouseToQuadUnits(400, 300, 800, 600, mx, my);
    EXPECT_FLOAT_EQ(mx, 0.0f);
    EXPECT_FLOAT_EQ(my, 0.0f);
    mouseToQuadUnits(800, 600, 800, 600, mx, my);
    EXPECT_FLOAT_EQ(mx, 1.0f);
    EXPECT_FLOAT_EQ(my, -1.0f);

    // The knob spans s - 0.08 .. s + 0.1 across and -0.05 - 0.16 * aspect .. -0.05 down.
    EXPECT_TRUE(sliderHit(0.0f, 0.0f, -0.1f, kAspect));
    EXPECT_TRUE(sliderHit(0.2f, 0.29f, -0.26f, kAspect));
    EXPECT_FALSE(sliderHit(0.2f, 0.3f, -0.1f, kAspect));
    EXPECT_FALSE(sliderHit(0.2f, 0.12f, -0.1f, kAspect));
    EXPECT_FALSE(sliderHit(0.0f, 0.0f, -0.05f, kAspect));
    EXPECT_FALSE(sliderHit(0.0f, 0.0f, -0.27f, kAspect));
}

TEST(GammaSlider, DragStartsOnTheKnobAndFollowsTheMouseAnywhere) {
    GammaSlider slider = gammaSliderFor(1.0f);
    // A press beside the knob does nothing.
    dragSlider(slider, true, 0.4f, -0.1f, kAspect);
    EXPECT_FALSE(slider.dragging);
    EXPECT_FLOAT_EQ(slider.position, 0.0f);
    // Moving over the knob with the button still held starts the drag there, without a jump.
    dragSlider(slider, true, 0.05f, -0.1f, kAspect);
    EXPECT_TRUE(slider.dragging);
    EXPECT_FLOAT_EQ(slider.position, 0.0f);
    EXPECT_FLOAT_EQ(slider.grabX, 0.05f);
    // Off the knob and far above it, the slider still follows.
    dragSlider(slider, true, 0.25f, 0.8f, kAspect);
    EXPECT_TRUE(slider.dragging);
    EXPECT_NEAR(slider.position, 0.2f, 1e-6f);
    // Released: the drag ends and the slider stays.
    dragSlider(slider, false, -0.5f, 0.8f, kAspect);
    EXPECT_FALSE(slider.dragging);
    EXPECT_NEAR(slider.position, 0.2f, 1e-6f);
}

TEST(GammaSlider, DraggingPastTheEndsStopsAtTheLimits) {
    GammaSlider slider = gammaSliderFor(1.0f);
    dragSlider(slider, true, 0.0f, -0.1f, kAspect);
    dragSlider(slider, true, 0.9f, -0.1f, kAspect);
    EXPECT_FLOAT_EQ(slider.position, 0.49f);
    dragSlider(slider, true, -0.9f, -0.1f, kAspect);
    EXPECT_FLOAT_EQ(slider.position, -0.49f);
    EXPECT_FLOAT_EQ(clampSlider(-0.5f), -0.49f);
    EXPECT_FLOAT_EQ(clampSlider(0.4901f), 0.49f);
    EXPECT_FLOAT_EQ(clampSlider(0.3f), 0.3f);
    // A gamma outside the slider's range starts clamped after the first frame.
    GammaSlider wide = gammaSliderFor(2.5f);
    dragSlider(wide, false, 0.0f, 0.0f, kAspect);
    EXPECT_FLOAT_EQ(wide.position, -0.49f);
}

// A controller's stick moves the slider by its tilt and the frame's time, up to the ends; a
// drag with the mouse goes first.
TEST(GammaSlider, StickMovesTheSliderWithinItsEnds) {
    const struct {
        float position, tilt;
        uint32_t frameMs;
        bool dragging;
        float expected;
    } cases[] = {
        {0.0f, 1.0f, 40, false, 0.02f},     {0.0f, -1.0f, 40, false, -0.02f},
        {0.0f, 0.5f, 1000, false, 0.25f},   {0.48f, 1.0f, 40, false, 0.49f},
        {-0.48f, -1.0f, 40, false, -0.49f}, {0.49f, 1.0f, 1000, false, 0.49f},
        {0.1f, 0.0f, 40, false, 0.1f},      {0.1f, 1.0f, 0, false, 0.1f},
        {0.1f, 1.0f, 40, true, 0.1f},
    };
    for (const auto& c : cases) {
        GammaSlider slider;
        slider.position = c.position, slider.dragging = c.dragging;
        tiltSlider(slider, c.tilt, c.frameMs);
        EXPECT_NEAR(slider.position, c.expected, 1e-6f) << c.position << " " << c.tilt;
    }
}

TEST(GammaSlider, RefusedRampCreepsBackTowardsTheCentre) {
    GammaSlider slider;
    slider.position = 0.3f;
    displayAccepts = true;
    applyCalls = 0;
    GammaApplied applied = applySliderGamma(slider, fakeApply);
    EXPECT_FALSE(applied.refused);
    EXPECT_NEAR(applied.gamma, 0.4f, 1e-6f);
    EXPECT_FLOAT_EQ(slider.position, 0.3f);

    displayAccepts = false;
    applied = applySliderGamma(slider, fakeApply);
    EXPECT_TRUE(applied.refused);
    EXPECT_NEAR(applied.gamma, 0.4f, 1e-6f); // the gamma tried this frame
    EXPECT_NEAR(slider.position, 0.2999f, 1e-6f);
    for (int i = 0; i < 99; ++i) applySliderGamma(slider, fakeApply);
    EXPECT_NEAR(slider.position, 0.29f, 1e-5f);
    EXPECT_EQ(applyCalls, 101);

    slider.position = -0.2f;
    applySliderGamma(slider, fakeApply);
    EXPECT_NEAR(slider.position, -0.1999f, 1e-6f);
    EXPECT_NEAR(lastApplied, 1.4f, 1e-6f);
    slider.position = 0.0f; // the centre itself moves right
    applySliderGamma(slider, fakeApply);
    EXPECT_NEAR(slider.position, 0.0001f, 1e-7f);
}

TEST(GammaSlider, LabelShowsTwoMinusGammaWhileDragging) {
    EXPECT_EQ(gammaLabel(1.0f, true, 0, false), "1");
    EXPECT_EQ(gammaLabel(gammaForSlider(0.1f), true, 0, false), "1.2");
    EXPECT_EQ(gammaLabel(gammaForSlider(0.49f), true, 0, false), "1.98");
    EXPECT_EQ(gammaLabel(gammaForSlider(-0.49f), true, 0, false), "0.02");
    // Six significant digits at most.
    EXPECT_EQ(gammaLabel(2.0f - 1.2345678f, true, 0, false), "1.23457");
    EXPECT_EQ(gammaLabel(2.0f, true, 0, false), "0");
}

TEST(GammaSlider, LabelBlinksUntilTheSliderIsDragged) {
    EXPECT_EQ(gammaLabel(1.0f, false, 0, false), "MOVE THE SLIDER");
    EXPECT_EQ(gammaLabel(1.0f, false, 299, false), "MOVE THE SLIDER");
    EXPECT_EQ(gammaLabel(1.0f, false, 300, false), "");
    EXPECT_EQ(gammaLabel(1.0f, false, 599, false), "");
    EXPECT_EQ(gammaLabel(1.0f, false, 600, false), "MOVE THE SLIDER");
    EXPECT_EQ(gammaLabel(1.0f, false, 4294967295u, false), ""); // 14316557 periods: odd
    // A refused ramp puts the note in front of whatever the label says.
    EXPECT_EQ(gammaLabel(1.0f, false, 300, true), "SetDeviceGammaRamp()\nfailed! Correcting..\n");
    EXPECT_EQ(gammaLabel(1.0f, true, 300, true), "SetDeviceGammaRamp()\nfailed! Correcting..\n1");
    // Centred on the slider by its character count.
    EXPECT_FLOAT_EQ(gammaLabelX(0.0f, 15), -0.15f);
    EXPECT_FLOAT_EQ(gammaLabelX(0.2f, 1), 0.19f);
    EXPECT_FLOAT_EQ(gammaLabelX(0.2f, 0), 0.2f);
}

TEST(GammaSlider, LetterGreysAndPointerPulse) {
    EXPECT_FLOAT_EQ(letterGrey(0), 0.0f);
    EXPECT_NEAR(letterGrey(7), 0.14f, 1e-6f); // "h"
    EXPECT_NEAR(letterGrey(8), 0.16f, 1e-6f); // "i"
    EXPECT_NEAR(letterGrey(25), 0.5f, 1e-6f); // "z"
    EXPECT_FLOAT_EQ(pointerAlpha(0), 0.6f);
    float peak = static_cast<float>(M_PI / 2 / 0.00333333);
    EXPECT_NEAR(pointerAlpha(static_cast<uint32_t>(peak)), 1.0f, 1e-4f);
    for (uint32_t t = 0; t < 3000; t += 7) {
        ASSERT_GE(pointerAlpha(t), 0.6f);
        ASSERT_LE(pointerAlpha(t), 1.0f);
    }
}

#include "app/gamma_screen.h"

#include <GL/gl.h>

#include <string>

#include "app/automation.h"
#include "app/demo_state.h"
#include "app/gamma_slider.h"
#include "app/timeline.h"
#include "config/configuration.h"
#include "platform/events.h"
#include "platform/game_controller.h"
#include "platform/system/failure.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"
#include "render/font2d.h"
#include "render/render_state.h"

namespace {

constexpr const char* kHeading = "Bitte stelle zuerst die perfekte Helligkeit ein!\n"
                                 "First, please adjust the perfect gamma correction!";
constexpr const char* kContinue = "CONTINUE WITH ENTER";
constexpr const char* kHintI = "Das \"I\" soll kaum sichtbar und                  "
                               "The \"I\" should be barely and";
constexpr const char* kHintH = "das \"H\" nicht erkennbar sein!                   "
                               "the \"H\" not at all visible!";

// The gamma setting follows the slider; the display gets the ramp at once.
bool applyConfiguredGamma(float gamma) {
    configState.record.block1.gamma = gamma;
    return applyGammaRamp(gamma);
}

void drawTexts() {
    const float lineSpacingLarge = 0.03f, lineSpacingSmall = 0.01f;
    glColor3f(1.0f, 1.0f, 1.0f);
    setTextLayout(0.035f, 0.0f, lineSpacingLarge);
    drawText(-0.95f, 0.92f, kHeading);
    glColor3f(0.8f, 0.8f, 0.8f);
    setTextLayout(0.025f, 0.0f, lineSpacingSmall);
    drawText(0.48f, -0.9f, kContinue);
    glColor3f(1.0f, 0.0f, 1.0f);
    drawText(-0.95f, 0.2f, kHintI);
    drawText(-0.95f, 0.15f, kHintH);
}

// 26 letters from black to half grey: the darkest ones should just vanish.
void drawLetterRow() {
    setTextLayout(0.07f, 0.0f, overlay2D.font.lineSpacing);
    for (int32_t i = 0; i < kLetterCount; ++i) {
        float c = letterGrey(i);
        glColor3f(c, c, c);
        char letter[2] = {static_cast<char>('a' + i), '\0'};
        drawText(static_cast<float>(i) * 0.0769231f - 1.0f, 0.05f, letter);
    }
}

void drawSlider(float position) {
    float aspect = renderState.aspect;
    glColor3f(1.0f, 0.0f, 1.0f);
    drawTextureQuad(demoState.textures.gammaLine, -0.5f, -0.05f, 1.0f, 0.1f * aspect);
    setBlending(true);
    drawTextureQuad(demoState.textures.gammaSlider, position - 0.08f, -0.05f, 0.16f,
                    0.16f * aspect);
    setBlending(false);
}

void drawLabel(const GammaSlider& slider, float gamma, bool refused) {
    std::string label = gammaLabel(gamma, slider.dragging, tickCount(), refused);
    setTextLayout(kLabelFontSize, 0.0f, overlay2D.font.lineSpacing);
    drawText(gammaLabelX(slider.position, label.size()), -0.3f, label);
}

void drawPointer(float mx, float my) {
    float aspect = renderState.aspect;
    glColor4f(1.0f, 1.0f, 1.0f, pointerAlpha(tickCount()));
    setBlending(true);
    drawTextureQuad(demoState.textures.cursor, mx - 0.05f, my + 0.05f * aspect, 0.2f,
                    0.2f * aspect);
    setBlending(false);
}

} // namespace

void runGammaScreen() {
    if (!eventState.running || stopRequested() || sequenceSkippedBySeek(Sequence::Gamma)) return;
    GammaSlider slider = gammaSliderFor(configState.record.block1.gamma);
    overlay2D.font.spacing = 0.0f;
    resetClock(sequenceStartMs(Sequence::Gamma));
    bool leave = false;
    do {
        uint32_t t = eventState.clock.elapsed;
        timelineFrameStart(Sequence::Gamma, t);
        clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        float mx = 0.0f, my = 0.0f;
        // The mouse is in pixels of the window's frame, at whatever size it is drawn.
        mouseToQuadUnits(eventState.mouseX, eventState.mouseY, currentViewWidth(),
                         currentViewHeight(), mx, my);
        drawTexts();
        drawLetterRow();
        drawSlider(slider.position);
        dragSlider(slider, eventState.leftButton, mx, my, renderState.aspect);
        tiltSlider(slider, controllerStickX(), eventState.clock.frameDelta);
        GammaApplied applied = applySliderGamma(slider, applyConfiguredGamma);
        drawLabel(slider, applied.gamma, applied.refused);
        drawPointer(mx, my);
        timelineFrameDrawn(Sequence::Gamma, t);
        swapMainWindow();
        pumpMessages();
        waitWhileInactive();
        tickClock();
        if (eventState.keys[kKeyEnter] != 0 || eventState.keys[kKeySpace] != 0) leave = true;
        // Unattended runs take the configured gamma after one frame, unless a key for this
        // screen is planned: it then waits for that key.
        if (failureState.batch && !keysPlannedFor(Sequence::Gamma)) leave = true;
        // A stop signal ends the screen as its keys would.
    } while (eventState.running && !leave && !stopRequested());
    waitMs(200);
    clearKeys();
}

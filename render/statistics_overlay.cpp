#include "platform/events.h"
#include "render/font2d.h"
#include "render/render_state.h"
#include "render/statistics.h"

#include <GL/gl.h>

void drawStatisticsOverlay(const StatisticsInputs& inputs) {
    advanceStatisticsPage(eventState.clock.now);
    if (statisticsState.page == 0) return;
    std::string text = statisticsOverlayText(statisticsState.page, inputs);
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The long page shrinks to fit a window too short for it at the full size.
    const StatisticsLayout layout = statisticsLayout(text, renderState.aspect);
    setTextLayout(layout.size, 0.0f, layout.lineSpacing);
    // Thin white text stays readable over bright walls at any window size.
    drawTextBacking(-0.98f, 0.98f, text, 0.01f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawText(-0.98f, 0.98f, text);
    setBlending(false);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE); // back to the engine's additive default
}

#include "render/target_passes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "render/font2d.h"
#include "render/footprint.h"
#include "render/render_state.h"
#include "render/texture_modes.h"

namespace {

void drawFullView(PixelBufferTarget& source) {
    drawTargetQuad(source, -1.0f, 1.0f, 2.0f, 2.0f);
}

void orthoIdentity(PixelBufferTarget& target) {
    makeTargetCurrent(target);
    setOrthoView(target.width, target.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

PixelBufferTarget& blurPasses(PixelBufferTarget& a, PixelBufferTarget& b, int32_t passes,
                              float spread, float intensity) {
    orthoIdentity(a);
    orthoIdentity(b);
    PixelBufferTarget* result = &a;
    Quad2DState& quad = overlay2D.quad;
    float inset = spread;
    for (int32_t i = 0; i < passes; ++i) {
        PixelBufferTarget& source = i % 2 == 0 ? a : b;
        PixelBufferTarget& destination = i % 2 == 0 ? b : a;
        makeTargetCurrent(destination);
        glColor4f(intensity, intensity, intensity, 1.0f);
        drawFullView(source);
        glColor4f(1.0f, 1.0f, 1.0f, intensity);
        setBlending(true);
        quad.insetU = quad.insetV = inset;
        drawFullView(source);
        setBlending(false);
        quad.insetU = quad.insetV = 0.0f;
        inset /= 2.0f;
        result = &destination;
    }
    makeWindowCurrent();
    return *result;
}

namespace {

// The current view's size in pixels: the current target's, else the window's.
void currentViewSize(int32_t& width, int32_t& height) {
    const PixelBufferTarget* target = renderTargets.current;
    width = target != nullptr ? target->width : currentViewWidth();
    height = target != nullptr ? target->height : currentViewHeight();
}

bool blackBackground(const PixelBufferTarget& target) {
    return target.bounded && target.background[0] == 0.0f && target.background[1] == 0.0f &&
           target.background[2] == 0.0f;
}

// One glow pass drawn only where it can differ from the background: the target is cleared to
// the background, then drawn through the scissor.
template <typename Draw>
void drawBoundedPass(PixelBufferTarget& target, PixelRect region, const float background[4],
                     Draw draw) {
    glClearColor(background[0], background[1], background[2], background[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!region.empty()) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(region.x0, region.y0, region.x1 - region.x0, region.y1 - region.y0);
        draw();
        glDisable(GL_SCISSOR_TEST);
    }
    boundTargetContent(target, region, background);
}

} // namespace

PixelRect quadFootprint(const PixelBufferTarget& target, float x, float y, float w, float h,
                        int32_t viewWidth, int32_t viewHeight, float lodBias) {
    if (!target.bounded) return PixelRect{0, 0, viewWidth, viewHeight};
    const Quad2DState& quad = overlay2D.quad;
    // The quad's edges in view pixels and the texture coordinates there, as the 2D drawing
    // sets them up (x from -1 at the left, y from -1 at the bottom).
    float left = (x + 1.0f) * 0.5f * float(viewWidth);
    float right = (x + w + 1.0f) * 0.5f * float(viewWidth);
    float top = (y + 1.0f) * 0.5f * float(viewHeight);
    float bottom = (y - h + 1.0f) * 0.5f * float(viewHeight);
    float uLeft = quad.insetU, uRight = 1.0f - quad.insetU;
    float vTop = quad.flip ? 1.0f - quad.insetV : quad.insetV;
    float vBottom = quad.flip ? quad.insetV : 1.0f - quad.insetV;
    if (right - left < 1.0f || top - bottom < 1.0f || uRight <= uLeft || vTop == vBottom)
        return PixelRect{0, 0, viewWidth, viewHeight};
    float texelsPerPixel =
        std::max(float(target.width) * (uRight - uLeft) / (right - left),
                 float(target.height) * std::fabs(vTop - vBottom) / (top - bottom));
    if (target.content.empty()) return PixelRect{};
    int32_t reach = samplingReach(texelsPerPixel, lodBias, target.mipmapped,
                                  std::max(target.width, target.height));
    PixelRect texels = grownRect(target.content, reach, target.width, target.height);
    // A repeating texture reaches round to the far side from an edge it comes near.
    if (!target.clamped) {
        const PixelRect& c = target.content;
        if (c.x0 - reach < 0 || c.x1 + reach > target.width)
            texels.x0 = 0, texels.x1 = target.width;
        if (c.y0 - reach < 0 || c.y1 + reach > target.height)
            texels.y0 = 0, texels.y1 = target.height;
    }
    // Texel edges to view pixels through the quad's linear mapping, outward to whole pixels.
    auto viewX = [&](int32_t texel) {
        return left +
               (float(texel) / float(target.width) - uLeft) / (uRight - uLeft) * (right - left);
    };
    auto viewY = [&](int32_t texel) {
        return bottom +
               (float(texel) / float(target.height) - vBottom) / (vTop - vBottom) * (top - bottom);
    };
    float xa = viewX(texels.x0), xb = viewX(texels.x1);
    float ya = viewY(texels.y0), yb = viewY(texels.y1);
    PixelRect pixels{int32_t(std::floor(std::min(xa, xb))), int32_t(std::floor(std::min(ya, yb))),
                     int32_t(std::ceil(std::max(xa, xb))), int32_t(std::ceil(std::max(ya, yb)))};
    return grownRect(pixels, 1, viewWidth, viewHeight);
}

bool scissorToTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h,
                         float lodBias) {
    if (!blackBackground(target)) return false;
    int32_t viewWidth = 0, viewHeight = 0;
    currentViewSize(viewWidth, viewHeight);
    PixelRect pixels = quadFootprint(target, x, y, w, h, viewWidth, viewHeight, lodBias);
    glEnable(GL_SCISSOR_TEST);
    glScissor(pixels.x0, pixels.y0, std::max(pixels.x1 - pixels.x0, 0),
              std::max(pixels.y1 - pixels.y0, 0));
    return true;
}

PixelBufferTarget& glowPasses(PixelBufferTarget& source, PixelBufferTarget& middle,
                              PixelBufferTarget& destination, float intensity, const float tint[3],
                              float lodBias) {
    // Outside a bounded source on black, the extraction gives black with the primary colour's
    // alpha, 1, and the spread keeps the texture's alpha: only the rectangles within sampling
    // reach of the source's content can differ from that, and only they are drawn.
    bool bounded = blackBackground(source);
    const float background[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    PixelRect middleRegion =
        quadFootprint(source, -1.0f, 1.0f, 2.0f, 2.0f, middle.width, middle.height, 0.0f);

    makeTargetCurrent(middle);
    setTargetPerspective(middle);
    glColor4f(intensity, intensity, intensity, 1.0f);
    auto extract = [&] {
        drawTwoTargetQuad(source, source, -1.0f, 1.0f, 2.0f, 2.0f, texModeSubtract,
                          texModePrimaryPrevious4x);
    };
    if (bounded)
        drawBoundedPass(middle, middleRegion, background, extract);
    else
        extract();
    makeWindowCurrent();

    PixelRect destinationRegion = quadFootprint(middle, -1.0f, 1.0f, 2.0f, 2.0f, destination.width,
                                                destination.height, lodBias);
    makeTargetCurrent(destination);
    setTargetPerspective(destination);
    glColor4f(tint[0], tint[1], tint[2], 1.0f);
    auto spread = [&] {
        selectTextureUnit(0);
        setTextureLodBias(lodBias);
        drawTargetQuadWithMode(middle, -1.0f, 1.0f, 2.0f, 2.0f, texModeModulatePrevious4x);
        setTextureLodBias(0.0f);
    };
    if (bounded)
        drawBoundedPass(destination, destinationRegion, background, spread);
    else
        spread();
    makeWindowCurrent();
    return destination;
}

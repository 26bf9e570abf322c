#include "render/lit_squares.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

WindowMapping currentWindowMapping() {
    double projection[16], modelview[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    WindowMapping mapping;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += projection[k * 4 + row] * modelview[column * 4 + k];
            mapping.matrix[column * 4 + row] = sum;
        }
    glGetIntegerv(GL_VIEWPORT, mapping.viewport);
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &mapping.lodBias);
    return mapping;
}

bool addedWithoutDepthWrites() {
    GLint source = 0, destination = 0, equation = 0;
    GLboolean depthWrites = GL_TRUE;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    glGetIntegerv(GL_BLEND_EQUATION, &equation);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    return glIsEnabled(GL_BLEND) && depthWrites == GL_FALSE && equation == GL_FUNC_ADD &&
           destination == GL_ONE && (source == GL_ONE || source == GL_SRC_ALPHA);
}

bool blackTexelsAddNothing() {
    GLint envMode = 0, colourControl = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL, &colourControl);
    bool secondaryColour =
        glIsEnabled(GL_COLOR_SUM) ||
        (glIsEnabled(GL_LIGHTING) && colourControl == GL_SEPARATE_SPECULAR_COLOR);
    return addedWithoutDepthWrites() && !glIsEnabled(GL_STENCIL_TEST) && !glIsEnabled(GL_FOG) &&
           !secondaryColour && (envMode == GL_MODULATE || envMode == GL_REPLACE);
}

namespace {

// Window position of a point; false when it is not in front of the eye.
bool toWindow(const WindowMapping& mapping, const Vec3& p, double& x, double& y) {
    const double* m = mapping.matrix;
    double clip[4];
    for (int row = 0; row < 4; ++row)
        clip[row] = m[row] * p.x + m[4 + row] * p.y + m[8 + row] * p.z + m[12 + row];
    if (clip[3] <= 1e-6) return false;
    x = (clip[0] / clip[3] + 1.0) * 0.5 * mapping.viewport[2];
    y = (clip[1] / clip[3] + 1.0) * 0.5 * mapping.viewport[3];
    return true;
}

} // namespace

float squareTexelsPerPixel(const WindowMapping& mapping, const Vec3 corners[4], int32_t width,
                           int32_t height) {
    double x[4], y[4];
    for (int i = 0; i < 4; ++i)
        if (!toWindow(mapping, corners[i], x[i], y[i])) return 0.0f;
    auto length = [&](int a, int b) { return std::hypot(x[b] - x[a], y[b] - y[a]); };
    // The shorter of the opposite edges: perspective can only shrink a square's far side.
    double across = std::min(length(0, 1), length(3, 2));
    double down = std::min(length(0, 3), length(1, 2));
    if (across < 1e-3 || down < 1e-3) return 0.0f;
    return float(std::max(width / across, height / down));
}

int32_t trilinearReach(float texelsPerPixel, float lodBias) {
    float lod = std::log2(std::max(texelsPerPixel, 1e-6f)) + lodBias;
    // The coarsest level a sample may blend in, half a level to spare.
    int32_t level = lod <= -1.0f ? 0 : std::clamp(int32_t(std::floor(lod)) + 2, 0, 24);
    // A level's texel averages an aligned block of 2^level texels; the lit ones reach up to a
    // block beyond the lit rectangle, and a sample blends the texels within one of it.
    return (5 << level) / 2 + 4;
}

TexturePart litTexturePart(const TextureRecord& texture, float texelsPerPixel, float lodBias) {
    if (!texture.litKnown || texelsPerPixel <= 0.0f || texture.width <= 0 || texture.height <= 0)
        return TexturePart{};
    if (texture.lit.empty()) return TexturePart{0.0f, 0.0f, 0.0f, 0.0f};
    int32_t reach = trilinearReach(texelsPerPixel, lodBias);
    const TexelRect& lit = texture.lit;
    TexturePart part;
    if (lit.x0 - reach > 0 && lit.x1 + reach < texture.width) {
        part.s0 = float(lit.x0 - reach) / float(texture.width);
        part.s1 = float(lit.x1 + reach) / float(texture.width);
    }
    if (lit.y0 - reach > 0 && lit.y1 + reach < texture.height) {
        part.t0 = float(lit.y0 - reach) / float(texture.height);
        part.t1 = float(lit.y1 + reach) / float(texture.height);
    }
    return part;
}

void partCorners(const Vec3 corners[4], const TexturePart& part, Vec3 out[4]) {
    // The square is a parallelogram: a point is the top-left corner plus s along the top edge
    // and t down the left one.
    // Edges of the part on an edge of the square keep its corners exactly.
    auto lerp = [](const Vec3& a, const Vec3& b, float f) {
        return f == 0.0f ? a : f == 1.0f ? b : a + (b - a) * f;
    };
    auto at = [&](float s, float t) {
        return lerp(lerp(corners[0], corners[1], s), lerp(corners[3], corners[2], s), t);
    };
    out[0] = at(part.s0, part.t0);
    out[1] = at(part.s1, part.t0);
    out[2] = at(part.s1, part.t1);
    out[3] = at(part.s0, part.t1);
}

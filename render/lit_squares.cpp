#include "render/lit_squares.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "render/debug_display.h"
#include "render/render_state.h"
#include "render/statistics.h"

bool addedWithoutDepthWrites() {
    const LayerState& layer = renderState.layer;
    return layer.blend && !layer.depthWrites && layer.blendDestination == GL_ONE &&
           (layer.blendSource == GL_ONE || layer.blendSource == GL_SRC_ALPHA);
}

bool blackTexelsAddNothing() {
    const LayerState& layer = renderState.layer;
    return addedWithoutDepthWrites() && !layer.fog &&
           (layer.envMode == GL_MODULATE || layer.envMode == GL_REPLACE);
}

TexturePart litTexturePart(const TextureRecord& texture, float texelsPerPixel, float lodBias) {
    if (!texture.litKnown || texelsPerPixel <= 0.0f || texture.width <= 0 || texture.height <= 0)
        return TexturePart{};
    if (texture.lit.empty()) return TexturePart{0.0f, 0.0f, 0.0f, 0.0f};
    int32_t reach =
        samplingReach(texelsPerPixel, lodBias, true, std::max(texture.width, texture.height));
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

void drawBillboard(const Vec3& centre, float halfSize, GLuint texture, const float matrix[16],
                   const TextureRecord* texels) {
    setDepthWrites(false);
    Vec3 c[4];
    billboardCornersFromMatrix(centre, halfSize, c, matrix);
    if (debugDisplay.wireframe) {
        setBlending(false);
        glBegin(GL_LINE_LOOP);
        for (int i : {0, 3, 2, 1}) glVertex3f(c[i].x, c[i].y, c[i].z);
        glEnd();
    } else {
        selectTextureUnit(0);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        TexturePart part;
        if (texels != nullptr && blackTexelsAddNothing()) {
            float texelsPerPixel =
                squareTexelsPerPixel(keptViewMapping(), c, texels->width, texels->height);
            part = litTexturePart(*texels, texelsPerPixel, renderState.layer.lodBias);
        }
        Vec3 p[4];
        partCorners(c, part, p);
        const Vec3& normal = renderState.camera.backDirection;
        glBegin(GL_TRIANGLE_STRIP);
        glNormal3f(normal.x, normal.y, normal.z);
        glTexCoord2f(part.s0, part.t0), glVertex3f(p[0].x, p[0].y, p[0].z);
        glTexCoord2f(part.s0, part.t1), glVertex3f(p[3].x, p[3].y, p[3].z);
        glTexCoord2f(part.s1, part.t0), glVertex3f(p[1].x, p[1].y, p[1].z);
        glTexCoord2f(part.s1, part.t1), glVertex3f(p[2].x, p[2].y, p[2].z);
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }
    setDepthWrites(true);
    statisticsState.frame.transparentTriangles += 2;
    statisticsState.frame.totalTriangles += 2;
}

#include "render/half_layer.h"

#include <cmath>
#include <cstdlib>

#include "render/view_stack.h"
#include "render2d_fixture.h"

namespace {

// A soft round light: white, its alpha falling off from the middle.
GLuint softLightTexture() {
    constexpr int kSide = 64;
    std::vector<uint8_t> texels(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            float dx = (float(x) + 0.5f) / kSide - 0.5f, dy = (float(y) + 0.5f) / kSide - 0.5f;
            float a = std::exp(-(dx * dx + dy * dy) * 24.0f);
            uint8_t* t = &texels[size_t(y * kSide + x) * 4];
            t[0] = t[1] = t[2] = 255, t[3] = uint8_t(std::lround(a * 255.0f));
        }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    return texture;
}

void eyeQuad(float x0, float y0, float x1, float y1, float z) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex3f(x0, y0, z);
    glTexCoord2f(1, 0), glVertex3f(x1, y0, z);
    glTexCoord2f(1, 1), glVertex3f(x1, y1, z);
    glTexCoord2f(0, 1), glVertex3f(x0, y1, z);
    glEnd();
}

struct Light {
    float x, y, radius; // in the eye's units at z = -10
};

// A view as a scene draws it: a background and, in front of the light's depth, a grey wall
// over the left half; then the lights added, whole or through a half layer.
std::vector<uint8_t> viewWithLights(OffscreenFrame& view, GLuint texture,
                                    const std::vector<Light>& lights, bool halfLayer) {
    pushView(frameView(view, 0.0f));
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    setBlending(false);
    glColor4f(0.25f, 0.25f, 0.25f, 1.0f);
    eyeQuad(-100.0f, -100.0f, 0.0f, 100.0f, -5.0f);

    HalfLayer layer;
    if (halfLayer) {
        EXPECT_TRUE(beginHalfLayer(layer, 24));
    }
    setDepthWrites(false);
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    glColor4f(0.8f, 0.7f, 0.6f, 1.0f);
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (const Light& l : lights)
        eyeQuad(l.x - l.radius, l.y - l.radius, l.x + l.radius, l.y + l.radius, -10.0f);
    glDisable(GL_TEXTURE_2D);
    setDepthWrites(true);
    endHalfLayer(layer);
    EXPECT_EQ(renderState.screenWidth, view.width) << "the view's size again";
    setBlending(false);
    glDisable(GL_DEPTH_TEST);

    std::vector<uint8_t> pixels(size_t(view.width) * view.height * 4);
    glReadPixels(0, 0, view.width, view.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    releaseHalfLayer(layer);
    popView();
    return pixels;
}

class HalfLayers : public Render2DTest {};

// Soft lights added through the half layer land where the whole ones do, as large and as
// bright, and stay behind what is in front of them; odd sides round the layer up.
TEST_F(HalfLayers, SoftLightsLandWhereTheyDoWholeAndStayBehindTheWall) {
    GLuint texture = softLightTexture();
    struct Case {
        int width, height;
        std::vector<Light> lights;
    };
    const Case cases[] = {
        {256, 128, {{-0.4f, 0.5f, 2.0f}}},                     // across the wall's edge
        {256, 128, {{2.5f, -1.0f, 1.5f}, {4.0f, 1.5f, 3.0f}}}, // two, one past the top
        {255, 127, {{1.5f, 0.0f, 1.2f}}},                      // odd sides
        {200, 150, {{0.8f, -2.0f, 2.5f}}},                     // another aspect
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        OffscreenFrame view;
        ASSERT_TRUE(createTexturedFrame(view, c.width, c.height, 24));
        std::vector<uint8_t> whole = viewWithLights(view, texture, c.lights, false);
        std::vector<uint8_t> half = viewWithLights(view, texture, c.lights, true);
        deleteOffscreenFrame(view);

        int worst = 0;
        double lightWhole = 0.0, lightHalf = 0.0;
        double xWhole = 0.0, yWhole = 0.0, xHalf = 0.0, yHalf = 0.0; // light-weighted sums
        const uint8_t background[3] = {26, 51, 77};
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                size_t i = (size_t(y) * c.width + x) * 4;
                if (x < c.width / 2 - 1) {
                    // Behind the wall nothing is added.
                    ASSERT_EQ(half[i], 64) << x << ", " << y;
                    continue;
                }
                if (x <= c.width / 2 + 2) continue; // the wall's edge, smoothed by the layer
                for (int k = 0; k < 3; ++k)
                    worst = std::max(worst, std::abs(whole[i + k] - half[i + k]));
                double w = whole[i] - background[0], h = half[i] - background[0];
                lightWhole += w, lightHalf += h;
                xWhole += w * x, yWhole += w * y, xHalf += h * x, yHalf += h * y;
            }
        EXPECT_LE(worst, 12) << "a soft light drawn at half resolution keeps its picture";
        ASSERT_GT(lightWhole, 1000.0);
        EXPECT_NEAR(lightHalf / lightWhole, 1.0, 0.02) << "as large and as bright";
        // Where the light lies: its mean column and row, weighted by the light.
        EXPECT_NEAR(xHalf / lightHalf, xWhole / lightWhole, 0.3);
        EXPECT_NEAR(yHalf / lightHalf, yWhole / lightWhole, 0.3);
    }
    glDeleteTextures(1, &texture);
}

} // namespace

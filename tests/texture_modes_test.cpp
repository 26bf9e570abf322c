#include "render/texture_modes.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gl/gl_functions.h"
#include "support/test_support.h"

namespace {

// The environment a mode leaves behind; 0 = the mode does not set it.
struct Expected {
    TextureMode mode;
    LayerTextureMode layerMode;
    GLint envMode, combineRgb, combineAlpha, scale, source0Rgb, source0Alpha, source1Rgb;
    bool whiteEnvColour;
    bool resetsTextureMatrix;
};

const Expected kModes[] = {
    {texModeSubtract, layerTexModeSubtract, GL_COMBINE_ARB, GL_SUBTRACT_ARB, GL_REPLACE, 1,
     GL_TEXTURE, GL_TEXTURE, GL_PREVIOUS_ARB, false, true},
    {texModeModulatePrevious4x, layerTexModeModulatePrevious4x, GL_COMBINE_ARB, GL_MODULATE,
     GL_REPLACE, 4, GL_TEXTURE, GL_TEXTURE, GL_PREVIOUS_ARB, false, true},
    {texModePrimaryPrevious4x, layerTexModePrimaryPrevious4x, GL_COMBINE_ARB, GL_MODULATE,
     GL_REPLACE, 4, GL_PRIMARY_COLOR_ARB, GL_PRIMARY_COLOR_ARB, GL_PREVIOUS_ARB, false, true},
    {texModeReplaceOpaque, layerTexModeReplaceOpaque, GL_COMBINE_ARB, GL_REPLACE, GL_REPLACE, 1,
     GL_TEXTURE, GL_CONSTANT_ARB, 0, true, true},
    {texModeDot3, layerTexModeDot3, GL_COMBINE_ARB, GL_DOT3_RGB_ARB, GL_REPLACE, 1, GL_TEXTURE,
     GL_CONSTANT_ARB, GL_PREVIOUS_ARB, true, false},
    {texModeModulatePrevious, layerTexModeModulatePrevious, GL_COMBINE_ARB, GL_MODULATE, GL_REPLACE,
     1, GL_TEXTURE, GL_TEXTURE, GL_PREVIOUS_ARB, false, false},
    {texModeAddPrimary, layerTexModeAddPrimary, GL_COMBINE_ARB, GL_ADD, GL_REPLACE, 1,
     GL_PRIMARY_COLOR_ARB, GL_PRIMARY_COLOR_ARB, GL_TEXTURE, false, false},
};

GLint envValue(GLenum name) {
    GLint value = -1;
    glGetTexEnviv(GL_TEXTURE_ENV, name, &value);
    return value;
}

// Leaves values no mode sets to something recognisable, and a scaled texture matrix.
void disturbEnvironment() {
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_CONSTANT_ARB);
    const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, grey);
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, 2.0f);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(2.0f, 2.0f, 2.0f);
    glMatrixMode(GL_MODELVIEW);
}

float textureMatrixScale() {
    GLfloat matrix[16];
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    return matrix[0];
}

void expectEnvironment(const Expected& want) {
    EXPECT_EQ(envValue(GL_TEXTURE_ENV_MODE), want.envMode);
    EXPECT_EQ(envValue(GL_COMBINE_RGB_ARB), want.combineRgb);
    EXPECT_EQ(envValue(GL_COMBINE_ALPHA_ARB), want.combineAlpha);
    EXPECT_EQ(envValue(GL_RGB_SCALE_ARB), want.scale);
    EXPECT_EQ(envValue(GL_SOURCE0_RGB_ARB), want.source0Rgb);
    EXPECT_EQ(envValue(GL_OPERAND0_RGB_ARB), GL_SRC_COLOR);
    EXPECT_EQ(envValue(GL_SOURCE0_ALPHA_ARB), want.source0Alpha);
    EXPECT_EQ(envValue(GL_OPERAND0_ALPHA_ARB), GL_SRC_ALPHA);
    EXPECT_EQ(envValue(GL_SOURCE1_RGB_ARB),
              want.source1Rgb != 0 ? want.source1Rgb : GL_CONSTANT_ARB);
    GLfloat colour[4];
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    EXPECT_EQ(colour[0], want.whiteEnvColour ? 1.0f : 0.5f);
    EXPECT_EQ(colour[3], want.whiteEnvColour ? 1.0f : 0.5f);
    EXPECT_EQ(textureMatrixScale(), want.resetsTextureMatrix ? 1.0f : 2.0f);
}

class TextureModes : public testing::Test {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
    }
    HiddenGLWindow window{16, 16};
};

TEST_F(TextureModes, EachModeSetsItsEnvironment) {
    for (const Expected& want : kModes) {
        SCOPED_TRACE(&want - kModes);
        disturbEnvironment();
        want.mode();
        expectEnvironment(want);
        disturbEnvironment();
        want.layerMode(7, -3);
        expectEnvironment(want);
    }
}

TEST_F(TextureModes, DefaultRestoresPlainModulation) {
    for (const Expected& mode : kModes) {
        disturbEnvironment();
        mode.mode();
        layerTexModeDefault(0, 0);
        EXPECT_EQ(envValue(GL_TEXTURE_ENV_MODE), GL_MODULATE);
        EXPECT_EQ(envValue(GL_RGB_SCALE_ARB), 1);
        GLfloat bias = -1.0f;
        glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &bias);
        EXPECT_EQ(bias, 0.0f);
        EXPECT_EQ(textureMatrixScale(), 1.0f);
        GLint matrixMode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        EXPECT_EQ(matrixMode, GL_MODELVIEW);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Draws one full-viewport quad in the primary colour `primary` with `count` texture units, unit
// i holding a 1 x 1 texture of colour texels[i] in modes[i], and reads the centre. On unit 0
// the previous stage is the primary colour.
void drawLayersAndRead(int count, const TextureMode modes[], const uint8_t* const texels[],
                       const float primary[4], float out[4]) {
    auto activeTexture = glFunctions.glActiveTextureARB;
    GLuint names[4];
    for (int unit = 0; unit < count; ++unit) {
        activeTexture(GL_TEXTURE0_ARB + unit);
        names[unit] = texelTexture(texels[unit]);
        glEnable(GL_TEXTURE_2D);
        texModeDefault();
        modes[unit]();
    }
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4fv(primary);
    glRectf(-1, -1, 1, 1);
    uint8_t pixel[4] = {};
    glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    for (int i = 0; i < 4; ++i) out[i] = pixel[i] / 255.0f;
    for (int unit = count - 1; unit >= 0; --unit) {
        activeTexture(GL_TEXTURE0_ARB + unit);
        glDisable(GL_TEXTURE_2D);
        texModeDefault();
    }
    glDeleteTextures(count, names);
}

void drawAndRead(TextureMode mode, const uint8_t texel[4], const float primary[4], float out[4]) {
    drawLayersAndRead(1, &mode, &texel, primary, out);
}

float clamp01(float v) {
    return std::fmin(1.0f, std::fmax(0.0f, v));
}

void expectColour(const float got[4], const float want[4]) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], clamp01(want[i]), 2.5f / 255.0f) << i;
}

TEST_F(TextureModes, CombinedColoursFollowTheirFormulas) {
    const uint8_t texelBytes[4] = {204, 153, 64, 128};
    const float primary[4] = {0.3f, 0.7f, 0.9f, 0.6f};
    float t[4], got[4];
    for (int i = 0; i < 4; ++i) t[i] = texelBytes[i] / 255.0f;
    const float* p = primary;

    drawAndRead(texModeSubtract, texelBytes, primary, got);
    const float subtract[4] = {t[0] - p[0], t[1] - p[1], t[2] - p[2], t[3]};
    expectColour(got, subtract);

    drawAndRead(texModeAddPrimary, texelBytes, primary, got);
    const float add[4] = {p[0] + t[0], p[1] + t[1], p[2] + t[2], p[3]};
    expectColour(got, add);

    drawAndRead(texModeModulatePrevious4x, texelBytes, primary, got);
    const float modulate4[4] = {4 * t[0] * p[0], 4 * t[1] * p[1], 4 * t[2] * p[2], t[3]};
    expectColour(got, modulate4);

    const uint8_t normal[4] = {191, 191, 128, 0};
    const float light[4] = {0.75f, 0.7f, 0.2f, 0.1f};
    drawAndRead(texModeDot3, normal, light, got);
    float dot = 0;
    for (int i = 0; i < 3; ++i) dot += (2 * normal[i] / 255.0f - 1) * (2 * light[i] - 1);
    const float dot3[4] = {dot, dot, dot, 1.0f};
    EXPECT_GT(dot, 0.2f);
    expectColour(got, dot3);
}

// Bump mapping's three layers: the normal map, the light direction (the cube map's texel) and
// the colour map, lit by the normal against the light; the primary colour takes no part.
TEST_F(TextureModes, BumpLayersLightTheColourMapByTheNormalMap) {
    const TextureMode modes[3] = {texModeReplaceOpaque, texModeDot3, texModeModulatePrevious};
    const float primary[4] = {0.9f, 0.2f, 0.6f, 1.0f};
    const uint8_t colour[4] = {200, 160, 120, 255};
    const uint8_t flat[4] = {128, 128, 255, 255}, leaning[4] = {218, 128, 218, 255};
    const uint8_t behind[4] = {128, 128, 0, 0};
    struct Case {
        const uint8_t *normal, *light;
        float brightness;
    } cases[] = {
        {flat, flat, 1.0f}, {flat, leaning, 0.71f}, {leaning, leaning, 1.0f}, {flat, behind, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        const uint8_t* texels[3] = {c.normal, c.light, colour};
        float got[4];
        drawLayersAndRead(3, modes, texels, primary, got);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], colour[i] / 255.0f * c.brightness, 6.0f / 255.0f) << i;
    }
}

} // namespace

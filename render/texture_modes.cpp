#include "render/texture_modes.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "render/render_state.h"

namespace {

// One mode's environment. A value of 0 leaves that setting as it was. The calls are made in
// the order of the fields.
struct CombinerSetup {
    GLint envMode;
    GLint combineRgb;
    GLint combineAlpha;
    GLint rgbScale;
    GLint source0Rgb;
    GLint source0Alpha;
    bool opaqueEnvColour;
    GLint source1Rgb;
    bool resetTextureMatrix;
};

void applyCombiner(const CombinerSetup& setup) {
    setTextureEnvMode(GLenum(setup.envMode));
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, setup.combineRgb);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, setup.combineAlpha);
    glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, setup.rgbScale);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, setup.source0Rgb);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, setup.source0Alpha);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
    if (setup.opaqueEnvColour) {
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
    }
    if (setup.source1Rgb != 0) {
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, setup.source1Rgb);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
    }
    if (setup.resetTextureMatrix) {
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
}

} // namespace

void texModeDefault() {
    applyDefaultTextureEnv();
}

void texModeSubtract() {
    applyCombiner({GL_COMBINE_ARB, GL_SUBTRACT_ARB, GL_REPLACE, 1, GL_TEXTURE, GL_TEXTURE, false,
                   GL_PREVIOUS_ARB, true});
}

void texModeModulatePrevious4x() {
    applyCombiner({GL_COMBINE_ARB, GL_MODULATE, GL_REPLACE, 4, GL_TEXTURE, GL_TEXTURE, false,
                   GL_PREVIOUS_ARB, true});
}

void texModePrimaryPrevious4x() {
    applyCombiner({GL_COMBINE_ARB, GL_MODULATE, GL_REPLACE, 4, GL_PRIMARY_COLOR_ARB,
                   GL_PRIMARY_COLOR_ARB, false, GL_PREVIOUS_ARB, true});
}

void texModeReplaceOpaque() {
    applyCombiner(
        {GL_COMBINE_ARB, GL_REPLACE, GL_REPLACE, 1, GL_TEXTURE, GL_CONSTANT_ARB, true, 0, true});
}

void texModeDot3() {
    applyCombiner({GL_COMBINE_ARB, GL_DOT3_RGB_ARB, GL_REPLACE, 1, GL_TEXTURE, GL_CONSTANT_ARB,
                   true, GL_PREVIOUS_ARB, false});
}

void texModeModulatePrevious() {
    applyCombiner({GL_COMBINE_ARB, GL_MODULATE, GL_REPLACE, 1, GL_TEXTURE, GL_TEXTURE, false,
                   GL_PREVIOUS_ARB, false});
}

void texModeAddPrimary() {
    applyCombiner({GL_COMBINE_ARB, GL_ADD, GL_REPLACE, 1, GL_PRIMARY_COLOR_ARB,
                   GL_PRIMARY_COLOR_ARB, false, GL_TEXTURE, false});
}

void layerTexModeDefault(int32_t, int32_t) {
    texModeDefault();
}
void layerTexModeSubtract(int32_t, int32_t) {
    texModeSubtract();
}
void layerTexModeModulatePrevious4x(int32_t, int32_t) {
    texModeModulatePrevious4x();
}
void layerTexModePrimaryPrevious4x(int32_t, int32_t) {
    texModePrimaryPrevious4x();
}
void layerTexModeReplaceOpaque(int32_t, int32_t) {
    texModeReplaceOpaque();
}
void layerTexModeDot3(int32_t, int32_t) {
    texModeDot3();
}
void layerTexModeModulatePrevious(int32_t, int32_t) {
    texModeModulatePrevious();
}
void layerTexModeAddPrimary(int32_t, int32_t) {
    texModeAddPrimary();
}

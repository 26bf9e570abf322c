#include "platform/gl/gamma_pass.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <initializer_list>

#include "platform/gl/gl_functions.h"
#include "platform/gl/offscreen_frame.h"

GammaPassState gammaPass;

namespace {

// The frame's texel, each channel rounded to its step and looked up in the curve at the
// texel centres of its 256 x 256 table: red and green in one look-up, blue in a second.
constexpr const char* kVertexShader = "#version 110\n"
                                      "varying vec2 place;\n"
                                      "void main() {\n"
                                      "    place = gl_MultiTexCoord0.xy;\n"
                                      "    gl_Position = gl_Vertex;\n"
                                      "}\n";
constexpr const char* kFragmentShader =
    "#version 110\n"
    "uniform sampler2D picture;\n"
    "uniform sampler2D curve;\n"
    "varying vec2 place;\n"
    "void main() {\n"
    "    vec3 step = texture2D(picture, place).rgb * (255.0 / 256.0) + 0.5 / 256.0;\n"
    "    vec4 redGreen = texture2D(curve, step.rg);\n"
    "    gl_FragColor = vec4(redGreen.r, redGreen.a, texture2D(curve, vec2(step.b, 0.0)).r, 1.0);\n"
    "}\n";

GLuint compiledShader(GLenum kind, const char* source) {
    GLuint shader = glFunctions.glCreateShader(kind);
    glFunctions.glShaderSource(shader, 1, &source, nullptr);
    glFunctions.glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glFunctions.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) return shader;
    glFunctions.glDeleteShader(shader);
    return 0;
}

GLuint linkedProgram() {
    GLuint vertex = compiledShader(GL_VERTEX_SHADER, kVertexShader);
    GLuint fragment = compiledShader(GL_FRAGMENT_SHADER, kFragmentShader);
    GLuint program = 0;
    if (vertex != 0 && fragment != 0) {
        program = glFunctions.glCreateProgram();
        glFunctions.glAttachShader(program, vertex);
        glFunctions.glAttachShader(program, fragment);
        glFunctions.glLinkProgram(program);
        GLint linked = GL_FALSE;
        glFunctions.glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            glFunctions.glDeleteProgram(program);
            program = 0;
        }
    }
    // Attached shaders live on with the program.
    if (vertex != 0) glFunctions.glDeleteShader(vertex);
    if (fragment != 0) glFunctions.glDeleteShader(fragment);
    return program;
}

void uploadCurve() {
    static uint8_t table[256][256][2]; // 128 KiB, made again when the curve changes
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            table[y][x][0] = gammaPass.steps[x];
            table[y][x][1] = gammaPass.steps[y];
        }
    GLint bound = 0, alignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glBindTexture(GL_TEXTURE_2D, gammaPass.curve);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE8_ALPHA8, 256, 256, 0, GL_LUMINANCE_ALPHA,
                 GL_UNSIGNED_BYTE, table);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
}

} // namespace

bool startGammaPass() {
    GammaPassState& pass = gammaPass;
    stopGammaPass();
    if (!glFunctions.shaders) return false;
    pass.program = linkedProgram();
    if (pass.program == 0) return false;
    pass.pictureAt = glFunctions.glGetUniformLocation(pass.program, "picture");
    pass.curveAt = glFunctions.glGetUniformLocation(pass.program, "curve");
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGenTextures(1, &pass.curve);
    glBindTexture(GL_TEXTURE_2D, pass.curve);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    uint8_t identity[256];
    for (int i = 0; i < 256; ++i) identity[i] = uint8_t(i);
    pass.ready = true;
    setGammaPassCurve(identity);
    return true;
}

void stopGammaPass() {
    GammaPassState& pass = gammaPass;
    if (pass.program != 0) glFunctions.glDeleteProgram(pass.program);
    if (pass.curve != 0) glDeleteTextures(1, &pass.curve);
    pass = GammaPassState{};
}

void setGammaPassCurve(const uint8_t steps[256]) {
    GammaPassState& pass = gammaPass;
    bool changed = false;
    pass.curved = false;
    for (int i = 0; i < 256; ++i) {
        changed = changed || pass.steps[i] != steps[i];
        pass.steps[i] = steps[i];
        pass.curved = pass.curved || steps[i] != i;
    }
    if (pass.ready && changed) uploadCurve();
}

void drawGammaPass(uint32_t texture, int width, int height, int x, int y, int areaWidth,
                   int areaHeight) {
    GammaPassState& pass = gammaPass;
    const int windowWidth = currentFramebuffer().width, windowHeight = currentFramebuffer().height;
    // A window without pixels (minimised on some desktops) shows nothing.
    if (!pass.ready || areaWidth <= 0 || areaHeight <= 0 || windowWidth <= 0 || windowHeight <= 0)
        return;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    for (GLenum capability :
         {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_CULL_FACE,
          GL_POLYGON_STIPPLE, GL_DITHER, GL_COLOR_LOGIC_OP, GL_MULTISAMPLE})
        glDisable(capability);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glFunctions.glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, pass.curve);
    glFunctions.glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    GLenum filter = areaWidth == width && areaHeight == height ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(filter));
    glFunctions.glUseProgram(pass.program);
    glFunctions.glUniform1i(pass.pictureAt, 0);
    glFunctions.glUniform1i(pass.curveAt, 1);
    // The area in clip coordinates.
    float x0 = 2.0f * float(x) / float(windowWidth) - 1.0f;
    float y0 = 2.0f * float(y) / float(windowHeight) - 1.0f;
    float x1 = 2.0f * float(x + areaWidth) / float(windowWidth) - 1.0f;
    float y1 = 2.0f * float(y + areaHeight) / float(windowHeight) - 1.0f;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f), glVertex2f(x0, y0);
    glTexCoord2f(1.0f, 0.0f), glVertex2f(x1, y0);
    glTexCoord2f(1.0f, 1.0f), glVertex2f(x1, y1);
    glTexCoord2f(0.0f, 1.0f), glVertex2f(x0, y1);
    glEnd();
    glFunctions.glUseProgram(GLuint(program));
    glPopAttrib();
}

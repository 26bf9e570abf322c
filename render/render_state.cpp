#include "render/render_state.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/gl/offscreen_frame.h"
#include "platform/system/failure.h"
#include "render/capabilities.h"
#include "render/debug_display.h"

RenderState renderState;
DebugDisplayState debugDisplay;

namespace {

const char* const kZeroNearText =
    "zNear can not be zero !\n\nIf you are the programmer please correct your source code.\n"
    "If you are user please contact the author and submit the error.";

void transpose(const float in[16], float out[16]) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) out[4 * row + column] = in[4 * column + row];
}

// out = a x b, all column-major.
void multiplyColumnMajor(const float a[16], const float b[16], float out[16]) {
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[4 * k + row] * b[4 * column + k];
            out[4 * column + row] = sum;
        }
}

// `in` with the view rolled by `degrees` about -z in eye space: rows 0 and 1 turn into each
// other, as glRotatef(degrees, 0, 0, -1) multiplied in front would turn them.
void rollRows(const float in[16], float degrees, float out[16]) {
    std::copy(in, in + 16, out);
    if (degrees == 0.0f) return;
    double radians = double(degrees) * 3.14159265358979323846 / 180.0;
    float c = float(std::cos(radians)), s = float(std::sin(radians));
    for (int column = 0; column < 4; ++column) {
        float right = in[column * 4], up = in[column * 4 + 1];
        out[column * 4] = c * right + s * up;
        out[column * 4 + 1] = c * up - s * right;
    }
}

Plane normalisedPlane(float nx, float ny, float nz, float d) {
    Plane plane;
    plane.normal.set(nx, ny, nz);
    float length = plane.normal.length();
    float inverse = length == 0.0f ? 1.0f : 1.0f / length;
    plane.normal.scale(inverse);
    plane.d = d * inverse;
    return plane;
}

// The matrix gluPerspective multiplies in, computed as it computes it (in double, given to GL
// as floats), so the kept copy is GL's to the bit without reading it back.
void perspectiveMatrix(double fieldOfView, double aspect, double zNear, double zFar,
                       float out[16]) {
    double radians = fieldOfView / 2 * 3.14159265358979323846 / 180;
    double deltaZ = zFar - zNear;
    double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) { // gluPerspective leaves the identity
        for (int i = 0; i < 16; ++i) out[i] = i % 5 == 0 ? 1.0f : 0.0f;
        return;
    }
    double cotangent = std::cos(radians) / sine;
    double m[16] = {cotangent / aspect,
                    0,
                    0,
                    0,
                    0,
                    cotangent,
                    0,
                    0,
                    0,
                    0,
                    -(zFar + zNear) / deltaZ,
                    -1,
                    0,
                    0,
                    -2 * zNear * zFar / deltaZ,
                    0};
    for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(m[i]);
}

void setProjection(int32_t width, int32_t height, float aspect) {
    RenderState& state = renderState;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(state.fieldOfView, aspect, state.nearPlane, state.farPlane);
    glViewport(0, 0, width, height);
    perspectiveMatrix(state.fieldOfView, aspect, state.nearPlane, state.farPlane, state.projection);
    extractFrustum(state.frustum);
}

void applySwapInterval() {
    RenderSettings& settings = renderState.settings;
    if (!settings.fullscreen) settings.verticalSync = false;
    GLCapabilities& caps = glCapabilities;
    if (!caps.swapControlAvailable || caps.swapInterval == nullptr) return;
    // A window system that refuses the interval leaves it to the driver, and says so.
    if (caps.swapInterval(settings.verticalSync ? 1 : 0) != 0) caps.swapControlAvailable = false;
}

void resetTextureUnits(uint32_t unitCount) {
    for (uint32_t unit = 0; unit < unitCount; ++unit) {
        selectTextureUnit(unit);
        glDisable(GL_TEXTURE_2D);
        applyDefaultTextureEnv();
    }
    selectTextureUnit(0);
}

void applyMultisampling(int32_t mode) {
    if (mode == 0) return;
    glEnable(GL_MULTISAMPLE_ARB);
    GLenum hint = multisampleFilterHint(mode);
    if (glCapabilities.multisampleFilterHintAvailable && hint != 0)
        glHint(GL_MULTISAMPLE_FILTER_HINT_NV, hint);
}

void applyHints(const RenderSettings& settings) {
    if (settings.textureCompressionMode != 0) glHint(GL_TEXTURE_COMPRESSION_HINT_ARB, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
    if (settings.textureFilterMode < 2) glHint(GL_GENERATE_MIPMAP_HINT_SGIS, GL_NICEST);
}

} // namespace

void applyDefaultTextureEnv() {
    setTextureEnvMode(GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1);
    setTextureLodBias(0.0f);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

GLenum multisampleFilterHint(int32_t multisampleMode) {
    switch (multisampleMode) {
        case 1:
        case 3:
            return GL_FASTEST;
        case 2:
        case 4:
            return GL_NICEST;
        default:
            return 0;
    }
}

void fillTextureUnitTable() {
    for (uint32_t i = 0; i < 32; ++i) renderState.textureUnits[i] = GL_TEXTURE0_ARB + i;
}

void selectTextureUnit(uint32_t unit) {
    renderState.activeUnit = unit;
    if (glFunctions.glActiveTextureARB != nullptr)
        glFunctions.glActiveTextureARB(renderState.textureUnits[unit]);
}

void applyDefaultRenderState() {
    RenderState& state = renderState;
    state.alphaTestOn = false;
    state.alphaTestReference = 0.0f;
    glAlphaFunc(GL_GREATER, 0.0f);
    glDisable(GL_ALPHA_TEST);

    applySwapInterval();

    glLineWidth(1.0f);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    resetTextureUnits(state.settings.textureUnitCount);

    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_STENCIL_TEST);
    glClearStencil(0);

    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, state.settings.localViewerSpecular ? 1 : 0);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, state.globalAmbient);

    applyMultisampling(state.settings.multisampleMode);

    setBlending(false);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE); // additive is the engine's default blend

    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);

    applyHints(state.settings);

    const float* c = state.clearColour;
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void setBlending(bool on) {
    if (on)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    renderState.layer.blend = on;
}

void setBlendFunction(GLenum source, GLenum destination) {
    glBlendFunc(source, destination);
    renderState.layer.blendSource = source;
    renderState.layer.blendDestination = destination;
}

void setDepthWrites(bool on) {
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    renderState.layer.depthWrites = on;
}

void setFog(bool on) {
    if (on)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);
    renderState.layer.fog = on;
}

void setTextureEnvMode(GLenum mode) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GLint(mode));
    if (renderState.activeUnit == 0) renderState.layer.envMode = mode;
}

void setTextureLodBias(float bias) {
    bias += renderState.viewLodBias;
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, bias);
    if (renderState.activeUnit == 0) renderState.layer.lodBias = bias;
}

void setViewLodBias(float bias) {
    RenderState& state = renderState;
    if (bias == state.viewLodBias) return;
    state.viewLodBias = bias;
    uint32_t active = state.activeUnit;
    for (uint32_t unit = 0;
         unit < state.settings.textureUnitCount && unit < std::size(state.textureUnits); ++unit) {
        selectTextureUnit(unit);
        setTextureLodBias(0.0f);
    }
    selectTextureUnit(active);
}

void clearFrame(GLbitfield mask) {
    const float* c = renderState.clearColour;
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(mask);
}

int32_t currentViewWidth() {
    int32_t width = currentFramebuffer().width;
    return width > 0 ? width : renderState.settings.screenWidth;
}

int32_t currentViewHeight() {
    int32_t height = currentFramebuffer().height;
    return height > 0 ? height : renderState.settings.screenHeight;
}

void setScreenSize(int32_t width, int32_t height) {
    if (height == 0) return;
    RenderState& state = renderState;
    state.screenWidth = width;
    state.screenHeight = height;
    state.aspect = static_cast<float>(static_cast<double>(static_cast<uint32_t>(width)) /
                                      static_cast<double>(static_cast<uint32_t>(height)));
    state.orthoHalfWidth = state.orthoHalfHeight * state.aspect;
}

void setPerspectiveView(int32_t width, int32_t height) {
    if (renderState.nearPlane == 0.0f) fatalError("ERROR", kZeroNearText);
    setScreenSize(width, height);
    setProjection(width, height, renderState.aspect);
}

void setPerspectiveViewAspect(int32_t width, int32_t height, float aspect) {
    if (renderState.nearPlane == 0.0f) fatalError("ERROR", kZeroNearText);
    setScreenSize(width, height);
    setProjection(width, height, aspect);
}

void setOrthoView(int32_t width, int32_t height) {
    setScreenSize(width, height);
    RenderState& state = renderState;
    float hh = state.orthoHalfHeight;
    float hw = state.orthoHalfWidth;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-hw, hw, -hh, hh, -hh, hh);
    glViewport(0, 0, width, height);
    // glOrtho's matrix as GL computes it, in floats: the kept copy without a read back.
    float* m = state.projection;
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    m[0] = 2.0f / (hw - -hw), m[12] = -(hw + -hw) / (hw - -hw);
    m[5] = 2.0f / (hh - -hh), m[13] = -(hh + -hh) / (hh - -hh);
    m[10] = -2.0f / (hh - -hh), m[14] = -(hh + -hh) / (hh - -hh);
    m[15] = 1.0f;
    extractFrustum(state.frustum);
}

void cameraModelview(const Camera& camera, const Vec3& up, float out[16]) {
    // The look-at's rows, in floats: side, up and the view direction's opposite.
    Vec3 forward = camera.target - camera.eye;
    forward.normalise();
    Vec3 side = crossProduct(forward, up);
    side.normalise();
    Vec3 upAxis = crossProduct(side, forward);
    const float lookAt[16] = {side.x,     upAxis.x, -forward.x, 0.0f,     side.y,     upAxis.y,
                              -forward.y, 0.0f,     side.z,     upAxis.z, -forward.z, 0.0f,
                              0.0f,       0.0f,     0.0f,       1.0f};
    float m[16];
    rollRows(lookAt, camera.roll, m);
    // Then the move of the eye to the origin and the scale, each multiplied in behind.
    const float eye[3] = {-camera.eye.x, -camera.eye.y, -camera.eye.z};
    for (int row = 0; row < 4; ++row)
        m[12 + row] = m[row] * eye[0] + m[4 + row] * eye[1] + m[8 + row] * eye[2] + m[12 + row];
    const float scale[3] = {camera.scale.x, camera.scale.y, camera.scale.z};
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 4; ++row) m[4 * column + row] *= scale[column];
    std::copy(m, m + 16, out);
}

void applyCamera(bool updateFrustum) {
    RenderState& state = renderState;
    Camera& camera = state.camera;
    cameraModelview(camera, state.up, state.modelview);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(state.modelview);
    if (updateFrustum) extractFrustum(state.frustum);
    transpose(state.modelview, state.modelviewTransposed);
    camera.viewDirection = camera.target - camera.eye;
    camera.viewDirection.normalise(); // eye == target leaves a zero direction
    camera.backDirection = camera.viewDirection * -1.0f;
}

void extractFrustum(Frustum& frustum) {
    float m[16];
    multiplyColumnMajor(renderState.projection, renderState.modelview, m);
    Plane* p = frustum.planes;
    p[kPlaneLeft] = normalisedPlane(m[0] + m[3], m[4] + m[7], m[8] + m[11], -(m[12] + m[15]));
    p[kPlaneRight] = normalisedPlane(m[3] - m[0], m[7] - m[4], m[11] - m[8], m[12] - m[15]);
    p[kPlaneTop] = normalisedPlane(m[3] - m[1], m[7] - m[5], m[11] - m[9], m[13] - m[15]);
    p[kPlaneBottom] = normalisedPlane(m[1] + m[3], m[5] + m[7], m[9] + m[11], -(m[13] + m[15]));
    p[kPlaneNear] = normalisedPlane(m[2] + m[3], m[6] + m[7], m[10] + m[11], -(m[14] + m[15]));
    p[kPlaneFar] = normalisedPlane(m[3] - m[2], m[7] - m[6], m[11] - m[10], m[14] - m[15]);
}

void billboardCorners(const Vec3& centre, float halfSize, Vec3 corners[4]) {
    billboardCornersFromMatrix(centre, halfSize, corners, renderState.modelview);
}

void rolledModelview(float degrees, float out[16]) {
    rollRows(renderState.modelview, degrees, out);
}

void billboardCornersFromMatrix(const Vec3& centre, float halfSize, Vec3 corners[4],
                                const float matrix[16]) {
    Vec3 r{matrix[0] * halfSize, matrix[4] * halfSize, matrix[8] * halfSize};
    Vec3 u{matrix[1] * halfSize, matrix[5] * halfSize, matrix[9] * halfSize};
    corners[0] = centre - r + u; // top-left
    corners[1] = centre + r + u; // top-right
    corners[2] = centre + r - u; // bottom-right
    corners[3] = centre - r - u; // bottom-left
}

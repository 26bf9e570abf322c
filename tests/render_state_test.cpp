#include "render/render_state.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/particles.h"
#include "fatal_pattern.h"
#include "render/capabilities.h"
#include "render/debug_display.h"
#include "render/lit_squares.h"
#include "render/statistics.h"
#include "resources/textures.h"
#include "support/test_support.h"

namespace {

void expectVec(const Vec3& got, const Vec3& want, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

Vec3 normalised(Vec3 v) {
    v.normalise();
    return v;
}

// Right and up of a camera at eye looking at target with the world's up (0, 1, 0).
void lookAtAxes(const Vec3& eye, const Vec3& target, Vec3& right, Vec3& up) {
    Vec3 forward = normalised(target - eye);
    right = normalised(crossProduct(forward, Vec3{0.0f, 1.0f, 0.0f}));
    up = crossProduct(right, forward);
}

class RenderStateGL : public testing::Test {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        renderState = RenderState{};
        debugDisplay = DebugDisplayState{};
        statisticsState = StatisticsState{};
        glCapabilities = GLCapabilities{};
        loadGLFunctions();
        fillTextureUnitTable();
    }
    HiddenGLWindow window{64, 64};
};

TEST_F(RenderStateGL, ZeroHeightKeepsTheSizeAndTheNextProjectionItsAspect) {
    setScreenSize(800, 600);
    setScreenSize(640, 0);
    EXPECT_EQ(renderState.screenWidth, 800);
    EXPECT_EQ(renderState.screenHeight, 600);
    EXPECT_FLOAT_EQ(renderState.aspect, 800.0f / 600.0f);
    EXPECT_FLOAT_EQ(renderState.orthoHalfWidth, 800.0f / 600.0f);

    setPerspectiveView(640, 0);
    EXPECT_EQ(renderState.screenWidth, 800);
    const float* p = renderState.projection;
    EXPECT_TRUE(std::isfinite(p[0]));
    EXPECT_NEAR(p[5] / p[0], 800.0f / 600.0f, 1e-5f);
    EXPECT_NEAR(p[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5);
}

TEST_F(RenderStateGL, ProjectionsFollowTheGivenSizeOrAspect) {
    setPerspectiveViewAspect(512, 512, 2.0f);
    EXPECT_FLOAT_EQ(renderState.aspect, 1.0f); // the screen's own aspect
    EXPECT_NEAR(renderState.projection[5] / renderState.projection[0], 2.0f, 1e-5f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 512);
    EXPECT_EQ(viewport[3], 512);

    // 2D: x from -aspect to +aspect, y from -1 to +1.
    setOrthoView(800, 400);
    EXPECT_FLOAT_EQ(renderState.orthoHalfWidth, 2.0f);
    EXPECT_NEAR(renderState.projection[0], 0.5f, 1e-6f);
    EXPECT_NEAR(renderState.projection[5], 1.0f, 1e-6f);
    EXPECT_NEAR(renderState.projection[10], -1.0f, 1e-6f);
}

TEST_F(RenderStateGL, TheKeptProjectionsAreGLsToTheBit) {
    struct Case {
        int32_t width, height;
        float aspect, nearPlane, farPlane;
        double fieldOfView;
    } cases[] = {{1024, 768, 1024.0f / 768.0f, 0.1f, 200.0f, 45.0},
                 {512, 512, 1.7777778f, 1.0f, 5000.0f, 45.0},
                 {870, 653, 870.0f / 653.0f, 0.5f, 100.0f, 60.0},
                 {64, 64, 1.0f, 2.0f, 2.0f, 45.0}}; // no depth range: GL keeps the identity
    for (const Case& c : cases) {
        renderState.nearPlane = c.nearPlane, renderState.farPlane = c.farPlane;
        renderState.fieldOfView = c.fieldOfView;
        setPerspectiveViewAspect(c.width, c.height, c.aspect);
        float gl[16];
        glGetFloatv(GL_PROJECTION_MATRIX, gl);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(renderState.projection[i], gl[i]) << c.width << " " << i;
        setOrthoView(c.width, c.height); // the 2D view
        glGetFloatv(GL_PROJECTION_MATRIX, gl);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(renderState.projection[i], gl[i]) << "2D " << c.width << " " << i;
    }
}

TEST_F(RenderStateGL, TheKeptCameraMatrixIsWhatGLMakesOfRollLookAtAndScale) {
    struct Case {
        Vec3 eye, target, scale;
        float roll;
    };
    const Case cases[] = {
        {{1, 2, 3}, {4, 0, -2}, {1, 1, 1}, 0.0f},
        {{1, 2, 3}, {4, 0, -2}, {1, 1, 1}, 33.0f},
        {{-250, 40, 900}, {10, -5, 0}, {1, 1, 1}, -171.5f},
        {{0, 0, 5}, {0, 0, 0}, {2, 0.5f, 3}, 90.0f},
        {{7, 7, 7}, {7, 7, 7}, {1, 1, 1}, 12.0f}, // eye on the target
    };
    Camera& camera = renderState.camera;
    for (const Case& c : cases) {
        camera.eye = c.eye, camera.target = c.target, camera.scale = c.scale, camera.roll = c.roll;
        applyCamera(false);
        float loaded[16], called[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, loaded);
        glLoadIdentity();
        glRotatef(c.roll, 0.0f, 0.0f, -1.0f);
        gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, 0, 1, 0);
        glScalef(c.scale.x, c.scale.y, c.scale.z);
        glGetFloatv(GL_MODELVIEW_MATRIX, called);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(loaded[i], renderState.modelview[i]) << c.roll << " " << i;
            EXPECT_NEAR(renderState.modelview[i], called[i], 2e-6f * (1 + std::fabs(called[i])))
                << c.roll << " " << i;
        }
    }
    camera = Camera{};
}

TEST_F(RenderStateGL, UnrolledCameraKeepsItsAxes) {
    Camera& camera = renderState.camera;
    camera.eye = {1.0f, 2.0f, 3.0f};
    camera.target = {4.0f, 0.0f, -2.0f};
    applyCamera(false);

    Vec3 right, up;
    lookAtAxes(camera.eye, camera.target, right, up);
    const float* t = renderState.modelviewTransposed;
    expectVec({t[0], t[1], t[2]}, right);
    expectVec({t[4], t[5], t[6]}, up);
    Vec3 view = normalised(camera.target - camera.eye);
    expectVec(camera.viewDirection, view);
    expectVec(camera.backDirection, view * -1.0f);
}

TEST_F(RenderStateGL, RollTurnsTheViewAboutItsOwnAxisAndScaleFollowsTheLookAt) {
    Camera& camera = renderState.camera;
    camera.eye = {1.0f, 2.0f, 3.0f};
    camera.target = {4.0f, 0.0f, -2.0f};
    Vec3 right, up;
    lookAtAxes(camera.eye, camera.target, right, up);
    // A quarter turn: the screen's right now points along the unrolled up.
    camera.roll = 90.0f;
    applyCamera(false);
    const float* t = renderState.modelviewTransposed;
    expectVec({t[0], t[1], t[2]}, up);
    expectVec({t[4], t[5], t[6]}, right * -1.0f);
    expectVec(camera.viewDirection, normalised(camera.target - camera.eye));

    camera.roll = 0.0f;
    camera.scale = {2.0f, 2.0f, 2.0f};
    applyCamera(false);
    expectVec({t[0], t[1], t[2]}, right * 2.0f);
}

TEST_F(RenderStateGL, TheRolledModelviewIsTheCamerasRollWithoutGL) {
    Camera& camera = renderState.camera;
    camera.eye = {1.0f, 2.0f, 3.0f};
    camera.target = {4.0f, 0.0f, -2.0f};
    for (float degrees : {0.0f, 33.0f, -71.5f, 90.0f, 200.0f}) {
        camera.roll = 0.0f;
        applyCamera(false);
        float rolled[16];
        rolledModelview(degrees, rolled);
        camera.roll = degrees;
        applyCamera(false);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(rolled[i], renderState.modelview[i], 1e-5f) << degrees << " " << i;
    }
    camera.roll = 0.0f;
}

TEST_F(RenderStateGL, EyeOnTheTargetGivesAZeroViewDirection) {
    renderState.camera.eye = {5.0f, 5.0f, 5.0f};
    renderState.camera.target = {5.0f, 5.0f, 5.0f};
    applyCamera(true);
    EXPECT_TRUE(renderState.camera.viewDirection.isZero());
    EXPECT_TRUE(renderState.camera.backDirection.isZero());
    for (const Plane& plane : renderState.frustum.planes) EXPECT_FALSE(std::isnan(plane.d));
}

TEST_F(RenderStateGL, DefaultProjectionFrustumBoundsTheViewAlongMinusZ) {
    setPerspectiveView(1024, 768); // with the identity modelview kept so far
    const Plane* planes = renderState.frustum.planes;
    for (const Plane& plane : renderState.frustum.planes)
        EXPECT_NEAR(plane.normal.length(), 1.0f, 1e-5f);
    expectVec(planes[kPlaneNear].normal, {0.0f, 0.0f, -1.0f});
    EXPECT_NEAR(planes[kPlaneNear].d, 0.1f, 1e-5f);
    EXPECT_NEAR(planes[kPlaneNear].distance({0.0f, 0.0f, -0.1f}), 0.0f, 1e-5f);
    expectVec(planes[kPlaneFar].normal, {0.0f, 0.0f, 1.0f});
    EXPECT_NEAR(planes[kPlaneFar].d, -200.0f, 1e-2f);

    auto inside = [&](const Vec3& p) {
        for (int i = 0; i < 6; ++i)
            if (planes[i].distance(p) < 0.0f) return false;
        return true;
    };
    EXPECT_TRUE(inside({0.0f, 0.0f, -1.0f}));
    EXPECT_TRUE(inside({0.0f, 0.0f, -199.0f}));
    EXPECT_FALSE(inside({0.0f, 0.0f, -0.05f}));
    EXPECT_FALSE(inside({0.0f, 0.0f, -201.0f}));
    EXPECT_FALSE(inside({0.0f, 0.0f, 1.0f}));
    // 45 degrees vertically: at 10 units the top edge is at 10 tan 22.5.
    float edge = 10.0f * std::tan(22.5f * float(M_PI) / 180.0f);
    EXPECT_TRUE(inside({0.0f, edge - 0.01f, -10.0f}));
    EXPECT_FALSE(inside({0.0f, edge + 0.01f, -10.0f}));
    EXPECT_TRUE(inside({edge * 1024 / 768 - 0.01f, 0.0f, -10.0f}));
    EXPECT_FALSE(inside({-edge * 1024 / 768 - 0.01f, 0.0f, -10.0f}));

    // Moving the camera moves the planes: they are kept in world space.
    renderState.camera.eye = {0.0f, 0.0f, 50.0f};
    renderState.camera.target = {0.0f, 0.0f, 0.0f};
    applyCamera(true);
    EXPECT_TRUE(inside({0.0f, 0.0f, 40.0f}));
    EXPECT_FALSE(inside({0.0f, 0.0f, 49.95f}));
}

TEST(Frustum, ZeroMatricesGiveZeroPlanesNotNaNs) {
    renderState = RenderState{};
    for (float& e : renderState.projection) e = 0.0f;
    Frustum frustum;
    extractFrustum(frustum);
    for (const Plane& plane : frustum.planes) {
        EXPECT_TRUE(plane.normal.isZero());
        EXPECT_EQ(plane.d, 0.0f);
    }
}

TEST(Billboard, CornersLieOnTheDiagonalsTopLeftFirst) {
    // Column-major matrix whose rows 0 and 1 (right and up) are tilted world axes.
    Vec3 right = normalised({1.0f, 0.0f, 1.0f});
    Vec3 up = {0.0f, 1.0f, 0.0f};
    const float g[16] = {right.x, up.x, 0, 0, right.y, up.y, 0, 0, right.z, up.z, 0, 0, 7, 8, 9, 1};
    Vec3 centre{1.0f, 2.0f, 3.0f};
    const float s = 2.5f;
    Vec3 corners[4];
    billboardCornersFromMatrix(centre, s, corners, g);
    for (const Vec3& corner : corners)
        EXPECT_NEAR((corner - centre).length(), s * std::sqrt(2.0f), 1e-5f);
    expectVec(corners[0], centre - right * s + up * s); // top-left
    expectVec(corners[1], centre + right * s + up * s); // top-right
    expectVec(corners[2], centre + right * s - up * s); // bottom-right
    expectVec(corners[3], centre - right * s - up * s); // bottom-left

    renderState = RenderState{};
    for (int i = 0; i < 16; ++i) renderState.modelview[i] = g[i];
    Vec3 kept[4];
    billboardCorners(centre, s, kept);
    for (int i = 0; i < 4; ++i) expectVec(kept[i], corners[i]);
}

// Renders a billboard of a white 1 x 1 texture at 3 units in front of the default camera
// into the 64 x 64 window and reads rows of pixels back.
class BillboardGL : public RenderStateGL {
  protected:
    void SetUp() override {
        RenderStateGL::SetUp();
        if (IsSkipped()) return;
        const uint8_t white[4] = {255, 255, 255, 255};
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
        setPerspectiveView(64, 64);
        applyCamera(true);
        applyDefaultRenderState();
        glDisable(GL_CULL_FACE);
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override {
        if (texture != 0) glDeleteTextures(1, &texture);
    }
    uint8_t redAt(int x, int y) {
        uint8_t pixel[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return pixel[0];
    }
    GLuint texture = 0;
};

TEST_F(BillboardGL, SolidSquareFacesTheCameraAndCountsTwoTriangles) {
    drawBillboard({0.0f, 0.0f, -3.0f}, 0.5f, texture, renderState.modelview);
    EXPECT_EQ(redAt(32, 32), 255);
    EXPECT_EQ(redAt(2, 32), 0);
    EXPECT_EQ(statisticsState.frame.transparentTriangles, 2);
    EXPECT_EQ(statisticsState.frame.totalTriangles, 2);
    GLboolean depthMask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_EQ(depthMask, GL_TRUE);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(renderState.activeUnit, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BillboardGL, WireframeDrawsOnlyTheOutline) {
    debugDisplay.wireframe = true;
    setBlending(true);
    drawBillboard({0.0f, 0.0f, -3.0f}, 0.5f, texture, renderState.modelview);
    EXPECT_EQ(redAt(32, 32), 0);
    int lit = 0;
    for (int x = 0; x < 64; ++x) lit += redAt(x, 32) != 0;
    EXPECT_EQ(lit, 2); // the left and the right edge
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(statisticsState.frame.totalTriangles, 2);
}

TEST_F(RenderStateGL, DefaultStateIsSetAndEveryUnitReset) {
    renderState.alphaTestOn = true;
    glEnable(GL_ALPHA_TEST);
    glFunctions.glActiveTextureARB(GL_TEXTURE2_ARB);
    glEnable(GL_TEXTURE_2D);
    glFunctions.glActiveTextureARB(GL_TEXTURE3_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    renderState.clearColour[1] = 1.0f;
    applyDefaultRenderState();

    EXPECT_FALSE(renderState.alphaTestOn);
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DITHER));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE);
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &value);
    EXPECT_EQ(value, GL_TEXTURE0_ARB);
    EXPECT_EQ(renderState.activeUnit, 0u);
    GLfloat ambient[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_FLOAT_EQ(ambient[0], 0.2f);
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &value);
    EXPECT_EQ(value, 1);
    for (GLenum unit : {GL_TEXTURE2_ARB, GL_TEXTURE3_ARB}) {
        glFunctions.glActiveTextureARB(unit);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
        EXPECT_EQ(value, GL_MODULATE);
    }
    // The clear used the clear colour.
    uint8_t pixel[4] = {};
    glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A 64 x 64 texture whose mipmap levels are red, green, blue, ... : the colour drawn says the
// level read.
GLuint levelColouredTexture() {
    const uint8_t colours[7][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                   {0, 255, 255}, {255, 0, 255}, {255, 255, 255}};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (int level = 0, side = 64; side >= 1; ++level, side /= 2) {
        std::vector<uint8_t> texels;
        for (int i = 0; i < side * side; ++i)
            texels.insert(texels.end(), colours[level], colours[level] + 3);
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGB, side, side, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     texels.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    return texture;
}

TEST_F(RenderStateGL, AViewDrawnSmallerWithItsLodBiasReadsTheLevelsOfTheFullSizeView) {
    GLuint texture = levelColouredTexture();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 64, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    auto multiTexCoord = glFunctions.glMultiTexCoord2fARB;
    ASSERT_NE(multiTexCoord, nullptr);
    // The texture over `side` pixels with the view's bias, on texture unit `unit`.
    auto levelColour = [&](uint32_t unit, float side, float viewBias) {
        setViewLodBias(viewBias);
        selectTextureUnit(unit);
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
        setTextureEnvMode(GL_REPLACE);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (const auto& c : corners) {
            multiTexCoord(GL_TEXTURE0_ARB + unit, c[0], c[1]);
            glVertex2f(c[0] * side, c[1] * side);
        }
        glEnd();
        glDisable(GL_TEXTURE_2D);
        setTextureEnvMode(GL_MODULATE);
        selectTextureUnit(0);
        uint8_t pixel[4] = {};
        glReadPixels(int(side) / 2, int(side) / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return std::vector<int>{pixel[0], pixel[1], pixel[2]};
    };
    for (uint32_t unit : {0u, 1u, 3u}) {
        for (float side : {32.0f, 16.0f}) { // levels 1 and 2 at full size
            std::vector<int> full = levelColour(unit, side, 0.0f);
            EXPECT_NE(full, levelColour(unit, side / 2, 0.0f)) << unit << " " << side;
            EXPECT_EQ(full, levelColour(unit, side / 2, std::log2(0.5f))) << unit << " " << side;
        }
    }
    // A bias set in the view carries the view's; the kept copy holds what GL was given.
    setViewLodBias(-1.0f);
    setTextureLodBias(3.0f);
    EXPECT_FLOAT_EQ(renderState.layer.lodBias, 2.0f);
    setViewLodBias(0.0f);
    EXPECT_FLOAT_EQ(renderState.layer.lodBias, 0.0f);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderStateGL, MultisamplingModesAndTheirFilterHints) {
    EXPECT_EQ(multisampleFilterHint(0), 0u);
    EXPECT_EQ(multisampleFilterHint(1), static_cast<GLenum>(GL_FASTEST));
    EXPECT_EQ(multisampleFilterHint(2), static_cast<GLenum>(GL_NICEST));
    EXPECT_EQ(multisampleFilterHint(3), static_cast<GLenum>(GL_FASTEST));
    EXPECT_EQ(multisampleFilterHint(4), static_cast<GLenum>(GL_NICEST));
    EXPECT_EQ(multisampleFilterHint(5), 0u);
    EXPECT_EQ(multisampleFilterHint(6), 0u);

    renderState.settings.multisampleMode = 0;
    glDisable(GL_MULTISAMPLE_ARB);
    applyDefaultRenderState();
    EXPECT_FALSE(glIsEnabled(GL_MULTISAMPLE_ARB));

    // This driver has no filter hint: a hint call would leave GL_INVALID_ENUM behind. With
    // the hint claimed available, modes 5 and 6 still make no call.
    glCapabilities.multisampleFilterHintAvailable = true;
    for (int32_t mode : {5, 6}) {
        glDisable(GL_MULTISAMPLE_ARB);
        renderState.settings.multisampleMode = mode;
        applyDefaultRenderState();
        EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE_ARB)) << mode;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << mode;
    }
    renderState.settings.multisampleMode = 1;
    applyDefaultRenderState();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
}

int lastSwapInterval = -1;
int recordSwapInterval(unsigned int interval) {
    lastSwapInterval = static_cast<int>(interval);
    return 0;
}
int refuseSwapInterval(unsigned int) {
    return -1;
}

TEST_F(RenderStateGL, SwapIntervalOnlyWhereSwapControlIsAvailable) {
    glCapabilities.swapInterval = recordSwapInterval;
    lastSwapInterval = -1;
    applyDefaultRenderState();
    EXPECT_EQ(lastSwapInterval, -1);

    glCapabilities.swapControlAvailable = true;
    applyDefaultRenderState();
    EXPECT_EQ(lastSwapInterval, 1);
    // A window clears the vertical sync for good.
    renderState.settings.fullscreen = false;
    applyDefaultRenderState();
    EXPECT_EQ(lastSwapInterval, 0);
    EXPECT_FALSE(renderState.settings.verticalSync);
    renderState.settings.fullscreen = true;
    applyDefaultRenderState();
    EXPECT_EQ(lastSwapInterval, 0);
    // Refused when it is set: the interval is the driver's, as the overlay then says.
    glCapabilities.swapInterval = refuseSwapInterval;
    applyDefaultRenderState();
    EXPECT_FALSE(glCapabilities.swapControlAvailable);
}

TEST(RenderStateDeathTest, ZeroNearPlaneIsFatal) {
    failureState.batch = true;
    const std::string text =
        "zNear can not be zero !\n\nIf you are the programmer please correct your source "
        "code.\nIf you are user please contact the author and submit the error.";
    renderState = RenderState{};
    renderState.nearPlane = 0.0f;
    EXPECT_EXIT(setPerspectiveView(640, 480), testing::ExitedWithCode(1),
                fatalPattern("ERROR", text));
    EXPECT_EXIT(setPerspectiveViewAspect(512, 512, 1.0f), testing::ExitedWithCode(1),
                fatalPattern("ERROR", text));
}

} // namespace

// --- Added squares drawn only where their texels are lit ---------------------------------

namespace {

// A 64 x 64 RGBA texture, black but for a lit block [x0, x1) x [y0, y1).
std::vector<uint8_t> blockTexture(int x0, int y0, int x1, int y1, uint8_t value = 200) {
    std::vector<uint8_t> rgba(64 * 64 * 4, 0);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint8_t* texel = &rgba[(y * 64 + x) * 4];
            texel[0] = texel[1] = texel[2] = value;
        }
    for (int i = 3; i < 64 * 64 * 4; i += 4) rgba[i] = 255;
    return rgba;
}

TextureRecord recordOf(const std::vector<uint8_t>& rgba) {
    TextureRecord record;
    setTextureSize(record, 64, 64);
    record.lit = litTexels(rgba.data(), 64, 64);
    record.litKnown = true;
    return record;
}

} // namespace

TEST(LitSquares, LitTexelsAreTheSmallestRectangleOfColour) {
    struct Case {
        int x0, y0, x1, y1;
        TexelRect want;
    } cases[] = {
        {0, 0, 0, 0, {}},                   // all black (alpha alone lights nothing)
        {10, 20, 11, 21, {10, 20, 11, 21}}, // one texel
        {3, 5, 40, 9, {3, 5, 40, 9}},
        {0, 0, 64, 64, {0, 0, 64, 64}},
    };
    for (const Case& c : cases) {
        TexelRect lit = litTexels(blockTexture(c.x0, c.y0, c.x1, c.y1).data(), 64, 64);
        EXPECT_EQ(lit.x0, c.want.x0);
        EXPECT_EQ(lit.y0, c.want.y0);
        EXPECT_EQ(lit.x1, c.want.x1);
        EXPECT_EQ(lit.y1, c.want.y1);
    }
}

TEST(LitSquares, SamplingReachGrowsWithTheCoarsestLevelThatMayBeSampled) {
    struct Case {
        float texelsPerPixel, lodBias;
        bool mipmapped;
        int32_t want;
        const char* what;
    } cases[] = {
        {4.0f, 4.0f, false, 2, "without mipmaps the bilinear 2 x 2"},
        {0.25f, 0.0f, true, 5, "magnified twice over: level 0 alone"},
        {0.75f, 0.0f, true, 7, "near level 0: level 1 with half a level to spare"},
        {1.0f, 0.0f, true, 7, "levels 0 and 1"},
        {4.0f, 0.0f, true, 16, "levels 2 and 3"},
        {1.0f, 2.0f, true, 16, "the LOD bias counts as minification"},
        {1.0f, 4.0f, true, 52, "the glow's spread: level 5, 32-texel blocks"},
        {1.0f, -8.0f, true, 5, "the largest image at least"},
        {1.0f, 30.0f, true, 512, "past the smallest level: anywhere"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(samplingReach(c.texelsPerPixel, c.lodBias, c.mipmapped, 512), c.want) << c.what;
}

TEST(LitSquares, PartGrowsByTheFilterReachAndFallsBackToTheWholeTexture) {
    std::vector<uint8_t> centre = blockTexture(24, 28, 40, 36);
    TextureRecord record = recordOf(centre);
    struct Case {
        float texelsPerPixel;
        TexturePart want;
    } cases[] = {
        {0.25f, {19 / 64.0f, 23 / 64.0f, 45 / 64.0f, 41 / 64.0f}},
        {1.0f, {17 / 64.0f, 21 / 64.0f, 47 / 64.0f, 43 / 64.0f}},
        {16.0f, {}}, // the reach comes to the edges
        {0.0f, {}},  // size unknown
    };
    for (const Case& c : cases) {
        TexturePart part = litTexturePart(record, c.texelsPerPixel, 0.0f);
        EXPECT_FLOAT_EQ(part.s0, c.want.s0) << c.texelsPerPixel;
        EXPECT_FLOAT_EQ(part.t0, c.want.t0) << c.texelsPerPixel;
        EXPECT_FLOAT_EQ(part.s1, c.want.s1) << c.texelsPerPixel;
        EXPECT_FLOAT_EQ(part.t1, c.want.t1) << c.texelsPerPixel;
    }
    record.litKnown = false;
    EXPECT_TRUE(litTexturePart(record, 0.25f, 0.0f).whole());
    TextureRecord black = recordOf(blockTexture(0, 0, 0, 0));
    TexturePart none = litTexturePart(black, 0.25f, 0.0f);
    EXPECT_EQ(none.s1 - none.s0, 0.0f);
}

TEST(LitSquares, PartCornersKeepTheSquaresEdges) {
    const Vec3 square[4] = {{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};
    Vec3 corners[4];
    partCorners(square, TexturePart{}, corners);
    for (int i = 0; i < 4; ++i) expectVec(corners[i], square[i], 0.0f);
    partCorners(square, TexturePart{0.25f, 0.0f, 0.5f, 0.75f}, corners);
    expectVec(corners[0], {-0.5f, 1.0f, 0.0f});
    expectVec(corners[1], {0.0f, 1.0f, 0.0f});
    expectVec(corners[2], {0.0f, -0.5f, 0.0f});
    expectVec(corners[3], {-0.5f, -0.5f, 0.0f});
}

// Added over black, a billboard of a mostly black mipmapped texture draws the same picture
// (within the rounding of the interpolated texture coordinates) from only its lit part.
class LitBillboardGL : public BillboardGL {
  protected:
    std::vector<uint8_t> picture(const TextureRecord* texels) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        setBlending(true);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
        setDepthWrites(false);
        EXPECT_TRUE(blackTexelsAddNothing());
        drawBillboard({0.0f, 0.0f, -1.3f}, 1.2f, lit, renderState.modelview, texels);
        setBlending(false);
        std::vector<uint8_t> pixels(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    void upload(const std::vector<uint8_t>& rgba) {
        glGenTextures(1, &lit);
        glBindTexture(GL_TEXTURE_2D, lit);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    }
    void TearDown() override {
        if (lit != 0) glDeleteTextures(1, &lit);
        BillboardGL::TearDown();
    }
    GLuint lit = 0;
};

TEST_F(LitBillboardGL, OnlyTheLitPartIsDrawnAndThePictureStays) {
    std::vector<uint8_t> rgba = blockTexture(26, 26, 38, 38, 255);
    upload(rgba);
    TextureRecord record = recordOf(rgba);
    ViewMapping mapping = keptViewMapping();
    Vec3 corners[4];
    billboardCornersFromMatrix({0.0f, 0.0f, -1.3f}, 1.2f, corners, renderState.modelview);
    float texelsPerPixel = squareTexelsPerPixel(mapping, corners, 64, 64);
    // Magnified: the square spans 2.4 / 1.3 of the view's height at a 45 degree field of view.
    float side = 64.0f * 2.4f / (2.0f * 1.3f * std::tan(float(M_PI) / 8.0f));
    EXPECT_NEAR(texelsPerPixel, 64.0f / side, 0.01f);
    EXPECT_FALSE(litTexturePart(record, texelsPerPixel, 0.0f).whole());

    std::vector<uint8_t> whole = picture(nullptr);
    std::vector<uint8_t> part = picture(&record);
    int differing = 0, largest = 0, litPixels = 0;
    for (size_t i = 0; i < whole.size(); i += 4) {
        litPixels += whole[i] != 0;
        int difference = std::abs(int(whole[i]) - int(part[i]));
        differing += difference != 0;
        largest = std::max(largest, difference);
    }
    EXPECT_GT(litPixels, 100);
    EXPECT_LE(largest, 1) << differing << " pixels differ";
}

TEST_F(BillboardGL, TheWholeSquareIsDrawnWhereBlackChangesThePicture) {
    struct Case {
        const char* what;
        void (*set)();
        void (*reset)();
    } cases[] = {
        {"fog", [] { setFog(true); }, [] { setFog(false); }},
        {"depth writes", [] { setDepthWrites(true); }, [] { setDepthWrites(false); }},
        {"texture added", [] { setTextureEnvMode(GL_ADD); },
         [] { setTextureEnvMode(GL_MODULATE); }},
        {"blended over", [] { setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); },
         [] { setBlendFunction(GL_SRC_ALPHA, GL_ONE); }},
        {"not blended", [] { setBlending(false); }, [] { setBlending(true); }},
    };
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    setDepthWrites(false);
    setTextureEnvMode(GL_MODULATE);
    EXPECT_TRUE(blackTexelsAddNothing());
    for (const Case& c : cases) {
        c.set();
        EXPECT_FALSE(blackTexelsAddNothing()) << c.what;
        c.reset();
        EXPECT_TRUE(blackTexelsAddNothing()) << c.what;
    }
    setDepthWrites(true);
    setBlending(false);
}

TEST_F(BillboardGL, OnlySquaresFacingTheViewHaveTheirTexelsPerPixelMeasured) {
    Vec3 facing[4];
    billboardCorners({0.0f, 0.0f, -3.0f}, 0.5f, facing);
    ViewMapping mapping = keptViewMapping();
    // 0.5 / 3 of the half-view's 1 / tan(22.5 degrees) across 32 pixels.
    float side = 2.0f * 32.0f * (0.5f / 3.0f) / std::tan(float(M_PI) / 8.0f);
    EXPECT_NEAR(squareTexelsPerPixel(mapping, facing, 64, 64), 64.0f / side, 0.01f);
    Vec3 tilted[4] = {facing[0], facing[1], facing[2], facing[3]};
    tilted[0].z -= 0.5f, tilted[1].z -= 0.5f; // the top edge leans away
    EXPECT_EQ(squareTexelsPerPixel(mapping, tilted, 64, 64), 0.0f);
    Vec3 behind[4] = {facing[0], facing[1], facing[2], facing[3]};
    for (Vec3& corner : behind) corner.z = 1.0f;
    EXPECT_EQ(squareTexelsPerPixel(mapping, behind, 64, 64), 0.0f);
}

// The trimmed squares on the draw paths the demo uses, against the same squares drawn whole:
// flares (billboards rolled about the view axis) and star particles, magnified and minified,
// near and far, under several texture LOD biases.
class LitSquaresDrawPathGL : public LitBillboardGL {
  protected:
    void SetUp() override {
        LitBillboardGL::SetUp();
        if (IsSkipped()) return;
        glDisable(GL_DEPTH_TEST);
    }
    // The picture of `draw` added over black, as the scenes add their flares and stars.
    template <typename Draw> std::vector<uint8_t> added(Draw draw) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        setBlending(true);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
        draw();
        setBlending(false);
        std::vector<uint8_t> pixels(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
};

// The largest difference of a colour channel and the number of lit pixels.
void comparePictures(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& part,
                     int& largest, int& litPixels) {
    largest = 0, litPixels = 0;
    for (size_t i = 0; i < whole.size(); i += 4) {
        litPixels += whole[i] != 0;
        for (size_t k = 0; k < 3; ++k)
            largest = std::max(largest, std::abs(int(whole[i + k]) - int(part[i + k])));
    }
}

TEST_F(LitSquaresDrawPathGL, TrimmedFlaresAndStarsGiveThePictureOfTheWholeSquares) {
    std::vector<uint8_t> rgba = blockTexture(22, 27, 35, 33, 255);
    upload(rgba);
    TextureRecord record = recordOf(rgba);
    struct Case {
        const char* what;
        float distance, halfSize, roll, lodBias;
    } cases[] = {
        {"magnified, near", 1.3f, 1.2f, 0.0f, 0.0f},
        {"magnified, rolled", 1.3f, 1.2f, 33.0f, 0.0f},
        {"magnified, biased", 1.3f, 1.2f, -71.0f, 1.5f},
        {"about one texel a pixel", 3.0f, 1.2f, 12.0f, 0.0f},
        {"minified, far", 9.0f, 1.2f, 47.0f, 0.0f},
        {"minified, far, biased", 9.0f, 1.2f, 5.0f, 0.7f},
        {"minified, smaller", 4.5f, 0.5f, 90.0f, 0.3f},
        {"magnified, biased past a level", 2.0f, 1.2f, 20.0f, 1.0f},
    };
    Camera& camera = renderState.camera;
    for (const Case& c : cases) {
        setTextureLodBias(c.lodBias);
        // As the flares are drawn: corners from the view rolled about its axis, drawn in the
        // unrolled one.
        glPushMatrix();
        camera.roll = c.roll;
        applyCamera(false);
        glPopMatrix();
        float rolled[16];
        std::copy(renderState.modelview, renderState.modelview + 16, rolled);
        camera.roll = 0.0f;
        applyCamera(true);
        Vec3 centre{0.1f, -0.05f, -c.distance};
        Vec3 corners[4];
        billboardCornersFromMatrix(centre, c.halfSize, corners, rolled);
        float texelsPerPixel = squareTexelsPerPixel(keptViewMapping(), corners, 64, 64);
        EXPECT_FALSE(litTexturePart(record, texelsPerPixel, c.lodBias).whole()) << c.what;
        auto draw = [&](const TextureRecord* texels) {
            return added([&] { drawBillboard(centre, c.halfSize, lit, rolled, texels); });
        };
        int largest = 0, litPixels = 0;
        comparePictures(draw(nullptr), draw(&record), largest, litPixels);
        EXPECT_GT(litPixels, 0) << c.what;
        EXPECT_LE(largest, 1) << c.what;
    }
    setTextureLodBias(0.0f);
}

TEST_F(LitSquaresDrawPathGL, TrimmedParticleSquaresGiveThePictureOfTheWholeSquares) {
    std::vector<uint8_t> rgba = blockTexture(22, 27, 35, 33, 255);
    int32_t index = createTexture("STAR.PNG", 64, 64, rgba.data());
    TextureRecord& record = *textureState.records[index];
    glBindTexture(GL_TEXTURE_2D, record.glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    ParticleSystem& system = *createParticleSystem("stars");
    addParticleTexture(system, "STAR.PNG", "");
    system.particleCount = 12;
    system.fade = false;
    system.sizeChanges = false;
    initParticles(system);
    for (int32_t i = 0; i < system.poolCount; ++i) {
        Particle& particle = system.particles[i];
        particle.alive = true;
        particle.lifetime = 1000;
        // Near and far, small and large, across the view.
        particle.position = {float(i % 4) * 0.6f - 0.9f, float(i / 4) * 0.5f - 0.5f,
                             -1.5f - float(i) * 0.9f};
    }
    for (float size : {0.3f, 1.0f}) {
        system.size = size;
        for (float lodBias : {0.0f, 1.2f}) {
            setTextureLodBias(lodBias);
            auto draw = [&](bool litKnown) {
                record.litKnown = litKnown;
                return added([&] {
                    setDepthWrites(false);
                    drawParticles(system);
                    setDepthWrites(true);
                });
            };
            int largest = 0, litPixels = 0;
            comparePictures(draw(false), draw(true), largest, litPixels);
            EXPECT_GT(litPixels, 50) << size << " " << lodBias;
            EXPECT_LE(largest, 1) << size << " " << lodBias;
        }
    }
    setTextureLodBias(0.0f);
    deleteParticleSystem("stars");
    deleteTextureByName("STAR.PNG");
}

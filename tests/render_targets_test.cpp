#include "render/render_targets.h"

#include <SDL.h>

#include <set>
#include <string>

#include "fatal_pattern.h"
#include "render/target_passes.h"
#include "render/texture_modes.h"
#include "render2d_fixture.h"

namespace {

const std::string kAttention = "ATTENTION !";
const std::string kOpenGLError = "WINDOWS OpenGL ERROR";

// ---- the extension set-up, on made-up drivers ----

struct FakeDriver {
    GLStrings lists;
    std::set<std::string> missingEntryPoints;
};
FakeDriver fake;

GLQuery fakeQuery() {
    GLQuery query;
    query.lists = &fake.lists;
    static GLFunctions functions;
    loadGLFunctions(functions, [](const char* name) -> void* {
        static int anyFunction;
        return fake.missingEntryPoints.count(name) != 0 ? nullptr : &anyFunction;
    });
    query.functions = &functions;
    return query;
}

class TargetExtensions : public testing::Test {
  protected:
    void SetUp() override {
        fake = FakeDriver{};
        fake.lists.extensions = "GL_ARB_multitexture GL_ARB_framebuffer_object ";
        fake.lists.windowSystemExtensions = "GLX_ARB_create_context GLX_MESA_swap_control ";
        fake.lists.secondWindowSystemExtensions.clear();
        renderTargets = RenderTargetState{};
        failureState.batch = true;
    }
    static std::string fatal(const std::string& text) { return fatalPattern(kAttention, text); }
};

TEST_F(TargetExtensions, FramebuffersAndSharedContextsPass) {
    BoxRecorder boxes;
    setupPixelBufferExtensions(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty());

    // SDL on EGL: the EGL extension and its function stand in for the GLX ones.
    fake.lists.windowSystemExtensions = "EGL_KHR_create_context EGL_KHR_image ";
    fake.missingEntryPoints = {"glXCreateContextAttribsARB"};
    setupPixelBufferExtensions(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TargetExtensions, MissingPartsEndTheProgram) {
    FakeDriver full = fake;
    fake.lists.extensions = "GL_ARB_multitexture GL_ARB_framebuffer_objects ";
    EXPECT_EXIT(setupPixelBufferExtensions(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_ARB_framebuffer_object is missing !\nSo your video "
                      "card/driver does not support render_to_texture !"));
    fake = full;
    fake.missingEntryPoints = {"glGenerateMipmap"};
    EXPECT_EXIT(setupPixelBufferExtensions(fakeQuery()), testing::ExitedWithCode(1),
                fatal("One or more GL_ARB_framebuffer_object functions were not found\nalthough "
                      "the GL_ARB_framebuffer_object extension is present !\n\nSo your video "
                      "card/driver does not support render_to_texture !"));
    fake = full;
    fake.lists.windowSystemExtensions = "GLX_MESA_swap_control ";
    EXPECT_EXIT(setupPixelBufferExtensions(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GLX_ARB_create_context was not found !\nSo your video "
                      "card/driver does not support pBuffers (Pixel Buffers)."));
    fake = full;
    fake.missingEntryPoints = {"glXCreateContextAttribsARB"};
    EXPECT_EXIT(setupPixelBufferExtensions(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension function glXCreateContextAttribsARB was not found\n"
                      "although the GLX_ARB_create_context extension is present !\nSo your video "
                      "card/driver does not support pBuffers (Pixel Buffers)."));
    fake.lists.windowSystemExtensions = "EGL_KHR_create_context ";
    fake.missingEntryPoints = {"eglCreateContext"};
    EXPECT_EXIT(setupPixelBufferExtensions(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension function eglCreateContext was not found\nalthough the "
                      "EGL_KHR_create_context extension is present !\nSo your video card/driver "
                      "does not support pBuffers (Pixel Buffers)."));
}

// ---- targets on the real driver ----

class Targets : public Render2DTest {
  protected:
    static std::string fatal(const std::string& caption, const std::string& text) {
        return fatalPattern(caption, text);
    }
};

TEST_F(Targets, ThisDriverHasWhatTargetsNeed) {
    BoxRecorder boxes;
    setupPixelBufferExtensions(driverQuery(glStrings));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Targets, CreateLeavesTheWindowCurrentAndTheTargetDrawsOffScreen) {
    int32_t texturesBefore = textureState.glTextureCount;
    PixelBufferTarget target(512, 256);
    createTarget(target);
    ASSERT_TRUE(target.created);
    EXPECT_EQ(target.textureName, "pBuffer_Dummy_1");
    EXPECT_GE(findTexture("pBuffer_Dummy_1"), 0);
    EXPECT_FALSE(target.mipmapped); // the no-mipmaps load option is on
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(renderTargets.current, nullptr);

    ASSERT_TRUE(makeTargetCurrent(target));
    EXPECT_EQ(renderTargets.current, &target);
    EXPECT_NE(SDL_GL_GetCurrentContext(), window.context);
    GLint depthBits = 0, stencilBits = -1, redBits = 0, alphaBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_EQ(depthBits, 24);
    EXPECT_EQ(stencilBits, 0);
    EXPECT_EQ(redBits, 8);
    EXPECT_EQ(alphaBits, 8);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(pixelAt(511, 255)[0], 255);

    makeWindowCurrent();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(renderTargets.current, nullptr);
    EXPECT_EQ(renderState.screenWidth, kWindowWidth); // the window's perspective view again
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(pixelAt(10, 10)[0], 0) << "the window was not drawn into";
    drawTargetQuad(target, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(pixelAt(10, 10)[0], 255);
    EXPECT_EQ(pixelAt(kWindowWidth - 1, kWindowHeight - 1)[0], 255);

    releaseTarget(target);
    EXPECT_FALSE(target.created);
    EXPECT_LT(findTexture("pBuffer_Dummy_1"), 0);
    EXPECT_EQ(textureState.glTextureCount, texturesBefore);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Targets, TargetsNeverCreatedOrReleasedAreLeftAlone) {
    BoxRecorder boxes;
    PixelBufferTarget target(64, 64);
    EXPECT_FALSE(makeTargetCurrent(target));
    EXPECT_EQ(renderTargets.current, nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    releaseTarget(target);
    EXPECT_EQ(textureState.count, 0);

    createTarget(target);
    ASSERT_TRUE(makeTargetCurrent(target));
    releaseTarget(target); // while current: the window's context takes over
    EXPECT_EQ(renderTargets.current, nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    releaseTarget(target);
    EXPECT_FALSE(target.created);
    EXPECT_FALSE(makeTargetCurrent(target));
    EXPECT_EQ(textureState.count, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Targets, PlaceholderNumbersCountOnAcrossRecreation) {
    PixelBufferTarget target(32, 32);
    for (int i = 0; i < 5; ++i) createTarget(target);
    EXPECT_EQ(target.textureName, "pBuffer_Dummy_5");
    EXPECT_EQ(textureState.count, 1); // each re-creation released the one before
    PixelBufferTarget other(32, 32);
    createTarget(other);
    EXPECT_EQ(other.textureName, "pBuffer_Dummy_6");
    releaseTarget(target);
    releaseTarget(other);
}

TEST_F(Targets, CreatingWhileATargetIsCurrentKeepsItCurrent) {
    PixelBufferTarget first(32, 32), second(32, 32);
    createTarget(first);
    ASSERT_TRUE(makeTargetCurrent(first));
    GLContextHandle current = SDL_GL_GetCurrentContext();
    createTarget(second);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), current);
    EXPECT_EQ(renderTargets.current, &first);
    releaseTarget(second);
    releaseTarget(first);
}

// A mipmapped target's smaller levels follow what was drawn last.
TEST_F(Targets, MipmapsFollowTheImageWhenRead) {
    textureState.options.noMipmaps = false;
    PixelBufferTarget target(64, 64);
    createTarget(target);
    ASSERT_TRUE(target.mipmapped);
    const float colours[2][3] = {{0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    for (const float* colour : colours) {
        makeTargetCurrent(target);
        glClearColor(colour[0], colour[1], colour[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        makeWindowCurrent();
        bindTargetTexture(target);
        uint8_t level3[8 * 8 * 4] = {};
        glGetTexImage(GL_TEXTURE_2D, 3, GL_RGBA, GL_UNSIGNED_BYTE, level3);
        EXPECT_EQ(level3[1], colour[1] * 255);
        EXPECT_EQ(level3[2], colour[2] * 255);
    }
    releaseTarget(target);
}

TEST_F(Targets, SizeTheDriverCannotGrantEndsTheProgram) {
    const std::string tooOld = " failed !\nMaybe your graphic card is to old ?!";
    PixelBufferTarget huge(20000, 512);
    EXPECT_EXIT(createTarget(huge), testing::ExitedWithCode(1),
                fatal(kAttention, "Creating pBuffer (Pixel Buffer) with a dimension of 20000 x "
                                  "512" +
                                      tooOld));
    PixelBufferTarget empty(0, 0);
    EXPECT_EXIT(
        createTarget(empty), testing::ExitedWithCode(1),
        fatal(kAttention, "Creating pBuffer (Pixel Buffer) with a dimension of 0 x 0" + tooOld));
    // A driver granting only smaller targets.
    renderTargets.driver.largestSide = [] { return int32_t{256}; };
    PixelBufferTarget target(512, 512);
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1),
                fatal(kAttention,
                      "Creating pBuffer (Pixel Buffer) with a dimension of 512 x 512" + tooOld));
    PixelBufferTarget fits(256, 256);
    createTarget(fits);
    EXPECT_TRUE(fits.created);
    releaseTarget(fits);
}

TEST_F(Targets, FormatsTheDriverCannotGiveEndTheProgram) {
    const std::string noFormat =
        "Could not find an acceptable pixel format for pBuffer (Pixel Buffer) !";
    PixelBufferTarget target(64, 64);
    renderTargets.settings.depthBufferBits = 48;
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1), fatal(kAttention, noFormat));
    renderTargets.settings.depthBufferBits = 16;
    createTarget(target);
    makeTargetCurrent(target);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 16);
    releaseTarget(target);

    renderTargets.driver.createFrame = [](OffscreenFrame&, uint32_t, int, int, int) -> GLenum {
        return GL_FRAMEBUFFER_UNSUPPORTED;
    };
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1), fatal(kAttention, noFormat));
    renderTargets.driver.createFrame = [](OffscreenFrame&, uint32_t, int, int, int) -> GLenum {
        return GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT;
    };
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1),
                fatal(kAttention, "Creating pBuffer (Pixel Buffer) with the extension "
                                  "GL_ARB_framebuffer_object failed !"));
    renderTargets.driver = TargetDriver{};
    renderTargets.driver.createFrame = [](OffscreenFrame&, uint32_t, int, int, int) -> GLenum {
        return GL_OUT_OF_MEMORY;
    };
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1),
                fatal(kOpenGLError, "Creating pBuffer (Pixel Buffer) depth buffer failed !\nAn "
                                    "unknown error occured when calling OpenGL Extension "
                                    "function \"glRenderbufferStorage\" !"));
}

TEST_F(Targets, ContextFailuresEndTheProgram) {
    PixelBufferTarget target(64, 64);
    renderTargets.driver.createContext = []() -> GLContextHandle { return nullptr; };
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1),
                fatal(kOpenGLError, "Creating a render context for pBuffer (Pixel Buffer) failed "
                                    "!\nAn unknown error occured when calling "
                                    "OpenGL-API-Function \"SDL_GL_CreateContext\" !"));
    // A context of its own, not sharing the window's textures.
    renderTargets.driver.createContext = []() -> GLContextHandle {
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        return SDL_GL_CreateContext(windowState.window);
    };
    EXPECT_EXIT(createTarget(target), testing::ExitedWithCode(1),
                fatal(kAttention, "Sharing display list space between pBuffer (Pixel Buffer) "
                                  "context and main window context failed !"));
    renderTargets.driver = TargetDriver{};
    createTarget(target);
    renderTargets.driver.makeCurrent = [](GLContextHandle) { return false; };
    EXPECT_EXIT(makeTargetCurrent(target), testing::ExitedWithCode(1),
                fatal(kAttention, "Could not make the pBuffer (Pixel Buffer) context current !"));
    renderTargets.driver = TargetDriver{};
    renderTargets.driver.makeWindowCurrent = [] { return false; };
    const std::string noWindow = "Could not make the main window context current !";
    EXPECT_EXIT(makeWindowCurrent(), testing::ExitedWithCode(1), fatal(kAttention, noWindow));
    EXPECT_EXIT(releaseTarget(target), testing::ExitedWithCode(1), fatal(kAttention, noWindow));
    renderTargets.driver = TargetDriver{};
    releaseTarget(target);
}

// A target given another size draws into all of it and only it, with depth, in the texture read
// from it; a size of no pixels or its own size changes nothing; the context current before
// stays current.
TEST_F(Targets, ResizedTargetsDrawAtTheirNewSize) {
    PixelBufferTarget target(64, 64);
    createTarget(target);
    struct Case {
        int32_t width, height; // asked for
        int32_t expectWidth, expectHeight;
    } cases[] = {{32, 16, 32, 16}, {1, 1, 1, 1}, {0, 8, 1, 1},
                 {8, -1, 1, 1},    {1, 1, 1, 1}, {64, 64, 64, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        resizeTarget(target, c.width, c.height);
        EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
        EXPECT_EQ(target.width, c.expectWidth);
        EXPECT_EQ(target.height, c.expectHeight);
        GLint textureWidth = 0, textureHeight = 0;
        bindTargetTexture(target);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
        EXPECT_EQ(textureWidth, c.expectWidth);
        EXPECT_EQ(textureHeight, c.expectHeight);
        ASSERT_TRUE(makeTargetCurrent(target));
        GLint viewport[4] = {}, depthBits = 0;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        EXPECT_EQ(viewport[2], c.expectWidth);
        EXPECT_EQ(viewport[3], c.expectHeight);
        EXPECT_EQ(depthBits, 24);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(pixelAt(c.expectWidth - 1, c.expectHeight - 1)[1], 255);
        makeWindowCurrent();
    }
    releaseTarget(target);
}

TEST_F(Targets, ReleaseFailuresAreNoticesAndTheReleaseGoesOn) {
    PixelBufferTarget target(64, 64);
    createTarget(target);
    TargetDriver& d = renderTargets.driver;
    const uint32_t depthBuffer = target.frame.depthBuffer; // outlives the context
    d.deleteFrame = [](OffscreenFrame&) {};
    d.releaseCurrent = [] {
        releaseCurrentContext();
        return false;
    };
    d.deleteContext = [](GLContextHandle context) {
        deleteContext(context);
        return false;
    };
    BoxRecorder boxes;
    releaseTarget(target);
    const char* const expected[] = {
        "Destroying pBuffer (Pixel Buffer) failed !\nAn unknown error occured when calling "
        "OpenGL Extension function \"glDeleteFramebuffers\" !",
        "Releasing pBuffer (Pixel Buffer) depth buffer failed !\nAn unknown error occured when "
        "calling OpenGL Extension function \"glDeleteRenderbuffers\" !",
        "Releasing current pBuffer (Pixel Buffer) rendering context failed !\nAn unknown error "
        "occured when calling OpenGL-API-Function \"SDL_GL_MakeCurrent\" !",
        "Deleting current pBuffer (Pixel Buffer) render context failed !\nAn unknown error "
        "occured when calling OpenGL-API-Function \"SDL_GL_DeleteContext\" !",
    };
    ASSERT_EQ(boxes.boxes.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes.boxes[i].kind, BoxKind::Notice);
        EXPECT_EQ(boxes.boxes[i].caption, kOpenGLError);
        EXPECT_EQ(boxes.boxes[i].text, expected[i]);
    }
    EXPECT_FALSE(target.created);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(textureState.count, 0);
    glFunctions.glDeleteRenderbuffers(1, &depthBuffer);
}

// ---- blur and glow ----

// A target cleared to black with a white rectangle, in the 2D units of its ortho view.
void drawWhiteRect(PixelBufferTarget& target, float x0, float y0, float x1, float y1) {
    makeTargetCurrent(target);
    setOrthoView(target.width, target.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glRectf(x0, y0, x1, y1);
    makeWindowCurrent();
}

// A white square (-0.25 .. 0.25 on both axes) in the middle.
void drawWhiteSquare(PixelBufferTarget& target) {
    drawWhiteRect(target, -0.25f, -0.25f, 0.25f, 0.25f);
}

std::vector<uint8_t> targetRed(PixelBufferTarget& target) {
    makeTargetCurrent(target);
    std::vector<uint8_t> red = redChannel(target.width, target.height);
    makeWindowCurrent();
    return red;
}

class Passes : public Targets {
  protected:
    void SetUp() override {
        Targets::SetUp();
        if (IsSkipped()) return;
        textureState.options.noMipmaps = false;
        textureState.options.clamp = true; // as the demo makes its targets
        for (PixelBufferTarget* target : {&a, &b, &c}) {
            createTarget(*target);
            makeTargetCurrent(*target);
            applyDefaultRenderState(); // each context keeps its own state
        }
        makeWindowCurrent();
    }
    void TearDown() override {
        if (window.ok)
            for (PixelBufferTarget* target : {&a, &b, &c}) releaseTarget(*target);
        Targets::TearDown();
    }
    PixelBufferTarget a{128, 128}, b{128, 128}, c{128, 128};
};

TEST_F(Passes, BlurSpreadsTheImageAndEndsWhereThePassCountSays) {
    drawWhiteSquare(a);
    std::vector<uint8_t> before = targetRed(a);
    PixelBufferTarget& result = blurPasses(a, b, 7, 0.35f, 0.5f);
    EXPECT_EQ(&result, &b);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(overlay2D.quad.insetU, 0.0f);
    std::vector<uint8_t> after = targetRed(b);
    int row = 64 * 128;
    EXPECT_EQ(before[row + 20], 0);
    EXPECT_GT(after[row + 20], 0) << "the zoom carries light beyond the square";
    EXPECT_GT(after[row + 64], 0);

    EXPECT_EQ(&blurPasses(a, b, 6, 0.35f, 0.5f), &a);
    EXPECT_EQ(&blurPasses(a, b, 0, 0.35f, 0.5f), &a);
}

// Pass i adds a copy magnified about the middle, sampled inside an inset of spread / 2^i: a
// texture coordinate u lands at (u - inset) / (1 - 2 inset). With spread 0.1 the square's edge
// at 48 of 128 (u = 0.375) spreads out to 44, then 41.8, then 40.6.
TEST_F(Passes, EachBlurPassHalvesTheInset) {
    const int outerEdges[] = {44, 42, 41}; // the first pixel of the row brighter than 32
    for (int passes = 1; passes <= 3; passes++) {
        drawWhiteSquare(a);
        std::vector<uint8_t> red = targetRed(blurPasses(a, b, passes, 0.1f, 0.5f));
        int edge = 0;
        while (edge < 64 && red[64 * 128 + edge] <= 32) edge++;
        EXPECT_NEAR(edge, outerEdges[passes - 1], 1) << passes << " passes";
        EXPECT_EQ(overlay2D.quad.insetU, 0.0f);
        EXPECT_EQ(overlay2D.quad.insetV, 0.0f);
    }
}

TEST_F(Passes, GlowBrightensTheMiddleAndSpreadsBeyondTheSquare) {
    drawWhiteSquare(a);
    const float tint[3] = {0.6f, 0.6f, 1.0f};
    PixelBufferTarget& result = glowPasses(a, b, c, 0.7f, tint, 4.0f);
    EXPECT_EQ(&result, &c);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    std::vector<uint8_t> middle = targetRed(b);
    std::vector<uint8_t> glow = targetRed(c);
    int row = 64 * 128;
    // (1 - 0.7) x 0.7 x 4 inside the square, nothing outside.
    EXPECT_NEAR(middle[row + 64], 0.84 * 255, 3);
    EXPECT_EQ(middle[row + 20], 0);
    EXPECT_GT(glow[row + 64], 0);
    EXPECT_GT(glow[row + 64], glow[row + 36]);
    EXPECT_GT(glow[row + 44], 0) << "beyond the square's edge at 48";
    EXPECT_GT(glow[row + 64], glow[row + 44]);
    makeTargetCurrent(c);
    std::array<uint8_t, 4> edge = pixelAt(44, 64);
    makeWindowCurrent();
    EXPECT_GT(edge[2], edge[0]) << "tinted blue";
}

// The whole RGBA picture of a target, bottom row first; what is known of it stays known.
std::vector<uint8_t> targetPixels(PixelBufferTarget& target) {
    bool bounded = target.bounded;
    makeTargetCurrent(target);
    target.bounded = bounded;
    std::vector<uint8_t> pixels(size_t(target.width) * target.height * 4);
    glReadPixels(0, 0, target.width, target.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    makeWindowCurrent();
    return pixels;
}

// Whether every pixel outside the rectangle is black (alpha aside).
bool blackOutside(const std::vector<uint8_t>& pixels, int width, PixelRect rect) {
    for (size_t i = 0; i < pixels.size() / 4; ++i) {
        int x = int(i) % width, y = int(i) / width;
        bool inside = x >= rect.x0 && x < rect.x1 && y >= rect.y0 && y < rect.y1;
        if (!inside && (pixels[i * 4] | pixels[i * 4 + 1] | pixels[i * 4 + 2]) != 0) return false;
    }
    return true;
}

// A small white square near a corner, pixels (12, 16) to (20, 24) of a 128 x 128 target.
void drawSmallSquare(PixelBufferTarget& target) {
    drawWhiteRect(target, 12.0f / 64.0f - 1.0f, 16.0f / 64.0f - 1.0f, 20.0f / 64.0f - 1.0f,
                  24.0f / 64.0f - 1.0f);
}

// The glow added over the window as the first scene adds it, scissored or not; the window's
// colours afterwards.
std::vector<uint8_t> windowAfterGlowQuad(PixelBufferTarget& glow, bool scissor) {
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    overlay2D.quad.flip = true;
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    selectTextureUnit(0);
    setTextureLodBias(3.0f);
    bool scissored = scissor && scissorToTargetQuad(glow, -1.0f, 1.0f, 2.0f, 2.0f, 3.0f);
    EXPECT_EQ(scissored, scissor);
    drawTargetQuad(glow, -1.0f, 1.0f, 2.0f, 2.0f);
    glDisable(GL_SCISSOR_TEST);
    setTextureLodBias(0.0f);
    setBlending(false);
    overlay2D.quad.flip = false;
    std::vector<uint8_t> pixels(size_t(256) * 128 * 4);
    glReadPixels(0, 0, 256, 128, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0; // the window's alpha is not seen
    return pixels;
}

TEST_F(Passes, GlowOfABoundedSourceDrawsOnlyNearItAndGivesTheSamePictures) {
    const float tint[3] = {0.6f, 0.6f, 1.0f};
    drawSmallSquare(a);
    glowPasses(a, b, c, 0.7f, tint, 4.0f);
    EXPECT_FALSE(c.bounded) << "nothing was known of the source";
    std::vector<uint8_t> middle = targetPixels(b), glow = targetPixels(c);
    std::vector<uint8_t> onWindow = windowAfterGlowQuad(c, false);

    // Left-overs in the middle and destination must not survive the bounded passes.
    for (PixelBufferTarget* target : {&b, &c}) {
        makeTargetCurrent(*target);
        glClearColor(1.0f, 0.0f, 0.0f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        makeWindowCurrent();
    }
    drawSmallSquare(a);
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    boundTargetContent(a, {12, 16, 20, 24}, black);
    glowPasses(a, b, c, 0.7f, tint, 4.0f);
    ASSERT_TRUE(c.bounded);
    EXPECT_EQ(targetPixels(b), middle);
    EXPECT_EQ(targetPixels(c), glow);
    const PixelRect& content = c.content;
    EXPECT_LT((content.x1 - content.x0) * (content.y1 - content.y0), 128 * 128 / 2);
    EXPECT_TRUE(blackOutside(glow, 128, content));
    EXPECT_EQ(windowAfterGlowQuad(c, true), onWindow);

    // Nothing drawn at all: the passes only clear, and the quad draws nothing.
    drawSmallSquare(a);
    boundTargetContent(a, {}, black);
    glowPasses(a, b, c, 0.7f, tint, 4.0f);
    EXPECT_TRUE(c.bounded && c.content.empty());
    std::vector<uint8_t> cleared = targetPixels(c);
    EXPECT_TRUE(blackOutside(cleared, 128, {}));
}

TEST_F(Passes, OnlyABoundedTargetOnBlackIsScissoredAndMakingItCurrentForgetsTheBounds) {
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f}, grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    EXPECT_FALSE(scissorToTargetQuad(a, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f));
    boundTargetContent(a, {100, 100, 200, 200}, grey);
    EXPECT_FALSE(scissorToTargetQuad(a, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f)) << "grey adds something";
    boundTargetContent(a, {100, 100, 200, 200}, black);
    EXPECT_EQ(a.content.x1, 128) << "clipped to the target";
    EXPECT_TRUE(scissorToTargetQuad(a, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f));
    glDisable(GL_SCISSOR_TEST);
    makeTargetCurrent(a);
    makeWindowCurrent();
    EXPECT_FALSE(a.bounded);
}

TEST(QuadFootprint, ARepeatingTextureReachesRoundToTheFarSideFromNearAnEdge) {
    PixelBufferTarget target(512, 512);
    target.mipmapped = true;
    target.bounded = true;
    target.content = {100, 500, 120, 510};
    target.clamped = true;
    PixelRect clamped = quadFootprint(target, -1.0f, 1.0f, 2.0f, 2.0f, 512, 512, 0.0f);
    // One texel a pixel reaches 7 texels. Rows turned over by the unflipped quad: 493 .. 512
    // become 0 .. 19, and a pixel for the rounding.
    EXPECT_TRUE(clamped.x0 == 92 && clamped.x1 == 128 && clamped.y0 == 0 && clamped.y1 == 20)
        << clamped.x0 << " " << clamped.x1 << " " << clamped.y0 << " " << clamped.y1;
    target.clamped = false;
    PixelRect repeated = quadFootprint(target, -1.0f, 1.0f, 2.0f, 2.0f, 512, 512, 0.0f);
    EXPECT_TRUE(repeated.x0 == 92 && repeated.x1 == 128);
    EXPECT_TRUE(repeated.y0 == 0 && repeated.y1 == 512);
    EXPECT_TRUE(grownRect({}, 15, 512, 512).empty()) << "nothing stays nothing";
}

} // namespace

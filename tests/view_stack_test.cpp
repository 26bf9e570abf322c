#include "render/view_stack.h"

#include <string>

#include "fatal_pattern.h"
#include "render/font2d.h"
#include "render2d_fixture.h"

namespace {

// What a view governs, read back from GL and the engine.
struct ViewReading {
    GLint framebuffer = -1;
    GLint viewport[4] = {};
    float projectionAspect = 0.0f; // m[5] / m[0] of the projection matrix
    int32_t width2D = 0, height2D = 0;
    bool flip = false;
    float lodBias = 0.0f; // unit 0's, as GL has it
    PixelBufferTarget* target = nullptr;
};

ViewReading readView() {
    ViewReading r;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &r.framebuffer);
    glGetIntegerv(GL_VIEWPORT, r.viewport);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    r.projectionAspect = m[5] / m[0];
    r.target = renderTargets.current;
    r.width2D = r.target != nullptr ? r.target->width : currentViewWidth();
    r.height2D = r.target != nullptr ? r.target->height : currentViewHeight();
    r.flip = overlay2D.quad.flip;
    selectTextureUnit(0);
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &r.lodBias);
    return r;
}

void expectReading(const ViewReading& r, const ViewReading& expected, const std::string& level) {
    SCOPED_TRACE(level);
    EXPECT_EQ(r.target, expected.target);
    if (expected.target == nullptr) {
        EXPECT_EQ(r.framebuffer, expected.framebuffer);
    }
    EXPECT_EQ(r.viewport[2], expected.viewport[2]);
    EXPECT_EQ(r.viewport[3], expected.viewport[3]);
    EXPECT_NEAR(r.projectionAspect, expected.projectionAspect, 1e-4f);
    EXPECT_EQ(r.width2D, expected.width2D);
    EXPECT_EQ(r.height2D, expected.height2D);
    EXPECT_EQ(r.flip, expected.flip);
    EXPECT_FLOAT_EQ(r.lodBias, expected.lodBias);
}

class ViewStack : public Render2DTest {
  protected:
    void SetUp() override {
        Render2DTest::SetUp();
        if (!window.ok) return;
        viewStack = ViewStackState{};
        frameStack = FrameStackState{};
        renderState.settings.textureUnitCount = 1;
    }
};

// Views pushed one over the other: each push sets the framebuffer, viewport, projection, 2D
// size, quad row order and LOD bias of its view; each pop gives the level below back as it was
// when the view above was pushed, also where it was changed by hand after its own push.
TEST_F(ViewStack, NestedPushesRestoreEachLevel) {
    OffscreenFrame scaled, half;
    ASSERT_TRUE(createTexturedFrame(scaled, 100, 50, 24));
    ASSERT_TRUE(createTexturedFrame(half, 51, 25, 24));
    PixelBufferTarget target(64, 64);
    createTarget(target);
    bindFramebuffer(0);
    setPerspectiveView(kWindowWidth, kWindowHeight);

    View flipped = frameView(half, -2.0f);
    flipped.flip = true;
    struct Level {
        const char* name;
        View view;
        ViewReading expected;
        float biasByHand; // set after the push, given back by the pop above it
    };
    const float windowAspect = float(kWindowWidth) / float(kWindowHeight);
    Level levels[] = {
        {"window's frame",
         viewStack.views[0],
         {0,
          {0, 0, kWindowWidth, kWindowHeight},
          windowAspect,
          kWindowWidth,
          kWindowHeight,
          false,
          0.0f,
          nullptr},
         0.0f},
        {"scaled frame",
         frameView(scaled, -1.0f),
         {GLint(scaled.framebuffer), {0, 0, 100, 50}, 2.0f, 100, 50, false, -1.0f, nullptr},
         0.0f},
        {"half layer, rows flipped",
         flipped,
         {GLint(half.framebuffer), {0, 0, 51, 25}, 51.0f / 25.0f, 51, 25, true, -2.0f, nullptr},
         -2.0f},
        {"render target",
         targetView(target),
         {-1, {0, 0, 64, 64}, 51.0f / 25.0f, 64, 64, false, 0.0f, &target},
         0.0f},
    };
    constexpr int kLevels = int(std::size(levels));
    for (int i = 1; i < kLevels; ++i) {
        pushView(levels[i].view);
        expectReading(readView(), levels[i].expected, std::string("push ") + levels[i].name);
        setViewLodBias(levels[i].biasByHand);
        levels[i].expected.lodBias = levels[i].biasByHand;
    }
    EXPECT_EQ(viewStack.depth, kLevels);
    for (int i = kLevels - 2; i >= 0; --i) {
        popView();
        expectReading(readView(), levels[i].expected, std::string("pop to ") + levels[i].name);
    }
    // The window's frame stays at the bottom.
    popView();
    EXPECT_EQ(viewStack.depth, 1);
    expectReading(readView(), levels[0].expected, "pop below the window's frame");

    releaseTarget(target);
    deleteOffscreenFrame(scaled);
    deleteOffscreenFrame(half);
}

// A deeper stack than the views it holds is a fault of the program: it ends with a report.
TEST_F(ViewStack, PushingPastItsDepthIsFatal) {
    OffscreenFrame frame;
    ASSERT_TRUE(createTexturedFrame(frame, 8, 8, 24));
    for (int32_t i = 1; i < kMaxViews; ++i) pushView(frameView(frame, 0.0f));
    EXPECT_EQ(viewStack.depth, kMaxViews);
    EXPECT_EXIT(pushView(frameView(frame, 0.0f)), testing::ExitedWithCode(1),
                fatalPattern("ERROR", "More than 8 views were pushed !"));
    for (int32_t i = 1; i < kMaxViews; ++i) popView();
    deleteOffscreenFrame(frame);
}

// The window's frame changes under pushed views (frames shown scaled start or stop) without
// taking the binding from them; copies between frames and a frame the driver refuses leave the
// current framebuffer bound; popping binds the window's frame as it is then.
TEST_F(ViewStack, WindowFrameAndCopiesKeepTheCurrentFramebuffer) {
    OffscreenFrame scaled, windowFrame, half, refused;
    ASSERT_TRUE(createTexturedFrame(scaled, 100, 50, 24));
    ASSERT_TRUE(createTexturedFrame(windowFrame, 64, 32, 24));
    ASSERT_TRUE(createTexturedFrame(half, 50, 25, 24));
    bindFramebuffer(0);
    pushView(frameView(scaled, 0.0f));
    struct Step {
        const char* name;
        void (*run)(OffscreenFrame& scaled, OffscreenFrame& windowFrame, OffscreenFrame& half,
                    OffscreenFrame& refused);
        const OffscreenFrame* bound; // null: the window's own buffers
        int width, height;           // of the viewport and the view
    };
    const Step steps[] = {
        {"window's frame set under a view",
         [](OffscreenFrame&, OffscreenFrame& w, OffscreenFrame&, OffscreenFrame&) {
             setWindowFrame({w.framebuffer, w.width, w.height});
         },
         &scaled, 100, 50},
        {"colour copied between frames",
         [](OffscreenFrame&, OffscreenFrame& w, OffscreenFrame& h, OffscreenFrame&) {
             copyFrame(h, w.framebuffer, 0, 0, 64, 32);
         },
         &scaled, 100, 50},
        {"depth copied into a frame",
         [](OffscreenFrame& s, OffscreenFrame&, OffscreenFrame& h, OffscreenFrame&) {
             copyDepth(s.framebuffer, s.width, s.height, h);
         },
         &scaled, 100, 50},
        {"a frame the driver refuses",
         [](OffscreenFrame&, OffscreenFrame&, OffscreenFrame&, OffscreenFrame& r) {
             EXPECT_FALSE(createTexturedFrame(r, 0, 0, 24));
         },
         &scaled, 100, 50},
        {"popped to the window's frame",
         [](OffscreenFrame&, OffscreenFrame&, OffscreenFrame&, OffscreenFrame&) { popView(); },
         &windowFrame, 64, 32},
        {"the window's own buffers again",
         [](OffscreenFrame&, OffscreenFrame&, OffscreenFrame&, OffscreenFrame&) {
             setWindowFrame({});
             setPerspectiveView(currentViewWidth(), currentViewHeight());
         },
         nullptr, kWindowWidth, kWindowHeight},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.run(scaled, windowFrame, half, refused);
        GLint draw = -1, read = -1, viewport[4] = {};
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLint expected = step.bound != nullptr ? GLint(step.bound->framebuffer) : 0;
        EXPECT_EQ(draw, expected);
        EXPECT_EQ(read, expected);
        EXPECT_EQ(viewport[2], step.width);
        EXPECT_EQ(viewport[3], step.height);
        EXPECT_EQ(currentViewWidth(), step.width);
        EXPECT_EQ(currentViewHeight(), step.height);
    }
    for (OffscreenFrame* frame : {&scaled, &windowFrame, &half}) deleteOffscreenFrame(*frame);
}

} // namespace

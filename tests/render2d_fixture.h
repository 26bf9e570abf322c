// A hidden window standing in for the main window, with what the 2D drawing and the render
// targets need from the engine set up: the window state, the render state for its size,
// the multitexture entry points, the extension set-up and an empty texture table.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "config/configuration.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_strings.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/font2d.h"
#include "render/render_state.h"
#include "render/render_targets.h"
#include "resources/textures.h"
#include "support/test_support.h"

class Render2DTest : public testing::Test {
  protected:
    static constexpr int kWindowWidth = 256;
    static constexpr int kWindowHeight = 128;

    void SetUp() override {
        // A fatal report is checked in a process of its own: a forked child would share
        // the display connection with this one.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!window.ok) GTEST_SKIP() << "no display";
        failureState.batch = true;
        windowState.window = window.window;
        windowState.context = window.context;
        setWindowGLContext(windowState.window, windowState.context);
        configState = ConfigState{};
        renderState = RenderState{};
        renderState.settings.screenWidth = kWindowWidth;
        renderState.settings.screenHeight = kWindowHeight;
        renderState.settings.multisampleMode = 0;
        fillTextureUnitTable();
        glCapabilities = GLCapabilities{};
        loadGLFunctions();
        renderTargets = RenderTargetState{};
        overlay2D = Overlay2DState{};
        textureState.options = TextureLoadOptions{};
        captureGLStrings();
        setupPixelBufferExtensions(driverQuery(glStrings));
        setPerspectiveView(kWindowWidth, kWindowHeight);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    }

    void TearDown() override {
        if (!window.ok) return;
        releaseFont();
        deleteAllTextures();
        windowState.window = nullptr;
        windowState.context = nullptr;
        setWindowGLContext(nullptr, nullptr);
    }

    HiddenGLWindow window{kWindowWidth, kWindowHeight};
};

// One RGBA pixel of the current framebuffer, x from the left, y from the bottom.
inline std::array<uint8_t, 4> pixelAt(int x, int y) {
    std::array<uint8_t, 4> pixel{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    return pixel;
}

// The red channel of a whole framebuffer of the given size, bottom row first.
inline std::vector<uint8_t> redChannel(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<uint8_t> red(size_t(width) * height);
    for (size_t i = 0; i < red.size(); ++i) red[i] = pixels[i * 4];
    return red;
}

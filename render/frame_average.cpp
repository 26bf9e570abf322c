#include "render/frame_average.h"

#include <GL/gl.h>

#include "platform/frame_present.h"
#include "platform/gl/offscreen_frame.h"
#include "render/font2d.h"
#include "render/render_state.h"

namespace {

// A texture of the frame's size, sampled pixel for pixel; the binding of the active unit is
// kept. 0 where the driver refuses it.
uint32_t createMeanTexture(int width, int height) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    uint32_t texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    if (glGetError() == GL_NO_ERROR) return texture;
    glDeleteTextures(1, &texture);
    return 0;
}

void uploadMean(const FrameAverage& average) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, average.meanTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, average.width, average.height, GL_RGBA,
                    GL_UNSIGNED_BYTE, average.pixels.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
}

} // namespace

void addPixelsToSum(const uint8_t* pixels, uint16_t* sum, size_t count) {
    for (size_t i = 0; i < count; ++i) sum[i] = uint16_t(sum[i] + pixels[i]);
}

void meanOfSum(const uint16_t* sum, uint32_t frames, uint8_t* mean, size_t count) {
    if (frames == 0) return;
    // (sum + frames / 2) / frames by a multiplication: with sums below 2^17 and at most 256
    // frames the error of the rounded-up reciprocal stays below one frame's share.
    const uint64_t reciprocal = ((uint64_t(1) << 32) + frames - 1) / frames;
    const uint32_t half = frames / 2;
    for (size_t i = 0; i < count; ++i)
        mean[i] = uint8_t((uint64_t(sum[i] + half) * reciprocal) >> 32);
}

void addFrameToAverage(FrameAverage& average, int width, int height) {
    size_t values = size_t(width) * size_t(height) * 4;
    if (average.width != width || average.height != height) {
        if (average.meanTexture != 0) glDeleteTextures(1, &average.meanTexture);
        average.meanTexture = 0;
        average.width = width, average.height = height;
        average.frames = 0;
    }
    if (average.frames == 0) {
        average.sum.assign(values, 0);
        average.pixels.resize(values);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    readMainFrame();
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, average.pixels.data());
    bindFramebuffer(currentFramebuffer().framebuffer);
    addPixelsToSum(average.pixels.data(), average.sum.data(), values);
    average.frames++;
}

bool drawAverageOverFrame(FrameAverage& average) {
    uint32_t frames = average.frames;
    average.frames = 0;
    if (frames == 0) return false;
    if (average.meanTexture == 0)
        average.meanTexture = createMeanTexture(average.width, average.height);
    if (average.meanTexture == 0) return false;
    meanOfSum(average.sum.data(), frames, average.pixels.data(), average.sum.size());
    uploadMean(average);
    // Pixel for pixel over the frame, as nothing else drew it: no blending, white.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    setBlending(false);
    bool flip = overlay2D.quad.flip;
    overlay2D.quad.flip = true; // the rows run bottom to top
    drawTextureQuad(average.meanTexture, -1.0f, 1.0f, 2.0f, 2.0f);
    overlay2D.quad.flip = flip;
    return true;
}

void releaseFrameAverage(FrameAverage& average) {
    if (average.meanTexture != 0) glDeleteTextures(1, &average.meanTexture);
    average = FrameAverage{};
}

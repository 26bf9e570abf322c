#include "platform/gl/offscreen_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <initializer_list>
#include <string>

#include "platform/gl/gl_functions.h"
#include "platform/system/failure.h"

FrameStackState frameStack;

namespace {

// The depth format holding at least the given bits.
GLenum depthFormat(int bits) {
    if (bits <= 16) return GL_DEPTH_COMPONENT16;
    if (bits <= 24) return GL_DEPTH_COMPONENT24;
    return GL_DEPTH_COMPONENT32;
}

uint32_t attachRenderbuffer(const OffscreenFrame& frame, GLenum format, GLenum attachment) {
    uint32_t buffer = 0;
    glFunctions.glGenRenderbuffers(1, &buffer);
    glFunctions.glBindRenderbuffer(GL_RENDERBUFFER, buffer);
    glFunctions.glRenderbufferStorageMultisample(GL_RENDERBUFFER, frame.samples, format,
                                                 frame.width, frame.height);
    glFunctions.glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, buffer);
    return buffer;
}

// A texture of the frame's size as its colour buffer; the binding of the active unit is kept.
uint32_t attachColourTexture(const OffscreenFrame& frame) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    uint32_t texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width, frame.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    glFunctions.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture,
                                       0);
    return texture;
}

// Makes the frame and leaves it bound: GL_FRAMEBUFFER_COMPLETE, else GL_OUT_OF_MEMORY where the
// driver refused a buffer's storage, else the framebuffer's status; nothing is kept of a frame
// that is not complete, and no framebuffer is bound.
GLenum makeFrame(OffscreenFrame& frame, int width, int height, int depthBits, int samples,
                 uint32_t texture) {
    frame = OffscreenFrame{};
    if (!glFunctions.framebuffers) return GL_FRAMEBUFFER_UNSUPPORTED;
    while (glGetError() != GL_NO_ERROR) {
    }
    frame.width = width, frame.height = height, frame.samples = samples;
    glFunctions.glGenFramebuffers(1, &frame.framebuffer);
    glFunctions.glBindFramebuffer(GL_FRAMEBUFFER, frame.framebuffer);
    if (texture != 0) {
        frame.colourTexture = texture, frame.sharedColour = true;
        glFunctions.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                           texture, 0);
    } else if (samples > 0) {
        frame.colourBuffer = attachRenderbuffer(frame, GL_RGBA8, GL_COLOR_ATTACHMENT0);
    } else {
        frame.colourTexture = attachColourTexture(frame);
    }
    if (depthBits > 0)
        frame.depthBuffer = attachRenderbuffer(frame, depthFormat(depthBits), GL_DEPTH_ATTACHMENT);
    glFunctions.glBindRenderbuffer(GL_RENDERBUFFER, 0);
    GLenum status = glGetError() == GL_OUT_OF_MEMORY
                        ? GLenum(GL_OUT_OF_MEMORY)
                        : glFunctions.glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        deleteOffscreenFrame(frame);
        return status;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return status;
}

} // namespace

bool createOffscreenFrame(OffscreenFrame& frame, int width, int height, int depthBits,
                          int samples) {
    if (makeFrame(frame, width, height, depthBits, samples, 0) == GL_FRAMEBUFFER_COMPLETE)
        return true;
    bindFramebuffer(currentFramebuffer().framebuffer);
    return false;
}

GLenum createFrameOnTexture(OffscreenFrame& frame, uint32_t texture, int width, int height,
                            int depthBits) {
    return makeFrame(frame, width, height, depthBits, 0, texture);
}

int largestFrameSide() {
    GLint largest = 0;
    for (GLenum limit : {GL_MAX_TEXTURE_SIZE, GL_MAX_RENDERBUFFER_SIZE, GL_MAX_VIEWPORT_DIMS}) {
        GLint value[2] = {0, 0};
        glGetIntegerv(limit, value);
        if (value[0] > 0 && (largest == 0 || value[0] < largest)) largest = value[0];
    }
    return largest;
}

bool createTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits) {
    return createOffscreenFrame(frame, width, height, depthBits, 0);
}

bool sizeTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits) {
    if (frame.framebuffer != 0 && frame.width == width && frame.height == height) return true;
    deleteOffscreenFrame(frame);
    return createTexturedFrame(frame, width, height, depthBits);
}

void deleteOffscreenFrame(OffscreenFrame& frame) {
    if (frame.framebuffer != 0) glFunctions.glDeleteFramebuffers(1, &frame.framebuffer);
    for (uint32_t* buffer : {&frame.colourBuffer, &frame.depthBuffer})
        if (*buffer != 0) glFunctions.glDeleteRenderbuffers(1, buffer);
    if (frame.colourTexture != 0 && !frame.sharedColour) glDeleteTextures(1, &frame.colourTexture);
    frame = OffscreenFrame{};
}

void bindFramebuffer(uint32_t framebuffer) {
    glFunctions.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void readFromFrame(const OffscreenFrame& frame) {
    glFunctions.glBindFramebuffer(GL_READ_FRAMEBUFFER, frame.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

void copyFrame(const OffscreenFrame& source, uint32_t destination, int x, int y, int width,
               int height) {
    bool sameSize = width == source.width && height == source.height;
    glFunctions.glBindFramebuffer(GL_READ_FRAMEBUFFER, source.framebuffer);
    glFunctions.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, destination);
    glFunctions.glBlitFramebuffer(0, 0, source.width, source.height, x, y, x + width, y + height,
                                  GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    bindFramebuffer(currentFramebuffer().framebuffer);
}

void copyDepth(uint32_t source, int sourceWidth, int sourceHeight, const OffscreenFrame& frame) {
    glFunctions.glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glFunctions.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frame.framebuffer);
    glFunctions.glBlitFramebuffer(0, 0, sourceWidth, sourceHeight, 0, 0, frame.width, frame.height,
                                  GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    bindFramebuffer(currentFramebuffer().framebuffer);
}

namespace {

void bindLevel(const DrawnFramebuffer& drawn) {
    bindFramebuffer(drawn.framebuffer);
    if (drawn.width > 0 && drawn.height > 0) glViewport(0, 0, drawn.width, drawn.height);
}

} // namespace

void pushFramebuffer(const DrawnFramebuffer& drawn) {
    FrameStackState& stack = frameStack;
    if (stack.depth >= kMaxFramebuffers)
        fatalError("ERROR",
                   "More than " + std::to_string(kMaxFramebuffers) + " framebuffers were pushed !");
    stack.levels[stack.depth++] = drawn;
    bindLevel(drawn);
}

void popFramebuffer() {
    FrameStackState& stack = frameStack;
    if (stack.depth <= 1) return;
    --stack.depth;
    bindLevel(currentFramebuffer());
}

const DrawnFramebuffer& currentFramebuffer() {
    return frameStack.levels[frameStack.depth - 1];
}

void setWindowFrame(const DrawnFramebuffer& drawn) {
    frameStack.levels[0] = drawn;
    if (frameStack.depth == 1) bindLevel(drawn);
}

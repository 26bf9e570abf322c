#include "platform/offscreen_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <initializer_list>

namespace {

// The framebuffer-object calls, fetched from the driver of the current context.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
};
FramebufferCalls fbo;

template <typename Fn> bool fetch(Fn& function, const char* name) {
    function = reinterpret_cast<Fn>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

bool fetchFramebufferCalls() {
    return fetch(fbo.genFramebuffers, "glGenFramebuffers") &&
           fetch(fbo.deleteFramebuffers, "glDeleteFramebuffers") &&
           fetch(fbo.bindFramebuffer, "glBindFramebuffer") &&
           fetch(fbo.genRenderbuffers, "glGenRenderbuffers") &&
           fetch(fbo.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           fetch(fbo.bindRenderbuffer, "glBindRenderbuffer") &&
           fetch(fbo.renderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
           fetch(fbo.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           fetch(fbo.framebufferTexture2D, "glFramebufferTexture2D") &&
           fetch(fbo.checkFramebufferStatus, "glCheckFramebufferStatus") &&
           fetch(fbo.blitFramebuffer, "glBlitFramebuffer");
}

// The depth format holding at least the given bits.
GLenum depthFormat(int bits) {
    if (bits <= 16) return GL_DEPTH_COMPONENT16;
    if (bits <= 24) return GL_DEPTH_COMPONENT24;
    return GL_DEPTH_COMPONENT32;
}

uint32_t attachRenderbuffer(const OffscreenFrame& frame, GLenum format, GLenum attachment) {
    uint32_t buffer = 0;
    fbo.genRenderbuffers(1, &buffer);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, buffer);
    fbo.renderbufferStorageMultisample(GL_RENDERBUFFER, frame.samples, format, frame.width,
                                       frame.height);
    fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, buffer);
    return buffer;
}

uint32_t attachTexture(const OffscreenFrame& frame) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width, frame.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    fbo.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return texture;
}

bool makeFrame(OffscreenFrame& frame, int width, int height, int depthBits, int samples,
               bool textured) {
    frame = OffscreenFrame{};
    if (!fetchFramebufferCalls()) return false;
    frame.width = width, frame.height = height, frame.samples = samples;
    fbo.genFramebuffers(1, &frame.framebuffer);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, frame.framebuffer);
    if (textured)
        frame.colourTexture = attachTexture(frame);
    else
        frame.colourBuffer = attachRenderbuffer(frame, GL_RGBA8, GL_COLOR_ATTACHMENT0);
    if (depthBits > 0)
        frame.depthBuffer = attachRenderbuffer(frame, depthFormat(depthBits), GL_DEPTH_ATTACHMENT);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, 0);
    if (fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        deleteOffscreenFrame(frame);
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

} // namespace

bool createOffscreenFrame(OffscreenFrame& frame, int width, int height, int depthBits,
                          int samples) {
    return makeFrame(frame, width, height, depthBits, samples, false);
}

bool createTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits) {
    return makeFrame(frame, width, height, depthBits, 0, true);
}

void deleteOffscreenFrame(OffscreenFrame& frame) {
    if (frame.framebuffer != 0) {
        fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
        fbo.deleteFramebuffers(1, &frame.framebuffer);
    }
    for (uint32_t* buffer : {&frame.colourBuffer, &frame.depthBuffer})
        if (*buffer != 0) fbo.deleteRenderbuffers(1, buffer);
    if (frame.colourTexture != 0) glDeleteTextures(1, &frame.colourTexture);
    frame = OffscreenFrame{};
}

void bindFramebuffer(uint32_t framebuffer) {
    fbo.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void readFromFrame(const OffscreenFrame& frame) {
    fbo.bindFramebuffer(GL_READ_FRAMEBUFFER, frame.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

void copyFrame(const OffscreenFrame& source, uint32_t destination, int x, int y, int width,
               int height) {
    bool sameSize = width == source.width && height == source.height;
    fbo.bindFramebuffer(GL_READ_FRAMEBUFFER, source.framebuffer);
    fbo.bindFramebuffer(GL_DRAW_FRAMEBUFFER, destination);
    fbo.blitFramebuffer(0, 0, source.width, source.height, x, y, x + width, y + height,
                        GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
}

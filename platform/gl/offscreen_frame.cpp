#include "platform/gl/offscreen_frame.h"

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

bool fetchFramebufferCalls() {
    return fetchGLFunction(fbo.genFramebuffers, "glGenFramebuffers") &&
           fetchGLFunction(fbo.deleteFramebuffers, "glDeleteFramebuffers") &&
           fetchGLFunction(fbo.bindFramebuffer, "glBindFramebuffer") &&
           fetchGLFunction(fbo.genRenderbuffers, "glGenRenderbuffers") &&
           fetchGLFunction(fbo.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           fetchGLFunction(fbo.bindRenderbuffer, "glBindRenderbuffer") &&
           fetchGLFunction(fbo.renderbufferStorageMultisample,
                           "glRenderbufferStorageMultisample") &&
           fetchGLFunction(fbo.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           fetchGLFunction(fbo.framebufferTexture2D, "glFramebufferTexture2D") &&
           fetchGLFunction(fbo.checkFramebufferStatus, "glCheckFramebufferStatus") &&
           fetchGLFunction(fbo.blitFramebuffer, "glBlitFramebuffer");
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
    fbo.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return texture;
}

} // namespace

void* lookUpGLFunction(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

bool createOffscreenFrame(OffscreenFrame& frame, int width, int height, int depthBits,
                          int samples) {
    frame = OffscreenFrame{};
    if (!fetchFramebufferCalls()) return false;
    frame.width = width, frame.height = height, frame.samples = samples;
    fbo.genFramebuffers(1, &frame.framebuffer);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, frame.framebuffer);
    if (samples > 0)
        frame.colourBuffer = attachRenderbuffer(frame, GL_RGBA8, GL_COLOR_ATTACHMENT0);
    else
        frame.colourTexture = attachColourTexture(frame);
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

bool createTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits) {
    return createOffscreenFrame(frame, width, height, depthBits, 0);
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

void copyDepth(uint32_t source, int sourceWidth, int sourceHeight, const OffscreenFrame& frame) {
    fbo.bindFramebuffer(GL_READ_FRAMEBUFFER, source);
    fbo.bindFramebuffer(GL_DRAW_FRAMEBUFFER, frame.framebuffer);
    fbo.blitFramebuffer(0, 0, sourceWidth, sourceHeight, 0, 0, frame.width, frame.height,
                        GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, frame.framebuffer);
}

#include "render/frame_readback.h"

#include "platform/window.h"
#include "render/capabilities.h"

namespace {

struct PixelBufferCalls {
    PFNGLGENBUFFERSPROC genBuffers = nullptr;
    PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
    PFNGLBINDBUFFERPROC bindBuffer = nullptr;
    PFNGLBUFFERDATAPROC bufferData = nullptr;
    PFNGLMAPBUFFERPROC mapBuffer = nullptr;
    PFNGLUNMAPBUFFERPROC unmapBuffer = nullptr;
};
PixelBufferCalls pixelBufferCalls;

template <typename Proc> void fetch(const GLQuery& query, Proc& proc, const char* name) {
    proc = reinterpret_cast<Proc>(query.entryPoint(name));
}

bool fetchCalls() {
    GLQuery query = driverQuery(glStrings);
    PixelBufferCalls& gl = pixelBufferCalls;
    fetch(query, gl.genBuffers, "glGenBuffers");
    fetch(query, gl.deleteBuffers, "glDeleteBuffers");
    fetch(query, gl.bindBuffer, "glBindBuffer");
    fetch(query, gl.bufferData, "glBufferData");
    fetch(query, gl.mapBuffer, "glMapBuffer");
    fetch(query, gl.unmapBuffer, "glUnmapBuffer");
    return gl.genBuffers != nullptr && gl.deleteBuffers != nullptr && gl.bindBuffer != nullptr &&
           gl.bufferData != nullptr && gl.mapBuffer != nullptr && gl.unmapBuffer != nullptr;
}

const uint8_t* mapFrame(FrameReadback& readback, int index) {
    const PixelBufferCalls& gl = pixelBufferCalls;
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[index]);
    void* pixels = gl.mapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (pixels == nullptr) return nullptr;
    readback.mapped = index;
    return static_cast<const uint8_t*>(pixels);
}

} // namespace

bool startReadback(FrameReadback& readback, int width, int height) {
    readback = FrameReadback{};
    if (width <= 0 || height <= 0 || !fetchCalls()) return false;
    const PixelBufferCalls& gl = pixelBufferCalls;
    readback.width = width;
    readback.height = height;
    gl.genBuffers(2, readback.buffers);
    for (uint32_t buffer : readback.buffers) {
        gl.bindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        gl.bufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(frameBytes(readback)), nullptr,
                      GL_STREAM_READ);
    }
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

const uint8_t* readBackFrame(FrameReadback& readback) {
    const PixelBufferCalls& gl = pixelBufferCalls;
    releaseReadFrame(readback);
    int index = int(readback.queued % 2);
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[index]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    readMainFrame();
    glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    readback.queued++;
    if (readback.queued == 1) return nullptr;
    return mapFrame(readback, 1 - index);
}

const uint8_t* takeLastFrame(FrameReadback& readback) {
    releaseReadFrame(readback);
    if (readback.queued == 0) return nullptr;
    return mapFrame(readback, int((readback.queued - 1) % 2));
}

void releaseReadFrame(FrameReadback& readback) {
    if (readback.mapped < 0) return;
    const PixelBufferCalls& gl = pixelBufferCalls;
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[readback.mapped]);
    gl.unmapBuffer(GL_PIXEL_PACK_BUFFER);
    gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    readback.mapped = -1;
}

void stopReadback(FrameReadback& readback) {
    if (readback.buffers[0] != 0) {
        releaseReadFrame(readback);
        pixelBufferCalls.deleteBuffers(2, readback.buffers);
    }
    readback = FrameReadback{};
}

#include "render/frame_readback.h"

#include "platform/window.h"
#include "platform/gl/gl_functions.h"

namespace {

const uint8_t* mapFrame(FrameReadback& readback, int index) {
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[index]);
    void* pixels = glFunctions.glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (pixels == nullptr) return nullptr;
    readback.mapped = index;
    return static_cast<const uint8_t*>(pixels);
}

} // namespace

bool startReadback(FrameReadback& readback, int width, int height) {
    readback = FrameReadback{};
    if (width <= 0 || height <= 0 || !glFunctions.pixelBuffers) return false;
    readback.width = width;
    readback.height = height;
    glFunctions.glGenBuffers(2, readback.buffers);
    for (uint32_t buffer : readback.buffers) {
        glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glFunctions.glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(frameBytes(readback)), nullptr,
                                 GL_STREAM_READ);
    }
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

const uint8_t* readBackFrame(FrameReadback& readback) {
    releaseReadFrame(readback);
    int index = int(readback.queued % 2);
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[index]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    readMainFrame();
    glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
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
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[readback.mapped]);
    glFunctions.glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glFunctions.glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    readback.mapped = -1;
}

void stopReadback(FrameReadback& readback) {
    if (readback.buffers[0] != 0) {
        releaseReadFrame(readback);
        glFunctions.glDeleteBuffers(2, readback.buffers);
    }
    readback = FrameReadback{};
}

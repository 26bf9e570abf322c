// Off-screen frames: a framebuffer object with an RGBA 8-8-8-8 colour buffer and, where asked,
// a depth buffer, made in the GL context current now, and the copies between frames. The data
// tool's viewer draws its shots into one; the demo window draws into one where its frames are
// shown scaled or carry the gamma. A frame of one sample per pixel keeps its colour in a
// texture, so that a last pass can draw it.
#pragma once

#include <cstdint>

struct OffscreenFrame {
    uint32_t framebuffer = 0;
    uint32_t colourBuffer = 0;  // multisampled frames
    uint32_t colourTexture = 0; // frames of one sample per pixel
    uint32_t depthBuffer = 0;   // none where the frame is only copied into
    int width = 0;
    int height = 0;
    int samples = 0; // 0: one sample per pixel
};

// Makes the frame (no depth buffer for depthBits 0) and leaves it bound for drawing and
// reading. False, with nothing made and framebuffer 0 bound, where the driver has no
// framebuffer objects or refuses the frame.
bool createOffscreenFrame(OffscreenFrame& frame, int width, int height, int depthBits, int samples);
// The same with one sample per pixel and the colour in a texture (RGBA 8-8-8-8, bilinear,
// clamped at the edges), which is drawn where the frame is shown (rows from the bottom).
bool createTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits);
// Deletes what the frame holds (in its context) and binds framebuffer 0.
void deleteOffscreenFrame(OffscreenFrame& frame);

// Binds a framebuffer (0: the window's own) for drawing and reading.
void bindFramebuffer(uint32_t framebuffer);
// Binds the frame for reading only: pixels are read and copied from its colour buffer.
void readFromFrame(const OffscreenFrame& frame);
// Copies the whole frame into the rectangle (x, y, width, height) of the framebuffer
// destination (origin bottom left), smoothed where the size changes, and binds the
// destination for drawing.
void copyFrame(const OffscreenFrame& source, uint32_t destination, int x, int y, int width,
               int height);
// Copies the depth of the framebuffer source (sourceWidth x sourceHeight) over the whole of
// frame, nearest sample where the size changes (depths are not blended), and binds frame. The
// two must have depth buffers of the same bits.
void copyDepth(uint32_t source, int sourceWidth, int sourceHeight, const OffscreenFrame& frame);

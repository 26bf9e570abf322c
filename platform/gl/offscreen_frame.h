// Off-screen frames: a framebuffer object with an RGBA 8-8-8-8 colour buffer and, where asked,
// a depth buffer, made in the GL context current now, and the copies between frames. The data
// tool's viewer draws its shots into one; the demo window draws into one where its frames are
// shown scaled or carry the gamma. A frame of one sample per pixel keeps its colour in a
// texture, so that a last pass can draw it.
//
// The framebuffers of the window's context drawn into, as a stack: the window's frame at the
// bottom (the window's own buffers, or the off-screen frame its frames go into while they are
// shown scaled), off-screen frames pushed over it. Pushing binds a framebuffer for drawing and
// reading and sets the viewport to its size; popping does the same for the one below.
#pragma once

#include <GL/gl.h>

#include <cstdint>

struct OffscreenFrame {
    uint32_t framebuffer = 0;
    uint32_t colourBuffer = 0;  // multisampled frames
    uint32_t colourTexture = 0; // frames of one sample per pixel
    uint32_t depthBuffer = 0;   // none where the frame is only copied into
    int width = 0;
    int height = 0;
    int samples = 0;           // 0: one sample per pixel
    bool sharedColour = false; // the colour texture is its maker's: kept when the frame goes
};

// Makes the frame (no depth buffer for depthBits 0) and leaves it bound for drawing and
// reading. False, with nothing made and the current framebuffer of the stack bound again,
// where the driver has no framebuffer objects or refuses the frame.
bool createOffscreenFrame(OffscreenFrame& frame, int width, int height, int depthBits, int samples);
// The same with one sample per pixel and the colour in a texture (RGBA 8-8-8-8, bilinear,
// clamped at the edges), which is drawn where the frame is shown (rows from the bottom).
bool createTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits);
// A frame of one sample per pixel drawing into `texture`, whose width x height storage its maker
// gives and keeps, with a depth buffer of at least depthBits, left bound. GL_FRAMEBUFFER_COMPLETE
// where it is made; else, with nothing made and framebuffer 0 bound, GL_OUT_OF_MEMORY where the
// driver refused the depth storage, else the framebuffer's status.
GLenum createFrameOnTexture(OffscreenFrame& frame, uint32_t texture, int width, int height,
                            int depthBits);
// The largest side a frame can have: the least of the driver's texture, renderbuffer and
// viewport limits.
int largestFrameSide();
// Deletes what the frame holds (in its context); where it was bound, framebuffer 0 is bound.
void deleteOffscreenFrame(OffscreenFrame& frame);

// Keeps a frame of one sample per pixel (see createTexturedFrame) at width x height: made anew
// where its size differs, and then left bound. False, with no frame and the framebuffer bound
// before bound again, where the driver refuses it.
bool sizeTexturedFrame(OffscreenFrame& frame, int width, int height, int depthBits);

// Binds a framebuffer (0: the window's own) for drawing and reading.
void bindFramebuffer(uint32_t framebuffer);
// Binds the frame for reading only: pixels are read and copied from its colour buffer.
void readFromFrame(const OffscreenFrame& frame);
// Copies the whole frame into the rectangle (x, y, width, height) of the framebuffer
// destination (origin bottom left), smoothed where the size changes; the current framebuffer
// of the stack is bound again.
void copyFrame(const OffscreenFrame& source, uint32_t destination, int x, int y, int width,
               int height);
// Copies the depth of the framebuffer source (sourceWidth x sourceHeight) over the whole of
// frame, nearest sample where the size changes (depths are not blended); the current
// framebuffer of the stack is bound again. The two must have depth buffers of the same bits.
void copyDepth(uint32_t source, int sourceWidth, int sourceHeight, const OffscreenFrame& frame);

struct DrawnFramebuffer {
    uint32_t framebuffer = 0; // 0: the window's own buffers
    int width = 0;            // 0: a size not known here (the viewport is left as it is)
    int height = 0;
};

inline constexpr int kMaxFramebuffers = 8;

struct FrameStackState {
    DrawnFramebuffer levels[kMaxFramebuffers]; // levels[0] is the window's frame
    int depth = 1;                             // levels in use
};
extern FrameStackState frameStack;

// Binds the framebuffer and sets the viewport to its size; more than kMaxFramebuffers levels is
// fatal.
void pushFramebuffer(const DrawnFramebuffer& drawn);
// Back to the level below, bound with its viewport; the window's frame stays.
void popFramebuffer();
const DrawnFramebuffer& currentFramebuffer();
// The window's frame from now on, bound at once where nothing is pushed over it.
void setWindowFrame(const DrawnFramebuffer& drawn);

// The main window's frames where the window does not show them as they are drawn: full screen
// on a desktop that keeps its own mode, a window made smaller to fit the usable desktop or
// resized by its manager or the user, a drawable of more pixels than the window (HiDPI), and
// a gamma the picture carries itself. The demo still draws every frame at the configured
// size, off-screen; the swap shows it scaled to the window, with black bars where the aspects
// differ (and through the gamma pass where it has a curve), and mouse positions are taken back
// into frame pixels.
#pragma once

#include "platform/gl/offscreen_frame.h"

struct FrameArea {
    int x = 0; // from the left
    int y = 0; // from the top (the same from the bottom: areas are centred)
    int width = 0;
    int height = 0;
};

// The largest size of a width x height frame's aspect within areaWidth x areaHeight, centred
// there (at least 1 x 1; empty for a frame or an area without pixels).
FrameArea fitAspect(int width, int height, int areaWidth, int areaHeight);
// The size frames are drawn at for a width x height picture shown in a drawable of
// areaWidth x areaHeight pixels: the picture's own size, or, where realPixels is set and the
// drawable would show the picture larger (a HiDPI panel, a full screen or window larger than
// the picture), the picture's aspect at the drawable's own pixels, so that nothing drawn is
// stretched. A drawable showing the picture smaller keeps the picture's size.
FrameArea drawnFrameArea(int width, int height, int areaWidth, int areaHeight, bool realPixels);
// A point of the window in frame pixels, for a frame shown in the area `shown`; points on
// the bars go to the frame's nearest edge.
void windowPointToFrame(const FrameArea& shown, int frameWidth, int frameHeight, int& x, int& y);

struct ScaledFramesState {
    bool active = false;
    OffscreenFrame drawn;    // where the demo draws, multisampled as configured
    OffscreenFrame resolved; // the finished multisampled frame, one sample per pixel
    // The window's own buffers are multisampled: frames are drawn into them by the gamma
    // pass (a multisampled buffer cannot be copied into).
    bool windowMultisampled = false;
    // Makes the frames; tests put a refusing one in to show a driver without off-screen frames.
    bool (*createFrame)(OffscreenFrame& frame, int width, int height, int depthBits,
                        int samples) = createOffscreenFrame;
};
extern ScaledFramesState scaledFrames;

// In the window's context: frames of width x height with the configured depth bits and
// samples (0 for none) are drawn off-screen from now on, as the window's frame at the bottom of
// the framebuffer stack, for a window whose own buffers are multisampled or not. False where
// the driver cannot; the frames then go to the window as they are.
bool startScaledFrames(int width, int height, int depthBits, int samples, bool windowMultisampled);
// The window's own buffers are the window's frame again.
void stopScaledFrames();
// The finished frame pushed into the window's back buffer, scaled to windowWidth x windowHeight
// (through the gamma pass where it has a curve or the window is multisampled), and popped: the
// caller swaps, and drawing goes on off-screen.
void showScaledFrame(int windowWidth, int windowHeight);
// Selects the finished frame for reading (glReadPixels).
void readScaledFrame();

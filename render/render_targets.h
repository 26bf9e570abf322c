// Off-screen render targets ("pixel buffers"): each target is a GL context of its own that
// shares textures with the window's context and draws into a framebuffer object whose colour
// buffer is the target's placeholder texture, so what is drawn there is read as a texture
// without a copy. Each context keeps its own GL state. Creating, switching to and releasing
// targets, the extension set-up they need, and the blur and glow passes built on them.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>

#include "platform/gl/gl_context.h"
#include "platform/gl/offscreen_frame.h"
#include "render/capabilities.h"
#include "render/render_state.h"

inline constexpr const char* kFramebufferExtension = "GL_ARB_framebuffer_object";
// The window system's extension for contexts made with attributes and a share context: the
// GLX one, or the EGL one where SDL runs on EGL.
inline constexpr const char* kSharedContextExtension = "GLX_ARB_create_context";
inline constexpr const char* kSharedContextExtensionEgl = "EGL_KHR_create_context";

// A rectangle of a target's or the window's pixels, [x0, x1) x [y0, y1), rows counted from
// the bottom as GL counts them. Empty when x1 <= x0 or y1 <= y0.
struct PixelRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

struct PixelBufferTarget {
    PixelBufferTarget(int32_t targetWidth, int32_t targetHeight)
        : width(targetWidth), height(targetHeight) {}

    std::string textureName; // "pBuffer_Dummy_" + number: the placeholder texture
    uint32_t texture = 0;    // its GL name, the colour buffer, bound when the target is read
    bool created = false;    // context, framebuffer and depth buffer exist
    int32_t width = 0;       // requested size in pixels
    int32_t height = 0;
    bool mipmapped = false; // mipmaps are made again each time the target is read
    bool clamped = false;   // its texture clamps at the edges rather than repeating
    GLContextHandle context = nullptr;
    OffscreenFrame frame; // in the target's context: the texture with a depth buffer
    // What its drawer knows of the picture: when bounded, every pixel outside `content` holds
    // `background`. Forgotten each time the target is made current.
    bool bounded = false;
    PixelRect content;
    float background[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    LayerState layer; // the engine's copy of its context's state while another is current
};

// The window-system and framebuffer steps of making and unmaking a target; tests put in their
// own to show failures this driver never gives.
struct TargetDriver {
    GLContextHandle (*createContext)() = createSharedContext; // shares objects; current after
    bool (*makeCurrent)(GLContextHandle context) = makeContextCurrent;
    bool (*makeWindowCurrent)() = makeWindowContextCurrent;
    bool (*releaseCurrent)() = releaseCurrentContext; // no context current
    bool (*deleteContext)(GLContextHandle context) = [](GLContextHandle context) {
        ::deleteContext(context);
        return true;
    };
    int (*largestSide)() = largestFrameSide; // the largest target side the driver grants
    // In the target's context, current (see createFrameOnTexture).
    GLenum (*createFrame)(OffscreenFrame& frame, uint32_t texture, int width, int height,
                          int depthBits) = createFrameOnTexture;
    void (*deleteFrame)(OffscreenFrame& frame) = deleteOffscreenFrame;
};

// Settings read here, copied from the configuration once at start-up.
struct TargetSettings {
    int32_t depthBufferBits = 24;
};

struct RenderTargetState {
    TargetSettings settings;
    TargetDriver driver;
    PixelBufferTarget* current = nullptr; // the target last made current; none: the window
    int32_t creationCount = 0;            // numbers the placeholder textures
    LayerState windowLayer;               // the window context's copy while a target's is current
};
extern RenderTargetState renderTargets;

// The extension step that ends the capability check: framebuffer objects and shared
// contexts, or the program ends.
void setupPixelBufferExtensions(const GLQuery& query);

// Creates (or re-creates) the target: its context, placeholder texture, framebuffer and
// depth buffer. The context current before stays current. Failures are fatal.
void createTarget(PixelBufferTarget& target);
// False when the target is not created; else its context becomes current.
bool makeTargetCurrent(PixelBufferTarget& target);
// The window's context again, with the perspective view of the window-side view drawn into.
void makeWindowCurrent();
// The perspective view for the target's size with the aspect of the window-side view.
void setTargetPerspective(const PixelBufferTarget& target);
// Gives a created target another size: its image (and mipmaps) and depth buffer are made
// anew at width x height, with undefined content. The context current before stays current.
void resizeTarget(PixelBufferTarget& target, int32_t width, int32_t height);
// Destroys what createTarget made and leaves the window's context current. A target not
// created is left alone, so releasing twice is harmless.
void releaseTarget(PixelBufferTarget& target);

// Binds the target's image to GL_TEXTURE_2D of the active unit for reading (its mipmaps
// made again first when it has them).
void bindTargetTexture(const PixelBufferTarget& target);

// Records that the target's pixels outside `content` (clipped to the target) hold
// `background`.
void boundTargetContent(PixelBufferTarget& target, PixelRect content, const float background[4]);
// The rectangle grown by `by` pixels on every side and clipped to width x height.
PixelRect grownRect(PixelRect rect, int32_t by, int32_t width, int32_t height);
// The pixels of a view of viewWidth x viewHeight that the target's quad (x, y, w, h) in 2D
// coordinates, with the 2D quad state as it is, can draw from the target's content when
// sampled with the LOD bias; the whole view for a target not bounded.
PixelRect quadFootprint(const PixelBufferTarget& target, float x, float y, float w, float h,
                        int32_t viewWidth, int32_t viewHeight, float lodBias);
// For a bounded target whose background adds nothing (black, drawn with an additive blend):
// scissors the current view to the pixels that the target's quad (x, y, w, h) in 2D
// coordinates, sampled with the LOD bias, can change, and returns true; the caller disables
// GL_SCISSOR_TEST afterwards. False, and no scissor, for any other target.
bool scissorToTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h,
                         float lodBias);

// Zoom blur: n passes back and forth between a and b, each drawing the source dimmed by
// intensity and, blended over it, a copy magnified by spread / 2^i. Returns the target that
// holds the result (b for an odd n, a for an even n).
PixelBufferTarget& blurPasses(PixelBufferTarget& a, PixelBufferTarget& b, int32_t passes,
                              float spread, float intensity);
// Glow: the parts of source brighter than intensity, scaled, into middle; middle tinted and
// spread through its smaller mipmaps (LOD bias) into destination, which is returned. When the
// source is bounded on a black background, only the rectangles that can differ from black are
// drawn (the rest is cleared), and the middle and destination are bounded in turn.
PixelBufferTarget& glowPasses(PixelBufferTarget& source, PixelBufferTarget& middle,
                              PixelBufferTarget& destination, float intensity, const float tint[3],
                              float lodBias);

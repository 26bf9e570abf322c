// Off-screen render targets ("pixel buffers"): each target is a GL context of its own that
// shares textures with the window's context and draws into a framebuffer object whose colour
// buffer is the target's placeholder texture, so what is drawn there is read as a texture
// without a copy. Each context keeps its own GL state. Creating, switching to and releasing
// targets, and the extension set-up they need.
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

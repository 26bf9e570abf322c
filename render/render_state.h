// Render state, camera and projection: the engine's global view of a frame. The default GL
// state, clearing, the screen size and the values derived from it, the perspective and
// orthographic projections, the one scene camera, the matrices read back after the camera is
// applied, the six frustum planes the culling and the renderers use, and camera-facing
// billboards.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "platform/system/math.h"

struct TextureRecord;

// Settings this module reads, copied from the configuration by the start-up code once.
struct RenderSettings {
    int32_t screenWidth = 1024;
    int32_t screenHeight = 768;
    bool verticalSync = true;
    bool fullscreen = true;
    int32_t multisampleMode = 3; // 0 none .. 6 "8x"
    bool localViewerSpecular = true;
    int32_t textureCompressionMode = 1; // non-zero: S3TC in use
    int32_t textureFilterMode = 0;      // below 2: mipmaps
    uint32_t textureUnitCount = 4;
    float anisotropy = 1.0f; // 1: isotropic filtering
};

// The scene camera.
struct Camera {
    Vec3 eye{0.0f, 0.0f, 0.0f};
    Vec3 target{0.0f, 0.0f, -1.0f};
    Vec3 viewDirection{0.0f, 0.0f, -1.0f}; // unit, eye to target; set by applyCamera
    Vec3 backDirection{0.0f, 0.0f, 1.0f};  // the billboards' normal
    Vec3 scale{1.0f, 1.0f, 1.0f};
    float roll = 0.0f; // degrees about the view axis
};

// Left, right, top, bottom, near, far; unit normals, inside where the distance is >= 0.
struct Frustum {
    Plane planes[6];
};
enum FrustumPlane : int32_t {
    kPlaneLeft,
    kPlaneRight,
    kPlaneTop,
    kPlaneBottom,
    kPlaneNear,
    kPlaneFar,
};

// The engine's copy of the GL state that decides what an added square's black texels do to
// the picture, for the context current now (each render target's context keeps its own). It
// is kept by the calls below, which the engine makes instead of the bare GL ones, so that no
// state is read back from GL in a frame.
struct LayerState {
    bool blend = false;
    GLenum blendSource = GL_ONE;
    GLenum blendDestination = GL_ZERO;
    bool depthWrites = true;
    bool fog = false;
    GLenum envMode = GL_MODULATE; // texture unit 0's
    float lodBias = 0.0f;         // texture unit 0's
};

struct RenderState {
    RenderSettings settings;
    float clearColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float globalAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float nearPlane = 0.1f;
    float farPlane = 200.0f;
    double fieldOfView = 45.0;
    float orthoHalfHeight = 1.0f;
    float aspect = 1024.0f / 768.0f;
    float orthoHalfWidth = 1024.0f / 768.0f;
    int32_t screenWidth = 1024;
    int32_t screenHeight = 768;
    GLenum textureUnits[32] = {};
    uint32_t activeUnit = 0;
    bool alphaTestOn = false;
    float alphaTestReference = 0.0f;
    Vec3 up{0.0f, 1.0f, 0.0f};

    Camera camera;
    float modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // column-major
    float modelviewTransposed[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Frustum frustum;
    LayerState layer;
    // Added to every texture LOD bias set in the view: log2 of the view's scale while the 3D
    // part is drawn smaller, so that its textures read the levels they read at full size.
    float viewLodBias = 0.0f;
};
extern RenderState renderState;

// GL_BLEND on or off, the blend factors, depth writes and fog, kept in the copy.
void setBlending(bool on);
void setBlendFunction(GLenum source, GLenum destination);
void setDepthWrites(bool on);
void setFog(bool on);
// The texture environment mode and texture LOD bias of the active unit.
void setTextureEnvMode(GLenum mode);
void setTextureLodBias(float bias);
// The active unit's plain environment: modulation, scale 1, LOD bias 0, identity texture
// matrix (the default texture mode).
void applyDefaultTextureEnv();
// Sets the view's LOD bias and gives it to the configured texture units (their own bias 0).
void setViewLodBias(float bias);

// The default GL state, in its documented order. Outside full screen the vertical sync
// setting is cleared; the swap interval is set only where swap control is available.
void applyDefaultRenderState();
// The multisample filter hint a multisampling mode asks for (GL_FASTEST or GL_NICEST), or 0
// for the modes that leave the hint alone.
GLenum multisampleFilterHint(int32_t multisampleMode);
// Entry i of the texture unit table becomes GL_TEXTURE0_ARB + i.
void fillTextureUnitTable();
// Makes texture unit `unit` active and remembers it in the active unit cache.
void selectTextureUnit(uint32_t unit);
// glClearColor with the clear colour, then glClear(mask).
void clearFrame(GLbitfield mask);
// The size of the window-side view drawn into now, the current framebuffer of the window
// context's stack (the settings' size for a frame whose size the stack does not know): the 2D
// views and the window's perspective take it.
int32_t currentViewWidth();
int32_t currentViewHeight();
// Stores the size, the aspect and the ortho half-width; a height of 0 changes nothing.
void setScreenSize(int32_t width, int32_t height);
// Perspective projection (45 degrees, near, far) with the screen's or a given aspect; the
// viewport and the frustum follow. A near plane of 0 is fatal.
void setPerspectiveView(int32_t width, int32_t height);
void setPerspectiveViewAspect(int32_t width, int32_t height, float aspect);
// Orthographic projection for 2D: x from -aspect to +aspect, y from -1 to +1.
void setOrthoView(int32_t width, int32_t height);
// The camera's modelview, roll x look-at x scale, computed as GL computes it from those calls
// (in floats, in the same order), so the kept copy needs no read back.
void cameraModelview(const Camera& camera, const Vec3& up, float out[16]);
// Loads the camera's modelview and keeps the matrices.
void applyCamera(bool updateFrustum);
// The six normalised planes of projection x modelview (the kept matrices).
void extractFrustum(Frustum& frustum);
// Corners of a camera-facing square: top-left, top-right, bottom-right, bottom-left.
void billboardCorners(const Vec3& centre, float halfSize, Vec3 corners[4]);
// The kept modelview with the view rolled by `degrees` about its axis, as the camera's roll
// would give it, computed without touching GL: for billboards that spin in the view.
void rolledModelview(float degrees, float out[16]);
// The same with right and up from rows 0 and 1 of a column-major matrix.
void billboardCornersFromMatrix(const Vec3& centre, float halfSize, Vec3 corners[4],
                                const float matrix[16]);

// The scene viewer's logic, apart from any display: its arguments, the choice of camera, a
// camera that frames a scene without one, the animation time and its loop, and the free
// camera the mouse orbits. demotool view (cmd_view.cpp) draws with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl/gl_strings.h"
#include "platform/system/math.h"
#include "render/capabilities.h"
#include "resources/textures.h"

struct SceneObject;

struct ViewOptions {
    std::string file;
    std::string cameraName; // empty: the file's first camera
    bool frameGiven = false;
    int32_t frame = 0; // in the file's frame numbers
    int32_t width = 1024;
    int32_t height = 768;
    bool loadTextures = true;
    std::string shotFile;   // not empty: one picture off-screen, then exit
    int32_t frameCount = 0; // above 0: draw this many frames in a row, report their time, exit
};

// The scene's texture quality: the demo's built-in one as the capability check kept it, and
// on a software rasteriser without what the demo leaves out there (compression, anisotropy).
TextureQuality viewerTextureQuality(std::string_view renderer, const CapabilitySettings& kept,
                                    int accelerated = kRendererNotAsked);

// Parses the arguments after "view". False with a reason in error for a bad command line.
bool parseViewArguments(int argc, char** argv, ViewOptions& options, std::string& error);
// "WxH" with both sides from 1 to 16384.
bool parseViewSize(const std::string& text, int32_t& width, int32_t& height);

// Where a camera stands and what it looks at.
struct ViewPose {
    Vec3 eye;
    Vec3 target{0.0f, 0.0f, -1.0f};
};

// The named camera, or with an empty name the registry's first camera (the file's order);
// null when there is none of that name or the scene has no camera at all.
SceneObject* findViewCamera(const std::string& name);

// What a scene file may leave out and the viewer still shows. Objects the keyframer never
// named have no place in the scene graph: they are hung under the root where they were
// read (meshes are moved back to their local origin). A mesh whose faces no material
// claims gets one face group over all its faces with the default material. Both return
// how many objects they changed.
int32_t attachLooseObjects();
int32_t addDefaultFaceGroups();

// A scene without light sources would show only its ambient colour: the viewer then hangs a
// white point light under the root that follows the eye. Null when the scene has lights.
inline constexpr const char* kHeadlightName = "demotool view - headlight";
SceneObject* addHeadlightIfUnlit();
void placeHeadlight(SceneObject& light, const Vec3& eye);

// Axis-aligned bounds of every mesh's world-space vertices at their current placement.
struct SceneBounds {
    Vec3 min, max;
    bool empty = true;
};
SceneBounds sceneBounds();

// A pose that shows the whole box from the front (+z), above and to the right, looking at
// its centre, far enough back that its bounding sphere fits a view of the given vertical
// field of view and aspect. An empty box is framed as a unit box at the origin.
ViewPose framingPose(const SceneBounds& bounds, double fieldOfViewDegrees, float aspect);

// The far plane a pose needs to keep the whole box in view: at least the engine's own.
float farPlaneFor(const ViewPose& pose, const SceneBounds& bounds, float engineFarPlane);

// Animation time in tenths of a frame, as the engine keeps it.
inline int32_t timeForFrame(int32_t frame) {
    return frame * 10;
}

// The stretch of time the viewer plays in a loop: the camera's keyframer segment, or when it
// has none the widest segment of any object; start == end for a scene that does not move.
struct AnimationRange {
    int32_t start = 0;
    int32_t end = 0;
};
AnimationRange animationRange(const SceneObject* camera);
// The time elapsedTenths after first, wrapped into the range (first itself may lie outside
// it: playback then starts there and wraps to the range's start at its end).
int32_t loopedTime(const AnimationRange& range, int32_t first, int64_t elapsedTenths);

// The animated objects of the loaded scene, gathered once after loading.
struct SceneTimeState {
    std::vector<SceneObject*> animated;
};
extern SceneTimeState sceneTimeState;
void collectAnimatedObjects();
// Writes the time into both track sets of every animated object and brings the moving parts
// of the scene graph up to date (each animated subtree once, then the boxes above it).
void setSceneTime(int32_t time);

// The free camera: a point orbited at a distance, turned by yaw about the vertical and
// pitched up and down (radians; pitch stays short of straight up or down).
struct OrbitCamera {
    Vec3 centre;
    float distance = 1.0f;
    float yaw = 0.0f;   // 0: the eye on the +z side of the centre
    float pitch = 0.0f; // positive: the eye above the centre
};
inline constexpr float kOrbitRadiansPerPixel = 0.01f;
inline constexpr float kOrbitZoomPerStep = 0.9f; // distance factor per wheel step towards
inline constexpr float kOrbitPitchLimit = 1.55f;

OrbitCamera orbitFromPose(const ViewPose& pose);
ViewPose poseFromOrbit(const OrbitCamera& orbit);
// A mouse drag of dx, dy pixels (right and down positive) turns the view with the pointer.
void orbitDrag(OrbitCamera& orbit, int dx, int dy);
// Wheel steps away from the user (positive) move the eye closer.
void orbitZoom(OrbitCamera& orbit, int steps);

// The mouse and keys of the viewer's window, for demotool --help and the help line drawn in
// the window.
struct ViewControl {
    const char* input;
    const char* action;
};
inline constexpr ViewControl kViewControls[] = {
    {"Left button drag", "orbit a free camera"},
    {"Wheel", "zoom the free camera"},
    {"C", "back to the file's camera"},
    {"H", "show or hide this help"},
    {"S", "cycle the statistics overlay"},
    {"W B T N", "debug drawing, as in the demo"},
    {"Escape", "end"},
};
// The help line in the window: the controls in capitals (the engine's font has no small
// letters), broken into lines of at most lineLength characters.
std::string viewHelpText(size_t lineLength);

// The window title: the file's name and the frame shown.
std::string viewTitle(const std::string& file, int32_t time);

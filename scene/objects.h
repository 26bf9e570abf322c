// Scene objects: the SceneObject record (mesh, light, camera or keyframer dummy), the registry that
// owns the objects and finds them by exact name, and the placement of an object's geometry in world
// space.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "scene/accounted_arrays.h"
#include "scene/keyframes.h"
#include "scene/mesh.h"
#include "scene/obb_tree.h"

struct SceneNode;

struct SceneObject {
    float spotHotspot = 43.0f; // degrees
    float spotFalloff = 45.0f; // degrees
    float spotAspect = 1.0f;
    float rayBias = 0.0f;
    uint8_t overshoot = 0;
    uint8_t rectangularSpot = 0;
    uint8_t coneVisible = 0;
    float multiplier = 1.0f;
    float lightFactors[3] = {0.0f, 0.1f, 0.0f}; // constant, linear, quadratic attenuation
    float innerRange = 10.0f;
    float outerRange = 40.0f;
    int32_t lightKind = kNotALight;
    float lightAmbient[4] = {};
    float lightDiffuse[4] = {};
    float lightSpecular[4] = {};
    int32_t objectKind = kPlainObject;
    std::string name;       // registry key, compared exactly
    std::string secondName; // scene tag

    float reserved0 = 0.0f;
    int32_t visibilityState = 2; // only state 2 is drawn; 0 also stops the hierarchy update
    int32_t cullResult = 1;      // 0 outside, 1 intersecting, 2 inside
    uint8_t cullEnabled = 1;
    float radius = 0.0f;      // bounding sphere of the local vertices about localCenter
    float transparent = 0.0f; // 1.0 when a face group is not opaque
    uint8_t hasCpuArrays = 1; // the mesh arrays are held in memory
    uint8_t hookFlag = 0;     // call the draw hooks
    uint8_t smoothingUsed = 0;
    uint8_t hasFogCoords = 0;
    int32_t renderFlags = kRenderLighting | kRenderNormals;
    uint8_t inGpuBuffers = 0;  // the mesh arrays are uploaded to GL buffers
    uint8_t gpuUpdated = 0;    // some buffers are dynamic
    int32_t gpuUpdateMask = 0; // BufferMask bits of the dynamic buffers
    int32_t rendererInts[4] = {};
    SceneNode* treeNode = nullptr; // owned
    Mat4 transform;                // object to parent
    Mat4 worldTransform;           // object to world
    ObjectBox box;                 // oriented box of the local vertices
    ObjectBox worldBox;            // in world space; for a parent the merge of its children
    ObbNode* obbTree = nullptr;    // owned
    Vec3 localCenter;
    Vec3 worldCenter;
    Vec3 axes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}};
    Vec3 unitAxes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}};
    Mat4 localMatrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}}; // rows = axes
    float colourScale[4] = {1.0f, 1.0f, 1.0f, 1.0f}; // object colour when lighting is off
    MeshLod lods[kMaxLods];
    int32_t lodCount = 1;
    int32_t lodIndex = 0; // level drawn; in the reader's LOD mode the slot to fill
    ObjectRenderSettings renderSettings;
    TrackSet tracks;
    TrackSet targetTracks; // a camera's or spot light's target
    uint8_t animated = 0;
    uint8_t isCamera = 0;
    int32_t reserved1 = 0;
    Vec3 target{0.0f, 0.0f, -1.0f};      // in the parent's space
    Vec3 worldTarget{0.0f, 0.0f, -1.0f}; // in world space
    float reserved2 = 0.0f;

    // Renderer's: draw hooks, custom drawing and the lights chosen for this frame.
    void (*preDrawHook)() = nullptr;
    void (*postDrawHook)() = nullptr;
    void (*customDraw)(void* argument, uint32_t elapsedMs) = nullptr;
    void* customDrawArgument = nullptr;
    SceneObject* lights[kMaxObjectLights] = {};
    int32_t lightCount = 0;
};

// The renderer's upkeep of an object's GPU buffers. The scene model holds no GL objects: the
// renderer installs these hooks, and while none is installed an object never has buffers.
struct GpuBufferHooks {
    void (*build)(SceneObject& object) = nullptr;
    // Refills the buffers named by mask (BufferMask bits) from the current level.
    void (*update)(SceneObject& object, int32_t mask) = nullptr;
    void (*release)(SceneObject& object) = nullptr;
};
extern GpuBufferHooks gpuBufferHooks;

// The registry and the engine-wide values new objects take. The companion array has the
// registry's length; the scene graph fills it when it merges boxes.
struct ObjectState {
    SceneObject** objects = nullptr;
    int32_t count = 0;
    const ObjectBox** childBoxes = nullptr;

    // Set by the engine: the light factors of new objects. (Their scene tag is the texture
    // manager's, the engine's one scene tag.)
    float lightFactors[3] = {0.0f, 0.1f, 0.0f};
    // Set by the engine: the default texture mode new face groups get on every unit.
    TextureEnvSetup defaultTextureMode = nullptr;
};
extern ObjectState objectState;

// Creates an object by name (a name already in the registry is fatal) and, with a parent
// node, attaches it there.
SceneObject* createObject(std::string_view name, SceneNode* parentNode);
// Exact comparison (length and bytes); -1 / null when absent.
int32_t findObjectIndex(std::string_view name);
SceneObject* findObject(std::string_view name);
// Removes the entry (the last one moves into its slot), its tree node and the object.
// Index -1 does nothing.
void deleteObjectAt(int32_t index);
void deleteObject(std::string_view name);
// Deletes every object, the most recently created first.
void deleteAllObjects();
// Builds the GPU buffers of every object of that name (through the renderer's hook).
void uploadByName(std::string_view name);
// Moves the current level into world space with the affine m.
void placeInWorld(SceneObject& object, const Mat4& m);
// Frees every array of every level (after upload); hasCpuArrays becomes 0.
void releaseMeshArrays(SceneObject& object);
// Evaluates the object's tracks at their current times into its transform (a camera: the
// position and the target; any other object: position and rotation).
void animateObject(SceneObject& object);

// Appends a face group with its defaults (GL_TEXTURE_2D targets, the default texture mode,
// scale 1, range (1000, 2000)) and room for faceCount faces.
FaceGroup* addFaceGroup(MeshLod& mesh, uint32_t faceCount);
// Frees the vertex-level arrays of a level (texture-coordinate and vector arrays shared by
// several units, and the bump-vector array held by a unit, once each); counts are kept.
void releaseLodArrays(MeshLod& mesh);
// Frees the face groups with their index arrays, and the group array.
void freeFaceGroups(MeshLod& mesh);

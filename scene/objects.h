// Scene objects: the SceneObject record (mesh, light, camera or keyframer dummy) with its mesh
// levels and face groups, the registry that owns the objects and finds them by exact name,
// and the placement of an object's geometry in world space.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "scene/keyframes.h"
#include "platform/system/math.h"
#include "scene/obb_tree.h"

struct SceneNode;
struct SceneObject;

inline constexpr int kTextureUnits = 32;
inline constexpr int kMaxLods = 6;
inline constexpr int kMaxObjectLights = 8;

inline constexpr uint32_t kGLTexture2D = 0x0DE1;      // GL_TEXTURE_2D
inline constexpr uint32_t kGLTextureCubeMap = 0x8513; // GL_TEXTURE_CUBE_MAP
inline constexpr uint32_t kGLLinear = 0x2601;         // GL_LINEAR

// A texture mode: sets up the texture environment of the active unit. Called through a
// layer slot with two integer arguments that it ignores.
using TextureEnvSetup = void (*)(int32_t, int32_t);

// Render flags of an object.
enum RenderFlag : int32_t {
    kRenderLighting = 1,
    kRenderBumpMapping = 2,
    kRenderNormals = 4,
    kRenderColours = 8,
};

// Buffer mask bits of the GL buffer operations.
enum BufferMask : int32_t {
    kBufferNormals = 1,
    kBufferVertices = 2,
    kBufferBumpVectors = 4,
    kBufferFogCoords = 8,
};

enum LightKind : int32_t {
    kNotALight = 0,
    kDirectionalLight = 1,
    kPointLight = 2,
    kSpotLight = 3,
};

enum ObjectKind : int32_t {
    kPlainObject = 1,
    kMeshObject = 2,
};

struct TexCoord {
    float u = 0.0f, v = 0.0f;
};

// Three vertex indices of a triangle.
struct Face {
    int32_t v[3] = {0, 0, 0};
};

// Bump-mapping frame of a vertex: the object-space triple, then the same triple in world space.
struct TangentFrame {
    Vec3 tangent, binormal, normal;
    Vec3 worldTangent, worldBinormal, worldNormal;
};

// Fog parameters: the global fog and each object's own.
struct FogSettings {
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t mode = kGLLinear;
    float density = 1.0f;
    float start = 0.0f;
    float end = 1.0f;
};

// Per-object render settings read by the renderer.
struct ObjectRenderSettings {
    FogSettings fog;
    Vec3 offset;
    int32_t reservedA = 0;
    int32_t reservedB = 0;
    float factor = 1.0f;
    Vec3 pivot;
    Vec3 scale{1.0f, 1.0f, 1.0f};
};

// Faces of one mesh sharing one material. Unit k's entries are the k-th of each array.
struct FaceGroup {
    uint8_t unitEnabled[kTextureUnits] = {};
    uint32_t normalMapTexture = 0;
    uint32_t unitTexture[kTextureUnits] = {};
    uint32_t unitTarget[kTextureUnits] = {};          // GL_TEXTURE_2D after createFaceGroup
    uint8_t unitEnvMapped[kTextureUnits] = {};        // sphere-mapped unit
    TextureEnvSetup unitEnvSetup[kTextureUnits] = {}; // the default mode after createFaceGroup
    float unitScale[kTextureUnits] = {};              // 1.0 after createFaceGroup
    float unitRange[kTextureUnits][2] = {};           // (1000, 2000) after createFaceGroup
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f; // 0 to 128
    float opacity = 1.0f;
    uint8_t twoSided = 0;
    uint32_t faceCount = 0;
    uint16_t* faceIndices = nullptr; // accounted: indices into the mesh's faces
    Face* faceVertices = nullptr;    // accounted: the vertex triples of those faces
    uint32_t indexBuffer = 0;        // GL element buffer
};

// One mesh level. Every array is an accounted block sized by its count:
// localVertices, vertices, vertexColours (4 floats each), tangentFrames and bumpVectors by
// vertexCount; baseNormals and normals by normalCount; unitTexCoords by texCoordCount (units
// may share one array); unitVectors by texCoordCount, except the bump-vector array (vertexCount);
// fogCoords by fogCoordCount; faces by faceCount; faceGroups by faceGroupCount.
struct MeshLod {
    // GL buffer objects.
    uint32_t normalBuffer = 0;
    uint32_t vertexBuffer = 0;
    uint32_t unitBuffers[kTextureUnits] = {};
    uint32_t spareBuffer = 0;
    uint32_t fogCoordBuffer = 0;
    uint32_t colourBuffer = 0;
    uint32_t bumpVectorBuffer = 0;

    Vec3* localVertices = nullptr; // relative to the object's local origin
    Vec3* vertices = nullptr;      // world space (as read until first placed)
    float* vertexColours = nullptr;
    TangentFrame* tangentFrames = nullptr;
    Vec3* bumpVectors = nullptr;
    uint32_t vertexCount = 0;
    Vec3* baseNormals = nullptr; // object space, as built
    Vec3* normals = nullptr;     // world space
    uint32_t normalCount = 0;
    TexCoord* unitTexCoords[kTextureUnits] = {};
    Vec3* unitVectors[kTextureUnits] = {};
    uint8_t unitFlags[kTextureUnits] = {}; // 1: the unit draws from its vector array
    uint32_t texCoordCount = 0;
    float* fogCoords = nullptr;
    uint32_t fogCoordCount = 0;
    Face* faces = nullptr;
    uint32_t faceCount = 0;
    FaceGroup** faceGroups = nullptr;
    uint32_t faceGroupCount = 0;
};

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

// Mesh storage helpers: accounted arrays of exactly count elements. Resizing keeps the
// existing elements; new elements are value-initialised; count 0 frees the array.
void accountedResizeBytes(void*& block, uint32_t oldBytes, uint32_t newBytes);
void accountedFreeBytes(void*& block, uint32_t bytes);
template <typename T> void resizeArray(T*& array, uint32_t oldCount, uint32_t newCount) {
    void* block = array;
    accountedResizeBytes(block, oldCount * uint32_t(sizeof(T)), newCount * uint32_t(sizeof(T)));
    array = static_cast<T*>(block);
    for (uint32_t i = oldCount; i < newCount; i++) new (&array[i]) T();
}
template <typename T> void freeArray(T*& array, uint32_t count) {
    void* block = array;
    accountedFreeBytes(block, count * uint32_t(sizeof(T)));
    array = nullptr;
}

// Appends a face group with its defaults (GL_TEXTURE_2D targets, the default texture mode,
// scale 1, range (1000, 2000)) and room for faceCount faces.
FaceGroup* addFaceGroup(MeshLod& mesh, uint32_t faceCount);
// Frees the vertex-level arrays of a level (texture-coordinate and vector arrays shared by
// several units, and the bump-vector array held by a unit, once each); counts are kept.
void releaseLodArrays(MeshLod& mesh);
// Frees the face groups with their index arrays, and the group array.
void freeFaceGroups(MeshLod& mesh);

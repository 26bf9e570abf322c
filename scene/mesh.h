// The records of an object's geometry: render flags, faces, face groups with their texture
// units, fog settings and one mesh level with its accounted arrays.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

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

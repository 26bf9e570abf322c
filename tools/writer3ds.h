// 3DS scene writer: turns plain scene records (materials, meshes, lights, cameras and keyframer
// nodes) into the bytes of a 3DS chunk file. Coordinates are those of the file (z up); the
// output depends only on the input, so the same scene always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
};

struct Material3ds {
    std::string name;
    Rgb8 ambient, diffuse, specular;
    uint16_t shininessPercent = 0;    // 0..100
    uint16_t transparencyPercent = 0; // 0 opaque .. 100 invisible
    bool twoSided = false;
    std::string mapFile; // empty: no texture map
};

struct Face3ds {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t flags = 7; // all three edges visible
};

struct FaceGroup3ds {
    std::string material;
    std::vector<uint16_t> faces;
};

struct Mesh3ds {
    std::string name;
    std::vector<Vec3f> vertices;
    std::vector<float> uvs; // two floats per vertex, or empty
    std::vector<Face3ds> faces;
    std::vector<uint32_t> smoothing; // one mask per face, or empty
    std::vector<FaceGroup3ds> groups;
    Vec3f origin; // the local coordinate system's origin; its axes are the file's
};

struct Light3ds {
    std::string name;
    Vec3f position;
    float red = 1, green = 1, blue = 1;
    bool positional = true; // adds the point-light marker chunk
    bool spot = false;
    Vec3f target;
    float hotspot = 30, falloff = 45; // full cone angles in degrees
    float multiplier = 1;
};

struct Camera3ds {
    std::string name;
    Vec3f position, target;
    float bank = 0, lens = 35;
};

// Keyframer node kinds, by the id of their chunk.
enum : uint16_t {
    kNodeObject = 0xB002,
    kNodeCamera = 0xB003,
    kNodeCameraTarget = 0xB004,
    kNodeOmni = 0xB005,
    kNodeSpotTarget = 0xB006,
    kNodeSpot = 0xB007,
};

struct Tcb {
    float tension = 0, continuity = 0, bias = 0;
};

struct PositionKey3ds {
    uint32_t frame = 0;
    Tcb tcb;
    Vec3f position;
};

struct RotationKey3ds {
    uint32_t frame = 0;
    float angle = 0; // radians, relative to the previous key
    Vec3f axis{0, 0, 1};
};

struct KeyframeNode3ds {
    uint16_t kind = kNodeObject;
    std::string name;         // the object's name, or "$$$DUMMY"
    std::string instanceName; // for dummies
    int16_t parent = -1;      // the node id of the parent node, -1 at the top
    std::vector<PositionKey3ds> positionKeys;
    std::vector<RotationKey3ds> rotationKeys; // object and dummy nodes only
    bool scaleTrack = false;                  // one unit scale key (object and dummy nodes)
};

struct Scene3ds {
    float masterScale = 1;
    std::vector<Material3ds> materials;
    std::vector<Mesh3ds> meshes;
    std::vector<Light3ds> lights;
    std::vector<Camera3ds> cameras;
    uint32_t frameStart = 0, frameEnd = 100;
    std::vector<KeyframeNode3ds> nodes; // node ids are the positions in this list
};

// Low-level chunk output, for the writer and for tests that build damaged files.
struct ChunkWriter {
    std::vector<uint8_t> bytes;
    std::vector<size_t> openChunks; // offsets of chunks whose length is still to be set
};

void beginChunk(ChunkWriter& out, uint16_t id);
void endChunk(ChunkWriter& out); // fills in the length of the innermost open chunk
void putU8(ChunkWriter& out, uint8_t value);
void putU16(ChunkWriter& out, uint16_t value);
void putU32(ChunkWriter& out, uint32_t value);
void putFloat(ChunkWriter& out, float value);
void putVec3(ChunkWriter& out, Vec3f value);
void putString(ChunkWriter& out, const std::string& text); // with its terminating NUL

// The whole file: main chunk, version, editor (mesh version, master scale, materials, objects)
// and keyframer (header, frame range, current frame, nodes).
std::vector<uint8_t> write3ds(const Scene3ds& scene);

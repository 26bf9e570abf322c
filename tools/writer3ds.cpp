// 3DS scene writer: chunks are opened, filled and closed in file order; a chunk's length is
// patched in when it is closed.
#include "tools/writer3ds.h"

#include <cstring>

void beginChunk(ChunkWriter& out, uint16_t id) {
    out.openChunks.push_back(out.bytes.size());
    putU16(out, id);
    putU32(out, 0);
}

void endChunk(ChunkWriter& out) {
    const size_t start = out.openChunks.back();
    out.openChunks.pop_back();
    const uint32_t length = uint32_t(out.bytes.size() - start);
    for (int i = 0; i < 4; ++i) out.bytes[start + 2 + i] = uint8_t(length >> (8 * i));
}

void putU8(ChunkWriter& out, uint8_t value) {
    out.bytes.push_back(value);
}

void putU16(ChunkWriter& out, uint16_t value) {
    out.bytes.push_back(uint8_t(value));
    out.bytes.push_back(uint8_t(value >> 8));
}

void putU32(ChunkWriter& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.bytes.push_back(uint8_t(value >> (8 * i)));
}

void putFloat(ChunkWriter& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(out, bits);
}

void putVec3(ChunkWriter& out, Vec3f value) {
    putFloat(out, value.x);
    putFloat(out, value.y);
    putFloat(out, value.z);
}

void putString(ChunkWriter& out, const std::string& text) {
    out.bytes.insert(out.bytes.end(), text.begin(), text.end());
    out.bytes.push_back(0);
}

static void putByteColour(ChunkWriter& out, uint16_t id, Rgb8 colour) {
    beginChunk(out, id);
    beginChunk(out, 0x0011);
    putU8(out, colour.r);
    putU8(out, colour.g);
    putU8(out, colour.b);
    endChunk(out);
    endChunk(out);
}

static void putPercent(ChunkWriter& out, uint16_t id, uint16_t percent) {
    beginChunk(out, id);
    beginChunk(out, 0x0030);
    putU16(out, percent);
    endChunk(out);
    endChunk(out);
}

static void writeMaterial(ChunkWriter& out, const Material3ds& m) {
    beginChunk(out, 0xAFFF);
    beginChunk(out, 0xA000);
    putString(out, m.name);
    endChunk(out);
    putByteColour(out, 0xA010, m.ambient);
    putByteColour(out, 0xA020, m.diffuse);
    putByteColour(out, 0xA030, m.specular);
    putPercent(out, 0xA040, m.shininessPercent);
    putPercent(out, 0xA041, m.shininessPercent);
    putPercent(out, 0xA050, m.transparencyPercent);
    if (m.twoSided) {
        beginChunk(out, 0xA081);
        endChunk(out);
    }
    beginChunk(out, 0xA100); // shading: Phong
    putU16(out, 3);
    endChunk(out);
    if (!m.mapFile.empty()) {
        beginChunk(out, 0xA200);
        putPercent(out, 0x0030, 100);
        beginChunk(out, 0xA300);
        putString(out, m.mapFile);
        endChunk(out);
        endChunk(out);
    }
    endChunk(out);
}

static void writeMesh(ChunkWriter& out, const Mesh3ds& mesh) {
    beginChunk(out, 0x4000);
    putString(out, mesh.name);
    beginChunk(out, 0x4100);

    beginChunk(out, 0x4110);
    putU16(out, uint16_t(mesh.vertices.size()));
    for (const Vec3f& v : mesh.vertices) putVec3(out, v);
    endChunk(out);

    if (!mesh.uvs.empty()) {
        beginChunk(out, 0x4140);
        putU16(out, uint16_t(mesh.uvs.size() / 2));
        for (float f : mesh.uvs) putFloat(out, f);
        endChunk(out);
    }

    beginChunk(out, 0x4160);
    putVec3(out, {1, 0, 0});
    putVec3(out, {0, 1, 0});
    putVec3(out, {0, 0, 1});
    putVec3(out, mesh.origin);
    endChunk(out);

    beginChunk(out, 0x4120);
    putU16(out, uint16_t(mesh.faces.size()));
    for (const Face3ds& f : mesh.faces) {
        putU16(out, f.a);
        putU16(out, f.b);
        putU16(out, f.c);
        putU16(out, f.flags);
    }
    for (const FaceGroup3ds& group : mesh.groups) {
        beginChunk(out, 0x4130);
        putString(out, group.material);
        putU16(out, uint16_t(group.faces.size()));
        for (uint16_t f : group.faces) putU16(out, f);
        endChunk(out);
    }
    if (!mesh.smoothing.empty()) {
        beginChunk(out, 0x4150);
        for (uint32_t mask : mesh.smoothing) putU32(out, mask);
        endChunk(out);
    }
    endChunk(out); // 0x4120

    endChunk(out); // 0x4100
    endChunk(out); // 0x4000
}

static void writeLight(ChunkWriter& out, const Light3ds& light) {
    beginChunk(out, 0x4000);
    putString(out, light.name);
    beginChunk(out, 0x4600);
    putVec3(out, light.position);
    beginChunk(out, 0x0010);
    putFloat(out, light.red);
    putFloat(out, light.green);
    putFloat(out, light.blue);
    endChunk(out);
    if (light.positional && !light.spot) {
        beginChunk(out, 0x4625);
        endChunk(out);
    }
    beginChunk(out, 0x465B);
    putFloat(out, light.multiplier);
    endChunk(out);
    if (light.spot) {
        beginChunk(out, 0x4610);
        putVec3(out, light.target);
        putFloat(out, light.hotspot);
        putFloat(out, light.falloff);
        endChunk(out);
    }
    endChunk(out);
    endChunk(out);
}

static void writeCamera(ChunkWriter& out, const Camera3ds& camera) {
    beginChunk(out, 0x4000);
    putString(out, camera.name);
    beginChunk(out, 0x4700);
    putVec3(out, camera.position);
    putVec3(out, camera.target);
    putFloat(out, camera.bank);
    putFloat(out, camera.lens);
    endChunk(out);
    endChunk(out);
}

// Track chunk: flags, two unused words, key count, then per key its frame, a flag word telling
// which of tension, continuity and bias follow, and the value.
static void putTrackHeader(ChunkWriter& out, uint16_t id, size_t keyCount) {
    beginChunk(out, id);
    putU16(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, uint32_t(keyCount));
}

static void putKeyHeader(ChunkWriter& out, uint32_t frame, const Tcb& tcb) {
    putU32(out, frame);
    const uint16_t flags = uint16_t((tcb.tension != 0 ? 1 : 0) | (tcb.continuity != 0 ? 2 : 0) |
                                    (tcb.bias != 0 ? 4 : 0));
    putU16(out, flags);
    if (flags & 1) putFloat(out, tcb.tension);
    if (flags & 2) putFloat(out, tcb.continuity);
    if (flags & 4) putFloat(out, tcb.bias);
}

static void writeNode(ChunkWriter& out, const KeyframeNode3ds& node, uint16_t nodeId) {
    beginChunk(out, node.kind);
    beginChunk(out, 0xB030);
    putU16(out, nodeId);
    endChunk(out);

    beginChunk(out, 0xB010);
    putString(out, node.name);
    putU16(out, 0x4000);
    putU16(out, 0);
    putU16(out, uint16_t(node.parent));
    endChunk(out);

    if (!node.instanceName.empty()) {
        beginChunk(out, 0xB011);
        putString(out, node.instanceName);
        endChunk(out);
    }
    if (node.kind == kNodeObject) {
        beginChunk(out, 0xB013);
        putVec3(out, {});
        endChunk(out);
    }

    putTrackHeader(out, 0xB020, node.positionKeys.size());
    for (const PositionKey3ds& key : node.positionKeys) {
        putKeyHeader(out, key.frame, key.tcb);
        putVec3(out, key.position);
    }
    endChunk(out);

    if (node.kind == kNodeObject) {
        putTrackHeader(out, 0xB021, node.rotationKeys.size());
        for (const RotationKey3ds& key : node.rotationKeys) {
            putKeyHeader(out, key.frame, {});
            putFloat(out, key.angle);
            putVec3(out, key.axis);
        }
        endChunk(out);
    }
    if (node.kind == kNodeObject && node.scaleTrack) {
        putTrackHeader(out, 0xB022, 1);
        putKeyHeader(out, 0, {});
        putVec3(out, {1, 1, 1});
        endChunk(out);
    }
    endChunk(out);
}

std::vector<uint8_t> write3ds(const Scene3ds& scene) {
    ChunkWriter out;
    beginChunk(out, 0x4D4D);
    beginChunk(out, 0x0002); // version chunk: exactly 10 bytes, so the editor starts at 16
    putU32(out, 3);
    endChunk(out);

    beginChunk(out, 0x3D3D);
    beginChunk(out, 0x3D3E); // mesh version
    putU32(out, 3);
    endChunk(out);
    beginChunk(out, 0x0100);
    putFloat(out, scene.masterScale);
    endChunk(out);
    for (const Material3ds& m : scene.materials) writeMaterial(out, m);
    for (const Mesh3ds& mesh : scene.meshes) writeMesh(out, mesh);
    for (const Light3ds& light : scene.lights) writeLight(out, light);
    for (const Camera3ds& camera : scene.cameras) writeCamera(out, camera);
    endChunk(out); // 0x3D3D

    beginChunk(out, 0xB000);
    beginChunk(out, 0xB00A); // keyframer header: revision, scene name, length
    putU16(out, 5);
    putString(out, "FILM03");
    putU32(out, scene.frameEnd);
    endChunk(out);
    beginChunk(out, 0xB008);
    putU32(out, scene.frameStart);
    putU32(out, scene.frameEnd);
    endChunk(out);
    beginChunk(out, 0xB009); // current frame
    putU32(out, scene.frameStart);
    endChunk(out);
    for (size_t i = 0; i < scene.nodes.size(); ++i) writeNode(out, scene.nodes[i], uint16_t(i));
    endChunk(out); // 0xB000

    endChunk(out); // 0x4D4D
    return out.bytes;
}

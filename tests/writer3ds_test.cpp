// 3DS writer: chunk layout, nesting and the key encoding other readers depend on.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/writer3ds.h"

namespace {

uint16_t u16At(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

float floatAt(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t bits = u32At(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

struct ChunkInfo {
    uint16_t id;
    size_t offset;
    uint32_t length;
};

// Walks the chunk tree, entering the containers the writer makes; every chunk must lie
// exactly within its parent.
void walk(const std::vector<uint8_t>& b, size_t begin, size_t end, std::vector<ChunkInfo>& out) {
    size_t at = begin;
    while (at < end) {
        ASSERT_LE(at + 6, end) << "chunk header past its parent at " << at;
        const uint16_t id = u16At(b, at);
        const uint32_t length = u32At(b, at + 2);
        ASSERT_GE(length, 6u) << "chunk " << std::hex << id;
        ASSERT_LE(at + length, end) << "chunk " << std::hex << id << " overruns its parent";
        out.push_back({id, at, length});
        size_t payload = at + 6;
        switch (id) {
            case 0x4000: // object block: name first
                while (b[payload] != 0) ++payload;
                ++payload;
                [[fallthrough]];
            case 0x4D4D:
            case 0x3D3D:
            case 0x4100:
            case 0xAFFF:
            case 0xA200:
            case 0xB000:
            case 0xB002:
            case 0xB003:
            case 0xB004:
            case 0xB005:
            case 0xB006:
            case 0xB007:
                walk(b, payload, at + length, out);
                break;
            case 0x4120:
                walk(b, payload + 2 + 8 * size_t(u16At(b, payload)), at + length, out);
                break;
            case 0x4600:
                walk(b, payload + 12, at + length, out);
                break;
            default:
                break;
        }
        at += length;
    }
}

std::vector<ChunkInfo> chunksOf(const std::vector<uint8_t>& bytes) {
    std::vector<ChunkInfo> chunks;
    walk(bytes, 0, bytes.size(), chunks);
    return chunks;
}

const ChunkInfo* firstChunk(const std::vector<ChunkInfo>& chunks, uint16_t id) {
    for (const ChunkInfo& c : chunks)
        if (c.id == id) return &c;
    return nullptr;
}

Scene3ds smallScene() {
    Scene3ds scene;
    Material3ds m;
    m.name = "NM_Wall";
    m.mapFile = "Wall.jpg";
    scene.materials.push_back(m);
    Mesh3ds mesh;
    mesh.name = "BM_Box";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.uvs = {0, 0, 1, 0, 0, 1};
    mesh.faces = {{0, 1, 2, 7}};
    mesh.smoothing = {1};
    mesh.groups = {{"NM_Wall", {0}}};
    mesh.origin = {0.5f, 0, 0};
    scene.meshes.push_back(mesh);
    Light3ds spot;
    spot.name = "Spot";
    spot.spot = true;
    scene.lights.push_back(spot);
    scene.cameras.push_back({"Cam", {0, -5, 1}, {0, 0, 0}, 0, 35});
    KeyframeNode3ds node;
    node.name = "BM_Box";
    node.positionKeys = {{0, {}, {1, 2, 3}}, {50, {0.5f, 0, -0.25f}, {4, 5, 6}}};
    node.rotationKeys = {RotationKey3ds{}};
    node.scaleTrack = true;
    scene.nodes.push_back(node);
    scene.frameEnd = 50;
    return scene;
}

} // namespace

TEST(Writer3ds, FixedHeaderAndNestedChunks) {
    const std::vector<uint8_t> bytes = write3ds(smallScene());
    ASSERT_GE(bytes.size(), 22u);
    // Readers look for the version at 6 and the editor at 16 without walking.
    EXPECT_EQ(u16At(bytes, 0), 0x4D4D);
    EXPECT_EQ(u32At(bytes, 2), bytes.size());
    EXPECT_EQ(u16At(bytes, 6), 0x0002);
    EXPECT_EQ(u32At(bytes, 8), 10u);
    EXPECT_EQ(u16At(bytes, 16), 0x3D3D);

    const std::vector<ChunkInfo> chunks = chunksOf(bytes);
    ASSERT_FALSE(HasFailure());
    const ChunkInfo* editor = firstChunk(chunks, 0x3D3D);
    const ChunkInfo* keyframer = firstChunk(chunks, 0xB000);
    ASSERT_TRUE(editor && keyframer);
    EXPECT_EQ(keyframer->offset, editor->offset + editor->length);
    EXPECT_EQ(keyframer->offset + keyframer->length, bytes.size());

    int objects = 0;
    for (const ChunkInfo& c : chunks) objects += c.id == 0x4000;
    EXPECT_EQ(objects, 3); // mesh, light, camera
    EXPECT_EQ(firstChunk(chunks, 0x4625), nullptr) << "a spot light is no point light";

    // Mapping coordinates and the local system come before the faces; material groups and
    // smoothing groups follow the face list inside it.
    std::vector<uint16_t> order;
    for (const ChunkInfo& c : chunks)
        if (c.id >= 0x4110 && c.id <= 0x4160) order.push_back(c.id);
    EXPECT_EQ(order, (std::vector<uint16_t>{0x4110, 0x4140, 0x4160, 0x4120, 0x4130, 0x4150}));
    const ChunkInfo* local = firstChunk(chunks, 0x4160);
    ASSERT_TRUE(local);
    EXPECT_EQ(floatAt(bytes, local->offset + 6 + 36), 0.5f); // origin x
}

TEST(Writer3ds, TrackKeysCarryOnlyTheirNonZeroSplineParameters) {
    const std::vector<uint8_t> bytes = write3ds(smallScene());
    const std::vector<ChunkInfo> chunks = chunksOf(bytes);
    const ChunkInfo* range = firstChunk(chunks, 0xB008);
    ASSERT_TRUE(range);
    EXPECT_EQ(u32At(bytes, range->offset + 10), 50u);
    const ChunkInfo* header = firstChunk(chunks, 0xB010);
    ASSERT_TRUE(header);
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[header->offset + 6]), "BM_Box");
    EXPECT_EQ(u16At(bytes, header->offset + 6 + 7 + 4), 0xFFFF); // parent: none

    const ChunkInfo* track = firstChunk(chunks, 0xB020);
    ASSERT_TRUE(track);
    const size_t keys = track->offset + 6 + 2 + 8;
    EXPECT_EQ(u32At(bytes, keys), 2u);
    size_t at = keys + 4;
    EXPECT_EQ(u32At(bytes, at), 0u);
    EXPECT_EQ(u16At(bytes, at + 4), 0);
    EXPECT_EQ(floatAt(bytes, at + 6 + 8), 3.0f);
    at += 6 + 12;
    EXPECT_EQ(u32At(bytes, at), 50u);
    EXPECT_EQ(u16At(bytes, at + 4), 1 | 4); // tension and bias, no continuity
    EXPECT_EQ(floatAt(bytes, at + 6), 0.5f);
    EXPECT_EQ(floatAt(bytes, at + 10), -0.25f);
    EXPECT_EQ(floatAt(bytes, at + 14), 4.0f);
    EXPECT_EQ(at + 14 + 12, track->offset + track->length);
}

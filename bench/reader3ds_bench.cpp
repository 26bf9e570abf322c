// Loading a large scene file: 40 meshes of 1,500 faces with smoothing groups and four
// materials, and a keyframer with 200 position and 200 rotation keys per node. Our reader
// (including normals, the smoothing split, OBB trees and track preparation) against the
// system's libassimp importing the same bytes without post-processing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "scene/scene_graph.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "tests/assimp_scene.h"
#include "tests/builder3ds.h"

namespace {

constexpr int kMeshes = 40;
constexpr int kColumns = 25, kRows = 30; // 750 quads = 1,500 faces
constexpr int kKeys = 200;

Builder3ds::Mesh gridMesh(int index) {
    Builder3ds::Mesh m;
    m.name = "Grid" + std::to_string(index);
    for (int row = 0; row <= kRows; ++row)
        for (int column = 0; column <= kColumns; ++column) {
            float x = float(column), y = float(row);
            m.xyz.insert(m.xyz.end(),
                         {x + 30.0f * index, y, std::sin(x * 0.3f) * std::cos(y * 0.2f)});
            m.uv.insert(m.uv.end(), {x / kColumns, y / kRows});
        }
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            uint16_t a = uint16_t(row * (kColumns + 1) + column), b = uint16_t(a + 1);
            uint16_t c = uint16_t(a + kColumns + 1), d = uint16_t(c + 1);
            m.faces.push_back({a, b, d});
            m.faces.push_back({a, d, c});
            uint32_t mask = 1u << ((row / 6 + column / 5) % 32);
            m.smoothing.insert(m.smoothing.end(), {mask, mask});
        }
    for (int g = 0; g < 4; ++g) {
        Builder3ds::Group group{"Material" + std::to_string(g), {}};
        for (size_t f = size_t(g); f < m.faces.size(); f += 4) group.faces.push_back(uint16_t(f));
        m.groups.push_back(group);
    }
    return m;
}

std::vector<uint8_t> largeScene() {
    Builder3ds b;
    b.beginFile();
    for (int g = 0; g < 4; ++g)
        b.material(
            {"Material" + std::to_string(g), {0.2f * g, 0.5f, 0.7f}, uint16_t(g * 10), "", g == 1});
    for (int i = 0; i < kMeshes; ++i) b.mesh(gridMesh(i));
    b.endEditor();
    b.beginKeyframer(0, kKeys * 10);
    for (int i = 0; i < kMeshes; ++i) {
        std::vector<Builder3ds::Key> positions, rotations;
        for (int k = 0; k < kKeys; ++k) {
            float t = float(k);
            positions.push_back(
                {uint32_t(k * 10), {t, std::sin(t), std::cos(t)}, 0.2f, 0.1f, 0.0f});
            rotations.push_back({uint32_t(k * 10), {0.01f, 0.0f, 0.0f, 1.0f}, 0.0f, 0.0f, 0.3f});
        }
        b.beginNode(0xB002, "Grid" + std::to_string(i), int16_t(i == 0 ? -1 : 0));
        b.track(0xB020, positions);
        b.track(0xB021, rotations);
        b.end();
    }
    return b.finish();
}

const std::vector<uint8_t>& sceneBytes() {
    static const std::vector<uint8_t> bytes = largeScene();
    return bytes;
}

void BM_LoadWithOurReader(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = sceneBytes();
    reader3dsState.loadTextures = false;
    initSceneGraph();
    for (auto _ : state) {
        load3dsSceneFromMemory("large.3ds", bytes.data(), uint32_t(bytes.size()), "", "", -1,
                               &sceneGraphState.root);
        state.PauseTiming();
        if (objectState.count != kMeshes) state.SkipWithError("objects missing");
        deleteAllObjects();
        state.ResumeTiming();
    }
    shutdownSceneGraph();
    state.counters["bytes"] = double(bytes.size());
}

void BM_LoadWithAssimp(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = sceneBytes();
    AssimpLibrary& assimp = assimpLibrary();
    if (!assimp.ok()) {
        state.SkipWithError("libassimp not found");
        return;
    }
    for (auto _ : state) {
        const aiScene* scene = assimp.importMemory(reinterpret_cast<const char*>(bytes.data()),
                                                   unsigned(bytes.size()), 0, "3ds");
        if (!scene || scene->mNumMeshes == 0) state.SkipWithError("import failed");
        assimp.release(scene);
    }
}

} // namespace

BENCHMARK(BM_LoadWithOurReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWithAssimp)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

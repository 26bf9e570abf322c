// Scene model speed: per-frame animation of many objects through the scene graph, and the
// load-time OBB tree build of a large mesh.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "scene/scene_graph.h"
#include "scene/keyframes.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"

// Ten spline position keys and ten rotation keys over 10 s, prepared as the loader does.
static void fillTracks(TrackSet& track, int seed) {
    const uint32_t keys = 10;
    resizePositionKeys(track, keys);
    resizeRotationKeys(track, keys);
    for (uint32_t k = 0; k < keys; k++) {
        PositionKey& p = track.positionKeys[k];
        p.frame = int32_t(k) * 1000;
        p.position = {std::sin(float(k + seed)), float(k), std::cos(float(k * 3 + seed))};
        p.tension = 0.1f, p.continuity = -0.2f, p.bias = 0.3f;
        RotationKey& r = track.rotationKeys[k];
        r.frame = int32_t(k) * 1000;
        r.angle = 0.3f + 0.01f * float(seed % 7);
        r.axis = {0.0f, 0.6f, 0.8f};
        r.tension = 0.2f;
    }
    track.end = int32_t(keys - 1) * 1000;
    computePositionTangents(track);
    rotationKeysToQuaternions(track);
    computeRotationControls(track);
}

static void cubeMesh(MeshLod& mesh) {
    resizeArray(mesh.localVertices, 0, 8);
    resizeArray(mesh.vertices, 0, 8);
    resizeArray(mesh.baseNormals, 0, 8);
    resizeArray(mesh.normals, 0, 8);
    mesh.vertexCount = mesh.normalCount = 8;
    for (int i = 0; i < 8; i++) {
        mesh.localVertices[i] = {i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f};
        mesh.baseNormals[i] = mesh.localVertices[i];
        mesh.baseNormals[i].normalise();
    }
}

// 1,000 animated objects under one branch; each frame writes the time into every object's
// tracks and updates the branch, as a scene does for the branch it animates.
static void animateBranch(benchmark::State& state, bool meshes) {
    initSceneGraph();
    SceneObject* branch = createObject("BRANCH", &sceneGraphState.root);
    const int count = 1000;
    SceneObject* objects[count];
    for (int i = 0; i < count; i++) {
        objects[i] = createObject("object " + std::to_string(i), branch->treeNode);
        fillTracks(objects[i]->tracks, i);
        objects[i]->animated = 1;
        if (meshes) cubeMesh(objects[i]->lods[0]);
    }
    int32_t time = 0;
    for (auto _ : state) {
        time = (time + 17) % 9000;
        for (SceneObject* object : objects) object->tracks.time = time;
        updateFromNode(branch->treeNode);
        benchmark::DoNotOptimize(branch->worldBox.center.x);
    }
    state.counters["ns_per_object"] =
        benchmark::Counter(double(state.iterations()) * count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    deleteAllObjects();
    shutdownSceneGraph();
}

static void BM_AnimateThousandDummies(benchmark::State& state) {
    animateBranch(state, false);
}
static void BM_AnimateThousandCubes(benchmark::State& state) {
    animateBranch(state, true);
}
BENCHMARK(BM_AnimateThousandDummies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimateThousandCubes)->Unit(benchmark::kMicrosecond);

// A rippled 150 x 100 quad grid: 30,000 faces.
static void BM_BuildObbTree30000Faces(benchmark::State& state) {
    const int columns = 150, rows = 100;
    MeshLod mesh;
    uint32_t vertexCount = (columns + 1) * (rows + 1);
    resizeArray(mesh.localVertices, 0, vertexCount);
    mesh.vertexCount = vertexCount;
    for (int r = 0; r <= rows; r++) {
        for (int c = 0; c <= columns; c++) {
            mesh.localVertices[r * (columns + 1) + c] = {
                float(c), std::sin(float(c) * 0.2f) * std::cos(float(r) * 0.3f) * 3.0f, float(r)};
        }
    }
    resizeArray(mesh.faces, 0, columns * rows * 2);
    mesh.faceCount = columns * rows * 2;
    uint32_t f = 0;
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < columns; c++) {
            int32_t a = r * (columns + 1) + c, b = a + 1, d = a + columns + 1, e = d + 1;
            mesh.faces[f++] = {{a, d, b}};
            mesh.faces[f++] = {{b, d, e}};
        }
    }
    for (auto _ : state) {
        ObbNode* root = buildMeshTree(mesh);
        benchmark::DoNotOptimize(root);
        destroyTree(root);
    }
    releaseLodArrays(mesh);
}
BENCHMARK(BM_BuildObbTree30000Faces)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

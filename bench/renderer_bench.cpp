// Object renderer speed on the CPU side of a frame, without the driver: the animation of the
// camera and lights (or of every object), the traversal with culling, distances, levels of
// detail and light lists, the sorting of the draw lists and the bump vectors of the visible
// bump-mapped objects. The scene is a hall of 500 box meshes in ten rooms with two lights
// each; every fifth object is bump-mapped, every tenth transparent, every third has three
// levels of detail.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "effects/renderer.h"
#include "render/render_state.h"
#include "scene/keyframes.h"
#include "scene/mesh_processing.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

namespace {

constexpr int kRooms = 10;
constexpr int kObjectsPerRoom = 50;
constexpr int kObjects = kRooms * kObjectsPerRoom;

// A box of side 1 about centre: four vertices per side with the side's normal and texture
// coordinates, two faces per side.
void boxMesh(MeshLod& mesh, Vec3 centre) {
    const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    resizeArray(mesh.localVertices, 0, 24);
    resizeArray(mesh.vertices, 0, 24);
    resizeArray(mesh.baseNormals, 0, 24);
    resizeArray(mesh.normals, 0, 24);
    resizeArray(mesh.unitTexCoords[0], 0, 24);
    resizeArray(mesh.faces, 0, 12);
    mesh.vertexCount = mesh.normalCount = mesh.texCoordCount = 24;
    mesh.faceCount = 12;
    for (int side = 0; side < 6; side++) {
        Vec3 n = normals[side];
        Vec3 u = std::fabs(n.y) > 0.5f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        Vec3 v = crossProduct(n, u);
        const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int k = 0; k < 4; k++) {
            int i = side * 4 + k;
            mesh.localVertices[i] =
                centre + n * 0.5f + u * (0.5f * corner[k][0]) + v * (0.5f * corner[k][1]);
            mesh.vertices[i] = mesh.localVertices[i];
            mesh.baseNormals[i] = mesh.normals[i] = n;
            mesh.unitTexCoords[0][i] = {0.5f + 0.5f * corner[k][0], 0.5f + 0.5f * corner[k][1]};
        }
        int32_t b = side * 4;
        mesh.faces[side * 2] = {{b, b + 1, b + 2}};
        mesh.faces[side * 2 + 1] = {{b, b + 2, b + 3}};
    }
    FaceGroup* group = addFaceGroup(mesh, 12);
    for (uint32_t f = 0; f < 12; f++) {
        group->faceIndices[f] = uint16_t(f);
        group->faceVertices[f] = mesh.faces[f];
    }
}

void makeBumpMapped(MeshLod& mesh) {
    buildTangentFrames(mesh);
    resizeArray(mesh.bumpVectors, 0, mesh.vertexCount);
    mesh.unitVectors[1] = mesh.bumpVectors;
    mesh.unitFlags[1] = 1;
}

void fillTrack(TrackSet& track, int seed, Vec3 base = {}) {
    const uint32_t keys = 8;
    resizePositionKeys(track, keys);
    resizeRotationKeys(track, keys);
    for (uint32_t k = 0; k < keys; k++) {
        PositionKey& p = track.positionKeys[k];
        p.frame = int32_t(k) * 1000;
        p.position = base + Vec3{std::sin(float(k + seed)) * 0.2f, 0.1f * float(k % 3),
                                 std::cos(float(k + seed)) * 0.2f};
        RotationKey& r = track.rotationKeys[k];
        r.frame = int32_t(k) * 1000;
        r.angle = 0.01f;
        r.axis = {0.0f, 1.0f, 0.0f};
    }
    track.end = int32_t(keys - 1) * 1000;
    computePositionTangents(track);
    rotationKeysToQuaternions(track);
    computeRotationControls(track);
}

// Planes of a 45 degree perspective view (aspect 4:3, near 0.1, far 200) from eye along -z.
void frustumAt(Vec3 eye) {
    const float half = 22.5f * 3.14159265f / 180.0f, aspect = 4.0f / 3.0f;
    float ty = std::tan(half), tx = ty * aspect;
    Vec3 normals[4] = {{1, 0, -tx}, {-1, 0, -tx}, {0, -1, -ty}, {0, 1, -ty}};
    Plane* planes = renderState.frustum.planes;
    for (int p = 0; p < 4; p++) {
        normals[p].normalise();
        planes[p].fromNormalAndPoint(normals[p], eye);
    }
    planes[kPlaneNear].fromNormalAndPoint({0, 0, -1}, eye + Vec3{0, 0, -0.1f});
    planes[kPlaneFar].fromNormalAndPoint({0, 0, 1}, eye + Vec3{0, 0, -200.0f});
    renderState.camera.eye = eye;
}

struct Hall {
    SceneObject* hall = nullptr;
    SceneObject* camera = nullptr;
    std::vector<SceneObject*> lights;
    std::vector<SceneObject*> objects;
};

Hall buildHall(bool animateObjects) {
    initSceneGraph();
    Hall h;
    h.hall = createObject("HALL", &sceneGraphState.root);
    h.camera = createObject("Camera", &sceneGraphState.root);
    h.camera->isCamera = 1;
    fillTrack(h.camera->tracks, 99);
    h.camera->animated = 1;
    for (int r = 0; r < kRooms; r++) {
        SceneObject* room = createObject("room " + std::to_string(r), h.hall->treeNode);
        for (int l = 0; l < 2; l++) {
            SceneObject* light = createObject("light " + std::to_string(r * 2 + l), room->treeNode);
            light->lightKind = kPointLight;
            Vec3 position{float(r) * 10.0f + 4.0f * float(l), 3.0f, -8.0f};
            light->transform.setTranslation(position);
            fillTrack(light->tracks, r * 2 + l, position);
            light->animated = 1;
            h.lights.push_back(light);
        }
        for (int i = 0; i < kObjectsPerRoom; i++) {
            int index = r * kObjectsPerRoom + i;
            SceneObject* object = createObject("object " + std::to_string(index), room->treeNode);
            object->objectKind = kMeshObject;
            Vec3 centre{float(r) * 10.0f + float(i % 5) * 2.0f, 0.0f, -2.0f - float(i / 5) * 2.0f};
            boxMesh(object->lods[0], centre);
            if (index % 5 == 0) {
                makeBumpMapped(object->lods[0]);
                object->renderFlags = kRenderBumpMapping;
            }
            if (index % 10 == 3) object->transparent = 1.0f;
            // Three levels of detail (the coarser ones empty here) on some plain objects.
            if (index % 3 == 0 && index % 5 != 0) object->lodCount = 3;
            MeshLod& mesh = object->lods[0];
            fitBox(object->box, mesh.localVertices, mesh.vertexCount);
            computeCorners(object->box);
            object->localCenter = boxCenter(mesh.localVertices, mesh.vertexCount);
            if (animateObjects) {
                fillTrack(object->tracks, index, {});
                object->animated = 1;
            }
            h.objects.push_back(object);
        }
    }
    updateFromNode(&sceneGraphState.root);
    return h;
}

void destroyHall() {
    deleteAllObjects();
    shutdownSceneGraph();
    releaseDrawLists();
}

// Bump vectors of the visible bump-mapped objects, as drawing them computes.
int32_t bumpVisibleObjects() {
    int32_t bumped = 0;
    const DrawEntry* lists[2] = {rendererState.solidEntries, rendererState.transparentEntries};
    const int32_t counts[2] = {rendererState.solidCount, rendererState.transparentCount};
    for (int l = 0; l < 2; l++) {
        for (int32_t i = 0; i < counts[l]; i++) {
            SceneObject& object = *lists[l][i].object;
            if (!(object.renderFlags & kRenderBumpMapping)) continue;
            computeBumpVectors(object.lods[object.lodIndex],
                               object.lightCount > 0 ? object.lights[0] : nullptr);
            bumped++;
        }
    }
    return bumped;
}

void frameLoop(benchmark::State& state, bool animateObjects) {
    Hall h = buildHall(animateObjects);
    int32_t time = 0;
    int64_t listed = 0, bumped = 0, frames = 0;
    for (auto _ : state) {
        time = (time + 17) % 7000;
        // Animation: the camera and the lights, or the whole hall.
        h.camera->tracks.time = time;
        updateFromNode(h.camera->treeNode);
        if (animateObjects) {
            for (SceneObject* object : h.objects) object->tracks.time = time;
            for (SceneObject* light : h.lights) light->tracks.time = time;
            updateFromNode(h.hall->treeNode);
        } else {
            for (SceneObject* light : h.lights) {
                light->tracks.time = time;
                updateFromNode(light->treeNode);
            }
        }
        // The camera flies along the hall.
        frustumAt({float(time % 7000) * 0.012f, 1.0f, 6.0f});
        collectVisibleObjects(h.hall->treeNode);
        bumped += bumpVisibleObjects();
        // Particle systems update here (their own module and benchmark).
        listed += rendererState.solidCount + rendererState.transparentCount;
        frames++;
        benchmark::DoNotOptimize(rendererState.solidEntries);
    }
    state.counters["time_per_object"] =
        benchmark::Counter(double(state.iterations()) * kObjects,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["visible"] = frames > 0 ? double(listed) / double(frames) : 0.0;
    state.counters["bump_mapped_visible"] = frames > 0 ? double(bumped) / double(frames) : 0.0;
    destroyHall();
}

void BM_FrameStaticHall(benchmark::State& state) {
    frameLoop(state, false);
}
void BM_FrameAnimatedHall(benchmark::State& state) {
    frameLoop(state, true);
}
BENCHMARK(BM_FrameStaticHall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameAnimatedHall)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// Scenes built in code for the renderer tests: quads and lights hung into the scene graph, and
// a camera at the origin looking down -z through a 90 degree frustum (near 0.1, far 100).
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "effects/renderer.h"
#include "render/render_state.h"
#include "render/statistics.h"
#include "scene/mesh_processing.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "scene_fixtures.h"

inline constexpr float kTestNear = 0.1f;
inline constexpr float kTestFar = 100.0f;

// Planes of the test camera; inside where normal . p - d >= 0.
inline void setTestCamera() {
    const float s = 1.0f / std::sqrt(2.0f);
    Plane* planes = renderState.frustum.planes;
    planes[kPlaneLeft] = {{s, 0.0f, -s}, 0.0f};
    planes[kPlaneRight] = {{-s, 0.0f, -s}, 0.0f};
    planes[kPlaneTop] = {{0.0f, -s, -s}, 0.0f};
    planes[kPlaneBottom] = {{0.0f, s, -s}, 0.0f};
    planes[kPlaneNear] = {{0.0f, 0.0f, -1.0f}, kTestNear};
    planes[kPlaneFar] = {{0.0f, 0.0f, 1.0f}, -kTestFar};
    renderState.camera.eye = {0.0f, 0.0f, 0.0f};
    renderState.camera.target = {0.0f, 0.0f, -1.0f};
}

// Object box, centre and radius from the local vertices.
inline void fitObject(SceneObject& object) {
    MeshLod& mesh = object.lods[0];
    fitBox(object.box, mesh.localVertices, mesh.vertexCount);
    computeCorners(object.box);
    object.worldBox = object.box;
    object.localCenter = boxCenter(mesh.localVertices, mesh.vertexCount);
    object.worldCenter = object.localCenter;
}

// Quad of half size `half` about centre in a plane of constant z, facing +z (towards the test
// camera when it lies in front of it) or -z; unit-0 texture coordinates (0,0)..(1,1), normals,
// one face group of both triangles, its box fitted.
inline SceneObject* addQuad(const std::string& name, SceneNode* parent, Vec3 c, float half,
                            bool facingPlusZ = true) {
    SceneObject* object = createObject(name, parent);
    object->objectKind = kMeshObject;
    MeshLod& mesh = object->lods[0];
    setVertices(mesh, {{c.x - half, c.y - half, c.z},
                       {c.x + half, c.y - half, c.z},
                       {c.x + half, c.y + half, c.z},
                       {c.x - half, c.y + half, c.z}});
    if (facingPlusZ) {
        setFaces(mesh, {{{0, 1, 2}}, {{0, 2, 3}}});
    } else {
        setFaces(mesh, {{{0, 2, 1}}, {{0, 3, 2}}});
    }
    finishMesh(mesh);
    for (uint32_t i = 0; i < 4; i++) {
        mesh.baseNormals[i] = {0.0f, 0.0f, facingPlusZ ? 1.0f : -1.0f};
        mesh.normals[i] = mesh.baseNormals[i];
    }
    resizeArray(mesh.unitTexCoords[0], 0, 4);
    mesh.texCoordCount = 4;
    const TexCoord uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) mesh.unitTexCoords[0][i] = uv[i];
    FaceGroup* group = addFaceGroup(mesh, 2);
    for (uint32_t f = 0; f < 2; f++) {
        group->faceIndices[f] = uint16_t(f);
        group->faceVertices[f] = mesh.faces[f];
    }
    fitObject(*object);
    return object;
}

// A dummy (no geometry) that groups objects.
inline SceneObject* addDummy(const std::string& name, SceneNode* parent) {
    return createObject(name, parent);
}

inline SceneObject* addLight(const std::string& name, SceneNode* parent, Vec3 position,
                             int32_t kind = kPointLight) {
    SceneObject* light = createObject(name, parent);
    light->lightKind = kind;
    light->transform.setTranslation(position);
    light->worldTransform.setTranslation(position);
    for (int i = 0; i < 4; i++) {
        light->lightDiffuse[i] = 1.0f;
        light->lightAmbient[i] = i == 3 ? 1.0f : 0.0f;
        light->lightSpecular[i] = i == 3 ? 1.0f : 0.0f;
    }
    light->lightFactors[0] = 1.0f, light->lightFactors[1] = 0.0f, light->lightFactors[2] = 0.0f;
    return light;
}

// World transforms, geometry and boxes of the whole graph.
inline void placeScene() {
    updateFromNode(&sceneGraphState.root);
}

// Names of the objects in a draw list, in order.
inline std::vector<std::string> listNames(const DrawEntry* entries, int32_t count) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < count; i++) names.push_back(entries[i].object->name);
    return names;
}

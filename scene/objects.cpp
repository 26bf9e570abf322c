#include "scene/objects.h"

#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/textures.h"
#include "scene/scene_graph.h"

ObjectState objectState;
GpuBufferHooks gpuBufferHooks;

// The registry and its companion array change length together, by one entry.
static void resizeRegistry(int32_t newCount) {
    uint32_t oldCount = uint32_t(objectState.count);
    resizeArray(objectState.objects, oldCount, uint32_t(newCount));
    resizeArray(objectState.childBoxes, oldCount, uint32_t(newCount));
    objectState.count = newCount;
}

SceneObject* createObject(std::string_view name, SceneNode* parentNode) {
    if (findObjectIndex(name) != -1) {
        fatalError("ERROR", std::string("The ZORX_OpenGL engine was called to create a new object "
                                        "which already exists !\n\nObject ID : ") +
                                std::string(name));
    }
    resizeRegistry(objectState.count + 1);
    SceneObject* object = new SceneObject;
    object->name = name;
    object->secondName = textureState.sceneTag;
    for (int i = 0; i < 3; i++) object->lightFactors[i] = objectState.lightFactors[i];
    objectState.objects[objectState.count - 1] = object;
    if (parentNode != nullptr) attachObject(parentNode, *object);
    return object;
}

int32_t findObjectIndex(std::string_view name) {
    for (int32_t i = 0; i < objectState.count; i++) {
        if (objectState.objects[i]->name == name) return i;
    }
    return -1;
}

SceneObject* findObject(std::string_view name) {
    int32_t index = findObjectIndex(name);
    return index < 0 ? nullptr : objectState.objects[index];
}

static void freeTrackSets(SceneObject& object) {
    clearTrackSet(object.tracks);
    clearTrackSet(object.targetTracks);
}

static void destroyObject(SceneObject* object) {
    if (object->inGpuBuffers && gpuBufferHooks.release) gpuBufferHooks.release(*object);
    if (object->hasCpuArrays) releaseMeshArrays(*object);
    for (MeshLod& lod : object->lods) freeFaceGroups(lod);
    freeTrackSets(*object);
    destroyTree(object->obbTree);
    object->obbTree = nullptr;
    delete object;
}

void deleteObjectAt(int32_t index) {
    if (index < 0 || index >= objectState.count) return;
    SceneObject* object = objectState.objects[index];
    int32_t last = objectState.count - 1;
    if (index != last) objectState.objects[index] = objectState.objects[last];
    destroyNode(object->treeNode);
    object->treeNode = nullptr;
    destroyObject(object);
    resizeRegistry(last);
}

void deleteObject(std::string_view name) {
    deleteObjectAt(findObjectIndex(name));
}

void deleteAllObjects() {
    while (objectState.count > 0) deleteObjectAt(objectState.count - 1);
}

void uploadByName(std::string_view name) {
    for (int32_t i = 0; i < objectState.count; i++) {
        if (objectState.objects[i]->name == name && gpuBufferHooks.build)
            gpuBufferHooks.build(*objectState.objects[i]);
    }
}

void placeInWorld(SceneObject& object, const Mat4& m) {
    object.worldCenter = object.localCenter;
    object.worldCenter.transformPoint(m);

    MeshLod& lod = object.lods[object.lodIndex];
    if (lod.normals != nullptr && lod.baseNormals != nullptr) {
        for (uint32_t i = 0; i < lod.normalCount; i++) {
            lod.normals[i] = lod.baseNormals[i];
            lod.normals[i].transformDirection(m);
        }
    }
    if (lod.vertices != nullptr && lod.localVertices != nullptr) {
        for (uint32_t i = 0; i < lod.vertexCount; i++) {
            lod.vertices[i] = lod.localVertices[i];
            lod.vertices[i].transformPoint(m);
        }
    }
    transformBox(object.worldBox, object.box, m);
    transformTree(object.obbTree, m);
    for (int k = 0; k < 3; k++) {
        object.unitAxes[k] = object.axes[k];
        object.unitAxes[k].transformDirection(m);
    }
    if (lod.tangentFrames != nullptr) {
        for (uint32_t i = 0; i < lod.vertexCount; i++) {
            TangentFrame& f = lod.tangentFrames[i];
            f.worldTangent = f.tangent, f.worldBinormal = f.binormal, f.worldNormal = f.normal;
            f.worldTangent.transformDirection(m);
            f.worldBinormal.transformDirection(m);
            f.worldNormal.transformDirection(m);
        }
    }
    if (!object.inGpuBuffers || gpuBufferHooks.build == nullptr) return;
    if (object.gpuUpdated) {
        gpuBufferHooks.update(object, kBufferNormals | kBufferVertices);
    } else {
        gpuBufferHooks.release(object);
        gpuBufferHooks.build(object);
    }
}

// Bytes of a unit's vector array: the bump vectors are one per vertex, others one per
// texture coordinate.
static uint32_t unitVectorCount(const MeshLod& mesh, int unit) {
    return mesh.unitVectors[unit] == mesh.bumpVectors ? mesh.vertexCount : mesh.texCoordCount;
}

void releaseLodArrays(MeshLod& mesh) {
    for (int unit = 0; unit < kTextureUnits; unit++) {
        TexCoord* coords = mesh.unitTexCoords[unit];
        if (coords != nullptr) {
            for (int other = unit; other < kTextureUnits; other++) {
                if (mesh.unitTexCoords[other] == coords) mesh.unitTexCoords[other] = nullptr;
            }
            freeArray(coords, mesh.texCoordCount);
        }
        Vec3* vectors = mesh.unitVectors[unit];
        if (vectors != nullptr) {
            uint32_t count = unitVectorCount(mesh, unit);
            for (int other = unit; other < kTextureUnits; other++) {
                if (mesh.unitVectors[other] == vectors) mesh.unitVectors[other] = nullptr;
            }
            if (vectors != mesh.bumpVectors) freeArray(vectors, count);
        }
    }
    freeArray(mesh.localVertices, mesh.vertexCount);
    freeArray(mesh.vertices, mesh.vertexCount);
    freeArray(mesh.vertexColours, 4 * mesh.vertexCount);
    freeArray(mesh.tangentFrames, mesh.vertexCount);
    freeArray(mesh.bumpVectors, mesh.vertexCount);
    freeArray(mesh.baseNormals, mesh.normalCount);
    freeArray(mesh.normals, mesh.normalCount);
    freeArray(mesh.fogCoords, mesh.fogCoordCount);
    freeArray(mesh.faces, mesh.faceCount);
}

void releaseMeshArrays(SceneObject& object) {
    for (MeshLod& lod : object.lods) releaseLodArrays(lod);
    object.hasCpuArrays = 0;
}

FaceGroup* addFaceGroup(MeshLod& mesh, uint32_t faceCount) {
    FaceGroup* group = new FaceGroup;
    for (int unit = 0; unit < kTextureUnits; unit++) {
        group->unitTarget[unit] = kGLTexture2D;
        group->unitEnvSetup[unit] = objectState.defaultTextureMode;
        group->unitScale[unit] = 1.0f;
        group->unitRange[unit][0] = 1000.0f;
        group->unitRange[unit][1] = 2000.0f;
    }
    resizeArray(group->faceIndices, 0, faceCount);
    resizeArray(group->faceVertices, 0, faceCount);
    group->faceCount = faceCount;
    resizeArray(mesh.faceGroups, mesh.faceGroupCount, mesh.faceGroupCount + 1);
    mesh.faceGroups[mesh.faceGroupCount++] = group;
    return group;
}

void freeFaceGroups(MeshLod& mesh) {
    for (uint32_t i = 0; i < mesh.faceGroupCount; i++) {
        FaceGroup* group = mesh.faceGroups[i];
        freeArray(group->faceIndices, group->faceCount);
        freeArray(group->faceVertices, group->faceCount);
        delete group;
    }
    freeArray(mesh.faceGroups, mesh.faceGroupCount);
    mesh.faceGroupCount = 0;
}

void animateObject(SceneObject& object) {
    const TrackSet& tracks = object.tracks;
    if (object.isCamera) {
        Vec3 position = object.transform.getTranslation();
        evaluatePosition(tracks, tracks.linear, position);
        object.transform.setTranslation(position);
        evaluatePosition(object.targetTracks, tracks.linear, object.target);
        return;
    }
    Vec3 position;
    Mat4 rotation;
    evaluateTransform(tracks, position, rotation);
    object.transform.setRotation(rotation);
    object.transform.setTranslation(position);
}

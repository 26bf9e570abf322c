// Mesh post-processing on arbitrary face records: the smoothing split, tangent frames, the
// oriented box and the OBB tree must stay inside their arrays whatever indices and masks the
// file holds, and give back every accounted byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/system/memory.h"
#include "scene/mesh_processing.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    uint32_t before = memoryState.accountedBytes;
    const uint8_t flags = data[0];
    SceneObject object;
    if (flags & 1) object.name = "BM_fuzz";
    MeshLod& mesh = object.lods[0];
    uint32_t vertexCount = 1 + data[1] % 48;
    uint32_t faceCount = data[2] % 64;
    data += 3, size -= 3;
    if (size < faceCount * 12) return 0;

    resizeArray(mesh.vertices, 0, vertexCount);
    mesh.vertexCount = vertexCount;
    for (uint32_t i = 0; i < vertexCount; i++) {
        uint32_t h = i * 2654435761u;
        mesh.vertices[i] = {float(h % 7), float((h >> 8) % 5), float((h >> 16) % 3)};
    }
    if (flags & 2) {
        resizeArray(mesh.unitTexCoords[0], 0, vertexCount);
        mesh.texCoordCount = vertexCount;
        for (uint32_t i = 0; i < vertexCount; i++) mesh.unitTexCoords[0][i] = {float(i % 3), 0.5f};
    }
    // Face records: a, b, c, flags (8 bytes), then one mask (4 bytes) per face.
    const uint8_t* masks = data + faceCount * 8;
    resizeArray(mesh.faces, 0, faceCount);
    mesh.faceCount = faceCount;
    for (uint32_t f = 0; f < faceCount; f++) {
        for (int k = 0; k < 4; k++) {
            // Mostly valid indices, sometimes past the vertex list.
            uint8_t raw = data[8 * f + 2 * k];
            uint16_t index = uint16_t(raw % (vertexCount + 2));
            if (k < 3) mesh.faces[f].v[k] = index;
        }
    }
    resizeArray(mesh.normals, 0, vertexCount);
    resizeArray(mesh.baseNormals, 0, vertexCount);
    mesh.normalCount = vertexCount;
    buildVertexNormals(mesh.vertices, mesh.faces, faceCount, vertexCount, mesh.normals);
    if (object.name.starts_with("BM_")) buildTangentFrames(mesh);
    FaceGroup* group = addFaceGroup(mesh, faceCount);
    for (uint32_t i = 0; i < faceCount; i++)
        group->faceIndices[i] = uint16_t(i * 7 % (faceCount + 1));
    applySmoothingGroups(object, mesh, masks);

    bool allValid = true;
    for (uint32_t f = 0; f < mesh.faceCount; f++) {
        for (int k = 0; k < 3; k++) {
            if (uint32_t(mesh.faces[f].v[k]) >= mesh.vertexCount) allValid = false;
        }
    }
    resizeArray(mesh.localVertices, 0, mesh.vertexCount);
    for (uint32_t i = 0; i < mesh.vertexCount; i++) mesh.localVertices[i] = mesh.vertices[i];
    if (allValid) {
        object.obbTree = buildMeshTree(mesh);
        fitBox(object.box, mesh.localVertices, mesh.vertexCount);
        computeCorners(object.box);
        placeInWorld(object, Mat4{});
    }
    destroyTree(object.obbTree);
    releaseLodArrays(mesh);
    freeFaceGroups(mesh);
    if (memoryState.accountedBytes != before) std::abort();
    return 0;
}

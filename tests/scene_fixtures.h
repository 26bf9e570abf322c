// Small meshes and file records shared by the scene-model tests.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/objects.h"

inline void setVertices(MeshLod& mesh, const std::vector<Vec3>& vertices) {
    resizeArray(mesh.vertices, mesh.vertexCount, uint32_t(vertices.size()));
    mesh.vertexCount = uint32_t(vertices.size());
    for (uint32_t i = 0; i < mesh.vertexCount; i++) mesh.vertices[i] = vertices[i];
}

inline void setFaces(MeshLod& mesh, const std::vector<Face>& faces) {
    resizeArray(mesh.faces, mesh.faceCount, uint32_t(faces.size()));
    mesh.faceCount = uint32_t(faces.size());
    for (uint32_t i = 0; i < mesh.faceCount; i++) mesh.faces[i] = faces[i];
}

// Local vertices as a copy of the vertices, and normals built for them.
inline void finishMesh(MeshLod& mesh) {
    resizeArray(mesh.localVertices, 0, mesh.vertexCount);
    resizeArray(mesh.baseNormals, 0, mesh.vertexCount);
    resizeArray(mesh.normals, 0, mesh.vertexCount);
    mesh.normalCount = mesh.vertexCount;
    for (uint32_t i = 0; i < mesh.vertexCount; i++) mesh.localVertices[i] = mesh.vertices[i];
}

// Cube of side 2 about the origin: vertex i has x, y, z = -1 or +1 by bits 0, 1, 2; two
// outward-wound triangles per side in the order -z, +z, -y, +y, -x, +x.
inline std::vector<Vec3> cubeVertices() {
    std::vector<Vec3> v;
    for (int i = 0; i < 8; i++) {
        v.push_back({i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
    }
    return v;
}
inline std::vector<Face> cubeFaces() {
    return {{{0, 2, 1}}, {{1, 2, 3}}, {{4, 5, 6}}, {{5, 7, 6}}, {{0, 1, 4}}, {{1, 5, 4}},
            {{2, 6, 3}}, {{3, 6, 7}}, {{0, 4, 2}}, {{2, 4, 6}}, {{1, 3, 5}}, {{3, 7, 5}}};
}

// The file's face records (a, b, c, flags as little-endian ushorts) and mask records.
inline std::vector<uint8_t> faceRecords(const std::vector<Face>& faces) {
    std::vector<uint8_t> bytes;
    for (const Face& f : faces) {
        for (int32_t value : {f.v[0], f.v[1], f.v[2], 0}) {
            bytes.push_back(uint8_t(value & 0xFF));
            bytes.push_back(uint8_t(value >> 8));
        }
    }
    return bytes;
}
inline std::vector<uint8_t> maskRecords(const std::vector<uint32_t>& masks) {
    std::vector<uint8_t> bytes;
    for (uint32_t m : masks) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(m >> shift));
    }
    return bytes;
}

// Mesh post-processing after reading: vertex normals, the smoothing-group split (one vertex
// copy per smoothing region of a crease vertex), tangent frames for bump mapping, the DOT3
// preparation of a bump-mapped mesh's texture units, and bounding centre and radius.
// Vertices are never welded: identity is by index only.
#pragma once

#include <cstdint>

#include "platform/system/math.h"
#include "scene/objects.h"

struct MeshState {
    // Set by the engine start-up from the capability check and the texture modes. (The
    // normalisation cube map is the texture manager's.)
    int32_t textureUnits = 8;          // units the driver offers
    TextureEnvSetup bumpModes[3] = {}; // DOT3 set-ups of units 0, 1 and 2
};
extern MeshState meshState;

// Area-weighted vertex normals of the faces, normalised (a zero sum stays zero). Faces with
// an index outside the vertex list are left out.
void buildVertexNormals(const Vec3* vertices, const Face* faces, uint32_t faceCount,
                        uint32_t vertexCount, Vec3* normals);

// Splits the vertices of the mesh by smoothing groups. maskRecords holds one little-endian
// uint mask per face (bit k = group k + 1). The mesh's faces and its face groups' vertex
// triples are rebuilt with full-width indices; the file's records are only read. Objects
// named "BM_..." also get their tangent frames split.
void applySmoothingGroups(SceneObject& object, MeshLod& mesh, const uint8_t* maskRecords);

// Tangent frame of one face from positions and unit-0 texture coordinates (both triples
// equal). A mesh without texture coordinates gives zero tangent and binormal.
TangentFrame buildFaceFrame(const MeshLod& mesh, uint32_t face);
// Zeroed frames for every vertex, then each face's frame stored into its three vertices.
void buildTangentFrames(MeshLod& mesh);

// DOT3 preparation of a bump-mapped mesh: a bump-vector array, texture units shifted up by
// two, the normal map on unit 0, the cube map on unit 1. texCoordCopy (an accounted array of
// texCoordCount entries, or null) becomes unit 0's coordinates and is owned by the mesh.
// Too few free texture units is fatal.
void prepareBumpMapping(MeshLod& mesh, TexCoord* texCoordCopy);

// Centre of the points' axis-aligned bounds; (0, 0, 0) for none.
Vec3 boxCenter(const Vec3* points, uint32_t n);
// Largest distance of a point from centre; 0 for none.
float radiusAbout(const Vec3* points, uint32_t n, const Vec3& centre);

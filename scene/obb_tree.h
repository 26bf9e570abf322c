// Oriented bounding boxes: fitting a box to points by principal components, the box
// operations (corners, transform, plane test, merge), the binary tree of boxes over a mesh's
// triangles and the per-object frustum culling decision.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

struct MeshLod;

struct ObjectBox {
    Vec3 halfExtents{1.0f, 1.0f, 1.0f};
    Vec3 center;
    Vec3 axes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -1.0f}};
    // C -a0 -a1 -a2, C +a0 -a1 -a2, C +a0 +a1 -a2, C -a0 +a1 -a2, then the same with +a2,
    // where ak = axes[k] * halfExtents[k].
    Vec3 corners[8] = {{-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1},
                       {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
};

// A node has either two children and two boxes (internal) or a face list (leaf).
struct ObbNode {
    uint32_t spare = 0;
    uint32_t depth = 0;
    ObjectBox* localBox = nullptr;
    ObjectBox* worldBox = nullptr;
    ObbNode* left = nullptr;
    ObbNode* right = nullptr;
    uint32_t* faceIndices = nullptr; // accounted, faceCount entries
    uint32_t faceCount = 0;
};
using ObbTree = ObbNode;

// Nodes deeper than this are leaves, so a tree has at most ten levels.
inline constexpr uint32_t kObbMaxSplitDepth = 8;

// Fits center, axes and half extents to n >= 1 points; the corners are left to computeCorners.
void fitBox(ObjectBox& box, const Vec3* points, uint32_t n);
void computeCorners(ObjectBox& box);
// dst = src moved by the affine m (dst may be src).
void transformBox(ObjectBox& dst, const ObjectBox& src, const Mat4& m);
// 0 outside, 1 intersecting, 2 inside.
int classifyBox(const ObjectBox& box, const Plane& plane);
// One box around n >= 1 boxes; the corners are left to computeCorners.
void mergeBoxes(ObjectBox& dst, const ObjectBox* const* boxes, uint32_t n);

// Tree over the given faces of the mesh (indices into mesh.faces, vertices from the local
// vertices; null faceIndices: faces 0 to count - 1). An empty face list is fatal.
ObbNode* buildObbTree(const MeshLod& mesh, const uint32_t* faceIndices, uint32_t count,
                      uint32_t depth);
// Tree over all faces of the mesh from depth 0; none for a mesh without faces.
ObbNode* buildMeshTree(const MeshLod& mesh);
// worldBox of every internal node = localBox moved by m.
void transformTree(ObbNode* node, const Mat4& m);
// Frees the node and everything below it (null is allowed).
void destroyTree(ObbNode* node);

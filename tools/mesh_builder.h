// Mesh building blocks for the scene generator: vertices with texture coordinates, triangles
// with smoothing groups and materials, and parametric surfaces turned into triangle grids.
// All in the 3DS file's coordinates (z up).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/writer3ds.h"

inline Vec3f operator+(Vec3f a, Vec3f b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3f operator-(Vec3f a, Vec3f b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3f operator*(Vec3f a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}

uint16_t addVertex(Mesh3ds& mesh, Vec3f position, float u, float v);

// Appends a triangle (counter-clockwise seen from its front) to the group of the material,
// creating the group on first use.
void addTriangle(Mesh3ds& mesh, uint16_t a, uint16_t b, uint16_t c, uint32_t smoothing,
                 const std::string& material);

// A point of a parametric surface with its texture coordinates.
struct SurfacePoint {
    Vec3f position;
    float u = 0, v = 0;
};

// Grid of (columns + 1) x (rows + 1) points of surface(s, t) for s, t in [0, 1], two
// triangles per cell; the front is the side the cross product dP/ds x dP/dt points to.
void addSurface(Mesh3ds& mesh, int columns, int rows, uint32_t smoothing,
                const std::string& material,
                const std::function<SurfacePoint(float s, float t)>& surface);

// Flat quad corner + s * edgeS + t * edgeT, texture coordinates scaled by uvScale (repeats
// per unit of length).
void addPatch(Mesh3ds& mesh, Vec3f corner, Vec3f edgeS, Vec3f edgeT, int columns, int rows,
              float uvScale, uint32_t smoothing, const std::string& material);

// Axis-aligned box from low to high corner, faces outwards, each side its own smoothing bit
// from firstSmoothingBit on (six bits).
void addBox(Mesh3ds& mesh, Vec3f low, Vec3f high, float uvScale, int firstSmoothingBit,
            const std::string& material);

// Sets the local origin to the centre of the vertices' bounding box.
void centreOrigin(Mesh3ds& mesh);

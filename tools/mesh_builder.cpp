// Mesh building blocks: grids of parametric surfaces, flat patches and boxes.
#include "tools/mesh_builder.h"

#include <algorithm>
#include <cmath>

uint16_t addVertex(Mesh3ds& mesh, Vec3f position, float u, float v) {
    mesh.vertices.push_back(position);
    mesh.uvs.push_back(u);
    mesh.uvs.push_back(v);
    return uint16_t(mesh.vertices.size() - 1);
}

void addTriangle(Mesh3ds& mesh, uint16_t a, uint16_t b, uint16_t c, uint32_t smoothing,
                 const std::string& material) {
    auto group = std::find_if(mesh.groups.begin(), mesh.groups.end(),
                              [&](const FaceGroup3ds& g) { return g.material == material; });
    if (group == mesh.groups.end()) {
        mesh.groups.push_back({material, {}});
        group = mesh.groups.end() - 1;
    }
    group->faces.push_back(uint16_t(mesh.faces.size()));
    mesh.faces.push_back({a, b, c, 7});
    mesh.smoothing.push_back(smoothing);
}

void addSurface(Mesh3ds& mesh, int columns, int rows, uint32_t smoothing,
                const std::string& material,
                const std::function<SurfacePoint(float s, float t)>& surface) {
    const uint16_t first = uint16_t(mesh.vertices.size());
    for (int row = 0; row <= rows; ++row) {
        for (int column = 0; column <= columns; ++column) {
            const SurfacePoint p =
                surface(float(column) / float(columns), float(row) / float(rows));
            addVertex(mesh, p.position, p.u, p.v);
        }
    }
    const int stride = columns + 1;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const uint16_t a = uint16_t(first + row * stride + column);
            const uint16_t b = uint16_t(a + 1);
            const uint16_t c = uint16_t(a + stride + 1);
            const uint16_t d = uint16_t(a + stride);
            addTriangle(mesh, a, b, c, smoothing, material);
            addTriangle(mesh, a, c, d, smoothing, material);
        }
    }
}

static float length(Vec3f v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void addPatch(Mesh3ds& mesh, Vec3f corner, Vec3f edgeS, Vec3f edgeT, int columns, int rows,
              float uvScale, uint32_t smoothing, const std::string& material) {
    const float lengthS = length(edgeS) * uvScale;
    const float lengthT = length(edgeT) * uvScale;
    addSurface(mesh, columns, rows, smoothing, material, [&](float s, float t) {
        return SurfacePoint{corner + edgeS * s + edgeT * t, s * lengthS, t * lengthT};
    });
}

void addBox(Mesh3ds& mesh, Vec3f low, Vec3f high, float uvScale, int firstSmoothingBit,
            const std::string& material) {
    const Vec3f size = high - low;
    const Vec3f dx{size.x, 0, 0}, dy{0, size.y, 0}, dz{0, 0, size.z};
    const struct {
        Vec3f corner, edgeS, edgeT;
    } sides[6] = {
        {low, dy, dx},                                  // bottom, facing -z
        {Vec3f{low.x, low.y, high.z}, dx, dy},          // top
        {low, dx, dz},                                  // front, facing -y
        {Vec3f{high.x, high.y, low.z}, dx * -1.0f, dz}, // back
        {Vec3f{low.x, high.y, low.z}, dy * -1.0f, dz},  // left, facing -x
        {Vec3f{high.x, low.y, low.z}, dy, dz},          // right
    };
    for (int i = 0; i < 6; ++i) {
        const uint32_t bit = 1u << ((firstSmoothingBit + i) % 32);
        addPatch(mesh, sides[i].corner, sides[i].edgeS, sides[i].edgeT, 1, 1, uvScale, bit,
                 material);
    }
}

void centreOrigin(Mesh3ds& mesh) {
    if (mesh.vertices.empty()) return;
    Vec3f low = mesh.vertices[0], high = mesh.vertices[0];
    for (const Vec3f& v : mesh.vertices) {
        low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
        high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
    }
    mesh.origin = (low + high) * 0.5f;
}

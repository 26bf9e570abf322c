#include "scene/obb_tree.h"

#include <cmath>

#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "scene/accounted_arrays.h"
#include "scene/mesh.h"

// Symmetric 3 x 3 eigen-decomposition: Householder-free reduction to tridiagonal form, then
// QL with implicit shifts. On return d holds the eigenvalues in ascending order and column k
// of q the eigenvector of d[k]. Fixed 3 x 3 arrays let every loop unroll and keep the work in
// registers.
struct EigenWork {
    float q[3][3];
    float d[3];
    float e[3];
};

static void tridiagonalise(const float a[3][3], EigenWork& w) {
    float(*q)[3] = w.q;
    float* d = w.d;
    float* e = w.e;
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) q[r][c] = r == c ? 1.0f : 0.0f;
    }
    if (a[0][2] == 0.0f) {
        d[0] = a[0][0], d[1] = a[1][1], d[2] = a[2][2];
        e[0] = a[0][1], e[1] = a[1][2], e[2] = 0.0f;
        return;
    }
    float l = std::sqrt(a[0][1] * a[0][1] + a[0][2] * a[0][2]);
    float s = a[0][1] / l;
    float c = a[0][2] / l;
    float o = c * (a[2][2] - a[1][1]) + 2.0f * s * a[1][2];
    d[0] = a[0][0], d[1] = a[1][1] + c * o, d[2] = a[2][2] - c * o;
    e[0] = l, e[1] = a[1][2] - s * o, e[2] = 0.0f;
    q[1][1] = s, q[1][2] = c;
    q[2][1] = c, q[2][2] = -s;
}

static void implicitQL(EigenWork& w) {
    const int n = 3;
    float(*q)[3] = w.q;
    float* d = w.d;
    float* e = w.e;
    for (int l = 0; l < n; l++) {
        int sweeps = 0;
        int m;
        do {
            for (m = l; m < n - 1; m++) {
                float dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
                if (std::fabs(e[m]) + dd == dd) break;
            }
            if (m == l) break;
            if (sweeps++ == 32) return; // the values reached so far are used
            float g = (d[l + 1] - d[l]) / (2.0f * e[l]);
            float r = std::sqrt(g * g + 1.0f);
            g = d[m] - d[l] + e[l] / (g >= 0.0f ? g + r : g - r);
            float s = 1.0f, c = 1.0f, p = 0.0f;
            int i;
            for (i = m - 1; i >= l; i--) {
                float f = s * e[i];
                float b = c * e[i];
                if (f == 0.0f && g == 0.0f) {
                    // Both zero: no rotation is defined; the remaining part has split off.
                    d[i + 1] -= p;
                    e[m] = 0.0f;
                    break;
                }
                if (std::fabs(f) >= std::fabs(g)) {
                    c = g / f;
                    r = std::sqrt(c * c + 1.0f);
                    e[i + 1] = f * r;
                    s = 1.0f / r;
                    c *= s;
                } else {
                    s = f / g;
                    r = std::sqrt(s * s + 1.0f);
                    e[i + 1] = g * r;
                    c = 1.0f / r;
                    s *= c;
                }
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0f * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                for (int k = 0; k < n; k++) {
                    f = q[k][i + 1];
                    q[k][i + 1] = s * q[k][i] + c * f;
                    q[k][i] = c * q[k][i] - s * f;
                }
            }
            if (i >= l) continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0.0f;
        } while (m != l);
    }
}

static void sortEigenvalues(EigenWork& w) {
    const int n = 3;
    for (int i = 0; i < n - 1; i++) {
        int k = i;
        float p = w.d[i];
        for (int j = i + 1; j < n; j++) {
            if (w.d[j] < p) k = j, p = w.d[j];
        }
        if (k == i) continue;
        w.d[k] = w.d[i];
        w.d[i] = p;
        for (int r = 0; r < n; r++) {
            float t = w.q[r][i];
            w.q[r][i] = w.q[r][k];
            w.q[r][k] = t;
        }
    }
}

// Four floats worked on together. Every lane rounds exactly as the same float operation on
// its own would, so the fit gives the same bits as a component-by-component loop in the same
// order; the sums keep their point order.
typedef float Float4 __attribute__((vector_size(16)));

static Float4 toFloat4(const Vec3& v) {
    return Float4{v.x, v.y, v.z, 0.0f};
}

static Float4 splat(float f) {
    return Float4{f, f, f, f};
}

// Population covariance of the points about the mean: xx, xy, xz, yy, yz, zz.
static void covariance(const Vec3* points, uint32_t n, Float4 mean, float cov[3][3]) {
    Float4 first = splat(0.0f), second = splat(0.0f); // (xx, xy, xz, yy), (yz, zz)
    for (uint32_t i = 0; i < n; i++) {
        Float4 d = toFloat4(points[i]) - mean;
        first += Float4{d[0], d[0], d[0], d[1]} * Float4{d[0], d[1], d[2], d[1]};
        second += Float4{d[1], d[2], 0.0f, 0.0f} * Float4{d[2], d[2], 0.0f, 0.0f};
    }
    const float inv = 1.0f / float(n);
    const float xx = first[0] * inv, xy = first[1] * inv, xz = first[2] * inv;
    const float yy = first[3] * inv, yz = second[0] * inv, zz = second[1] * inv;
    const float c[3][3] = {{xx, xy, xz}, {xy, yy, yz}, {xz, yz, zz}};
    for (int r = 0; r < 3; r++) {
        for (int k = 0; k < 3; k++) cov[r][k] = c[r][k];
    }
}

// Unit axes of the covariance's eigenvectors, by ascending eigenvalue, forming a rotation.
static void principalAxes(const float cov[3][3], Vec3 axes[3]) {
    // The solver's work space lives on the stack: a fit allocates nothing.
    EigenWork w;
    tridiagonalise(cov, w);
    implicitQL(w);
    sortEigenvalues(w);
    for (int k = 0; k < 3; k++) axes[k].set(w.q[0][k], w.q[1][k], w.q[2][k]);
    // An eigenvector's sign is free: keep the axes a rotation, so that merging boxes through
    // quaternions keeps their orientation.
    if (crossProduct(axes[0], axes[1]).dot(axes[2]) < 0.0f) axes[2].scale(-1.0f);
}

// The fit once the sum of the points is known (lanes x, y, z).
static void fitBoxToSum(ObjectBox& box, const Vec3* points, uint32_t n, Float4 sum) {
    const Float4 mean = sum * splat(1.0f / float(n));
    float cov[3][3];
    covariance(points, n, mean, cov);
    principalAxes(cov, box.axes);

    // Lane k of a projection is the point's coordinate along axes[k].
    const Vec3* a = box.axes;
    const Float4 ax{a[0].x, a[1].x, a[2].x, 0.0f};
    const Float4 ay{a[0].y, a[1].y, a[2].y, 0.0f};
    const Float4 az{a[0].z, a[1].z, a[2].z, 0.0f};
    auto project = [&](const Vec3& p) {
        Float4 d = toFloat4(p) - mean;
        return splat(d[0]) * ax + splat(d[1]) * ay + splat(d[2]) * az;
    };
    Float4 lo = project(points[0]), hi = lo;
    for (uint32_t i = 1; i < n; i++) {
        Float4 t = project(points[i]);
        lo = t < lo ? t : lo;
        hi = t > hi ? t : hi;
    }
    box.center.set(mean[0], mean[1], mean[2]);
    for (int k = 0; k < 3; k++) box.center.add(a[k] * ((lo[k] + hi[k]) * 0.5f));
    box.halfExtents.set((hi[0] - lo[0]) * 0.5f, (hi[1] - lo[1]) * 0.5f, (hi[2] - lo[2]) * 0.5f);
}

void fitBox(ObjectBox& box, const Vec3* points, uint32_t n) {
    if (n == 0) return;
    Float4 sum = splat(0.0f);
    for (uint32_t i = 0; i < n; i++) sum += toFloat4(points[i]);
    fitBoxToSum(box, points, n, sum);
}

void computeCorners(ObjectBox& box) {
    Vec3 a0 = box.axes[0] * box.halfExtents.x;
    Vec3 a1 = box.axes[1] * box.halfExtents.y;
    Vec3 a2 = box.axes[2] * box.halfExtents.z;
    static const float signs[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                      {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (int i = 0; i < 8; i++) {
        box.corners[i] = box.center + a0 * signs[i][0] + a1 * signs[i][1] + a2 * signs[i][2];
    }
}

void transformBox(ObjectBox& dst, const ObjectBox& src, const Mat4& m) {
    if (&dst != &src) dst = src;
    dst.center.transformPoint(m);
    for (Vec3& corner : dst.corners) corner.transformPoint(m);
    for (Vec3& axis : dst.axes) axis.transformDirection(m);
}

int classifyBox(const ObjectBox& box, const Plane& plane) {
    float r = std::fabs(plane.normal.dot(box.axes[0])) * box.halfExtents.x +
              std::fabs(plane.normal.dot(box.axes[1])) * box.halfExtents.y +
              std::fabs(plane.normal.dot(box.axes[2])) * box.halfExtents.z;
    float s = plane.normal.dot(box.center) - plane.d;
    if (s <= -r) return 0;
    if (s >= r) return 2;
    return 1;
}

static Quat axesToQuat(const ObjectBox& box) {
    Mat3 m;
    for (int r = 0; r < 3; r++) {
        m.m[3 * r] = box.axes[r].x, m.m[3 * r + 1] = box.axes[r].y, m.m[3 * r + 2] = box.axes[r].z;
    }
    Quat q;
    q.fromMatrix(m);
    return q;
}

void mergeBoxes(ObjectBox& dst, const ObjectBox* const* boxes, uint32_t n) {
    if (n == 0) return;
    Vec3 c;
    for (uint32_t j = 0; j < n; j++) c.add(boxes[j]->center);
    c.scale(1.0f / float(n));

    Quat previous = axesToQuat(*boxes[0]);
    Quat sum = previous;
    for (uint32_t j = 1; j < n; j++) {
        Quat q = axesToQuat(*boxes[j]);
        if (q.dot(previous) < 0.0f) q.scale(-1.0f);
        sum.add(q);
        previous = q;
    }
    float length = std::sqrt(sum.dot(sum));
    if (length > 0.0f) sum.scale(1.0f / length);
    Mat3 axes = sum.toMatrixTransposed();
    Vec3 newAxes[3];
    for (int k = 0; k < 3; k++) newAxes[k].set(axes.m[3 * k], axes.m[3 * k + 1], axes.m[3 * k + 2]);

    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (uint32_t j = 0; j < n; j++) {
        for (const Vec3& corner : boxes[j]->corners) {
            Vec3 p = corner - c;
            for (int k = 0; k < 3; k++) {
                float t = p.dot(newAxes[k]);
                if (t < lo[k]) lo[k] = t;
                if (t > hi[k]) hi[k] = t;
            }
        }
    }
    dst.center = c;
    for (int k = 0; k < 3; k++) {
        dst.axes[k] = newAxes[k];
        dst.center.add(newAxes[k] * ((lo[k] + hi[k]) * 0.5f));
    }
    dst.halfExtents.set((hi[0] - lo[0]) * 0.5f, (hi[1] - lo[1]) * 0.5f, (hi[2] - lo[2]) * 0.5f);
}

// Axes ordered by half extent, largest first.
static void axisOrder(const Vec3& e, int order[3]) {
    if (e.x >= e.y && e.x >= e.z) {
        order[0] = 0, order[1] = e.y >= e.z ? 1 : 2, order[2] = e.y >= e.z ? 2 : 1;
    } else if (e.y >= e.x && e.y >= e.z) {
        order[0] = 1, order[1] = e.x >= e.z ? 0 : 2, order[2] = e.x >= e.z ? 2 : 0;
    } else {
        order[0] = 2, order[1] = e.x >= e.y ? 0 : 1, order[2] = e.x >= e.y ? 1 : 0;
    }
}

// Work space of one tree build, taken as one accounted block and shared by every node: the
// centroid of each mesh face, the face order (split in place as the tree descends), the
// right-hand faces of the split being made, the side of each face, and the corner points of
// the node being fitted.
struct TreeScratch {
    Vec3* centroids = nullptr; // by mesh face
    uint32_t* order = nullptr;
    uint32_t* right = nullptr;
    uint8_t* left = nullptr;
    Vec3* points = nullptr; // three per face
    uint8_t* block = nullptr;
    uint32_t bytes = 0;
};

static void takeTreeScratch(TreeScratch& s, const MeshLod& mesh, uint32_t count) {
    const uint32_t faces = mesh.faceCount > count ? mesh.faceCount : count;
    s.bytes = faces * uint32_t(sizeof(Vec3)) + 2 * count * uint32_t(sizeof(uint32_t)) +
              3 * count * uint32_t(sizeof(Vec3)) + count;
    accountedAlloc(s.block, 0, s.bytes);
    s.centroids = reinterpret_cast<Vec3*>(s.block);
    s.points = s.centroids + faces;
    s.order = reinterpret_cast<uint32_t*>(s.points + 3 * count);
    s.right = s.order + count;
    s.left = reinterpret_cast<uint8_t*>(s.right + count);
    for (uint32_t f = 0; f < mesh.faceCount; f++) {
        const Face& face = mesh.faces[f];
        Vec3 c = mesh.localVertices[face.v[0]] + mesh.localVertices[face.v[1]] +
                 mesh.localVertices[face.v[2]];
        c.scale(0.33333334f);
        s.centroids[f] = c;
    }
}

static ObbNode* makeLeaf(ObbNode* node, const uint32_t* faceIndices, uint32_t count) {
    resizeArray(node->faceIndices, 0, count);
    for (uint32_t i = 0; i < count; i++) node->faceIndices[i] = faceIndices[i];
    node->faceCount = count;
    return node;
}

// Sides of the faces for one split attempt (1 left, 0 right); returns whether both sides
// received a face.
static bool splitAttempt(int attempt, const int order[3], const ObjectBox& box,
                         const TreeScratch& s, const uint32_t* faces, uint32_t count) {
    const Vec3* centroids = s.centroids;
    uint8_t* left = s.left;
    uint32_t leftCount = 0;
    if (attempt < 3) {
        const Vec3& axis = box.axes[order[attempt]];
        float t = 0.0f;
        for (uint32_t i = 0; i < count; i++) t += (centroids[faces[i]] - box.center).dot(axis);
        t /= float(count);
        Plane plane;
        plane.fromNormalAndPoint(axis, box.center + axis * t);
        // On the plane (and a distance that is not a number) counts as left.
        for (uint32_t i = 0; i < count; i++) {
            const bool onLeft = !(plane.distance(centroids[faces[i]]) < 0.0f);
            left[i] = onLeft;
            leftCount += onLeft;
        }
    } else {
        for (uint32_t i = 0; i < count; i++) left[i] = i < count / 2;
        leftCount = count / 2;
    }
    return leftCount > 0 && leftCount < count;
}

// Moves the left faces to the front and the right ones behind them, each side keeping its
// order; returns the number of left faces.
static uint32_t partitionFaces(const TreeScratch& s, uint32_t* faces, uint32_t count) {
    uint32_t leftCount = 0, rightCount = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (s.left[i])
            faces[leftCount++] = faces[i];
        else
            s.right[rightCount++] = faces[i];
    }
    for (uint32_t i = 0; i < rightCount; i++) faces[leftCount + i] = s.right[i];
    return leftCount;
}

static void fitNodeBox(ObjectBox& box, const MeshLod& mesh, const TreeScratch& s,
                       const uint32_t* faces, uint32_t count) {
    Float4 sum = splat(0.0f);
    for (uint32_t i = 0; i < count; i++) {
        const Face& f = mesh.faces[faces[i]];
        for (int k = 0; k < 3; k++) {
            const Vec3& p = mesh.localVertices[f.v[k]];
            s.points[3 * i + k] = p;
            sum += toFloat4(p);
        }
    }
    fitBoxToSum(box, s.points, 3 * count, sum);
    computeCorners(box);
}

// An internal node and its two boxes are one allocation.
struct InnerNode {
    ObbNode node; // first: the node's address is the block's
    ObjectBox boxes[2];
};

// faces (count >= 1 entries) is a range of the scratch face order, rearranged for the
// children.
static ObbNode* buildNode(const MeshLod& mesh, TreeScratch& s, uint32_t* faces, uint32_t count,
                          uint32_t depth) {
    if (count == 1 || depth > kObbMaxSplitDepth) {
        ObbNode* leaf = new ObbNode;
        leaf->depth = depth;
        return makeLeaf(leaf, faces, count);
    }
    InnerNode* inner = new InnerNode;
    ObbNode* node = &inner->node;
    node->depth = depth;
    node->localBox = &inner->boxes[0];
    node->worldBox = &inner->boxes[1];
    fitNodeBox(*node->localBox, mesh, s, faces, count);

    int order[3];
    axisOrder(node->localBox->halfExtents, order);
    bool split = false;
    for (int attempt = 0; attempt < 4 && !split; attempt++) {
        split = splitAttempt(attempt, order, *node->localBox, s, faces, count);
    }
    if (!split)
        fatalError("INTERNAL ERROR", "Triangle partition failed during an OBBTree generation.");

    uint32_t leftCount = partitionFaces(s, faces, count);
    node->left = buildNode(mesh, s, faces, leftCount, depth + 1);
    node->right = buildNode(mesh, s, faces + leftCount, count - leftCount, depth + 1);
    return node;
}

ObbNode* buildObbTree(const MeshLod& mesh, const uint32_t* faceIndices, uint32_t count,
                      uint32_t depth) {
    if (count == 0) {
        fatalError("INTERNAL ERROR",
                   "Could not create an OBBTree partition with an empty face index array !");
    }
    TreeScratch s;
    takeTreeScratch(s, mesh, count);
    for (uint32_t i = 0; i < count; i++) s.order[i] = faceIndices ? faceIndices[i] : i;
    ObbNode* root = buildNode(mesh, s, s.order, count, depth);
    accountedFree(s.block, s.bytes);
    return root;
}

ObbNode* buildMeshTree(const MeshLod& mesh) {
    if (mesh.faceCount == 0) return nullptr;
    return buildObbTree(mesh, nullptr, mesh.faceCount, 0);
}

void transformTree(ObbNode* node, const Mat4& m) {
    if (node == nullptr || node->localBox == nullptr) return;
    transformBox(*node->worldBox, *node->localBox, m);
    transformTree(node->left, m);
    transformTree(node->right, m);
}

void destroyTree(ObbNode* node) {
    if (node == nullptr) return;
    freeArray(node->faceIndices, node->faceCount);
    destroyTree(node->left);
    destroyTree(node->right);
    if (node->localBox != nullptr)
        delete reinterpret_cast<InnerNode*>(node);
    else
        delete node;
}

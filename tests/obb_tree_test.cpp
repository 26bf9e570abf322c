#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <functional>
#include <vector>

#include "scene/culling.h"
#include "scene/scene_graph.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"
#include "scene_fixtures.h"

static Plane planeAt(Vec3 normal, float d) {
    return Plane{normal, d};
}

TEST(FitBox, RotatedBoxIsRecoveredWithUnitAxes) {
    // A 6 x 2 x 1 box turned 30 degrees about z and 20 about x.
    Mat4 turn;
    float a = 0.5235988f, b = 0.3490659f;
    Mat4 rz, rx;
    rz.m[0] = std::cos(a), rz.m[1] = -std::sin(a), rz.m[4] = std::sin(a), rz.m[5] = std::cos(a);
    rx.m[5] = std::cos(b), rx.m[6] = -std::sin(b), rx.m[9] = std::sin(b), rx.m[10] = std::cos(b);
    turn = rz;
    turn.multiply(rx);
    turn.setTranslation({10, -3, 2});
    std::vector<Vec3> points;
    for (int i = 0; i < 8; i++) {
        Vec3 p{i & 1 ? 3.0f : -3.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 0.5f : -0.5f};
        p.transformPoint(turn);
        points.push_back(p);
    }
    ObjectBox box;
    fitBox(box, points.data(), 8);
    computeCorners(box);
    // Axes by ascending spread.
    EXPECT_NEAR(box.halfExtents.x, 0.5f, 1e-4f);
    EXPECT_NEAR(box.halfExtents.y, 1.0f, 1e-4f);
    EXPECT_NEAR(box.halfExtents.z, 3.0f, 1e-4f);
    for (const Vec3& axis : box.axes) EXPECT_NEAR(axis.length(), 1.0f, 1e-5f);
    EXPECT_NEAR(box.center.x, 10.0f, 1e-4f);
    EXPECT_NEAR(crossProduct(box.axes[0], box.axes[1]).dot(box.axes[2]), 1.0f, 1e-5f);
    // Merging the box with itself keeps it.
    const ObjectBox* twice[] = {&box, &box};
    ObjectBox merged;
    mergeBoxes(merged, twice, 2);
    EXPECT_NEAR(merged.halfExtents.x, 0.5f, 1e-3f);
    EXPECT_NEAR(merged.halfExtents.z, 3.0f, 1e-3f);
    // Every input point lies on the box surface or inside it.
    for (const Vec3& p : points) {
        for (int k = 0; k < 3; k++) {
            float t = std::fabs((p - box.center).dot(box.axes[k]));
            float extent = k == 0   ? box.halfExtents.x
                           : k == 1 ? box.halfExtents.y
                                    : box.halfExtents.z;
            EXPECT_LE(t, extent + 1e-4f);
        }
    }
}

TEST(FitBox, PointsOnALineHaveOneNonZeroExtent) {
    std::vector<Vec3> points = {{1, 1, 1}, {2, 2, 2}, {4, 4, 4}, {7, 7, 7}};
    ObjectBox box;
    fitBox(box, points.data(), 4);
    EXPECT_NEAR(box.halfExtents.x, 0.0f, 1e-4f);
    EXPECT_NEAR(box.halfExtents.y, 0.0f, 1e-4f);
    EXPECT_NEAR(box.halfExtents.z, 3.0f * std::sqrt(3.0f), 1e-4f);
    EXPECT_NEAR(std::fabs(box.axes[2].x), 1.0f / std::sqrt(3.0f), 1e-4f);
    EXPECT_NEAR(box.center.x, 4.0f, 1e-4f);
}

TEST(ClassifyBox, BoundaryCases) {
    ObjectBox box;                                             // unit half extents about the origin
    EXPECT_EQ(classifyBox(box, planeAt({1, 0, 0}, 0.0f)), 1);  // centre on the plane
    EXPECT_EQ(classifyBox(box, planeAt({1, 0, 0}, -1.0f)), 2); // touching from inside
    EXPECT_EQ(classifyBox(box, planeAt({1, 0, 0}, 1.0f)), 0);  // touching from outside
    EXPECT_EQ(classifyBox(box, planeAt({0, -1, 0}, -0.5f)), 1);
}

TEST(MergeBoxes, EnclosesEveryCornerAndKeepsASingleBox) {
    ObjectBox a, b;
    a.center = {-3, 0, 0};
    b.center = {4, 1, 0};
    b.halfExtents = {2, 0.5f, 1};
    computeCorners(a);
    computeCorners(b);
    const ObjectBox* boxes[] = {&a, &b};
    ObjectBox merged;
    mergeBoxes(merged, boxes, 2);
    computeCorners(merged);
    for (const ObjectBox* box : boxes) {
        for (const Vec3& corner : box->corners) {
            EXPECT_LE(std::fabs((corner - merged.center).dot(merged.axes[0])),
                      merged.halfExtents.x + 1e-4f);
            EXPECT_LE(std::fabs((corner - merged.center).dot(merged.axes[1])),
                      merged.halfExtents.y + 1e-4f);
            EXPECT_LE(std::fabs((corner - merged.center).dot(merged.axes[2])),
                      merged.halfExtents.z + 1e-4f);
        }
    }
    EXPECT_NEAR(merged.halfExtents.x, 5.0f, 1e-4f); // x from -4 to 6
    EXPECT_NEAR(merged.center.x, 1.0f, 1e-4f);

    ObjectBox single;
    const ObjectBox* one[] = {&b};
    mergeBoxes(single, one, 1);
    EXPECT_NEAR(single.halfExtents.x, 2.0f, 1e-4f);
    EXPECT_NEAR(single.center.y, 1.0f, 1e-4f);
}

struct ObbTreeTest : testing::Test {
    MeshLod mesh;
    uint32_t before = memoryState.accountedBytes;
    void TearDown() override {
        releaseLodArrays(mesh);
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    // count triangles in a row along x, each of width 1.
    void makeStrip(uint32_t count) {
        std::vector<Vec3> v;
        std::vector<Face> f;
        for (uint32_t i = 0; i < count; i++) {
            float x = float(i);
            v.insert(v.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, float(i % 3)}});
            f.push_back({{int32_t(3 * i), int32_t(3 * i + 1), int32_t(3 * i + 2)}});
        }
        setVertices(mesh, v);
        setFaces(mesh, f);
        finishMesh(mesh);
    }
};

static void visit(const ObbNode* node, const std::function<void(const ObbNode*)>& f) {
    if (node == nullptr) return;
    f(node);
    visit(node->left, f);
    visit(node->right, f);
}

TEST_F(ObbTreeTest, SingleTriangleIsALeafWithoutBoxes) {
    makeStrip(1);
    ObbNode* root = buildMeshTree(mesh);
    EXPECT_EQ(root->left, nullptr);
    EXPECT_EQ(root->localBox, nullptr);
    EXPECT_EQ(root->worldBox, nullptr);
    ASSERT_EQ(root->faceCount, 1u);
    EXPECT_EQ(root->faceIndices[0], 0u);
    destroyTree(root);
}

TEST_F(ObbTreeTest, CoincidentTrianglesAreSplitInHalvesByOrder) {
    setVertices(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    setFaces(mesh, {{{0, 1, 2}}, {{0, 1, 2}}, {{0, 1, 2}}, {{0, 1, 2}}, {{0, 1, 2}}});
    finishMesh(mesh);
    ObbNode* root = buildMeshTree(mesh);
    // No plane separates equal centroids: 5 faces go 2 left, 3 right, keeping their order.
    ASSERT_NE(root->left, nullptr);
    ASSERT_NE(root->left->left, nullptr);
    EXPECT_EQ(root->left->left->faceIndices[0], 0u);
    EXPECT_EQ(root->left->right->faceIndices[0], 1u);
    ASSERT_NE(root->right->left, nullptr);
    EXPECT_EQ(root->right->left->faceIndices[0], 2u);
    std::vector<uint32_t> leaves;
    visit(root, [&](const ObbNode* n) {
        for (uint32_t i = 0; i < n->faceCount; i++) leaves.push_back(n->faceIndices[i]);
    });
    EXPECT_EQ(leaves, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    destroyTree(root);
}

TEST_F(ObbTreeTest, ThousandFacesStopSplittingAtDepthNine) {
    makeStrip(1000);
    ObbNode* root = buildMeshTree(mesh);
    uint32_t maxDepth = 0, faces = 0, crowdedLeaves = 0;
    std::vector<int> seen(1000, 0);
    visit(root, [&](const ObbNode* n) {
        if (n->depth > maxDepth) maxDepth = n->depth;
        if (n->left != nullptr) {
            EXPECT_NE(n->localBox, nullptr);
            EXPECT_EQ(n->faceCount, 0u);
            return;
        }
        faces += n->faceCount;
        for (uint32_t i = 0; i < n->faceCount; i++) seen[n->faceIndices[i]]++;
        if (n->faceCount > 1) {
            EXPECT_EQ(n->depth, 9u);
            crowdedLeaves++;
        }
    });
    EXPECT_EQ(maxDepth, 9u);
    EXPECT_EQ(faces, 1000u);
    EXPECT_GT(crowdedLeaves, 0u);
    for (int count : seen) EXPECT_EQ(count, 1);

    Mat4 move;
    move.setTranslation({0, 0, 100});
    transformTree(root, move);
    EXPECT_NEAR(root->worldBox->center.z, root->localBox->center.z + 100.0f, 1e-3f);
    EXPECT_NEAR(root->left->worldBox->corners[3].z, root->left->localBox->corners[3].z + 100.0f,
                1e-3f);
    destroyTree(root);
}

// Faces under a node, leaves left to right.
static std::vector<uint32_t> facesBelow(const ObbNode* node) {
    std::vector<uint32_t> faces;
    visit(node, [&](const ObbNode* n) {
        faces.insert(faces.end(), n->faceIndices, n->faceIndices + n->faceCount);
    });
    return faces;
}

TEST_F(ObbTreeTest, TreeOverAGivenFaceListBoxesEachNodesOwnFaces) {
    makeStrip(60);
    std::vector<uint32_t> list; // every third face, last first
    for (int32_t f = 59; f >= 0; f -= 3) list.push_back(uint32_t(f));
    const std::vector<uint32_t> given = list;
    ObbNode* root = buildObbTree(mesh, list.data(), uint32_t(list.size()), 0);
    EXPECT_EQ(list, given);

    std::vector<uint32_t> all = facesBelow(root);
    std::sort(all.begin(), all.end());
    std::vector<uint32_t> expected = given;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);

    uint32_t checked = 0;
    visit(root, [&](const ObbNode* n) {
        if (n->localBox == nullptr) return;
        std::vector<Vec3> corners;
        for (uint32_t f : facesBelow(n)) {
            for (int k = 0; k < 3; k++) corners.push_back(mesh.localVertices[mesh.faces[f].v[k]]);
        }
        ObjectBox box;
        fitBox(box, corners.data(), uint32_t(corners.size()));
        const ObjectBox& got = *n->localBox;
        EXPECT_NEAR(got.center.x, box.center.x, 1e-4f);
        EXPECT_NEAR(got.center.y, box.center.y, 1e-4f);
        EXPECT_NEAR(got.center.z, box.center.z, 1e-4f);
        EXPECT_NEAR(got.halfExtents.x, box.halfExtents.x, 1e-4f);
        EXPECT_NEAR(got.halfExtents.y, box.halfExtents.y, 1e-4f);
        EXPECT_NEAR(got.halfExtents.z, box.halfExtents.z, 1e-4f);
        checked++;
    });
    EXPECT_GT(checked, 5u);
    destroyTree(root);
}

TEST_F(ObbTreeTest, EmptyFaceListIsFatal) {
    failureState.batch = true;
    EXPECT_EXIT(buildObbTree(mesh, nullptr, 0, 0), testing::ExitedWithCode(1),
                "fatal\tINTERNAL ERROR\tCould not create an OBBTree partition with an empty face "
                "index array !");
}

struct CullTest : testing::Test {
    Plane planes[6];
    uint8_t all[6] = {1, 1, 1, 1, 1, 1};
    uint8_t child[6] = {};
    void SetUp() override {
        cullState = CullState{};
        // A cube frustum of half size 10 about the origin, normals inward.
        const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, -1, 0},
                                 {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        for (int i = 0; i < 6; i++) planes[i] = Plane{normals[i], -10.0f};
    }
};

TEST_F(CullTest, InsideIntersectingOutsideAndDisabled) {
    SceneObject object;
    EXPECT_TRUE(cullObject(object, planes, all, child));
    EXPECT_EQ(object.cullResult, 2);
    for (uint8_t m : child) EXPECT_EQ(m, 0);

    object.worldBox.center = {9.5f, 0, 0};
    EXPECT_TRUE(cullObject(object, planes, all, child));
    EXPECT_EQ(object.cullResult, 1);
    EXPECT_EQ(child[1], 1); // the plane at x = +10 is still to be tested below
    EXPECT_EQ(child[0], 0);

    object.worldBox.center = {12, 0, 0};
    EXPECT_FALSE(cullObject(object, planes, all, child));
    EXPECT_EQ(object.cullResult, 0);

    object.cullEnabled = 0;
    EXPECT_TRUE(cullObject(object, planes, all, child));
    EXPECT_EQ(object.cullResult, 1);
    EXPECT_EQ(cullState.objectTests, 3u);
}

TEST_F(CullTest, ChildOfAWhollyVisibleParentIsNotTested) {
    SceneNode parentNode, childNode;
    SceneObject parent, object;
    parentNode.object = &parent;
    childNode.object = &object;
    childNode.parent = &parentNode;
    object.treeNode = &childNode;
    parent.cullResult = 2;
    object.worldBox.center = {100, 0, 0}; // would be outside
    EXPECT_TRUE(cullObject(object, planes, all, child));
    EXPECT_EQ(object.cullResult, 2);
    EXPECT_EQ(cullState.objectTests, 0u);
    EXPECT_EQ(cullState.objectTestsSaved, 1u);
    EXPECT_EQ(cullState.planeTests, 0u);
    EXPECT_EQ(cullState.planeTestsSaved, 6u);

    parent.cullResult = 1;
    uint8_t some[6] = {1, 0, 0, 0, 0, 0};
    object.worldBox.center = {0, 0, 0};
    EXPECT_TRUE(cullObject(object, planes, some, child));
    EXPECT_EQ(cullState.planeTests, 1u);
    EXPECT_EQ(cullState.planeTestsSaved, 11u);
}

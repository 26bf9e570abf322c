#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene/scene_graph.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "scene/mesh_processing.h"
#include "scene/objects.h"
#include "scene_fixtures.h"

// Records what the scene graph asks of the tree view.
struct FakeTreeView {
    static inline std::vector<std::string> log;
    static inline TreeItem nextItem = 1;
    static TreeItem insert(TreeItem parent, std::string_view text, TreeIcon icon) {
        log.push_back("insert " + std::string(text) + " under " + std::to_string(parent) +
                      " icon " + std::to_string(icon));
        return nextItem++;
    }
    static bool remove(TreeItem item) {
        log.push_back("delete " + std::to_string(item));
        return true;
    }
    static bool rename(TreeItem item, std::string_view text) {
        log.push_back("rename " + std::to_string(item) + " " + std::string(text));
        return true;
    }
};

struct SceneTest : testing::Test {
    uint32_t before = memoryState.accountedBytes;
    void SetUp() override { initSceneGraph(); }
    void TearDown() override {
        deleteAllObjects();
        shutdownSceneGraph();
        treeView = TreeView{};
        FakeTreeView::log.clear();
        FakeTreeView::nextItem = 1;
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    SceneNode* root() { return &sceneGraphState.root; }
};

TEST_F(SceneTest, RegistryFindsExactNamesAndDeletesBySwappingWithTheLast) {
    SceneObject* a = createObject("a", nullptr);
    createObject("Box", nullptr);
    SceneObject* c = createObject("box", nullptr);
    EXPECT_EQ(findObjectIndex("Box"), 1);
    EXPECT_EQ(findObjectIndex("box"), 2);
    EXPECT_EQ(findObjectIndex("bo"), -1);
    EXPECT_EQ(findObjectIndex("box "), -1);
    EXPECT_EQ(findObject("a"), a);
    EXPECT_EQ(a->secondName, "Scene1");
    EXPECT_EQ(a->lightFactors[1], 0.1f);

    deleteObjectAt(-1);
    EXPECT_EQ(objectState.count, 3);
    deleteObjectAt(0);
    ASSERT_EQ(objectState.count, 2);
    EXPECT_EQ(objectState.objects[0], c);
    EXPECT_EQ(findObjectIndex("a"), -1);
    deleteObject("missing");
    EXPECT_EQ(objectState.count, 2);
}

TEST_F(SceneTest, DuplicateNameIsFatal) {
    createObject("box", nullptr);
    failureState.batch = true;
    EXPECT_EXIT(createObject("box", nullptr), testing::ExitedWithCode(1),
                "fatal\tERROR\tThe ZORX_OpenGL engine was called to create a new object which "
                "already exists !\\\\n\\\\nObject ID : box");
}

// A mesh object with every kind of array, face groups, tracks and an OBB tree.
static SceneObject* makeFullObject(const char* name, SceneNode* parent) {
    SceneObject* object = createObject(name, parent);
    MeshLod& mesh = object->lods[0];
    setVertices(mesh, cubeVertices());
    setFaces(mesh, cubeFaces());
    finishMesh(mesh);
    resizeArray(mesh.vertexColours, 0, 4 * mesh.vertexCount);
    resizeArray(mesh.unitTexCoords[0], 0, mesh.vertexCount);
    mesh.texCoordCount = mesh.vertexCount;
    mesh.unitTexCoords[3] = mesh.unitTexCoords[0]; // shared by two units
    resizeArray(mesh.fogCoords, 0, mesh.vertexCount);
    mesh.fogCoordCount = mesh.vertexCount;
    buildTangentFrames(mesh);
    FaceGroup* group = addFaceGroup(mesh, 2);
    group->faceIndices[1] = 1;
    TexCoord* copy = nullptr;
    resizeArray(copy, 0, mesh.texCoordCount);
    prepareBumpMapping(mesh, copy);
    resizePositionKeys(object->tracks, 3);
    resizeRotationKeys(object->targetTracks, 2);
    object->obbTree = buildMeshTree(mesh);
    fitBox(object->box, mesh.localVertices, mesh.vertexCount);
    computeCorners(object->box);
    return object;
}

TEST_F(SceneTest, DestroyingObjectsReturnsEveryAccountedByte) {
    makeFullObject("first", root());
    SceneObject* second = makeFullObject("second", root());
    EXPECT_GT(memoryState.accountedBytes, before);
    releaseMeshArrays(*second);
    EXPECT_EQ(second->hasCpuArrays, 0);
    EXPECT_EQ(second->lods[0].vertices, nullptr);
    deleteObject("first");
    deleteObject("second");
    EXPECT_EQ(root()->childCount, 0);
}

namespace {

// The placement below: a third of a turn about (1, 1, 1) that takes (x, y, z) to (y, z, x), so
// that no axis stays as it was, then 10 along x.
Vec3 turned(const Vec3& v) {
    return {v.y, v.z, v.x};
}
Vec3 placed(const Vec3& v) {
    return turned(v) + Vec3{10, 0, 0};
}

void expectNear(const Vec3& actual, const Vec3& expected, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-4f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-4f) << what;
}

void expectPlacedBox(const ObjectBox& world, const ObjectBox& local, const std::string& what) {
    expectNear(world.center, placed(local.center), what + " centre");
    for (int k = 0; k < 3; k++) expectNear(world.axes[k], turned(local.axes[k]), what + " axis");
    for (int c = 0; c < 8; c++)
        expectNear(world.corners[c], placed(local.corners[c]), what + " corner");
}

void expectPlacedTree(const ObbNode* node, int& boxes) {
    if (node == nullptr) return;
    if (node->localBox != nullptr) {
        ASSERT_NE(node->worldBox, nullptr);
        expectPlacedBox(*node->worldBox, *node->localBox, "tree box");
        boxes++;
    }
    expectPlacedTree(node->left, boxes);
    expectPlacedTree(node->right, boxes);
}

} // namespace

TEST_F(SceneTest, PlaceInWorldMovesGeometryBoxesAndFrames) {
    SceneObject* object = makeFullObject("cube", root());
    object->localCenter = {0, 2, 0};
    MeshLod& mesh = object->lods[0];
    for (uint32_t i = 0; i < mesh.vertexCount; i++) { // frames unlike their turned selves
        TangentFrame& f = mesh.tangentFrames[i];
        f.tangent = {1, 0.5f, 0.25f * float(i)}, f.binormal = {-0.5f, 1, 0.1f};
        f.normal = {0.2f, 0.3f, 1};
    }
    Mat4 m;
    Quat{0.5f, 0.5f, 0.5f, 0.5f}.toKeyRotation(m);
    m.setTranslation({10, 0, 0});
    placeInWorld(*object, m);

    expectNear(mesh.vertices[1], {9, -1, 1}, "vertex 1"); // (1, -1, -1)
    for (uint32_t i = 0; i < mesh.vertexCount; i++) {
        expectNear(mesh.vertices[i], placed(mesh.localVertices[i]), "vertex");
        const TangentFrame& f = mesh.tangentFrames[i];
        expectNear(f.worldTangent, turned(f.tangent), "tangent");
        expectNear(f.worldBinormal, turned(f.binormal), "binormal");
        expectNear(f.worldNormal, turned(f.normal), "frame normal");
    }
    ASSERT_GT(mesh.normalCount, 0u);
    for (uint32_t i = 0; i < mesh.normalCount; i++)
        expectNear(mesh.normals[i], turned(mesh.baseNormals[i]), "normal"); // no translation
    expectNear(object->worldCenter, {12, 0, 0}, "centre");                  // (0, 2, 0)
    for (int k = 0; k < 3; k++) expectNear(object->unitAxes[k], turned(object->axes[k]), "axis");
    expectPlacedBox(object->worldBox, object->box, "object box");
    int boxes = 0;
    expectPlacedTree(object->obbTree, boxes);
    EXPECT_GT(boxes, 0);
}

TEST_F(SceneTest, DeletingAfterTheGraphIsGoneFreesTheNodes) {
    SceneObject* parent = createObject("parent", root());
    createObject("child", parent->treeNode);
    shutdownSceneGraph();
    deleteObject("parent");
    deleteObject("child"); // the fixture checks the balance
}

TEST_F(SceneTest, AttachingNeedsTheGraphAndMirrorsInTheView) {
    shutdownSceneGraph();
    SceneObject* early = createObject("early", root());
    EXPECT_EQ(early->treeNode, nullptr);
    treeView.insertItem = FakeTreeView::insert;
    treeView.deleteItem = FakeTreeView::remove;
    treeView.setItemText = FakeTreeView::rename;
    initSceneGraph();
    EXPECT_EQ(sceneGraphState.rootObject->name, "Scene Graph - Root");
    EXPECT_EQ(sceneGraphState.rootObject->secondName, "Global Scene Graph");
    SceneObject* light = createObject("lamp", root());
    light->lightKind = kSpotLight;
    renameNodeLabel(light->treeNode, "lamp 2");
    EXPECT_EQ(FakeTreeView::log,
              (std::vector<std::string>{"insert Scene Graph - Root under 0 icon 2408",
                                        "insert lamp under 1 icon 2408", "rename 2 lamp 2"}));
    EXPECT_EQ(treeIconFor(*light), kIconSpotLight);
}

TEST_F(SceneTest, DetachingMovesChildrenInOrderToTheGrandparent) {
    treeView.insertItem = FakeTreeView::insert;
    treeView.deleteItem = FakeTreeView::remove;
    shutdownSceneGraph();
    initSceneGraph();
    SceneObject* sibling = createObject("sibling", root());
    SceneObject* middle = createObject("middle", root());
    SceneObject* kids[3];
    for (int i = 0; i < 3; i++) kids[i] = createObject("kid" + std::to_string(i), middle->treeNode);
    createObject("grandkid", kids[1]->treeNode);
    FakeTreeView::log.clear();

    detachNode(root()); // the root stays
    EXPECT_EQ(root()->childCount, 2);
    deleteObject("middle");
    ASSERT_EQ(root()->childCount, 4);
    EXPECT_EQ(root()->children[0]->object, sibling);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(root()->children[1 + i]->object, kids[i]);
        EXPECT_EQ(kids[i]->treeNode->parent, root());
    }
    EXPECT_EQ(FakeTreeView::log,
              (std::vector<std::string>{
                  "delete 3", "insert kid0 under 1 icon 2408", "insert kid1 under 1 icon 2408",
                  "insert grandkid under 9 icon 2408", "insert kid2 under 1 icon 2408"}));
}

TEST_F(SceneTest, UpdatesComposeTransformsAndSkipHiddenBranches) {
    SceneObject* parent = createObject("parent", root());
    SceneObject* child = createObject("child", parent->treeNode);
    SceneObject* lamp = createObject("lamp", parent->treeNode);
    lamp->lightKind = kPointLight;
    lamp->worldBox.center = {500, 0, 0};
    parent->transform.setTranslation({1, 0, 0});
    child->transform.setTranslation({0, 2, 0});
    child->target = {0, 0, -1};
    child->box.halfExtents = {3, 3, 3};
    computeCorners(child->box);
    updateFromNode(parent->treeNode);
    EXPECT_EQ(child->worldTransform.getTranslation().x, 1.0f);
    EXPECT_EQ(child->worldTransform.getTranslation().y, 2.0f);
    EXPECT_EQ(child->worldTarget.x, 1.0f); // target in the parent's space
    // The only non-light child's box becomes the parent's, and it travels up to the root.
    EXPECT_EQ(parent->worldBox.center.y, 2.0f);
    EXPECT_EQ(parent->worldBox.halfExtents.x, 3.0f);
    EXPECT_EQ(sceneGraphState.rootObject->worldBox.center.y, 2.0f);

    parent->visibilityState = 0;
    parent->transform.setTranslation({50, 0, 0});
    updateFromNode(parent->treeNode);
    updateObjects(std::vector<SceneObject*>{parent, child});
    EXPECT_EQ(parent->worldTransform.getTranslation().x, 1.0f);
    EXPECT_EQ(child->worldTransform.getTranslation().x, 1.0f);

    parent->visibilityState = 2;
    updateObjects(std::vector<SceneObject*>{child, parent});
    EXPECT_EQ(child->worldTransform.getTranslation().x, 50.0f);
}

// A merged box must come with its corners: culling tests the corners, not the centre.
TEST_F(SceneTest, MergedBoxesGetTheirCorners) {
    SceneObject* parent = createObject("parent", root());
    SceneObject* left = createObject("left", parent->treeNode);
    SceneObject* right = createObject("right", parent->treeNode);
    left->transform.setTranslation({-10, 0, 0});
    right->transform.setTranslation({10, 4, 0});
    updateFromNode(parent->treeNode);

    const ObjectBox& merged = parent->worldBox;
    EXPECT_GT(merged.halfExtents.x, 10.0f);
    ObjectBox expected = merged;
    computeCorners(expected);
    for (int i = 0; i < 8; i++) {
        EXPECT_NEAR(merged.corners[i].x, expected.corners[i].x, 1e-4f) << i;
        EXPECT_NEAR(merged.corners[i].y, expected.corners[i].y, 1e-4f) << i;
        EXPECT_NEAR(merged.corners[i].z, expected.corners[i].z, 1e-4f) << i;
    }
    // Every corner of each child's box lies within the merged box's corners' reach.
    float lowest = merged.corners[0].x, highest = merged.corners[0].x;
    for (const Vec3& corner : merged.corners) {
        lowest = std::min(lowest, corner.x);
        highest = std::max(highest, corner.x);
    }
    EXPECT_LE(lowest, -11.0f + 1e-3f);
    EXPECT_GE(highest, 11.0f - 1e-3f);
}

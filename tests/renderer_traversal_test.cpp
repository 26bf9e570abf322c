// The renderer's CPU work without a display: lights in scope, culling, levels of detail, the
// order of the draw lists and the bump vectors.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "effects/renderer.h"
#include "effects/screen_bounds.h"
#include "fatal_pattern.h"
#include "platform/system/memory.h"
#include "render_scene_fixtures.h"
#include "scene/culling.h"

namespace {

struct Traversal : testing::Test {
    uint32_t before = memoryState.accountedBytes;
    SceneNode* branch = nullptr;
    void SetUp() override {
        initSceneGraph();
        renderState = RenderState{};
        statisticsState = StatisticsState{};
        setTestCamera();
        branch = addDummy("BRANCH", &sceneGraphState.root)->treeNode;
        failureState.batch = true;
    }
    void TearDown() override {
        deleteAllObjects();
        shutdownSceneGraph();
        releaseDrawLists();
        rendererState = RendererState{};
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    std::vector<std::string> solid() {
        return listNames(rendererState.solidEntries, rendererState.solidCount);
    }
    std::vector<std::string> transparent() {
        return listNames(rendererState.transparentEntries, rendererState.transparentCount);
    }
};

TEST_F(Traversal, SolidFrontToBackTransparentBackToFront) {
    addQuad("far", branch, {0, 0, -9}, 1);
    addQuad("near", branch, {0, 0, -3}, 1);
    addQuad("middle", branch, {0, 0, -6}, 1);
    addQuad("glass near", branch, {0, 0, -2}, 1)->transparent = 1.0f;
    addQuad("glass far", branch, {0, 0, -8}, 1)->transparent = 0.5f;
    placeScene();
    collectVisibleObjects(branch);
    EXPECT_EQ(solid(), (std::vector<std::string>{"near", "middle", "far"}));
    EXPECT_EQ(transparent(), (std::vector<std::string>{"glass far", "glass near"}));
    EXPECT_FLOAT_EQ(rendererState.solidEntries[0].distance, 3.0f);
}

TEST_F(Traversal, EqualDistancesKeepTraversalOrder) {
    // The nearest comes last: an exchanging sort would move "first" behind "second".
    addQuad("first", branch, {-2, 0, -5}, 1);
    addQuad("second", branch, {2, 0, -5}, 1);
    addQuad("nearest", branch, {0, 0, -2}, 0.5f);
    addQuad("glass first", branch, {-2, 0, -5}, 1)->transparent = 1.0f;
    addQuad("glass second", branch, {2, 0, -5}, 1)->transparent = 1.0f;
    addQuad("glass farthest", branch, {0, 0, -20}, 1)->transparent = 1.0f;
    placeScene();
    collectVisibleObjects(branch);
    EXPECT_EQ(solid(), (std::vector<std::string>{"nearest", "first", "second"}));
    EXPECT_EQ(transparent(),
              (std::vector<std::string>{"glass farthest", "glass first", "glass second"}));
}

TEST_F(Traversal, ObjectsOutsideTheFrustumAreNotListed) {
    SceneObject* behind = addQuad("behind", branch, {0, 0, 5}, 1);
    addQuad("ahead", branch, {0, 0, -5}, 1);
    SceneObject* beyond = addQuad("beyond far plane", branch, {0, 0, -150}, 1);
    placeScene();
    cullState = CullState{};
    collectVisibleObjects(branch);
    EXPECT_EQ(solid(), (std::vector<std::string>{"ahead"}));
    EXPECT_EQ(behind->cullResult, 0);
    EXPECT_EQ(beyond->cullResult, 0);
    EXPECT_EQ(cullState.objectTests, 4u); // the branch and its three children
}

TEST_F(Traversal, HiddenAndEmptyObjectsAreNotListed) {
    SceneObject* hidden = addDummy("hidden", branch);
    addQuad("below hidden", hidden->treeNode, {0, 0, -5}, 1);
    SceneObject* empty = addQuad("without vertices", branch, {0, 0, -5}, 1);
    SceneObject* dummy = addDummy("dummy", branch);
    addQuad("below dummy", dummy->treeNode, {0, 0, -4}, 1);
    placeScene();
    hidden->visibilityState = 1;
    hidden->cullResult = 0;
    empty->lods[0].vertexCount = 0;
    collectVisibleObjects(branch);
    empty->lods[0].vertexCount = 4;
    EXPECT_EQ(solid(), (std::vector<std::string>{"below dummy"}));
    EXPECT_EQ(hidden->cullResult, 1);
}

TEST_F(Traversal, CustomDrawnObjectsAreNotCulled) {
    addQuad("ahead", branch, {0, 0, -5}, 1);
    SceneObject* behind = addQuad("custom behind", branch, {0, 0, 3}, 1);
    behind->customDraw = [](void*, uint32_t) {};
    placeScene();
    collectVisibleObjects(branch);
    EXPECT_EQ(solid(), (std::vector<std::string>{"custom behind", "ahead"}));
}

// Levels of detail with three levels: thresholds 0, 6.666..., 13.333...
TEST_F(Traversal, LevelOfDetailThresholds) {
    struct Case {
        float distance;
        bool transparent;
        int32_t expected;
    } cases[] = {
        {1.0f, false, 0},   {6.66f, false, 0},       {6.67f, false, 1}, {20.0f / 3.0f, false, 1},
        {13.33f, false, 1}, {13.34f, false, 2},      {50.0f, false, 2}, {20.0f / 3.0f, true, 0},
        {6.67f, true, 1},   {40.0f / 3.0f, true, 1}, {13.34f, true, 2},
    };
    SceneObject* object = addQuad("lod", branch, {0, 0, -1}, 0.1f);
    object->lodCount = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << (c.transparent ? " transparent" : ""));
        object->transparent = c.transparent ? 1.0f : 0.0f;
        object->lodIndex = (c.expected + 1) % 3; // never the level it should end on
        object->worldCenter = {0.0f, 0.0f, -c.distance};
        collectVisibleObjects(branch);
        EXPECT_EQ(object->lodIndex, c.expected);
    }
}

TEST_F(Traversal, TransparentObjectAtTheEyeKeepsItsLevel) {
    SceneObject* object = addQuad("glass", branch, {0, 0, -1}, 0.1f);
    object->lodCount = 2;
    object->transparent = 1.0f;
    object->lodIndex = 1;
    object->worldCenter = renderState.camera.eye;
    collectVisibleObjects(branch);
    EXPECT_EQ(object->lodIndex, 1);
}

TEST_F(Traversal, LightsLightTheirSiblingsAndWhatIsBelowThem) {
    SceneObject* outer = addLight("outer light", &sceneGraphState.root, {0, 5, 0});
    SceneObject* room = addDummy("room", branch);
    SceneObject* lamp = addLight("lamp", room->treeNode, {0, 1, -5});
    SceneObject* table = addQuad("table", room->treeNode, {0, 0, -5}, 1);
    SceneObject* hall = addQuad("hall", branch, {0, 0, -8}, 1);
    SceneObject* off = addLight("switched off", room->treeNode, {0, 2, -5});
    off->visibilityState = 0;
    placeScene();
    collectVisibleObjects(branch);
    ASSERT_EQ(table->lightCount, 2);
    EXPECT_EQ(table->lights[0], outer);
    EXPECT_EQ(table->lights[1], lamp);
    ASSERT_EQ(hall->lightCount, 1);
    EXPECT_EQ(hall->lights[0], outer);
    EXPECT_EQ(rendererState.lightStackSize, 1); // the branch's own lights are popped again
}

TEST_F(Traversal, ObjectsUseTheFirstEightLightsInScope) {
    std::vector<SceneObject*> lights;
    for (int i = 0; i < 3; i++) {
        lights.push_back(addLight("outer " + std::to_string(i), &sceneGraphState.root, {}));
    }
    for (int i = 0; i < 7; i++) {
        lights.push_back(addLight("inner " + std::to_string(i), branch, {}));
    }
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    collectVisibleObjects(branch);
    ASSERT_EQ(object->lightCount, kMaxObjectLights);
    for (int i = 0; i < kMaxObjectLights; i++) EXPECT_EQ(object->lights[i], lights[i]) << i;
}

TEST_F(Traversal, FiftyLightsInScopeWork) {
    for (int i = 0; i < 20; i++) addLight("outer " + std::to_string(i), &sceneGraphState.root, {});
    for (int i = 0; i < 30; i++) addLight("inner " + std::to_string(i), branch, {});
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    collectVisibleObjects(branch);
    EXPECT_EQ(object->lightCount, kMaxObjectLights);
}

TEST_F(Traversal, TheFiftyFirstLightIsFatal) {
    for (int i = 0; i < 20; i++) addLight("outer " + std::to_string(i), &sceneGraphState.root, {});
    for (int i = 0; i < 31; i++) addLight("inner " + std::to_string(i), branch, {});
    addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    EXPECT_EXIT(collectVisibleObjects(branch), testing::ExitedWithCode(1),
                fatalPattern(kTooManyLightsCaption, kTooManyLightsText));
}

TEST_F(Traversal, DirectionalLightAtTheOriginIsFatal) {
    SceneObject* sun = addLight("sun", branch, {0, 0, 0}, kDirectionalLight);
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    collectVisibleObjects(branch);
    ASSERT_EQ(object->lights[0], sun);
    EXPECT_EXIT(drawObject(*object), testing::ExitedWithCode(1),
                fatalPattern(kDirectionalLightCaption, kDirectionalLightText));
}

TEST_F(Traversal, FindSceneNodeByExactName) {
    EXPECT_EQ(findSceneNode("BRANCH"), branch);
    EXPECT_EQ(findSceneNode("branch"), nullptr);
    collectVisibleObjects(nullptr);
    EXPECT_EQ(rendererState.solidCount, 0);
}

TEST(BumpVectors, AreTheLightVectorInTheWorldTangentFrame) {
    MeshLod lod;
    setVertices(lod, {{1, 0, 0}, {0, 2, 0}});
    resizeArray(lod.tangentFrames, 0, 2);
    resizeArray(lod.bumpVectors, 0, 2);
    for (TangentFrame& f : std::span(lod.tangentFrames, 2)) {
        f.tangent = {9, 9, 9}; // the object-space triple is not used
        f.worldTangent = {0, 1, 0}, f.worldBinormal = {0, 0, 1}, f.worldNormal = {1, 0, 0};
    }
    SceneObject light;
    light.worldTransform.setTranslation({3, 4, 5});
    computeBumpVectors(lod, &light);
    EXPECT_FLOAT_EQ(lod.bumpVectors[0].x, 4.0f);
    EXPECT_FLOAT_EQ(lod.bumpVectors[0].y, 5.0f);
    EXPECT_FLOAT_EQ(lod.bumpVectors[0].z, 2.0f);
    EXPECT_FLOAT_EQ(lod.bumpVectors[1].x, 2.0f);
    EXPECT_FLOAT_EQ(lod.bumpVectors[1].z, 3.0f);

    // Without a light, or without frames, nothing is written.
    lod.bumpVectors[0] = {7, 7, 7};
    computeBumpVectors(lod, nullptr);
    EXPECT_FLOAT_EQ(lod.bumpVectors[0].x, 7.0f);
    freeArray(lod.tangentFrames, 2);
    computeBumpVectors(lod, &light);
    EXPECT_FLOAT_EQ(lod.bumpVectors[0].x, 7.0f);
    freeArray(lod.bumpVectors, 2);
    freeArray(lod.vertices, 2);
}

// ---- where a branch lands on the view ----

// A 90-degree perspective (near 1, far 100) looking down -z from the origin.
void lookDownMinusZ() {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float perspective[16] = {
        1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -101.0f / 99.0f, -1, 0, 0, -200.0f / 99.0f, 0};
    std::copy(identity, identity + 16, renderState.modelview);
    std::copy(perspective, perspective + 16, renderState.projection);
}

TEST(BranchBounds, BoxesOfTheDrawableObjectsProjectedOutwardToWholePixels) {
    lookDownMinusZ();
    SceneObject near, beside, empty;
    for (SceneObject* object : {&near, &beside}) object->lods[0].vertexCount = 8;
    near.worldBox.center = {0.0f, 0.0f, -10.0f};
    beside.worldBox.center = {5.0f, 0.0f, -10.0f};
    empty.worldBox.center = {-50.0f, 0.0f, -10.0f}; // no geometry: not counted
    SceneNode besideNode, emptyNode, root;
    besideNode.object = &beside;
    emptyNode.object = &empty;
    root.object = &near;
    SceneNode* children[2] = {&besideNode, &emptyNode};
    PixelRect rect;

    // The unit box at 10: x and y within 1/9 of the centre, +-5.6 pixels of 100; a pixel more.
    EXPECT_TRUE(projectBranchBounds(&besideNode, 100, 100, rect));
    EXPECT_TRUE(rect.x0 == 67 && rect.x1 == 85 && rect.y0 == 43 && rect.y1 == 57)
        << rect.x0 << " " << rect.x1 << " " << rect.y0 << " " << rect.y1;
    root.children = children;
    root.childCount = 2;
    EXPECT_TRUE(projectBranchBounds(&root, 100, 100, rect));
    EXPECT_TRUE(rect.x0 == 43 && rect.x1 == 85 && rect.y0 == 43 && rect.y1 == 57);

    EXPECT_TRUE(projectBranchBounds(&emptyNode, 100, 100, rect));
    EXPECT_TRUE(rect.empty()) << "nothing to draw";
    beside.worldBox.center = {50.0f, 0.0f, -10.0f};
    EXPECT_TRUE(projectBranchBounds(&besideNode, 100, 100, rect));
    EXPECT_TRUE(rect.empty()) << "wholly beside the view";
    beside.worldBox.center = {0.0f, 0.0f, 0.5f};
    EXPECT_FALSE(projectBranchBounds(&root, 100, 100, rect)) << "reaching behind the eye";
    root.children = nullptr;
}

} // namespace

#include "effects/engine.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "config/configuration.h"
#include "effects/fog.h"
#include "effects/particles.h"
#include "platform/system/memory.h"
#include "render/capabilities.h"
#include "render/debug_display.h"
#include "resources/textures.h"
#include "scene/culling.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "scene/tree_view.h"
#include "support/test_support.h"

namespace {

class Engine : public testing::Test {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        configState = ConfigState{};
        renderState = RenderState{};
        glCapabilities = GLCapabilities{};
        captureGLStrings();
    }
    void TearDown() override {
        if (window.ok) shutdownEngine();
    }
    HiddenGLWindow window{64, 64};
    BoxRecorder boxes;
};

TEST_F(Engine, StartUpSetsTheDefaultsAndEmptiesTheRegistries) {
    // Leftovers of an earlier run of the engine.
    createObject("LEFTOVER", nullptr);
    createTexture("LEFTOVER", 4, 4, nullptr);
    debugDisplay.wireframe = true;
    statisticsState.page = 2;
    statisticsState.rateText = "60";
    cullState.planeTests = 9;
    textureState.options.noMipmaps = false;
    textureState.sceneTag = "Scene2";
    fogState.globalEnabled = true;
    renderState.camera.eye = {5.0f, 5.0f, 5.0f};
    renderState.camera.roll = 30.0f;

    RenderSettings settings;
    settings.screenWidth = 800;
    settings.screenHeight = 400;
    settings.multisampleMode = 0;
    initEngine(settings, driverQuery(glStrings));

    EXPECT_EQ(renderState.screenWidth, 800);
    EXPECT_FLOAT_EQ(renderState.aspect, 2.0f);
    EXPECT_NEAR(renderState.projection[5] / renderState.projection[0], 2.0f, 1e-5f);
    EXPECT_EQ(renderState.textureUnits[0], static_cast<GLenum>(GL_TEXTURE0_ARB));
    EXPECT_EQ(renderState.textureUnits[31], static_cast<GLenum>(GL_TEXTURE0_ARB + 31));
    EXPECT_EQ(fogState.global.start, 0.1f);
    EXPECT_EQ(fogState.global.end, 200.0f);
    EXPECT_FALSE(fogState.globalEnabled);
    EXPECT_TRUE(textureState.options.noMipmaps);
    EXPECT_TRUE(textureState.options.noAnisotropy);
    EXPECT_TRUE(textureState.options.noCompression);
    EXPECT_EQ(textureState.sceneTag, "Scene1");
    EXPECT_FALSE(debugDisplay.wireframe);
    EXPECT_EQ(statisticsState.page, 0);
    EXPECT_EQ(statisticsState.rateText, "");
    EXPECT_EQ(cullState.planeTests, 0u);
    EXPECT_EQ(objectState.count, 0);
    EXPECT_EQ(textureState.count, 0);

    // The default camera, applied: the modelview is the identity.
    EXPECT_TRUE(renderState.camera.eye.isZero());
    EXPECT_EQ(renderState.camera.roll, 0.0f);
    EXPECT_EQ(renderState.camera.viewDirection.z, -1.0f);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(renderState.modelview[i], i % 5 == 0 ? 1 : 0);
    EXPECT_NEAR(renderState.frustum.planes[kPlaneNear].d, 0.1f, 1e-5f);
    // The capability check ran, and the default GL state is set.
    EXPECT_NE(glFunctions.glActiveTextureARB, nullptr);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// What the scene-graph window is asked to remove while the engine shuts down, with the
// particle systems and textures still there at that moment.
std::vector<std::string> shutdownLog;
TreeItem nextTreeItem = 1;
TreeItem insertTreeItem(TreeItem, std::string_view text, TreeIcon) {
    shutdownLog.push_back("insert " + std::string(text));
    return nextTreeItem++;
}
bool deleteTreeItem(TreeItem item) {
    shutdownLog.push_back("delete " + std::to_string(item) + " with " +
                          std::to_string(particleState.count) + " particle systems, " +
                          std::to_string(textureState.count) + " textures");
    return true;
}

TEST_F(Engine, ShutdownReleasesEverythingTheEngineCreatedNewestFirst) {
    initEngine(RenderSettings{}, driverQuery(glStrings));
    uint32_t bytesBefore = memoryState.accountedBytes;
    treeView.insertItem = insertTreeItem;
    treeView.deleteItem = deleteTreeItem;
    initSceneGraph(); // item 1, the root
    buildNormalisationCubeMap();
    createTexture("FIRST", 4, 4, nullptr);
    createTexture("SECOND", 4, 4, nullptr);
    SceneObject* parent = createObject("PARENT", &sceneGraphState.root); // item 2
    createObject("CHILD", parent->treeNode);                             // item 3
    createParticleSystem("STARS");
    for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) glEnable(light);
    shutdownLog.clear();

    shutdownEngine();
    // The particle systems go first, the textures last; a child before its parent, so that
    // the parent's removal never has to move it under the root.
    EXPECT_EQ(shutdownLog,
              (std::vector<std::string>{"delete 3 with 0 particle systems, 2 textures",
                                        "delete 2 with 0 particle systems, 2 textures"}));
    EXPECT_EQ(particleState.count, 0);
    EXPECT_EQ(textureState.normalisationCubeMap, 0u);
    EXPECT_EQ(textureState.count, 0);
    EXPECT_EQ(textureState.glTextureCount, 0);
    EXPECT_EQ(objectState.count, 0);
    for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) EXPECT_FALSE(glIsEnabled(light));
    shutdownSceneGraph();
    treeView = TreeView{};
    EXPECT_EQ(memoryState.accountedBytes, bytesBefore);
    EXPECT_TRUE(boxes.boxes.empty()); // no texture was deleted twice
}

TEST_F(Engine, CameraComesFromCameraObjectsOnly) {
    initEngine(RenderSettings{}, driverQuery(glStrings));
    renderState.camera.roll = 15.0f;
    SceneObject* mesh = createObject("MESH", nullptr);
    mesh->worldTransform.setTranslation({1.0f, 2.0f, 3.0f});
    cameraFromObject(nullptr);
    cameraFromObject(mesh);
    EXPECT_TRUE(renderState.camera.eye.isZero());
    EXPECT_EQ(renderState.camera.roll, 15.0f);

    SceneObject* camera = createObject("Camera01", nullptr);
    camera->isCamera = 1;
    camera->worldTransform.setTranslation({4.0f, 5.0f, 6.0f});
    camera->worldTarget = {4.0f, 5.0f, -10.0f};
    cameraFromObject(camera);
    EXPECT_EQ(renderState.camera.eye.x, 4.0f);
    EXPECT_EQ(renderState.camera.eye.z, 6.0f);
    EXPECT_EQ(renderState.camera.target.z, -10.0f);
    EXPECT_EQ(renderState.camera.roll, 0.0f);
}

TEST(FrameCounters, ResetAlsoClearsTheCullingAndInputsCarryIt) {
    statisticsState.frame.totalTriangles = 12;
    cullState = {3, 1, 14, 6};
    StatisticsInputs inputs = currentStatisticsInputs();
    EXPECT_EQ(inputs.objectCount, objectState.count);
    EXPECT_EQ(inputs.objectTests, 3u);
    EXPECT_EQ(inputs.objectTestsSaved, 1u);
    EXPECT_EQ(inputs.planeTests, 14u);
    EXPECT_EQ(inputs.planeTestsSaved, 6u);
    resetFrameCounters();
    EXPECT_EQ(statisticsState.frame.totalTriangles, 0);
    EXPECT_EQ(currentStatisticsInputs().planeTestsSaved, 0u);
}

} // namespace

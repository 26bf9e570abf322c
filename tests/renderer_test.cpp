// The object renderer, fog and debug drawing on the real driver: scenes built in code, drawn
// into a 64 x 64 window and read back.
#include "effects/renderer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "effects/debug_draw.h"
#include "effects/fog.h"
#include "platform/system/memory.h"
#include "render/capabilities.h"
#include "render/debug_display.h"
#include "render/texture_modes.h"
#include "render_scene_fixtures.h"
#include "resources/textures.h"
#include "scene/culling.h"
#include "support/test_support.h"

namespace {

using Pixel = std::array<int, 4>;

std::vector<GLuint> deletedBuffers;
decltype(GLFunctions::glDeleteBuffersARB) driverDeleteBuffers = nullptr;

void APIENTRY recordingDeleteBuffers(GLsizei n, const GLuint* buffers) {
    deletedBuffers.insert(deletedBuffers.end(), buffers, buffers + n);
    driverDeleteBuffers(n, buffers);
}

// The entry points from the driver, with buffer deletions recorded; vertex buffers in use.
void loadEntryPoints() {
    glCapabilities = GLCapabilities{};
    loadGLFunctions();
    driverDeleteBuffers = glFunctions.glDeleteBuffersARB;
    glFunctions.glDeleteBuffersARB = recordingDeleteBuffers;
    glCapabilities.vertexBuffersAvailable = true;
}

GLuint solidTexture(uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t texel[4] = {r, g, b, 255};
    return texelTexture(texel);
}

struct RendererGL : testing::Test {
    HiddenGLWindow window{64, 64};
    uint32_t before = 0;
    SceneNode* branch = nullptr;
    std::vector<GLuint> textures;

    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        before = memoryState.accountedBytes;
        loadEntryPoints();
        deletedBuffers.clear();
        initSceneGraph();
        renderState = RenderState{};
        renderState.settings.textureUnitCount = 4;
        fillTextureUnitTable();
        statisticsState = StatisticsState{};
        debugDisplay = DebugDisplayState{};
        fogState = FogState{};
        rendererState.frameElapsedMs = 0;
        objectState.defaultTextureMode = layerTexModeDefault;
        installBufferHooks();
        setTestCamera();
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-kTestNear, kTestNear, -kTestNear, kTestNear, kTestNear, kTestFar);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_CULL_FACE);
        glDepthFunc(GL_LESS);
        clear();
        branch = addDummy("BRANCH", &sceneGraphState.root)->treeNode;
    }
    void TearDown() override {
        if (!window.ok) return;
        deleteAllObjects();
        shutdownSceneGraph();
        releaseDrawLists();
        gpuBufferHooks = GpuBufferHooks{};
        objectState.defaultTextureMode = nullptr;
        if (!textures.empty()) glDeleteTextures(GLsizei(textures.size()), textures.data());
        deleteAllTextures();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_EQ(statisticsState.objectsWithBuffers, 0);
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    void clear() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    Pixel pixel(int x, int y) {
        uint8_t p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }
    std::vector<Pixel> allPixels() {
        std::vector<uint8_t> bytes(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        std::vector<Pixel> pixels;
        for (size_t i = 0; i < bytes.size(); i += 4) {
            pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]});
        }
        return pixels;
    }
    GLuint texture(uint8_t r, uint8_t g, uint8_t b) {
        textures.push_back(solidTexture(r, g, b));
        return textures.back();
    }
};

void expectNear(const Pixel& got, const Pixel& want, int tolerance = 6) {
    for (int i = 0; i < 3; i++) EXPECT_NEAR(got[i], want[i], tolerance) << "channel " << i;
}

// ---------------------------------------------------------------------------------------
// Bump mapping.

// A quad whose DOT3 layers are set up as the loader does for a bump-mapped mesh: the normal
// map on unit 0, the normalisation cube map over the bump vectors on unit 1.
SceneObject* addBumpQuad(const std::string& name, SceneNode* parent, Vec3 centre, bool facing,
                         GLuint normalMap) {
    SceneObject* object = addQuad(name, parent, centre, 1.0f, facing);
    object->renderFlags = kRenderBumpMapping;
    MeshLod& mesh = object->lods[0];
    buildTangentFrames(mesh);
    mesh.faceGroups[0]->normalMapTexture = normalMap;
    TexCoord* copy = nullptr;
    resizeArray(copy, 0, mesh.texCoordCount);
    for (uint32_t i = 0; i < mesh.texCoordCount; i++) copy[i] = mesh.unitTexCoords[0][i];
    prepareBumpMapping(mesh, copy);
    return object;
}

TEST_F(RendererGL, BumpMappedPlaneFacingItsLightIsBrighter) {
    buildNormalisationCubeMap();
    meshState.textureUnits = 4;
    meshState.bumpModes[0] = layerTexModeReplaceOpaque;
    meshState.bumpModes[1] = layerTexModeDot3;
    meshState.bumpModes[2] = layerTexModeModulatePrevious;
    GLuint flatNormals = texture(128, 128, 255);
    glDisable(GL_CULL_FACE);

    // Each plane has its own light two units in front of it (+z); the second plane faces away.
    SceneNode* a = addDummy("A", branch)->treeNode;
    SceneNode* b = addDummy("B", branch)->treeNode;
    addLight("light A", a, {-1.5f, 0, -3});
    addLight("light B", b, {1.5f, 0, -3});
    addBumpQuad("BM_toward", a, {-1.5f, 0, -5}, true, flatNormals);
    addBumpQuad("BM_away", b, {1.5f, 0, -5}, false, flatNormals);
    placeScene();

    // First from buffers built while the bump vectors were still zero: the per-frame refill
    // must bring them up to date; then from client memory.
    uploadByName("BM_toward");
    uploadByName("BM_away");
    ASSERT_TRUE(findObject("BM_toward")->inGpuBuffers);
    for (bool buffers : {true, false}) {
        SCOPED_TRACE(buffers ? "buffers" : "client arrays");
        if (!buffers) {
            releaseObjectBuffers(*findObject("BM_toward"));
            releaseObjectBuffers(*findObject("BM_away"));
        }
        clear();
        statisticsState.frame = FrameStatistics{};
        renderSceneGraph(branch);
        Pixel toward = pixel(22, 32), away = pixel(41, 32);
        for (int i = 0; i < 3; i++) {
            EXPECT_GT(toward[i], 200) << i;
            EXPECT_LT(away[i], 40) << i;
        }
        EXPECT_EQ(statisticsState.frame.perPixelLitObjects, 2);
        EXPECT_EQ(statisticsState.frame.largestLightCount, 1);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    // The normal map counts: leaning 45 degrees off the light, the plane facing it dims to
    // about cos 45.
    findObject("BM_toward")->lods[0].faceGroups[0]->unitTexture[0] = texture(218, 128, 218);
    clear();
    renderSceneGraph(branch);
    const Pixel leaning = pixel(22, 32);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(leaning[i], 181, 20) << i;
    meshState = MeshState{};
}

// ---------------------------------------------------------------------------------------
// Lists, culling and statistics.

// Two triangles over the centre: a back-facing red one behind a front-facing green one,
// both half transparent, in one object.
SceneObject* addTwoLayerGlass(SceneNode* parent) {
    SceneObject* glass = createObject("glass", parent);
    MeshLod& mesh = glass->lods[0];
    setVertices(mesh,
                {{-2, -2, -6}, {0, 2, -6}, {2, -2, -6}, {-2, -2, -5}, {2, -2, -5}, {0, 2, -5}});
    setFaces(mesh, {{{0, 1, 2}}, {{3, 4, 5}}});
    finishMesh(mesh);
    resizeArray(mesh.vertexColours, 0, 6 * 4);
    for (int v = 0; v < 6; v++) {
        float* c = mesh.vertexColours + 4 * v;
        c[0] = v < 3 ? 1.0f : 0.0f, c[1] = v < 3 ? 0.0f : 1.0f, c[2] = 0.0f, c[3] = 0.5f;
    }
    FaceGroup* group = addFaceGroup(mesh, 2);
    group->faceVertices[0] = mesh.faces[0];
    group->faceVertices[1] = mesh.faces[1];
    glass->renderFlags = kRenderColours;
    glass->transparent = 1.0f;
    fitObject(*glass);
    return glass;
}

TEST_F(RendererGL, TransparentObjectDrawsItsBackFacesFirst) {
    addTwoLayerGlass(branch);
    placeScene();
    renderSceneGraph(branch);
    // Green over (red over black): the red back face was drawn before the green front face
    // took the depth.
    expectNear(pixel(32, 30), {64, 128, 0, 0}, 8);
    const FrameStatistics& frame = statisticsState.frame;
    EXPECT_EQ(frame.transparentObjects, 1);
    EXPECT_EQ(frame.transparentTriangles, 2);
    EXPECT_EQ(frame.solidObjects, 0);
    EXPECT_EQ(frame.renderedObjects, 1);
    EXPECT_EQ(frame.totalTriangles, 2);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint twoSided = -1;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
    EXPECT_EQ(twoSided, 0);
}

TEST_F(RendererGL, ObjectBehindTheCameraIsNotDrawn) {
    SceneObject* behind = addQuad("behind", branch, {0, 0, 5}, 30, false);
    SceneObject* ahead = addQuad("ahead", branch, {0, 0, -5}, 1);
    behind->renderFlags = ahead->renderFlags = 0;
    placeScene();
    cullState = CullState{};
    renderSceneGraph(branch);
    const FrameStatistics& frame = statisticsState.frame;
    EXPECT_EQ(frame.renderedObjects, 1);
    EXPECT_EQ(frame.solidObjects, 1);
    EXPECT_EQ(frame.solidTriangles, 2);
    EXPECT_EQ(frame.totalTriangles, 2);
    EXPECT_EQ(behind->cullResult, 0);
    EXPECT_EQ(cullState.objectTests, 3u);
    expectNear(pixel(32, 32), {255, 255, 255, 255});
    expectNear(pixel(2, 2), {0, 0, 0, 0});
}

// ---------------------------------------------------------------------------------------
// Lights.

GLint lightOn(int i) {
    return glIsEnabled(GLenum(GL_LIGHT0 + i));
}

TEST_F(RendererGL, EachObjectSetsUpOnlyItsOwnLights) {
    SceneObject* point = addLight("point", branch, {1, 2, 3});
    SceneObject* spot = addLight("spot", branch, {0, 4, -5}, kSpotLight);
    spot->worldTarget = {0, 0, -5};
    spot->spotFalloff = 30.0f;
    addLight("sun", branch, {0, 10, 0}, kDirectionalLight);
    point->lightFactors[1] = 0.25f;
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    spot->worldTarget = {0, 0, -5};
    for (int i = 0; i < 8; i++) glEnable(GLenum(GL_LIGHT0 + i));
    collectVisibleObjects(branch);
    ASSERT_EQ(object->lightCount, 3);
    drawObject(*object);

    for (int i = 0; i < 8; i++) EXPECT_EQ(lightOn(i), i < 3 ? GL_TRUE : GL_FALSE) << i;
    float value[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);
    EXPECT_FLOAT_EQ(value[0], 1.0f);
    EXPECT_FLOAT_EQ(value[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, value);
    EXPECT_FLOAT_EQ(value[0], 0.25f);
    glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, value);
    EXPECT_FLOAT_EQ(value[0], 180.0f);
    glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, value);
    EXPECT_FLOAT_EQ(value[0], 30.0f);
    glGetLightfv(GL_LIGHT1, GL_SPOT_DIRECTION, value);
    EXPECT_FLOAT_EQ(value[1], -1.0f);
    glGetLightfv(GL_LIGHT1, GL_CONSTANT_ATTENUATION, value);
    EXPECT_FLOAT_EQ(value[0], 1.0f);
    glGetLightfv(GL_LIGHT2, GL_POSITION, value);
    EXPECT_FLOAT_EQ(value[1], 10.0f);
    EXPECT_FLOAT_EQ(value[3], 0.0f);
    EXPECT_EQ(statisticsState.frame.largestLightCount, 3);
    resetObjectRenderState();
    for (int i = 0; i < 8; i++) EXPECT_EQ(lightOn(i), GL_FALSE) << i;
}

TEST_F(RendererGL, MoreThanEightLightsUseTheFirstEight) {
    for (int i = 0; i < 10; i++) addLight("light " + std::to_string(i), branch, {0, 0, 0});
    SceneObject* dark = addLight("dark", branch, {0, 0, 0});
    dark->visibilityState = 0;
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    placeScene();
    collectVisibleObjects(branch);
    drawObject(*object);
    for (int i = 0; i < 8; i++) EXPECT_EQ(lightOn(i), GL_TRUE) << i;
    for (int i = 0; i < 8; i++) EXPECT_NE(object->lights[i], dark);
    resetObjectRenderState();
}

TEST_F(RendererGL, LightInVisibilityStateZeroLightsNothing) {
    SceneObject* lamp = addLight("lamp", branch, {0, 0, -3});
    SceneObject* object = addQuad("lit", branch, {0, 0, -5}, 1);
    object->renderFlags = kRenderLighting | kRenderNormals;
    placeScene();
    renderSceneGraph(branch);
    Pixel lit = pixel(32, 32);
    EXPECT_GT(lit[0], 150);

    lamp->visibilityState = 0;
    clear();
    renderSceneGraph(branch);
    EXPECT_EQ(object->lightCount, 0);
    Pixel unlit = pixel(32, 32);
    EXPECT_LT(unlit[0], 80); // the ambient part only
}

// ---------------------------------------------------------------------------------------
// Custom drawing and robustness.

struct CustomCall {
    void* argument = nullptr;
    uint32_t elapsedMs = 0;
    int calls = 0;
    GLboolean texturing = GL_TRUE;
};
CustomCall customCall;

void recordCustomDraw(void* argument, uint32_t elapsedMs) {
    customCall.argument = argument;
    customCall.elapsedMs = elapsedMs;
    customCall.calls++;
    customCall.texturing = glIsEnabled(GL_TEXTURE_2D);
}

TEST_F(RendererGL, CustomDrawGetsTheFramesElapsedMilliseconds) {
    SceneObject* textured = addQuad("textured", branch, {0, 0, -3}, 0.5f);
    textured->lods[0].faceGroups[0]->unitEnabled[0] = 1;
    textured->lods[0].faceGroups[0]->unitTexture[0] = texture(255, 255, 255);
    SceneObject* custom = addQuad("custom", branch, {0, 0, -5}, 1);
    freeFaceGroups(custom->lods[0]);
    int argument = 0;
    custom->customDraw = recordCustomDraw;
    custom->customDrawArgument = &argument;
    placeScene();
    customCall = CustomCall{};
    rendererState.frameElapsedMs = 40;
    debugDisplay.wireframe = true; // does not replace custom drawing
    renderSceneGraph(branch);
    EXPECT_EQ(customCall.calls, 1);
    EXPECT_EQ(customCall.argument, &argument);
    EXPECT_EQ(customCall.elapsedMs, 40u);

    debugDisplay.wireframe = false;
    rendererState.frameElapsedMs = 17;
    renderSceneGraph(branch);
    EXPECT_EQ(customCall.calls, 2);
    EXPECT_EQ(customCall.elapsedMs, 17u);
    EXPECT_EQ(customCall.texturing, GL_FALSE); // the textured object's units were reset
}

TEST_F(RendererGL, ObjectsWithoutNormalsCoordinatesOrGroupsDrawSafely) {
    // The first object leaves long arrays enabled; the next ones lack them.
    SceneObject* full = addQuad("full", branch, {-1, 0, -5}, 1);
    full->lods[0].faceGroups[0]->unitEnabled[0] = 1;
    full->lods[0].faceGroups[0]->unitTexture[0] = texture(255, 255, 255);

    SceneObject* bare = addQuad("bare", branch, {1, 0, -6}, 1);
    MeshLod& mesh = bare->lods[0];
    freeArray(mesh.normals, mesh.normalCount);
    freeArray(mesh.baseNormals, mesh.normalCount);
    mesh.normalCount = 0;
    freeArray(mesh.unitTexCoords[0], mesh.texCoordCount);
    mesh.texCoordCount = 0;
    mesh.faceGroups[0]->unitEnabled[0] = 1;
    mesh.faceGroups[0]->unitTexture[0] = texture(255, 255, 255);
    mesh.faceGroups[0]->unitEnabled[1] = 1; // vectors flagged but absent
    mesh.unitFlags[1] = 1;
    bare->renderFlags = kRenderLighting | kRenderNormals | kRenderBumpMapping | kRenderColours;

    SceneObject* groupless = addQuad("groupless", branch, {0, 0, -7}, 1);
    freeFaceGroups(groupless->lods[0]);
    groupless->renderFlags = kRenderColours; // without a colour array
    placeScene();

    for (bool buffers : {false, true}) {
        SCOPED_TRACE(buffers ? "buffers" : "client arrays");
        if (buffers) {
            for (const char* name : {"full", "bare", "groupless"}) uploadByName(name);
        }
        collectVisibleObjects(branch);
        drawObject(*full);
        drawObject(*bare);
        EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
        for (GLenum unit : {GL_TEXTURE0_ARB, GL_TEXTURE1_ARB}) {
            glFunctions.glClientActiveTextureARB(unit);
            EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << unit - GL_TEXTURE0_ARB;
        }
        drawObject(*groupless);
        EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
        resetObjectRenderState();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// ---------------------------------------------------------------------------------------
// Buffer objects.

GLint bufferUsage(GLuint buffer) {
    GLint usage = 0;
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glFunctions.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    return usage;
}

std::vector<Vec3> bufferVectors(GLuint buffer, uint32_t count) {
    std::vector<Vec3> values(count);
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glFunctions.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(count * sizeof(Vec3)),
                                      values.data());
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    return values;
}

// A quad with the same coordinates on units 0 and 2, bump vectors on unit 1 and fog
// coordinates.
SceneObject* addBufferedQuad(SceneNode* parent) {
    SceneObject* object = addQuad("buffered", parent, {0, 0, -5}, 1);
    MeshLod& mesh = object->lods[0];
    mesh.unitTexCoords[2] = mesh.unitTexCoords[0];
    buildTangentFrames(mesh);
    resizeArray(mesh.bumpVectors, 0, mesh.vertexCount);
    mesh.unitVectors[1] = mesh.bumpVectors;
    mesh.unitFlags[1] = 1;
    resizeArray(mesh.fogCoords, 0, mesh.vertexCount);
    mesh.fogCoordCount = mesh.vertexCount;
    object->hasFogCoords = 1;
    return object;
}

TEST_F(RendererGL, BuffersAreBuiltRefilledAndDeletedOnce) {
    SceneObject* object = addBufferedQuad(branch);
    MeshLod& mesh = object->lods[0];
    placeScene();
    buildObjectBuffers(*object);
    ASSERT_TRUE(object->inGpuBuffers);
    EXPECT_EQ(statisticsState.objectsWithBuffers, 1);
    EXPECT_NE(mesh.vertexBuffer, 0u);
    EXPECT_NE(mesh.normalBuffer, 0u);
    EXPECT_EQ(mesh.colourBuffer, 0u);
    EXPECT_NE(mesh.unitBuffers[0], 0u);
    EXPECT_EQ(mesh.unitBuffers[2], mesh.unitBuffers[0]);
    EXPECT_NE(mesh.unitBuffers[1], 0u);
    EXPECT_EQ(mesh.bumpVectorBuffer, mesh.unitBuffers[1]);
    EXPECT_NE(mesh.fogCoordBuffer, 0u);
    EXPECT_NE(mesh.faceGroups[0]->indexBuffer, 0u);
    EXPECT_EQ(object->gpuUpdateMask, kBufferBumpVectors);
    EXPECT_EQ(bufferUsage(mesh.bumpVectorBuffer), GL_DYNAMIC_DRAW_ARB);
    EXPECT_EQ(bufferUsage(mesh.vertexBuffer), GL_STATIC_DRAW_ARB);

    uint32_t vertexBuffer = mesh.vertexBuffer;
    buildObjectBuffers(*object); // once only
    EXPECT_EQ(mesh.vertexBuffer, vertexBuffer);
    EXPECT_EQ(statisticsState.objectsWithBuffers, 1);

    // Refilling buffers that are not dynamic yet makes them dynamic first.
    mesh.vertices[2] = {7, 8, 9};
    updateObjectBuffers(*object, kBufferVertices);
    EXPECT_TRUE(object->gpuUpdated);
    EXPECT_EQ(object->gpuUpdateMask, kBufferBumpVectors | kBufferVertices);
    EXPECT_EQ(statisticsState.dynamicObjects, 1);
    EXPECT_EQ(bufferUsage(mesh.vertexBuffer), GL_DYNAMIC_DRAW_ARB);
    EXPECT_EQ(bufferUsage(mesh.normalBuffer), GL_STATIC_DRAW_ARB);
    EXPECT_FLOAT_EQ(bufferVectors(mesh.vertexBuffer, 4)[2].y, 8.0f);
    mesh.bumpVectors[3] = {1, 2, 3};
    updateObjectBuffers(*object, kBufferBumpVectors);
    EXPECT_FLOAT_EQ(bufferVectors(mesh.bumpVectorBuffer, 4)[3].z, 3.0f);
    makeBuffersDynamic(*object, kBufferNormals);
    EXPECT_EQ(statisticsState.dynamicObjects, 1);

    std::set<GLuint> built = {mesh.vertexBuffer,   mesh.normalBuffer,
                              mesh.unitBuffers[0], mesh.bumpVectorBuffer,
                              mesh.fogCoordBuffer, mesh.faceGroups[0]->indexBuffer};
    releaseObjectBuffers(*object);
    EXPECT_EQ(deletedBuffers.size(), built.size());
    EXPECT_EQ(std::set<GLuint>(deletedBuffers.begin(), deletedBuffers.end()), built);
    EXPECT_FALSE(object->inGpuBuffers);
    EXPECT_FALSE(object->gpuUpdated);
    EXPECT_EQ(object->gpuUpdateMask, 0);
    EXPECT_EQ(statisticsState.objectsWithBuffers, 0);
    EXPECT_EQ(statisticsState.dynamicObjects, 0);
    EXPECT_EQ(mesh.vertexBuffer | mesh.normalBuffer | mesh.unitBuffers[0] | mesh.unitBuffers[1] |
                  mesh.unitBuffers[2] | mesh.bumpVectorBuffer | mesh.fogCoordBuffer |
                  mesh.faceGroups[0]->indexBuffer,
              0u);
    releaseObjectBuffers(*object); // nothing left to delete
    EXPECT_EQ(deletedBuffers.size(), built.size());
}

TEST_F(RendererGL, BuffersNeedDriverSupportArraysAndVertices) {
    SceneObject* object = addQuad("quad", branch, {0, 0, -5}, 1);
    glCapabilities.vertexBuffersAvailable = false;
    buildObjectBuffers(*object);
    EXPECT_FALSE(object->inGpuBuffers);
    glCapabilities.vertexBuffersAvailable = true;
    object->hasCpuArrays = 0;
    buildObjectBuffers(*object);
    makeBuffersDynamic(*object, kBufferVertices);
    EXPECT_FALSE(object->inGpuBuffers);
    EXPECT_FALSE(object->gpuUpdated);
    object->hasCpuArrays = 1;
    SceneObject* dummy = addDummy("dummy", branch);
    buildObjectBuffers(*dummy);
    EXPECT_FALSE(dummy->inGpuBuffers);

    // Deleting an object releases its buffers through the hook.
    buildObjectBuffers(*object);
    EXPECT_EQ(statisticsState.objectsWithBuffers, 1);
    deleteObject("quad");
    EXPECT_EQ(statisticsState.objectsWithBuffers, 0);
    EXPECT_EQ(deletedBuffers.size(), 4u); // vertices, normals, coordinates, indices
}

// ---------------------------------------------------------------------------------------
// Fog.

// A quad from x = -2 to 2 whose fog coordinate runs from 0 on the left to 1 on the right.
SceneObject* addFoggedQuad(SceneNode* parent, Vec3 centre) {
    SceneObject* object = addQuad("fogged", parent, centre, 2);
    object->renderFlags = 0;
    MeshLod& mesh = object->lods[0];
    resizeArray(mesh.fogCoords, 0, 4);
    mesh.fogCoordCount = 4;
    mesh.fogCoords[1] = mesh.fogCoords[2] = 1.0f;
    object->hasFogCoords = 1;
    FogSettings& fog = object->renderSettings.fog;
    fog.colour[0] = 1, fog.colour[1] = 0, fog.colour[2] = 0;
    fog.start = 0.0f, fog.end = 1.0f;
    return object;
}

TEST_F(RendererGL, FoggedObjectTakesTheFogColourAtItsFarEnd) {
    addFoggedQuad(branch, {0, 0, -5});
    SceneObject* plain = addQuad("plain", branch, {0, 0, -6}, 4);
    plain->renderFlags = 0;
    placeScene();
    for (bool buffers : {false, true}) {
        SCOPED_TRACE(buffers ? "buffers" : "client arrays");
        if (buffers) uploadByName("fogged");
        clear();
        renderSceneGraph(branch);
        Pixel left = pixel(20, 32), right = pixel(44, 32), outside = pixel(32, 50);
        expectNear(left, {255, 240, 240, 255}, 16);
        EXPECT_GT(right[0], 240);
        EXPECT_LT(right[1], 30);
        expectNear(outside, {255, 255, 255, 255}); // the next object is not fogged
        EXPECT_FALSE(glIsEnabled(GL_FOG));
        EXPECT_FALSE(glIsEnabled(GL_FOG_COORDINATE_ARRAY_EXT));
        GLint source = 0;
        glGetIntegerv(GL_FOG_COORDINATE_SOURCE_EXT, &source);
        EXPECT_EQ(source, GL_FRAGMENT_DEPTH_EXT);
    }
}

TEST_F(RendererGL, GlobalFogOutlastsAFoggedObject) {
    addFoggedQuad(branch, {0, 0, -5});
    SceneObject* plain = addQuad("plain", branch, {0, 0, -6}, 4);
    plain->renderFlags = 0;
    placeScene();
    fogState.globalEnabled = true;
    fogState.global.colour[0] = 0, fogState.global.colour[1] = 0, fogState.global.colour[2] = 1;
    fogState.global.start = 0.0f, fogState.global.end = 1.0f;
    renderSceneGraph(branch);
    expectNear(pixel(32, 50), {0, 0, 255, 255}); // drawn after the fogged object
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

// ---------------------------------------------------------------------------------------
// Debug drawing.

int countPixels(const std::vector<Pixel>& pixels, Pixel colour) {
    return int(std::count_if(pixels.begin(), pixels.end(), [&](const Pixel& p) {
        for (int i = 0; i < 3; i++) {
            if (std::abs(p[i] - colour[i]) > 8) return false;
        }
        return true;
    }));
}

TEST_F(RendererGL, WireframeColourFollowsTheNameHash) {
    SceneObject* unnamed = addQuad("", branch, {0, 0, -5}, 1);
    placeScene();
    debugDisplay.wireframe = true;
    renderSceneGraph(branch);
    std::vector<Pixel> pixels = allPixels();
    EXPECT_GT(countPixels(pixels, {255, 255, 0, 255}), 20);  // yellow edges
    EXPECT_EQ(countPixels(pixels, {255, 255, 255, 255}), 0); // no filled faces
    EXPECT_EQ(statisticsState.frame.solidObjects, 1);

    deleteObject(unnamed->name);
    addQuad("\x01", branch, {0, 0, -5}, 1);
    placeScene();
    clear();
    renderSceneGraph(branch);
    pixels = allPixels();
    EXPECT_GT(countPixels(pixels, {255, 0, 255, 255}), 20);
    EXPECT_EQ(countPixels(pixels, {255, 255, 0, 255}), 0);
}

TEST_F(RendererGL, BoxModeTwoOnARootObjectDrawsItsOwnBox) {
    SceneObject& root = *sceneGraphState.rootObject;
    root.worldBox = ObjectBox{};
    root.worldBox.center = {0, 0, -5};
    computeCorners(root.worldBox);
    debugDisplay.boxMode = 2;
    setBlending(true);
    drawObjectBox(root);
    EXPECT_TRUE(glIsEnabled(GL_BLEND)); // restored
    setBlending(false);
    // The near face's right edge, x = 1 at z = -4, lies at a quarter of the half-width.
    expectNear(pixel(40, 32), {255, 255, 255, 255});
    expectNear(pixel(32, 32), {0, 0, 0, 0});
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
}

// Whether a white pixel lies within one pixel of (x, y) (rasterisers differ by a pixel).
bool whiteNear(const std::vector<Pixel>& pixels, int x, int y) {
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            if (pixels[size_t((y + dy) * 64 + x + dx)] == Pixel{255, 255, 255, 255}) return true;
    return false;
}

TEST_F(RendererGL, ObbLevelAndNormalsOverlaysDraw) {
    // The quad covers pixels 26 to 37 each way. Its tree is one leaf: the root box at level 0,
    // a square turned by 45 degrees about the quad, with its corners near (32, 45), (20, 32),
    // (32, 19) and (44, 32); nothing at level 1. Normals four units long run from the quad's
    // corners, towards the camera, out to the window's corners.
    struct Case {
        const char* what;
        int32_t treeLevel;
        bool normals;
        bool box, corners; // white on the box's outline, on the normals' diagonals
    };
    const Case cases[] = {
        {"nothing", -1, false, false, false},
        {"tree root", 0, false, true, false},
        {"below the leaves", 1, false, false, false},
        {"normals", -1, true, false, true},
        {"both", 0, true, true, true},
    };
    SceneObject* object = addQuad("quad", branch, {0, 0, -5}, 1);
    object->obbTree = buildMeshTree(object->lods[0]);
    placeScene();
    debugDisplay.scale = 4.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        debugDisplay.treeLevel = c.treeLevel;
        debugDisplay.normals = c.normals;
        renderSceneGraph(branch);
        std::vector<Pixel> pixels = allPixels();
        for (auto [x, y] : {std::pair{32, 43}, {21, 32}, {43, 32}, {32, 20}})
            EXPECT_EQ(whiteNear(pixels, x, y), c.box) << x << "," << y;
        for (auto [x, y] : {std::pair{12, 12}, {51, 51}, {12, 51}, {51, 12}})
            EXPECT_EQ(whiteNear(pixels, x, y), c.corners) << x << "," << y;
        EXPECT_FALSE(whiteNear(pixels, 32, 32)); // the quad itself is drawn as before
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

} // namespace

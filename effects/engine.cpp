#include "effects/engine.h"

#include <GL/gl.h>

#include "effects/fog.h"
#include "effects/particles.h"
#include "effects/renderer.h"
#include "render/capabilities.h"
#include "render/debug_display.h"
#include "render/texture_modes.h"
#include "resources/textures.h"
#include "scene/culling.h"
#include "scene/mesh_processing.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"

FogState fogState;

namespace {

constexpr const char* kDefaultSceneTag = "Scene1";

void setEngineDefaults() {
    fogState.global.start = renderState.nearPlane;
    fogState.global.end = renderState.farPlane;
    // Everything loaded before the scene's textures is loaded plainly; the loading phase
    // switches these off for the scene.
    textureState.options.noMipmaps = true;
    textureState.options.noAnisotropy = true;
    textureState.options.noCompression = true;
    renderState.activeUnit = 0;
    fogState.globalEnabled = false;
    statisticsState.page = 0;
    statisticsState.lastPageChange = 0;
    textureState.sceneTag = kDefaultSceneTag;
}

void resetRegistries() {
    debugDisplay = DebugDisplayState{};
    statisticsState = StatisticsState{};
    cullState = CullState{};
    deleteAllTextures();
    deleteAllObjects();
}

} // namespace

CapabilitySettings initEngine(const RenderSettings& settings, const GLQuery& query) {
    CapabilitySettings asked = {settings.textureCompressionMode, settings.textureFilterMode,
                                settings.anisotropy, settings.multisampleMode};
    CapabilitySettings checked = checkCapabilities(query, asked);
    RenderSettings kept = settings;
    kept.textureCompressionMode = checked.textureCompression;
    kept.textureFilterMode = checked.textureFiltering;
    kept.anisotropy = checked.anisotropy;
    startEngine(kept);
    return checked;
}

void startEngine(const RenderSettings& settings) {
    renderState.settings = settings;
    setEngineDefaults();
    setScreenSize(settings.screenWidth, settings.screenHeight);
    fillTextureUnitTable();
    setPerspectiveView(settings.screenWidth, settings.screenHeight);
    resetRegistries();
    installBufferHooks();
    Camera& camera = renderState.camera;
    camera.eye = {0.0f, 0.0f, 0.0f};
    camera.target = {0.0f, 0.0f, -1.0f};
    camera.roll = 0.0f;
    applyCamera(true);
    applyDefaultRenderState();
}

void shutdownEngine() {
    if (textureState.normalisationCubeMap != 0) {
        deleteTextureNames(1, &textureState.normalisationCubeMap);
        textureState.normalisationCubeMap = 0;
    }
    for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) glDisable(light);
    deleteAllParticleSystems();
    deleteAllObjects();
    deleteAllTextures();
    releaseDrawLists();
}

void setSceneModelDefaults() {
    objectState.defaultTextureMode = layerTexModeDefault;
    meshState.bumpModes[0] = layerTexModeReplaceOpaque;
    meshState.bumpModes[1] = layerTexModeDot3;
    meshState.bumpModes[2] = layerTexModeModulatePrevious;
}

void cameraFromObject(const SceneObject* object) {
    if (object == nullptr || object->isCamera == 0) return;
    Camera& camera = renderState.camera;
    camera.eye = object->worldTransform.getTranslation();
    camera.target = object->worldTarget;
    camera.roll = 0.0f; // the scene file's bank is not kept, so camera objects have no roll
}

void resetFrameCounters() {
    resetFrameStatistics();
    cullState = CullState{};
}

StatisticsInputs currentStatisticsInputs() {
    const CullState& cull = cullState;
    return {objectState.count, cull.objectTests, cull.objectTestsSaved, cull.planeTests,
            cull.planeTestsSaved};
}

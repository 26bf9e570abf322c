#include "app/loading.h"

#include <string>

#include "app/app_state.h"
#include "app/demo_state.h"
#include "config/loading_dialog.h"
#include "effects/particles.h"
#include "effects/renderer.h"
#include "platform/events.h"
#include "platform/system/memory.h"
#include "platform/system/stop_signals.h"
#include "render/font2d.h"
#include "resources/bigfile.h"
#include "resources/textures.h"
#include "scene/loading_log.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "scene/scene_graph.h"
#include "sound/sound_startup.h"

DemoState demoState;
LoadingPhaseState loadingPhase;

namespace {

constexpr const char* kSceneFile = "Film_03.3ds";
// One progress unit is a hundredth of the scene file's size; the total is twice its size.
constexpr float kUnitPerByte = 0.01f;

void log(std::string_view line) {
    loadingDialogAddLine(line);
}

// The current progress value plus some units.
void advance(float units) {
    loadingDialogSetProgress(loadingDialogState.value + units * loadingPhase.unit);
}

// The 3DS reader reports its byte position; the bar shows it on top of what came before.
void sceneProgress(uint32_t position) {
    loadingDialogSetProgress(loadingPhase.progressBase + float(position));
}

uint32_t loadBigfileTexture(const char* name) {
    int32_t index = loadTexture(name, appState.archive);
    return textureState.records[index]->glName;
}

void loadFont() {
    log("Initializing fonts...");
    buildFont("font.png", appState.archive);
    advance(5);
    log("Done !");
}

void loadScene() {
    TextureLoadOptions& options = textureState.options;
    options.noMipmaps = options.noAnisotropy = options.noCompression = false;
    loadingPhase.progressBase = loadingDialogState.value;
    load3dsScene(kSceneFile, appState.archive, "", "", -1, &sceneGraphState.root);
    options.noMipmaps = options.noAnisotropy = options.noCompression = true;
}

void buildVertexBuffers() {
    log("Building Vertex Buffer Objects (if supported)...");
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        if (object.secondName == textureState.sceneTag) buildObjectBuffers(object);
    }
    advance(5);
    log("Done !");
}

void loadStarSystem() {
    log("Loading particle systems...");
    ParticleSystem& stars = *createParticleSystem(kStarSystemId);
    demoState.starSystem = &stars;
    TextureLoadOptions& options = textureState.options;
    options.noMipmaps = false;
    options.noAnisotropy = true;
    for (const char* name :
         {"Flare11.png", "Flare12.png", "Flare13.png", "Flare14.png", "Flare15.png", "Flare16.png"})
        addParticleTexture(stars, name, appState.archive);
    options.noMipmaps = true;
    stars.particleCount = 300;
    stars.randomTexture = false;
    stars.fade = true;
    stars.sizeChanges = true;
    stars.grow = false;
    stars.startVelocity = {0.0f, -0.5f, 0.0f};
    stars.emitterOrigin = {0.0f, 0.0f, 0.0f};
    stars.emitterExtent = {1.0f, 0.0f, 1.0f};
    stars.emitterRadius = 1.0f;
    stars.size = 1.5f;
    stars.emissionInterval = 20;
    stars.lifetime = 5000;
    stars.motionTimeUnit = 100;
    initParticles(stars);
    advance(5);
    log("Done !");
}

// Without a started sound system there is nothing to open the music and the end sound with:
// both are left out and the demo plays silently.
void loadMusic() {
    log("Loading Music...");
    if (soundIsRunning()) {
        uint8_t* image = nullptr;
        demoState.musicImageLength = loadEntry("MusicIntro.ogg", appState.archive, image);
        demoState.musicImage = image;
        demoState.musicStream = openMusicStream(image, demoState.musicImageLength);
    }
    advance(5);
    log("Done !");
}

void loadInterface() {
    log("Loading 2D interface...");
    TextureLoadOptions& options = textureState.options;
    DemoTextures& textures = demoState.textures;
    options.clamp = true;
    textures.gammaLine = loadBigfileTexture("GammaLine.png");
    textures.gammaSlider = loadBigfileTexture("GammaSlider.png");
    options.colourKey = true;
    textures.cursor = loadBigfileTexture("Cursor.jpg");
    options.colourKey = false;
    advance(20);
    textures.presents = loadBigfileTexture("Presents.png");
    textures.poweredBy = loadBigfileTexture("PoweredBy.png");
    advance(20);
    textures.engineLogo = loadBigfileTexture("ZORXOpenGL.jpg");
    advance(20);
    textures.comingSoon = loadBigfileTexture("ComingSoon.png");
    textures.texture20 = loadBigfileTexture("Textur20.png");
    advance(20);
    // The sphere map is mipmapped and filtered anisotropically, the flare only mipmapped.
    options.noMipmaps = options.noAnisotropy = false;
    textures.texture64 = loadBigfileTexture("Textur64.jpg");
    options.noAnisotropy = true;
    int32_t flare = loadTexture("Flare10.png", appState.archive);
    textures.flareTexels = textureState.records[flare];
    textures.flare = textures.flareTexels->glName;
    advance(20);
    options.noMipmaps = true;
    options.clamp = false;
    log("Done !");
}

void loadSounds() {
    log("Loading Sounds...");
    if (soundIsRunning()) {
        uint8_t* image = nullptr;
        demoState.sampleImageLength = loadEntry("Sound09.mp3", appState.archive, image);
        demoState.sampleImage = image;
        // A sample that cannot be loaded leaves the end screen silent.
        demoState.endSample = loadEffectSample(image, demoState.sampleImageLength);
    }
    log("Done !");
}

void uninstallLoadingLog() {
    loadingLog.addLine = nullptr;
    loadingLog.setProgress = nullptr;
}

} // namespace

void runLoadingPhase(const char* firstLine) {
    loadingLog.addLine = loadingDialogAddLine;
    loadingLog.setProgress = sceneProgress;
    float sceneSize = float(getEntrySize(appState.archive, kSceneFile));
    loadingPhase.unit = sceneSize * kUnitPerByte;
    openLoadingDialog(2.0f * sceneSize);
    if (firstLine != nullptr) loadingDialogAddLine(firstLine);
    // A stop signal ends the loading between its steps; the shutdown releases what was
    // loaded, and the phases after it do not start.
    for (void (*step)() : {loadFont, loadScene, buildVertexBuffers, loadStarSystem, loadMusic,
                           loadInterface, loadSounds}) {
        if (stopRequested()) break;
        step();
    }
    closeLoadingDialog();
    uninstallLoadingLog();
    setCursorVisible(false);
    saveCursorVisibility();
    setMasterVolume();
}

void releaseLoadedAssets() {
    releaseFont();
    if (demoState.musicStream != nullptr) FSOUND_Stream_Close(demoState.musicStream);
    demoState.musicStream = nullptr;
    if (demoState.musicImage != nullptr)
        accountedFree(demoState.musicImage, demoState.musicImageLength);
    demoState.musicImageLength = 0;
    if (demoState.endSample != nullptr) FSOUND_Sample_Free(demoState.endSample);
    demoState.endSample = nullptr;
    if (demoState.sampleImage != nullptr)
        accountedFree(demoState.sampleImage, demoState.sampleImageLength);
    demoState.sampleImageLength = 0;
}

#include "app/startup.h"

#include <GL/gl.h>
#include <SDL.h>

#include "app/automation.h"
#include "app/render_settings.h"
#include "app/resource_images.h"
#include "config/configuration.h"
#include "config/dialogs.h"
#include "config/dialogs_view.h"
#include "config/loading_dialog.h"
#include "effects/engine.h"
#include "effects/tree_view.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/failure.h"
#include "platform/instance.h"
#include "platform/memory.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/texture_modes.h"
#include "resources/textures.h"
#include "scene/mesh_processing.h"
#include "scene/objects.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"

AppState appState;

namespace {

constexpr uint32_t kBatchRunMs = 5000;
// The program's windows and dialogs show its own icon, never the desktop's default one.
constexpr bool kUseOwnIcon = true;

// What the configuration dialog does with the sound settings when it opens and is confirmed:
// the stored output (an unknown value becomes 1) and the stored device (0 when beyond the
// last driver) are handed to the sound layer.
void chooseStoredSoundOutput() {
    ConfigBlock1& stored = configState.record.block1;
    if (stored.audioOutput < 0 || stored.audioOutput > 2) stored.audioOutput = 1;
    setSoundOutputOrFatal(stored.audioOutput);
    if (stored.audioDevice < 0 || stored.audioDevice >= FSOUND_GetNumDrivers())
        stored.audioDevice = 0;
    setSoundDriverOrFatal(stored.audioDevice);
}

// The configuration dialog; true when it was confirmed with "Save and  S T A R T". Batch
// runs confirm the stored configuration as loaded.
bool runConfigurationDialog(const Options& options) {
    dialogState.sound = {setSoundOutputOrFatal, FSOUND_GetNumDrivers, FSOUND_GetDriverName,
                         setSoundDriverOrFatal};
    if (options.batch) {
        chooseStoredSoundOutput();
        appState.startFlag = true;
        return true;
    }
    appState.startFlag = showConfigurationDialog(configState.record, kUseOwnIcon);
    return appState.startFlag;
}

// The program's own windows besides the main window: their pictures, the developer-mode
// tree window, and the loading dialog (batch runs print the loading lines instead).
void installProgramWindows(const Options& options) {
    installResourceImages();
    installTreeWindow(kUseOwnIcon);
    if (options.batch)
        loadingDialogState.sink = LoadingSink::StandardOutput;
    else
        installLoadingDialogView(kUseOwnIcon);
}

// TEMPORARY: stands in for the cube map, the loading phase, the gamma screen, the render
// targets and the scenes until they exist. Clears to black and ends on Escape, when the
// window is gone, or after five seconds of demo time in batch runs.
void runPlaceholderLoop(const Options& options) {
    resetClock(0);
    while (eventState.running) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapWindow(windowState.window);
        pumpMessages();
        waitWhileInactive();
        tickClock();
        if (eventState.keys[kKeyEscape] != 0) break;
        if (options.batch && eventState.clock.elapsed >= kBatchRunMs) break;
    }
}

} // namespace

bool setUpDisplayMode() {
    const RunningSettings& running = configState.running;
    DisplayMode wanted = {running.screenWidth, running.screenHeight, 4, running.refreshRate};
    if (!running.fullscreen || switchDisplayMode(wanted)) return true;
    bool windowed = questionBox("QUESTION", "Fullscreen mode failed !\n\nDo you want to use the "
                                            "windowed mode instead ?\n\nClick YES to continue "
                                            "using windowed mode\nor click NO to exit the "
                                            "program now...");
    if (!windowed) {
        saveConfiguration();
        return false;
    }
    configState.running.fullscreen = false;
    configState.record.block1.fullscreen = 0;
    return true;
}

void createConfiguredWindow() {
    const RunningSettings& running = configState.running;
    WindowDescription description;
    description.width = running.screenWidth;
    description.height = running.screenHeight;
    description.fullscreen = running.fullscreen;
    description.depthBits = running.depthBufferBits;
    description.stencilBits = 0;
    description.multisampling = configState.record.block2.multisampling;
    description.treeWindow = configState.record.block1.developerMode != 0;
    description.gamma = configState.record.block1.gamma;
    int32_t multisampling = createMainWindow(description);
    configState.record.block2.multisampling = multisampling;
    if (multisampling != description.multisampling)
        configState.running.multisampling = multisampling;
}

namespace {

// What the capability check may lower, and the lowered values back into the running and the
// stored settings.
CapabilitySettings configuredCapabilitySettings() {
    const RunningSettings& running = configState.running;
    return {running.textureCompression, running.textureFiltering, running.anisotropy,
            running.multisampling};
}

void storeCapabilityCorrections(const CapabilitySettings& asked,
                                const CapabilitySettings& checked) {
    RunningSettings& running = configState.running;
    ConfigBlock2& stored = configState.record.block2;
    if (checked.textureCompression != asked.textureCompression)
        running.textureCompression = stored.textureCompression = checked.textureCompression;
    if (checked.textureFiltering != asked.textureFiltering)
        running.textureFiltering = stored.textureFiltering = checked.textureFiltering;
    if (checked.anisotropy != asked.anisotropy) {
        running.anisotropy = checked.anisotropy;
        stored.anisotropy = static_cast<int32_t>(checked.anisotropy);
    }
}

} // namespace

void checkConfiguredCapabilities(const GLQuery& query) {
    CapabilitySettings asked = configuredCapabilitySettings();
    storeCapabilityCorrections(asked, checkCapabilities(query, asked));
}

void startConfiguredEngine(const GLQuery& query) {
    CapabilitySettings asked = configuredCapabilitySettings();
    storeCapabilityCorrections(asked, initEngine(renderSettingsFromConfiguration(), query));
}

void configureTextures() {
    const RunningSettings& running = configState.running;
    TextureQuality quality;
    quality.compression = running.textureCompression;
    quality.filtering = running.textureFiltering;
    quality.colourDepth = running.textureColourDepth;
    quality.anisotropy = running.anisotropy;
    quality.saveCompressed = running.saveCompressedTextures;
    setTextureQuality(quality);
}

void setSceneModelDefaults() {
    objectState.defaultTextureMode = layerTexModeDefault;
    meshState.bumpModes[0] = layerTexModeReplaceOpaque;
    meshState.bumpModes[1] = layerTexModeDot3;
    meshState.bumpModes[2] = layerTexModeModulatePrimary;
}

void applyConfiguredGamma() {
    if (!applyGammaRamp(configState.record.block1.gamma)) {
        configState.record.block1.gamma = 1.0f;
        applyGammaRamp(1.0f);
    }
}

int runDemo(const Options& options) {
    // Start-up.
    registerCursorFailureHooks();
    registerDisplayModeFailureHooks();
    registerWindowFailureHooks();
    ensureSingleInstance();
    installProgramWindows(options);
    installAutomation(options);
    loadConfiguration();
    if (!runConfigurationDialog(options)) return 0; // cancelled: nothing written
    applyConfiguration();
    if (!setUpDisplayMode()) return 0;
    createConfiguredWindow();
    startConfiguredEngine(driverQuery(glStrings));
    configureTextures();
    saveConfiguration();
    startDemoSound(options, configState.record.block1.audioQuality, windowState.window);
    buildNormalisationCubeMap();
    setSceneModelDefaults();
    // The loading phase comes here.
    applyConfiguredGamma();
    // The gamma calibration screen comes here.
    saveConfiguration();
    runPlaceholderLoop(options); // TEMPORARY: render targets and scenes

    // Shutdown. (Music stop, star particles and render targets come with their modules.)
    waitMs(200);
    clearKeys();
    // The end screen comes here.
    waitMs(200);
    clearKeys();
    clearMouseButtons();
    // The font textures and the sound data of the loading phase are released here.
    finishAutomation();
    closeSoundSystem();
    shutdownEngine();
    restoreDisplayMode();
    setCursorVisible(true);
    saveCursorVisibility();
    reportMemoryBalance();
    closeMainWindow();
    return eventState.exitCode;
}

#include "app/startup.h"

#include <GL/gl.h>
#include <SDL.h>

#include "app/resource_images.h"
#include "config/configuration.h"
#include "config/dialogs.h"
#include "config/dialogs_view.h"
#include "config/loading_dialog.h"
#include "effects/tree_view.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/failure.h"
#include "platform/instance.h"
#include "platform/memory.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "resources/textures.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"

AppState appState;

namespace {

constexpr uint32_t kBatchRunMs = 5000;

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
    appState.startFlag = showConfigurationDialog(configState.record, appState.useOwnIcon);
    return appState.startFlag;
}

// The program's own windows besides the main window: their pictures, the developer-mode
// tree window, and the loading dialog (batch runs print the loading lines instead).
void installProgramWindows(const Options& options) {
    installResourceImages();
    installTreeWindow(appState.useOwnIcon);
    if (options.batch)
        loadingDialogState.sink = LoadingSink::StandardOutput;
    else
        installLoadingDialogView(appState.useOwnIcon);
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
    if (!configState.running.fullscreen || switchDisplayMode()) return true;
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

int runDemo(const Options& options) {
    // Start-up.
    ensureSingleInstance();
    appState.useOwnIcon = true;
    installProgramWindows(options);
    loadConfiguration();
    if (!runConfigurationDialog(options)) return 0; // cancelled: nothing written
    applyConfiguration();
    if (!setUpDisplayMode()) return 0;
    createMainWindow();
    checkCapabilities(); // the rest of initEngine (render state) comes with the render core
    saveConfiguration();
    startSoundSystem(configState.record.block1.audioQuality, windowState.window);
    buildNormalisationCubeMap();
    // The loading phase comes here.
    if (!applyGammaRamp()) {
        configState.record.block1.gamma = 1.0f;
        applyGammaRamp();
    }
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
    closeSoundSystem();
    deleteAllTextures(); // the rest of shutdownEngine comes with the render core
    restoreDisplayMode();
    setCursorVisible(true);
    saveCursorVisibility();
    reportMemoryBalance();
    closeMainWindow();
    return eventState.exitCode;
}

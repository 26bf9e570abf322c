#include "app/startup.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/automation.h"
#include "app/benchmark.h"
#include "app/capture.h"
#include "app/demo_state.h"
#include "app/frame_governor.h"
#include "app/gamma_screen.h"
#include "app/loading.h"
#include "app/motion_blur.h"
#include "app/record.h"
#include "app/render_settings.h"
#include "app/resource_images.h"
#include "app/photosensitivity_warning.h"
#include "app/run_plan.h"
#include "app/scenes.h"
#include "config/configuration.h"
#include "config/dialogs.h"
#include "config/dialogs_view.h"
#include "config/loading_dialog.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "effects/tree_view.h"
#include "platform/boxes.h"
#include "platform/desktop_restore.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/system/data_paths.h"
#include "platform/system/instance.h"
#include "platform/system/memory.h"
#include "platform/system/resource_images.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/render_state.h"
#include "render/render_targets.h"
#include "resources/bigfile.h"
#include "resources/images.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"

AppState appState;

namespace {

// The program's windows and dialogs show its own icon, never the desktop's default one.
constexpr bool kUseOwnIcon = true;

// No window can open without a display (an X server or a Wayland compositor) unless SDL is
// told to draw elsewhere: the user is told so, and how a video is made without one.
void requireDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("SDL_VIDEODRIVER")) return;
    fatalError("WINDOWS ERROR",
               "No display was found !\n\nNeither DISPLAY nor WAYLAND_DISPLAY is set, so no window "
               "can open.\nStart FILM 03 on a desktop, or record it as a video on a virtual X "
               "server :\n\nxvfb-run -a film03 --record film03.mp4");
}

// The demo's data must be there, whole, before anything is asked: the folders searched are
// named, or the archive's whole path where it is damaged or cut short.
void requireArchive(const FileSearchFolders& folders) {
    std::error_code error;
    if (fileExists(appState.archive, "")) {
        std::filesystem::path whole = std::filesystem::absolute(appState.archive, error);
        requireCompleteBigfile(error ? appState.archive : whole.lexically_normal().string());
        return;
    }
    std::string text = std::string("The demo's data \"") + kArchiveFileName +
                       "\" was not found !\n\nFolders searched :\n- " +
                       std::filesystem::current_path(error).string() + " (the working folder)";
    if (isFolder(folders.installedData))
        text += "\n- " + folders.installedData + " (the installation's data)";
    fatalError(kFileErrorCaption, text);
}

// The archive and the configuration file: the working folder's, else the installation's.
void useProgramFiles(const FileLocations& locations) {
    appState.archive = locations.archive;
    configState.filePath = locations.configuration;
    textureState.cacheFolder = locations.textureCache;
}

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
// runs confirm the stored configuration as loaded; those that mix their sound offline
// choose no output, as they need no device.
bool runConfigurationDialog(const RunPlan& plan) {
    dialogState.sound = {setSoundOutputOrFatal, FSOUND_GetNumDrivers, FSOUND_GetDriverName,
                         setSoundDriverOrFatal};
    if (!plan.dialogs) {
        checkStoredMonitor(configState.record.block1);
        if (!plan.offlineSound) chooseStoredSoundOutput();
        appState.startFlag = true;
        return true;
    }
    appState.startFlag = showConfigurationDialog(configState.record, kUseOwnIcon);
    return appState.startFlag;
}

// The program's own windows besides the main window: their pictures, the developer-mode
// tree window, and the loading dialog (batch runs print the loading lines instead).
void installProgramWindows(const RunPlan& plan) {
    installResourceImages();
    installTreeWindow(kUseOwnIcon);
    windowState.initSceneGraph = initSceneGraph;
    if (plan.job == RunJob::Record)
        loadingDialogState.sink = LoadingSink::Nowhere;
    else if (!plan.dialogs)
        loadingDialogState.sink = LoadingSink::StandardOutput;
    else
        installLoadingDialogView(kUseOwnIcon);
}

} // namespace

bool setUpDisplayMode() {
    const RunningSettings& running = configState.running;
    DisplayMode wanted = {running.screenWidth, running.screenHeight, 4, running.refreshRate};
    if (!running.fullscreen) return true;
    if (switchDisplayMode(wanted, configState.record.block1.videoDevice)) {
        // The rate the display plays the size at (0 where the window covers the desktop) is
        // kept, so the next start switches without a notice.
        const DisplayMode& chosen = displayModeState.chosen;
        bool covering = chosen.width != wanted.width || chosen.height != wanted.height;
        int32_t rate = covering ? 0 : chosen.refreshRate;
        configState.running.refreshRate = rate;
        configState.record.block1.refreshRate = rate;
        return true;
    }
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

namespace {

// The program's icon as pixels for the main window. A program that carries no pictures at
// all (a test) goes without; one whose icon cannot be read says so and goes on without.
bool decodeProgramIcon(TextureRecord& icon) {
    if (!kUseOwnIcon || resourceImageState.images.empty()) return false;
    const ResourceImage* image = findResourceImage(kProgramIcon);
    if (image != nullptr &&
        decodeImageData(icon, image->png, image->size, false) == DecodeResult::Ok)
        return true;
    noticeBox("WINDOWS ERROR", "Loading application icon failed !\n\nNOTE : Nevertheless you "
                               "can continue with this application");
    return false;
}

} // namespace

void createConfiguredWindow(bool gammaInPicture, bool realPixels) {
    const RunningSettings& running = configState.running;
    WindowDescription description;
    description.width = running.screenWidth;
    description.height = running.screenHeight;
    description.fullscreen = running.fullscreen;
    description.monitor = configState.record.block1.videoDevice;
    description.depthBits = running.depthBufferBits;
    description.stencilBits = 0;
    description.multisampling = configState.record.block2.multisampling;
    description.treeWindow = configState.record.block1.developerMode != 0;
    description.gamma = configState.record.block1.gamma;
    description.gammaInPicture = gammaInPicture;
    description.realPixels = realPixels;
    TextureRecord icon;
    if (decodeProgramIcon(icon)) {
        description.iconPixels = icon.pixels;
        description.iconWidth = icon.width;
        description.iconHeight = icon.height;
    }
    int32_t multisampling = createMainWindow(description);
    releasePixels(icon);
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

// What the driver cannot honour is lowered in the record too, so the next start asks for it
// no more; what a software rasteriser draws too slowly is lowered for this run alone: in the
// running settings and the render state.
void keepCapabilityCorrections(const CapabilitySettings& asked, const CapabilitySettings& kept,
                               const GLStrings& driver, bool governed) {
    ConfigBlock2& stored = configState.record.block2;
    if (kept.textureCompression != asked.textureCompression)
        stored.textureCompression = kept.textureCompression;
    if (kept.textureFiltering != asked.textureFiltering)
        stored.textureFiltering = kept.textureFiltering;
    if (kept.anisotropy != asked.anisotropy)
        stored.anisotropy = static_cast<int32_t>(kept.anisotropy);
    const CapabilitySettings run =
        softwareRasteriserSettings(driver.renderer, kept, driver.accelerated);
    std::string notice = softwareRendererNotice(driver.renderer, kept, run, governed);
    if (!notice.empty()) noticeBox(kCapabilityCaption, notice);
    RunningSettings& running = configState.running;
    running.textureCompression = run.textureCompression;
    running.textureFiltering = run.textureFiltering;
    running.anisotropy = run.anisotropy;
}

} // namespace

std::string softwareRendererNotice(std::string_view renderer, const CapabilitySettings& kept,
                                   const CapabilitySettings& run, bool governed) {
    std::string notice = softwareRasteriserNotice(renderer, kept, run);
    if (notice.empty() || !governed) return notice;
    return notice + "\n\nThe 3D scenes are drawn at a lower resolution wherever a frame would "
                    "miss the display's rate (film03 --scale off draws them whole).";
}

void checkConfiguredCapabilities(const GLQuery& query, bool governed) {
    CapabilitySettings asked = configuredCapabilitySettings();
    keepCapabilityCorrections(asked, checkCapabilities(query, asked), *query.lists, governed);
}

void startConfiguredEngine(const GLQuery& query, bool governed) {
    // The engine draws with the settings for this run, as the check left them.
    checkConfiguredCapabilities(query, governed);
    startEngine(renderSettingsFromConfiguration());
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

void applyConfiguredGamma() {
    if (!applyGammaRamp(configState.record.block1.gamma)) {
        configState.record.block1.gamma = 1.0f;
        applyGammaRamp(1.0f);
    }
}

void configureRenderTargets() {
    renderTargets.settings.depthBufferBits = configState.running.depthBufferBits;
}

void createSceneTargets() {
    TextureLoadOptions& options = textureState.options;
    PixelBufferTarget* targets = demoState.targets; // targets 1 to 4
    options.clamp = true;
    createTarget(targets[0]);
    // The glow's middle and destination are read through their smaller mipmaps.
    options.noMipmaps = false;
    options.noCompression = false;
    options.noAnisotropy = true;
    createTarget(targets[2]);
    createTarget(targets[3]);
    options.noMipmaps = true;
    options.noCompression = true;
    for (PixelBufferTarget* target : {&targets[0], &targets[2], &targets[3]}) {
        makeTargetCurrent(*target);
        applyDefaultRenderState();
    }
    makeWindowCurrent();
    createTarget(targets[1]);
    makeTargetCurrent(targets[1]);
    applyDefaultRenderState();
    makeWindowCurrent();
    options.clamp = false;
}

namespace {

// The frame-time governor's budget: the display's refresh interval where the swaps wait for
// it, else 1/60 s.
float frameBudgetMs() {
    const DisplayModeState& modes = displayModeState;
    int rate = modes.changed ? modes.chosen.refreshRate : modes.desktop.refreshRate;
    bool synced = renderState.settings.verticalSync && glCapabilities.swapControlAvailable;
    return synced && rate > 0 ? 1000.0f / float(rate) : 1000.0f / 60.0f;
}

// After the sequences: the star particles and the targets (kept while the player may jump back
// from the end screen), then everything else, the engine last.
void shutDown() {
    deleteParticleSystem(kStarSystemId);
    demoState.starSystem = nullptr;
    for (PixelBufferTarget& target : demoState.targets) releaseTarget(target);
    finishRecording();
    finishBenchmark();
    waitMs(200);
    clearKeys();
    clearMouseButtons();
    releaseLoadedAssets();
    finishAutomation();
    closeSoundSystem();
    shutdownEngine();
    shutdownSceneGraph();
    restoreDisplayMode();
    setCursorVisible(true);
    saveCursorVisibility();
    reportMemoryBalance();
    closeMainWindow();
}

} // namespace

namespace {

// Where a stopped run stopped: the point of its last frame ("first:12345"), or the phase
// before any frame was drawn ("configuration", "loading").
std::string stoppedAt() {
    const TimelineState& timeline = timelineState;
    if (!timeline.anyFrame) return appState.phase;
    return std::string(sequenceName(timeline.lastSequence)) + ":" + std::to_string(timeline.lastMs);
}

void writeStoppedLine() {
    std::fprintf(stderr, "film03: stopped at %s (%s)\n", stoppedAt().c_str(),
                 stopSignalName(stopSignal()));
}

// After the shutdown of a stopped run: one line says where it stopped.
int endStoppedRun() {
    writeStoppedLine();
    return stopExitCode();
}

// What the plan decides for the modules below: how boxes are answered, how the clock runs and
// how many sub-frames make a frame.
void followRunPlan(const RunPlan& plan) {
    answerBoxesOnStandardError(plan.answerBoxes, plan.answerYes);
    setIgnoreFocus(plan.answerBoxes);
    setFixedStep(plan.stepMs, plan.stepDivisor);
    setMotionBlur(plan);
}

} // namespace

int runDemo(const Options& options) {
    const RunPlan plan = resolveRunPlan(options);
    followRunPlan(plan);
    installStopSignals();
    setLastLine(writeStoppedLine);
    installDisplayLossHandler();
    presentBoxesOnScreen();
    // One interactive demo at a time; a recording or a benchmark is a job that runs in a
    // window of its own whatever else is open.
    if (plan.job == RunJob::Demo) ensureSingleInstance();
    installProgramWindows(plan);
    requireDisplay();
    const FileSearchFolders folders = programSearchFolders();
    useProgramFiles(locateProgramFiles(folders));
    requireArchive(folders);
    const bool warn = plan.dialogs && warningDue(folders.userConfig);
    loadConfiguration();
    appState.phase = "configuration";
    if (!runConfigurationDialog(plan)) // cancelled: nothing written
        return stopRequested() ? endStoppedRun() : 0;
    appState.phase = "start-up";
    installAutomation(plan);
    applyConfiguration();
    prepareCapture(plan);
    prepareRecording(plan);
    prepareBenchmark(plan);
    if (!setUpDisplayMode()) return stopRequested() ? endStoppedRun() : 0;
    createConfiguredWindow(plan.gammaInPicture, plan.realPixels);
    const GovernorMode governor = isSoftwareRasteriser(glStrings.renderer, glStrings.accelerated)
                                      ? plan.governorOnSoftware
                                      : plan.governorOnHardware;
    startConfiguredEngine(driverQuery(glStrings), governor == GovernorMode::Governed);
    configureTextures();
    configureRenderTargets();
    saveConfiguration();
    if (!startRecordingSound())
        startDemoSound(configState.record.block1.audioQuality, windowState.window);
    buildNormalisationCubeMap();
    setSceneModelDefaults();
    benchmarkLoadingStarted();
    appState.phase = "loading";
    gatherUnusedTextureCaches(); // one notice for every cache file not used
    runLoadingPhase(warn ? kPhotosensitivityWarning : nullptr);
    if (warn) keepWarning(folders.userConfig); // shown: not again
    reportUnusedTextureCaches();
    benchmarkLoadingEnded();
    applyConfiguredGamma();
    runGammaScreen();
    saveConfiguration(); // keeps the calibrated gamma
    createSceneTargets();
    startFrameGovernor(governor, frameBudgetMs(), plan.fixedScale);
    playScenes();
    shutDown();
    return stopRequested() ? endStoppedRun() : eventState.exitCode;
}

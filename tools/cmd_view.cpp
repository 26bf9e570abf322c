// demotool view FILE.3ds [--camera NAME] [--frame F] [--size WxH] [--no-textures]
//                        [--shot OUT.png] [--frames N]
// Loads a scene with the engine's reader and draws the whole scene graph with the engine's
// renderer, from one of the file's cameras (or one that frames the scene), at a frame of its
// animation. With --shot one frame is drawn off-screen and written as PNG; otherwise a
// window plays the animation in a loop, the mouse orbits a free camera and the demo's debug
// keys work. --frames N draws N frames in a row (one file frame apart) and reports their
// time, for measuring the renderer.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "effects/debug_draw.h"
#include "effects/engine.h"
#include "effects/renderer.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/tool_window.h"
#include "render/capabilities.h"
#include "render/font2d.h"
#include "render/render_state.h"
#include "render/statistics.h"
#include "resources/bigfile.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "scene/scene_graph.h"
#include "tools/commands.h"
#include "tools/font_gen.h"
#include "tools/image_write.h"
#include "tools/scene_view.h"
#include "tools/tool_report.h"

namespace {

constexpr const char* kUsage = "usage: demotool view FILE.3ds [--camera NAME] [--frame F] "
                               "[--size WxH] [--no-textures] [--shot OUT.png] [--frames N]\n";
constexpr const char* kBigfileName = "Film_03.dat";

// Everything one run of the viewer keeps.
struct Viewer {
    ViewOptions options;
    SceneObject* camera = nullptr; // the file's camera, or none: the framing pose is used
    ViewPose framing;              // of the whole scene at the first frame
    SceneBounds bounds;
    SceneObject* headlight = nullptr; // only in a scene without lights
    float engineFarPlane = 200.0f;
    AnimationRange range;
    int32_t firstTime = 0;
    int32_t time = 0;
    bool freeCamera = false; // the mouse moved the camera away from the file's
    OrbitCamera orbit;
    bool dragging = false;
    int lastMouseX = 0, lastMouseY = 0;
    int32_t titleFrame = -1;
    bool fontLoaded = false; // the statistics overlay and the help line have their font
    bool helpShown = true;
    bool helpKeyDown = false;
};

// The engine with the demo's built-in texture quality, less what the driver cannot honour and
// what a software rasteriser draws far too slowly.
void startViewerEngine(RenderSettings settings) {
    const TextureQuality builtIn;
    settings.textureCompressionMode = builtIn.compression;
    settings.textureFilterMode = builtIn.filtering;
    settings.anisotropy = builtIn.anisotropy;
    TextureQuality quality = viewerTextureQuality(
        glStrings.renderer, initEngine(settings, driverQuery(glStrings)), glStrings.accelerated);
    setTextureQuality(quality);
    renderState.settings.textureCompressionMode = quality.compression;
    renderState.settings.anisotropy = quality.anisotropy;
}

// The working folder (the scene's) holds the demo's bigfile.
bool bigfileHere() {
    std::error_code error;
    return std::filesystem::is_regular_file(kBigfileName, error);
}

void loadScene(const std::string& fileName, bool loadTextures) {
    TextureLoadOptions saved = textureState.options;
    // As the loading phase does: the scene's textures get mipmaps, anisotropy, compression.
    textureState.options.noMipmaps = false;
    textureState.options.noAnisotropy = false;
    textureState.options.noCompression = false;
    reader3dsState.loadTextures = loadTextures;
    reader3dsState.textureFallbackArchive = bigfileHere() ? kBigfileName : "";
    // A texture that is not there ends the loading: the line says what to do about it.
    if (loadTextures)
        toolReportState.fatalHint = "textures are read from the scene's folder or a " +
                                    std::string(kBigfileName) +
                                    " there; --no-textures draws the scene without them";
    load3dsScene(fileName, "", "", "", -1, &sceneGraphState.root);
    toolReportState.fatalHint.clear();
    textureState.options = saved;
    addDefaultFaceGroups();
    attachLooseObjects();
    for (int32_t i = 0; i < objectState.count; ++i) buildObjectBuffers(*objectState.objects[i]);
}

// The font of the statistics overlay and the help line: font.png from the scene's folder or
// its bigfile, else the demo's font drawn here as build-data draws it; false when even its
// typeface is not installed.
bool loadOverlayFont() {
    const char* font = "font.png";
    std::string archive = fileExists(font, "") ? "" : kBigfileName;
    if (archive.empty() || (bigfileHere() && fileExists(font, archive))) {
        buildFont(font, archive);
        return true;
    }
    if (!fontImageAvailable()) return false;
    Image image = buildFontImage();
    std::vector<uint8_t> rgba;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += size_t(image.channels)) {
        const uint8_t* p = &image.pixels[i];
        bool black = p[0] == 0 && p[1] == 0 && p[2] == 0; // the colour key, as for font.png
        rgba.insert(rgba.end(), {p[0], p[1], p[2], uint8_t(black ? 0 : 255)});
    }
    buildFontFromPixels(rgba.data(), image.width, image.height);
    return true;
}

// Without any font the window cannot show its help: the controls go to standard output.
void printControls() {
    std::printf("demotool view: no font for the window's help line; its controls are:\n");
    for (const ViewControl& control : kViewControls)
        std::printf("  %-18s %s\n", control.input, control.action);
    std::fflush(stdout);
}

// The help line at the bottom left of the window, on a dark band over the picture.
void drawHelpLine() {
    const float size = 0.027f, lineSpacing = 0.012f, margin = 0.02f;
    std::string text = viewHelpText(70);
    int lines = 1 + int(std::count(text.begin(), text.end(), '\n'));
    float height = lines * renderState.aspect * size + (lines - 1) * lineSpacing;
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    selectTextureUnit(0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    drawQuad2D(-1.0f, -1.0f + height + 2 * margin, 2.0f, height + 2 * margin);
    glColor4f(1.0f, 1.0f, 0.8f, 1.0f);
    setTextLayout(size, 0.0f, lineSpacing);
    drawText(-1.0f + margin, -1.0f + height + margin, text);
    setBlending(false);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE); // back to the engine's additive default
}

// The pose drawn this frame: the free camera, the file's camera or the framing one.
ViewPose currentPose(const Viewer& viewer) {
    if (viewer.freeCamera) return poseFromOrbit(viewer.orbit);
    if (viewer.camera == nullptr) return viewer.framing;
    cameraFromObject(viewer.camera);
    return {renderState.camera.eye, renderState.camera.target};
}

// The scene at the frame's time: animated objects, their subtrees and the boxes above them.
void animateFrame(const Viewer& viewer) {
    setSceneTime(viewer.time);
}

void drawFrame(Viewer& viewer) {
    resetFrameCounters();
    clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ViewPose pose = currentPose(viewer);
    renderState.farPlane = farPlaneFor(pose, viewer.bounds, viewer.engineFarPlane);
    // The window's size now: the user may resize it.
    setPerspectiveView(toolWindowState.width, toolWindowState.height);
    if (viewer.freeCamera || viewer.camera == nullptr) {
        renderState.camera.eye = pose.eye;
        renderState.camera.target = pose.target;
        renderState.camera.roll = 0.0f;
    }
    applyCamera(true);
    if (viewer.headlight != nullptr) placeHeadlight(*viewer.headlight, pose.eye);
    renderSceneGraph(&sceneGraphState.root);
}

// Mouse and keys of the window: drag orbits, the wheel zooms, C goes back to the file's
// camera, Escape ends.
void handleInput(Viewer& viewer) {
    const int x = eventState.mouseX, y = eventState.mouseY;
    if (eventState.leftButton) {
        if (!viewer.freeCamera) {
            viewer.orbit = orbitFromPose(currentPose(viewer));
            viewer.freeCamera = true;
        }
        if (viewer.dragging) orbitDrag(viewer.orbit, x - viewer.lastMouseX, y - viewer.lastMouseY);
        viewer.dragging = true;
    } else {
        viewer.dragging = false;
    }
    viewer.lastMouseX = x, viewer.lastMouseY = y;
    int32_t steps = takeWheelSteps();
    if (steps != 0) {
        if (!viewer.freeCamera) {
            viewer.orbit = orbitFromPose(currentPose(viewer));
            viewer.freeCamera = true;
        }
        orbitZoom(viewer.orbit, steps);
    }
    if (eventState.keys['C']) viewer.freeCamera = false;
    bool helpKey = eventState.keys['H'] != 0;
    if (helpKey && !viewer.helpKeyDown) viewer.helpShown = !viewer.helpShown;
    viewer.helpKeyDown = helpKey;
}

int playInWindow(Viewer& viewer) {
    resetClock(0);
    while (!toolWindowState.closeRequested && !eventState.keys[kKeyEscape]) {
        viewer.time = loopedTime(viewer.range, viewer.firstTime, eventState.clock.elapsed);
        animateFrame(viewer);
        drawFrame(viewer);
        if (viewer.fontLoaded) drawStatisticsOverlay(currentStatisticsInputs());
        if (viewer.fontLoaded && viewer.helpShown) drawHelpLine();
        presentToolWindow();
        countFrame(tickCount());
        if (viewer.time / 10 != viewer.titleFrame) {
            viewer.titleFrame = viewer.time / 10;
            setToolWindowTitle(viewTitle(viewer.options.file, viewer.time));
        }
        pumpToolWindow();
        tickClock();
        readDebugKeys();
        handleInput(viewer);
    }
    return 0;
}

// --frames N: N frames one file frame apart, as fast as they go. The time of each is split
// into animating the scene, drawing it (the engine's work and the GL calls it makes) and
// presenting it (the driver finishing the frame).
void drawTimedFrames(Viewer& viewer) {
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point from) {
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    };
    const int32_t count = viewer.options.frameCount;
    double animating = 0.0, drawing = 0.0, presenting = 0.0;
    int32_t drawn = 0;
    Clock::time_point start = Clock::now();
    for (; drawn < count && !toolWindowState.closeRequested; ++drawn) {
        Clock::time_point step = Clock::now();
        viewer.time = loopedTime(viewer.range, viewer.firstTime, int64_t(drawn) * 10);
        animateFrame(viewer);
        animating += since(step);
        step = Clock::now();
        drawFrame(viewer);
        drawing += since(step);
        step = Clock::now();
        presentToolWindow();
        presenting += since(step);
        if (viewer.options.shotFile.empty()) pumpToolWindow();
    }
    glFinish();
    double ms = since(start);
    std::printf("%d frames in %.1f ms: %.3f ms a frame (%.1f frames/s); animating %.3f ms, "
                "drawing %.3f ms, presenting %.3f ms a frame\n",
                drawn, ms, ms / drawn, drawn * 1000.0 / ms, animating / drawn, drawing / drawn,
                presenting / drawn);
}

bool writeShot(const Viewer& viewer) {
    Image image = makeImage(viewer.options.width, viewer.options.height, 4);
    image.pixels = readToolWindowPixels();
    std::vector<uint8_t> png = encodePng(image);
    std::FILE* file = std::fopen(viewer.options.shotFile.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) toolFailure("cannot write \"" + viewer.options.shotFile + "\"");
    return written;
}

// Camera, bounds, time range and the framing pose, once the scene is loaded.
bool prepareView(Viewer& viewer) {
    const ViewOptions& options = viewer.options;
    viewer.camera = findViewCamera(options.cameraName);
    if (viewer.camera == nullptr && !options.cameraName.empty()) {
        toolFailure(options.file + " has no camera named '" + options.cameraName + "'");
        return false;
    }
    viewer.headlight = addHeadlightIfUnlit();
    collectAnimatedObjects();
    viewer.range = animationRange(viewer.camera);
    viewer.firstTime = options.frameGiven ? timeForFrame(options.frame) : viewer.range.start;
    viewer.time = viewer.firstTime;
    setSceneTime(viewer.time);
    viewer.bounds = sceneBounds();
    viewer.framing = framingPose(viewer.bounds, renderState.fieldOfView,
                                 float(options.width) / float(options.height));
    return true;
}

int runViewer(Viewer& viewer) {
    if (!prepareView(viewer)) return 1;
    const bool shot = !viewer.options.shotFile.empty();
    if (viewer.options.frameCount > 0) {
        drawTimedFrames(viewer);
    } else if (shot) {
        animateFrame(viewer);
        drawFrame(viewer);
        presentToolWindow();
    } else {
        return playInWindow(viewer);
    }
    return shot && !writeShot(viewer) ? 1 : 0;
}

} // namespace

int runView(int argc, char** argv) {
    Viewer viewer;
    std::string error;
    if (!parseViewArguments(argc, argv, viewer.options, error)) {
        std::fprintf(stderr, "demotool: view: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    ViewOptions& options = viewer.options;
    // The picture goes where the caller meant, before the working folder changes.
    std::error_code pathError;
    if (!options.shotFile.empty())
        options.shotFile = std::filesystem::absolute(options.shotFile, pathError).string();
    std::filesystem::path path = std::filesystem::absolute(options.file, pathError);
    if (pathError) return toolFailure("no working folder: " + pathError.message());
    if (!requireInputFile(options.file)) return 1;

    if (!openToolWindow(viewTitle(options.file, 0), options.width, options.height,
                        !options.shotFile.empty(), error)) {
        return toolFailure("no OpenGL window (" + error + ")");
    }
    RenderSettings settings;
    settings.screenWidth = options.width, settings.screenHeight = options.height;
    settings.fullscreen = false, settings.verticalSync = false;
    settings.multisampleMode = 0;
    startViewerEngine(settings);
    buildNormalisationCubeMap();
    setSceneModelDefaults(); // bump-mapped objects are lit per pixel, as in the demo
    initSceneGraph();
    viewer.engineFarPlane = renderState.farPlane;
    // Texture names in a scene file are relative to the file's folder.
    // A folder that cannot be entered leaves the whole path for the reader to report.
    std::error_code folderError;
    std::filesystem::current_path(path.parent_path(), folderError);
    loadScene(folderError ? path.string() : path.filename().string(), options.loadTextures);
    const bool window = options.shotFile.empty() && options.frameCount == 0;
    viewer.fontLoaded = window && loadOverlayFont();
    if (window && !viewer.fontLoaded) printControls();

    int result = runViewer(viewer);
    shutdownEngine();
    shutdownSceneGraph();
    closeToolWindow();
    return result;
}

// Where the time of a frame of the two scenes goes. The whole demo runs in this process in
// batch mode with a fixed step; the time of every frame is taken from the start of one frame
// to the start of the next. Before every fifth frame the parts of the scene are drawn once
// more on their own, each bracketed by glFinish (in the context that did the work): the hall
// (or the second scene's logos), the source drawn into target 1, the glow (or blur) passes,
// the result added over the whole view, the stars and flares, a fade, a title and the
// presenting of the frame. The frames with these extra parts are not counted in the frame
// times. Each part is also held against a floor: the time the same number of textured,
// blended pixels takes when drawn as full-view quads in one context (the hall and the stars
// count the samples that pass the depth test).
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/frame_parts_bench [--picture-gamma]
//       [WIDTH HEIGHT [STEP_MS [FROM_MS TO_MS]]]
//
// FROM_MS and TO_MS measure the parts only in that stretch of each scene's time (the frame
// times still cover the whole run), e.g. 36000 45000 for the first scene's close-up. With
// --picture-gamma the demo runs at gamma 1.5 carried by the picture (as in a Wayland session):
// the frames are drawn off-screen and presenting them includes the gamma pass.
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/demo_state.h"
#include "app/options.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "config/configuration.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "effects/renderer.h"
#include "effects/screen_bounds.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/gl/gl_functions.h"
#include "platform/gl/offscreen_frame.h"
#include "platform/gl/scaled_frames.h"
#include "platform/window.h"
#include "render/font2d.h"
#include "render/half_layer.h"
#include "render/lit_squares.h"
#include "render/render_state.h"
#include "render/render_targets.h"
#include "render/view_stack.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct BenchState {
    int width = 1024;
    int height = 768;
    bool gammaInPicture = false;
    Clock::time_point lastStart;
    Sequence lastSequence = Sequence::Gamma;
    bool lastHadParts = false;
    int frameNumber = 0;
    uint32_t partsFrom = 0; // the stretch of scene time whose parts are measured
    uint32_t partsTo = UINT32_MAX;
    std::map<Sequence, std::vector<double>> frameTimes;
    std::map<std::string, std::vector<double>> partTimes;  // "first: hall", ...
    std::map<std::string, std::vector<double>> partPixels; // pixels each sample wrote
    double floorNsPerPixel = 0; // a textured, additively blended pixel drawn in one context
    GLuint samplesQuery = 0;
    OffscreenFrame half; // the frame-time governor's smallest scale: half the window's sides
    HalfLayer softLight; // the added layers of soft light at that scale
};
BenchState bench;

constexpr double kTargetPixels = 512.0 * 512.0;

double windowPixels() {
    return double(bench.width) * double(bench.height);
}

// Times one part: the work, then glFinish in the context that is current afterwards. `pixels`
// is how many pixels the part writes, for the ratio to the floor.
template <typename Work> void timePart(const std::string& name, double pixels, Work work) {
    glFinish();
    Clock::time_point start = Clock::now();
    work();
    glFinish();
    bench.partTimes[name].push_back(msSince(start));
    bench.partPixels[name].push_back(pixels);
}

// The same with the samples that pass the depth test counted as its pixels.
template <typename Work> void timeCountedPart(const std::string& name, Work work) {
    glFinish();
    Clock::time_point start = Clock::now();
    glFunctions.glBeginQuery(GL_SAMPLES_PASSED, bench.samplesQuery);
    work();
    glFunctions.glEndQuery(GL_SAMPLES_PASSED);
    glFinish();
    bench.partTimes[name].push_back(msSince(start));
    GLuint samples = 0;
    glFunctions.glGetQueryObjectuiv(bench.samplesQuery, GL_QUERY_RESULT, &samples);
    bench.partPixels[name].push_back(double(samples));
}

// The floor every part is held against: full-view quads of one texture, blended additively,
// drawn one after another in the window's context.
void measureFloor() {
    constexpr int kQuads = 20;
    glFinish();
    Clock::time_point start = Clock::now();
    glColor4f(1, 1, 1, 0.5f);
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    for (int i = 0; i < kQuads; ++i)
        drawTextureQuad(demoState.textures.texture20, -1.0f, 1.0f, 2.0f, 2.0f);
    setBlending(false);
    glColor4f(1, 1, 1, 1);
    glFinish();
    bench.floorNsPerPixel = msSince(start) * 1e6 / (kQuads * windowPixels());
    clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void cameraStep(const char* cameraName, uint32_t t) {
    SceneObject* camera = findObject(cameraName);
    if (camera != nullptr) {
        camera->tracks.time = int32_t(t);
        camera->targetTracks.time = int32_t(t);
        updateSubtree(camera->treeNode);
    }
    setPerspectiveView(bench.width, bench.height);
    cameraFromObject(camera);
    applyCamera(true);
}

// The scene's branch drawn into target 1, finished there; the logo's place is kept for the
// glow, as the first scene keeps it.
void drawIntoTarget1(const char* branch, bool bounded) {
    PixelBufferTarget& target1 = demoState.targets[0];
    makeTargetCurrent(target1);
    setTargetPerspective(target1);
    clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyCamera(true);
    renderSceneGraph(findSceneNode(branch));
    if (bounded) boundTargetToBranch(target1, findSceneNode(branch), renderState.clearColour);
    glFinish();
    makeWindowCurrent();
}

// Waits for the target's drawing; what is known of its content stays known.
void finishTarget(PixelBufferTarget& target) {
    bool bounded = target.bounded;
    makeTargetCurrent(target);
    target.bounded = bounded;
    glFinish();
    makeWindowCurrent();
}

// The pass result over the whole view, as the scenes add it.
void drawResultQuad(PixelBufferTarget& result, bool flip, float lodBias) {
    glColor4f(1, 1, 1, 1);
    overlay2D.quad.flip = flip;
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    setTextureLodBias(lodBias);
    bool scissored = scissorToTargetQuad(result, -1.0f, 1.0f, 2.0f, 2.0f, lodBias);
    drawTargetQuad(result, -1.0f, 1.0f, 2.0f, 2.0f);
    if (scissored) glDisable(GL_SCISSOR_TEST);
    setTextureLodBias(0.0f);
    overlay2D.quad.flip = false;
    setBlending(false);
}

// The 2D quads a scene may add over the result: a half-way fade and a title.
void measureFadeAndTitle(const std::string& scene, GLuint title) {
    timePart(scene + ": fade", windowPixels(), [] {
        glColor4f(1, 1, 1, 0.5f);
        setBlending(true);
        setBlendFunction(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        drawTextureQuad(demoState.textures.texture20, -1.0f, 1.0f, 2.0f, 2.0f);
        setBlending(false);
        glColor4f(1, 1, 1, 1);
    });
    float aspect = renderState.aspect;
    double titlePixels = 1.2 / 2.0 / aspect * 0.3 / 2.0 * windowPixels();
    timePart(scene + ": title", titlePixels,
             [&] { drawTextureQuad(title, -0.6f / aspect, 0.15f, 1.2f / aspect, 0.3f); });
}

// Presenting the frame. Frames drawn off-screen (the gamma in the picture) are first drawn
// into the window through the gamma pass, timed on its own.
void measurePresent(const std::string& scene) {
    if (scaledFrames.active) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(windowState.window, &width, &height);
        timePart(scene + ": gamma pass", windowPixels(), [&] { showScaledFrame(width, height); });
        timePart(scene + ": present", windowPixels(),
                 [] { SDL_GL_SwapWindow(windowState.window); });
        return;
    }
    timePart(scene + ": present", windowPixels(), [] { SDL_GL_SwapWindow(windowState.window); });
}

void measureFirstSceneParts(uint32_t t) {
    const float tint[3] = {0.6f, 0.6f, 1.0f};
    PixelBufferTarget* targets = demoState.targets;
    timeCountedPart("first: hall", [t] {
        cameraStep("Camera03", t);
        renderSceneGraph(findSceneNode("HALL"));
    });
    timePart("first: logo into target 1", kTargetPixels, [] { drawIntoTarget1("LOGO", true); });
    PixelBufferTarget* glow = nullptr;
    timePart("first: glow passes", 2 * kTargetPixels, [&] {
        glow = &glowPasses(targets[0], targets[2], targets[3], 0.7f, tint, 4.0f);
        finishTarget(targets[2]);
        finishTarget(targets[3]);
    });
    // Its pixels: the rectangle the quad is scissored to.
    overlay2D.quad.flip = true;
    PixelRect drawn =
        quadFootprint(*glow, -1.0f, 1.0f, 2.0f, 2.0f, bench.width, bench.height, 3.0f);
    overlay2D.quad.flip = false;
    timePart("first: glow quad", double(drawn.x1 - drawn.x0) * double(drawn.y1 - drawn.y0),
             [&] { drawResultQuad(*glow, true, 3.0f); });
    // What the passes cost beyond their pixels: the same passes with nothing to draw (the
    // switches, the clears, the flushes and the mipmaps), and one switch to a target and back.
    timePart("first: glow passes, no pixels", 0, [&] {
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        boundTargetContent(targets[0], PixelRect{}, black);
        glowPasses(targets[0], targets[2], targets[3], 0.7f, tint, 4.0f);
        finishTarget(targets[2]);
        finishTarget(targets[3]);
    });
    timePart("first: switch to a target and back", 0, [&] {
        makeTargetCurrent(targets[1]);
        makeWindowCurrent();
    });
    // The same hall with every pixel scissored away: what its geometry costs.
    timePart("first: hall, geometry only", 0, [] {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
        renderSceneGraph(findSceneNode("HALL"));
        glDisable(GL_SCISSOR_TEST);
    });
    setBlending(true);
    glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
    timeCountedPart("first: stars", [] {
        // As the scene draws them: added, without depth writes.
        glEnable(GL_DEPTH_TEST);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
        setDepthWrites(false);
        if (demoState.starSystem != nullptr) drawParticles(*demoState.starSystem);
        setDepthWrites(true);
    });
    timeCountedPart("first: flares", [] {
        SceneObject* light = findObject("kslogol");
        Vec3 origin = light != nullptr ? light->worldTransform.getTranslation() : Vec3{};
        glEnable(GL_DEPTH_TEST);
        setBlending(true);
        glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
        for (int i = 0; i < 2; ++i)
            drawBillboard(origin, 10.0f, demoState.textures.flare, renderState.modelview,
                          demoState.textures.flareTexels);
    });
    setBlending(false);
    glDisable(GL_DEPTH_TEST);
    measureFadeAndTitle("first", demoState.textures.presents);
    measurePresent("first");
}

// The frame-time governor's parts at its smallest scale: the hall drawn into a frame of half
// the window's sides, and that frame copied over the view with bilinear filtering.
void measureScaledParts(uint32_t t) {
    OffscreenFrame& half = bench.half;
    if (half.framebuffer == 0 && !createTexturedFrame(half, bench.width / 2, bench.height / 2, 24))
        return;
    pushView(frameView(half, 0.0f));
    timeCountedPart("first: hall at scale 0.5", [t] {
        setPerspectiveView(bench.width / 2, bench.height / 2);
        clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SceneObject* camera = findObject("Camera03");
        cameraFromObject(camera);
        applyCamera(true);
        renderSceneGraph(findSceneNode("HALL"));
    });
    // The stars and the flares at that scale, drawn whole and through a layer of half its
    // sides (its depth copied in, the layer added back over the frame).
    auto softLight = [] {
        glEnable(GL_DEPTH_TEST);
        setBlending(true);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
        glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
        setDepthWrites(false);
        if (demoState.starSystem != nullptr) drawParticles(*demoState.starSystem);
        setDepthWrites(true);
        SceneObject* light = findObject("kslogol");
        Vec3 origin = light != nullptr ? light->worldTransform.getTranslation() : Vec3{};
        for (int i = 0; i < 2; ++i)
            drawBillboard(origin, 10.0f, demoState.textures.flare, renderState.modelview,
                          demoState.textures.flareTexels);
        setBlending(false);
        glDisable(GL_DEPTH_TEST);
    };
    timeCountedPart("first: stars and flares at scale 0.5", softLight);
    timeCountedPart("first: stars and flares at scale 0.5, half layer", [&] {
        beginHalfLayer(bench.softLight, 24);
        softLight();
        endHalfLayer(bench.softLight);
    });
    popView();
    timePart("first: scale 0.5 frame drawn over the view", windowPixels(), [] {
        overlay2D.quad.flip = true;
        drawTextureQuad(bench.half.colourTexture, -1.0f, 1.0f, 2.0f, 2.0f);
        overlay2D.quad.flip = false;
    });
}

void measureSecondSceneParts(uint32_t t) {
    PixelBufferTarget* targets = demoState.targets;
    timeCountedPart("second: logos", [t] {
        cameraStep("Camera02", t);
        renderSceneGraph(findSceneNode("INTRO"));
    });
    timePart("second: logos into target 1", kTargetPixels, [] { drawIntoTarget1("INTRO", false); });
    PixelBufferTarget* blurred = nullptr;
    timePart("second: blur passes", 14 * kTargetPixels, [&] {
        blurred = &blurPasses(targets[0], targets[1], 7, 0.35f, 0.55f);
        finishTarget(targets[0]);
        finishTarget(targets[1]);
    });
    timePart("second: blur quad", windowPixels(), [&] { drawResultQuad(*blurred, false, 0.0f); });
    measureFadeAndTitle("second", demoState.textures.poweredBy);
    measurePresent("second");
}

void frameStarts(Sequence sequence, uint32_t sceneMs) {
    Clock::time_point now = Clock::now();
    if (bench.frameNumber > 0 && sequence == bench.lastSequence && !bench.lastHadParts)
        bench.frameTimes[sequence].push_back(
            std::chrono::duration<double, std::milli>(now - bench.lastStart).count());
    bench.lastSequence = sequence;
    bench.lastHadParts = false;
    bool scene = sequence == Sequence::First || sequence == Sequence::Second;
    if (scene && bench.floorNsPerPixel == 0) {
        glFunctions.glGenQueries(1, &bench.samplesQuery);
        measureFloor();
    }
    bool measured = sceneMs >= bench.partsFrom && sceneMs <= bench.partsTo;
    if (scene && ++bench.frameNumber % 5 == 0 && measured) {
        bench.lastHadParts = true;
        if (sequence == Sequence::First && sceneMs <= 45000) {
            measureFirstSceneParts(sceneMs);
            measureScaledParts(sceneMs);
        }
        if (sequence == Sequence::Second && sceneMs <= 60000) measureSecondSceneParts(sceneMs);
        clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    bench.lastStart = Clock::now();
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[index];
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values) sum += value;
    return values.empty() ? 0 : sum / double(values.size());
}

// A run folder with the demo's data and the shipped configuration as a window of the size.
std::string prepareRunFolder() {
    char pattern[] = "/tmp/zorx-frame-bench-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::filesystem::create_symlink(ZORX_DATA_DIR "/Film_03.dat", dir + "/Film_03.dat");
    ConfigRecord record;
    FILE* shipped = std::fopen(ZORX_DATA_DIR "/ConfigEngine.cfg", "rb");
    if (shipped != nullptr) {
        if (std::fread(&record, sizeof record, 1, shipped) != 1) record = ConfigRecord{};
        std::fclose(shipped);
    }
    record.block1.fullscreen = 0;
    record.block1.screenWidth = bench.width;
    record.block1.screenHeight = bench.height;
    record.block2.multisampling = 0;
    record.block2.anisotropy = 1; // off: llvmpipe stalls for minutes on some frames with it
    if (bench.gammaInPicture) record.block1.gamma = 1.5f;
    FILE* out = std::fopen((dir + "/ConfigEngine.cfg").c_str(), "wb");
    std::fwrite(&record, sizeof record, 1, out);
    std::fclose(out);
    return dir;
}

} // namespace

int main(int argc, char** argv) {
    std::string step = "200";
    if (argc >= 2 && std::strcmp(argv[1], "--picture-gamma") == 0) {
        bench.gammaInPicture = true;
        --argc, ++argv;
    }
    if (argc >= 3) {
        bench.width = std::atoi(argv[1]);
        bench.height = std::atoi(argv[2]);
    }
    if (argc >= 4) step = argv[3];
    if (argc >= 6) {
        bench.partsFrom = uint32_t(std::atol(argv[4]));
        bench.partsTo = uint32_t(std::atol(argv[5]));
    }
    if (!std::filesystem::exists(ZORX_DATA_DIR "/Film_03.dat")) {
        std::fprintf(stderr, "build the demo_data target first\n");
        return 1;
    }
    std::string dir = prepareRunFolder();
    std::filesystem::current_path(dir);
    setenv("FILM03_INSTANCE", "framebench", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::vector<std::string> arguments = {"--batch", "--fixed-step", step};
    if (bench.gammaInPicture) arguments.push_back("--picture-gamma");
    Options options = parseOptions(arguments);
    failureState.batch = true;
    eventState.fixedStepMs = options.fixedStepMs;
    eventState.ignoreFocus = true;
    timelineState.hooks.frameStart = frameStarts;
    std::fclose(stdout); // the loading lines
    int result = runDemo(options);
    std::filesystem::remove_all(dir);

    std::fprintf(stderr, "%d x %d, fixed step %s ms, no multisampling, no anisotropy%s\n",
                 bench.width, bench.height, step.c_str(),
                 bench.gammaInPicture ? ", gamma 1.5 in the picture" : "");
    for (Sequence sequence : {Sequence::First, Sequence::Second, Sequence::End}) {
        const std::vector<double>& times = bench.frameTimes[sequence];
        double median = percentile(times, 0.5);
        double slow = percentile(times, 0.95);
        std::fprintf(stderr,
                     "%-7s %4zu frames: median %7.1f ms (%5.1f frames/s), 95th percentile "
                     "%7.1f ms (%5.1f frames/s, the 5th percentile of the frame rate)\n",
                     std::string(sequenceName(sequence)).c_str(), times.size(), median,
                     1000.0 / median, slow, 1000.0 / slow);
    }
    std::fprintf(stderr,
                 "floor: %.2f ns a pixel (full-view textured quads, blended, in one context)\n",
                 bench.floorNsPerPixel);
    std::fprintf(stderr, "  %-30s %8s %8s %9s %9s\n", "part", "mean ms", "median", "pixels",
                 "x floor");
    for (const auto& [name, times] : bench.partTimes) {
        double pixels = mean(bench.partPixels[name]);
        double floorMs = pixels * bench.floorNsPerPixel * 1e-6;
        std::fprintf(stderr, "  %-30s %8.2f %8.2f %9.0f %9.2f\n", name.c_str(), mean(times),
                     percentile(times, 0.5), pixels, floorMs > 0 ? mean(times) / floorMs : 0.0);
    }
    return result;
}

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
#include <ctime>
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
#include "render/target_passes.h"
#include "render/view_stack.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The processor time of the whole process (the driver's threads included), in milliseconds:
// what a part costs however busy the machine is.
double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

struct BenchState {
    int width = 1024;
    int height = 768;
    bool gammaInPicture = false;
    bool hallStages = false; // the hall's account, stage by stage, instead of the other parts
    Clock::time_point lastStart;
    Sequence lastSequence = Sequence::Gamma;
    bool lastHadParts = false;
    int frameNumber = 0;
    uint32_t partsFrom = 0; // the stretch of scene time whose parts are measured
    uint32_t partsTo = UINT32_MAX;
    std::map<Sequence, std::vector<double>> frameTimes;
    std::map<std::string, std::vector<double>> partTimes;  // "first: hall", ...
    std::map<std::string, std::vector<double>> partPixels; // pixels each sample wrote
    std::map<std::string, std::vector<double>> partCpuMs;  // processor time of each sample
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
    double cpuStart = processCpuMs();
    work();
    glFinish();
    bench.partCpuMs[name].push_back(processCpuMs() - cpuStart);
    bench.partTimes[name].push_back(msSince(start));
    bench.partPixels[name].push_back(pixels);
}

// The same with the samples that pass the depth test counted as its pixels.
template <typename Work> void timeCountedPart(const std::string& name, Work work) {
    glFinish();
    Clock::time_point start = Clock::now();
    double cpuStart = processCpuMs();
    glFunctions.glBeginQuery(GL_SAMPLES_PASSED, bench.samplesQuery);
    work();
    glFunctions.glEndQuery(GL_SAMPLES_PASSED);
    glFinish();
    bench.partCpuMs[name].push_back(processCpuMs() - cpuStart);
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

// --- The hall, stage by stage ---------------------------------------------------------------

// What a variant of the hall leaves out or changes; everything is put back after its draw.
struct HallVariant {
    const char* name;
    int unitOff = -1;          // this texture unit is left out of every face group
    bool noFog = false;        // no object fog and no global fog
    bool noLight = false;      // lighting off (objects take their colour)
    bool noGlass = false;      // objects with a transparent face group are left out
    GLint minFilter = 0;       // every mipmapped texture minified with this filter
    bool geometryOnly = false; // every pixel scissored away
    bool depthPrePass = false; // depth alone first, then the hall over it
    bool depthOnly = false;    // colour writes off
};

constexpr HallVariant kHallVariants[] = {
    {"all"},
    {"geometry only", -1, false, false, false, 0, true},
    {"no unit 0", 0},
    {"no unit 1", 1},
    {"no unit 2", 2},
    {"no unit 3", 3},
    {"no fog", -1, true},
    {"no lighting", -1, false, true},
    {"no glass", -1, false, false, true},
    {"mipmap nearest", -1, false, false, false, GL_LINEAR_MIPMAP_NEAREST},
    {"no mipmap", -1, false, false, false, GL_LINEAR},
    {"depth only", -1, false, false, false, 0, false, false, true},
    {"depth pre-pass + hall", -1, false, false, false, 0, false, true},
};

// The fields a variant changes, kept to be put back.
struct SavedObject {
    int32_t renderFlags, visibilityState;
    uint8_t hasFogCoords;
    std::vector<uint8_t> units; // unitEnabled of every face group of every level
};

template <typename Visit> void forEachFaceGroup(SceneObject& object, Visit visit) {
    for (int l = 0; l < object.lodCount; ++l)
        for (uint32_t g = 0; g < object.lods[l].faceGroupCount; ++g)
            if (object.lods[l].faceGroups[g] != nullptr) visit(*object.lods[l].faceGroups[g]);
}

std::vector<SavedObject> applyVariant(const HallVariant& variant) {
    std::vector<SavedObject> saved;
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        SavedObject kept{object.renderFlags, object.visibilityState, object.hasFogCoords, {}};
        forEachFaceGroup(object, [&](FaceGroup& group) {
            for (int u = 0; u < kTextureUnits; ++u) kept.units.push_back(group.unitEnabled[u]);
            if (variant.unitOff >= 0) group.unitEnabled[variant.unitOff] = 0;
        });
        if (variant.noFog) object.hasFogCoords = 0;
        if (variant.noLight) object.renderFlags &= ~kRenderLighting;
        if (variant.noGlass && object.transparent != 0.0f) object.visibilityState = 1;
        saved.push_back(std::move(kept));
    }
    return saved;
}

void restoreVariant(const std::vector<SavedObject>& saved) {
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        const SavedObject& kept = saved[size_t(i)];
        object.renderFlags = kept.renderFlags;
        object.visibilityState = kept.visibilityState;
        object.hasFogCoords = kept.hasFogCoords;
        size_t next = 0;
        forEachFaceGroup(object, [&](FaceGroup& group) {
            for (int u = 0; u < kTextureUnits; ++u) group.unitEnabled[u] = kept.units[next++];
        });
    }
}

// Sets the minifying filter of every mipmapped texture; returns what each had.
std::vector<GLint> setMinFilters(GLint filter) {
    std::vector<GLint> had;
    for (int32_t i = 0; i < textureState.count; ++i) {
        GLint old = 0;
        glBindTexture(GL_TEXTURE_2D, textureState.records[i]->glName);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &old);
        had.push_back(old);
        if (filter != 0 && old != GL_LINEAR && old != GL_NEAREST)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    }
    return had;
}

void restoreMinFilters(const std::vector<GLint>& had) {
    for (int32_t i = 0; i < textureState.count; ++i) {
        glBindTexture(GL_TEXTURE_2D, textureState.records[i]->glName);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, had[size_t(i)]);
    }
}

void drawHallVariant(const HallVariant& variant) {
    SceneNode* hall = findSceneNode("HALL");
    if (variant.geometryOnly) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
    }
    if (variant.depthOnly || variant.depthPrePass) {
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        renderSceneGraph(hall);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if (!variant.depthOnly) renderSceneGraph(hall);
    if (variant.geometryOnly) glDisable(GL_SCISSOR_TEST);
}

// The hall in the current view at scale (its sides' share of the window's), once per variant,
// and its fragments: all that are rasterised (depth test always passing) and those that pass.
void printHallMakeUp();

void measureHallStagesAt(float scale, const char* label) {
    int width = int(float(bench.width) * scale), height = int(float(bench.height) * scale);
    SceneObject* camera = findObject("Camera03");
    auto start = [&] {
        setPerspectiveView(width, height);
        clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        cameraFromObject(camera);
        applyCamera(true);
    };
    for (const HallVariant& variant : kHallVariants) {
        start();
        std::vector<SavedObject> saved = applyVariant(variant);
        std::vector<GLint> filters = setMinFilters(variant.minFilter);
        timePart(std::string("hall ") + label + ": " + variant.name, double(width) * height,
                 [&] { drawHallVariant(variant); });
        restoreMinFilters(filters);
        restoreVariant(saved);
    }
    start();
    glDepthFunc(GL_ALWAYS);
    timeCountedPart(std::string("hall ") + label + ": fragments rasterised",
                    [&] { renderSceneGraph(findSceneNode("HALL")); });
    glDepthFunc(GL_LEQUAL);
    start();
    timeCountedPart(std::string("hall ") + label + ": fragments passing depth",
                    [&] { renderSceneGraph(findSceneNode("HALL")); });
}

void measureHallStages() {
    static bool makeUpShown = false;
    if (!makeUpShown) printHallMakeUp();
    makeUpShown = true;
    OffscreenFrame& half = bench.half;
    if (half.framebuffer == 0 && !createTexturedFrame(half, bench.width / 2, bench.height / 2, 24))
        return;
    // The scaled frame reads the levels the full-size picture reads, as the scenes draw it.
    pushView(frameView(half, -1.0f));
    measureHallStagesAt(0.5f, "0.5");
    popView();
    measureHallStagesAt(1.0f, "1");
}

// The face groups of the hall by the texture units they use, the fogged objects and the
// objects with glass, once.
void printHallMakeUp() {
    std::map<int, int> groupsByUnits;
    int fogged = 0, glass = 0, bumped = 0;
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        fogged += object.hasFogCoords != 0;
        glass += object.transparent != 0.0f;
        bumped += (object.renderFlags & kRenderBumpMapping) != 0;
        forEachFaceGroup(object, [&](FaceGroup& group) {
            int units = 0;
            for (int u = 0; u < kTextureUnits; ++u) units += group.unitEnabled[u] != 0;
            groupsByUnits[units] += 1;
        });
    }
    std::fprintf(stderr,
                 "objects: %d, fogged %d, with glass %d, bump-mapped %d; face groups by units:",
                 objectState.count, fogged, glass, bumped);
    for (auto [units, count] : groupsByUnits) std::fprintf(stderr, " %d: %d", units, count);
    std::fprintf(stderr, "\n");
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
    int every = bench.hallStages ? 2 : 5;
    if (scene && ++bench.frameNumber % every == 0 && measured) {
        bench.lastHadParts = true;
        if (sequence == Sequence::First && bench.hallStages) {
            cameraStep("Camera03", sceneMs);
            measureHallStages();
        } else if (sequence == Sequence::First && sceneMs <= 45000) {
            measureFirstSceneParts(sceneMs);
            measureScaledParts(sceneMs);
        }
        if (sequence == Sequence::Second && sceneMs <= 60000 && !bench.hallStages)
            measureSecondSceneParts(sceneMs);
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
    for (; argc >= 2 && argv[1][0] == '-' && argv[1][1] == '-'; --argc, ++argv) {
        if (std::strcmp(argv[1], "--picture-gamma") == 0) bench.gammaInPicture = true;
        if (std::strcmp(argv[1], "--hall-stages") == 0) bench.hallStages = true;
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
    std::fprintf(stderr, "  %-30s %8s %8s %9s %9s %8s\n", "part", "mean ms", "median", "pixels",
                 "x floor", "cpu ms");
    for (const auto& [name, times] : bench.partTimes) {
        double pixels = mean(bench.partPixels[name]);
        double floorMs = pixels * bench.floorNsPerPixel * 1e-6;
        std::fprintf(stderr, "  %-30s %8.2f %8.2f %9.0f %9.2f %8.2f\n", name.c_str(), mean(times),
                     percentile(times, 0.5), pixels, floorMs > 0 ? mean(times) / floorMs : 0.0,
                     percentile(bench.partCpuMs[name], 0.5));
    }
    return result;
}

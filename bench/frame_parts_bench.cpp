// Where the time of a frame of the two scenes goes. The whole demo runs in this process in
// batch mode with a fixed step; the time of every frame is taken from the start of one frame
// to the start of the next. Before every fifth frame the parts of the scene are drawn once
// more on their own, each bracketed by glFinish (in the context that did the work): the hall
// (or the second scene's logos), the source drawn into target 1, the glow (or blur) passes,
// and the 2D quads over the whole view (the target's quad, a fade and a title). The frames
// with these extra parts are not counted in the frame times.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/frame_parts_bench [WIDTH HEIGHT [STEP_MS]]
#include <GL/gl.h>
#include <GL/glext.h>
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
#include "effects/renderer.h"
#include "platform/events.h"
#include "platform/failure.h"
#include "render/font2d.h"
#include "render/render_state.h"
#include "render/render_targets.h"
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
    Clock::time_point lastStart;
    Sequence lastSequence = Sequence::Gamma;
    bool lastHadParts = false;
    int frameNumber = 0;
    std::map<Sequence, std::vector<double>> frameTimes;
    std::map<std::string, std::vector<double>> partTimes; // "first hall", ...
};
BenchState bench;

// Times one part: the work, then glFinish in the context that is current afterwards.
template <typename Work> void timePart(const std::string& name, Work work) {
    glFinish();
    Clock::time_point start = Clock::now();
    work();
    glFinish();
    bench.partTimes[name].push_back(msSince(start));
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

// The scene's branch drawn into target 1, finished there.
void drawIntoTarget1(const char* branch) {
    PixelBufferTarget& target1 = demoState.targets[0];
    makeTargetCurrent(target1);
    setTargetPerspective(target1);
    clearFrame(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyCamera(true);
    renderSceneGraph(findSceneNode(branch));
    glFinish();
    makeWindowCurrent();
}

void finishTarget(PixelBufferTarget& target) {
    makeTargetCurrent(target);
    glFinish();
    makeWindowCurrent();
}

void drawFullViewQuads(PixelBufferTarget& result, bool flip) {
    glColor4f(1, 1, 1, 1);
    overlay2D.quad.flip = flip;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    drawTargetQuad(result, -1.0f, 1.0f, 2.0f, 2.0f);
    overlay2D.quad.flip = false;
    glColor4f(1, 1, 1, 0.5f);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    drawTextureQuad(demoState.textures.texture20, -1.0f, 1.0f, 2.0f, 2.0f);
    glDisable(GL_BLEND);
    float aspect = renderState.aspect;
    drawTextureQuad(demoState.textures.presents, -0.6f / aspect, 0.15f, 1.2f / aspect, 0.3f);
}

void measureFirstSceneParts(uint32_t t) {
    const float tint[3] = {0.6f, 0.6f, 1.0f};
    PixelBufferTarget* targets = demoState.targets;
    timePart("first: hall", [t] {
        cameraStep("Camera03", t);
        renderSceneGraph(findSceneNode("HALL"));
    });
    timePart("first: logo into target 1", [] { drawIntoTarget1("LOGO"); });
    PixelBufferTarget* glow = nullptr;
    timePart("first: glow passes", [&] {
        glow = &glowPasses(targets[0], targets[2], targets[3], 0.7f, tint, 4.0f);
        finishTarget(targets[2]);
        finishTarget(targets[3]);
    });
    timePart("first: 2D (glow quad, fade, title)", [&] { drawFullViewQuads(*glow, true); });
}

void measureSecondSceneParts(uint32_t t) {
    PixelBufferTarget* targets = demoState.targets;
    timePart("second: logos", [t] {
        cameraStep("Camera02", t);
        renderSceneGraph(findSceneNode("INTRO"));
    });
    timePart("second: logos into target 1", [] { drawIntoTarget1("INTRO"); });
    PixelBufferTarget* blurred = nullptr;
    timePart("second: blur passes", [&] {
        blurred = &blurPasses(targets[0], targets[1], 7, 0.35f, 0.55f);
        finishTarget(targets[0]);
        finishTarget(targets[1]);
    });
    timePart("second: 2D (blur quad, fade, title)", [&] { drawFullViewQuads(*blurred, false); });
}

void frameStarts(Sequence sequence, uint32_t sceneMs) {
    Clock::time_point now = Clock::now();
    if (bench.frameNumber > 0 && sequence == bench.lastSequence && !bench.lastHadParts)
        bench.frameTimes[sequence].push_back(
            std::chrono::duration<double, std::milli>(now - bench.lastStart).count());
    bench.lastSequence = sequence;
    bench.lastHadParts = false;
    bool scene = sequence == Sequence::First || sequence == Sequence::Second;
    if (scene && ++bench.frameNumber % 5 == 0) {
        bench.lastHadParts = true;
        if (sequence == Sequence::First && sceneMs <= 45000) measureFirstSceneParts(sceneMs);
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
    record.block2.anisotropy = 0; // llvmpipe stalls for minutes on some frames with it
    FILE* out = std::fopen((dir + "/ConfigEngine.cfg").c_str(), "wb");
    std::fwrite(&record, sizeof record, 1, out);
    std::fclose(out);
    return dir;
}

} // namespace

int main(int argc, char** argv) {
    std::string step = "200";
    if (argc >= 3) {
        bench.width = std::atoi(argv[1]);
        bench.height = std::atoi(argv[2]);
    }
    if (argc >= 4) step = argv[3];
    if (!std::filesystem::exists(ZORX_DATA_DIR "/Film_03.dat")) {
        std::fprintf(stderr, "build the demo_data target first\n");
        return 1;
    }
    std::string dir = prepareRunFolder();
    std::filesystem::current_path(dir);
    setenv("FILM03_INSTANCE", "framebench", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Options options = parseOptions({"--batch", "--fixed-step", step});
    failureState.batch = true;
    eventState.fixedStepMs = options.fixedStepMs;
    eventState.ignoreFocus = true;
    timelineState.hooks.frameStart = frameStarts;
    std::fclose(stdout); // the loading lines
    int result = runDemo(options);
    std::filesystem::remove_all(dir);

    std::fprintf(stderr, "%d x %d, fixed step %s ms, no multisampling, no anisotropy\n",
                 bench.width, bench.height, step.c_str());
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
    for (const auto& [name, times] : bench.partTimes)
        std::fprintf(stderr, "  %-38s mean %7.1f ms  median %7.1f ms  (%zu samples)\n",
                     name.c_str(), mean(times), percentile(times, 0.5), times.size());
    return result;
}

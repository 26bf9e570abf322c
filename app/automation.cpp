#include "app/automation.h"

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

#include "platform/gl/frame_pixels.h"
#include "platform/events.h"
#include "platform/window.h"
#include "sound/sound_startup.h"

AutomationState automationState;

namespace {

// A key goes down at the first frame at or after its point and up at the next frame, whatever
// sequence that frame belongs to. A key of the same code as one going up or down in this frame
// waits for the next, so that two presses of one key are two presses.
void injectKeys(Sequence sequence, uint32_t sceneMs) {
    bool busy[256] = {};
    for (KeyPoint& key : automationState.keys) {
        if (key.stage == KeyStage::Down) {
            pressKey(key.keyCode, false, false);
            key.stage = KeyStage::Done;
            busy[key.keyCode] = true;
        }
    }
    for (KeyPoint& key : automationState.keys) {
        if (key.stage == KeyStage::Waiting && key.sequence == sequence && sceneMs >= key.ms &&
            !busy[key.keyCode]) {
            pressKey(key.keyCode, true, false);
            key.stage = KeyStage::Down;
            busy[key.keyCode] = true;
        }
    }
}

// A frame before the last one on the timeline: the player jumped back.
bool before(Sequence sequence, uint32_t sceneMs, Sequence lastSequence, uint32_t lastMs) {
    return sequence < lastSequence || (sequence == lastSequence && sceneMs < lastMs);
}

// Each shot is of the first frame at or after its point; after a jump back, of the first such
// frame since the jump.
void takeShots(Sequence sequence, uint32_t sceneMs) {
    AutomationState& state = automationState;
    if (state.anyShotFrame && before(sequence, sceneMs, state.lastShotSequence, state.lastShotMs))
        for (ShotPoint& shot : state.shots)
            if (!before(shot.sequence, shot.ms, sequence, sceneMs)) shot.taken = false;
    state.anyShotFrame = true;
    state.lastShotSequence = sequence;
    state.lastShotMs = sceneMs;
    for (ShotPoint& shot : state.shots) {
        if (shot.taken || shot.sequence != sequence || sceneMs < shot.ms) continue;
        shot.taken = true;
        int width = 0;
        int height = 0;
        mainFrameSize(width, height);
        std::string name = shotFileName(shot.sequence, shot.ms);
        if (!writeScreenshot(name, width, height))
            std::fprintf(stderr, "film03: the screenshot %s could not be written\n", name.c_str());
    }
}

void automatedFrameStart(Sequence sequence, uint32_t sceneMs) {
    injectKeys(sequence, sceneMs);
    if (automationState.chained.frameStart != nullptr)
        automationState.chained.frameStart(sequence, sceneMs);
}

void automatedFrameDrawn(Sequence sequence, uint32_t sceneMs) {
    takeShots(sequence, sceneMs);
    if (automationState.chained.frameDrawn != nullptr)
        automationState.chained.frameDrawn(sequence, sceneMs);
}

bool writePng(std::FILE* file, int width, int height, const std::vector<uint8_t>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rows.data() + stride * size_t(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

void installAutomation(const RunPlan& plan) {
    // Installed a second time: the hooks of before come back first.
    if (timelineState.hooks.frameStart == automatedFrameStart)
        replaceTimelineHooks(automationState.chained);
    automationState = AutomationState{};
    automationState.offlineSound = plan.offlineSound;
    startTimelineAt(plan.seek ? &plan.start : nullptr);
    for (const TimedKey& key : plan.keys)
        automationState.keys.push_back({key.point.sequence, key.point.ms, key.keyCode});
    for (const TimelinePoint& point : plan.shots)
        automationState.shots.push_back({point.sequence, point.ms});
    automationState.chained = replaceTimelineHooks({automatedFrameStart, automatedFrameDrawn});
}

bool keysPlannedFor(Sequence sequence) {
    for (const KeyPoint& key : automationState.keys)
        if (key.sequence == sequence) return true;
    return false;
}

void finishAutomation() {
    for (const ShotPoint& shot : automationState.shots) {
        if (!shot.taken)
            std::fprintf(stderr, "film03: no frame reached %s:%u; %s was not written\n",
                         std::string(sequenceName(shot.sequence)).c_str(), shot.ms,
                         shotFileName(shot.sequence, shot.ms).c_str());
    }
    if (timelineState.hooks.frameStart == automatedFrameStart)
        replaceTimelineHooks(automationState.chained);
    if (eventState.virtualTicksAdvanced == mixOfflineSound) followVirtualTicks(nullptr);
    automationState = AutomationState{};
}

void startDemoSound(int32_t audioQuality, void* window) {
    const bool offline = automationState.offlineSound;
    startSoundSystem(audioQuality, window, offline);
    if (offline && soundIsRunning()) {
        automationState.mixRate = mixRateForQuality(audioQuality);
        followVirtualTicks(mixOfflineSound);
    }
}

void mixOfflineSound(uint32_t ms) {
    AutomationState& state = automationState;
    if (!soundIsRunning() || state.mixRate == 0) return;
    state.msAdvanced += ms;
    const uint64_t due = (state.msAdvanced * uint64_t(state.mixRate) + 500) / 1000;
    constexpr int kChunkFrames = 4096;
    state.mixBuffer.resize(size_t(kChunkFrames) * 2);
    while (state.framesMixed < due) {
        int frames = int(std::min<uint64_t>(due - state.framesMixed, kChunkFrames));
        soundRenderFrames(state.mixBuffer.data(), frames);
        state.framesMixed += uint64_t(frames);
    }
}

std::string shotFileName(Sequence sequence, uint32_t ms) {
    return std::string(sequenceName(sequence)) + "-" + std::to_string(ms) + ".png";
}

bool writeScreenshot(const std::string& path, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    readMainFrame();
    const std::vector<uint8_t> rows = readFramePixels(width, height, 3);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = writePng(file, width, height, rows);
    return std::fclose(file) == 0 && written;
}

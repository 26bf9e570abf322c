#include "app/record.h"

#include <GL/gl.h>
#include <SDL.h>

#include <signal.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "app/capture.h"
#include "app/mix_loudness.h"
#include "app/offline_sound.h"
#include "app/recording_files.h"
#include "config/configuration.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/system/process.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"
#include "render/frame_readback.h"
#include "sound/sound_startup.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Where a recorded run's time goes, for the closing summary.
struct RecordTimes {
    double rendering = 0; // from one frame's hook to the next: drawing, swapping, events
    double readback = 0;  // queueing the copy and mapping the previous frame
    double sound = 0;     // mixing the step and writing it
    double encoder = 0;   // handing frames to ffmpeg (waiting while it encodes)
    double finishing = 0; // the encoder's last frames and the muxing
};

struct RecordState {
    bool active = false;    // --record was given
    bool started = false;   // the first frame went to the encoder
    bool done = false;      // the video is in place (or the run failed and was cleaned up)
    bool soundOnly = false; // a .wav: the sound of the frames, nothing drawn or encoded
    bool segment = false;   // a part of a recording, written without sound
    uint32_t fps = 30;
    std::string ffmpeg;
    RecordCodecs codecs = RecordCodecs::H264Aac;
    RecordingFiles files;
    ChildProcess encoder;
    FrameReadback readback;
    std::FILE* audio = nullptr;
    uint64_t audioBytes = 0;
    uint64_t framesOut = 0; // frames handed to the encoder
    uint64_t framesDrawn = 0;
    TimelineHooks chained; // the hooks installed before ours, called first
    int width = 0;         // of the video
    int height = 0;
    Clock::time_point startTime;
    Clock::time_point lastHookEnd;
    RecordTimes times;
};
RecordState recordState;

// What an immediate end (a second stop signal) removes: the running ffmpeg and the temporary
// files. Set before the first of them exists and read only by the ending thread, so the
// names are copies that the recording never changes; plain arrays, as that thread may read
// them while main returns and the static objects are destroyed.
struct RecordingLeftovers {
    char names[4][PATH_MAX] = {}; // empty: nothing to remove
    std::atomic<int> child{-1};   // the ffmpeg at work, until it is reaped
    std::atomic<bool> ready{false};
    bool hookAdded = false;
};
static_assert(std::is_trivially_destructible_v<RecordingLeftovers>);
RecordingLeftovers recordingLeftovers;

void ignoreResult(ssize_t) {}

void removeRecordingAtOnce() {
    RecordingLeftovers& leftovers = recordingLeftovers;
    if (!leftovers.ready) return;
    int child = leftovers.child.load();
    if (child > 0) kill(child, SIGKILL);
    for (const char* name : leftovers.names)
        if (name[0] != '\0') unlink(name);
    // The progress line is ended, and the last line says what became of the recording.
    const char* last = "film03: the recording ended at once; its unfinished files are removed\n";
    breakCaptureProgress();
    ignoreResult(write(2, last, std::strlen(last)));
}

void prepareLeftovers(const RecordingFiles& files) {
    RecordingLeftovers& leftovers = recordingLeftovers;
    leftovers.ready = false;
    const std::string* names[] = {&files.video, &files.audio, &files.muxed, &files.log};
    for (size_t i = 0; i < std::size(names); ++i) {
        // A name too long to open is never made, so there is nothing to remove.
        bool fits = names[i]->size() < sizeof leftovers.names[i];
        std::memcpy(leftovers.names[i], fits ? names[i]->c_str() : "",
                    fits ? names[i]->size() + 1 : 1);
    }
    leftovers.ready = true;
    if (!leftovers.hookAdded) addImmediateEndHook(removeRecordingAtOnce);
    leftovers.hookAdded = true;
}

// Starts ffmpeg as the recording's child; the immediate end knows it from here on.
bool startRecordingChild(const std::vector<std::string>& arguments, bool withInput) {
    RecordState& state = recordState;
    bool started = startChild(arguments, state.files.log, withInput, state.encoder);
    recordingLeftovers.child = started ? state.encoder.pid : -1;
    return started;
}

int finishRecordingChild() {
    int status = finishChild(recordState.encoder);
    recordingLeftovers.child = -1;
    return status;
}

std::string lastLines(const std::string& path, size_t maxBytes) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    while (!all.empty() && (all.back() == '\n' || all.back() == '\r')) all.pop_back();
    if (all.size() <= maxBytes) return all;
    size_t from = all.find('\n', all.size() - maxBytes);
    return from == std::string::npos ? all.substr(all.size() - maxBytes) : all.substr(from + 1);
}

void removeTemporaryFiles() {
    const RecordingFiles& files = recordState.files;
    std::error_code ignored;
    for (const std::string* name : {&files.video, &files.audio, &files.muxed, &files.log})
        if (!name->empty()) std::filesystem::remove(*name, ignored);
}

// Runs at exit: after a fatal report (or any other early end) nothing half-written stays.
void abandonRecording() {
    RecordState& state = recordState;
    if (!state.active || state.done) return;
    state.done = true;
    if (state.encoder.pid >= 0) killChild(state.encoder);
    if (state.audio != nullptr) std::fclose(state.audio);
    state.audio = nullptr;
    removeTemporaryFiles();
}

[[noreturn]] void recordingFailed(const std::string& text) {
    // The report starts a line of its own, not the end of the progress line.
    breakCaptureProgress();
    fatalError(kRecordErrorCaption, text);
}

[[noreturn]] void ffmpegFailed(const std::string& what, int exitCode) {
    std::string text = "ffmpeg failed " + what;
    text += exitCode >= 0 ? " (exit code " + std::to_string(exitCode) + ")" : "";
    text += " !\n\nIts last messages :\n" + lastLines(recordState.files.log, 1200);
    recordingFailed(text);
}

// A file of the recording cannot be written: the report names the video and its folder,
// whichever of its files beside the video failed, with the system's reason.
[[noreturn]] void cannotWriteVideo() {
    std::string reason = std::strerror(errno);
    const std::string& video = recordState.files.final;
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::absolute(video, ignored).parent_path();
    recordingFailed("Cannot write the video \"" + video + "\" in the folder \"" + folder.string() +
                    "\" !\n\n" + reason);
}

void writeAudio(const void* data, size_t bytes) {
    RecordState& state = recordState;
    if (bytes > 0 && std::fwrite(data, 1, bytes, state.audio) != bytes) cannotWriteVideo();
    state.audioBytes += bytes;
}

// The frames' size, both sides even: the video's colour format halves them.
void frameSize(int& width, int& height) {
    mainFrameSize(width, height);
    if (width <= 0 || height <= 0) {
        width = configState.running.screenWidth;
        height = configState.running.screenHeight;
    }
    width &= ~1;
    height &= ~1;
}

void startEncoder() {
    RecordState& state = recordState;
    int width = 0;
    int height = 0;
    frameSize(width, height);
    state.width = width;
    state.height = height;
    if (!startReadback(state.readback, width, height))
        recordingFailed("Reading frames back needs OpenGL pixel-buffer objects "
                        "(GL_PIXEL_PACK_BUFFER), which this driver does not offer.");
    if (!startRecordingChild(encoderArguments(state.ffmpeg, width, height, state.fps,
                                              state.files.video, state.codecs),
                             true))
        recordingFailed("Starting \"" + state.ffmpeg + "\" failed !\n\n" + std::strerror(errno));
    state.started = true;
    state.startTime = Clock::now();
    state.lastHookEnd = state.startTime;
}

void startSoundOnly() {
    RecordState& state = recordState;
    state.started = true;
    state.startTime = Clock::now();
}

void sendFrame(const uint8_t* pixels) {
    RecordState& state = recordState;
    if (pixels == nullptr) return;
    Clock::time_point start = Clock::now();
    bool sent = writeToChild(state.encoder, pixels, frameBytes(state.readback));
    state.times.encoder += secondsSince(start);
    if (!sent) ffmpegFailed("while the video was written", finishRecordingChild());
    state.framesOut++;
}

// The encoder's last frames.
void finishVideo() {
    RecordState& state = recordState;
    sendFrame(takeLastFrame(state.readback));
    stopReadback(state.readback);
    endCaptureProgress();
    int status = finishRecordingChild();
    if (status != 0) ffmpegFailed("while encoding the video", status);
}

// The sound file's header, now that its length is known.
void closeAudio() {
    RecordState& state = recordState;
    std::vector<uint8_t> header = wavHeader(kRecordMixRate, 2, uint32_t(state.audioBytes));
    bool written = levelMixFile(state.audio, long(header.size()), state.audioBytes) &&
                   std::fseek(state.audio, 0, SEEK_SET) == 0 &&
                   std::fwrite(header.data(), 1, header.size(), state.audio) == header.size();
    stopMixLoudness();
    bool closed = std::fclose(state.audio) == 0;
    state.audio = nullptr;
    if (!written || !closed) cannotWriteVideo();
}

// The picture and the sound into one file; the muxer takes the encoder's place, killed at
// exit if this ends early.
void muxSound() {
    RecordState& state = recordState;
    if (!startRecordingChild(muxArguments(state.ffmpeg, state.files.video, state.files.audio,
                                          state.files.muxed, state.codecs),
                             false))
        recordingFailed("Starting \"" + state.ffmpeg + "\" failed !\n\n" + std::strerror(errno));
    int status = finishRecordingChild();
    if (status != 0) ffmpegFailed("while adding the sound to the video", status);
}

// The finished run in one line: the video's length, the time it took and where it went.
void reportSummary(double seconds) {
    const RecordState& state = recordState;
    const RecordTimes& times = state.times;
    double videoSeconds = double(state.framesOut) / state.fps;
    if (state.soundOnly) {
        std::fprintf(stderr,
                     "film03: recorded the sound of %llu frames, %.2f s, into %s in %.1f s\n",
                     static_cast<unsigned long long>(state.framesOut), videoSeconds,
                     state.files.final.c_str(), seconds);
        return;
    }
    std::fprintf(stderr,
                 "film03: recorded %s: %llu frames at %ux%d, %.2f s, in %.1f s (%.2f x real "
                 "time); rendering %.1f s, read-back %.1f s, sound %.1f s, encoder %.1f s, "
                 "finishing %.1f s\n",
                 state.files.final.c_str(), static_cast<unsigned long long>(state.framesOut),
                 unsigned(state.width), state.height, videoSeconds, seconds,
                 seconds > 0 ? videoSeconds / seconds : 0.0, times.rendering, times.readback,
                 times.sound, times.encoder, times.finishing);
}

} // namespace

std::vector<uint8_t> wavHeader(int rate, int channels, uint32_t dataBytes) {
    std::vector<uint8_t> header;
    header.reserve(44);
    auto text = [&header](const char* four) {
        for (int i = 0; i < 4; ++i) header.push_back(uint8_t(four[i]));
    };
    auto number = [&header](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.push_back(uint8_t(value >> (8 * i)));
    };
    uint32_t blockAlign = uint32_t(channels) * 2;
    text("RIFF");
    number(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    number(16, 4);
    number(1, 2); // PCM
    number(uint32_t(channels), 2);
    number(uint32_t(rate), 4);
    number(uint32_t(rate) * blockAlign, 4);
    number(blockAlign, 2);
    number(16, 2);
    text("data");
    number(dataBytes, 4);
    return header;
}

void prepareRecording(const RunPlan& plan) {
    RecordState& state = recordState;
    if (plan.job != RunJob::Record) return;
    state = RecordState{};
    state.active = true;
    state.fps = plan.fps;
    state.codecs = recordCodecs(plan.output);
    state.files = recordingFiles(plan.output);
    state.soundOnly = plan.soundOnly;
    state.segment = plan.segment;
    state.ffmpeg = findProgram("ffmpeg");
    if (state.ffmpeg.empty() && !state.soundOnly)
        recordingFailed("Recording needs the program \"ffmpeg\", which was not found on the "
                        "search path (PATH) !\n\nInstall it (Debian: apt install ffmpeg) and "
                        "start again.");
    std::atexit(abandonRecording);
    prepareLeftovers(state.files);
    state.chained = replaceTimelineHooks({timelineState.hooks.frameStart, recordFrameDrawn});
    if (state.segment) return;
    // Read back at the end where the sound is set to a loudness.
    state.audio = std::fopen(state.files.audio.c_str(), "w+b");
    if (state.audio == nullptr) cannotWriteVideo();
    startMixLoudness(plan, kRecordMixRate);
    setCaptureProgressTail(mixLoudnessTail);
    std::vector<uint8_t> header = wavHeader(kRecordMixRate, 2, 0);
    writeAudio(header.data(), header.size());
    state.audioBytes = 0;
}

bool startRecordingSound() {
    if (!recordState.active) return false;
    // A segment's sound is left to the recording that has all of it; the layer still runs
    // offline, on the frames' clock, so that nothing plays to a device.
    startOfflineSound(kRecordMixRate, 1000, recordState.fps);
    return true;
}

// A frame's step of sound, mixed and written.
void recordSoundStep() {
    RecordState& state = recordState;
    Clock::time_point soundStart = Clock::now();
    int mixed = advanceOfflineSound();
    writeAudio(offlineSoundState.mix.data(), size_t(mixed) * 4);
    measureMixStep(offlineSoundState.mix.data(), mixed);
    state.times.sound += secondsSince(soundStart);
}

void recordFrameDrawn(Sequence sequence, uint32_t sceneMs) {
    RecordState& state = recordState;
    if (state.chained.frameDrawn != nullptr) state.chained.frameDrawn(sequence, sceneMs);
    if (!state.active || state.done || sequence == Sequence::Gamma) return;
    if (captureEnded(sequence, sceneMs)) return;
    if (state.soundOnly) {
        if (!state.started) startSoundOnly();
        recordSoundStep();
        state.framesOut++;
        countCaptureFrame({sequence, sceneMs});
        return;
    }
    if (!state.started) startEncoder();
    // The software renderer draws at the flush: finishing the frame here keeps its drawing
    // out of the read-back's time.
    glFinish();
    Clock::time_point hookStart = Clock::now();
    if (state.framesDrawn > 0)
        state.times.rendering +=
            std::chrono::duration<double>(hookStart - state.lastHookEnd).count();

    const uint8_t* previous = readBackFrame(state.readback);
    state.times.readback += secondsSince(hookStart);
    if (!state.segment) recordSoundStep();
    sendFrame(previous);
    releaseReadFrame(state.readback);
    state.framesDrawn++;
    countCaptureFrame({sequence, sceneMs});
    state.lastHookEnd = Clock::now();
}

void finishRecording() {
    RecordState& state = recordState;
    if (!state.active || state.done) return;
    // A stopped run keeps the video up to the stop; before the first frame there is none. A
    // part of a recording (a segment, the sound alone) is kept whole or not at all.
    if (stopRequested() && (!state.started || state.segment || state.soundOnly)) {
        abandonRecording();
        return;
    }
    if (!eventState.running && !captureEndReached() && !stopRequested())
        recordingFailed("The recording was stopped before the end of the demo; no video was "
                        "written.");
    if (!state.started) recordingFailed("No frame of the demo was drawn; no video was written.");
    Clock::time_point finishStart = Clock::now();
    // The file that becomes the recording.
    std::string* finished = &state.files.audio;
    if (state.soundOnly) {
        endCaptureProgress();
        closeAudio();
    } else {
        finishVideo();
        finished = &state.files.video;
        if (!state.segment) {
            closeAudio();
            muxSound();
            finished = &state.files.muxed;
        }
    }
    std::error_code error;
    std::filesystem::rename(*finished, state.files.final, error);
    if (error) {
        errno = error.value();
        cannotWriteVideo();
    }
    state.times.finishing = secondsSince(finishStart);
    state.done = true;
    finished->clear();
    removeTemporaryFiles();
    reportSummary(secondsSince(state.startTime));
}

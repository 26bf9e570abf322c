#include "app/record.h"

#include <GL/gl.h>
#include <SDL.h>

#include <signal.h>
#include <dirent.h>
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
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "app/capture.h"
#include "app/mix_loudness.h"
#include "app/offline_sound.h"
#include "app/options.h"
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
    FrameRate rate;
    std::string ffmpeg;
    RecordFormat format;
    RecordingFiles files;
    ChildProcess encoder;
    FrameReadback readback;
    std::FILE* audio = nullptr;
    uint64_t audioBytes = 0;
    uint64_t framesOut = 0; // frames handed to the encoder
    uint64_t framesDrawn = 0;
    std::vector<RecordChapter> chapters; // one at each sequence's first frame
    TimelineHooks chained;               // the hooks installed before ours, called first
    int width = 0;                       // of the video
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
    char names[5][PATH_MAX] = {}; // empty: nothing to remove
    char folder[PATH_MAX] = {};   // a folder being written, removed with what it holds
    std::atomic<int> child{-1};   // the ffmpeg at work, until it is reaped
    std::atomic<bool> ready{false};
    bool hookAdded = false;
};
static_assert(std::is_trivially_destructible_v<RecordingLeftovers>);
RecordingLeftovers recordingLeftovers;

void ignoreResult(ssize_t) {}

// The files of a folder (no folders below it), then the folder.
void removeFolderAtOnce(const char* folder) {
    if (folder[0] == '\0') return;
    if (DIR* entries = opendir(folder)) {
        int descriptor = dirfd(entries);
        while (dirent* entry = readdir(entries))
            if (entry->d_name[0] != '.') unlinkat(descriptor, entry->d_name, 0);
        closedir(entries);
    }
    rmdir(folder);
}

void removeRecordingAtOnce() {
    RecordingLeftovers& leftovers = recordingLeftovers;
    if (!leftovers.ready) return;
    int child = leftovers.child.load();
    if (child > 0) kill(child, SIGKILL);
    for (const char* name : leftovers.names)
        if (name[0] != '\0') unlink(name);
    removeFolderAtOnce(leftovers.folder);
    // The progress line is ended, and the last line says what became of the recording.
    const char* last = "film03: the recording ended at once; its unfinished files are removed\n";
    breakCaptureProgress();
    ignoreResult(write(2, last, std::strlen(last)));
}

// A name too long to open is never made, so there is nothing to remove.
void copyLeftoverName(char (&to)[PATH_MAX], const std::string& name) {
    bool fits = name.size() < sizeof to;
    std::memcpy(to, fits ? name.c_str() : "", fits ? name.size() + 1 : 1);
}

bool recordsFolder() {
    return recordState.format.container == RecordContainer::Folder;
}

void prepareLeftovers(const RecordingFiles& files) {
    RecordingLeftovers& leftovers = recordingLeftovers;
    leftovers.ready = false;
    const std::string* names[] = {&files.video, &files.audio, &files.metadata, &files.muxed,
                                  &files.log};
    static_assert(std::size(names) == std::size(leftovers.names));
    for (size_t i = 0; i < std::size(names); ++i) copyLeftoverName(leftovers.names[i], *names[i]);
    copyLeftoverName(leftovers.folder, recordsFolder() ? files.muxed : std::string());
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
    for (const std::string* name :
         {&files.video, &files.audio, &files.metadata, &files.muxed, &files.log})
        if (!name->empty()) std::filesystem::remove_all(*name, ignored);
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
    if (!startRecordingChild(encoderArguments(state.ffmpeg, width, height, state.rate,
                                              state.files.video, state.format),
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

// Bytes of a file, or of the files in a folder.
uint64_t bytesOf(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        uintmax_t bytes = std::filesystem::file_size(path, error);
        return error ? 0 : bytes;
    }
    uint64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        if (entry.is_regular_file(error)) bytes += entry.file_size(error);
    return bytes;
}

// The finished run: where the video is, its size and length, and where the time went.
void reportSummary(double seconds) {
    const RecordState& state = recordState;
    const RecordTimes& times = state.times;
    double videoSeconds = double(state.framesOut) * state.rate.seconds / state.rate.frames;
    if (state.soundOnly) {
        std::fprintf(stderr,
                     "film03: recorded the sound of %llu frames, %.2f s, into %s in %.1f s\n",
                     static_cast<unsigned long long>(state.framesOut), videoSeconds,
                     state.files.final.c_str(), seconds);
        return;
    }
    std::error_code ignored;
    std::string where = std::filesystem::absolute(state.files.final, ignored).string();
    std::fprintf(stderr,
                 "film03: recorded %s%s (%.1f MB): %llu frames at %ux%d and %s frames/s, "
                 "%.3f s long, in %.1f s (%.2f x real time); rendering %.1f s, read-back %.1f s, "
                 "sound %.1f s, encoder %.1f s, finishing %.1f s\n",
                 where.c_str(), recordsFolder() ? "/" : "",
                 double(bytesOf(state.files.final)) / 1e6,
                 static_cast<unsigned long long>(state.framesOut), unsigned(state.width),
                 state.height, frameRateText(state.rate).c_str(), videoSeconds, seconds,
                 seconds > 0 ? videoSeconds / seconds : 0.0, times.rendering, times.readback,
                 times.sound, times.encoder, times.finishing);
}

// A new chapter where a sequence draws its first frame.
void noteChapter(Sequence sequence) {
    static constexpr const char* kTitles[] = {"Gamma", "First scene", "Second scene", "End screen"};
    RecordState& state = recordState;
    const char* title = kTitles[int(sequence)];
    if (state.chapters.empty() || state.chapters.back().title != title)
        state.chapters.push_back({title, state.framesDrawn});
}

int currentYear() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

// The tags and chapters for the muxer (in a folder: its chapter list).
void writeMetadataFile() {
    RecordState& state = recordState;
    std::string text = recordingMetadata(currentYear(), programVersion(), state.chapters,
                                         state.framesOut, state.rate);
    std::ofstream out(state.files.metadata, std::ios::binary);
    out << text;
    out.close();
    if (!out) cannotWriteVideo();
}

// The folder of a recording to PNG frames: made afresh under its temporary name; one of the
// final name must not hold files already, as it could not be replaced when the frames are done.
void prepareFolder() {
    const RecordingFiles& files = recordState.files;
    std::error_code error;
    if (std::filesystem::exists(files.final, error) &&
        !(std::filesystem::is_directory(files.final, error) &&
          std::filesystem::is_empty(files.final, error)))
        recordingFailed("The folder \"" + files.final +
                        "\" exists and is not empty; a recording goes into a new or empty "
                        "folder.");
    std::filesystem::remove_all(files.muxed, error);
    if (!std::filesystem::create_directory(files.muxed, error)) {
        errno = error ? error.value() : EEXIST;
        cannotWriteVideo();
    }
}

// The finished file (or folder) takes the recording's name; its temporary name is forgotten.
void placeFinishedFile(std::string& from) {
    std::error_code error;
    std::filesystem::rename(from, recordState.files.final, error);
    if (error) {
        errno = error.value();
        cannotWriteVideo();
    }
    from.clear();
}

// Adds the sound, tags and chapters to the picture and puts the result in place; a folder is
// complete as it is.
void muxIntoPlace() {
    RecordState& state = recordState;
    if (!recordsFolder()) {
        // The muxer takes the encoder's place: killed at exit if this ends early.
        if (!startRecordingChild(muxArguments(state.ffmpeg, state.files.video, state.files.audio,
                                              state.files.metadata, state.files.muxed,
                                              state.format),
                                 false))
            recordingFailed("Starting \"" + state.ffmpeg + "\" failed !\n\n" +
                            std::strerror(errno));
        int status = finishRecordingChild();
        if (status != 0) ffmpegFailed("while adding the sound to the video", status);
    }
    placeFinishedFile(state.files.muxed);
    if (recordsFolder()) {
        // What was inside the temporary folder now is in the final one.
        state.files.video.clear();
        state.files.audio.clear();
        state.files.metadata.clear();
    }
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
    state.rate = plan.rate;
    state.format = plan.recordFormat;
    state.files = recordingFiles(plan.output, state.format);
    state.soundOnly = plan.soundOnly;
    state.segment = plan.segment;
    state.ffmpeg = findProgram("ffmpeg");
    if (state.ffmpeg.empty() && !state.soundOnly)
        recordingFailed("Recording needs the program \"ffmpeg\", which was not found on the "
                        "search path (PATH) !\n\nInstall it (Debian: apt install ffmpeg) and "
                        "start again.");
    std::atexit(abandonRecording);
    prepareLeftovers(state.files);
    if (recordsFolder()) prepareFolder();
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
    // Sample frames after k frames: floor(k × rate × D / N), so the sound ends within one
    // sample of the picture. A segment's sound is left to the recording that has all of it;
    // the layer still runs offline, on the frames' clock, so that nothing plays to a device.
    const FrameRate rate = recordState.rate;
    startOfflineSound(kRecordMixRate, 1000 * rate.seconds, rate.frames);
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
    noteChapter(sequence);
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
    if (state.soundOnly) {
        endCaptureProgress();
        closeAudio();
        placeFinishedFile(state.files.audio);
    } else if (state.segment) {
        finishVideo();
        placeFinishedFile(state.files.video);
    } else {
        finishVideo();
        closeAudio();
        writeMetadataFile();
        muxIntoPlace();
    }
    state.times.finishing = secondsSince(finishStart);
    state.done = true;
    removeTemporaryFiles();
    reportSummary(secondsSince(state.startTime));
}

// Recording: the three sequences played in batch mode at a fixed step of 1000 / N ms, every
// frame read back through the pixel-pack buffers and piped to ffmpeg (H.264, yuv420p), the
// sound mixed offline a step per frame into a WAV file and muxed into the same video as AAC.
// Everything is written under temporary names beside the video and renamed into place only
// when complete; a failure leaves nothing under the final name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "app/run_plan.h"
#include "app/timeline.h"

inline constexpr std::string_view kRecordErrorCaption = "FILM 03 - Recording - ERROR";
inline constexpr int kRecordMixRate = 44100;
// x264's speed preset and quality: at CRF 18 the picture is visually lossless; "veryfast"
// keeps the encoder beside the software renderer on two cores.
inline constexpr std::string_view kRecordPreset = "veryfast";
inline constexpr int kRecordQuality = 18;
// libvpx's constant quality for .webm (its scale runs to 63; 30 looks close to CRF 18 of x264).
inline constexpr int kRecordVp9Quality = 30;

// The codecs a recording's name asks for, by its container (the ending, letter case ignored):
// H.264 + AAC for .mp4, .mkv and .mov (and a name without ending, which is written as MP4),
// VP9 + Opus for .webm; Unknown for any other ending, which ffmpeg would refuse only after
// every frame was drawn.
enum class RecordCodecs { Unknown, H264Aac, Vp9Opus };
RecordCodecs recordCodecs(const std::string& fileName);
inline constexpr std::string_view kRecordContainers =
    ".mp4, .mkv or .mov (H.264 + AAC) or .webm (VP9 + Opus)";

// The files of a recording of `finalName` ("dir/name.ext"): the picture
// ("dir/name.video.part.mkv"), the sound ("dir/name.audio.part.wav"), the muxed file
// ("dir/name.part.ext") that is renamed to the final name, and ffmpeg's messages
// ("dir/name.ffmpeg.log").
struct RecordingFiles {
    std::string video;
    std::string audio;
    std::string muxed;
    std::string log;
    std::string final;
};
RecordingFiles recordingFiles(const std::string& finalName);

// The encoder: raw RGBA frames of width × height at fps on standard input, turned upright,
// into H.264 (or VP9) yuv420p.
std::vector<std::string> encoderArguments(const std::string& ffmpeg, int width, int height,
                                          uint32_t fps, const std::string& videoFile,
                                          RecordCodecs codecs = RecordCodecs::H264Aac);
// The muxer: the picture copied, the WAV sound encoded as AAC (or Opus), into outFile.
std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::string& audioFile, const std::string& outFile,
                                      RecordCodecs codecs = RecordCodecs::H264Aac);

// "recording  45.2 %  frame 1830/4052  about 1:23 left" (the estimate after the first frame).
std::string progressText(uint64_t done, uint64_t total, double elapsedSeconds);

// The 44-byte header of a 16-bit PCM WAV file holding dataBytes of samples.
std::vector<uint8_t> wavHeader(int rate, int channels, uint32_t dataBytes);

// Frames drawn at a step of stepMs / stepDivisor ms from t = startMs while t <= lastMs
// (frame k shows startMs + floor(k × step)); a start past lastMs still draws one.
uint64_t framesUpTo(uint32_t startMs, uint32_t lastMs, uint32_t stepMs, uint32_t stepDivisor);
// The last time a sequence draws: 50000 ms in the first scene, 65000 in the second, 19999 on
// the end screen; the gamma screen has no end of its own (UINT32_MAX).
uint32_t sequenceLastMs(Sequence sequence);
// Frames of a sequence: the first scene draws while t <= 50000, the second while t <= 65000,
// the end screen while t < 20000.
uint64_t sequenceFrames(Sequence sequence, uint32_t startMs, uint32_t stepMs, uint32_t stepDivisor);
// Frames of the timeline from a start point (ms into startSequence) to its end, or to the
// --until point when one is given (the frames before it).
uint64_t timelineFrames(Sequence startSequence, uint32_t startMs, uint32_t stepMs,
                        uint32_t stepDivisor, const Sequence* untilSequence = nullptr,
                        uint32_t untilMs = 0);

// The plan's window in the running settings (recordings and benchmarks run in a window of the
// configured size or --size, without vertical sync); the stored configuration keeps its own.
void setCaptureWindow(const RunPlan& plan);
// Where a recording or benchmark starts: the first scene, or the --seek point.
void captureStartPoint(const RunPlan& plan, Sequence& from, uint32_t& fromMs);
// --until: captureEnded is true for every frame at or past the point; from there Escape is
// held down, so each sequence ends after the frame it draws, and those frames are left out.
void setCaptureEnd(const RunPlan& plan);
bool captureEnded(Sequence sequence, uint32_t sceneMs);

// Called by runDemo. prepareRecording (after applyConfiguration, before the window exists):
// with --record, finds ffmpeg (fatal when absent), opens the sound file and sets the frame
// hook (the plan gives the step, the window and the points). startRecordingSound: with --record,
// starts the sound layer offline and returns true (runDemo then skips the device start).
// finishRecording (after the end screen): completes and renames the video, or fails with the fatal
// report.
void prepareRecording(const Options& options, const RunPlan& plan);
bool startRecordingSound();
void finishRecording();

// The frame hook: calls the hook installed before it (screenshots), then reads back a frame
// of the three sequences, mixes its step of sound and hands both on.
void recordFrameDrawn(Sequence sequence, uint32_t sceneMs);

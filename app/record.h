// Recording: the three sequences played in batch mode at a fixed step of D/N s (N/D frames a
// second), every frame read back through the pixel-pack buffers and piped to ffmpeg, the sound
// mixed offline a step per frame into a WAV file and muxed into the same video with the tags
// and a chapter at each sequence. A folder gets the frames as PNG files beside the WAV.
// Everything is written under temporary names beside the video and renamed into place only
// when complete; a failure leaves nothing under the final name.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/run_plan.h"
#include "app/timeline.h"

inline constexpr std::string_view kRecordErrorCaption = "FILM 03 - Recording - ERROR";
inline constexpr int kRecordMixRate = 44100;

// The 44-byte header of a 16-bit PCM WAV file holding dataBytes of samples.
std::vector<uint8_t> wavHeader(int rate, int channels, uint32_t dataBytes);

// Called by runDemo. prepareRecording (after applyConfiguration, before the window exists):
// when the plan's job is a recording, finds ffmpeg (fatal when absent), opens the sound file
// beside the video (fatal, naming the video and its folder, when it cannot) and sets the frame
// hook (the plan gives the video, its codecs and frame rate, the window and the points).
// startRecordingSound: for a recording, starts the sound layer offline and returns true
// (runDemo then skips the device start). finishRecording (after the end screen): completes and
// renames the video, or fails with the fatal report.
void prepareRecording(const RunPlan& plan);
bool startRecordingSound();
void finishRecording();

// The frame hook: calls the hook installed before it (screenshots), then reads back a frame
// of the three sequences, mixes its step of sound and hands both on.
void recordFrameDrawn(Sequence sequence, uint32_t sceneMs);

// A recording's files and ffmpeg's command lines: the codecs a video's name asks for, the
// temporary names beside it, the encoder that takes the raw frames and the muxer that adds the
// sound. Names and arguments only: nothing here touches a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// A recording named "*.wav" (letter case ignored) writes only the sound of its frames.
bool recordsSoundOnly(const std::string& fileName);

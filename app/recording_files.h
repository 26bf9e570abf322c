// A recording's files and ffmpeg's command lines: the output a recording's name and --codec
// ask for, the temporary names beside it, the encoder that takes the raw frames, the muxer
// that adds the sound, the tags and the chapters. Names and arguments only: nothing here
// touches a file.
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

// A frame rate as the exact fraction frames / seconds, kept in lowest terms (60000/1001).
struct FrameRate {
    uint32_t frames = 30;
    uint32_t seconds = 1;
};
inline constexpr uint32_t kMaxFps = 1000;
// "N" or "N/D" with N and D from 1 to 1000000 and N/D from 1 to kMaxFps frames a second.
bool parseFrameRate(const std::string& text, FrameRate& rate);
std::string frameRateText(FrameRate rate); // "30", "60000/1001"

enum class RecordContainer { Mp4, Mkv, Mov, Webm, Folder };
enum class RecordVideo { H264, Vp9, Ffv1, ProRes, Png };
// What a recording writes: the container (from the name's ending; a name ending in '/' is a
// folder of PNG frames and a WAV), the picture's codec and, for H.264 and VP9, whether the
// colour keeps every pixel (4:4:4) or every second one in both directions (4:2:0).
struct RecordFormat {
    RecordContainer container = RecordContainer::Mp4;
    RecordVideo video = RecordVideo::H264;
    bool fullChroma = false;
};
// The format of `fileName` with --codec `codec` (empty: the container's usual codec) and
// --chroma `chroma` (0: not given, else 420 or 444). Returns why the three do not go together,
// or "" when they do.
std::string resolveRecordFormat(const std::string& fileName, const std::string& codec,
                                uint32_t chroma, RecordFormat& format);
inline constexpr std::string_view kRecordOutputs =
    ".mp4, .mov or .mkv (H.264), .webm (VP9), .mkv with --codec ffv1, .mov with --codec prores, "
    "or a folder DIR/ (PNG frames and a WAV)";

// The container of the encoder's picture file: "nut" for MP4 and MOV (exact frame times),
// "matroska" for the rest.
const char* pictureContainer(RecordFormat format);

// The files of a recording of `finalName` ("dir/name.ext") in `format`: the picture
// ("dir/name.video.part.nut", or .mkv), the sound ("dir/name.audio.part.wav"), the tags and
// chapters
// ("dir/name.meta.part.txt"), the muxed file ("dir/name.part.ext") that is renamed to the
// final name, and ffmpeg's messages ("dir/name.ffmpeg.log"). A folder "dir/name/" is made as
// "dir/name.part" holding the frames "000000.png", ..., "name.wav" and "chapters.txt", and is
// renamed to "dir/name" (final) when complete; `video` is then the frames' pattern.
struct RecordingFiles {
    std::string video;
    std::string audio;
    std::string metadata;
    std::string muxed;
    std::string log;
    std::string final;
};
RecordingFiles recordingFiles(const std::string& finalName, RecordFormat format = {});

// The encoder: raw RGBA frames of width × height at `rate` on standard input, turned upright,
// into the format's codec. Lossy codecs convert with the BT.709 matrix into limited range and
// tag primaries, transfer, matrix and range as BT.709; the masters keep RGB (FFV1, PNG) or
// 10-bit 4:4:4 (ProRes 4444).
std::vector<std::string> encoderArguments(const std::string& ffmpeg, int width, int height,
                                          FrameRate rate, const std::string& videoFile,
                                          RecordFormat format = {});
// The muxer: the picture copied, the WAV sound encoded for the container (AAC, Opus, FLAC
// beside FFV1, 16-bit PCM beside ProRes), the tags and chapters of metadataFile, into outFile.
std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::string& audioFile, const std::string& metadataFile,
                                      const std::string& outFile, RecordFormat format = {});

// A chapter of a recording: its title and the frame it starts on.
struct RecordChapter {
    std::string title;
    uint64_t firstFrame = 0;
};
// The tags (title "FILM 03", artist KORAL, the year, the program's version) and chapters (each
// to the next one's start, the last to `frames`, timed in frames of `rate`) as an ffmpeg
// metadata file.
std::string recordingMetadata(int year, std::string_view version,
                              const std::vector<RecordChapter>& chapters, uint64_t frames,
                              FrameRate rate);

// A recording named "*.wav" (letter case ignored) writes only the sound of its frames.
bool recordsSoundOnly(const std::string& fileName);

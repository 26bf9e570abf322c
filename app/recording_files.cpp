#include "app/recording_files.h"

#include <cctype>
#include <filesystem>

RecordCodecs recordCodecs(const std::string& fileName) {
    std::string extension = std::filesystem::path(fileName).extension().string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension.empty() || extension == ".mp4" || extension == ".mkv" || extension == ".mov")
        return RecordCodecs::H264Aac;
    if (extension == ".webm") return RecordCodecs::Vp9Opus;
    return RecordCodecs::Unknown;
}

bool recordsSoundOnly(const std::string& fileName) {
    std::string extension = std::filesystem::path(fileName).extension().string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".wav";
}

RecordingFiles recordingFiles(const std::string& finalName) {
    std::filesystem::path path(finalName);
    std::filesystem::path folder = path.parent_path();
    std::string stem = path.stem().string();
    std::string extension = path.extension().string();
    if (extension.empty()) extension = ".mp4";
    auto beside = [&folder](const std::string& name) { return (folder / name).string(); };
    RecordingFiles files;
    files.video = beside(stem + ".video.part.mkv");
    files.audio = beside(stem + ".audio.part.wav");
    files.muxed = beside(stem + ".part" + extension);
    files.log = beside(stem + ".ffmpeg.log");
    files.final = finalName;
    return files;
}

std::vector<std::string> encoderArguments(const std::string& ffmpeg, int width, int height,
                                          uint32_t fps, const std::string& videoFile,
                                          RecordCodecs codecs) {
    std::vector<std::string> arguments = {ffmpeg,
                                          "-hide_banner",
                                          "-loglevel",
                                          "error",
                                          "-y",
                                          "-f",
                                          "rawvideo",
                                          "-pixel_format",
                                          "rgba",
                                          "-video_size",
                                          std::to_string(width) + "x" + std::to_string(height),
                                          "-framerate",
                                          std::to_string(fps),
                                          "-i",
                                          "pipe:0",
                                          "-vf",
                                          "vflip"};
    if (codecs == RecordCodecs::Vp9Opus) {
        // libvpx at its real-time speed keeps pace with the renderer; constant quality.
        arguments.insert(arguments.end(),
                         {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",
                          "-row-mt", "1", "-b:v", "0", "-crf", std::to_string(kRecordVp9Quality)});
    } else {
        arguments.insert(arguments.end(), {"-c:v", "libx264", "-preset", std::string(kRecordPreset),
                                           "-crf", std::to_string(kRecordQuality)});
    }
    arguments.insert(arguments.end(), {"-pix_fmt", "yuv420p", "-f", "matroska", videoFile});
    return arguments;
}

std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::string& audioFile, const std::string& outFile,
                                      RecordCodecs codecs) {
    const bool opus = codecs == RecordCodecs::Vp9Opus;
    std::vector<std::string> arguments = {ffmpeg,
                                          "-hide_banner",
                                          "-loglevel",
                                          "error",
                                          "-y",
                                          "-i",
                                          videoFile,
                                          "-i",
                                          audioFile,
                                          "-map",
                                          "0:v:0",
                                          "-map",
                                          "1:a:0",
                                          "-c:v",
                                          "copy",
                                          "-c:a",
                                          opus ? "libopus" : "aac",
                                          "-b:a",
                                          opus ? "160k" : "192k"};
    if (!opus) arguments.insert(arguments.end(), {"-movflags", "+faststart"});
    arguments.push_back(outFile);
    return arguments;
}

#include "app/recording_files.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <numeric>

namespace {

bool parseWhole(std::string_view text, uint32_t& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsInSlash(const std::string& name) {
    return !name.empty() && name.back() == '/';
}

std::string folderName(std::string name) {
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    return name;
}

// The container a name's ending asks for; false for an ending we do not write.
bool containerOf(const std::string& fileName, RecordContainer& container) {
    if (endsInSlash(fileName)) {
        container = RecordContainer::Folder;
        return true;
    }
    std::string extension = lowerCase(std::filesystem::path(fileName).extension().string());
    const struct {
        const char* extension;
        RecordContainer container;
    } endings[] = {{"", RecordContainer::Mp4},
                   {".mp4", RecordContainer::Mp4},
                   {".mkv", RecordContainer::Mkv},
                   {".mov", RecordContainer::Mov},
                   {".webm", RecordContainer::Webm}};
    for (const auto& ending : endings) {
        if (extension != ending.extension) continue;
        container = ending.container;
        return true;
    }
    return false;
}

// The containers each codec goes into and those where it is the codec without --codec.
struct VideoCodecInfo {
    const char* name;
    RecordVideo video;
    std::vector<RecordContainer> containers;
    std::vector<RecordContainer> usualIn;
    const char* where; // for the message when the container does not fit
};
const std::vector<VideoCodecInfo>& videoCodecs() {
    using C = RecordContainer;
    static const std::vector<VideoCodecInfo> codecs = {
        {"h264",
         RecordVideo::H264,
         {C::Mp4, C::Mov, C::Mkv},
         {C::Mp4, C::Mov, C::Mkv},
         ".mp4, .mov or .mkv"},
        {"vp9", RecordVideo::Vp9, {C::Webm, C::Mkv}, {C::Webm}, ".webm or .mkv"},
        {"ffv1", RecordVideo::Ffv1, {C::Mkv}, {}, ".mkv"},
        {"prores", RecordVideo::ProRes, {C::Mov}, {}, ".mov"},
        {"png", RecordVideo::Png, {C::Folder}, {C::Folder}, "a folder (a name ending in /)"},
    };
    return codecs;
}

bool holds(const std::vector<RecordContainer>& containers, RecordContainer container) {
    for (RecordContainer candidate : containers)
        if (candidate == container) return true;
    return false;
}

const std::vector<std::string> kBt709Tags = {"-colorspace", "bt709", "-color_primaries", "bt709",
                                             "-color_trc",  "bt709", "-color_range",     "tv"};

// The RGB frames into the BT.709 matrix at limited range, in the planar format given, the
// frames marked so (encoders that write the colour into each frame read it there).
std::string bt709Filter(const char* pixelFormat) {
    return std::string("vflip,scale=out_color_matrix=bt709:out_range=tv:"
                       "flags=accurate_rnd+full_chroma_int,format=") +
           pixelFormat +
           ",setparams=range=tv:color_primaries=bt709:color_trc=bt709:colorspace=bt709";
}

// A metadata value with ffmpeg's special characters escaped.
std::string metadataValue(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

bool recordsSoundOnly(const std::string& fileName) {
    return lowerCase(std::filesystem::path(fileName).extension().string()) == ".wav";
}

const char* pictureContainer(RecordFormat format) {
    // NUT keeps every frame's time as an exact multiple of D/N s for MP4 and MOV, which can
    // hold it; Matroska and WebM count in milliseconds anyway, and VP9 names its primaries and
    // transfer only in the container.
    bool exactTimes =
        format.container == RecordContainer::Mp4 || format.container == RecordContainer::Mov;
    return exactTimes && format.video != RecordVideo::Vp9 ? "nut" : "matroska";
}

bool parseFrameRate(const std::string& text, FrameRate& rate) {
    constexpr uint32_t kMaxTerm = 1000000;
    size_t slash = text.find('/');
    uint32_t frames = 0;
    uint32_t seconds = 1;
    if (!parseWhole(std::string_view(text).substr(0, slash), frames)) return false;
    if (slash != std::string::npos &&
        !parseWhole(std::string_view(text).substr(slash + 1), seconds))
        return false;
    if (frames == 0 || seconds == 0 || frames > kMaxTerm || seconds > kMaxTerm) return false;
    if (frames < seconds || uint64_t(frames) > uint64_t(kMaxFps) * seconds) return false;
    uint32_t common = std::gcd(frames, seconds);
    rate = {frames / common, seconds / common};
    return true;
}

std::string frameRateText(FrameRate rate) {
    std::string text = std::to_string(rate.frames);
    if (rate.seconds == 1) return text;
    text.push_back('/');
    text.append(std::to_string(rate.seconds));
    return text;
}

std::string resolveRecordFormat(const std::string& fileName, const std::string& codec,
                                uint32_t chroma, RecordFormat& format) {
    if (!containerOf(fileName, format.container))
        return "--record writes " + std::string(kRecordOutputs) + ", not '" + fileName + "'";
    const VideoCodecInfo* info = nullptr;
    for (const VideoCodecInfo& candidate : videoCodecs()) {
        bool named = codec.empty() ? holds(candidate.usualIn, format.container)
                                   : lowerCase(codec) == candidate.name;
        if (named) {
            info = &candidate;
            break;
        }
    }
    if (info == nullptr) return "--codec takes h264, vp9, ffv1, prores or png, not '" + codec + "'";
    if (!holds(info->containers, format.container))
        return "--codec " + std::string(info->name) + " is written into " + info->where +
               ", not '" + fileName + "'";
    format.video = info->video;
    format.fullChroma = chroma == 444;
    bool chromaChoice = info->video == RecordVideo::H264 || info->video == RecordVideo::Vp9;
    if (chroma != 0 && !chromaChoice)
        return "--chroma is for H.264 and VP9; " + std::string(info->name) +
               " keeps the colour of every pixel already";
    return {};
}

RecordingFiles recordingFiles(const std::string& finalName, RecordFormat format) {
    RecordingFiles files;
    if (format.container == RecordContainer::Folder) {
        std::string final = folderName(finalName);
        std::filesystem::path path(final);
        std::string name = path.filename().string();
        files.final = final;
        files.muxed = final + ".part";
        files.video = files.muxed + "/%06d.png";
        files.audio = files.muxed + "/" + name + ".wav";
        files.metadata = files.muxed + "/chapters.txt";
        files.log = final + ".ffmpeg.log";
        return files;
    }
    std::filesystem::path path(finalName);
    std::filesystem::path folderPath = path.parent_path();
    std::string stem = path.stem().string();
    std::string extension = path.extension().string();
    if (extension.empty()) extension = ".mp4";
    auto beside = [&folderPath](const std::string& name) { return (folderPath / name).string(); };
    bool matroska = std::string_view(pictureContainer(format)) == "matroska";
    files.video = beside(stem + (matroska ? ".video.part.mkv" : ".video.part.nut"));
    files.audio = beside(stem + ".audio.part.wav");
    files.metadata = beside(stem + ".meta.part.txt");
    files.muxed = beside(stem + ".part" + extension);
    files.log = beside(stem + ".ffmpeg.log");
    files.final = finalName;
    return files;
}

std::vector<std::string> encoderArguments(const std::string& ffmpeg, int width, int height,
                                          FrameRate rate, const std::string& videoFile,
                                          RecordFormat format) {
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
                                          frameRateText(rate),
                                          "-i",
                                          "pipe:0"};
    const char* lossyFormat = format.fullChroma ? "yuv444p" : "yuv420p";
    switch (format.video) {
        case RecordVideo::H264:
            arguments.insert(arguments.end(),
                             {"-vf", bt709Filter(lossyFormat), "-c:v", "libx264", "-preset",
                              std::string(kRecordPreset), "-crf", std::to_string(kRecordQuality)});
            break;
        case RecordVideo::Vp9:
            // libvpx at its real-time speed keeps pace with the renderer; constant quality.
            arguments.insert(arguments.end(),
                             {"-vf", bt709Filter(lossyFormat), "-c:v", "libvpx-vp9", "-deadline",
                              "realtime", "-cpu-used", "8", "-row-mt", "1", "-b:v", "0", "-crf",
                              std::to_string(kRecordVp9Quality)});
            break;
        case RecordVideo::ProRes:
            arguments.insert(arguments.end(),
                             {"-vf", bt709Filter("yuv444p10le"), "-c:v", "prores_ks", "-profile:v",
                              "4444", "-vendor", "apl0"});
            break;
        case RecordVideo::Ffv1:
            // Every frame a key frame in slices with checksums: an archive's lossless RGB.
            arguments.insert(arguments.end(), {"-vf", "vflip,format=bgr0", "-c:v", "ffv1", "-level",
                                               "3", "-g", "1", "-slices", "4", "-slicecrc", "1"});
            break;
        case RecordVideo::Png:
            arguments.insert(arguments.end(), {"-vf", "vflip,format=rgb24", "-c:v", "png",
                                               "-start_number", "0", "-f", "image2", videoFile});
            return arguments;
    }
    bool lossy = format.video == RecordVideo::H264 || format.video == RecordVideo::Vp9 ||
                 format.video == RecordVideo::ProRes;
    if (lossy) arguments.insert(arguments.end(), kBt709Tags.begin(), kBt709Tags.end());
    arguments.insert(arguments.end(), {"-f", pictureContainer(format), videoFile});
    return arguments;
}

std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::string& audioFile, const std::string& metadataFile,
                                      const std::string& outFile, RecordFormat format) {
    std::vector<std::string> arguments = {
        ffmpeg,  "-hide_banner",  "-loglevel", "error",         "-y",   "-i",    videoFile,
        "-i",    audioFile,       "-i",        metadataFile,    "-map", "0:v:0", "-map",
        "1:a:0", "-map_metadata", "2",         "-map_chapters", "2",    "-c:v",  "copy"};
    switch (format.video) {
        case RecordVideo::Ffv1:
            arguments.insert(arguments.end(), {"-c:a", "flac"});
            break;
        case RecordVideo::ProRes:
            arguments.insert(arguments.end(), {"-c:a", "pcm_s16le"});
            break;
        case RecordVideo::Vp9:
            arguments.insert(arguments.end(), {"-c:a", "libopus", "-b:a", "160k"});
            break;
        default:
            arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "192k"});
            break;
    }
    if (format.container == RecordContainer::Mp4 || format.container == RecordContainer::Mov)
        arguments.insert(arguments.end(), {"-movflags", "+faststart"});
    arguments.push_back(outFile);
    return arguments;
}

std::string recordingMetadata(int year, std::string_view version,
                              const std::vector<RecordChapter>& chapters, uint64_t frames,
                              FrameRate rate) {
    std::string text = ";FFMETADATA1\ntitle=FILM 03\nartist=KORAL\nauthor=KORAL\n";
    text += "date=" + std::to_string(year) + "\n";
    text += "comment=" + metadataValue("Recorded by film03 " + std::string(version)) + "\n";
    for (size_t i = 0; i < chapters.size(); ++i) {
        uint64_t end = i + 1 < chapters.size() ? chapters[i + 1].firstFrame : frames;
        if (end <= chapters[i].firstFrame) continue;
        text += "[CHAPTER]\nTIMEBASE=" + std::to_string(rate.seconds) + "/" +
                std::to_string(rate.frames) + "\n";
        text += "START=" + std::to_string(chapters[i].firstFrame) + "\n";
        text += "END=" + std::to_string(end) + "\n";
        text += "title=" + metadataValue(chapters[i].title) + "\n";
    }
    return text;
}

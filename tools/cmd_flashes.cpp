// demotool flashes: decodes a recording with ffmpeg (its frames as raw RGB through a pipe)
// and measures its flashes; prints each second with more than three, general or red.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system/process.h"
#include "tools/commands.h"
#include "tools/flash_measure.h"
#include "tools/tool_report.h"

namespace {

struct VideoShape {
    int width = 0;
    int height = 0;
    int fps = 0;
};

// The first video stream's size and frame rate (rounded to whole frames), as ffprobe says.
bool probeVideo(const std::string& path, VideoShape& shape) {
    ChildProcess child;
    std::string ffprobe = findProgram("ffprobe");
    if (ffprobe.empty() ||
        !startChildForOutput({ffprobe, "-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream=width,height,r_frame_rate", "-of", "csv=p=0", path},
                             "/dev/null", child))
        return false;
    std::string text;
    for (char c = 0; readFromChild(child, &c, 1);) text += c;
    int exitCode = finishChild(child);
    int rateNumerator = 0, rateDenominator = 0;
    if (exitCode != 0 || std::sscanf(text.c_str(), "%d,%d,%d/%d", &shape.width, &shape.height,
                                     &rateNumerator, &rateDenominator) != 4)
        return false;
    if (rateDenominator <= 0 || shape.width <= 0 || shape.height <= 0) return false;
    shape.fps = (rateNumerator + rateDenominator / 2) / rateDenominator;
    return shape.fps > 0 && shape.width <= 16384 && shape.height <= 16384;
}

} // namespace

int runFlashes(int argc, char** argv) {
    if (argc != 1) return toolFailure("usage: demotool flashes RECORDING");
    const std::string path = argv[0];
    if (!requireInputFile(path)) return 1;
    VideoShape shape;
    if (!probeVideo(path, shape))
        return toolFailure("\"" + path + "\" has no video stream ffprobe can read");
    ChildProcess decoder;
    std::string ffmpeg = findProgram("ffmpeg");
    if (ffmpeg.empty() ||
        !startChildForOutput({ffmpeg, "-v", "error", "-nostdin", "-i", path, "-map", "0:v:0", "-f",
                              "rawvideo", "-pix_fmt", "rgb24", "-"},
                             "/dev/null", decoder))
        return toolFailure("ffmpeg cannot be started");
    const int32_t pixels = shape.width * shape.height;
    std::vector<uint8_t> rgb(size_t(pixels) * 3);
    FlashMeasure measure;
    startFlashMeasure(measure, pixels, shape.fps);
    while (readFromChild(decoder, rgb.data(), rgb.size()))
        measureFlashFrame(measure, flashFrameFromRgb(rgb.data(), pixels));
    if (finishChild(decoder) != 0 || measure.frames == 0)
        return toolFailure("ffmpeg could not decode \"" + path + "\"");
    for (const FlashSecond& second : measure.failed)
        std::printf("second %d: %d %s flashes over a quarter of the picture; %.0f %% of it "
                    "flashes more than 3 times\n",
                    second.second, second.flashes, second.red ? "red" : "general",
                    double(second.area) * 100.0);
    std::printf("%s: %lld frames at %d fps, %d x %d: %zu seconds with more than 3 flashes; "
                "the most in one second: %d (second %d)\n",
                path.c_str(), static_cast<long long>(measure.frames), shape.fps, shape.width,
                shape.height, measure.failed.size(), measure.worst.flashes, measure.worst.second);
    return measure.failed.empty() ? 0 : 3;
}

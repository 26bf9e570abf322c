#include "app/options.h"

#include <charconv>

#ifndef FILM03_VERSION
#error "FILM03_VERSION comes from the build (app/CMakeLists.txt)"
#endif

namespace {

bool parseNumber(const std::string& text, uint32_t& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// "SEQ:MS".
bool parsePoint(const std::string& text, TimelinePoint& point) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    point.sequence = text.substr(0, colon);
    return parseNumber(text.substr(colon + 1), point.ms);
}

// "SEQ:MS,SEQ:MS,...".
bool parsePoints(const std::string& text, std::vector<TimelinePoint>& points) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        TimelinePoint point;
        if (!parsePoint(text.substr(start, comma - start), point)) return false;
        points.push_back(point);
        start = comma + 1;
    }
    return !points.empty();
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    auto fail = [&options](const std::string& why) {
        if (options.error.empty()) options.error = why;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        bool hasValue = i + 1 < arguments.size();
        auto value = [&]() -> std::string {
            if (!hasValue) {
                fail("option " + option + " needs a value");
                return {};
            }
            return arguments[++i];
        };
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--version") {
            options.version = true;
        } else if (option == "--batch") {
            options.batch = true;
        } else if (option == "--answer") {
            std::string answer = value();
            if (answer == "yes" || answer == "no")
                options.answerYes = answer == "yes";
            else
                fail("--answer takes yes or no, not '" + answer + "'");
        } else if (option == "--fixed-step") {
            std::string ms = value();
            if (!parseNumber(ms, options.fixedStepMs) || options.fixedStepMs == 0)
                fail("--fixed-step takes a number of milliseconds above 0, not '" + ms + "'");
        } else if (option == "--shots") {
            std::string list = value();
            if (!parsePoints(list, options.shots))
                fail("--shots takes a list like first:30000,end:4000, not '" + list + "'");
        } else if (option == "--record") {
            options.recordFile = value();
            if (options.recordFile.empty()) fail("--record needs a file name");
        } else if (option == "--fps") {
            std::string fps = value();
            if (!parseNumber(fps, options.fps) || options.fps == 0 || options.fps > 1000)
                fail("--fps takes a frame rate from 1 to 1000, not '" + fps + "'");
        } else if (option == "--benchmark") {
            options.benchmark = true;
            options.batch = true;
            if (hasValue && arguments[i + 1].rfind("--", 0) != 0)
                options.benchmarkFile = arguments[++i];
        } else if (option == "--seek") {
            std::string point = value();
            options.seek = parsePoint(point, options.seekTo);
            if (!options.seek) fail("--seek takes SEQ:MS, not '" + point + "'");
        } else {
            fail("unknown option '" + option + "'");
        }
    }
    if (!options.shots.empty() && options.fixedStepMs == 0) fail("--shots needs --fixed-step");
    return options;
}

std::string usageText() {
    return "Usage: film03 [OPTION]...\n"
           "FILM 03 by KORAL: a real-time 3D demo on the ZORX_OpenGL engine.\n"
           "Without options the configuration dialog opens and the demo plays.\n"
           "\n"
           "  --batch              no dialogs: the stored configuration is used, every message\n"
           "                       box is written to standard error and answered\n"
           "  --answer yes|no      the answer batch mode gives to questions (default yes)\n"
           "  --fixed-step MS      the clock advances by exactly MS milliseconds per frame\n"
           "  --shots LIST         with --fixed-step: PNG screenshots at the listed points,\n"
           "                       e.g. first:30000,second:20000,end:4000\n"
           "  --record FILE        render the whole demo at a fixed frame rate into a video\n"
           "  --fps N              frame rate of --record (default 30)\n"
           "  --benchmark [FILE]   run the timeline as fast as possible and write timings as\n"
           "                       JSON (to FILE or standard output); implies --batch\n"
           "  --seek SEQ:MS        start at a point of the timeline\n"
           "  --help               show this help and exit\n"
           "  --version            show the version and exit\n";
}

std::string versionText() {
    return std::string("film03 (FILM 03 by KORAL) ") + FILM03_VERSION + "\nZORX_OpenGL engine\n";
}

// demotool: builds the demo's data and packs, lists, extracts and inspects its files.
#include <cstdio>
#include <cstring>
#include <exception>

#include "tools/commands.h"
#include "tools/scene_view.h"
#include "tools/tool_report.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command kCommands[] = {
    {"pack", runPack, "pack OUT.dat FILE...            write a bigfile holding the files"},
    {"list", runList, "list ARCHIVE                    name and size of every entry"},
    {"extract", runExtract, "extract ARCHIVE NAME [OUT]      copy one entry to a file"},
    {"decode", runDecode, "decode IN OUT.png [--colour-key] decode an image to RGBA PNG"},
    {"inspect", runInspect, "inspect FILE.3ds [--no-textures] [--json]  what a scene holds"},
    {"view", runView,
     "view FILE.3ds [--camera NAME] [--frame F] [--size WxH] [--no-textures]\n"
     "       [--shot OUT.png] [--frames N]  draw a scene: a window plays its animation,\n"
     "                                  --shot writes one picture, --frames N times N frames"},
    {"mix", runMix, "mix IN OUT.wav [--rate R] [--volume V]  render a sound to WAV"},
    {"flashes", runFlashes,
     "flashes RECORDING               seconds of a video with more than 3 flashes (exit 3)"},
    {"build-data", runBuildData, "build-data [--preview] OUTDIR    make every asset of the demo"},
    {"resources", runResources,
     "resources OUTDIR                the program's icon and dialog bitmaps"},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: demotool COMMAND [ARGS]\n       demotool --help | --version\n\n"
                      "commands:\n");
    for (const Command& command : kCommands) std::fprintf(out, "  %s\n", command.usage);
    std::fprintf(out, "\nin the window of view:\n");
    for (const ViewControl& control : kViewControls)
        std::fprintf(out, "  %-18s %s\n", control.input, control.action);
    std::fprintf(out, "\nErrors are one line each on standard error: demotool: COMMAND: what went "
                      "wrong.\nExit status: 0 done, 1 failed, 2 a mistake on the command line.\n");
}

// Runs the command; an exception that escapes it (none should) still ends in one line.
int runCommand(const Command& command, int argc, char** argv) {
    startToolReports(command.name);
    try {
        return command.run(argc, argv);
    } catch (const std::exception& error) {
        return toolFailure(std::string("internal error: ") + error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("demotool (FILM 03 by KORAL) %s\nZORX_OpenGL engine\n", DEMOTOOL_VERSION);
        return 0;
    }
    for (const Command& command : kCommands)
        if (std::strcmp(argv[1], command.name) == 0) return runCommand(command, argc - 2, argv + 2);
    std::fprintf(stderr, "demotool: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}

// demotool: builds the demo's data and packs, lists, extracts and inspects its files.
#include <cstdio>
#include <cstring>

#include "platform/failure.h"
#include "tools/commands.h"

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
    {"build-data", runBuildData, "build-data [--preview] OUTDIR    make every asset of the demo"},
    {"resources", runResources,
     "resources OUTDIR                the program's icon and dialog bitmaps"},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: demotool COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& command : kCommands) std::fprintf(out, "  %s\n", command.usage);
}

} // namespace

int main(int argc, char** argv) {
    failureState.batch = true;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command& command : kCommands)
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    std::fprintf(stderr, "demotool: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}

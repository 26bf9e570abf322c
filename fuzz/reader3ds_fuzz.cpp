// Fuzz target of the 3DS reader: any bytes as a scene file, without textures or GL. A fatal
// report ends the input instead of the process; after every input the registry is emptied
// and the accounted memory must be back where it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "scene/scene_graph.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"

namespace {

struct FatalReport {};

bool recordBox(BoxKind kind, std::string_view, std::string_view) {
    if (kind == BoxKind::Fatal) throw FatalReport{};
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        failureState.boxRecorder = recordBox;
        reader3dsState.loadTextures = false;
        initSceneGraph();
        return true;
    }();
    (void)ready;
    uint32_t before = memoryState.accountedBytes;
    try {
        load3dsSceneFromMemory("fuzz.3ds", data, uint32_t(size), "", "", -1, &sceneGraphState.root);
    } catch (const FatalReport&) {
    }
    deleteAllObjects();
    if (memoryState.accountedBytes != before) {
        std::fprintf(stderr, "accounted memory not given back: %u bytes before, %u after\n", before,
                     memoryState.accountedBytes);
        std::abort();
    }
    return 0;
}

// The PCX decoder on arbitrary files.
#include "fatal_escape.h"
#include "resources/images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    imageState.maxImageBytes = 64u << 20;
    std::string path = writeInput("IN.PCX", data, size);
    TextureRecord record;
    runFuzzInput([&] { decodePcx(record, path, "", size % 2 == 0); },
                 [&] { releasePixels(record); });
    return 0;
}

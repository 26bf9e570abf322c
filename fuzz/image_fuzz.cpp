// The PNG, JPEG and TIFF decode call on arbitrary data from memory.
#include "fatal_escape.h"
#include "resources/images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    imageState.maxImageBytes = 64u << 20;
    TextureRecord record;
    runFuzzInput([&] { decodeImageData(record, data, size, size % 2 == 0); },
                 [&] { releasePixels(record); });
    return 0;
}

// The UNC reader on arbitrary files, loose and as a bigfile entry, and the texture cache's
// reader, which reports nothing fatal at all: it either fills the record or says why not.
#include <string>

#include "fatal_escape.h"
#include "resources/bigfile.h"
#include "resources/images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    imageState.maxImageBytes = 64u << 20;
    std::string loose = writeInput("IN.UNC", data, size);
    std::string header = std::string(kBigfileBeginMarker) + "in.unc;x;" + std::to_string(size) +
                         "\n" + std::string(kBigfileEndMarker);
    std::string archive = header + std::string(reinterpret_cast<const char*>(data), size);
    std::string bigfile =
        writeInput("IN.DAT", reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
    for (int fromArchive = 0; fromArchive < 2; ++fromArchive) {
        TextureRecord record;
        runFuzzInput(
            [&] {
                if (fromArchive)
                    readUnc(record, "in.unc", bigfile, size % 2 == 0);
                else
                    readUnc(record, loose, "", size % 2 == 0);
            },
            [&] { releasePixels(record); });
    }
    TextureRecord cached;
    uint32_t start = memoryState.accountedBytes;
    setBoxRecorder(nullptr); // a fatal report here ends the run: it is a finding
    std::string problem = readUncCache(cached, loose);
    if (problem.empty() != cached.pixelsLoaded) std::abort();
    releasePixels(cached);
    if (memoryState.accountedBytes != start) std::abort();
    return 0;
}

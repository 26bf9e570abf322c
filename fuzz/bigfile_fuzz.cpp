// The bigfile directory scan and entry reads on arbitrary archives.
#include "fatal_escape.h"
#include "resources/bigfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string archive = writeInput("IN.DAT", data, size);
    std::vector<BigfileEntry> entries;
    runFuzzInput([&] { entries = listBigfileEntries(archive); }, [] {});
    if (entries.size() > 8) entries.resize(8);
    entries.push_back({"font.png", 0, 0});
    for (const BigfileEntry& entry : entries) {
        uint8_t* buffer = nullptr;
        runFuzzInput([&] { getEntrySize(archive, entry.name); }, [] {});
        runFuzzInput(
            [&] {
                uint32_t length = loadEntry(entry.name, archive, buffer);
                accountedFree(buffer, length);
            },
            [&] { std::free(buffer); });
        buffer = nullptr;
        runFuzzInput(
            [&] {
                uint32_t trailer = 0;
                uint32_t length = loadEntryWithTrailer(entry.name, archive, buffer, trailer);
                accountedFree(buffer, length);
            },
            [&] { std::free(buffer); });
        uint8_t window[16];
        runFuzzInput([&] { readEntryRange(archive, entry.name, window, entry.size / 2, 8); },
                     [] {});
    }
    return 0;
}

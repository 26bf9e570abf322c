// Fuzz harness support: a fatal report must not end the fuzzing process. The box recorder
// turns it into an exception that the harness catches; everything an input leaves behind is
// then given back by the harness, and the accounted byte count must come back to its start.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/system/failure.h"
#include "platform/system/memory.h"

struct FatalReport {};

inline bool throwOnFatal(BoxKind kind, std::string_view, std::string_view) {
    if (kind == BoxKind::Fatal) throw FatalReport{};
    return true;
}

// A private folder for the input files, named in capitals because the image producers
// upper-case the names they are given.
inline const std::string& fuzzFolder() {
    static const std::string folder = [] {
        std::string path = "/tmp/ZORX-FUZZ-" + std::to_string(::getpid());
        ::mkdir(path.c_str(), 0700);
        return path + "/";
    }();
    return folder;
}

// Runs one input. step returns normally or through a fatal
// report; cleanup frees whatever the input may still hold. A clean run must balance.
template <typename Step, typename Cleanup> void runFuzzInput(Step step, Cleanup cleanup) {
    failureState.boxRecorder = throwOnFatal;
    uint32_t start = memoryState.accountedBytes;
    bool fatal = false;
    try {
        step();
    } catch (const FatalReport&) {
        fatal = true;
    }
    cleanup();
    if (fatal)
        memoryState.accountedBytes = start; // blocks the input left were freed raw
    else if (memoryState.accountedBytes != start)
        std::abort();
}

// Writes the input file and returns its path.
inline std::string writeInput(const char* name, const uint8_t* data, size_t size) {
    std::string path = fuzzFolder() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

// The configuration file as it may be found: any length, any bytes. Loading, applying and
// using the values must never fail.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/configuration.h"
#include "platform/display_modes.h"
#include "platform/system/failure.h"
#include "platform/window.h"

namespace {
bool ignoreBox(BoxKind, std::string_view, std::string_view) {
    return true;
}

// Each input is tried in a folder of its own, made once; the fuzzer's own working folder
// is restored afterwards (it reads its corpus by relative paths).
struct InScratchFolder {
    InScratchFolder() {
        static std::string scratch;
        if (scratch.empty()) {
            char pattern[] = "/tmp/zorx-configuration-fuzz-XXXXXX";
            if (mkdtemp(pattern) == nullptr) std::abort();
            scratch = pattern;
        }
        previous = getcwd(nullptr, 0);
        if (previous == nullptr || chdir(scratch.c_str()) != 0) std::abort();
    }
    ~InScratchFolder() {
        if (chdir(previous) != 0) std::abort();
        std::free(previous);
    }
    char* previous;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InScratchFolder inScratch;
    failureState.boxRecorder = ignoreBox;
    std::FILE* file = std::fopen(kConfigFileName, "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    configState = ConfigState{};
    loadConfiguration();
    applyConfiguration();
    const RunningSettings& running = configState.running;
    GammaRamp ramp = buildGammaRamp(configState.record.block1.gamma);
    if (ramp.red[255] > 0xFF00) std::abort();
    volatile int samples = samplesForSetting(running.multisampling);
    volatile const char* name = multisamplingName(running.multisampling);
    (void)samples, (void)name;
    std::string text =
        displayModeText(running.screenWidth, running.screenHeight, running.refreshRate);
    saveConfiguration();
    return 0;
}

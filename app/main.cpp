// film03: the demo program's entry point.
#include <cstdio>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/options.h"
#include "app/run_plan.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    RunPlan plan = resolveRunPlan(options);
    if (options.error.empty()) options.error = plan.error;
    if (!options.error.empty()) {
        std::fprintf(stderr, "film03: %s\nTry 'film03 --help' for more information.\n",
                     options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    if (options.countFrames) {
        std::printf("%llu %s\n", static_cast<unsigned long long>(captureFrames(plan)),
                    frameRateText(plan.rate).c_str());
        return 0;
    }
    return runDemo(options);
}

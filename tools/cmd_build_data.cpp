// Not built yet: the command reports that and fails.
#include <cstdio>

#include "tools/commands.h"

int runBuildData(int, char**) {
    std::fprintf(stderr, "demotool: this command is not built yet\n");
    return 2;
}


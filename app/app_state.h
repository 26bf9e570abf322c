// What the start-up sequence keeps for the phases after it: the bigfile every asset is read
// from, whether the configuration dialog was confirmed, and the phase the run is in. One
// instance, appState, defined with the start-up sequence.
#pragma once

#include <string>

#include "app/file_locations.h"

struct AppState {
    bool startFlag = false; // the configuration dialog was confirmed
    // The bigfile every asset is read from: the working folder's "Film_03.dat", else the
    // installed one (see app/file_locations.h). The loading phase passes it as the archive.
    std::string archive = kArchiveFileName;
    // The phase before any frame is drawn, for the line a stopped run ends with.
    const char* phase = "start-up";
};
extern AppState appState;

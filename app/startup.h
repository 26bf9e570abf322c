// The demo from start to end: one straight sequence of start-up steps, the phases, and the
// shutdown in reverse. Each phase owns its frame loop.
#pragma once

#include "app/options.h"

struct AppState {
    bool useOwnIcon = false; // windows and dialogs use the program's own icon
    bool startFlag = false;  // the configuration dialog was confirmed
};
extern AppState appState;

// Full screen: switches the display mode; where that fails with no known reason, offers
// windowed mode. False when the user declines (the configuration is then saved). Windowed
// runs leave the display alone.
bool setUpDisplayMode();

// Runs the demo; the result is the program's exit code.
int runDemo(const Options& options);

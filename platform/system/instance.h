// Only one copy of the demo runs per user and display. The first start listens on an
// abstract UNIX socket named after the main window class and the window title; a second
// start asks it to come to the front, says so on standard error and ends with exit code 0
// before reading any file. The first raises the dialog it shows (configuration or loading),
// else its main window.
#pragma once

#include <string>

struct InstanceState {
    int listenSocket = -1;
    // Filled while a dialog of the program is up: raises it (false when there is none).
    bool (*raiseDialog)() = nullptr;
};
extern InstanceState instanceState;

// The socket's name (without the leading zero byte of an abstract name). FILM03_INSTANCE,
// when set, is appended so that independent copies (test runs) do not meet.
std::string instanceSocketName();

// Returns when this is the only copy; otherwise raises the running one and exits with 0.
inline constexpr const char* kAlreadyRunning =
    "film03: FILM 03 is already running; it was asked to come to the front\n";
void ensureSingleInstance();

// Serves waiting requests of later starts: raises the dialog that is up; true when one came
// and no dialog took it, so the caller raises the main window. Called by the pumps.
bool pollInstanceRequests();

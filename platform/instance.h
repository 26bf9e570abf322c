// Only one copy of the demo runs per user and display. The first start listens on an
// abstract UNIX socket named after the main window class and the window title; a second
// start asks it to raise its window and ends with exit code 0 before reading any file.
#pragma once

#include <string>

struct InstanceState {
    int listenSocket = -1;
};
extern InstanceState instanceState;

// The socket's name (without the leading zero byte of an abstract name). FILM03_INSTANCE,
// when set, is appended so that independent copies (test runs) do not meet.
std::string instanceSocketName();

// Returns when this is the only copy; otherwise raises the running one and exits with 0.
void ensureSingleInstance();

// Serves waiting requests of later starts (raises the main window). Called by the pump.
void pollInstanceRequests();

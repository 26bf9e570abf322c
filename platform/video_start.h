// Starting SDL's video subsystem: a Wayland session's own windows where it has a compositor,
// the program's handler for a lost display connection, the GL library kept loaded, and the
// cursor as the program left it.
#pragma once

// Starts SDL's video subsystem; its failure is the fatal "Creating new window failed" report.
void startVideo();
// The fatal "Creating new window failed" report.
[[noreturn]] void windowCreationFailed();

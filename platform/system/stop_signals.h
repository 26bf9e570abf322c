// Ctrl+C (SIGINT), SIGTERM and SIGHUP stop a run the way Escape ends each phase. The first
// such signal is only noted: the dialogs, the loading phase and every frame loop ask
// stopRequested() and end as Cancel or Escape would end them, the normal shutdown puts the
// desktop back, and the program ends with 128 + the signal. A second one within 2 s ends the
// program at once: the immediate-end hooks put back what must not stay behind (the desktop's
// gamma ramp and display mode, half-written files) and the process ends with 128 + that
// signal. A signal while that end is under way, or a hook that does not return within a
// second, gives way to the signal's default action.
#pragma once

#include <cstdint>

inline constexpr uint64_t kImmediateEndMs = 2000;

enum class StopVerdict {
    Note,      // the run stops at the next check of every loop
    EndAtOnce, // the immediate end
};
// What a stop signal at nowMs does when the one before it (if `noted`) came at notedAtMs
// (0: it is being noted at this moment, on another thread). A signal more than 2 s after the
// one before is noted again, so that two quick ones still end a program whose shutdown
// hangs.
StopVerdict judgeStopSignal(bool noted, uint64_t notedAtMs, uint64_t nowMs);

// Catches the three signals (those the starting shell ignores stay ignored) and tells SDL to
// leave them alone; call before SDL starts.
void installStopSignals();
// The first stop signal, 0 while none came.
int stopSignal();
bool stopRequested();
// 128 + the stop signal, the program's result after a stop.
int stopExitCode();
// "SIGINT", "SIGTERM", "SIGHUP" ("a signal" for any other).
const char* stopSignalName(int signal);

// Adds work for the immediate end (at most four hooks, run in the order added). A hook runs
// on a thread of its own while the main thread may be anywhere, even inside a library: it may
// use only what was prepared for it beforehand, with connections and files of its own.
void addImmediateEndHook(void (*hook)());

// Ends the process with exitCode after the immediate-end hooks (at most a second of them).
// Exactly one thread ends it: any other that calls this later waits for that end.
[[noreturn]] void endProcessAtOnce(int exitCode);

// A descriptor that becomes readable at every stop signal, for loops that sleep until
// something happens (-1 before installStopSignals); drainStopWake empties it.
int stopWakeDescriptor();
void drainStopWake();

// The line a run ends with when it cannot end through its own shutdown (the display
// connection was lost); set by the program, written by writeLastLine.
void setLastLine(void (*writeLastLine)());
void writeLastLine();

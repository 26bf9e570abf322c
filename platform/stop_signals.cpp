#include "platform/stop_signals.h"

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kMaxHooks = 4;

struct StopSignalState {
    std::atomic<int> signal{0};         // the first stop signal, 0 while none came
    std::atomic<uint64_t> notedAtMs{0}; // when the last one was noted
    int endPipe[2] = {-1, -1};          // the handler asks the ending thread through it
    void (*hooks[kMaxHooks])() = {};
    std::atomic<int> hookCount{0};
    bool installed = false;
};
StopSignalState stopSignalState;

// The handler touches nothing but these atomics, the clock and the pipe.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free);

uint64_t monotonicMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

// Runs in signal context: only async-signal-safe work (lock-free atomics, clock_gettime,
// write). Everything else happens in the frame loops or on the ending thread.
void onStopSignal(int signal) {
    int savedErrno = errno;
    StopSignalState& state = stopSignalState;
    uint64_t now = monotonicMs();
    // Signals that arrive together may be handled on two threads at once: exactly one of
    // them is the first.
    int none = 0;
    bool first = state.signal.compare_exchange_strong(none, signal);
    if (first) {
        state.notedAtMs.store(now);
    } else if (judgeStopSignal(true, state.notedAtMs.load(), now) == StopVerdict::EndAtOnce) {
        unsigned char number = static_cast<unsigned char>(signal);
        ssize_t ignored = write(state.endPipe[1], &number, 1);
        (void)ignored;
    } else {
        state.notedAtMs.store(now);
    }
    errno = savedErrno;
}

// The ending thread: waits for the handler's word, runs the hooks and ends the process
// without the normal shutdown. Being an ordinary thread, its hooks may use the X library and
// files on connections of their own, which a signal handler could not.
void endAtOnceWhenAsked() {
    StopSignalState& state = stopSignalState;
    unsigned char number = 0;
    while (read(state.endPipe[0], &number, 1) != 1) {
        if (errno != EINTR) return;
    }
    int count = state.hookCount.load();
    for (int i = 0; i < count; ++i) state.hooks[i]();
    _exit(128 + number);
}

// Those the starting shell ignores (nohup, background jobs) stay ignored.
bool ignoredAtStart(int signal) {
    struct sigaction current = {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

StopVerdict judgeStopSignal(bool noted, uint64_t notedAtMs, uint64_t nowMs) {
    if (!noted) return StopVerdict::Note;
    bool beingNoted = notedAtMs == 0;
    return beingNoted || nowMs - notedAtMs <= kImmediateEndMs ? StopVerdict::EndAtOnce
                                                              : StopVerdict::Note;
}

void installStopSignals() {
    StopSignalState& state = stopSignalState;
    if (state.installed) return;
    state.installed = true;
    // SDL would turn SIGINT and SIGTERM into quit events; the program decides what they do.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Without the pipe or the thread a second signal is only noted again.
    if (pipe2(state.endPipe, O_CLOEXEC) == 0) std::thread(endAtOnceWhenAsked).detach();
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kStopSignals)
        if (!ignoredAtStart(signal)) sigaction(signal, &action, nullptr);
}

int stopSignal() {
    return stopSignalState.signal.load();
}

bool stopRequested() {
    return stopSignal() != 0;
}

int stopExitCode() {
    return 128 + stopSignal();
}

const char* stopSignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

void addImmediateEndHook(void (*hook)()) {
    StopSignalState& state = stopSignalState;
    int count = state.hookCount.load();
    if (count >= kMaxHooks) return;
    state.hooks[count] = hook;
    state.hookCount.store(count + 1);
}

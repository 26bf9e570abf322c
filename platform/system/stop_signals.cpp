#include "platform/system/stop_signals.h"

#include <SDL.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <type_traits>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kMaxHooks = 4;

struct StopSignalState {
    std::atomic<int> signal{0};          // the first stop signal, 0 while none came
    std::atomic<uint64_t> notedAtMs{0};  // when the last one was noted
    std::atomic<int> endingSignal{0};    // the signal the immediate end was asked with
    std::atomic<bool> endClaimed{false}; // a thread is ending the process
    std::atomic<int> endingCode{1};      // its exit code
    int endPipe[2] = {-1, -1};           // the handler asks the ending thread through it
    int wakePipe[2] = {-1, -1};          // one byte per stop signal, for loops that wait
    void (*hooks[kMaxHooks])() = {};
    std::atomic<int> hookCount{0};
    void (*lastLine)() = nullptr;
    bool installed = false;
};
// The handler and the ending thread read it until the process is gone.
static_assert(std::is_trivially_destructible_v<StopSignalState>);
StopSignalState stopSignalState;

// The handler touches nothing but these atomics, the clock and the pipe.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free);

uint64_t monotonicMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

// The default action of the signal: the process ends as if it had never caught it.
void endByDefaultAction(int signal) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
}

// The immediate end takes longer than a second (a restore hook blocks): it gives way to the
// default action of its signal.
void onEndTimeout(int) {
    int signal = stopSignalState.endingSignal.load();
    if (signal != 0) endByDefaultAction(signal);
    _exit(stopSignalState.endingCode.load());
}

// Runs in signal context: only async-signal-safe work (lock-free atomics, clock_gettime,
// write, sigaction, raise). Everything else happens in the frame loops or on the ending
// thread.
void onStopSignal(int signal) {
    int savedErrno = errno;
    StopSignalState& state = stopSignalState;
    // A signal after the immediate end was asked for: the end hangs, the default action ends
    // the process.
    if (state.endingSignal.load() != 0 || state.endClaimed.load()) endByDefaultAction(signal);
    uint64_t now = monotonicMs();
    // Signals that arrive together may be handled on two threads at once: exactly one of
    // them is the first.
    int none = 0;
    bool first = state.signal.compare_exchange_strong(none, signal);
    if (first) {
        state.notedAtMs.store(now);
    } else if (judgeStopSignal(true, state.notedAtMs.load(), now) == StopVerdict::EndAtOnce) {
        state.endingSignal.store(signal);
        unsigned char number = static_cast<unsigned char>(signal);
        ssize_t ignored = write(state.endPipe[1], &number, 1);
        (void)ignored;
    } else {
        state.notedAtMs.store(now);
    }
    // The loops woken here look at the stop request at once: it is noted before the wake (a
    // loop that woke first and found none would sleep on an emptied descriptor).
    unsigned char wake = 1;
    ssize_t woken = write(state.wakePipe[1], &wake, 1);
    (void)woken;
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
    endProcessAtOnce(128 + number);
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
    if (pipe2(state.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) state.wakePipe[0] = -1;
    struct sigaction timeout = {};
    timeout.sa_handler = onEndTimeout;
    sigemptyset(&timeout.sa_mask);
    sigaction(SIGALRM, &timeout, nullptr);
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

int stopWakeDescriptor() {
    return stopSignalState.wakePipe[0];
}

void drainStopWake() {
    unsigned char bytes[64];
    int fd = stopSignalState.wakePipe[0];
    while (fd >= 0 && read(fd, bytes, sizeof bytes) > 0) {
    }
}

void setLastLine(void (*writeLastLine)()) {
    stopSignalState.lastLine = writeLastLine;
}

void writeLastLine() {
    if (stopSignalState.lastLine != nullptr) stopSignalState.lastLine();
}

void endProcessAtOnce(int exitCode) {
    StopSignalState& state = stopSignalState;
    // Exactly one thread ends the process; another one that gets here waits for that end. The
    // ending thread itself gets here again when a hook fails the same way (its own display
    // connection is lost too): it ends at once.
    static thread_local bool endingHere = false;
    bool expected = false;
    if (!state.endClaimed.compare_exchange_strong(expected, true)) {
        if (endingHere) _exit(state.endingCode.load());
        for (;;) pause();
    }
    endingHere = true;
    state.endingCode.store(exitCode);
    // Hooks that do not return within a second give way to the default action.
    alarm(1);
    int count = state.hookCount.load();
    for (int i = 0; i < count; ++i) state.hooks[i]();
    _exit(exitCode);
}

void addImmediateEndHook(void (*hook)()) {
    StopSignalState& state = stopSignalState;
    int count = state.hookCount.load();
    if (count >= kMaxHooks) return;
    state.hooks[count] = hook;
    state.hookCount.store(count + 1);
}

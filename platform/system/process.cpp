#include "platform/system/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The big frames of a recording pass in fewer, larger writes through a wider pipe.
constexpr int kPipeBytes = 1 << 20;

} // namespace

std::string findProgram(std::string_view name) {
    std::string wanted(name);
    if (wanted.empty()) return {};
    if (wanted.find('/') != std::string::npos) return isExecutableFile(wanted) ? wanted : "";
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t colon = folders.find(':', start);
        if (colon == std::string::npos) colon = folders.size();
        std::string folder = folders.substr(start, colon - start);
        std::string candidate = (folder.empty() ? "." : folder) + "/" + wanted;
        if (isExecutableFile(candidate)) return candidate;
        start = colon + 1;
    }
    return {};
}

namespace {

enum class ChildPipe { None, Input, Output };

bool spawnChild(const std::vector<std::string>& arguments, const std::string& logFile,
                ChildPipe piped, ChildProcess& child) {
    child = ChildProcess{};
    if (arguments.empty()) return false;
    int pipeEnds[2] = {-1, -1};
    if (piped != ChildPipe::None && pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    // The child's end of the pipe and the parent's.
    int childEnd = piped == ChildPipe::Input ? pipeEnds[0] : pipeEnds[1];
    int parentEnd = piped == ChildPipe::Input ? pipeEnds[1] : pipeEnds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (piped == ChildPipe::Input)
        posix_spawn_file_actions_adddup2(&actions, childEnd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    if (piped == ChildPipe::Output)
        posix_spawn_file_actions_adddup2(&actions, childEnd, 1);
    else
        posix_spawn_file_actions_adddup2(&actions, 2, 1);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // A process group of its own: Ctrl+C at the terminal goes to the program, which then
    // finishes the child's work itself, instead of ending the child under it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (piped != ChildPipe::None) close(childEnd);
    if (error != 0) {
        if (piped != ChildPipe::None) close(parentEnd);
        return false;
    }
    child.pid = pid;
    if (piped == ChildPipe::Output) child.output = parentEnd;
    if (piped == ChildPipe::Input) {
        child.input = parentEnd;
        fcntl(child.input, F_SETPIPE_SZ, kPipeBytes); // a wish: the default size also works
        // A child that stops reading must show as a failed write, not end this process.
        signal(SIGPIPE, SIG_IGN);
    }
    return true;
}

} // namespace

bool startChild(const std::vector<std::string>& arguments, const std::string& logFile,
                bool withInput, ChildProcess& child) {
    return spawnChild(arguments, logFile, withInput ? ChildPipe::Input : ChildPipe::None, child);
}

bool startChildForOutput(const std::vector<std::string>& arguments, const std::string& logFile,
                         ChildProcess& child) {
    return spawnChild(arguments, logFile, ChildPipe::Output, child);
}

bool readFromChild(ChildProcess& child, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0 && child.output >= 0) {
        ssize_t got = read(child.output, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= size_t(got);
    }
    return size == 0;
}

bool writeToChild(ChildProcess& child, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && child.input >= 0) {
        ssize_t written = write(child.input, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return size == 0;
}

namespace {

int waitForChild(ChildProcess& child) {
    if (child.pid < 0) return -1;
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0) {
        if (errno != EINTR) {
            child.pid = -1;
            return -1;
        }
    }
    child.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int finishChild(ChildProcess& child) {
    if (child.input >= 0) close(child.input);
    if (child.output >= 0) close(child.output);
    child.input = child.output = -1;
    return waitForChild(child);
}

void killChild(ChildProcess& child) {
    if (child.input >= 0) close(child.input);
    if (child.output >= 0) close(child.output);
    child.input = child.output = -1;
    if (child.pid >= 0) kill(child.pid, SIGKILL);
    waitForChild(child);
}

int reserveStandardOutput() {
    std::fflush(stdout);
    int kept = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (kept < 0) return -1;
    if (dup2(2, 1) < 0) {
        close(kept);
        return -1;
    }
    return kept;
}

bool writeAll(int descriptor, const void* data, size_t size) {
    ChildProcess target;
    target.input = descriptor;
    return writeToChild(target, data, size);
}

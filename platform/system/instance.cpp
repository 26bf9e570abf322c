#include "platform/system/instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system/program_names.h"

InstanceState instanceState;

namespace {

socklen_t fillAddress(sockaddr_un& address, const std::string& name) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length); // sun_path[0] = 0: abstract
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

bool tryListen(const sockaddr_un& address, socklen_t length) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return true; // no sockets: run without the single-instance test
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 && listen(fd, 4) == 0) {
        instanceState.listenSocket = fd;
        return true;
    }
    int error = errno;
    close(fd);
    return error != EADDRINUSE;
}

// Asks the running copy to raise its window; false when nobody answers.
bool askRunningCopy(const sockaddr_un& address, socklen_t length) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool reached = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    if (reached) {
        // The running copy may take the connection and close it before the request is
        // written: that must not end this start through SIGPIPE.
        const char request[] = "raise\n";
        ssize_t ignored = send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
        (void)ignored;
    }
    close(fd);
    return reached;
}

} // namespace

std::string instanceSocketName() {
    std::string name = kMainWindowClass;
    name += '|';
    name += kWindowTitle;
    name += '|';
    name += std::to_string(getuid());
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') display = std::getenv("WAYLAND_DISPLAY");
    name += '|';
    if (display != nullptr) name += display;
    const char* tag = std::getenv("FILM03_INSTANCE");
    if (tag != nullptr && *tag != '\0') {
        name += '|';
        name += tag;
    }
    return name;
}

void ensureSingleInstance() {
    if (instanceState.listenSocket >= 0) return;
    sockaddr_un address;
    socklen_t length = fillAddress(address, instanceSocketName());
    // Two attempts: the other copy may be ending between our bind and our connect.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (tryListen(address, length)) return;
        if (askRunningCopy(address, length)) {
            std::fputs(kAlreadyRunning, stderr);
            std::exit(0);
        }
    }
}

bool pollInstanceRequests() {
    if (instanceState.listenSocket < 0) return false;
    bool raiseMain = false;
    int client;
    while ((client = accept4(instanceState.listenSocket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
        close(client);
        if (instanceState.raiseDialog == nullptr || !instanceState.raiseDialog()) raiseMain = true;
    }
    return raiseMain;
}

#include "support/x_watch.h"

#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <chrono>
#include <cstring>

PrivateDisplay::PrivateDisplay(std::vector<std::string> server) {
    int ends[2] = {-1, -1};
    if (pipe(ends) != 0) return;
    server.insert(server.begin() + 1, {"-displayfd", std::to_string(ends[1])});
    pid_ = fork();
    if (pid_ == 0) {
        // A test program that ends in any way takes its server with it, so that nothing
        // keeps the test runner's pipes open.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(ends[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM); // a test that crashes leaves no server behind
        if (!freopen("/dev/null", "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(126);
        std::vector<char*> argv;
        for (std::string& word : server) argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);
    // Xvfb writes its display number and a line feed once it takes connections.
    std::string number;
    pollfd input = {ends[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && poll(&input, 1, 30000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ends[0]);
    if (c == '\n' && !number.empty()) name_ = ":" + number;
}

PrivateDisplay::~PrivateDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

namespace {

void recorded(char* closure, XRecordInterceptData* data) {
    auto* watch = reinterpret_cast<ColourMapWatch*>(closure);
    const auto* bytes = static_cast<const char*>(static_cast<void*>(data->data));
    size_t length = size_t(data->data_len) * 4;
    if (data->category == XRecordStartOfData) watch->recording = true;
    if (data->category == XRecordFromClient && length >= 8 && bytes[0] == X_StoreColors) {
        uint32_t map = 0;
        std::memcpy(&map, bytes + 4, 4);
        watch->stores[map].emplace_back(bytes + 8, length - 8);
    }
    XRecordFreeData(data);
}

} // namespace

ColourMapWatch::ColourMapWatch(const std::string& displayName) {
    control_ = XOpenDisplay(displayName.c_str());
    data_ = XOpenDisplay(displayName.c_str());
    if (control_ == nullptr || data_ == nullptr) return;
    XRecordRange* range = XRecordAllocRange();
    range->core_requests = {X_StoreColors, X_StoreColors};
    XRecordClientSpec clients = XRecordAllClients;
    context_ = XRecordCreateContext(control_, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control_, False);
    if (context_ == 0) return;
    // The recording connection serves the callback until the context is disabled; the
    // recording counts from its start-of-data message.
    thread_ = std::thread(
        [this] { XRecordEnableContext(data_, context_, recorded, reinterpret_cast<char*>(this)); });
    for (int i = 0; i < 500 && !recording; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ColourMapWatch::finish() {
    if (!thread_.joinable()) return;
    // A round trip first: the server has then passed on every store it handled before.
    XSync(control_, False);
    XRecordDisableContext(control_, context_);
    XSync(control_, False);
    thread_.join();
}

ColourMapWatch::~ColourMapWatch() {
    finish();
    if (context_ != 0) XRecordFreeContext(control_, context_);
    if (data_ != nullptr) XCloseDisplay(data_);
    if (control_ != nullptr) XCloseDisplay(control_);
}

namespace {

// A window that went away between listing and asking gives BadWindow: passed over, instead of
// the library's default handler ending the test program.
int passOverGoneWindows(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

RampVerdict judgeRamps(const std::map<unsigned long, std::vector<std::string>>& stores) {
    RampVerdict verdict;
    for (const auto& [map, cells] : stores) {
        bool changed = false;
        for (const std::string& store : cells) changed = changed || store != cells.front();
        verdict.changed += changed ? 1 : 0;
        verdict.restored = verdict.restored && cells.back() == cells.front();
    }
    return verdict;
}

Window waitForTopLevel(Display* display, const std::string& title, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(passOverGoneWindows);
    Window shown = 0;
    while (shown == 0 && std::chrono::steady_clock::now() < end) {
        Window root = 0, parent = 0, *children = nullptr, found = 0;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && found == 0; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes;
            if (XFetchName(display, children[i], &name) != 0 && name != nullptr && title == name &&
                XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable)
                found = children[i];
            if (name != nullptr) XFree(name);
        }
        if (children != nullptr) XFree(children);
        shown = found;
        if (shown == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    return shown;
}

void clickAt(Display* display, Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
}

bool stackedAbove(Display* display, Window upper, Window lower) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    int upperAt = -1, lowerAt = -1; // bottom first
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == upper) upperAt = int(i);
        if (children[i] == lower) lowerAt = int(i);
    }
    if (children != nullptr) XFree(children);
    return upperAt > lowerAt && lowerAt >= 0;
}

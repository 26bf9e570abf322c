#include "support/x_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <chrono>
#include <cstring>

namespace {

void recordedRequest(char* closure, XRecordInterceptData* data) {
    auto* watch = reinterpret_cast<ColourMapWatch*>(closure);
    const auto* bytes = static_cast<const unsigned char*>(data->data);
    size_t length = size_t(data->data_len) * 4;
    if (data->category == XRecordFromClient && length >= 8 && bytes[0] == X_StoreColors) {
        uint32_t colourMap = 0;
        std::memcpy(&colourMap, bytes + 4, 4);
        watch->addStore(colourMap,
                        std::string(reinterpret_cast<const char*>(bytes) + 8, length - 8));
    }
    XRecordFreeData(data);
}

} // namespace

void ColourMapWatch::addStore(unsigned long colourMap, std::string cells) {
    std::lock_guard<std::mutex> lock(mutex_);
    stores_[colourMap].push_back(std::move(cells));
}

PrivateDisplay::PrivateDisplay() {
    int ends[2] = {-1, -1};
    if (pipe(ends) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(ends[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(ends[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd wait = {ends[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && poll(&wait, 1, 20000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ends[0]);
    if (!number.empty() && c == '\n') name_ = ":" + number;
}

PrivateDisplay::~PrivateDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

ColourMapWatch::ColourMapWatch(const std::string& displayName) {
    control_ = XOpenDisplay(displayName.c_str());
    data_ = XOpenDisplay(displayName.c_str());
    int major = 0, minor = 0;
    if (control_ == nullptr || data_ == nullptr || !XRecordQueryVersion(control_, &major, &minor))
        return;
    XRecordRange* range = XRecordAllocRange();
    range->core_requests.first = X_StoreColors;
    range->core_requests.last = X_StoreColors;
    XRecordClientSpec clients = XRecordAllClients;
    context_ = XRecordCreateContext(control_, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control_, False);
    if (context_ == 0 ||
        !XRecordEnableContextAsync(data_, context_, recordedRequest, reinterpret_cast<char*>(this)))
        return;
    ok_ = true;
    thread_ = std::thread([this] { serve(); });
}

void ColourMapWatch::serve() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (finished_) return;
        }
        XRecordProcessReplies(data_);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ColourMapWatch::finish() {
    if (!ok_ || !thread_.joinable()) return;
    // A round trip makes the server hand on everything recorded before it; then give the
    // data connection time to read it.
    XSync(control_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    thread_.join();
    XRecordProcessReplies(data_);
    XRecordDisableContext(control_, context_);
    XSync(control_, False);
}

std::map<unsigned long, std::vector<std::string>> ColourMapWatch::stores() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stores_;
}

ColourMapWatch::~ColourMapWatch() {
    finish();
    if (context_ != 0) XRecordFreeContext(control_, context_);
    if (data_ != nullptr) XCloseDisplay(data_);
    if (control_ != nullptr) XCloseDisplay(control_);
}

RampVerdict judgeRamps(const std::map<unsigned long, std::vector<std::string>>& stores) {
    RampVerdict verdict;
    for (const auto& [map, cells] : stores) {
        bool changed = false;
        for (const std::string& store : cells) changed = changed || store != cells.front();
        if (!changed) continue;
        ++verdict.changed;
        if (cells.back() != cells.front() && verdict.restored) {
            verdict.restored = false;
            verdict.why = "colour map " + std::to_string(map) + " ended on another ramp after " +
                          std::to_string(cells.size()) + " stores";
        }
    }
    return verdict;
}

namespace {

// The process that made the window, from its _NET_WM_PID (-1 where it does not say).
int windowProcess(Display* display, Window window) {
    Atom property = XInternAtom(display, "_NET_WM_PID", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = nullptr;
    int pid = -1;
    if (property != None &&
        XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &value) == Success &&
        value != nullptr && format == 32 && count == 1)
        pid = int(*reinterpret_cast<unsigned long*>(value));
    if (value != nullptr) XFree(value);
    return pid;
}

} // namespace

Window findTopLevel(Display* display, const std::string& title, int pid) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
            if (title == name && windowProcess(display, children[i]) == pid) found = children[i];
            XFree(name);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

Window waitForTopLevel(Display* display, const std::string& title, int pid, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        Window window = findTopLevel(display, title, pid);
        XWindowAttributes attributes;
        if (window != 0 && XGetWindowAttributes(display, window, &attributes) != 0 &&
            attributes.map_state == IsViewable)
            return window;
        if (std::chrono::steady_clock::now() > end) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return false;
    int upperAt = -1, lowerAt = -1; // bottom first
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == upper) upperAt = int(i);
        if (children[i] == lower) lowerAt = int(i);
    }
    if (children != nullptr) XFree(children);
    return upperAt >= 0 && lowerAt >= 0 && upperAt > lowerAt;
}

// An X server of a test's own, and what the test sees there from outside the program it runs:
// every colour-map store of every client (through the RECORD extension, so the gamma ramp a
// window ended with shows whichever connection set it), top-level windows by title, their
// stacking order, and pointer clicks (XTEST).
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

// Xvfb on a free display number, so that the programs a test starts meet no other program's
// windows, input focus or colour maps. It keeps running as it is when its last client leaves
// (-noreset): one that starts over refuses connections meanwhile. Another X server (and its
// arguments) may be named: it is given the same -displayfd. It ends with the test program,
// however that ends.
class PrivateDisplay {
  public:
    explicit PrivateDisplay(std::vector<std::string> server = {"Xvfb", "-screen", "0",
                                                               "1280x1024x24", "-nolisten", "tcp",
                                                               "-noreset"});
    ~PrivateDisplay();
    const std::string& name() const { return name_; } // ":N", empty when Xvfb did not start
    int pid() const { return pid_; }

  private:
    int pid_ = -1;
    std::string name_;
};

// Records the StoreColors requests on a display from construction to finish().
class ColourMapWatch {
  public:
    explicit ColourMapWatch(const std::string& displayName);
    ~ColourMapWatch();
    bool ok() const { return recording; }
    // Ends the recording once everything the server handled so far has arrived.
    void finish();
    // Per colour map, the cells of each store in order (the request after its header).
    std::map<unsigned long, std::vector<std::string>> stores;
    std::atomic<bool> recording{false};

  private:
    Display* control_ = nullptr;
    Display* data_ = nullptr;
    unsigned long context_ = 0;
    std::thread thread_;
};

// Every colour map given another ramp ended on the one it began with; `changed` counts them.
struct RampVerdict {
    int changed = 0;
    bool restored = true;
};
RampVerdict judgeRamps(const std::map<unsigned long, std::vector<std::string>>& stores);

// A shown top-level window with that title (0 when none appears within `seconds`). Windows
// that go away while it looks are passed over.
Window waitForTopLevel(Display* display, const std::string& title, double seconds);
// Presses and releases the first button at (x, y) inside the window.
void clickAt(Display* display, Window window, int x, int y);
// True when `upper` is stacked above `lower` among the root's children.
bool stackedAbove(Display* display, Window upper, Window lower);

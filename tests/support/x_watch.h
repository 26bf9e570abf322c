// The X display seen from outside the program under test: every colour-map store of every
// client recorded through the server's RECORD extension (so a test sees which gamma ramp a
// window had last, whatever connection set it), the top-level windows by title and their
// stacking order, and pointer clicks through XTEST.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An X server of the test's own (Xvfb), so that the programs a test starts there meet no
// other program's windows, input focus or colour maps.
class PrivateDisplay {
  public:
    PrivateDisplay();
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; } // ":N"

  private:
    int pid_ = -1;
    std::string name_;
};

// Records the StoreColors requests of all clients of a display from construction to
// finish().
class ColourMapWatch {
  public:
    explicit ColourMapWatch(const std::string& displayName);
    ~ColourMapWatch();
    bool ok() const { return ok_; }
    // Stops recording once the server has passed on everything up to now.
    void finish();
    // Per colour map, the cells of each store in order (the request's bytes after its
    // header: pixel and colours of every cell).
    std::map<unsigned long, std::vector<std::string>> stores() const;
    // Called for each recorded store.
    void addStore(unsigned long colourMap, std::string cells);

  private:
    void serve();
    Display* control_ = nullptr;
    Display* data_ = nullptr;
    unsigned long context_ = 0;
    bool ok_ = false;
    bool finished_ = false;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<unsigned long, std::vector<std::string>> stores_;
};

// What the stores say: every colour map that was given another ramp ended with the one it
// started with. `changed` counts those maps; `why` describes the first that did not.
struct RampVerdict {
    int changed = 0;
    bool restored = true;
    std::string why;
};
RampVerdict judgeRamps(const std::map<unsigned long, std::vector<std::string>>& stores);

// A top-level window of the process `pid` whose title is `title` (0 when there is none).
Window findTopLevel(Display* display, const std::string& title, int pid);
// Waits up to `seconds` for it to be shown.
Window waitForTopLevel(Display* display, const std::string& title, int pid, double seconds);
// Presses and releases the first button at (x, y) inside the window.
void clickAt(Display* display, Window window, int x, int y);
// True when `upper` is stacked above `lower` among the root's children.
bool stackedAbove(Display* display, Window upper, Window lower);

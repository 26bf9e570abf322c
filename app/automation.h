// Automation of a run from the command line: where the timeline starts (--seek), key presses
// at points of the timeline (--keys), screenshots (--shots) and, with a fixed step, the sound
// mixed offline in step with the demo clock. The start-up sequence installs it; the frame
// loops reach it only through the timeline hooks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/run_plan.h"
#include "app/timeline.h"

struct ShotPoint {
    Sequence sequence = Sequence::First;
    uint32_t ms = 0;
    bool taken = false;
};

enum class KeyStage { Waiting, Down, Done };

struct KeyPoint {
    Sequence sequence = Sequence::First;
    uint32_t ms = 0;
    int keyCode = 0;
    KeyStage stage = KeyStage::Waiting;
};

struct AutomationState {
    std::vector<ShotPoint> shots;
    // The last frame the shots saw: a frame before it is a jump back, which takes the shots
    // after it again.
    bool anyShotFrame = false;
    Sequence lastShotSequence = Sequence::Gamma;
    uint32_t lastShotMs = 0;
    std::vector<KeyPoint> keys;
    // Hooks that were installed before ours (a test watching the run); called after ours.
    TimelineHooks chained;
    // The offline mix (the plan's offline sound): the rate, the milliseconds the clock has
    // advanced since the layer started and the frames mixed for them.
    bool offlineSound = false;
    int mixRate = 0;
    uint64_t msAdvanced = 0;
    uint64_t framesMixed = 0;
    std::vector<int16_t> mixBuffer;
};
extern AutomationState automationState;

// Sets the timeline's start point, the key presses and screenshots of the plan and whether
// its sound is mixed offline, and installs the timeline hooks.
void installAutomation(const RunPlan& plan);
// True when --keys presses a key somewhere in the sequence.
bool keysPlannedFor(Sequence sequence);
// Takes the hooks away again; each screenshot that no frame reached is reported on standard
// error.
void finishAutomation();

// The sound layer's start-up. Offline (the run plan's fixed step) it needs no device: every
// advance of the demo clock mixes exactly as many milliseconds, so the music's time is the
// clock's.
void startDemoSound(int32_t audioQuality, void* window);
// Mixes the next `ms` milliseconds offline (the frames are rounded so that the total matches
// the total time).
void mixOfflineSound(uint32_t ms);

// "first-30000.png".
std::string shotFileName(Sequence sequence, uint32_t ms);
// Reads the current context's back buffer (width x height from the lower left corner) and
// writes it as an RGB PNG, top row first. False when the file cannot be written.
bool writeScreenshot(const std::string& path, int width, int height);

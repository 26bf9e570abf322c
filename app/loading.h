// The loading phase: every asset of the demo read from the bigfile in one fixed order, with
// the loading dialog's status lines and progress; and the release of what it keeps besides the
// engine's registries.
//
// Progress: S is the size of the scene file in the bigfile; the bar's total is 2 S and one
// unit is S / 100. The font, the vertex buffers, the particles and the music add 5 units
// each, the 3DS reader its byte position, and the 2D interface 20 units per step, so the
// value ends near 2.2 S while the bar stops at 100 %.
#pragma once

struct LoadingPhaseState {
    float unit = 0.0f;         // one progress unit
    float progressBase = 0.0f; // the value the 3DS reader's byte positions are added to
};
extern LoadingPhaseState loadingPhase;

// Loads everything from the bigfile appState.archive into the engine's registries and
// demoState; the loading dialog (or, in
// batch runs, standard output) shows the steps, after firstLine where there is one. Every
// failure is fatal.
void runLoadingPhase(const char* firstLine = nullptr);
// The font's textures, the music stream and the end-screen sample with their memory images.
void releaseLoadedAssets();

// A window with an OpenGL context for the data tool's scene viewer. Shown, it is an ordinary
// window the user may resize and close, drawn at its drawable's real pixel size (HiDPI
// screens included); hidden, it only carries the context, and the frames go into an
// off-screen framebuffer of the asked size whose pixels can be read back.
// It stands in for the main window, so the key table, the mouse state, the clock and the
// capability check work as they do in the demo.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl/offscreen_frame.h"

struct ToolWindowState {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    int32_t width = 0; // the size frames are drawn at: shown, the drawable's pixels
    int32_t height = 0;
    bool offscreen = false;
    OffscreenFrame frame;        // off-screen: where the frames go
    bool closeRequested = false; // the user closed the window
    int32_t wheelSteps = 0;      // wheel steps since the last takeWheelSteps (away: positive)
};
extern ToolWindowState toolWindowState;

// Opens the window (hidden and off-screen when offscreen is set) with a compatibility
// context made current. False with the reason in error where there is no display or no
// context; nothing is left open then.
bool openToolWindow(const std::string& title, int32_t width, int32_t height, bool offscreen,
                    std::string& error);
void closeToolWindow();
void setToolWindowTitle(const std::string& title);
// Ends a frame: swaps the buffers of a shown window, finishes the drawing off-screen.
void presentToolWindow();
// Hands every waiting event to the event module (keys, mouse, focus) and notes closing, the
// mouse wheel and a new window size here.
void pumpToolWindow();
int32_t takeWheelSteps();
// The frame's pixels as RGBA bytes, top row first.
std::vector<uint8_t> readToolWindowPixels();

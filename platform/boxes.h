// The boxes on the screen, as the failure code's presenter: around each box the cursor is
// shown (and hidden again after a notice or a question), the sound is paused and the messages
// are pumped while a full-screen mode is in force, and the main window owns fatal reports and
// notices while it is on the screen. Before a fatal report ends the program the display mode,
// the cursor and the desktop's gamma ramp are put back.
#pragma once

#include <string_view>

#include "platform/box_view.h"
#include "platform/system/failure.h"

struct SDL_Window;

struct BoxesState {
    // Draws one box (the FLTK box window); tests put a recorder in.
    BoxAnswer (*draw)(BoxKind kind, std::string_view caption, std::string_view text,
                      SDL_Window* owner) = showBoxWindow;
};
extern BoxesState boxesState;

// Makes this module the failure code's presenter; call before the first box.
void presentBoxesOnScreen();

// The owner of a box now: the main window while it is on the screen, else none (a minimised
// one would take its boxes down behind the program's other windows).
SDL_Window* boxOwnerWindow();

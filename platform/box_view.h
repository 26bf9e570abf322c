// The message boxes on the screen: a modal FLTK window with the caption, the text, an icon and
// OK (or Yes and No), drawn in the program's own process, so nothing of it outlives the
// program or holds its descriptors. It belongs to its owner window (kept above it) and comes
// up in front of the program's other windows. Enter answers with the default button (OK,
// Yes), Escape and the close box with OK or No. A stop signal closes it as Enter would.
#pragma once

#include <string_view>

#include "platform/system/failure.h"

struct SDL_Window;

BoxAnswer showBoxWindow(BoxKind kind, std::string_view caption, std::string_view text,
                        SDL_Window* owner);

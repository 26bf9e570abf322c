// Font and 2D drawing: textured quads in the normalised 2D coordinates of the current render
// target (x from -1 at the left to +1 at the right, y from +1 at the top to -1 at the
// bottom) and text in the engine's bitmap font.
#pragma once

#include <string_view>

// Character size, spacing between characters and between lines, in 2D units.
void setTextLayout(float size, float spacing, float lineSpacing);
// Draws text with its first character's top-left corner at (x, y).
void drawText(float x, float y, std::string_view text);

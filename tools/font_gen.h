// Text rendered with FreeType from Debian's DejaVu fonts: the demo's 512 x 512 bitmap font,
// the title images and the text on the program's bitmaps.
#pragma once

#include <string>
#include <vector>

#include "render/font2d.h"
#include "tools/canvas.h"

// The 64 characters of the font image are the engine's (kFontCharacters, in column order:
// column 1, the left one, holds the first eight from the top, column 2 the next eight...).

// Anti-aliased coverage (0..1) of a line of text; the pen starts at (originX, baseline).
struct TextMask {
    int width = 0;
    int height = 0;
    int originX = 0;  // pen start, pixels from the left edge
    int baseline = 0; // baseline, pixels from the top edge
    int inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0; // bounding box of the ink
    std::vector<float> coverage;
};

// Full path of a DejaVu font file (DejaVuSans.ttf, DejaVuSans-Bold.ttf,
// DejaVuSans-ExtraLight.ttf, DejaVuSerif-Italic.ttf), as fontconfig finds it; a missing font
// ends demotool with a message. findDejaVuFont returns an empty path instead.
std::string dejaVuFont(const char* fileName);
std::string findDejaVuFont(const char* fileName);

// letterSpacing is added to every advance, in pixels.
TextMask renderText(const std::string& fontFile, int pixelSize, const std::string& text,
                    int letterSpacing = 0);

// Paints the mask's ink over the canvas, its ink box centred at (centreX, centreY), with a
// blurred halo of glowRadius pixels in glow colour behind it (glowRadius 0: no halo).
void paintText(Canvas& canvas, const TextMask& mask, float centreX, float centreY, Colour colour,
               Colour glow, int glowRadius);

// font.png: 512 x 512 RGB, white glyphs on black, one character per 64 x 64 cell, drawn with
// this face; fontImageAvailable tells whether the face is installed.
inline constexpr const char* kFontImageFace = "DejaVuSans-Bold.ttf";
Image buildFontImage();
bool fontImageAvailable();

// "Presents.png", "PoweredBy.png", "ZORXOpenGL.jpg", "ComingSoon.png".
std::vector<NamedImage> generateTitleImages();

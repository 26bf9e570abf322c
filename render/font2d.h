// Font and 2D drawing: textured quads in the normalised 2D coordinates of the current render
// target (x from -1 at the left to +1 at the right, y from +1 at the top to -1 at the
// bottom; a quad is its top-left corner, its width to the right and its height downwards)
// and text in the engine's bitmap font of 64 glyphs, built from one 512 x 512 image.
// Colour and blending are the caller's.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "render/texture_modes.h"
#include "resources/texture_record.h"

struct PixelBufferTarget;

inline constexpr int32_t kGlyphCount = 64;
inline constexpr int32_t kGlyphSide = 64;
inline constexpr int32_t kFontImageSide = 512;
// The characters of the font image, column by column from the left, each column from the
// top.
inline constexpr std::string_view kFontCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,!?"
                                                    "()\"#%<>=+-*:;/\\$'&[]_{}~";

// Texture coordinates of the quads: the flip flag exchanges top and bottom, the insets pull
// each edge in (a magnified copy of the middle).
struct Quad2DState {
    bool flip = false;
    float insetU = 0.0f;
    float insetV = 0.0f;
};

struct FontState {
    TextureRecord glyphs[kGlyphCount]; // 64 x 64 each; only size and GL name are used
    bool built = false;
    float size = 1.0f;        // glyph width in 2D units
    float spacing = 0.0f;     // between characters
    float lineSpacing = 0.0f; // between lines
};

struct Overlay2DState {
    Quad2DState quad;
    FontState font;
};
extern Overlay2DState overlay2D;

// Glyph number of a character (lower case drawn as upper case), -1 for none. Glyph g is the
// cell in column g / 8 from the left and row 7 - g % 8 from the top.
int32_t glyphForCharacter(char c);

// Builds the 64 glyph textures from the image (colour-keyed, at least 512 x 512) through a
// 512 x 512 render target, replacing a font built before. A smaller image is fatal.
void buildFont(std::string fileName, std::string archiveName);
// The same from an RGBA image in memory, its background already transparent.
void buildFontFromPixels(const uint8_t* rgba, int32_t width, int32_t height);
// Deletes the glyph textures.
void releaseFont();
// Character size, spacing between characters and between lines, in 2D units.
void setTextLayout(float size, float spacing, float lineSpacing);
// Draws text with its first character's top-left corner at (x, y); a line feed goes one
// line down to x. Nothing without a font.
void drawText(float x, float y, std::string_view text);
// A dark, half-transparent band behind the text drawText would draw at (x, y) with the current
// layout, reaching margin beyond it on every side, so that thin white text stays readable over
// any picture. Blends as the caller set it (source alpha over the picture).
void drawTextBacking(float x, float y, std::string_view text, float margin);

// Only the quad, inside a 2D set-up made by the caller.
void drawQuad(float x, float y, float w, float h);
// Self-contained: the 2D view of the current target around one quad with the bound
// texture(s) and state; the window's perspective view afterwards.
void drawQuad2D(float x, float y, float w, float h);
// The same with texture coordinates for units 0 and 1.
void drawTwoUnitQuad2D(float x, float y, float w, float h);
// A texture on unit 0 as a quad in 2D.
void drawTextureQuad(GLuint texture, float x, float y, float w, float h);
// A render target's image on unit 0 as a quad in 2D.
void drawTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h);
// A render target's image through a texture mode; the default mode afterwards.
void drawTargetQuadWithMode(const PixelBufferTarget& target, float x, float y, float w, float h,
                            TextureMode mode);
// Target a on unit 0 with mode a, target b on unit 1 with mode b.
void drawTwoTargetQuad(const PixelBufferTarget& a, const PixelBufferTarget& b, float x, float y,
                       float w, float h, TextureMode modeA, TextureMode modeB);

#include "render/font2d.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "fatal_pattern.h"
#include "image_files.h"
#include "render2d_fixture.h"

namespace {

// ---- glyph numbers ----

TEST(FontGlyphs, CellsAreNumberedFromTheBottomOfEachColumn) {
    EXPECT_EQ(glyphForCharacter('H'), 0);
    EXPECT_EQ(glyphForCharacter('A'), 7);
    EXPECT_EQ(glyphForCharacter('a'), 7);
    EXPECT_EQ(glyphForCharacter('I'), 15);
    EXPECT_EQ(glyphForCharacter('5'), 24);
    EXPECT_EQ(glyphForCharacter('z'), 30);
    EXPECT_EQ(glyphForCharacter('\\'), 49);
    EXPECT_EQ(glyphForCharacter('\''), 63);
    EXPECT_EQ(glyphForCharacter('~'), 56);
    for (char c : std::string(" @^`|\t\n\x7f\x80\xff", 10)) EXPECT_EQ(glyphForCharacter(c), -1);
    EXPECT_EQ(glyphForCharacter('\0'), -1);
    std::vector<bool> seen(kGlyphCount, false);
    for (char c : kFontCharacters) seen[glyphForCharacter(c)] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kGlyphCount);
}

// ---- font images ----

// A font image of side x side (RGB, top row first): the "A" cell holds a bar across its top
// quarter and its left half, every other cell is white. Scaled for sides other than 512.
std::vector<uint8_t> fontImage(int side) {
    std::vector<uint8_t> rgb(size_t(side) * side * 3, 255);
    int cell = side / 8;
    for (int y = 0; y < cell; ++y)
        for (int x = 0; x < cell; ++x) {
            bool lit = x < cell / 2 || y < cell / 4;
            uint8_t value = lit ? 255 : 0;
            std::memset(&rgb[(size_t(y) * side + x) * 3], value, 3);
        }
    return rgb;
}

bool writeFontImage(const std::string& path, int side) {
    return writeBytes(path, encodePng(Image{side, side, 3, fontImage(side)}));
}

class Font : public Render2DTest {
  protected:
    void SetUp() override {
        Render2DTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(writeFontImage(folder.file("font.png"), 512));
    }
    // Builds the font from a loose file in the test folder.
    void build(const std::string& name = "font.png") {
        ScopedChdir here(folder.path);
        buildFont(name, "");
    }
    // Clears the window to blue and draws the text in white.
    void drawOnBlue(float x, float y, std::string_view text) {
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        drawText(x, y, text);
    }
    // A pixel of the window counted from its top-left corner: white, blue or neither.
    static bool white(int x, int yFromTop) {
        auto p = pixelAt(x, kWindowHeight - 1 - yFromTop);
        return p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
    static bool blue(int x, int yFromTop) {
        auto p = pixelAt(x, kWindowHeight - 1 - yFromTop);
        return p[0] == 0 && p[1] == 0 && p[2] == 255;
    }
    TempDir folder;
};

TEST_F(Font, BuildLeavesOnlyTheGlyphsBehind) {
    int32_t texturesBefore = textureState.glTextureCount;
    build();
    EXPECT_TRUE(overlay2D.font.built);
    EXPECT_EQ(textureState.count, 0) << "font image and target placeholder are gone";
    EXPECT_EQ(textureState.glTextureCount, texturesBefore + kGlyphCount);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window.context);
    EXPECT_EQ(overlay2D.font.glyphs[7].width, kGlyphSide);
    EXPECT_FALSE(overlay2D.quad.flip);
    EXPECT_FALSE(textureState.options.clamp);
    EXPECT_FALSE(textureState.options.colourKey);

    build(); // again: the first font is released
    EXPECT_EQ(textureState.glTextureCount, texturesBefore + kGlyphCount);
    releaseFont();
    EXPECT_FALSE(overlay2D.font.built);
    EXPECT_EQ(textureState.glTextureCount, texturesBefore);
    releaseFont();
    EXPECT_EQ(textureState.glTextureCount, texturesBefore);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// At size 0.5 on this 256 x 128 window a glyph is 64 x 64 pixels, one pixel per image pixel.
TEST_F(Font, GlyphCoversWhereItsImageIsLitAndBlackIsTransparent) {
    build();
    setTextLayout(0.5f, 0.0f, 0.0f);
    drawOnBlue(-1.0f, 1.0f, "a");
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            bool nearEdge = (x >= 30 && x <= 33) || (y >= 14 && y <= 17) || x == 63 || y == 63;
            if (nearEdge) continue;
            bool lit = x < 32 || y < 16;
            if (lit ? !white(x, y) : !blue(x, y)) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(blue(70, 10)) << "nothing right of the glyph";
    EXPECT_TRUE(blue(10, 70)) << "nothing below it";
    EXPECT_FALSE(renderState.alphaTestOn);
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(renderState.screenWidth, kWindowWidth);
}

// Size 0.25: 32 x 32 pixel glyphs; spacing 0.0625 is 8 pixels, line spacing 0.125 is 8 rows.
TEST_F(Font, TextAdvancesByGlyphAndSpacing) {
    build();
    setTextLayout(0.25f, 0.0625f, 0.125f);
    drawOnBlue(-1.0f, 1.0f, "b c");
    EXPECT_TRUE(white(16, 16));
    EXPECT_TRUE(blue(40, 16)) << "one glyph and two spacings between B and C";
    EXPECT_TRUE(blue(76, 16));
    EXPECT_TRUE(white(84, 16));
    EXPECT_TRUE(white(108, 16));
    EXPECT_TRUE(blue(116, 16));

    drawOnBlue(-1.0f, 1.0f, "@|B");
    EXPECT_TRUE(blue(16, 16)) << "the at sign is an empty cell";
    EXPECT_TRUE(blue(56, 16)) << "so is the vertical bar";
    EXPECT_TRUE(white(96, 16));

    drawOnBlue(-1.0f, 1.0f, "B\nC");
    EXPECT_TRUE(white(16, 16));
    EXPECT_TRUE(blue(16, 36)) << "line spacing";
    EXPECT_TRUE(white(16, 56)) << "the second line starts at x again";
    EXPECT_TRUE(blue(48, 56));
}

// The band behind a text block: as wide as its longest line and as high as its lines, plus
// the margin, darkening what lies under it and nothing beside it.
TEST_F(Font, TextBackingDarkensTheTextsBlock) {
    build();
    setTextLayout(0.25f, 0.0f, 0.125f); // 32 x 32 pixel glyphs, 8 rows between lines
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawTextBacking(-0.875f, 0.75f, "AB\nC", 0.125f); // the block at (16, 16), margin 16, 8
    glDisable(GL_BLEND);
    auto dark = [](int x, int yFromTop) {
        auto p = pixelAt(x, kWindowHeight - 1 - yFromTop);
        return p[0] == 0 && p[1] == 0 && p[2] > 90 && p[2] < 115;
    };
    EXPECT_TRUE(dark(2, 10)) << "the margin";
    EXPECT_TRUE(dark(60, 60)) << "under the short second line, within the longest";
    EXPECT_TRUE(dark(94, 86)) << "the far corner";
    EXPECT_TRUE(blue(100, 40)) << "beside it";
    EXPECT_TRUE(blue(40, 100)) << "below it";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Font, NothingIsDrawnWithoutAFont) {
    setTextLayout(0.5f, 0.0f, 0.0f);
    drawOnBlue(-1.0f, 1.0f, "ABC");
    EXPECT_TRUE(blue(10, 10));
    build();
    drawOnBlue(-1.0f, 1.0f, "");
    EXPECT_TRUE(blue(10, 10));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Font, ImageSizeCheck) {
    ASSERT_TRUE(writeFontImage(folder.file("small.png"), 256));
    EXPECT_EXIT(build("small.png"), testing::ExitedWithCode(1),
                fatalPattern("FILE ERROR", "Invalid font texture file !\n\nTexture dimension must "
                                           "be 512 x 512 pixel !"));
    ASSERT_TRUE(writeFontImage(folder.file("large.png"), 1024));
    build("large.png");
    ASSERT_TRUE(overlay2D.font.built);
    setTextLayout(0.5f, 0.0f, 0.0f);
    drawOnBlue(-1.0f, 1.0f, "A");
    EXPECT_TRUE(white(8, 40));
    EXPECT_TRUE(blue(48, 40));
}

GLint glyphParameter(GLenum name) {
    glBindTexture(GL_TEXTURE_2D, overlay2D.font.glyphs[7].glName);
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST_F(Font, GlyphFiltersFollowTheFilterSettingNotTheLoadOptions) {
    textureState.options.noMipmaps = false;
    renderState.settings.textureFilterMode = 2;
    build();
    EXPECT_EQ(glyphParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(glyphParameter(GL_GENERATE_MIPMAP_SGIS), GL_FALSE);
    EXPECT_EQ(glyphParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);

    textureState.options.noMipmaps = true;
    renderState.settings.textureFilterMode = 1;
    build();
    EXPECT_EQ(glyphParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(glyphParameter(GL_GENERATE_MIPMAP_SGIS), GL_TRUE);
    GLint levelWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH, &levelWidth);
    EXPECT_EQ(levelWidth, 8);
}

// ---- quads ----

// A texture of width x height RGBA texels, top row first, sampled nearest.
GLuint makeTexture(int width, int height, const std::vector<uint8_t>& texels) {
    int32_t index =
        createTexture("quad" + std::to_string(textureState.count), width, height, texels.data());
    GLuint name = textureState.records[index]->glName;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

using Quads = Render2DTest;

TEST_F(Quads, FullViewQuadCoversAnyTargetAndRestoresTheView) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5.0f, 0.0f, 0.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    drawQuad2D(-1.0f, 1.0f, 2.0f, 2.0f);
    for (auto [x, y] : {std::pair{0, 0},
                        {kWindowWidth - 1, 0},
                        {0, kWindowHeight - 1},
                        {kWindowWidth - 1, kWindowHeight - 1}})
        EXPECT_EQ(pixelAt(x, y)[0], 255) << x << "," << y;
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12], 5.0f);
    EXPECT_EQ(renderState.screenWidth, kWindowWidth);
    EXPECT_NE(renderState.projection[11], 0.0f) << "a perspective projection again";

    // A tall target: its own size sets the 2D view while it is current.
    PixelBufferTarget tall(32, 128);
    createTarget(tall);
    makeTargetCurrent(tall);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    drawQuad2D(-1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(pixelAt(0, 0)[1], 255);
    EXPECT_EQ(pixelAt(31, 127)[1], 255);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    drawQuad2D(0.0f, 0.0f, 1.0f, 1.0f); // the bottom-right quarter
    EXPECT_EQ(pixelAt(24, 32)[2], 255);
    EXPECT_EQ(pixelAt(8, 32)[2], 0);
    EXPECT_EQ(pixelAt(24, 96)[2], 0);
    makeWindowCurrent();
    releaseTarget(tall);
}

TEST_F(Quads, FlipAndInsetsChooseTheTextureCoordinates) {
    // Columns red, green, blue, white in the top row; black below.
    std::vector<uint8_t> texels = {255, 0,   0,   255, 0,   255, 0, 255, 0,   0,  255,
                                   255, 255, 255, 255, 255, 0,   0, 0,   255, 0,  0,
                                   0,   255, 0,   0,   0,   255, 0, 0,   0,   255};
    GLuint texture = makeTexture(4, 2, texels);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    auto cornerColour = [](int x, int y) {
        auto p = pixelAt(x, y);
        return (p[0] > 128 ? 1 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 4 : 0);
    };
    const int top = kWindowHeight - 1, right = kWindowWidth - 1;
    drawTextureQuad(texture, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(cornerColour(0, top), 1);
    EXPECT_EQ(cornerColour(right, top), 7);
    EXPECT_EQ(cornerColour(0, 0), 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    overlay2D.quad.flip = true;
    drawTextureQuad(texture, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(cornerColour(0, top), 0) << "upside down";
    EXPECT_EQ(cornerColour(0, 0), 1);
    overlay2D.quad.flip = false;

    overlay2D.quad.insetU = 0.25f;
    drawTextureQuad(texture, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(cornerColour(0, top), 2) << "the middle two columns fill the quad";
    EXPECT_EQ(cornerColour(right, top), 4);
}

TEST_F(Quads, AlphaTestCacheHoldsOnlyWhileTheQuadIsDrawn) {
    GLuint texture = makeTexture(1, 1, {255, 255, 255, 0});
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glAlphaFunc(GL_GREATER, 0.0f);
    renderState.alphaTestOn = true;
    drawTextureQuad(texture, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(pixelAt(10, 10)[0], 0) << "transparent texels fail the test";
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    renderState.alphaTestOn = false;
    drawTextureQuad(texture, -1.0f, 1.0f, 2.0f, 2.0f);
    EXPECT_EQ(pixelAt(10, 10)[0], 255);
}

} // namespace

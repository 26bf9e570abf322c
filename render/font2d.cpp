#include "render/font2d.h"

#include <algorithm>

#include <GL/glext.h>

#include "platform/system/failure.h"
#include "render/capabilities.h"
#include "render/render_state.h"
#include "render/render_targets.h"
#include "resources/textures.h"

Overlay2DState overlay2D;

namespace {

// Texture coordinates of the quad's edges.
struct QuadCoordinates {
    float left, right, top, bottom; // positions in the ortho view
    float uLeft, uRight, vTop, vBottom;
};

QuadCoordinates quadCoordinates(float x, float y, float w, float h) {
    const Quad2DState& quad = overlay2D.quad;
    float aspect = renderState.aspect;
    QuadCoordinates c;
    c.left = aspect * x;
    c.right = aspect * (x + w);
    c.top = y;
    c.bottom = y - h;
    c.uLeft = quad.insetU;
    c.uRight = 1.0f - quad.insetU;
    c.vTop = quad.flip ? 1.0f - quad.insetV : quad.insetV;
    c.vBottom = quad.flip ? quad.insetV : 1.0f - quad.insetV;
    return c;
}

void drawTwoUnitQuad(float x, float y, float w, float h) {
    QuadCoordinates c = quadCoordinates(x, y, w, h);
    auto texCoord = glFunctions.glMultiTexCoord2fARB;
    const float corners[4][4] = {{c.left, c.top, c.uLeft, c.vTop},
                                 {c.left, c.bottom, c.uLeft, c.vBottom},
                                 {c.right, c.top, c.uRight, c.vTop},
                                 {c.right, c.bottom, c.uRight, c.vBottom}};
    glBegin(GL_TRIANGLE_STRIP);
    for (const float* corner : corners) {
        texCoord(GL_TEXTURE0_ARB, corner[2], corner[3]);
        texCoord(GL_TEXTURE1_ARB, corner[2], corner[3]);
        glVertex2f(corner[0], corner[1]);
    }
    glEnd();
}

// The 2D view for the current target, or for the window when none is current.
void beginView2D() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const PixelBufferTarget* target = renderTargets.current;
    if (target != nullptr)
        setOrthoView(target->width, target->height);
    else
        setOrthoView(currentViewWidth(), currentViewHeight());
}

void endView2D() {
    setPerspectiveView(currentViewWidth(), currentViewHeight());
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void drawInView2D(void (*draw)(float, float, float, float), float x, float y, float w, float h) {
    beginView2D();
    bool alphaTest = renderState.alphaTestOn;
    if (alphaTest) glEnable(GL_ALPHA_TEST);
    draw(x, y, w, h);
    endView2D();
    if (alphaTest) glDisable(GL_ALPHA_TEST);
}

void setFilters(GLint minFilter, GLint generateMipmaps) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, generateMipmaps);
}

// One 64 x 64 cell of the target (holding the image upside down) into glyph g's texture.
void copyGlyph(int32_t g, TextureRecord& glyph) {
    setTextureSize(glyph, kGlyphSide, kGlyphSide);
    generateTextureNames(1, &glyph.glName);
    glBindTexture(GL_TEXTURE_2D, glyph.glName);
    applyWrapMode();
    switch (renderState.settings.textureFilterMode) {
        case 0:
            setFilters(GL_LINEAR_MIPMAP_LINEAR, 1);
            break;
        case 1:
            setFilters(GL_LINEAR_MIPMAP_NEAREST, 1);
            break;
        case 2:
            setFilters(GL_LINEAR, 0);
            break;
        default:
            return; // no image for an unknown filter mode
    }
    glCopyTexImage2D(GL_TEXTURE_2D, 0, chooseInternalFormat(), (g / 8) * kGlyphSide,
                     448 - (g % 8) * kGlyphSide, kGlyphSide, kGlyphSide, 0);
}

// The image, drawn upside down into a cleared 512 x 512 target, cut into the glyphs.
void cutGlyphs(GLuint image) {
    PixelBufferTarget target(kFontImageSide, kFontImageSide);
    createTarget(target);
    makeTargetCurrent(target);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    overlay2D.quad.flip = true;
    drawTextureQuad(image, -1.0f, 1.0f, 2.0f, 2.0f);
    overlay2D.quad.flip = false;
    TextureLoadOptions& options = textureState.options;
    bool clamp = options.clamp;
    options.clamp = true;
    for (int32_t g = 0; g < kGlyphCount; ++g) copyGlyph(g, overlay2D.font.glyphs[g]);
    options.clamp = clamp;
    makeWindowCurrent();
    releaseTarget(target);
}

} // namespace

int32_t glyphForCharacter(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    size_t at = kFontCharacters.find(c);
    if (at == std::string_view::npos) return -1;
    int32_t i = static_cast<int32_t>(at);
    return (i / 8) * 8 + 7 - i % 8;
}

namespace {

// Cuts the glyphs out of the font image's texture, which is deleted afterwards.
void buildFontFromTexture(int32_t index) {
    FontState& font = overlay2D.font;
    const TextureRecord& image = *textureState.records[index];
    if (image.width < kFontImageSide || image.height < kFontImageSide)
        fatalError("FILE ERROR",
                   "Invalid font texture file !\n\nTexture dimension must be 512 x 512 pixel !");
    font.built = true;
    bool multisampled = renderState.settings.multisampleMode != 0;
    if (multisampled) glDisable(GL_MULTISAMPLE_ARB);
    std::string imageName = image.name;
    cutGlyphs(image.glName);
    deleteTextureByName(imageName);
    if (multisampled) glEnable(GL_MULTISAMPLE_ARB);
}

} // namespace

void buildFont(std::string fileName, std::string archiveName) {
    if (overlay2D.font.built) releaseFont();
    TextureLoadOptions& options = textureState.options;
    bool colourKey = options.colourKey;
    options.colourKey = true;
    int32_t index = loadTexture(std::move(fileName), std::move(archiveName));
    options.colourKey = colourKey;
    buildFontFromTexture(index);
}

void buildFontFromPixels(const uint8_t* rgba, int32_t width, int32_t height) {
    if (overlay2D.font.built) releaseFont();
    buildFontFromTexture(createTexture("FONT IMAGE", width, height, rgba));
}

void releaseFont() {
    FontState& font = overlay2D.font;
    if (!font.built) return;
    for (TextureRecord& glyph : font.glyphs) {
        if (glyph.glName != 0) deleteTextureNames(1, &glyph.glName);
        glyph.glName = 0;
        releasePixels(glyph);
    }
    font.built = false;
}

void setTextLayout(float size, float spacing, float lineSpacing) {
    FontState& font = overlay2D.font;
    font.size = size;
    font.spacing = spacing;
    font.lineSpacing = lineSpacing;
}

void drawText(float x, float y, std::string_view text) {
    const FontState& font = overlay2D.font;
    if (!font.built || text.empty()) return;
    // Square glyphs on the window: the height is taken with the window's aspect, before the
    // 2D view of the target is set up.
    float glyphWidth = font.size;
    float glyphHeight = renderState.aspect * font.size;
    renderState.alphaTestOn = true;
    renderState.alphaTestReference = 0.0f;
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    beginView2D();
    float penX = x, penY = y;
    for (char c : text) {
        if (c == '\n') {
            penX = x;
            penY -= font.lineSpacing + glyphHeight;
            continue;
        }
        int32_t g = glyphForCharacter(c);
        if (g >= 0 && font.glyphs[g].glName != 0) {
            glBindTexture(GL_TEXTURE_2D, font.glyphs[g].glName);
            drawQuad(penX, penY, glyphWidth, glyphHeight);
        }
        penX += font.spacing + glyphWidth;
    }
    glDisable(GL_TEXTURE_2D);
    endView2D();
    glDisable(GL_ALPHA_TEST);
    renderState.alphaTestOn = false;
}

void drawTextBacking(float x, float y, std::string_view text, float margin) {
    const FontState& font = overlay2D.font;
    if (!font.built || text.empty()) return;
    size_t lines = 1, longest = 0, length = 0;
    for (char c : text) {
        if (c == '\n') {
            ++lines;
            length = 0;
            continue;
        }
        longest = std::max(longest, ++length);
    }
    const float glyphHeight = renderState.aspect * font.size;
    const float width = float(longest) * (font.size + font.spacing);
    const float height = float(lines) * glyphHeight + float(lines - 1) * font.lineSpacing;
    selectTextureUnit(0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    drawQuad2D(x - margin, y + margin, width + 2 * margin, height + 2 * margin);
}

void drawQuad(float x, float y, float w, float h) {
    QuadCoordinates c = quadCoordinates(x, y, w, h);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(c.uLeft, c.vTop);
    glVertex2f(c.left, c.top);
    glTexCoord2f(c.uLeft, c.vBottom);
    glVertex2f(c.left, c.bottom);
    glTexCoord2f(c.uRight, c.vTop);
    glVertex2f(c.right, c.top);
    glTexCoord2f(c.uRight, c.vBottom);
    glVertex2f(c.right, c.bottom);
    glEnd();
}

void drawQuad2D(float x, float y, float w, float h) {
    drawInView2D(drawQuad, x, y, w, h);
}

void drawTwoUnitQuad2D(float x, float y, float w, float h) {
    drawInView2D(drawTwoUnitQuad, x, y, w, h);
}

void drawTextureQuad(GLuint texture, float x, float y, float w, float h) {
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    drawQuad2D(x, y, w, h);
    glDisable(GL_TEXTURE_2D);
}

void drawTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h) {
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    bindTargetTexture(target);
    drawQuad2D(x, y, w, h);
    glDisable(GL_TEXTURE_2D);
}

void drawTargetQuadWithMode(const PixelBufferTarget& target, float x, float y, float w, float h,
                            TextureMode mode) {
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    mode();
    bindTargetTexture(target);
    drawTwoUnitQuad2D(x, y, w, h);
    glDisable(GL_TEXTURE_2D);
    texModeDefault();
}

void drawTwoTargetQuad(const PixelBufferTarget& a, const PixelBufferTarget& b, float x, float y,
                       float w, float h, TextureMode modeA, TextureMode modeB) {
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    modeA();
    bindTargetTexture(a);
    selectTextureUnit(1);
    glEnable(GL_TEXTURE_2D);
    modeB();
    bindTargetTexture(b);
    drawTwoUnitQuad2D(x, y, w, h);
    glDisable(GL_TEXTURE_2D);
    selectTextureUnit(0);
    glDisable(GL_TEXTURE_2D);
    texModeDefault();
}

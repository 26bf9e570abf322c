#include "render/render_targets.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/system/failure.h"
#include "render/font2d.h"
#include "render/footprint.h"
#include "render/render_state.h"
#include "render/texture_modes.h"
#include "resources/textures.h"

RenderTargetState renderTargets;

namespace {

constexpr std::string_view kAttention = "ATTENTION !";
constexpr std::string_view kOpenGLError = "WINDOWS OpenGL ERROR";
constexpr std::string_view kNoTargetContext =
    "Could not make the pBuffer (Pixel Buffer) context current !";
constexpr std::string_view kNoWindowContext = "Could not make the main window context current !";
constexpr std::string_view kNoPixelBuffers =
    "So your video card/driver does not support pBuffers (Pixel Buffers).";

// ---- creation ----

// Textures use mipmaps unless the no-mipmaps load option is on or the filter mode is
// "Bilinear (No Mipmap)".
bool texturesMipmapped() {
    return !textureState.options.noMipmaps && renderState.settings.textureFilterMode != 2;
}

void makePlaceholderTexture(PixelBufferTarget& target) {
    target.textureName = "pBuffer_Dummy_" + std::to_string(++renderTargets.creationCount);
    int32_t index = createTexture(target.textureName, target.width, target.height, nullptr);
    target.texture = textureState.records[index]->glName;
    target.mipmapped = texturesMipmapped();
    target.clamped = textureState.options.clamp;
}

// The depth bits of the targets' depth buffers: at least 16; 0 for a setting none can have.
int32_t targetDepthBits() {
    int32_t bits = renderTargets.settings.depthBufferBits;
    return bits < 0 || bits > 32 ? 0 : std::max(bits, 16);
}

// In the target's context, current: the placeholder texture gets its RGBA 8-8-8-8 storage (all
// levels when mipmapped), then the frame drawing into it is made and checked.
void buildFramebuffer(PixelBufferTarget& target) {
    glBindTexture(GL_TEXTURE_2D, target.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, target.width, target.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    if (target.mipmapped) glFunctions.glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLenum status = renderTargets.driver.createFrame(target.frame, target.texture, target.width,
                                                     target.height, targetDepthBits());
    if (status == GL_OUT_OF_MEMORY)
        fatalError(kOpenGLError, "Creating pBuffer (Pixel Buffer) depth buffer failed !\nAn "
                                 "unknown error occured when calling OpenGL Extension function "
                                 "\"glRenderbufferStorage\" !");
    if (status == GL_FRAMEBUFFER_UNSUPPORTED)
        fatalError(kAttention,
                   "Could not find an acceptable pixel format for pBuffer (Pixel Buffer) !");
    if (status != GL_FRAMEBUFFER_COMPLETE)
        fatalError(kAttention, std::string("Creating pBuffer (Pixel Buffer) with the extension ") +
                                   kFramebufferExtension + " failed !");
    glViewport(0, 0, target.width, target.height);
}

// Back to the context that was current before a target was created or released.
void restoreCurrent(const TargetDriver& d, PixelBufferTarget* previous) {
    if (previous != nullptr && previous->created) {
        if (!d.makeCurrent(previous->context)) fatalError(kAttention, kNoTargetContext);
        return;
    }
    renderTargets.current = nullptr;
    if (!d.makeWindowCurrent()) fatalError(kAttention, kNoWindowContext);
}

void releaseNotice(std::string_view what, std::string_view kind, std::string_view function) {
    noticeBox(kOpenGLError, std::string(what) +
                                " failed !\nAn unknown error occured when calling " +
                                std::string(kind) + " \"" + std::string(function) + "\" !");
}

// The engine's copy of the GL state goes with the context: the one left is kept with it, the
// one made current (a target, or the window for none) is taken up.
void switchLayerCopy(PixelBufferTarget* next) {
    PixelBufferTarget* left = renderTargets.current;
    (left != nullptr ? left->layer : renderTargets.windowLayer) = renderState.layer;
    renderState.layer = next != nullptr ? next->layer : renderTargets.windowLayer;
}

void drawFullView(PixelBufferTarget& source) {
    drawTargetQuad(source, -1.0f, 1.0f, 2.0f, 2.0f);
}

void orthoIdentity(PixelBufferTarget& target) {
    makeTargetCurrent(target);
    setOrthoView(target.width, target.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

void setupPixelBufferExtensions(const GLQuery& query) {
    const GLStrings& lists = *query.lists;
    const std::string framebuffer = kFramebufferExtension;
    if (!extensionListed(lists, framebuffer))
        fatalError(kAttention, "The OpenGL extension " + framebuffer +
                                   " is missing !\nSo your video card/driver does not support "
                                   "render_to_texture !");
    if (!query.functions->framebuffers)
        fatalError(kAttention, "One or more " + framebuffer +
                                   " functions were not found\nalthough the " + framebuffer +
                                   " extension is present !\n\nSo your video card/driver does "
                                   "not support render_to_texture !");
    // Contexts sharing objects come from the window system: GLX, or EGL where SDL uses it.
    bool egl = !extensionListed(lists, kSharedContextExtension) &&
               extensionListed(lists, kSharedContextExtensionEgl);
    const std::string shared = egl ? kSharedContextExtensionEgl : kSharedContextExtension;
    const char* function = egl ? "eglCreateContext" : "glXCreateContextAttribsARB";
    PresentProc createContext =
        egl ? query.functions->eglCreateContext : query.functions->glXCreateContextAttribsARB;
    if (!egl && !extensionListed(lists, shared))
        fatalError(kAttention, "The OpenGL extension " + shared + " was not found !\n" +
                                   std::string(kNoPixelBuffers));
    if (createContext == nullptr)
        fatalError(kAttention, std::string("The OpenGL extension function ") + function +
                                   " was not found\nalthough the " + shared +
                                   " extension is present !\n" + std::string(kNoPixelBuffers));
}

void createTarget(PixelBufferTarget& target) {
    if (target.created) releaseTarget(target);
    const TargetDriver& d = renderTargets.driver;
    if (targetDepthBits() == 0)
        fatalError(kAttention,
                   "Could not find an acceptable pixel format for pBuffer (Pixel Buffer) !");
    int32_t largest = d.largestSide();
    if (target.width < 1 || target.height < 1 || target.width > largest || target.height > largest)
        fatalError(kAttention, "Creating pBuffer (Pixel Buffer) with a dimension of " +
                                   std::to_string(target.width) + " x " +
                                   std::to_string(target.height) +
                                   " failed !\nMaybe your graphic card is to old ?!");
    // The placeholder is made in the context current now; the new context must see it.
    makePlaceholderTexture(target);
    PixelBufferTarget* previous = renderTargets.current;
    glFlush();
    target.context = d.createContext();
    if (target.context == nullptr)
        fatalError(kOpenGLError, "Creating a render context for pBuffer (Pixel Buffer) failed "
                                 "!\nAn unknown error occured when calling OpenGL-API-Function "
                                 "\"SDL_GL_CreateContext\" !");
    if (glIsTexture(target.texture) == GL_FALSE)
        fatalError(kAttention, "Sharing display list space between pBuffer (Pixel Buffer) "
                               "context and main window context failed !");
    target.layer = LayerState{}; // a new context starts from GL's defaults
    buildFramebuffer(target);
    glFlush();
    target.created = true;
    restoreCurrent(d, previous);
}

bool makeTargetCurrent(PixelBufferTarget& target) {
    if (!target.created) return false;
    glFlush();
    if (!renderTargets.driver.makeCurrent(target.context)) fatalError(kAttention, kNoTargetContext);
    switchLayerCopy(&target);
    renderTargets.current = &target;
    target.bounded = false;
    return true;
}

void makeWindowCurrent() {
    glFlush();
    if (!renderTargets.driver.makeWindowCurrent()) fatalError(kAttention, kNoWindowContext);
    switchLayerCopy(nullptr);
    setPerspectiveView(currentViewWidth(), currentViewHeight());
    renderTargets.current = nullptr;
}

void setTargetPerspective(const PixelBufferTarget& target) {
    if (!target.created) return;
    if (currentViewHeight() == 0) return;
    float windowAspect =
        static_cast<float>(currentViewWidth()) / static_cast<float>(currentViewHeight());
    setPerspectiveViewAspect(target.width, target.height, windowAspect);
}

void resizeTarget(PixelBufferTarget& target, int32_t width, int32_t height) {
    if (!target.created || (target.width == width && target.height == height)) return;
    if (width < 1 || height < 1) return;
    PixelBufferTarget* previous = renderTargets.current;
    makeTargetCurrent(target);
    target.width = width, target.height = height;
    renderTargets.driver.deleteFrame(target.frame);
    buildFramebuffer(target);
    if (previous != nullptr)
        makeTargetCurrent(*previous);
    else
        makeWindowCurrent();
}

void releaseTarget(PixelBufferTarget& target) {
    if (!target.created) return;
    const TargetDriver& d = renderTargets.driver;
    deleteTextureByName(target.textureName);
    target.texture = 0;
    if (target.context != nullptr) {
        // The framebuffer belongs to the target's context: it is deleted there, and the
        // depth buffer with it (it would outlive the context in the shared name space).
        glFlush();
        if (!d.makeCurrent(target.context)) fatalError(kAttention, kNoTargetContext);
        const OffscreenFrame made = target.frame;
        d.deleteFrame(target.frame);
        if (glFunctions.glIsFramebuffer(made.framebuffer) == GL_TRUE)
            releaseNotice("Destroying pBuffer (Pixel Buffer)", "OpenGL Extension function",
                          "glDeleteFramebuffers");
        if (glFunctions.glIsRenderbuffer(made.depthBuffer) == GL_TRUE)
            releaseNotice("Releasing pBuffer (Pixel Buffer) depth buffer",
                          "OpenGL Extension function", "glDeleteRenderbuffers");
        target.frame = OffscreenFrame{};
        if (!d.releaseCurrent())
            releaseNotice("Releasing current pBuffer (Pixel Buffer) rendering context",
                          "OpenGL-API-Function", "SDL_GL_MakeCurrent");
        if (!d.deleteContext(target.context))
            releaseNotice("Deleting current pBuffer (Pixel Buffer) render context",
                          "OpenGL-API-Function", "SDL_GL_DeleteContext");
        target.context = nullptr;
    }
    if (!d.makeWindowCurrent()) fatalError(kAttention, kNoWindowContext);
    switchLayerCopy(nullptr);
    renderTargets.current = nullptr;
    target.created = false;
}

void bindTargetTexture(const PixelBufferTarget& target) {
    glBindTexture(GL_TEXTURE_2D, target.texture);
    // Rendering into the texture leaves its smaller levels as they were.
    if (target.created && target.mipmapped) glFunctions.glGenerateMipmap(GL_TEXTURE_2D);
}

PixelBufferTarget& blurPasses(PixelBufferTarget& a, PixelBufferTarget& b, int32_t passes,
                              float spread, float intensity) {
    orthoIdentity(a);
    orthoIdentity(b);
    PixelBufferTarget* result = &a;
    Quad2DState& quad = overlay2D.quad;
    float inset = spread;
    for (int32_t i = 0; i < passes; ++i) {
        PixelBufferTarget& source = i % 2 == 0 ? a : b;
        PixelBufferTarget& destination = i % 2 == 0 ? b : a;
        makeTargetCurrent(destination);
        glColor4f(intensity, intensity, intensity, 1.0f);
        drawFullView(source);
        glColor4f(1.0f, 1.0f, 1.0f, intensity);
        setBlending(true);
        quad.insetU = quad.insetV = inset;
        drawFullView(source);
        setBlending(false);
        quad.insetU = quad.insetV = 0.0f;
        inset /= 2.0f;
        result = &destination;
    }
    makeWindowCurrent();
    return *result;
}

void boundTargetContent(PixelBufferTarget& target, PixelRect content, const float background[4]) {
    target.bounded = true;
    target.content = grownRect(content, 0, target.width, target.height);
    std::copy(background, background + 4, target.background);
}

PixelRect grownRect(PixelRect rect, int32_t by, int32_t width, int32_t height) {
    if (rect.empty()) return PixelRect{};
    PixelRect grown{std::max(rect.x0 - by, 0), std::max(rect.y0 - by, 0),
                    std::min(rect.x1 + by, width), std::min(rect.y1 + by, height)};
    return grown.empty() ? PixelRect{} : grown;
}

namespace {

// The current view's size in pixels: the current target's, else the window's.
void currentViewSize(int32_t& width, int32_t& height) {
    const PixelBufferTarget* target = renderTargets.current;
    width = target != nullptr ? target->width : currentViewWidth();
    height = target != nullptr ? target->height : currentViewHeight();
}

bool blackBackground(const PixelBufferTarget& target) {
    return target.bounded && target.background[0] == 0.0f && target.background[1] == 0.0f &&
           target.background[2] == 0.0f;
}

// One glow pass drawn only where it can differ from the background: the target is cleared to
// the background, then drawn through the scissor.
template <typename Draw>
void drawBoundedPass(PixelBufferTarget& target, PixelRect region, const float background[4],
                     Draw draw) {
    glClearColor(background[0], background[1], background[2], background[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!region.empty()) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(region.x0, region.y0, region.x1 - region.x0, region.y1 - region.y0);
        draw();
        glDisable(GL_SCISSOR_TEST);
    }
    boundTargetContent(target, region, background);
}

} // namespace

PixelRect quadFootprint(const PixelBufferTarget& target, float x, float y, float w, float h,
                        int32_t viewWidth, int32_t viewHeight, float lodBias) {
    if (!target.bounded) return PixelRect{0, 0, viewWidth, viewHeight};
    const Quad2DState& quad = overlay2D.quad;
    // The quad's edges in view pixels and the texture coordinates there, as the 2D drawing
    // sets them up (x from -1 at the left, y from -1 at the bottom).
    float left = (x + 1.0f) * 0.5f * float(viewWidth);
    float right = (x + w + 1.0f) * 0.5f * float(viewWidth);
    float top = (y + 1.0f) * 0.5f * float(viewHeight);
    float bottom = (y - h + 1.0f) * 0.5f * float(viewHeight);
    float uLeft = quad.insetU, uRight = 1.0f - quad.insetU;
    float vTop = quad.flip ? 1.0f - quad.insetV : quad.insetV;
    float vBottom = quad.flip ? quad.insetV : 1.0f - quad.insetV;
    if (right - left < 1.0f || top - bottom < 1.0f || uRight <= uLeft || vTop == vBottom)
        return PixelRect{0, 0, viewWidth, viewHeight};
    float texelsPerPixel =
        std::max(float(target.width) * (uRight - uLeft) / (right - left),
                 float(target.height) * std::fabs(vTop - vBottom) / (top - bottom));
    if (target.content.empty()) return PixelRect{};
    int32_t reach = samplingReach(texelsPerPixel, lodBias, target.mipmapped,
                                  std::max(target.width, target.height));
    PixelRect texels = grownRect(target.content, reach, target.width, target.height);
    // A repeating texture reaches round to the far side from an edge it comes near.
    if (!target.clamped) {
        const PixelRect& c = target.content;
        if (c.x0 - reach < 0 || c.x1 + reach > target.width)
            texels.x0 = 0, texels.x1 = target.width;
        if (c.y0 - reach < 0 || c.y1 + reach > target.height)
            texels.y0 = 0, texels.y1 = target.height;
    }
    // Texel edges to view pixels through the quad's linear mapping, outward to whole pixels.
    auto viewX = [&](int32_t texel) {
        return left +
               (float(texel) / float(target.width) - uLeft) / (uRight - uLeft) * (right - left);
    };
    auto viewY = [&](int32_t texel) {
        return bottom +
               (float(texel) / float(target.height) - vBottom) / (vTop - vBottom) * (top - bottom);
    };
    float xa = viewX(texels.x0), xb = viewX(texels.x1);
    float ya = viewY(texels.y0), yb = viewY(texels.y1);
    PixelRect pixels{int32_t(std::floor(std::min(xa, xb))), int32_t(std::floor(std::min(ya, yb))),
                     int32_t(std::ceil(std::max(xa, xb))), int32_t(std::ceil(std::max(ya, yb)))};
    return grownRect(pixels, 1, viewWidth, viewHeight);
}

bool scissorToTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h,
                         float lodBias) {
    if (!blackBackground(target)) return false;
    int32_t viewWidth = 0, viewHeight = 0;
    currentViewSize(viewWidth, viewHeight);
    PixelRect pixels = quadFootprint(target, x, y, w, h, viewWidth, viewHeight, lodBias);
    glEnable(GL_SCISSOR_TEST);
    glScissor(pixels.x0, pixels.y0, std::max(pixels.x1 - pixels.x0, 0),
              std::max(pixels.y1 - pixels.y0, 0));
    return true;
}

PixelBufferTarget& glowPasses(PixelBufferTarget& source, PixelBufferTarget& middle,
                              PixelBufferTarget& destination, float intensity, const float tint[3],
                              float lodBias) {
    // Outside a bounded source on black, the extraction gives black with the primary colour's
    // alpha, 1, and the spread keeps the texture's alpha: only the rectangles within sampling
    // reach of the source's content can differ from that, and only they are drawn.
    bool bounded = blackBackground(source);
    const float background[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    PixelRect middleRegion =
        quadFootprint(source, -1.0f, 1.0f, 2.0f, 2.0f, middle.width, middle.height, 0.0f);

    makeTargetCurrent(middle);
    setTargetPerspective(middle);
    glColor4f(intensity, intensity, intensity, 1.0f);
    auto extract = [&] {
        drawTwoTargetQuad(source, source, -1.0f, 1.0f, 2.0f, 2.0f, texModeSubtract,
                          texModePrimaryPrevious4x);
    };
    if (bounded)
        drawBoundedPass(middle, middleRegion, background, extract);
    else
        extract();
    makeWindowCurrent();

    PixelRect destinationRegion = quadFootprint(middle, -1.0f, 1.0f, 2.0f, 2.0f, destination.width,
                                                destination.height, lodBias);
    makeTargetCurrent(destination);
    setTargetPerspective(destination);
    glColor4f(tint[0], tint[1], tint[2], 1.0f);
    auto spread = [&] {
        selectTextureUnit(0);
        setTextureLodBias(lodBias);
        drawTargetQuadWithMode(middle, -1.0f, 1.0f, 2.0f, 2.0f, texModeModulatePrevious4x);
        setTextureLodBias(0.0f);
    };
    if (bounded)
        drawBoundedPass(destination, destinationRegion, background, spread);
    else
        spread();
    makeWindowCurrent();
    return destination;
}

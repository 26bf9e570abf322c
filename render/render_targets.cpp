#include "render/render_targets.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/system/failure.h"
#include "render/render_state.h"
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

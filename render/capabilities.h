// OpenGL capabilities: the extension test over the driver's lists, the one-time capability
// check that stops, lowers a setting or records a flag for every extension the engine uses,
// and the capability record of what the renderer may use.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gl/gl_functions.h"
#include "platform/gl/gl_strings.h"

// Sets the swap interval (0 on success); reads it back.
using SwapIntervalProc = int (*)(unsigned int interval);
using GetSwapIntervalProc = int (*)();

struct GLCapabilities {
    bool swapControlAvailable = false;
    SwapIntervalProc swapInterval = nullptr; // the window system's swap control
    GetSwapIntervalProc getSwapInterval = nullptr;
    bool multisampleFilterHintAvailable = false;
    bool vertexBuffersAvailable = false; // listed, and every entry point found
};
extern GLCapabilities glCapabilities;

// What the capability check asks of the driver: its extension lists, two numbers, the
// entry points it found and the swap control. driverQuery asks the current context; tests
// hand in their own answers.
struct GLQuery {
    const GLStrings* lists = nullptr;
    int32_t (*maxTextureUnits)() = nullptr; // GL_MAX_TEXTURE_UNITS_ARB
    float (*maxAnisotropy)() = nullptr;     // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
    const GLFunctions* functions = nullptr;
    SwapIntervalProc setSwapInterval = nullptr; // whichever swap-control extension exists
    GetSwapIntervalProc getSwapInterval = nullptr;
};
GLQuery driverQuery(const GLStrings& lists);

inline constexpr int32_t kRequiredTextureUnits = 4;
inline constexpr const char* kCapabilityCaption = "ATTENTION !";

// True when name is listed as a whole name (followed by one blank) in the GL list, else in
// the window system's lists. The last name of a list without a trailing blank is not found.
bool extensionListed(const GLStrings& lists, std::string_view name);
inline bool extensionListed(std::string_view name) {
    return extensionListed(glStrings, name);
}

// The settings the capability check reads and may lower.
struct CapabilitySettings {
    int32_t textureCompression = 1;
    int32_t textureFiltering = 0; // 2 is "Bilinear (No Mipmap)"
    float anisotropy = 4.0f;      // 1 is off
    int32_t multisampling = 0;    // read only: the filter hint is of use with samples
};

// Runs once after the context is made: fills glCapabilities and returns the settings with
// what the driver cannot honour lowered, each with a notice, or ends the program.
CapabilitySettings checkCapabilities(const GLQuery& query, CapabilitySettings settings);
inline CapabilitySettings checkCapabilities(const CapabilitySettings& settings) {
    return checkCapabilities(driverQuery(glStrings), settings);
}

// True when the driver says it does not draw on a graphics card (`accelerated` 0, see
// GLStrings); where it does not say, when GL_RENDERER names a rasteriser that runs on the
// processor.
bool isSoftwareRasteriser(std::string_view renderer, int accelerated = kRendererNotAsked);
// The settings a software rasteriser draws at the demo's pace: uncompressed textures (it
// decodes every compressed texel it samples) and no anisotropic filtering (it samples the
// whole footprint of every pixel, which takes it minutes for a frame with surfaces seen
// edge-on, more so where multisampling shades the pixels along their edges). Other renderers
// keep the settings as they are.
CapabilitySettings softwareRasteriserSettings(std::string_view renderer,
                                              CapabilitySettings settings,
                                              int accelerated = kRendererNotAsked);
// The notice that tells what softwareRasteriserSettings lowered from `kept` to `run` for this
// run, and why; empty when nothing was lowered. The settings kept (and saved) stay as they
// were.
std::string softwareRasteriserNotice(std::string_view renderer, const CapabilitySettings& kept,
                                     const CapabilitySettings& run);

// The pixel-buffer extension set-up that ends the capability check.
void setupPixelBufferExtensions(const GLQuery& query);

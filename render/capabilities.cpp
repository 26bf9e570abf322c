#include "render/capabilities.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/system/failure.h"
#include "platform/gl/gl_context.h"

GLCapabilities glCapabilities;

namespace {

// A whole-name match: name + " " at the start of the list or right after a blank, so that
// neither a longer name beginning with it nor one ending in it (an "EGL_..." name) counts.
bool listContains(std::string_view list, std::string_view name) {
    std::string wanted(name);
    wanted += ' ';
    for (size_t at = list.find(wanted); at != std::string_view::npos;
         at = list.find(wanted, at + 1)) {
        if (at == 0 || list[at - 1] == ' ') return true;
    }
    return false;
}

int32_t driverMaxTextureUnits() {
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    return units;
}

float driverMaxAnisotropy() {
    GLfloat maximum = 0.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
    return maximum;
}

[[noreturn]] void missingExtension(std::string_view text) {
    fatalError(kCapabilityCaption, text);
}

const char* const kDriverAdvice =
    "\n\nPlease buy a better 3D card or try to install the latest OpenGL drivers.";

// The window system may offer the swap interval through one of several extensions (or as
// part of its interface); it is available when the interval the context has now can be set.
void checkSwapControl(const GLQuery& query) {
    GLCapabilities& caps = glCapabilities;
    caps.swapInterval = query.setSwapInterval;
    caps.getSwapInterval = query.getSwapInterval;
    caps.swapControlAvailable =
        caps.swapInterval != nullptr && caps.getSwapInterval != nullptr &&
        caps.swapInterval(static_cast<unsigned int>(caps.getSwapInterval())) == 0;
}

// A setting that needs one of two extensions: without either, it is lowered to one the
// driver can honour, with a notice. Only asked while the setting is not already at that
// value.
void needEitherExtension(const GLStrings& lists, const char* first, const char* second,
                         int32_t& setting, int32_t lowered, std::string_view notice) {
    if (setting == lowered) return;
    if (extensionListed(lists, first) || extensionListed(lists, second)) return;
    noticeBox(kCapabilityCaption, notice);
    setting = lowered;
}

void checkCompression(const GLStrings& lists, CapabilitySettings& settings) {
    needEitherExtension(
        lists, "GL_ARB_texture_compression", "GL_EXT_texture_compression_s3tc",
        settings.textureCompression, 0,
        "The OpenGL extension GL_ARB_texture_compression and/or "
        "GL_EXT_texture_compression_s3tc is missing !\nSo your video card/driver does not "
        "support s3tc (texture compression).\n\nPlease do not enable texture compression "
        "in the configuration interface !\nThe application will continue without s3tc "
        "now...");
}

void checkMipmapGeneration(const GLStrings& lists, CapabilitySettings& settings) {
    needEitherExtension(
        lists, "GL_EXT_texture", "GL_SGIS_generate_mipmap", settings.textureFiltering, 2,
        "The OpenGL extension GL_SGIS_generate_mipmap is missing !\nSo your video "
        "card/driver does not support automatic mipmap generation.\n\nPlease do not enable "
        "other texture filtering options than \"Bilinear (No Mipmap)\" in the configuration "
        "interface !\nThe application will continue with \"Bilinear (No Mipmap)\" now...");
}

void requireExtension(const GLStrings& lists, const char* name, const char* lack) {
    if (extensionListed(lists, name)) return;
    missingExtension(std::string("The OpenGL extension ") + name + " is missing !\nSo your video " +
                     "card/driver does not support " + lack + "." + kDriverAdvice);
}

void checkMultitexture(const GLQuery& query) {
    requireExtension(*query.lists, "GL_ARB_multitexture", "multitexturing");
    if (query.maxTextureUnits() < kRequiredTextureUnits)
        missingExtension("Your video card or driver does not support " +
                         std::to_string(kRequiredTextureUnits) +
                         " texture units !\nThis number of texture units is needed for "
                         "MultiTexturing in this application." +
                         kDriverAdvice);
}

// A setting truncated to a whole number for the notices. A damaged file may hold any 32-bit
// value, which as a float can lie beyond a signed 32-bit number.
std::string wholeNumberText(float value) {
    constexpr float kLimit = 4294967296.0f;
    if (std::isnan(value)) value = 0.0f;
    return std::to_string(static_cast<int64_t>(std::clamp(value, -kLimit, kLimit)));
}

void checkAnisotropy(const GLQuery& query, CapabilitySettings& settings) {
    float setting = settings.anisotropy;
    if (setting == 1.0f) return;
    std::string selected = "You selected " + wholeNumberText(setting) +
                           "x anisotropic texture filtering in the configuration interface.\n";
    if (!extensionListed(*query.lists, "GL_EXT_texture_filter_anisotropic")) {
        noticeBox(kCapabilityCaption,
                  selected + "But your video card or driver does not support anisotropic texture "
                             "filtering.\nSo the application will continue without anisotropic "
                             "filtering now...");
        settings.anisotropy = 1.0f;
        return;
    }
    float maximum = query.maxAnisotropy();
    if (!(maximum < setting)) return;
    int32_t most = static_cast<int32_t>(maximum);
    std::string mostText = std::to_string(most);
    noticeBox(kCapabilityCaption,
              selected + "But your video card or driver only supports a maximum of " + mostText +
                  "x anisotropic texture filtering.\nSo the application will continue with " +
                  mostText + "x anisotropic filtering now...");
    settings.anisotropy = static_cast<float>(most);
}

void checkVertexBuffers(const GLQuery& query) {
    glCapabilities.vertexBuffersAvailable =
        extensionListed(*query.lists, "GL_ARB_vertex_buffer_object") &&
        query.functions->vertexBuffers;
}

void checkFogCoordinates(const GLQuery& query) {
    if (!extensionListed(*query.lists, "GL_EXT_fog_coord"))
        missingExtension("The OpenGL extension GL_EXT_fog_coord is missing !\nSo your video "
                         "card/driver does not support volumetric fog !\nTry to install newer "
                         "drivers or buy a new 3D card.");
    if (query.functions->glFogCoordPointerEXT == nullptr)
        missingExtension("The OpenGL extension function glFogCoordPointerEXT was not found\n"
                         "although the GL_EXT_fog_coord extension is present !\nSo your video "
                         "card/driver does not support volumetric fog.");
}

// Software rasterisers by the names their drivers give in GL_RENDERER, for drivers that do not
// say whether they are accelerated.
constexpr std::string_view kSoftwareRasterisers[] = {
    "llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader", "basic render driver"};

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < part.size() && lower(text[at + i]) == part[i]) ++i;
        if (i == part.size()) return true;
    }
    return false;
}

} // namespace

bool isSoftwareRasteriser(std::string_view renderer, int accelerated) {
    if (accelerated != kRendererNotAsked) return accelerated == 0;
    for (std::string_view name : kSoftwareRasterisers)
        if (containsIgnoringCase(renderer, name)) return true;
    return false;
}

CapabilitySettings softwareRasteriserSettings(std::string_view renderer,
                                              CapabilitySettings settings, int accelerated) {
    if (!isSoftwareRasteriser(renderer, accelerated)) return settings;
    // Only values that take effect are lowered (others already draw plainly).
    if (settings.textureCompression >= 1 && settings.textureCompression <= 3)
        settings.textureCompression = 0;
    if (settings.anisotropy > 1.0f) settings.anisotropy = 1.0f;
    return settings;
}

std::string softwareRasteriserNotice(std::string_view renderer, const CapabilitySettings& kept,
                                     const CapabilitySettings& run) {
    bool compression = run.textureCompression != kept.textureCompression;
    bool anisotropy = run.anisotropy != kept.anisotropy;
    if (!compression && !anisotropy) return {};
    std::string slow = compression ? "s3tc (texture compression)" : "";
    std::string without = compression ? "without s3tc" : "";
    if (compression && anisotropy) slow += " and ", without += " and ";
    if (anisotropy) {
        slow += std::to_string(static_cast<int32_t>(kept.anisotropy)) +
                "x anisotropic texture filtering";
        without += "without anisotropic filtering";
    }
    return "Your OpenGL driver \"" + std::string(renderer) + "\" renders in software !\nSo " +
           slow + " would make the demo far too slow.\n\nYour configuration keeps " +
           (compression && anisotropy ? "these settings" : "this setting") +
           " for a 3D card.\nThe application will continue " + without + " for this run...";
}

GLQuery driverQuery(const GLStrings& lists) {
    GLQuery query;
    query.lists = &lists;
    query.maxTextureUnits = driverMaxTextureUnits;
    query.maxAnisotropy = driverMaxAnisotropy;
    query.functions = &glFunctions;
    query.setSwapInterval = setSwapInterval;
    query.getSwapInterval = swapInterval;
    return query;
}

bool extensionListed(const GLStrings& lists, std::string_view name) {
    return listContains(lists.extensions, name) ||
           listContains(lists.windowSystemExtensions, name) ||
           listContains(lists.secondWindowSystemExtensions, name);
}

CapabilitySettings checkCapabilities(const GLQuery& query, CapabilitySettings settings) {
    const GLStrings& lists = *query.lists;
    checkSwapControl(query);
    checkCompression(lists, settings);
    glCapabilities.multisampleFilterHintAvailable =
        settings.multisampling != 0 && extensionListed(lists, "GL_NV_multisample_filter_hint");
    if (!extensionListed(lists, "GL_EXT_texture_lod_bias"))
        missingExtension("The OpenGL extension GL_EXT_texture_lod_bias is missing !\nSo your "
                         "video card/driver does not support texture LOD !\nTry to install "
                         "newer drivers or buy a new 3D card.");
    checkMipmapGeneration(lists, settings);
    checkMultitexture(query);
    requireExtension(lists, "GL_ARB_texture_cube_map", "cube maps");
    requireExtension(lists, "GL_ARB_texture_env_combine", "texture combiners");
    requireExtension(lists, "GL_ARB_texture_env_dot3", "ARB DOT3 Bump Mapping");
    checkAnisotropy(query, settings);
    checkVertexBuffers(query);
    checkFogCoordinates(query);
    setupPixelBufferExtensions(query);
    return settings;
}

#include "render/capabilities.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/startup.h"
#include "config/configuration.h"
#include "fatal_pattern.h"
#include "render/render_targets.h"
#include "support/test_support.h"

namespace {

// The current context's GL extension list and the window system's list.
GLStrings driverLists() {
    GLStrings lists;
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    lists.extensions = extensions != nullptr ? reinterpret_cast<const char*>(extensions) : "";
    captureGLStrings();
    lists.windowSystemExtensions = glStrings.windowSystemExtensions;
    lists.secondWindowSystemExtensions.clear();
    return lists;
}

const char* const kAllExtensions[] = {"GL_ARB_texture_compression",
                                      "GL_EXT_texture_compression_s3tc",
                                      "GL_NV_multisample_filter_hint",
                                      "GL_EXT_texture_lod_bias",
                                      "GL_EXT_texture",
                                      "GL_SGIS_generate_mipmap",
                                      "GL_ARB_multitexture",
                                      "GL_ARB_texture_cube_map",
                                      "GL_ARB_texture_env_combine",
                                      "GL_ARB_texture_env_dot3",
                                      "GL_EXT_texture_filter_anisotropic",
                                      "GL_ARB_vertex_buffer_object",
                                      "GL_EXT_fog_coord",
                                      "GL_ARB_framebuffer_object"};

// A driver made up by each test: its lists, unit count, anisotropy maximum and the entry
// points it lacks.
struct FakeDriver {
    GLStrings lists;
    int32_t units = 8;
    float anisotropy = 16.0f;
    std::set<std::string> missingEntryPoints;
    bool swapIntervalRefused = false; // the window system has no way to set it
    unsigned int swapInterval = 0;
};
FakeDriver fake;

GLQuery fakeQuery() {
    GLQuery query;
    query.lists = &fake.lists;
    query.maxTextureUnits = [] { return fake.units; };
    query.maxAnisotropy = [] { return fake.anisotropy; };
    static GLFunctions functions;
    loadGLFunctions(functions, [](const char* name) -> void* {
        static int anyFunction;
        return fake.missingEntryPoints.count(name) != 0 ? nullptr : &anyFunction;
    });
    query.functions = &functions;
    query.setSwapInterval = [](unsigned int interval) {
        if (fake.swapIntervalRefused) return -1;
        fake.swapInterval = interval;
        return 0;
    };
    query.getSwapInterval = [] { return int(fake.swapInterval); };
    return query;
}

class CapabilityCheck : public testing::Test {
  protected:
    void SetUp() override {
        fake = FakeDriver{};
        fake.lists.extensions.clear();
        fake.lists.secondWindowSystemExtensions.clear();
        for (const char* name : kAllExtensions) fake.lists.extensions += std::string(name) + " ";
        fake.lists.windowSystemExtensions = std::string(kSharedContextExtension) + " ";
        configState = ConfigState{};
        glCapabilities = GLCapabilities{};
        failureState.batch = true;
    }
    void without(const std::string& name) {
        std::string& list = fake.lists.extensions;
        list.erase(list.find(name + " "), name.size() + 1);
    }
    static std::string fatal(const std::string& text) { return fatalPattern("ATTENTION !", text); }
};

TEST_F(CapabilityCheck, FullDriverPassesSilentlyAndFillsTheRecord) {
    BoxRecorder boxes;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(glCapabilities.swapControlAvailable);
    EXPECT_TRUE(glCapabilities.multisampleFilterHintAvailable);
    EXPECT_TRUE(glCapabilities.vertexBuffersAvailable);
    EXPECT_EQ(configState.running.anisotropy, 4.0f);
    EXPECT_EQ(configState.running.textureCompression, 1);
}

TEST_F(CapabilityCheck, OptionalFeaturesOnlyClearTheirFlags) {
    BoxRecorder boxes;
    fake.swapIntervalRefused = true;
    fake.missingEntryPoints = {"glBufferSubDataARB"};
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_FALSE(glCapabilities.swapControlAvailable);
    EXPECT_FALSE(glCapabilities.vertexBuffersAvailable);

    fake.missingEntryPoints.clear();
    without("GL_ARB_vertex_buffer_object");
    configState.running.multisampling = 0;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_FALSE(glCapabilities.swapControlAvailable);
    EXPECT_FALSE(glCapabilities.vertexBuffersAvailable);
    EXPECT_FALSE(glCapabilities.multisampleFilterHintAvailable);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(CapabilityCheck, CompressionNeedsOneOfTwoExtensions) {
    BoxRecorder boxes;
    without("GL_EXT_texture_compression_s3tc");
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(configState.running.textureCompression, 1);

    without("GL_ARB_texture_compression");
    configState.running.textureCompression = 3;
    configState.record.block2.textureCompression = 3;
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[0].text,
              "The OpenGL extension GL_ARB_texture_compression and/or "
              "GL_EXT_texture_compression_s3tc is missing !\nSo your video card/driver does not "
              "support s3tc (texture compression).\n\nPlease do not enable texture compression in "
              "the configuration interface !\nThe application will continue without s3tc now...");
    EXPECT_EQ(configState.running.textureCompression, 0);
    EXPECT_EQ(configState.record.block2.textureCompression, 0);
}

TEST_F(CapabilityCheck, MipmapFilteringFallsBackToBilinear) {
    BoxRecorder boxes;
    without("GL_SGIS_generate_mipmap");
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty()) << "GL_EXT_texture alone suffices";

    without("GL_EXT_texture");
    configState.running.textureFiltering = 2;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty()) << "bilinear without mipmaps asks for nothing";

    configState.running.textureFiltering = 1;
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "The OpenGL extension GL_SGIS_generate_mipmap is missing !\nSo your video "
              "card/driver does not support automatic mipmap generation.\n\nPlease do not enable "
              "other texture filtering options than \"Bilinear (No Mipmap)\" in the configuration "
              "interface !\nThe application will continue with \"Bilinear (No Mipmap)\" now...");
    EXPECT_EQ(configState.running.textureFiltering, 2);
    EXPECT_EQ(configState.record.block2.textureFiltering, 2);
}

TEST_F(CapabilityCheck, AnisotropyIsClampedToTheHardware) {
    BoxRecorder boxes;
    configState.running.anisotropy = 2.0f;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(configState.running.anisotropy, 2.0f);

    fake.anisotropy = 8.0f;
    configState.running.anisotropy = 16.0f;
    configState.record.block2.anisotropy = 16;
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "You selected 16x anisotropic texture filtering in the configuration interface.\n"
              "But your video card or driver only supports a maximum of 8x anisotropic texture "
              "filtering.\nSo the application will continue with 8x anisotropic filtering now...");
    EXPECT_EQ(configState.running.anisotropy, 8.0f);
    EXPECT_EQ(configState.record.block2.anisotropy, 8);

    // A damaged file's setting beyond any 32-bit signed number is named as it reads.
    configState.record.block2.anisotropy = -1294967296; // 3000000000 unsigned
    applyConfiguration();
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(boxes.boxes[1].text.starts_with("You selected 3000000000x anisotropic"))
        << boxes.boxes[1].text;
    EXPECT_EQ(configState.record.block2.anisotropy, 8);
}

TEST_F(CapabilityCheck, AnisotropyWithoutTheExtension) {
    BoxRecorder boxes;
    without("GL_EXT_texture_filter_anisotropic");
    configState.running.anisotropy = 1.0f;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(boxes.boxes.empty()) << "a setting of 1 does not ask";

    configState.running.anisotropy = 4.0f;
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "You selected 4x anisotropic texture filtering in the configuration interface.\n"
              "But your video card or driver does not support anisotropic texture filtering.\n"
              "So the application will continue without anisotropic filtering now...");
    EXPECT_EQ(configState.running.anisotropy, 1.0f);
    EXPECT_EQ(configState.record.block2.anisotropy, 1);
}

// What the driver cannot honour is kept lowered; what a software rasteriser draws too slowly
// is lowered for the run alone, after the driver's own limits.
TEST_F(CapabilityCheck, SoftwareRasteriserLowersSettingsForThisRunOnly) {
    BoxRecorder boxes;
    fake.lists.renderer = "llvmpipe (LLVM 15.0.6, 256 bits)";
    fake.anisotropy = 8.0f;
    configState.running.anisotropy = 16.0f;
    configState.record.block2.anisotropy = 16;
    checkConfiguredCapabilities(fakeQuery());
    ASSERT_EQ(boxes.boxes.size(), 2u) << "the driver's limit, then the software rasteriser's";
    EXPECT_EQ(boxes.boxes[1].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[1].text,
              softwareRasteriserNotice(fake.lists.renderer, {1, 0, 8.0f, 3}, {0, 0, 1.0f, 3}));
    const RunningSettings& running = configState.running;
    EXPECT_EQ(running.textureCompression, 0);
    EXPECT_EQ(running.anisotropy, 1.0f);
    EXPECT_EQ(running.multisampling, 3) << "multisampling keeps its pace";
    const ConfigBlock2& stored = configState.record.block2;
    EXPECT_TRUE(stored.textureCompression == 1 && stored.multisampling == 3);
    EXPECT_EQ(stored.anisotropy, 8) << "the driver's maximum is kept";
}

TEST_F(CapabilityCheck, RequiredExtensionsFailInTheirOrder) {
    const std::string advice =
        "\n\nPlease buy a better 3D card or try to install the latest OpenGL drivers.";
    // Each row removes one more feature; the first missing one in check order is reported.
    without("GL_EXT_fog_coord");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_EXT_fog_coord is missing !\nSo your video "
                      "card/driver does not support volumetric fog !\nTry to install newer "
                      "drivers or buy a new 3D card."));
    without("GL_ARB_texture_env_dot3");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_ARB_texture_env_dot3 is missing !\nSo your video "
                      "card/driver does not support ARB DOT3 Bump Mapping." +
                      advice));
    without("GL_ARB_texture_env_combine");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_ARB_texture_env_combine is missing !\nSo your "
                      "video card/driver does not support texture combiners." +
                      advice));
    without("GL_ARB_texture_cube_map");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_ARB_texture_cube_map is missing !\nSo your video "
                      "card/driver does not support cube maps." +
                      advice));
    fake.units = 3;
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("Your video card or driver does not support 4 texture units !\nThis "
                      "number of texture units is needed for MultiTexturing in this "
                      "application." +
                      advice));
    without("GL_ARB_multitexture");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_ARB_multitexture is missing !\nSo your video "
                      "card/driver does not support multitexturing." +
                      advice));
    without("GL_EXT_texture_lod_bias");
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_EXT_texture_lod_bias is missing !\nSo your "
                      "video card/driver does not support texture LOD !\nTry to install newer "
                      "drivers or buy a new 3D card."));
}

TEST_F(CapabilityCheck, FourUnitsSuffice) {
    fake.units = 4;
    checkConfiguredCapabilities(fakeQuery());
    EXPECT_TRUE(glCapabilities.vertexBuffersAvailable);
}

TEST_F(CapabilityCheck, FogCoordinatesListedButTheEntryPointMissing) {
    fake.missingEntryPoints = {"glFogCoordPointerEXT"};
    EXPECT_EXIT(checkConfiguredCapabilities(fakeQuery()), testing::ExitedWithCode(1),
                fatal("The OpenGL extension function glFogCoordPointerEXT was not found\n"
                      "although the GL_EXT_fog_coord extension is present !\nSo your video "
                      "card/driver does not support volumetric fog."));
}

TEST(ExtensionTest, MatchesWholeNamesFollowedByABlank) {
    GLStrings lists;
    lists.extensions = "GL_ARB_multitexture GL_EXT_texture_lod_bias GL_EXT_fog_coord";
    lists.windowSystemExtensions = "EGL_KHR_debug GLX_MESA_swap_control ";
    lists.secondWindowSystemExtensions = "EGL_EXT_texture_format GL_ARB_second_list ";
    EXPECT_TRUE(extensionListed(lists, "GL_ARB_multitexture"));
    EXPECT_TRUE(extensionListed(lists, "GL_EXT_texture_lod_bias"));
    EXPECT_FALSE(extensionListed(lists, "GL_EXT_fog_coord")) << "last name, no trailing blank";
    EXPECT_FALSE(extensionListed(lists, "GL_EXT_texture")) << "prefix of a longer name";
    EXPECT_FALSE(extensionListed(lists, "GL_ARB_multi"));
    EXPECT_FALSE(extensionListed(lists, "GL_KHR_debug")) << "tail of EGL_KHR_debug";
    EXPECT_FALSE(extensionListed(lists, "GL_EXT_texture_format")) << "tail of an EGL name";
    EXPECT_TRUE(extensionListed(lists, "GLX_MESA_swap_control"));
    EXPECT_TRUE(extensionListed(lists, "GL_ARB_second_list"));
    EXPECT_FALSE(extensionListed(lists, ""));
}

// The driver's own answer counts first; the renderer's name where the driver gives none.
TEST(SoftwareRasteriser, AskedOfTheDriverElseKnownByTheRendererString) {
    const struct {
        const char* renderer;
        int accelerated;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", kRendererNotAsked, true},
        {"softpipe", kRendererNotAsked, true},
        {"swrast", kRendererNotAsked, true},
        {"Software Rasterizer", kRendererNotAsked, true},
        {"SwiftShader Device (Subzero) (0x0000C0DE)", kRendererNotAsked, true},
        {"D3D12 (Microsoft Basic Render Driver)", kRendererNotAsked, true},
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-18-amd64)",
         kRendererNotAsked, false},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", kRendererNotAsked, false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", kRendererNotAsked, false},
        {"Unknown", kRendererNotAsked, false},
        {"zink (some future rasteriser)", 0, true}, // a name no list knows
        {"llvmpipe (LLVM 15.0.6, 256 bits)", 1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSoftwareRasteriser(c.renderer, c.accelerated), c.software) << c.renderer;
        CapabilitySettings run =
            softwareRasteriserSettings(c.renderer, {2, 1, 16.0f, 3}, c.accelerated);
        EXPECT_EQ(run.textureCompression, c.software ? 0 : 2) << c.renderer;
        EXPECT_EQ(run.anisotropy, c.software ? 1.0f : 16.0f) << c.renderer;
        EXPECT_EQ(run.multisampling, 3) << c.renderer;
    }
    // Values without effect are left alone: they draw plainly already.
    CapabilitySettings run = softwareRasteriserSettings("llvmpipe", {7, 0, 0.0f, 0});
    EXPECT_TRUE(run.textureCompression == 7 && run.anisotropy == 0.0f);
}

TEST(SoftwareRasteriser, NoticeNamesWhatWasLowered) {
    const std::string so = "Your OpenGL driver \"swrast\" renders in software !\nSo ";
    const struct {
        CapabilitySettings kept;
        std::string text;
    } cases[] = {
        {{0, 0, 1.0f, 0}, ""},
        {{0, 2, 2.0f, 0},
         so + "2x anisotropic texture filtering would make the demo far too slow.\n\nYour "
              "configuration keeps this setting for a 3D card.\nThe application will continue "
              "without anisotropic filtering for this run..."},
        {{3, 0, 4.0f, 1},
         so + "s3tc (texture compression) and 4x anisotropic texture filtering would make the "
              "demo far too slow.\n\nYour configuration keeps these settings for a 3D "
              "card.\nThe application will continue without s3tc and without anisotropic "
              "filtering for this run..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(softwareRasteriserNotice("swrast", c.kept,
                                           softwareRasteriserSettings("swrast", c.kept)),
                  c.text); // Under the frame-time governor the notice says so too; with nothing
                           // lowered there is none.
    const CapabilitySettings lowered{3, 0, 1.0f, 0};
    std::string governed = softwareRendererNotice(
        "swrast", lowered, softwareRasteriserSettings("swrast", lowered), true);
    EXPECT_NE(governed.find("for this run...\n\nThe 3D scenes are drawn at a lower resolution "
                            "wherever a frame would miss the display's rate (film03 --scale "
                            "off draws them whole)."),
              std::string::npos)
        << governed;
    EXPECT_EQ(softwareRendererNotice("swrast", cases[0].kept, cases[0].kept, true), "");
    const CapabilitySettings run = softwareRasteriserSettings("swrast", lowered);
    EXPECT_EQ(softwareRendererNotice("swrast", lowered, run, false),
              softwareRasteriserNotice("swrast", lowered, run));
}

// The real driver: the check passes on Mesa, and extensions masked out of the driver's list
// with MESA_EXTENSION_OVERRIDE give their notice or end the program. Masking any of Mesa's
// always-present extensions drops all of them at once (texture LOD bias, multitexture, cube
// maps, combiners, DOT3, fog coordinates), so the first required one in check order is named.
class DriverCapabilities : public CapabilityCheck {};

TEST_F(DriverCapabilities, RealDriverPasses) {
    HiddenGLWindow window;
    if (!window.ok) GTEST_SKIP() << "no display";
    BoxRecorder boxes;
    GLStrings lists = driverLists();
    configState.running.anisotropy = 16.0f;
    checkConfiguredCapabilities(driverQuery(lists));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_NE(glFunctions.glActiveTextureARB, nullptr);
    EXPECT_NE(glFunctions.glClientActiveTextureARB, nullptr);
    EXPECT_TRUE(glCapabilities.vertexBuffersAvailable);
    EXPECT_EQ(configState.running.anisotropy, 16.0f);
}

// Runs the real check with the extensions masked; exits 0 when the check went on and showed
// exactly the expected notices (fatal reports end it with 1 first).
void checkWithMaskedExtensions(const char* masked, std::vector<std::string> notices) {
    setenv("MESA_EXTENSION_OVERRIDE", masked, 1);
    HiddenGLWindow window;
    if (!window.ok) std::exit(2);
    GLStrings lists = driverLists();
    BoxRecorder boxes;
    checkConfiguredCapabilities(driverQuery(lists));
    std::vector<std::string> shown;
    for (const RecordedBox& box : boxes.boxes) shown.push_back(box.text);
    std::exit(shown == notices ? 0 : 3);
}

TEST_F(DriverCapabilities, MaskedExtensions) {
    // No context may be made before the mask is set: the driver reads it once per process.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(checkWithMaskedExtensions("-GL_EXT_fog_coord", {}), testing::ExitedWithCode(1),
                fatal("The OpenGL extension GL_EXT_texture_lod_bias is missing !\nSo your "
                      "video card/driver does not support texture LOD !\nTry to install newer "
                      "drivers or buy a new 3D card."));
    EXPECT_EXIT(checkWithMaskedExtensions(
                    "-GL_EXT_texture_filter_anisotropic",
                    {"You selected 4x anisotropic texture filtering in the configuration "
                     "interface.\nBut your video card or driver does not support anisotropic "
                     "texture filtering.\nSo the application will continue without anisotropic "
                     "filtering now..."}),
                testing::ExitedWithCode(0), "");
}

} // namespace

#include "render/statistics.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/events.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/memory.h"
#include "render/capabilities.h"
#include "render/render_state.h"
#include "resources/textures.h"

StatisticsState statisticsState;

namespace {

const char* const kAntiAliasingLines[] = {
    "Anti Aliasing  : Off\n",
    "Anti Aliasing  : 2x (2Taps)\n",
    "Anti Aliasing  : 2x (5Taps) Quincunx\n",
    "Anti Aliasing  : 4x (4Taps)\n",
    "Anti Aliasing  : 4x (9Taps)\n",
    "Anti Aliasing  : 6x\n",
    "Anti Aliasing  : 8x\n",
};

// Vertical sync is reported on only where the interval can be read back as 1.
bool swapIntervalIsOne() {
    const GLCapabilities& caps = glCapabilities;
    return caps.swapControlAvailable && caps.getSwapInterval != nullptr &&
           caps.getSwapInterval() == 1;
}

const char* compressionLine(int32_t mode) {
    switch (mode) {
        case 1:
            return "S3TCompression : On (DXT3)\n\n";
        case 2:
            return "S3TCompression : On (DXT5)\n\n";
        case 3:
            return "S3TCompression : On (DXT1)\n\n";
        default:
            return "S3TCompression : Off\n\n";
    }
}

void writeSettings(std::ostream& out) {
    const RenderSettings& settings = renderState.settings;
    if (!glCapabilities.swapControlAvailable)
        out << "Vertical Sync  : Driver controled\n\n";
    else
        out << (swapIntervalIsOne() ? "Vertical Sync  : ON\n\n" : "Vertical Sync  : OFF\n\n");
    out << (glCapabilities.vertexBuffersAvailable ? "VBO Supported  : YES\n"
                                                  : "VBO Supported  : NO\n");
    int32_t mode = settings.multisampleMode;
    if (mode >= 0 && mode <= 6) out << kAntiAliasingLines[mode];
    if (settings.anisotropy == 1.0f)
        out << "Anisotropic    : Off (Isotropic 1.0)\n";
    else
        out << "Anisotropic    : " << static_cast<int32_t>(settings.anisotropy) << "x\n";
    out << compressionLine(settings.textureCompressionMode);
}

void writeMemoryLine(std::ostream& out, const char* label, uint32_t bytes) {
    out << label << bytes << " BYTES  (" << bytes / 1024 << " KB / " << bytes / 1048576 << " MB)\n";
}

void writeCounts(std::ostream& out, const StatisticsInputs& inputs) {
    const StatisticsState& stats = statisticsState;
    const FrameStatistics& frame = stats.frame;
    out << "TEXTURES (SYS) : " << textureState.count << "\n";
    out << "TEXTURES (GPU) : " << textureState.glTextureCount << "\n\n";
    out << "MAX LIGHTS USED: " << frame.largestLightCount << "\n\n";
    out << "TOTAL OBJECTS  : " << inputs.objectCount << " (" << stats.objectsWithBuffers
        << " VBO, whereof " << stats.dynamicObjects << " dynamic)\n";
    out << "RENDERED       : " << frame.renderedObjects << "  (" << frame.perPixelLitObjects
        << " per-pixel lightened"
        << ", " << frame.particleSystems << " particle sys)\n";
    out << "(ALPHA)        : " << frame.transparentObjects << "\n";
    out << "(SOLID)        : " << frame.solidObjects << "\n\n";
    int64_t byDeactivation = int64_t(inputs.planeTestsSaved) - 6 * int64_t(inputs.objectTestsSaved);
    out << "CULLING TESTS\n";
    out << "VIEW FRUSTUM   : " << inputs.objectTests << " (SAVED " << inputs.objectTestsSaved
        << ")\n";
    out << "FRUSTUM PLANES : " << inputs.planeTests << " (SAVED " << inputs.planeTestsSaved
        << " WHEREOF " << byDeactivation << " BY DEACTIVATION)\n\n";
    out << "TRIANGLES      : " << frame.totalTriangles << "\n";
    out << "(ALPHA)        : " << frame.transparentTriangles << "\n";
    out << "(SOLID)        : " << frame.solidTriangles << "\n\n";
    out << "MEMORY USAGE\n";
    writeMemoryLine(out, "CURRENTLY USED : ", memoryState.accountedBytes);
    writeMemoryLine(out, "MAXIMUM USED   : ", memoryState.accountedPeak);
    out << "\n";
}

void writeCamera(std::ostream& out) {
    const Camera& camera = renderState.camera;
    out << "CAM POSITION X : " << camera.eye.x << "\n";
    out << "CAM POSITION Y : " << camera.eye.y << "\n";
    out << "CAM POSITION Z : " << camera.eye.z << "\n\n";
    out << "CAM VIEWANGLE X: " << camera.viewDirection.x << "\n";
    out << "CAM VIEWANGLE Y: " << camera.viewDirection.y << "\n";
    out << "CAM VIEWANGLE Z: " << camera.viewDirection.z << "\n\n";
}

} // namespace

void resetFrameStatistics() {
    statisticsState.frame = FrameStatistics{};
}

void countFrame(uint32_t now) {
    StatisticsState& state = statisticsState;
    if (!state.rateStarted) {
        // The tick count is long past 0 by now: timing the first second from 0 would show a
        // rate of 0 at once.
        state.rateStarted = true;
        state.lastRateUpdate = now;
        state.frameCounter = 1;
        return;
    }
    if (now - state.lastRateUpdate < 1000) {
        state.frameCounter++;
        return;
    }
    state.rateText = std::to_string(state.frameCounter);
    state.lastRateUpdate = now;
    state.frameCounter = 1;
}

void advanceStatisticsPage(uint32_t now) {
    StatisticsState& state = statisticsState;
    if (eventState.keys[kStatisticsKey] == 0) return;
    if (now - state.lastPageChange <= kStatisticsKeyDelayMs) return;
    state.page = (state.page + 1) % 3;
    state.lastPageChange = now;
}

namespace {

// A scale with two decimals: "0.85".
std::string scaleText(float scale) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", double(scale));
    return text;
}

} // namespace

std::string statisticsOverlayText(int32_t page, const StatisticsInputs& inputs) {
    if (page != 1 && page != 2) return {};
    const std::string& rate = statisticsState.rateText;
    bool hint = swapIntervalIsOne();
    std::ostringstream out;
    if (page == 1) {
        out << "FPS: " << rate << (hint ? " (disable vsync for true fps!)\n" : "\n");
        if (inputs.frameScale > 0.0f) out << "SCALE: " << scaleText(inputs.frameScale) << "\n";
        out << "\nPRESS AGAIN TO SEE MORE !";
        return out.str();
    }
    out << "FPS            : " << rate
        << (hint ? " (disable vertical sync to get true fps!)\n" : "\n");
    out << "TIME           : " << eventState.clock.elapsed << "\n";
    if (inputs.frameScale > 0.0f)
        out << "Frame Scale    : " << scaleText(inputs.frameScale) << "\n";
    writeSettings(out);
    writeCounts(out, inputs);
    writeCamera(out);
    out << "OpenGL Version : " << glStrings.version << "\n";
    out << "Renderer       : " << glStrings.renderer << "\n";
    out << "Vendor         : " << glStrings.vendor << "\n";
    return out.str();
}

StatisticsLayout statisticsLayout(std::string_view text, float aspect) {
    // The text's lines (a last line feed starts no line of its own) and its longest line.
    size_t lines = 0, longest = 0, length = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') ++length;
        if (text[i] == '\n' || i + 1 == text.size()) {
            ++lines;
            longest = std::max(longest, length);
            length = 0;
        }
    }
    StatisticsLayout layout;
    const float room = 1.96f; // from 0.98 to -0.98, and from -0.98 to 0.98
    const float height = float(lines) * aspect * layout.size + float(lines) * layout.lineSpacing;
    const float width = float(longest) * layout.size;
    const float fit =
        std::min({1.0f, height > 0 ? room / height : 1.0f, width > 0 ? room / width : 1.0f});
    layout.size *= fit;
    layout.lineSpacing *= fit;
    return layout;
}

#include "app/render_settings.h"

#include "config/configuration.h"
#include "render/capabilities.h"

RenderSettings renderSettingsFromConfiguration() {
    const RunningSettings& running = configState.running;
    RenderSettings settings;
    settings.screenWidth = running.screenWidth;
    settings.screenHeight = running.screenHeight;
    settings.verticalSync = running.verticalSync;
    settings.fullscreen = running.fullscreen;
    settings.multisampleMode = running.multisampling;
    settings.localViewerSpecular = running.localViewer;
    settings.textureCompressionMode = running.textureCompression;
    settings.textureFilterMode = running.textureFiltering;
    settings.textureUnitCount = kRequiredTextureUnits;
    settings.anisotropy = running.anisotropy;
    return settings;
}

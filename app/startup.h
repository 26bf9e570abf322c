// The demo from start to end: one straight sequence of start-up steps, the phases, and the
// shutdown in reverse. Each phase owns its frame loop.
#pragma once

#include <string>

#include "app/app_state.h"
#include "render/capabilities.h"

struct Options;

// The start-up steps that hand the configuration to the modules below and keep what they
// correct (the record and the running settings alike).

// Full screen: switches the display mode; where that fails with no known reason, offers
// windowed mode. False when the user declines (the configuration is then saved). Windowed
// runs leave the display alone.
bool setUpDisplayMode();
// The main window as configured; a lowered multisampling setting is kept. `gammaInPicture`:
// the gamma goes into the picture whatever the desktop offers; `realPixels`: frames at the
// display's pixels where it shows the picture larger.
void createConfiguredWindow(bool gammaInPicture = false, bool realPixels = false);
// The capability check on the configured settings; what the driver cannot honour is lowered
// in the record and the running settings, what a software rasteriser draws too slowly in the
// running settings only, with one notice.
void checkConfiguredCapabilities(const GLQuery& query, bool governed = false);
// That notice: what was lowered for this run and why, and with `governed` that the 3D scenes
// are drawn smaller where frames would miss the display's rate (and the option that draws them
// whole); empty when nothing was lowered.
std::string softwareRendererNotice(std::string_view renderer, const CapabilitySettings& kept,
                                   const CapabilitySettings& run, bool governed);
// checkConfiguredCapabilities, then the engine started with the running settings it left.
// `governed`: the frame-time governor will be on, which the software rasteriser's notice says.
void startConfiguredEngine(const GLQuery& query, bool governed = false);
// The texture manager's quality settings.
void configureTextures();
// The configured gamma ramp, or the plain one (gamma 1, kept) where the display refuses it.
void applyConfiguredGamma();

// The render targets' depth buffers as configured.
void configureRenderTargets();
// The scenes' four 512 x 512 targets, each with the default render state: target 1 and
// target 2 plain, targets 3 and 4 (the glow's) mipmapped; all clamped.
void createSceneTargets();

// Runs the demo; the result is the program's exit code (128 + the signal after a stop
// signal, which ends every phase as Escape or Cancel would).
int runDemo(const Options& options);

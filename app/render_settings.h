// The render core's settings, taken from the running configuration once at start-up (the
// modules below the demo sequence never read the configuration themselves).
#pragma once

#include "render/render_state.h"

RenderSettings renderSettingsFromConfiguration();

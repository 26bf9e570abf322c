// Engine start-up and shutdown: the one-time set-up of the render state, the registries and
// their defaults once the window and its context exist, and the release of everything the
// engine created, the most recently created first. Also the per-frame glue between the scene
// model and the render core: the scene camera taken from a camera object, and the frame
// counters of the statistics overlay.
#pragma once

#include "render/render_state.h"
#include "render/statistics.h"

struct SceneObject;

// Checks the driver's capabilities (which may end the program), then sets the fog, texture
// and overlay defaults, the scene tag, the screen size and projection, empty registries, the
// default camera and the default GL state.
void initEngine(const RenderSettings& settings);
// Deletes the normalisation cube map, switches the lights off, then deletes every particle
// system, every object and every texture.
void shutdownEngine();

// Copies a camera object's world position, target and roll into the scene camera. Null or a
// non-camera object changes nothing.
void cameraFromObject(const SceneObject* object);

// The first call of each frame: zeroes the frame statistics and the culling counters.
void resetFrameCounters();
// What the statistics overlay needs from the scene model, as of this frame.
StatisticsInputs currentStatisticsInputs();

// Engine start-up and shutdown: the one-time set-up of the render state, the registries and
// their defaults once the window and its context exist, and the release of everything the
// engine created, the most recently created first. Also the per-frame glue between the scene
// model and the render core: the scene camera taken from a camera object, and the frame
// counters of the statistics overlay.
#pragma once

#include "render/capabilities.h"
#include "render/render_state.h"
#include "render/statistics.h"

struct SceneObject;

// Checks the driver's capabilities (which may end the program or lower the texture settings),
// then sets the fog, texture and overlay defaults, the scene tag, the screen size and
// projection, empty registries, the renderer's buffer hooks, the default camera and the
// default GL state. Returns the capability settings as the check left them.
CapabilitySettings initEngine(const RenderSettings& settings, const GLQuery& query);
// The same after a capability check made elsewhere: settings hold what it left.
void startEngine(const RenderSettings& settings);
// Deletes the normalisation cube map, switches the lights off, then deletes every particle
// system, every object and every texture, and frees the renderer's draw lists.
void shutdownEngine();

// What new face groups and bump-mapped meshes take from the texture modes: the default mode
// on every unit, and the three DOT3 set-ups that light a bump-mapped mesh per pixel through
// its normal map and the normalisation cube map. Scenes are loaded after this.
void setSceneModelDefaults();

// Copies a camera object's world position, target and roll into the scene camera. Null or a
// non-camera object changes nothing.
void cameraFromObject(const SceneObject* object);

// The first call of each frame: zeroes the frame statistics and the culling counters.
void resetFrameCounters();
// What the statistics overlay needs from the scene model, as of this frame.
StatisticsInputs currentStatisticsInputs();

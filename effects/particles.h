// Particle systems: named pools of textured camera-facing squares. The registry owns the
// systems from creation until they are deleted by name.
#pragma once

// Deletes every particle system, the most recently created first.
void deleteAllParticleSystems();

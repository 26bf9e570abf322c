// The demo's scene "Film_03.3ds": the hall with its pillars, arches, lights and the glowing
// logo for the first scene, the engine logo for the second, and the two camera flights.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer3ds.h"

// The scene as records, before it is written (tests look into it).
Scene3ds demoScene();

// The bytes of "Film_03.3ds"; the same on every run.
std::vector<uint8_t> buildDemoScene();

// Every texture file the scene refers to, in the order of first use: each material's map and,
// for "NM_" materials, the normal map the loader looks for (the map's name with its last four
// characters replaced by "_NM.PNG").
std::vector<std::string> demoSceneTextureNames();

// The normal-map file the loader derives from a map file name ("Pillar.jpg" gives
// "Pillar_NM.PNG").
std::string normalMapName(const std::string& mapFile);

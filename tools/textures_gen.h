// Procedural images: the hall's material textures and their normal maps, the sphere map,
// flares, the gamma screen's pieces, the cursor, and the program's icon and dialog bitmaps.
#pragma once

#include <string>
#include <vector>

#include "tools/canvas.h"

// Normal map of a square height field that tiles: tangent-space normals with x to the right
// of the image and y towards its top, packed as 0.5 + 0.5 * n into RGB. strength scales the
// slopes (height units per pixel).
Image normalMapFromHeight(const std::vector<float>& height, int size, float strength);

// The textures the hall's materials name, by file name (letter case ignored). A name ending
// in "_NM.PNG" is the normal map of the material named by the rest. False if unknown.
bool generateSceneTexture(const std::string& name, Image& out);

// "Textur20.png", "Textur64.jpg", "Flare10.png" … "Flare16.png", "GammaLine.png",
// "GammaSlider.png", "Cursor.jpg".
std::vector<NamedImage> generateInterfaceImages();
// "icon2500.png" and "bitmap2400.png" … "bitmap2408.png" for the window and the dialogs.
std::vector<NamedImage> generateResourceImages();

// The 3DS reader: turns one 3DS scene file into engine objects (meshes with their material
// groups and textures, lights, cameras, the keyframer's hierarchy and tracks), logging each
// step to the loading dialog, and finishes every object it read (local vertices, bounds,
// oriented box and OBB tree, bump-mapping preparation). A second use fills a further level
// of detail of an existing object from a file that holds one object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SceneNode;
struct FaceGroup;

// The texture file names a face group got from its material, kept for inspection (the group
// itself holds only GL texture names, which are 0 when textures are not loaded).
struct GroupTextureNames {
    const FaceGroup* group = nullptr;
    std::string texture;   // full name of the texture map, empty when none
    std::string normalMap; // the normal map found for an "NM_" material, empty when none
};

struct Reader3dsState {
    // false: texture files are not loaded (no GL needed); their names are still recorded.
    bool loadTextures = true;
    // Not empty: a texture file (or normal map) missing from the scene's own source is read
    // from this bigfile instead. The data tool's viewer points it at the folder's bigfile.
    std::string textureFallbackArchive;
    // Filled by every load, cleared at its start.
    std::vector<GroupTextureNames> groupTextures;
};
extern Reader3dsState reader3dsState;

// Reads fileName (from the bigfile archiveName, or the loose file when it is empty).
// texturePrefix goes in front of every texture file name unless clearPrefix is not empty.
// lodTarget -1: a normal load; otherwise the registry index of the object whose LOD fill
// slot (its lodIndex) receives the file's one mesh. Keyframer nodes of hierarchy position -1
// go under parentNode. Every failure is fatal.
void load3dsScene(const std::string& fileName, const std::string& archiveName,
                  std::string texturePrefix, const std::string& clearPrefix, int lodTarget,
                  SceneNode* parentNode);

// The same for a file already in memory (the bytes are copied); its textures are loose
// files. Tests, the benchmark and the fuzz target use it.
void load3dsSceneFromMemory(const std::string& fileName, const uint8_t* data, uint32_t size,
                            std::string texturePrefix, const std::string& clearPrefix,
                            int lodTarget, SceneNode* parentNode);

// The texture names recorded for a face group, or null.
const GroupTextureNames* findGroupTextureNames(const FaceGroup* group);

// Texture manager: the table of texture records addressed by index, loading each named image
// once (with the UNC disk cache), upload with the user's format and filtering, the counted
// texture-name wrappers and the normalisation cube map.
#pragma once

#include <cstdint>
#include <string>

#include "resources/texture_record.h"

struct TextureLoadOptions {
    bool noMipmaps = true;
    bool noAnisotropy = true;
    bool noCompression = true;
    bool clamp = false;
    bool colourKey = false;
};

struct TextureState {
    TextureRecord** records = nullptr; // accounted array of record pointers
    int32_t count = 0;
    int32_t glTextureCount = 0; // GL texture names generated through this module
    TextureLoadOptions options;
    std::string sceneTag = "Scene1";
    uint32_t normalisationCubeMap = 0;
};
extern TextureState textureState;

int32_t loadTexture(std::string fileName, std::string archiveName);
int32_t createTexture(std::string name, int32_t width, int32_t height, const uint8_t* data);
int32_t findTexture(const std::string& name);
void deleteTexture(int32_t index);
void deleteTextureByName(std::string name);
// Engine shutdown: every texture by name from the last index down, then the cube map.
void deleteAllTextures();
void generateTextureNames(int32_t count, uint32_t* names);
void deleteTextureNames(int32_t count, const uint32_t* names);
uint32_t chooseInternalFormat();
void applyWrapMode();
void buildNormalisationCubeMap();

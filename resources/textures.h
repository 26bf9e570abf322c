// Texture manager: the table of texture records addressed by index, loading each named image
// once (with the UNC disk cache), upload with the user's format and filtering, the counted
// texture-name wrappers and the normalisation cube map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/texture_record.h"

struct TextureLoadOptions {
    bool noMipmaps = true;
    bool noAnisotropy = true;
    bool noCompression = true;
    bool clamp = false;
    bool colourKey = false;
};

// The user's texture quality, handed over once at start-up (after the capability check).
struct TextureQuality {
    int32_t compression = 1;     // 0 none, 1 DXT3, 2 DXT5, 3 DXT1
    int32_t filtering = 0;       // 0 trilinear, 1 bilinear with mipmaps, 2 bilinear, no mipmaps
    int32_t colourDepth = 32;    // 16 or 32 bits per texel
    float anisotropy = 4.0f;     // 1 is off
    bool saveCompressed = false; // large decoded images are cached in loose UNC files
};

struct TextureState {
    TextureRecord** records = nullptr; // accounted array of record pointers
    int32_t count = 0;
    int32_t glTextureCount = 0; // GL texture names generated through this module
    TextureLoadOptions options;
    TextureQuality quality;
    // The engine's current scene tag, given to new texture records and new scene objects.
    std::string sceneTag = "Scene1";
    uint32_t normalisationCubeMap = 0; // the one cube map (0: none)
    // Where the texture cache files are kept; empty: beside the images (the working folder).
    std::string cacheFolder;
    // While set, cache files that are not used are gathered for one notice; otherwise each
    // is told at once.
    bool gatherCacheNotices = false;
    std::vector<std::string> unusedCaches; // one line each: the file, its image, why
    // Textures with mipmap levels read one level a sample, whatever the quality asks.
    bool oneLevelMinification = false;
};
extern TextureState textureState;

// From now on the cache files that are not used are gathered; reportUnusedTextureCaches shows
// them in one notice (nothing when every cache file was used) and stops gathering.
void gatherUnusedTextureCaches();
void reportUnusedTextureCaches();

void setTextureQuality(const TextureQuality& quality);

// The minifying filter of a texture uploaded at a filtering quality (0 trilinear, 1 bilinear
// with mipmaps, 2 bilinear without): as the quality asks, or with one mipmap level a sample
// where oneLevel (a software rasteriser samples one level in about half the time of two).
uint32_t minifyingFilter(int32_t filtering, bool oneLevel);
// Every texture with mipmap levels minified with one level a sample, or as the quality asks
// again; nothing when that is already so.
void setOneLevelMinification(bool oneLevel);

// Loads with the current load options, or with the options given.
int32_t loadTexture(std::string fileName, std::string archiveName);
int32_t loadTexture(std::string fileName, std::string archiveName,
                    const TextureLoadOptions& options);
int32_t createTexture(std::string name, int32_t width, int32_t height, const uint8_t* data);
int32_t findTexture(const std::string& name);
void deleteTexture(int32_t index);
void deleteTextureByName(std::string name);
// Engine shutdown: every texture by name from the last index down, then the cube map.
void deleteAllTextures();
void generateTextureNames(int32_t count, uint32_t* names);
void deleteTextureNames(int32_t count, const uint32_t* names);
// The internal format and the wrap mode for the current load options or the options given.
uint32_t chooseInternalFormat();
uint32_t chooseInternalFormat(const TextureLoadOptions& options);
void applyWrapMode();
void applyWrapMode(const TextureLoadOptions& options);
void buildNormalisationCubeMap();

#include "resources/textures.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <strings.h>

#include "platform/system/data_paths.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "resources/images.h"

TextureState textureState;

uint32_t minifyingFilter(int32_t filtering, bool oneLevel) {
    if (filtering == 0) return oneLevel ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR;
    return filtering == 1 ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
}

void setOneLevelMinification(bool oneLevel) {
    if (textureState.oneLevelMinification == oneLevel) return;
    textureState.oneLevelMinification = oneLevel;
    GLint filter = GLint(minifyingFilter(textureState.quality.filtering, oneLevel));
    for (int32_t i = 0; i < textureState.count; ++i) {
        const TextureRecord& record = *textureState.records[i];
        if (!record.mipmapped || record.glName == 0) continue;
        glBindTexture(GL_TEXTURE_2D, record.glName);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

namespace {

constexpr int32_t kCacheThresholdBytes = 262144;
constexpr int32_t kCubeMapSide = 128;

std::string upperCased(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

uint32_t tableBytes(int32_t count) {
    return static_cast<uint32_t>(count) * static_cast<uint32_t>(sizeof(TextureRecord*));
}

// Sets index to the texture of that name; when there is none, appends a new record for it
// and returns that record (nullptr when the name was found).
TextureRecord* appendUnlessFound(const std::string& name, int32_t& index) {
    index = findTexture(name);
    if (index >= 0) return nullptr;
    TextureState& state = textureState;
    accountedAlloc(state.records, tableBytes(state.count), tableBytes(state.count + 1));
    TextureRecord* record = new TextureRecord;
    record->name = name;
    record->sceneTag = state.sceneTag;
    state.records[state.count] = record;
    index = state.count++;
    return record;
}

bool isPowerOfTwo(int32_t value) {
    return value > 0 && (value & (value - 1)) == 0;
}

void checkMaximumSize(const TextureRecord& record) {
    GLint maximum = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
    if (maximum >= record.width && maximum >= record.height) return;
    std::string side = std::to_string(maximum);
    fatalError("HARDWARE ACCELERATION ERROR",
               "Your video card does not support texture sizes higher than " + side + " x " + side +
                   " !\n\nPlease get a better video card !");
}

void checkPowerOfTwo(const TextureRecord& record, const std::string& archiveName) {
    if (isPowerOfTwo(record.width) && isPowerOfTwo(record.height)) return;
    fatalError("ATTENTION !", "Invalid texture found !\n\n" + record.name + " in Bigfile " +
                                  archiveName + " has not a power of 2 dimension !");
}

// Sets the maximum anisotropy of the bound texture when the setting asks for filtering.
void applyAnisotropy(GLenum target, bool off) {
    float setting = textureState.quality.anisotropy;
    if (setting > 1.0f)
        glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, off ? 1.0f : setting);
}

void setFilters(GLint minFilter, GLint generateMipmaps) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, generateMipmaps);
}

// Gives the record its GL texture: name, wrap, anisotropy, filters and, with pixels, the image.
void uploadTexture(TextureRecord& record, const uint8_t* pixels,
                   const TextureLoadOptions& options) {
    if (record.glName != 0)
        fatalError("INTERNAL ERROR",
                   "UNC Texture is already assigned to an OpenGL texture handle.\n\nIf you are a "
                   "developer check your texture loading code !\nIf you are a user please contact "
                   "the programmer !");
    generateTextureNames(1, &record.glName);
    glBindTexture(GL_TEXTURE_2D, record.glName);
    if (pixels != nullptr) {
        record.lit = litTexels(pixels, record.width, record.height);
        record.litKnown = true;
    }
    applyWrapMode(options);
    applyAnisotropy(GL_TEXTURE_2D, options.noAnisotropy);
    int32_t filtering = options.noMipmaps ? 2 : textureState.quality.filtering;
    GLint format = static_cast<GLint>(chooseInternalFormat(options));
    record.mipmapped = filtering == 0 || filtering == 1;
    if (record.mipmapped) {
        setFilters(GLint(minifyingFilter(filtering, textureState.oneLevelMinification)), 1);
        if (pixels != nullptr)
            gluBuild2DMipmaps(GL_TEXTURE_2D, format, record.width, record.height, GL_RGBA,
                              GL_UNSIGNED_BYTE, pixels);
    } else if (filtering == 2) {
        setFilters(GL_LINEAR, 0);
        if (pixels != nullptr)
            glTexImage2D(GL_TEXTURE_2D, 0, format, record.width, record.height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, pixels);
    }
}

// Modification time of a loose file in nanoseconds, -1 when it has none.
int64_t modificationTime(const std::string& fileName) {
    struct stat status;
    if (::stat(resolveLooseFile(fileName).c_str(), &status) != 0) return -1;
    return int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

// Reads the cache file into the record after its checks: empty when it was used, otherwise
// why not. A cache older than the file that holds the image is out of date.
std::string readCheckedCache(TextureRecord& record, const std::string& cacheName,
                             const std::string& fileName, const std::string& archiveName) {
    const std::string& source = archiveName.empty() ? fileName : archiveName;
    int64_t sourceTime = modificationTime(source), cacheTime = modificationTime(cacheName);
    if (sourceTime >= 0 && cacheTime >= 0 && cacheTime < sourceTime)
        return "It is older than \"" + resolveLooseFile(source) + "\", which holds the image.";
    std::string problem = readUncCache(record, cacheName);
    if (problem.empty() && !(isPowerOfTwo(record.width) && isPowerOfTwo(record.height))) {
        problem = "It holds " + std::to_string(record.width) + " x " +
                  std::to_string(record.height) + " pixels, which is no power of 2 size.";
        releasePixels(record);
        setTextureSize(record, 0, 0);
    }
    return problem;
}

// A name as the file system (or the archive's directory) spells it: names reach the loaders
// upper-cased.
std::string realName(const std::string& fileName, const std::string& archiveName) {
    if (archiveName.empty()) return resolveLooseFile(fileName);
    for (const BigfileEntry& entry : listBigfileEntries(resolveLooseFile(archiveName)))
        if (strcasecmp(entry.name.c_str(), fileName.c_str()) == 0) return entry.name;
    return fileName;
}

std::string cacheNoticeText(const std::vector<std::string>& lines, bool saving) {
    const bool one = lines.size() == 1;
    std::string text =
        one ? "A texture cache file is not used !\n" : "These texture cache files are not used !\n";
    for (const std::string& line : lines) text += "\n" + line;
    text += one ? "\n\nIts texture is decoded from its image instead"
                : "\n\nTheir textures are decoded from their images instead";
    if (!saving) return text + ".";
    return text +
           (one ? " and the cache file is made again." : " and the cache files are made again.");
}

void cacheNotice(const std::string& cacheName, const std::string& fileName,
                 const std::string& archiveName, const std::string& problem) {
    std::string line = "- \"" + resolveLooseFile(cacheName) + "\" (of \"" +
                       realName(fileName, archiveName) + "\") : " + problem;
    textureState.unusedCaches.push_back(line);
    if (!textureState.gatherCacheNotices) reportUnusedTextureCaches();
}

// The cache file of an image: its name with the ending "unc", in the cache folder when there
// is one.
std::string cacheFileName(const std::string& fileName) {
    size_t length = fileName.size();
    // A name too short to carry an ending has no cache name.
    if (length < 3) return {};
    std::string name = fileName.substr(0, length - 3) + "unc";
    if (textureState.cacheFolder.empty()) return name;
    size_t slash = name.find_last_of('/');
    return textureState.cacheFolder + "/" +
           (slash == std::string::npos ? name : name.substr(slash + 1));
}

} // namespace

void gatherUnusedTextureCaches() {
    textureState.gatherCacheNotices = true;
}

void reportUnusedTextureCaches() {
    TextureState& state = textureState;
    state.gatherCacheNotices = false;
    if (state.unusedCaches.empty()) return;
    std::vector<std::string> lines;
    lines.swap(state.unusedCaches);
    noticeBox("ATTENTION !", cacheNoticeText(lines, state.quality.saveCompressed));
}

namespace {

// Fills the record from the file by its ending. Images other than PCX and UNC are read from
// their loose UNC cache file when one exists and passes its checks, and cached when saving is
// on and they are large. A cache that fails its checks is reported, and replaced (or, for
// an image too small to be cached, removed) when saving is on.
void decodeTextureFile(TextureRecord& record, const std::string& fileName,
                       const std::string& archiveName, bool colourKey) {
    size_t length = fileName.size();
    std::string ending = length >= 3 ? fileName.substr(length - 3) : std::string();
    if (ending == "PCX") return decodePcx(record, fileName, archiveName, colourKey);
    if (ending == "UNC") return readUnc(record, fileName, archiveName, colourKey);
    std::string cacheName = cacheFileName(fileName);
    const bool saving = textureState.quality.saveCompressed;
    bool cacheFailed = false;
    // The cache holds the pixels as decoding left them, colour key included: keying them
    // again would take an image's own alpha channel away.
    if (!cacheName.empty() && fileExists(cacheName, "")) {
        std::string problem = readCheckedCache(record, cacheName, fileName, archiveName);
        if (problem.empty()) return;
        cacheNotice(cacheName, fileName, archiveName, problem);
        cacheFailed = true;
    }
    decodeWithImageLibrary(record, fileName, archiveName, colourKey);
    if (cacheName.empty() || !saving) return;
    if (record.byteSize >= kCacheThresholdBytes &&
        (textureState.cacheFolder.empty() || makeFolders(textureState.cacheFolder)))
        writeUnc(record, cacheName, !cacheFailed);
    else if (cacheFailed)
        std::remove(resolveLooseFile(cacheName).c_str());
}

void destroyRecord(TextureRecord* record) {
    releasePixels(*record);
    delete record;
}

// The direction a cube-map texel at row r, column k of a face stands for.
void cubeMapDirection(int face, float r, float k, float direction[3]) {
    const float c = 63.5f;
    switch (face) {
        case 0:
            direction[0] = 64;
            direction[1] = c - r;
            direction[2] = c - k;
            break;
        case 1:
            direction[0] = -64;
            direction[1] = c - r;
            direction[2] = k - c;
            break;
        case 2:
            direction[0] = k - c;
            direction[1] = 64;
            direction[2] = r - c;
            break;
        case 3:
            direction[0] = k - c;
            direction[1] = -64;
            direction[2] = c - r;
            break;
        case 4:
            direction[0] = k - c;
            direction[1] = c - r;
            direction[2] = 64;
            break;
        default:
            direction[0] = c - k;
            direction[1] = c - r;
            direction[2] = -64;
            break;
    }
}

void fillCubeMapFace(int face, uint8_t* buffer) {
    for (int r = 0; r < kCubeMapSide; ++r) {
        for (int k = 0; k < kCubeMapSide; ++k) {
            float direction[3];
            cubeMapDirection(face, static_cast<float>(r), static_cast<float>(k), direction);
            float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                     direction[2] * direction[2]);
            for (int i = 0; i < 3; ++i)
                *buffer++ = static_cast<uint8_t>((direction[i] / length + 1.0f) / 2.0f * 255.0f);
        }
    }
}

} // namespace

int32_t loadTexture(std::string fileName, std::string archiveName) {
    return loadTexture(std::move(fileName), std::move(archiveName), textureState.options);
}

int32_t loadTexture(std::string fileName, std::string archiveName,
                    const TextureLoadOptions& options) {
    fileName = upperCased(std::move(fileName));
    archiveName = upperCased(std::move(archiveName));
    int32_t index = -1;
    TextureRecord* record = appendUnlessFound(fileName, index);
    if (record == nullptr) return index;
    decodeTextureFile(*record, fileName, archiveName, options.colourKey);
    checkMaximumSize(*record);
    checkPowerOfTwo(*record, archiveName);
    uploadTexture(*record, record->pixels, options);
    releasePixels(*record);
    return index;
}

int32_t createTexture(std::string name, int32_t width, int32_t height, const uint8_t* data) {
    name = upperCased(std::move(name));
    int32_t index = -1;
    TextureRecord* record = appendUnlessFound(name, index);
    if (record == nullptr) return index;
    setTextureSize(*record, width, height);
    checkMaximumSize(*record);
    uploadTexture(*record, data, textureState.options);
    return index;
}

int32_t findTexture(const std::string& name) {
    std::string key = upperCased(name);
    for (int32_t i = 0; i < textureState.count; ++i)
        if (textureState.records[i]->name == key) return i;
    return -1;
}

void deleteTexture(int32_t index) {
    TextureState& state = textureState;
    // Anything outside the table (not only -1) is ignored rather than read past its end.
    if (index < 0 || index >= state.count) return;
    TextureRecord* record = state.records[index];
    if (record->glName != 0) deleteTextureNames(1, &record->glName);
    if (state.count > 1 && index != state.count - 1)
        state.records[index] = state.records[state.count - 1];
    destroyRecord(record);
    if (state.count == 1)
        accountedFree(state.records, tableBytes(1));
    else
        accountedAlloc(state.records, tableBytes(state.count), tableBytes(state.count - 1));
    --state.count;
}

void deleteTextureByName(std::string name) {
    deleteTexture(findTexture(upperCased(std::move(name))));
}

void deleteAllTextures() {
    while (textureState.count > 0)
        deleteTextureByName(textureState.records[textureState.count - 1]->name);
    if (textureState.normalisationCubeMap != 0) {
        deleteTextureNames(1, &textureState.normalisationCubeMap);
        textureState.normalisationCubeMap = 0;
    }
}

void setTextureQuality(const TextureQuality& quality) {
    textureState.quality = quality;
}

void generateTextureNames(int32_t count, uint32_t* names) {
    glGenTextures(count, names);
    textureState.glTextureCount += count;
}

void deleteTextureNames(int32_t count, const uint32_t* names) {
    textureState.glTextureCount -= count;
    if (textureState.glTextureCount < 0)
        noticeBox("INTERNAL ERROR",
                  "glDeleteTextures was called but there are no more textures loaded !");
    glDeleteTextures(count, names);
}

uint32_t chooseInternalFormat() {
    return chooseInternalFormat(textureState.options);
}

uint32_t chooseInternalFormat(const TextureLoadOptions& options) {
    const TextureQuality& quality = textureState.quality;
    if (!options.noCompression) {
        switch (quality.compression) {
            case 1:
                return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
            case 2:
                return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
            case 3:
                return GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
            default:
                break;
        }
    }
    return quality.colourDepth == 16 ? GL_RGBA4 : GL_RGBA8;
}

void applyWrapMode() {
    applyWrapMode(textureState.options);
}

void applyWrapMode(const TextureLoadOptions& options) {
    GLint wrap = options.clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void buildNormalisationCubeMap() {
    TextureState& state = textureState;
    if (state.normalisationCubeMap != 0) {
        deleteTextureNames(1, &state.normalisationCubeMap);
        state.normalisationCubeMap = 0;
    }
    const uint32_t bufferBytes = kCubeMapSide * kCubeMapSide * 3;
    uint8_t* buffer = nullptr;
    accountedAlloc(buffer, 0, bufferBytes);
    generateTextureNames(1, &state.normalisationCubeMap);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, state.normalisationCubeMap);
    applyAnisotropy(GL_TEXTURE_CUBE_MAP_ARB, true);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    for (int face = 0; face < 6; ++face) {
        fillCubeMapFace(face, buffer);
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face, 0, GL_RGBA8, kCubeMapSide,
                     kCubeMapSide, 0, GL_RGB, GL_UNSIGNED_BYTE, buffer);
    }
    accountedFree(buffer, bufferBytes);
}

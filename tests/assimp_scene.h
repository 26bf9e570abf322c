// The independent 3DS reader the tests and the benchmark compare against: the system's
// libassimp, opened at run time through its C interface (no post-processing steps).
#pragma once

#include <assimp/scene.h>
#include <dlfcn.h>

struct AssimpLibrary {
    void* handle = nullptr;
    const aiScene* (*importFile)(const char* path, unsigned int flags) = nullptr;
    const aiScene* (*importMemory)(const char* buffer, unsigned int length, unsigned int flags,
                                   const char* hint) = nullptr;
    void (*release)(const aiScene* scene) = nullptr;
    bool ok() const { return importFile && importMemory && release; }
};

inline AssimpLibrary& assimpLibrary() {
    static AssimpLibrary library = [] {
        AssimpLibrary lib;
        lib.handle = dlopen("libassimp.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!lib.handle) lib.handle = dlopen("libassimp.so", RTLD_NOW | RTLD_LOCAL);
        if (!lib.handle) return lib;
        lib.importFile =
            reinterpret_cast<decltype(lib.importFile)>(dlsym(lib.handle, "aiImportFile"));
        lib.importMemory = reinterpret_cast<decltype(lib.importMemory)>(
            dlsym(lib.handle, "aiImportFileFromMemory"));
        lib.release = reinterpret_cast<decltype(lib.release)>(dlsym(lib.handle, "aiReleaseImport"));
        return lib;
    }();
    return library;
}

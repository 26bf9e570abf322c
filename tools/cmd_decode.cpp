// demotool decode: any image the texture loader reads, through the engine's own decoders,
// written as an RGBA PNG.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "platform/system/failure.h"
#include "resources/images.h"
#include "tools/commands.h"
#include "tools/tool_report.h"

namespace {

bool endsWithFolded(const std::string& name, const char* ending) {
    size_t length = std::strlen(ending);
    if (name.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[name.size() - length + i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != ending[i]) return false;
    }
    return true;
}

void writeRgbaPng(const std::string& path, const TextureRecord& record) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(record.width);
    image.height = static_cast<png_uint_32>(record.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, record.pixels, 0, nullptr))
        fatalFileError(path);
}

} // namespace

int runDecode(int argc, char** argv) {
    bool colourKey = argc == 3 && std::strcmp(argv[2], "--colour-key") == 0;
    if (argc != 2 && !colourKey) {
        std::fprintf(stderr, "usage: demotool decode IN OUT.png [--colour-key]\n");
        return 2;
    }
    std::string in = argv[0];
    if (!requireInputFile(in)) return 1;
    TextureRecord record;
    if (endsWithFolded(in, "PCX"))
        decodePcx(record, in, "", colourKey);
    else if (endsWithFolded(in, "UNC"))
        readUnc(record, in, "", colourKey);
    else
        decodeWithImageLibrary(record, in, "", colourKey);
    if (record.width == 0 || record.height == 0)
        fatalError(kImageErrorCaption, "The image file \"" + in + "\" holds no pixels !");
    writeRgbaPng(argv[1], record);
    releasePixels(record);
    return 0;
}

#include "tools/image_write.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

#include <string>

#include "platform/system/failure.h"

Image makeImage(int width, int height, int channels) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.assign(size_t(width) * height * channels, 0);
    return image;
}

namespace {

void appendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

[[noreturn]] void encoderFailure(const char* what) {
    fatalError("ERROR", std::string("The ") + what + " encoder failed !");
}

} // namespace

std::vector<uint8_t> encodePng(const Image& image) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) encoderFailure("PNG");
    if (setjmp(png_jmpbuf(png))) encoderFailure("PNG");
    png_set_write_fn(png, &out, appendPngBytes, flushNothing);
    png_set_IHDR(png, info, image.width, image.height, 8,
                 image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    const size_t stride = size_t(image.width) * image.channels;
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.pixels.data() + stride * y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void jpegFailed(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

} // namespace

std::vector<uint8_t> encodeJpeg(const Image& image, int quality) {
    jpeg_compress_struct info;
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = jpegFailed;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(trap.jump)) encoderFailure("JPEG");
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (quality >= 95) // full-resolution colour as well: fewer stray values around sharp edges
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(image.width) * 3);
    while (info.next_scanline < info.image_height) {
        const uint8_t* source =
            image.pixels.data() + size_t(info.next_scanline) * image.width * image.channels;
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = source[x * image.channels + c];
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Image scaleImageRgb(const Image& image, int width, int height) {
    Image out = makeImage(width, height, 3);
    for (int y = 0; y < height; ++y) {
        const int y0 = y * image.height / height;
        const int y1 = std::max(y0 + 1, (y + 1) * image.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * image.width / width;
            const int x1 = std::max(x0 + 1, (x + 1) * image.width / width);
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const uint8_t* p =
                        &image.pixels[(size_t(sy) * image.width + sx) * image.channels];
                    const unsigned alpha = image.channels == 4 ? p[3] : 255;
                    for (int c = 0; c < 3; ++c) sum[c] += p[c] * alpha / 255;
                }
            const unsigned count = unsigned((y1 - y0) * (x1 - x0));
            for (int c = 0; c < 3; ++c)
                out.pixels[(size_t(y) * width + x) * 3 + c] = uint8_t(sum[c] / count);
        }
    }
    return out;
}

// Image files for tests and benchmarks: PNG and JPEG files of one colour, written with
// libpng and libjpeg.
#pragma once

#include <jpeglib.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// An RGBA image of one colour.
inline std::vector<uint8_t> imagePixels(int width, int height, const uint8_t colour[4]) {
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = colour[i % 4];
    return pixels;
}

inline bool writePng(const std::string& path, int width, int height, const uint8_t colour[4]) {
    std::vector<uint8_t> pixels = imagePixels(width, height, colour);
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

// RGB rows, top row first.
inline bool writeJpegPixels(const std::string& path, int width, int height,
                            const std::vector<JSAMPLE>& rgb) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPLE*>(rgb.data()) + info.next_scanline * width * 3};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// A grey JPEG: every channel of every pixel is value.
inline bool writeJpeg(const std::string& path, int width, int height, JSAMPLE value = 160) {
    return writeJpegPixels(path, width, height,
                           std::vector<JSAMPLE>(size_t(width) * height * 3, value));
}

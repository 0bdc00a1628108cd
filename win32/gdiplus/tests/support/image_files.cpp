#include "support/image_files.h"

#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace image_files {

std::string jpeg(int width, int height, const PixelFn& pixel, JpegKind kind) {
    const int components = kind == JpegKind::Grey ? 1 : kind == JpegKind::Rgb ? 3 : 4;
    std::vector<uint8_t> s;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0, shift = components == 3 ? 16 : 24; c < components; ++c, shift -= 8)
                s.push_back(
                    static_cast<uint8_t>(pixel(x, y) >> (kind == JpegKind::Grey ? 16 : shift)));
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = kind == JpegKind::Grey  ? JCS_GRAYSCALE
                           : kind == JpegKind::Rgb ? JCS_RGB
                                                   : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &s[cinfo.next_scanline * width * components];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), length);
    std::free(buffer);
    return out;
}

std::string png(int width, int height, PngKind kind, const PixelFn& pixel, bool interlaced) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    const bool palette = kind == PngKind::PaletteWithTransparency;
    const int colour = kind == PngKind::Rgb                               ? PNG_COLOR_TYPE_RGB
                       : kind == PngKind::Rgba || kind == PngKind::Rgba16 ? PNG_COLOR_TYPE_RGBA
                       : palette                                          ? PNG_COLOR_TYPE_PALETTE
                                                                          : PNG_COLOR_TYPE_GRAY;
    const int depth = kind == PngKind::Grey1                               ? 1
                      : kind == PngKind::Grey16 || kind == PngKind::Rgba16 ? 16
                                                                           : 8;
    png_set_IHDR(png, info, width, height, depth, colour,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The palette kind collects the distinct colours of the picture (at most 256).
    std::vector<uint32_t> colours;
    std::vector<std::vector<uint8_t>> rows(kind == PngKind::Grey1 ? 0 : height);
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixel(x, y);
            const uint8_t a = p >> 24, r = p >> 16, g = p >> 8, b = p;
            const uint8_t low = static_cast<uint8_t>(x * 37 + y * 11);
            auto& row = rows[y];
            if (kind == PngKind::Rgb) row.insert(row.end(), {r, g, b});
            if (kind == PngKind::Rgba) row.insert(row.end(), {r, g, b, a});
            if (kind == PngKind::Grey16) row.insert(row.end(), {r, g});
            if (kind == PngKind::Rgba16) row.insert(row.end(), {r, low, g, low, b, low, a, low});
            if (palette) {
                size_t i = 0;
                while (i < colours.size() && colours[i] != p) ++i;
                if (i == colours.size()) colours.push_back(p);
                row.push_back(static_cast<uint8_t>(i));
            }
        }
    }
    if (palette) {
        std::vector<png_color> entries;
        std::vector<png_byte> alpha;
        for (uint32_t c : colours) {
            entries.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                               static_cast<png_byte>(c)});
            alpha.push_back(static_cast<png_byte>(c >> 24));
        }
        png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
        png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
    }
    png_write_info(png, info);
    if (kind == PngKind::Grey1) {
        // A large picture in a small file, written a row at a time.
        std::vector<uint8_t> row((width + 7) / 8, 0);
        for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    } else {
        std::vector<png_bytep> pointers;
        for (auto& row : rows) pointers.push_back(row.data());
        png_write_image(png, pointers.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string with_claimed_size(std::string jpeg, int width, int height) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<uint8_t>(jpeg[i + 1]);
        if (static_cast<uint8_t>(jpeg[i]) != 0xFF || (marker != 0xC0 && marker != 0xC2)) continue;
        // Marker, length, precision, then height and width, big-endian.
        const int fields[] = {height >> 8, height, width >> 8, width};
        for (int k = 0; k < 4; ++k) jpeg[i + 5 + k] = static_cast<char>(fields[k]);
        break;
    }
    return jpeg;
}

std::string bmp24(int width, int height, const PixelFn& pixel) {
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string out(54 + static_cast<size_t>(stride) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    out[26] = 1;
    out[28] = 24;
    put32(34, static_cast<uint32_t>(out.size() - 54));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                out[54 + static_cast<size_t>(stride) * (height - 1 - y) + x * 3 + c] =
                    static_cast<char>(pixel(x, y) >> (8 * c));
    return out;
}

}  // namespace image_files

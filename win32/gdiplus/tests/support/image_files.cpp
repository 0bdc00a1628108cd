#include "support/image_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace image_files {
namespace {

std::string compress(int width, int height, int components, J_COLOR_SPACE space,
                     const std::vector<uint8_t>& samples, int quality) {
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
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&samples[cinfo.next_scanline * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), length);
    std::free(buffer);
    return out;
}

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void no_flush(png_structp) {}

}  // namespace

std::string jpeg(int width, int height, const PixelFn& pixel, int quality) {
    std::vector<uint8_t> s;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            s.push_back(static_cast<uint8_t>(p >> 16));
            s.push_back(static_cast<uint8_t>(p >> 8));
            s.push_back(static_cast<uint8_t>(p));
        }
    }
    return compress(width, height, 3, JCS_RGB, s, quality);
}

std::string grey_jpeg(int width, int height, const std::function<uint8_t(int x, int y)>& value) {
    std::vector<uint8_t> s;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) s.push_back(value(x, y));
    return compress(width, height, 1, JCS_GRAYSCALE, s, 95);
}

std::string cmyk_jpeg(int width, int height, uint32_t cmyk) {
    std::vector<uint8_t> s;
    for (int i = 0; i < width * height; ++i)
        for (int shift : {24, 16, 8, 0}) s.push_back(static_cast<uint8_t>(cmyk >> shift));
    return compress(width, height, 4, JCS_CMYK, s, 95);
}

std::string png(int width, int height, PngKind kind, const PixelFn& pixel, bool interlaced) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, append, no_flush);
    int colour = kind == PngKind::Rgb      ? PNG_COLOR_TYPE_RGB
                 : kind == PngKind::Rgba   ? PNG_COLOR_TYPE_RGBA
                 : kind == PngKind::Grey16 ? PNG_COLOR_TYPE_GRAY
                 : kind == PngKind::Rgba16 ? PNG_COLOR_TYPE_RGBA
                                           : PNG_COLOR_TYPE_PALETTE;
    int depth = kind == PngKind::Grey16 || kind == PngKind::Rgba16 ? 16 : 8;
    png_set_IHDR(png, info, width, height, depth, colour,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The palette kind collects the distinct colours of the picture (at most 256).
    std::vector<uint32_t> colours;
    std::vector<std::vector<uint8_t>> rows(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            uint8_t a = p >> 24, r = p >> 16, g = p >> 8, b = p;
            auto& row = rows[y];
            switch (kind) {
                case PngKind::Rgb:
                    row.insert(row.end(), {r, g, b});
                    break;
                case PngKind::Rgba:
                    row.insert(row.end(), {r, g, b, a});
                    break;
                case PngKind::Grey16:
                    row.insert(row.end(), {r, g});
                    break;  // big-endian sample
                case PngKind::Rgba16: {
                    const uint8_t low = static_cast<uint8_t>(x * 37 + y * 11);
                    row.insert(row.end(), {r, low, g, low, b, low, a, low});
                    break;
                }
                case PngKind::PaletteWithTransparency: {
                    size_t i = 0;
                    while (i < colours.size() && colours[i] != p) ++i;
                    if (i == colours.size()) colours.push_back(p);
                    row.push_back(static_cast<uint8_t>(i));
                    break;
                }
            }
        }
    }
    if (kind == PngKind::PaletteWithTransparency) {
        std::vector<png_color> palette;
        std::vector<png_byte> alpha;
        for (uint32_t c : colours) {
            palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                               static_cast<png_byte>(c)});
            alpha.push_back(static_cast<png_byte>(c >> 24));
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string black_png(int width, int height) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, append, no_flush);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row((width + 7) / 8, 0);
    for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string with_claimed_size(std::string jpeg, int width, int height) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<uint8_t>(jpeg[i + 1]);
        if (static_cast<uint8_t>(jpeg[i]) != 0xFF || (marker != 0xC0 && marker != 0xC2)) continue;
        // Marker, length, precision, then height and width, big-endian.
        jpeg[i + 5] = static_cast<char>(height >> 8);
        jpeg[i + 6] = static_cast<char>(height);
        jpeg[i + 7] = static_cast<char>(width >> 8);
        jpeg[i + 8] = static_cast<char>(width);
        break;
    }
    return jpeg;
}

std::string bmp24(int width, int height, const PixelFn& pixel) {
    int stride = (width * 3 + 3) / 4 * 4;
    uint32_t image = static_cast<uint32_t>(stride * height);
    std::string out(54 + image, '\0');
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
    put32(34, image);
    for (int y = 0; y < height; ++y) {
        size_t row = 54 + static_cast<size_t>(stride) * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            out[row + x * 3] = static_cast<char>(p);
            out[row + x * 3 + 1] = static_cast<char>(p >> 8);
            out[row + x * 3 + 2] = static_cast<char>(p >> 16);
        }
    }
    return out;
}

}  // namespace image_files

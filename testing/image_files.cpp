#include "testing/image_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

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

std::string png(const PngSpec& s) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, append, no_flush);
    png_set_IHDR(png, info, s.cx, s.cy, s.depth, s.type,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.trans_alpha.empty())
        png_set_tRNS(png, info, s.trans_alpha.data(), static_cast<int>(s.trans_alpha.size()),
                     nullptr);
    if (s.has_trans_color) png_set_tRNS(png, info, nullptr, 0, &s.trans_color);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : s.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string png(int width, int height, PngKind kind, const PixelFn& pixel, bool interlaced) {
    PngSpec s;
    s.cx = width;
    s.cy = height;
    s.interlaced = interlaced;
    s.type = kind == PngKind::Rgb      ? PNG_COLOR_TYPE_RGB
             : kind == PngKind::Rgba   ? PNG_COLOR_TYPE_RGBA
             : kind == PngKind::Grey16 ? PNG_COLOR_TYPE_GRAY
             : kind == PngKind::Rgba16 ? PNG_COLOR_TYPE_RGBA
                                       : PNG_COLOR_TYPE_PALETTE;
    s.depth = kind == PngKind::Grey16 || kind == PngKind::Rgba16 ? 16 : 8;
    // The palette kind collects the distinct colours of the picture (at most 256).
    std::vector<uint32_t> colours;
    s.rows.resize(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixel(x, y);
            uint8_t a = p >> 24, r = p >> 16, g = p >> 8, b = p;
            auto& row = s.rows[y];
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
    for (uint32_t c : colours) {
        s.palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                             static_cast<png_byte>(c)});
        s.trans_alpha.push_back(static_cast<png_byte>(c >> 24));
    }
    return png(s);
}

std::string black_png(int width, int height) {
    PngSpec s;
    s.cx = width;
    s.cy = height;
    s.type = PNG_COLOR_TYPE_GRAY;
    s.depth = 1;
    s.rows.assign(height, std::vector<png_byte>((width + 7) / 8, 0));
    return png(s);
}

std::string with_png_size(std::string png, uint32_t width, uint32_t height) {
    auto* ihdr = reinterpret_cast<png_byte*>(png.data()) + 8;  // length, "IHDR", data, crc
    png_save_uint_32(ihdr + 8, width);
    png_save_uint_32(ihdr + 12, height);
    const uLong crc = crc32(crc32(0, nullptr, 0), ihdr + 4, 4 + 13);
    png_save_uint_32(ihdr + 8 + 13, static_cast<png_uint_32>(crc));
    return png;
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

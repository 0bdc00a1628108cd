// Writes PNG files for the tests with libpng's own writer.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace testpng {

struct Spec {
    int cx = 1, cy = 1;
    int type = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trans_alpha;  // palette transparency
    bool has_trans_color = false;       // grey or RGB transparency
    png_color_16 trans_color{};
    std::vector<std::vector<png_byte>> rows;  // packed as the file stores them
};

inline void Append(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<png_byte>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
inline void NoFlush(png_structp) {}

inline std::vector<png_byte> Write(const Spec& s) {
    std::vector<png_byte> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(png, &out, Append, NoFlush);
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
    for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Rewrites the header's width and height (with a valid checksum).
inline void PatchSize(std::vector<png_byte>& file, uint32_t cx, uint32_t cy) {
    png_byte* ihdr = file.data() + 8;  // length, "IHDR", data, crc
    png_save_uint_32(ihdr + 8, cx);
    png_save_uint_32(ihdr + 12, cy);
    const uLong crc = crc32(crc32(0, nullptr, 0), ihdr + 4, 4 + 13);
    png_save_uint_32(ihdr + 8 + 13, static_cast<png_uint_32>(crc));
}

}  // namespace testpng

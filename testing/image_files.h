// Image files made by the tests themselves with libjpeg and libpng (BMP by hand).
// Free of Windows headers, since libjpeg's headers define some of the same names.
#pragma once

#include <png.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace image_files {

// Pixels are asked for as 0xAARRGGBB.
using PixelFn = std::function<uint32_t(int x, int y)>;

std::string jpeg(int width, int height, const PixelFn& pixel, int quality = 95);
std::string grey_jpeg(int width, int height, const std::function<uint8_t(int x, int y)>& value);

// Four-channel JPEG with the Adobe marker; samples as stored (255 = no ink).
std::string cmyk_jpeg(int width, int height, uint32_t cmyk);

// Any PNG libpng writes: the header's fields and the rows packed as the file stores them.
struct PngSpec {
    int cx = 1, cy = 1;
    int type = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trans_alpha;  // palette transparency
    bool has_trans_color = false;       // grey or RGB transparency
    png_color_16 trans_color{};
    std::vector<std::vector<png_byte>> rows;
};
std::string png(const PngSpec& spec);

// Rgba16 samples are the pixel's byte with a low byte that varies from pixel to pixel.
enum class PngKind { Rgb, Rgba, Grey16, Rgba16, PaletteWithTransparency };
std::string png(int width, int height, PngKind kind, const PixelFn& pixel, bool interlaced = false);

// A black 1-bit grey PNG: a large image in a small file, quickly written.
std::string black_png(int width, int height);
// The PNG with its header claiming another size (and a checksum that fits).
std::string with_png_size(std::string png, uint32_t width, uint32_t height);
// The JPEG with its frame header claiming another size (its data then ends early).
std::string with_claimed_size(std::string jpeg, int width, int height);

// Uncompressed 24-bit BMP, bottom-up.
std::string bmp24(int width, int height, const PixelFn& pixel);

}  // namespace image_files

// Image files made by the tests themselves with libjpeg and libpng. Free of
// Windows headers, since libjpeg's headers define some of the same names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace image_files {

// Pixels are asked for as 0xAARRGGBB.
using PixelFn = std::function<uint32_t(int x, int y)>;

// Grey keeps the red byte; CMYK (with the Adobe marker) takes all four bytes as stored.
enum class JpegKind { Rgb, Grey, Cmyk };
std::string jpeg(int width, int height, const PixelFn& pixel, JpegKind kind = JpegKind::Rgb);

// Grey16 takes red and green as the big-endian sample; Rgba16 samples are the pixel's
// byte with a low byte that varies from pixel to pixel; Grey1 is black.
enum class PngKind { Rgb, Rgba, Grey16, Rgba16, PaletteWithTransparency, Grey1 };
std::string png(int width, int height, PngKind kind, const PixelFn& pixel, bool interlaced = false);

// The JPEG with its frame header claiming another size (its data then ends early).
std::string with_claimed_size(std::string jpeg, int width, int height);

// Uncompressed 24-bit BMP, bottom-up.
std::string bmp24(int width, int height, const PixelFn& pixel);

}  // namespace image_files

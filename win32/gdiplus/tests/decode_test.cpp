// Decoding JPEG, PNG and BMP files and memory blocks into bitmaps: sizes, pixel
// colours (within JPEG's tolerance), alpha, and clean failures on bad input.
#include "gdiplus_session.h"
#include "testing/image_files.h"

namespace {

using image_files::PngKind;

class Decode : public GdiplusSession {};

// Each picture decodes the same from a file and from memory.
TEST_F(Decode, EachFormatGivesItsSizeColoursAndAlpha) {
    auto quadrants = [](int x, int y) {
        if (y < 24) return x < 32 ? 0xFFFF0000u : 0xFF00FF00u;
        return x < 32 ? 0xFF0000FFu : 0xFFFFFFFFu;
    };
    auto grey = [](int, int) { return uint8_t{0x60}; };
    auto rgba = [](int x, int y) {
        return y == 1 ? 0u : x == 0 ? 0x80FF0000u : x == 1 ? 0xFF00FF00u : 0x400000FFu;
    };
    auto rgb = [](int x, int y) { return 0xFF000000u | uint32_t(x * 40) << 16 | uint32_t(y * 50); };
    auto grey16 = [](int x, int) { return x == 0 ? 0xFFC3FF00u : 0xFF100000u; };
    auto palette = [](int x, int) { return x < 2 ? 0x00000000u : 0xFF3366CCu; };
    auto bmp = [](int x, int y) { return y == 0 ? 0xFF112233u : 0xFF000000u | uint32_t(x) * 0x10; };
    using image_files::png;
    using enum PngKind;
    const struct {
        std::string name, bytes;
        UINT width, height;
        int tolerance;  // for each colour channel; alpha is exact
    } cases[] = {
        {"jpeg", image_files::jpeg(64, 48, quadrants), 64, 48, 12},
        {"grey jpeg", image_files::grey_jpeg(16, 16, grey), 16, 16, 3},
        {"cmyk jpeg", image_files::cmyk_jpeg(8, 8, 0xFF0000FF), 8, 8, 6},
        {"rgba png", png(3, 2, Rgba, rgba), 3, 2, 0},
        {"rgb png", png(5, 5, Rgb, rgb), 5, 5, 0},
        {"grey16 png", png(2, 1, Grey16, grey16), 2, 1, 1},
        {"palette png", png(4, 1, PaletteWithTransparency, palette), 4, 1, 0},
        {"bottom-up bmp", image_files::bmp24(3, 2, bmp), 3, 2, 0},
    };
    // JPEG's away from the quadrant edges, where it blurs colours; CMYK with no cyan,
    // full magenta and yellow and no black is red; 16-bit grey samples 0xC3FF and 0x1000
    // become 8-bit grey.
    const struct {
        std::string name;
        int x, y;
        ARGB colour;
    } probes[] = {{"jpeg", 8, 8, 0xFFFF0000},         {"jpeg", 56, 8, 0xFF00FF00},
                  {"jpeg", 8, 40, 0xFF0000FF},        {"jpeg", 56, 40, 0xFFFFFFFF},
                  {"grey jpeg", 7, 7, 0xFF606060},    {"cmyk jpeg", 4, 4, 0xFFFF0000},
                  {"rgba png", 0, 0, 0x80FF0000},     {"rgba png", 1, 0, 0xFF00FF00},
                  {"rgba png", 2, 0, 0x400000FF},     {"rgb png", 4, 3, 0xFFA00096},
                  {"rgb png", 0, 0, 0xFF000000},      {"grey16 png", 0, 0, 0xFFC3C3C3},
                  {"grey16 png", 1, 0, 0xFF101010},   {"palette png", 0, 0, 0x00000000},
                  {"palette png", 3, 0, 0xFF3366CC},  {"bottom-up bmp", 0, 0, 0xFF112233},
                  {"bottom-up bmp", 2, 1, 0xFF000020}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GpBitmap* from_memory = nullptr;
        GpBitmap* from_file = nullptr;
        ASSERT_EQ(decode_memory(c.bytes, &from_memory), Ok);
        ASSERT_EQ(GdipCreateBitmapFromFile(write_file("picture", c.bytes).c_str(), &from_file), Ok);
        for (GpBitmap* bitmap : {from_memory, from_file}) {
            UINT width = 0, height = 0;
            EXPECT_EQ(GdipGetImageWidth(bitmap, &width), Ok);
            EXPECT_EQ(GdipGetImageHeight(bitmap, &height), Ok);
            EXPECT_EQ(std::pair(width, height), std::pair(c.width, c.height));
            for (const auto& p : probes)
                if (p.name == c.name)
                    EXPECT_TRUE(near_colour(pixel_at(bitmap, p.x, p.y), p.colour, c.tolerance))
                        << p.x << "," << p.y;
        }
        GdipDisposeImage(from_memory);
        GdipDisposeImage(from_file);
    }
}

TEST_F(Decode, InterlacedPngDecodesToTheSamePixelsAsItsTwin) {
    auto pattern = [](int x, int y) {
        return static_cast<uint32_t>(x * 9 + 120) << 24 |
               static_cast<uint32_t>(x * 17 % 256) << 16 |
               static_cast<uint32_t>(y * 29 % 256) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
    };
    for (PngKind kind : {PngKind::Rgb, PngKind::Grey16, PngKind::Rgba16}) {
        GpBitmap* plain = nullptr;
        GpBitmap* interlaced = nullptr;
        ASSERT_EQ(decode_memory(image_files::png(13, 11, kind, pattern, false), &plain), Ok);
        ASSERT_EQ(decode_memory(image_files::png(13, 11, kind, pattern, true), &interlaced), Ok);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(pixel_at(interlaced, x, y), pixel_at(plain, x, y)) << x << "," << y;
                if (kind == PngKind::Rgb)
                    ASSERT_EQ(pixel_at(plain, x, y), pattern(x, y) | 0xFF000000u);
            }
        GdipDisposeImage(plain);
        GdipDisposeImage(interlaced);
    }
}

TEST_F(Decode, BadOrHugeInputFailsWithoutABitmap) {
    const std::string jpeg = image_files::jpeg(32, 32, [](int, int) { return 0xFF808080u; });
    const std::string png = image_files::png(40, 40, PngKind::Rgba, [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * y);
    });
    std::string damaged_png = png,
                tall_bmp = image_files::bmp24(4, 4, [](int, int) { return ~0u; });
    damaged_png[20] ^= 0x55;  // inside the header chunk, so its checksum fails
    tall_bmp[22] = '\x7F';    // a height far beyond the pixel data
    const struct {
        const char* name;
        std::string bytes;
        GpStatus status;  // Ok: any failure
    } cases[] = {
        {"text", "this is plain text, not a picture", UnknownImageFormat},
        {"jpeg headers garbled", jpeg.substr(0, 3) + std::string(200, '\x5A'), Ok},
        {"jpeg cut before its scan", jpeg.substr(0, 100), Ok},
        {"png cut in half", png.substr(0, png.size() / 2), OutOfMemory},
        {"png damaged", damaged_png, OutOfMemory},
        {"bmp taller than its data", tall_bmp, OutOfMemory},
        // 8193 x 8193 is just above 64 x 2^20 pixels; both files are small and valid.
        {"png above 64 megapixels", image_files::black_png(8193, 8193), OutOfMemory},
        {"jpeg above 64 megapixels", image_files::with_claimed_size(jpeg, 8193, 8193), OutOfMemory},
    };
    for (const auto& c : cases) {
        GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
        const GpStatus status = decode_memory(c.bytes, &bitmap);
        if (c.status == Ok)
            EXPECT_NE(status, Ok) << c.name;
        else
            EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(bitmap, nullptr) << c.name;
    }
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(image_files::black_png(8192, 3), &bitmap), Ok);
    ARGB c = 0x12345678;
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 8192, 0, &c), InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 0, -1, &c), InvalidParameter);
    EXPECT_EQ(c, 0x12345678u);
    GdipDisposeImage(bitmap);
    std::wstring missing = dir_.winfile("missing.jpg");
    EXPECT_EQ(GdipCreateBitmapFromFile(missing.c_str(), &bitmap), Win32Error);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &bitmap), InvalidParameter);
}

// Every prefix of a valid file either decodes or fails with a status, never crashing
// or reading past the data; a bitmap is handed out only with Ok. A stream is read
// from where it stands.
TEST_F(Decode, EveryPrefixOfAStreamDecodesOrFailsCleanly) {
    auto pattern = [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * 9 + y * 300);
    };
    for (const std::string& bytes :
         {image_files::jpeg(24, 24, pattern), image_files::png(24, 24, PngKind::Rgba, pattern),
          image_files::bmp24(24, 24, pattern)}) {
        std::vector<size_t> sizes;
        for (size_t n = 0; n < bytes.size(); n += 1 + n / 16) sizes.push_back(n);
        sizes.push_back(bytes.size());
        for (size_t n : sizes) {
            const std::string data = "junk" + bytes.substr(0, n);
            HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, data.size());
            std::memcpy(GlobalLock(mem), data.data(), data.size());
            GlobalUnlock(mem);
            IStream* stream = nullptr;
            ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &stream), S_OK);
            LARGE_INTEGER skip;
            skip.QuadPart = 4;
            ASSERT_EQ(stream->Seek(skip, STREAM_SEEK_SET, nullptr), S_OK);
            GpBitmap* bitmap = nullptr;
            const GpStatus status = GdipCreateBitmapFromStream(stream, &bitmap);
            stream->Release();
            ASSERT_EQ(status == Ok, bitmap != nullptr) << n;
            if (n == 0) EXPECT_EQ(status, InvalidParameter);
            if (n == bytes.size()) EXPECT_EQ(status, Ok);
            if (bitmap) GdipDisposeImage(bitmap);
        }
    }
}

}  // namespace

// Decoding JPEG, PNG and BMP files and memory blocks into bitmaps: sizes, pixel
// colours (within JPEG's tolerance), alpha, and clean failures on bad input.
#include "gdiplus_session.h"
#include "support/image_files.h"

namespace {

using image_files::PngKind;

// Four flat quadrants: red, green / blue, white.
uint32_t quadrants(int x, int y, int w, int h) {
    bool right = x >= w / 2, bottom = y >= h / 2;
    if (!bottom) return right ? 0xFF00FF00u : 0xFFFF0000u;
    return right ? 0xFFFFFFFFu : 0xFF0000FFu;
}

class Decode : public GdiplusSession {};

TEST_F(Decode, JpegFileHasItsSizeAndColoursWithOpaqueAlpha) {
    const int w = 64, h = 48;
    std::wstring path = write_file(
        "photo.jpg", image_files::jpeg(w, h, [&](int x, int y) { return quadrants(x, y, w, h); }));
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bitmap), Ok);
    UINT width = 0, height = 0;
    EXPECT_EQ(GdipGetImageWidth(bitmap, &width), Ok);
    EXPECT_EQ(GdipGetImageHeight(bitmap, &height), Ok);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 48u);
    // Away from the quadrant edges, where JPEG blurs colours.
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 8, 8), 0xFFFF0000u, 12));
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 56, 8), 0xFF00FF00u, 12));
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 8, 40), 0xFF0000FFu, 12));
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 56, 40), 0xFFFFFFFFu, 12));
    GUID format{};
    EXPECT_EQ(GdipGetImageRawFormat(bitmap, &format), Ok);
    EXPECT_TRUE(format == ImageFormatJPEG);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(Decode, GreyJpegBecomesEqualColourChannels) {
    std::wstring path = write_file(
        "grey.jpeg", image_files::grey_jpeg(16, 16, [](int, int) { return uint8_t{0x60}; }));
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bitmap), Ok);
    ARGB c = pixel_at(bitmap, 7, 7);
    EXPECT_TRUE(near_colour(c, 0xFF606060u, 3));
    EXPECT_EQ((c >> 16) & 0xFF, c & 0xFF);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, CmykJpegBecomesOpaqueRgb) {
    GpBitmap* bitmap = nullptr;
    // No cyan, full magenta and yellow, no black: red.
    ASSERT_EQ(decode_memory(image_files::cmyk_jpeg(8, 8, 0xFF0000FFu), &bitmap), Ok);
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 4, 4), 0xFFFF0000u, 6));
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, JpegFromAGlobalMemoryStreamMatchesTheFile) {
    std::string bytes =
        image_files::jpeg(20, 10, [](int x, int) { return x < 10 ? 0xFF2040C0u : 0xFFE0C010u; });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
    UINT width = 0;
    GdipGetImageWidth(bitmap, &width);
    EXPECT_EQ(width, 20u);
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 2, 5), 0xFF2040C0u, 12));
    EXPECT_TRUE(near_colour(pixel_at(bitmap, 17, 5), 0xFFE0C010u, 12));
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, RgbaPngKeepsStraightAlpha) {
    std::string bytes = image_files::png(3, 2, PngKind::Rgba, [](int x, int y) {
        if (y == 1) return 0x00000000u;
        return x == 0 ? 0x80FF0000u : x == 1 ? 0xFF00FF00u : 0x400000FFu;
    });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(write_file("a.png", bytes).c_str(), &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 0, 0), 0x80FF0000u);
    EXPECT_EQ(pixel_at(bitmap, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixel_at(bitmap, 2, 0), 0x400000FFu);
    EXPECT_EQ(pixel_at(bitmap, 1, 1) >> 24, 0u);
    PixelFormat format = 0;
    EXPECT_EQ(GdipGetImagePixelFormat(bitmap, &format), Ok);
    EXPECT_EQ(format, PixelFormat32bppARGB);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, RgbPngIsOpaqueEverywhere) {
    std::string bytes = image_files::png(5, 5, PngKind::Rgb, [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * 40) << 16 | static_cast<uint32_t>(y * 50);
    });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 4, 3), 0xFFA00096u);
    EXPECT_EQ(pixel_at(bitmap, 0, 0), 0xFF000000u);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, SixteenBitGreyPngBecomesEightBitGrey) {
    std::string bytes = image_files::png(2, 1, PngKind::Grey16, [](int x, int) {
        return x == 0 ? 0xFFC3FF00u : 0xFF100000u;  // samples 0xC3FF and 0x1000
    });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
    ARGB a = pixel_at(bitmap, 0, 0), b = pixel_at(bitmap, 1, 0);
    EXPECT_TRUE(near_colour(a, 0xFFC3C3C3u, 1));
    EXPECT_TRUE(near_colour(b, 0xFF101010u, 1));
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, PalettePngWithTransparencyChunkYieldsPerPixelAlpha) {
    std::string bytes = image_files::png(4, 1, PngKind::PaletteWithTransparency, [](int x, int) {
        return x < 2 ? 0x00000000u : 0xFF3366CCu;
    });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 0, 0) >> 24, 0u);
    EXPECT_EQ(pixel_at(bitmap, 3, 0), 0xFF3366CCu);
    GdipDisposeImage(bitmap);
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
                if (kind == PngKind::Rgb) {
                    ASSERT_EQ(pixel_at(plain, x, y), pattern(x, y) | 0xFF000000u);
                }
            }
        GdipDisposeImage(plain);
        GdipDisposeImage(interlaced);
    }
}

TEST_F(Decode, ImagesOfMoreThan64MegapixelsAreRefused) {
    // 8193 x 8193 is just above 64 x 2^20 pixels; both files are small and valid.
    const std::string jpeg = image_files::with_claimed_size(
        image_files::jpeg(16, 16, [](int, int) { return 0xFF808080u; }), 8193, 8193);
    for (const std::string& bytes : {image_files::black_png(8193, 8193), jpeg}) {
        GpBitmap* bitmap = nullptr;
        EXPECT_EQ(decode_memory(bytes, &bitmap), OutOfMemory);
        EXPECT_EQ(bitmap, nullptr);
    }
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(decode_memory(image_files::black_png(8192, 3), &bitmap), Ok);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, BmpFileDecodesBottomUpRowsInOrder) {
    std::string bytes = image_files::bmp24(3, 2, [](int x, int y) {
        return y == 0 ? 0xFF112233u : 0xFF000000u | static_cast<uint32_t>(x) * 0x10;
    });
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(write_file("b.bmp", bytes).c_str(), &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 0, 0), 0xFF112233u);
    EXPECT_EQ(pixel_at(bitmap, 2, 1), 0xFF000020u);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, PixelOutsideTheBitmapIsAnInvalidParameter) {
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(
        decode_memory(image_files::png(2, 2, PngKind::Rgb, [](int, int) { return 0xFFFFFFFFu; }),
                      &bitmap),
        Ok);
    ARGB c = 0x12345678;
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 2, 0, &c), InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 0, -1, &c), InvalidParameter);
    EXPECT_EQ(c, 0x12345678u);
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 1, 1, nullptr), InvalidParameter);
    GdipDisposeImage(bitmap);
}

TEST_F(Decode, DataThatIsNoImageFailsWithoutABitmap) {
    GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
    EXPECT_EQ(decode_memory("this is plain text, not a picture", &bitmap), UnknownImageFormat);
    EXPECT_EQ(bitmap, nullptr);
}

TEST_F(Decode, CorruptJpegFailsCleanly) {
    std::string bytes = image_files::jpeg(32, 32, [](int, int) { return 0xFF808080u; });
    // Keeps the start-of-image marker, then garbage where the headers were.
    std::string corrupt = bytes.substr(0, 3) + std::string(200, '\x5A');
    GpBitmap* bitmap = nullptr;
    EXPECT_NE(decode_memory(corrupt, &bitmap), Ok);
    EXPECT_EQ(bitmap, nullptr);
    // Cut before any scan data.
    EXPECT_NE(decode_memory(bytes.substr(0, 100), &bitmap), Ok);
    EXPECT_EQ(bitmap, nullptr);
}

TEST_F(Decode, TruncatedOrDamagedPngFailsCleanly) {
    std::string bytes = image_files::png(40, 40, PngKind::Rgba, [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * y);
    });
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(decode_memory(bytes.substr(0, bytes.size() / 2), &bitmap), OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
    std::string damaged = bytes;
    damaged[20] ^= 0x55;  // inside the header chunk, so its checksum fails
    EXPECT_EQ(decode_memory(damaged, &bitmap), OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
}

TEST_F(Decode, EmptyStreamAndMissingFileFail) {
    GpBitmap* bitmap = nullptr;
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(GdipCreateBitmapFromStream(stream, &bitmap), InvalidParameter);
    stream->Release();
    std::wstring missing = dir_.winfile("missing.jpg");
    EXPECT_EQ(GdipCreateBitmapFromFile(missing.c_str(), &bitmap), Win32Error);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &bitmap), InvalidParameter);
}

TEST_F(Decode, StreamIsReadFromItsCurrentPosition) {
    std::string png = image_files::png(1, 1, PngKind::Rgb, [](int, int) { return 0xFF010203u; });
    std::string bytes = "junk" + png;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
    GlobalUnlock(mem);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &stream), S_OK);
    LARGE_INTEGER skip;
    skip.QuadPart = 4;
    ASSERT_EQ(stream->Seek(skip, STREAM_SEEK_SET, nullptr), S_OK);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStream(stream, &bitmap), Ok);
    stream->Release();
    EXPECT_EQ(pixel_at(bitmap, 0, 0), 0xFF010203u);
    GdipDisposeImage(bitmap);
}

}  // namespace

namespace {

// Every prefix of a valid file either decodes or fails with a status, never
// crashing or reading past the data; a bitmap is handed out only with Ok.
void decode_every_prefix(const std::string& bytes) {
    for (size_t n = 1; n < bytes.size(); n += 1 + n / 16) {
        GpBitmap* bitmap = nullptr;
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n);
        std::memcpy(GlobalLock(mem), bytes.data(), n);
        GlobalUnlock(mem);
        IStream* stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &stream), S_OK);
        GpStatus status = GdipCreateBitmapFromStream(stream, &bitmap);
        stream->Release();
        ASSERT_EQ(status == Ok, bitmap != nullptr) << n;
        if (bitmap) GdipDisposeImage(bitmap);
    }
}

TEST_F(Decode, EveryPrefixOfAFileDecodesOrFailsCleanly) {
    auto pattern = [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * 9 + y * 300);
    };
    decode_every_prefix(image_files::jpeg(24, 24, pattern));
    decode_every_prefix(image_files::png(24, 24, PngKind::Rgba, pattern));
    decode_every_prefix(image_files::bmp24(24, 24, pattern));
}

TEST_F(Decode, BmpWhoseHeaderPromisesMoreThanTheFileHoldsFails) {
    std::string bytes = image_files::bmp24(4, 4, [](int, int) { return 0xFFFFFFFFu; });
    bytes[22] = '\x7F';  // height now far beyond the pixel data
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(decode_memory(bytes, &bitmap), OutOfMemory);
    EXPECT_EQ(bitmap, nullptr);
}

}  // namespace

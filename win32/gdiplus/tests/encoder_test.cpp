// The encoder list, bitmaps from GDI bitmaps and raw pixels, and JPEG saving.
#include "gdiplus_session.h"
#include "testing/dib_canvas.h"

#include <string_view>

namespace {

class Encoders : public GdiplusSession {};

TEST_F(Encoders, AGdiBitmapSavedAsJpegReadsBackWithItsColours) {
    // The list as a program reads it: size first, then one buffer for everything.
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    std::vector<BYTE> list(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(list.data());
    EXPECT_EQ(GdipGetImageEncoders(count, size - 1, codecs), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(count + 1, size, codecs), GenericError);
    ASSERT_EQ(GdipGetImageEncoders(count, size, codecs), Ok);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(std::wstring_view(codecs[0].MimeType), L"image/jpeg");
    EXPECT_TRUE(codecs[0].Flags & ImageCodecFlagsEncoder);
    EXPECT_TRUE(codecs[0].FormatID == ImageFormatJPEG);
    const CLSID clsid = codecs[0].Clsid,
                expected = {
                    0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    EXPECT_TRUE(clsid == expected);
    const BITMAPINFO bmi = testing_support::Info32(32, -16);
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hbm, nullptr);
    for (int i = 0; i < 32 * 16; ++i)
        static_cast<uint32_t*>(bits)[i] = i % 32 < 16 ? 0x00C02010u : 0x0030A0F0u;  // alpha 0
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(hbm, nullptr, &bitmap), Ok);
    DeleteObject(hbm);
    EXPECT_EQ(pixel_at(bitmap, 3, 3), 0xFFC02010u);  // GDI pixels count as opaque
    std::wstring path = dir_.winfile("saved.jpg");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &clsid, nullptr), Ok);
    GdipDisposeImage(bitmap);
    GpBitmap* back = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &back), Ok);
    UINT w = 0, h = 0;
    GdipGetImageWidth(back, &w);
    GdipGetImageHeight(back, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(32u, 16u));
    EXPECT_TRUE(near_colour(pixel_at(back, 4, 8), 0xFFC02010u, 16));
    EXPECT_TRUE(near_colour(pixel_at(back, 28, 8), 0xFF30A0F0u, 16));
    GdipDisposeImage(back);
}

TEST_F(Encoders, QualityShrinksTheFileAndBadTargetsFail) {
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(64, 64, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            GdipBitmapSetPixel(bitmap, x, y,
                               0xFF000000u | static_cast<ARGB>((x * 7) ^ (y * 13)) * 0x10101u);
    const CLSID clsid = JpegClsid();
    ULONG quality = 10;
    EncoderParameters params{};
    params.Count = 1;
    params.Parameter[0] = {EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
    std::wstring low = dir_.winfile("low.jpg"), high = dir_.winfile("high.jpg");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, low.c_str(), &clsid, &params), Ok);
    quality = 95;
    ASSERT_EQ(GdipSaveImageToFile(bitmap, high.c_str(), &clsid, &params), Ok);
    EXPECT_LT(testing_support::ReadAll(dir_.file("low.jpg")).size(),
              testing_support::ReadAll(dir_.file("high.jpg")).size());
    const CLSID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    std::wstring path = dir_.winfile("x.jpg");
    EXPECT_NE(GdipSaveImageToFile(bitmap, path.c_str(), &unknown, nullptr), Ok);
    EXPECT_FALSE(testing_support::Exists(dir_.file("x.jpg")));
    std::wstring nowhere = dir_.winfile("no\\such\\folder.jpg");
    EXPECT_EQ(GdipSaveImageToFile(bitmap, nowhere.c_str(), &clsid, nullptr), Win32Error);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    GdipDisposeImage(bitmap);
}

}  // namespace

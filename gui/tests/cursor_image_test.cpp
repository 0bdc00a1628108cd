#include "gui/cursor_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::RGBA;

std::vector<DWORD> ReadBits(HBITMAP bm, int* w = nullptr, int* h = nullptr) {
    BITMAP b{};
    EXPECT_NE(GetObjectW(bm, sizeof(b), &b), 0);
    if (w) *w = b.bmWidth;
    if (h) *h = b.bmHeight;
    auto info = Gui::MakeBitmapInfo32(b.bmWidth, b.bmHeight);
    std::vector<DWORD> px(static_cast<size_t>(b.bmWidth) * b.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bm, 0, b.bmHeight, px.data(), info.get(), DIB_RGB_COLORS), b.bmHeight);
    DeleteDC(dc);
    return px;
}

// Opaque colours on a transparent ground with the hot spot at (2, 3).
Image HardEdged(int cx, int cy) {
    ImageBuffer b(cx, cy);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            b[y][x] = (x + y) % 3 ? MakeRGBA(10 * x, 20 + y, 200, 255) : MakeRGBA(0, 0, 0, 0);
    b.SetHotSpot(Gui::Point(2, 3));
    return Image(b);
}

// A colour cursor as a program might draw one: colour pixels and a mask.
HCURSOR MakeCursor(const std::vector<DWORD>& colour, const std::vector<BYTE>& mask, int cx,
                   int cy) {
    HBITMAP c = CreateBitmap(cx, cy, 1, 32, colour.data());
    HBITMAP m = CreateBitmap(cx, cy, 1, 1, mask.data());
    ICONINFO ii{FALSE, 1, 0, m, c};
    HCURSOR cursor = CreateIconIndirect(&ii);
    DeleteObject(c);
    DeleteObject(m);
    return cursor;
}

class CursorImage : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("WIN32_WINDOWS_VERSION"); }
};

TEST_F(CursorImage, AnImageBecomesACursorWithItsPixelsAndHotSpot) {
    Image img = HardEdged(8, 6);
    HCURSOR cursor = Gui::ImageToCursor(img);
    ASSERT_NE(cursor, nullptr);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(cursor, &ii));
    EXPECT_FALSE(ii.fIcon);
    EXPECT_EQ(ii.xHotspot, 2u);
    EXPECT_EQ(ii.yHotspot, 3u);
    int w = 0, h = 0;
    std::vector<DWORD> c = ReadBits(ii.hbmColor, &w, &h);
    ASSERT_EQ(w, 8);
    ASSERT_EQ(h, 6);
    std::vector<DWORD> m = ReadBits(ii.hbmMask);
    for (int i = 0; i < 48; ++i) {
        RGBA p = img.GetPixels()[i];
        EXPECT_EQ(c[i], static_cast<DWORD>(p.b | p.g << 8 | p.r << 16 | p.a << 24)) << i;
        // Only fully transparent pixels leave the screen showing through the mask.
        EXPECT_EQ((m[i] & 0xFFFFFF) != 0, p.a == 0) << i;
    }
    DeleteObject(ii.hbmMask);
    DeleteObject(ii.hbmColor);
    DestroyCursor(cursor);
}

TEST_F(CursorImage, AHardEdgedImageComesBackFromItsCursorUnchanged) {
    Image img = HardEdged(5, 7);
    Image back = Gui::ImageFromIcon(Gui::ImageToCursor(img));
    EXPECT_EQ(back.GetSize(), img.GetSize());
    EXPECT_EQ(back, img);
    EXPECT_EQ(back.GetHotSpot(), Gui::Point(2, 3));
}

TEST_F(CursorImage, PartialTransparencyIsKeptAsStored) {
    std::vector<DWORD> colour = {0x80402010, 0xFF00FF00, 0x00000000, 0x10101010};
    std::vector<BYTE> mask(4, 0xFF);  // all set: partial alpha wins over the mask
    HCURSOR cursor = MakeCursor(colour, mask, 2, 2);
    ASSERT_NE(cursor, nullptr);
    Image img = Gui::ImageFromIcon(cursor);
    ASSERT_EQ(img.GetSize(), Gui::Size(2, 2));
    EXPECT_EQ(img.GetPixels()[0], MakeRGBA(0x40, 0x20, 0x10, 0x80));
    EXPECT_EQ(img.GetPixels()[1], MakeRGBA(0x00, 0xFF, 0x00, 0xFF));
    EXPECT_EQ(img.GetPixels()[3], MakeRGBA(0x10, 0x10, 0x10, 0x10));
    EXPECT_EQ(img.GetHotSpot(), Gui::Point(1, 0));
}

TEST_F(CursorImage, WithoutPartialAlphaTheMaskDecidesWhatIsTransparent) {
    // Alpha 0 everywhere, as cursors drawn without alpha have; the mask cuts pixel 1.
    std::vector<DWORD> colour = {0x00112233, 0x00445566, 0x00778899, 0x00000000};
    std::vector<BYTE> mask = {0x40, 0, 0x00, 0};
    HCURSOR cursor = MakeCursor(colour, mask, 2, 2);
    ASSERT_NE(cursor, nullptr);
    Image img = Gui::ImageFromIcon(cursor);
    ASSERT_EQ(img.GetLength(), 4);
    EXPECT_EQ(img.GetPixels()[0], MakeRGBA(0x11, 0x22, 0x33, 255));
    // Transparent, and without colour, so it stays premultiplied.
    EXPECT_EQ(img.GetPixels()[1], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(img.GetPixels()[2], MakeRGBA(0x77, 0x88, 0x99, 255));
    EXPECT_EQ(img.GetPixels()[3], MakeRGBA(0, 0, 0, 255));
}

TEST_F(CursorImage, AMonochromeCursorBecomesBlackWhiteAndTransparent) {
    // 4 x 1 pixels: AND row then XOR row, combinations (A, X) = 00, 01, 10, 11.
    std::vector<BYTE> bits = {0x30, 0, 0x50, 0};
    HBITMAP m = CreateBitmap(4, 2, 1, 1, bits.data());
    ICONINFO ii{FALSE, 0, 0, m, nullptr};
    HCURSOR cursor = CreateIconIndirect(&ii);
    DeleteObject(m);
    ASSERT_NE(cursor, nullptr);
    Image img = Gui::ImageFromIcon(cursor);
    ASSERT_EQ(img.GetSize(), Gui::Size(4, 1));
    EXPECT_EQ(img.GetPixels()[0], MakeRGBA(0, 0, 0, 255));
    EXPECT_EQ(img.GetPixels()[1], MakeRGBA(255, 255, 255, 255));
    EXPECT_EQ(img.GetPixels()[2], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(img.GetPixels()[3], MakeRGBA(0, 0, 0, 255));  // screen-inverting
}

TEST_F(CursorImage, ReadingAnIconDestroysIt) {
    HCURSOR cursor = Gui::ImageToCursor(HardEdged(4, 4));
    ASSERT_NE(cursor, nullptr);
    EXPECT_FALSE(Gui::ImageFromIcon(cursor).IsEmpty());
    ICONINFO ii{};
    EXPECT_FALSE(GetIconInfo(cursor, &ii));
}

TEST_F(CursorImage, NothingConvertsToNothing) {
    EXPECT_EQ(Gui::ImageToCursor(Image()), nullptr);
    EXPECT_TRUE(Gui::ImageFromIcon(nullptr).IsEmpty());
    EXPECT_TRUE(
        Gui::ImageFromIcon(reinterpret_cast<HICON>(static_cast<ULONG_PTR>(0x7FF4))).IsEmpty());
}

TEST_F(CursorImage, BeforeWindows2000ACursorIsCutToTheSystemSize) {
    setenv("WIN32_WINDOWS_VERSION", "4.10.2222", 1);
    ImageBuffer b(48, 48);
    for (int i = 0; i < b.GetLength(); ++i) b.Begin()[i] = MakeRGBA(0, 0, 200, 200);
    b[0][31] = MakeRGBA(0, 100, 0, 100);
    Image img(b);
    HCURSOR cursor = Gui::ImageToCursor(img);
    ASSERT_NE(cursor, nullptr);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(cursor, &ii));
    int w = 0, h = 0;
    std::vector<DWORD> c = ReadBits(ii.hbmColor, &w, &h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    std::vector<DWORD> m = ReadBits(ii.hbmMask);
    EXPECT_EQ(m[0] & 0xFFFFFF, 0u);         // alpha 200: opaque
    EXPECT_NE(m[31] & 0xFFFFFF, 0u);        // alpha 100: transparent
    EXPECT_EQ(c[0] & 0xFFFFFF, 0x0000C8u);  // copied colour
    EXPECT_EQ(c[31] & 0xFFFFFF, 0u);        // transparent ones black
    DeleteObject(ii.hbmMask);
    DeleteObject(ii.hbmColor);
    DestroyCursor(cursor);
}

TEST_F(CursorImage, OnWindows2000ACursorKeepsItsSizeButLosesPartialAlpha) {
    setenv("WIN32_WINDOWS_VERSION", "5.0.2195", 1);
    ImageBuffer b(48, 40);
    for (int i = 0; i < b.GetLength(); ++i) b.Begin()[i] = MakeRGBA(0, 0, 0, 0);
    b[0][0] = MakeRGBA(120, 0, 0, 129);
    b[0][1] = MakeRGBA(60, 0, 0, 128);
    Image img(b);
    Image back = Gui::ImageFromIcon(Gui::ImageToCursor(img));
    ASSERT_EQ(back.GetSize(), Gui::Size(48, 40));
    EXPECT_EQ(back.GetPixels()[0], MakeRGBA(120, 0, 0, 255));
    EXPECT_EQ(back.GetPixels()[1], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(back.GetPixels()[2], MakeRGBA(0, 0, 0, 0));
}

TEST_F(CursorImage, StandardCursorsAreTheSystemCursors) {
    Image (*getters[])() = {Image::Arrow,
                            Image::Wait,
                            Image::IBeam,
                            Image::No,
                            Image::SizeAll,
                            Image::SizeHorz,
                            Image::SizeVert,
                            Image::SizeTopLeft,
                            Image::SizeTop,
                            Image::SizeTopRight,
                            Image::SizeLeft,
                            Image::SizeRight,
                            Image::SizeBottomLeft,
                            Image::SizeBottom,
                            Image::SizeBottomRight,
                            Image::Cross,
                            Image::Hand};
    for (auto get : getters) {
        Image img = get();
        ASSERT_EQ(img.GetSize(), Gui::Size(32, 32));
        EXPECT_EQ(get().GetSerialId(), img.GetSerialId()) << "built once";
        HCURSOR cursor = Gui::ImageToCursor(img);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(cursor, &ii));
        EXPECT_EQ(img.GetHotSpot(),
                  Gui::Point(static_cast<int>(ii.xHotspot), static_cast<int>(ii.yHotspot)));
        DeleteObject(ii.hbmMask);
        DeleteObject(ii.hbmColor);
    }
    EXPECT_EQ(Gui::ImageToCursor(Image::Arrow()), LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(Gui::ImageToCursor(Image::SizeTop()), LoadCursorW(nullptr, IDC_SIZENS));
    EXPECT_EQ(Image::SizeTop(), Image::SizeVert());
    EXPECT_NE(Image::SizeTop().GetSerialId(), Image::SizeVert().GetSerialId());
    EXPECT_NE(Image::Arrow(), Image::Hand());
    // The arrow's tip is drawn and its corner far from the tip is not.
    Image arrow = Image::Arrow();
    EXPECT_EQ(arrow[arrow.GetHotSpot().y][arrow.GetHotSpot().x].a, 255);
    EXPECT_EQ(arrow[31][31].a, 0);
}

TEST_F(CursorImage, ASystemCursorImageCopiedIntoABufferIsAPlainImage) {
    Image arrow = Image::Arrow();
    ImageBuffer b(arrow);  // shared with the getter: a deep copy
    Image plain(b);
    HCURSOR cursor = Gui::ImageToCursor(plain);
    ASSERT_NE(cursor, nullptr);
    EXPECT_NE(cursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(Gui::ImageFromIcon(cursor), Image::Arrow());
}

}  // namespace

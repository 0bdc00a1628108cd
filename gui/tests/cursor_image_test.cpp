#include "gui/cursor_image.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "gui/cursor_mask.h"
#include "testing/scoped_env.h"

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

// The cursor's colour and mask bitmaps (deleted at the end), read as 32-bit pixels.
struct CursorBits {
    explicit CursorBits(HCURSOR cursor) {
        ok = cursor && GetIconInfo(cursor, &ii);
        if (!ok) return;
        colour = ReadBits(ii.hbmColor, &w, &h);
        mask = ReadBits(ii.hbmMask);
        DeleteObject(ii.hbmMask);
        DeleteObject(ii.hbmColor);
    }
    bool ok = false;
    ICONINFO ii{};
    int w = 0, h = 0;
    std::vector<DWORD> colour, mask;
};

// Opaque colours on a transparent ground with the hot spot at (2, 3).
Image HardEdged(int cx, int cy) {
    ImageBuffer b(cx, cy);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            b[y][x] = (x + y) % 3 ? MakeRGBA(10 * x, 20 + y, 200, 255) : MakeRGBA(0, 0, 0, 0);
    b.SetHotSpot(Gui::Point(2, 3));
    return Image(b);
}

TEST(CursorImage, AnImageBecomesACursorWithItsAlphaAndReadsBackUnchanged) {
    const Image img = HardEdged(8, 6);
    HCURSOR cursor = Gui::ImageToCursor(img);
    const CursorBits bits(cursor);
    ASSERT_TRUE(bits.ok);
    EXPECT_FALSE(bits.ii.fIcon);
    EXPECT_EQ(bits.ii.xHotspot * 10 + bits.ii.yHotspot, 23u);
    ASSERT_EQ(bits.w * 10 + bits.h, 86);
    for (int i = 0; i < 48; ++i) {
        const RGBA p = img.GetPixels()[i];
        EXPECT_EQ(bits.colour[i], static_cast<DWORD>(p.b | p.g << 8 | p.r << 16 | p.a << 24)) << i;
        // Only fully transparent pixels leave the screen showing through the mask.
        EXPECT_EQ((bits.mask[i] & 0xFFFFFF) != 0, p.a == 0) << i;
    }
    const Image back = Gui::ImageFromIcon(cursor);
    EXPECT_TRUE(back == img && back.GetHotSpot() == Gui::Point(2, 3));
    ICONINFO ii{};
    EXPECT_FALSE(GetIconInfo(cursor, &ii));  // reading destroys the icon
    EXPECT_EQ(Gui::ImageToCursor(Image()), nullptr);
    for (HICON bad : {HICON(nullptr), reinterpret_cast<HICON>(ULONG_PTR{0x7FF4})})
        EXPECT_TRUE(Gui::ImageFromIcon(bad).IsEmpty());
}

HCURSOR MakeCursor(const std::vector<DWORD>& colour, const std::vector<BYTE>& mask, int cx,
                   int cy) {
    HBITMAP c = colour.empty() ? nullptr : CreateBitmap(cx, cy, 1, 32, colour.data());
    HBITMAP m = CreateBitmap(cx, colour.empty() ? 2 * cy : cy, 1, 1, mask.data());
    ICONINFO ii{FALSE, 1, 0, m, c};
    HCURSOR cursor = CreateIconIndirect(&ii);
    if (c) DeleteObject(c);
    DeleteObject(m);
    return cursor;
}

// Partial alpha is kept as stored; without it the mask decides, and transparent
// pixels lose their colour so they stay premultiplied.
TEST(CursorImage, ACursorReadsByItsAlphaOrElseByItsMask) {
    const RGBA clear = MakeRGBA(0, 0, 0, 0), black = MakeRGBA(0, 0, 0, 255);
    const struct {
        std::vector<DWORD> colour;  // none: monochrome, AND rows over XOR rows in the mask
        std::vector<BYTE> mask;
        int cx, cy;
        std::vector<RGBA> want;
    } rows[] = {
        {{0x80402010, 0xFF00FF00, 0x00000000, 0x10101010},
         {0xFF, 0xFF, 0xFF, 0xFF},
         2,
         2,
         {MakeRGBA(0x40, 0x20, 0x10, 0x80), MakeRGBA(0, 0xFF, 0, 0xFF), clear,
          MakeRGBA(0x10, 0x10, 0x10, 0x10)}},
        {{0x00112233, 0x00445566, 0x00778899, 0x00000000},
         {0x40, 0, 0x00, 0},
         2,
         2,
         {MakeRGBA(0x11, 0x22, 0x33, 255), clear, MakeRGBA(0x77, 0x88, 0x99, 255), black}},
        // (AND, XOR) = 00, 01, 10, 11: black, white, transparent, screen-inverting.
        {{}, {0x30, 0, 0x50, 0}, 4, 1, {black, MakeRGBA(255, 255, 255, 255), clear, black}},
    };
    for (const auto& row : rows) {
        const Image img = Gui::ImageFromIcon(MakeCursor(row.colour, row.mask, row.cx, row.cy));
        ASSERT_EQ(img.GetSize(), Gui::Size(row.cx, row.cy));
        EXPECT_EQ(std::vector<RGBA>(img.GetPixels(), img.GetPixels() + img.GetLength()), row.want);
        EXPECT_EQ(img.GetHotSpot(), Gui::Point(1, 0));
    }
}

// Before XP a cursor has no alpha: the mask keeps what is mostly opaque, and before
// Windows 2000 the cursor is cut to the system size.
TEST(CursorImage, OlderSystemsGetAMaskAndBefore2000TheSystemSize) {
    ImageBuffer b(40, 40);  // mask rows of 5 bytes, padded to 6
    for (int i = 0; i < b.GetLength(); ++i) b.Begin()[i] = MakeRGBA(0, 0, 200, 200);
    b[0][1] = MakeRGBA(60, 0, 0, 128);
    b[0][31] = MakeRGBA(0, 100, 0, 100);
    b[1][16] = MakeRGBA(120, 0, 0, 100);
    const Image img(b);
    for (const char* version : {"4.10.2222", "5.0.2195"}) {
        testing_support::ScopedEnv env("WIN32_WINDOWS_VERSION", version);
        const CursorBits bits(Gui::ImageToCursor(img));
        ASSERT_TRUE(bits.ok);
        const int w = version[0] == '4' ? 32 : 40;
        EXPECT_EQ(Gui::Size(bits.w, bits.h), Gui::Size(w, w));
        for (const auto& [x, y, opaque] : {std::tuple{0, 0, true},
                                           {1, 0, false},
                                           {31, 0, false},
                                           {16, 1, false},
                                           {15, 1, true}}) {
            const size_t i = static_cast<size_t>(y) * w + x;
            EXPECT_EQ((bits.mask[i] & 0xFFFFFF) == 0, opaque) << version << " " << x;
            const RGBA p = img[y][x];
            EXPECT_EQ(bits.colour[i] & 0xFFFFFF, opaque ? DWORD(p.r << 16 | p.g << 8 | p.b) : 0u);
        }
    }
    // An area smaller than the image cuts it at the right and the bottom.
    const RGBA kept = MakeRGBA(0xEE, 0xEE, 0xEE, 0xEE);
    std::vector<RGBA> colour(6, kept);
    HBITMAP mask = Gui::CreateCursorMask(img, colour.data(), 2, 2);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(colour,
              (std::vector<RGBA>{MakeRGBA(0, 0, 200, 0), MakeRGBA(0, 0, 0, 0),
                                 MakeRGBA(0, 0, 200, 0), MakeRGBA(0, 0, 200, 0), kept, kept}));
    DeleteObject(mask);
}

// A few of them: the others differ only in the cursor they name.
TEST(CursorImage, StandardCursorsAreTheSystemCursorsBuiltOnce) {
    const struct {
        Image (*get)();
        const wchar_t* id;
    } cursors[] = {{Image::Arrow, IDC_ARROW},    {Image::Wait, IDC_WAIT},
                   {Image::IBeam, IDC_IBEAM},    {Image::Hand, IDC_HAND},
                   {Image::SizeTop, IDC_SIZENS}, {Image::SizeVert, IDC_SIZENS}};
    for (const auto& c : cursors) {
        const Image img = c.get();
        ASSERT_EQ(img.GetSize(), Gui::Size(32, 32));
        EXPECT_EQ(c.get().GetSerialId(), img.GetSerialId());
        EXPECT_EQ(Gui::ImageToCursor(img), LoadCursorW(nullptr, c.id));
    }
    EXPECT_TRUE(Image::SizeTop() == Image::SizeVert() &&
                Image::SizeTop().GetSerialId() != Image::SizeVert().GetSerialId());
    EXPECT_NE(Image::Arrow(), Image::Hand());
    Image arrow = Image::Arrow();
    EXPECT_EQ(arrow[arrow.GetHotSpot().y][arrow.GetHotSpot().x].a, 255);  // the tip is drawn
    EXPECT_EQ(arrow[31][31].a, 0);
    // Copied into a buffer, it is a plain image: a new cursor that reads back the same.
    ImageBuffer copy(arrow);
    HCURSOR cursor = Gui::ImageToCursor(Image(copy));
    ASSERT_NE(cursor, nullptr);
    EXPECT_NE(cursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(Gui::ImageFromIcon(cursor), Image::Arrow());
}

}  // namespace

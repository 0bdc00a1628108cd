#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const LPCWSTR kSharedIds[] = {IDC_ARROW,  IDC_IBEAM,   IDC_WAIT,     IDC_CROSS,    IDC_UPARROW,
                              IDC_SIZE,   IDC_ICON,    IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                              IDC_SIZENS, IDC_SIZEALL, IDC_NO,       IDC_HAND,     IDC_APPSTARTING,
                              IDC_HELP,   IDC_PIN,     IDC_PERSON};

BITMAP BitmapOf(HBITMAP bm) {
    BITMAP info{};
    EXPECT_EQ(GetObjectW(bm, sizeof(info), &info), static_cast<int>(sizeof(info)));
    return info;
}

// A bitmap as top-down 32-bit pixels; a set monochrome bit reads as white.
std::vector<DWORD> Pixels(HBITMAP bm) {
    BITMAP b = BitmapOf(bm);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = b.bmWidth;
    bmi.bmiHeader.biHeight = -b.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> px(static_cast<size_t>(b.bmWidth) * b.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bm, 0, b.bmHeight, px.data(), &bmi, DIB_RGB_COLORS), b.bmHeight);
    DeleteDC(dc);
    return px;
}

HBITMAP ColourBitmap(int w, int h, DWORD seed) {
    std::vector<DWORD> px(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | (seed * 2654435761u + i * 40503u);
    return CreateBitmap(w, h, 1, 32, px.data());
}

HBITMAP MaskBitmap(int w, int h) {
    std::vector<BYTE> bits(static_cast<size_t>((w + 15) / 16 * 2) * h, 0);
    bits[0] = 0xA5;  // a few transparent pixels in the first row
    return CreateBitmap(w, h, 1, 1, bits.data());
}

void DeleteInfo(const ICONINFO& info) {
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
}

TEST(Icons, EverySharedCursorIsA32PixelPictureOpaqueAtItsHotSpot) {
    ASSERT_EQ(GetSystemMetrics(SM_CXCURSOR), 32);
    for (LPCWSTR id : kSharedIds) {
        SCOPED_TRACE(reinterpret_cast<ULONG_PTR>(id));
        HCURSOR cursor = LoadCursorW(nullptr, id);
        ASSERT_NE(cursor, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(cursor, &info));
        EXPECT_FALSE(info.fIcon);
        ASSERT_NE(info.hbmColor, nullptr);
        BITMAP mask = BitmapOf(info.hbmMask), colour = BitmapOf(info.hbmColor);
        EXPECT_EQ(mask.bmWidth, 32);
        EXPECT_EQ(mask.bmHeight, 32);
        EXPECT_EQ(mask.bmBitsPixel, 1);
        EXPECT_EQ(colour.bmWidth, 32);
        EXPECT_EQ(colour.bmHeight, 32);
        ASSERT_LT(info.xHotspot, 32u);
        ASSERT_LT(info.yHotspot, 32u);
        std::vector<DWORD> m = Pixels(info.hbmMask), c = Pixels(info.hbmColor);
        const size_t hot = info.yHotspot * 32 + info.xHotspot;
        EXPECT_EQ(m[hot] & 0xFFFFFF, 0u) << "the hot spot is see-through";
        EXPECT_EQ(c[hot] >> 24, 0xFFu);
        int opaque = 0;
        for (size_t i = 0; i < m.size(); ++i) {
            bool clear = (m[i] & 0xFFFFFF) != 0;
            if (!clear) ++opaque;
            // Transparent where the mask keeps the screen, opaque elsewhere.
            EXPECT_EQ(c[i] >> 24, clear ? 0u : 0xFFu);
        }
        EXPECT_GT(opaque, 40);
        EXPECT_LT(opaque, 32 * 32 / 2);
        DeleteInfo(info);
    }
}

TEST(Icons, SharedCursorsOfDifferentKindsLookDifferent) {
    std::vector<std::vector<DWORD>> seen;
    for (LPCWSTR id : kSharedIds) {
        if (id == IDC_SIZE) continue;  // the old name of IDC_SIZEALL
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(LoadCursorW(nullptr, id), &info));
        std::vector<DWORD> c = Pixels(info.hbmColor);
        for (const auto& other : seen) EXPECT_NE(other, c) << reinterpret_cast<ULONG_PTR>(id);
        seen.push_back(c);
        DeleteInfo(info);
    }
}

TEST(Icons, ACreatedCursorKeepsCopiesOfItsBitmapsAndItsHotSpot) {
    HBITMAP colour = ColourBitmap(8, 6, 7);
    HBITMAP mask = MaskBitmap(8, 6);
    const std::vector<DWORD> colour_px = Pixels(colour), mask_px = Pixels(mask);
    ICONINFO in{FALSE, 3, 5, mask, colour};
    HCURSOR cursor = CreateIconIndirect(&in);
    ASSERT_NE(cursor, nullptr);
    DeleteObject(colour);  // the cursor owns its own copies
    DeleteObject(mask);

    ICONINFO out{};
    ASSERT_TRUE(GetIconInfo(cursor, &out));
    EXPECT_FALSE(out.fIcon);
    EXPECT_EQ(out.xHotspot, 3u);
    EXPECT_EQ(out.yHotspot, 5u);
    ASSERT_NE(out.hbmMask, nullptr);
    ASSERT_NE(out.hbmColor, nullptr);
    EXPECT_EQ(Pixels(out.hbmColor), colour_px);
    EXPECT_EQ(Pixels(out.hbmMask), mask_px);
    EXPECT_EQ(BitmapOf(out.hbmMask).bmBitsPixel, 1);

    // Each answer is a fresh copy the caller may change or delete.
    ICONINFO again{};
    ASSERT_TRUE(GetIconInfo(cursor, &again));
    EXPECT_NE(again.hbmColor, out.hbmColor);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, out.hbmColor);
    PatBlt(dc, 0, 0, 8, 6, BLACKNESS);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteInfo(out);
    EXPECT_EQ(Pixels(again.hbmColor), colour_px);
    DeleteInfo(again);
    EXPECT_TRUE(DestroyCursor(cursor));
}

TEST(Icons, AnIconHasItsHotSpotInTheMiddle) {
    HBITMAP colour = ColourBitmap(16, 10, 3);
    HBITMAP mask = MaskBitmap(16, 10);
    ICONINFO in{TRUE, 1, 2, mask, colour};
    HICON icon = CreateIconIndirect(&in);
    ASSERT_NE(icon, nullptr);
    ICONINFO out{};
    ASSERT_TRUE(GetIconInfo(icon, &out));
    EXPECT_TRUE(out.fIcon);
    EXPECT_EQ(out.xHotspot, 8u);
    EXPECT_EQ(out.yHotspot, 5u);
    DeleteInfo(out);
    EXPECT_TRUE(DestroyIcon(icon));
    DeleteObject(colour);
    DeleteObject(mask);
}

TEST(Icons, AMonochromeCursorKeepsItsDoubleHeightMaskAndNoColour) {
    HBITMAP mask = MaskBitmap(16, 32);  // AND rows above XOR rows
    ICONINFO in{FALSE, 4, 4, mask, nullptr};
    HCURSOR cursor = CreateIconIndirect(&in);
    ASSERT_NE(cursor, nullptr);
    ICONINFO out{};
    ASSERT_TRUE(GetIconInfo(cursor, &out));
    EXPECT_EQ(out.hbmColor, nullptr);
    BITMAP b = BitmapOf(out.hbmMask);
    EXPECT_EQ(b.bmWidth, 16);
    EXPECT_EQ(b.bmHeight, 32);
    EXPECT_EQ(Pixels(out.hbmMask), Pixels(mask));
    DeleteInfo(out);
    DestroyCursor(cursor);
    DeleteObject(mask);
}

TEST(Icons, DestroyingFreesCreatedOnesButKeepsSharedCursors) {
    HBITMAP mask = MaskBitmap(8, 16);
    ICONINFO in{TRUE, 0, 0, mask, nullptr};
    HICON icon = CreateIconIndirect(&in);
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DestroyIcon(icon));
    ICONINFO out{};
    SetLastError(0);
    EXPECT_FALSE(GetIconInfo(icon, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
    EXPECT_FALSE(DestroyIcon(icon));
    DeleteObject(mask);

    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_TRUE(DestroyIcon(arrow));
    EXPECT_TRUE(DestroyCursor(arrow));
    ASSERT_TRUE(GetIconInfo(arrow, &out));
    DeleteInfo(out);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
}

TEST(Icons, CreatingWithoutAUsableMaskFails) {
    HBITMAP colour = ColourBitmap(4, 4, 1);
    ICONINFO in{FALSE, 0, 0, nullptr, colour};
    SetLastError(0);
    EXPECT_EQ(CreateIconIndirect(&in), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    in.hbmMask = reinterpret_cast<HBITMAP>(static_cast<ULONG_PTR>(0x7FF0));
    EXPECT_EQ(CreateIconIndirect(&in), nullptr);
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
    DeleteObject(colour);
}

TEST(Icons, SetCursorAnswersThePreviousCursor) {
    HBITMAP mask = MaskBitmap(8, 16);
    ICONINFO in{FALSE, 1, 1, mask, nullptr};
    HCURSOR made = CreateIconIndirect(&in);
    ASSERT_NE(made, nullptr);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(made), arrow);
    EXPECT_EQ(GetCursor(), made);
    EXPECT_EQ(SetCursor(arrow), made);
    DestroyCursor(made);
    DeleteObject(mask);
}

}  // namespace

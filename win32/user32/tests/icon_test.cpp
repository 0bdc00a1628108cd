// Shared cursors, icons and cursors made from bitmaps, and the current cursor.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "testing/dib_canvas.h"

namespace {

const LPCWSTR kSharedIds[] = {IDC_ARROW,  IDC_IBEAM,   IDC_WAIT,     IDC_CROSS,    IDC_UPARROW,
                              IDC_SIZE,   IDC_ICON,    IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                              IDC_SIZENS, IDC_SIZEALL, IDC_NO,       IDC_HAND,     IDC_APPSTARTING,
                              IDC_HELP,   IDC_PIN,     IDC_PERSON};

BITMAP BitmapOf(HBITMAP bm) {
    BITMAP info{};
    GetObjectW(bm, sizeof(info), &info);
    return info;
}

// A bitmap as top-down 32-bit pixels; a set monochrome bit reads as white.
std::vector<DWORD> Pixels(HBITMAP bm) {
    BITMAP b = BitmapOf(bm);
    BITMAPINFO bmi = testing_support::Info32(b.bmWidth, -b.bmHeight);
    std::vector<DWORD> px(static_cast<size_t>(b.bmWidth) * b.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bm, 0, b.bmHeight, px.data(), &bmi, DIB_RGB_COLORS), b.bmHeight);
    DeleteDC(dc);
    return px;
}

// A w x h mask with a few transparent pixels in its first row.
HBITMAP MaskBitmap(int w, int h) {
    std::vector<BYTE> bits(static_cast<size_t>((w + 15) / 16 * 2) * h, 0);
    bits[0] = 0xA5;
    return CreateBitmap(w, h, 1, 1, bits.data());
}

void DeleteInfo(const ICONINFO& info) {
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
}

TEST(Icons, SharedCursorsAreDistinct32PixelPicturesOpaqueAtTheirHotSpots) {
    ASSERT_EQ(GetSystemMetrics(SM_CXCURSOR), 32);
    std::vector<std::vector<DWORD>> seen;
    for (LPCWSTR id : kSharedIds) {
        SCOPED_TRACE(reinterpret_cast<ULONG_PTR>(id));
        HCURSOR cursor = LoadCursorW(nullptr, id);
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(LoadCursorW(nullptr, id), cursor);  // shared per id
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(cursor, &info));
        EXPECT_FALSE(info.fIcon);
        BITMAP mask = BitmapOf(info.hbmMask), colour = BitmapOf(info.hbmColor);
        EXPECT_EQ(mask.bmBitsPixel, 1);
        for (const BITMAP& b : {mask, colour}) EXPECT_EQ(b.bmWidth * 100 + b.bmHeight, 3232);
        ASSERT_LT(info.xHotspot, 32u);
        ASSERT_LT(info.yHotspot, 32u);
        std::vector<DWORD> m = Pixels(info.hbmMask), c = Pixels(info.hbmColor);
        EXPECT_EQ(m[info.yHotspot * 32 + info.xHotspot] & 0xFFFFFF, 0u) << "a see-through hot spot";
        int opaque = 0;
        for (size_t i = 0; i < m.size(); ++i) {
            const bool clear = (m[i] & 0xFFFFFF) != 0;
            opaque += !clear;
            EXPECT_EQ(c[i] >> 24,
                      clear ? 0u : 0xFFu);  // transparent where the mask keeps the screen
        }
        EXPECT_GT(opaque, 40);
        EXPECT_LT(opaque, 32 * 32 / 2);
        if (id != IDC_SIZE) {  // the old name of IDC_SIZEALL
            for (const auto& other : seen) EXPECT_NE(other, c);
            seen.push_back(c);
        }
        DeleteInfo(info);
    }
    // Destroying a shared cursor keeps it; unknown ones are not found.
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_TRUE(DestroyCursor(arrow));
    EXPECT_TRUE(DestroyIcon(arrow));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    DeleteInfo(info);
    SetLastError(0);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadCursorW(nullptr, L"arrow"), nullptr);
    EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), IDC_ARROW), nullptr);
}

TEST(Icons, MadeIconsAndCursorsKeepCopiesOfTheirBitmapsAndHotSpots) {
    std::vector<DWORD> px(8 * 6);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | (i * 2654435761u);
    HBITMAP colour = CreateBitmap(8, 6, 1, 32, px.data()), mask = MaskBitmap(8, 6);
    const std::vector<DWORD> colour_px = Pixels(colour), mask_px = Pixels(mask);
    ICONINFO in{FALSE, 3, 5, mask, colour};
    HCURSOR cursor = CreateIconIndirect(&in);
    in.fIcon = TRUE;
    HICON icon = CreateIconIndirect(&in);
    in.hbmColor = nullptr;
    in.hbmMask = MaskBitmap(16, 32);  // monochrome: AND rows above XOR rows
    HCURSOR mono = CreateIconIndirect(&in);
    DeleteObject(colour);  // each keeps its own copies
    DeleteObject(mask);
    ICONINFO out{}, again{};
    auto kind_and_hot_spot = [&] { return std::tuple(out.fIcon, out.xHotspot, out.yHotspot); };
    ASSERT_TRUE(GetIconInfo(cursor, &out));
    EXPECT_EQ(kind_and_hot_spot(), std::tuple(FALSE, 3u, 5u));
    EXPECT_EQ(Pixels(out.hbmColor), colour_px);
    EXPECT_EQ(Pixels(out.hbmMask), mask_px);
    // Each answer is a fresh copy the caller may change or delete.
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
    ASSERT_TRUE(GetIconInfo(icon, &out));  // an icon's hot spot is its middle
    EXPECT_EQ(kind_and_hot_spot(), std::tuple(TRUE, 4u, 3u));
    DeleteInfo(out);
    ASSERT_TRUE(GetIconInfo(mono, &out));
    EXPECT_EQ(out.hbmColor, nullptr);
    EXPECT_EQ(Pixels(out.hbmMask), Pixels(in.hbmMask));
    DeleteInfo(out);
    // SetCursor answers the previous one.
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(mono), arrow);
    EXPECT_EQ(GetCursor(), mono);
    SetCursor(arrow);
    // Destroyed, they are gone; without a usable mask none is made.
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    SetLastError(0);
    EXPECT_FALSE(GetIconInfo(icon, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
    DestroyCursor(cursor);
    DestroyCursor(mono);
    DeleteObject(in.hbmMask);
    ICONINFO bad{FALSE, 0, 0, nullptr, nullptr};
    EXPECT_EQ(CreateIconIndirect(&bad), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    bad.hbmMask = reinterpret_cast<HBITMAP>(static_cast<ULONG_PTR>(0x7FF0));
    EXPECT_EQ(CreateIconIndirect(&bad), nullptr);
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
}

}  // namespace

// Selection and deletion rules of GDI objects, stock objects, GetObjectW, and handles
// that stay dead once deleted.
#include "dib_canvas.h"

#include <set>

namespace {

TEST(StockObjects, AreSharedTypedAndOutliveDeletion) {
    HGDIOBJ null_brush = GetStockObject(NULL_BRUSH);
    EXPECT_EQ(GetStockObject(NULL_BRUSH), null_brush);
    EXPECT_EQ(GetObjectType(null_brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetStockObject(9), nullptr);
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectW(null_brush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_NULL));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
    // Every memory DC starts with one shared 1x1 monochrome bitmap and the white brush.
    HDC dc = CreateCompatibleDC(nullptr), other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    HGDIOBJ bm = GetCurrentObject(dc, OBJ_BITMAP);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bm, sizeof(info), &info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(info.bmWidth * info.bmHeight * info.bmBitsPixel, 1);
    EXPECT_EQ(GetCurrentObject(other, OBJ_BITMAP), bm);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    DeleteDC(other);
    DeleteDC(dc);
}

TEST(SelectObject, AnswersThePreviousObjectAndKeepsABitmapInOneMemoryDc) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr), screen = GetDC(nullptr);
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    HGDIOBJ first = SelectObject(a, red);
    EXPECT_EQ(GetCurrentObject(a, OBJ_BRUSH), red.get());
    EXPECT_EQ(SelectObject(a, first), red.get());
    EXPECT_EQ(SelectObject(a, nullptr), nullptr);
    EXPECT_EQ(SelectObject(a, GetStockObject(BLACK_PEN)), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(nullptr, red), nullptr);
    GdiObject<HBITMAP> bm(CreateCompatibleBitmap(screen, 2, 2));
    HGDIOBJ old = SelectObject(a, bm);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(SelectObject(b, bm), nullptr);
    EXPECT_EQ(SelectObject(a, bm), bm.get());      // again into the same DC is fine
    EXPECT_EQ(SelectObject(screen, bm), nullptr);  // only a memory DC takes a bitmap
    EXPECT_FALSE(DeleteObject(bm));                // nor can a selected one go
    SelectObject(a, old);
    EXPECT_NE(SelectObject(b, bm), nullptr);
    DeleteDC(b);
    DeleteDC(a);
    ReleaseDC(nullptr, screen);
    // A region becomes the clip and answers its complexity.
    DibCanvas c(4, 4);
    GdiObject<HRGN> rgn(CreateRectRgn(1, 1, 3, 3));
    EXPECT_EQ(SelectObject(c.dc(), rgn), reinterpret_cast<HGDIOBJ>(SIMPLEREGION));
    RECT box{};
    EXPECT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{1, 1, 3, 3}));
}

TEST(DeleteObject, ASelectedPenOrBrushStaysUsableUntilDeselectedOrItsDcGoes) {
    DibCanvas c(2, 1);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(c.dc(), red);
    EXPECT_TRUE(DeleteObject(red));
    ASSERT_TRUE(PatBlt(c.dc(), 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(c.at(0, 0), 0x00FF0000u);
    EXPECT_EQ(GetObjectType(red), static_cast<DWORD>(OBJ_BRUSH));
    SelectObject(c.dc(), old);
    EXPECT_EQ(GetObjectType(red), 0u);
    EXPECT_FALSE(DeleteObject(red));
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    DeleteDC(dc);
    EXPECT_EQ(GetObjectType(pen), 0u);
}

TEST(GetObjectW, DescribesPensBrushesAndDibSections) {
    GdiObject<HPEN> pen(CreatePen(PS_DOT, 3, RGB(1, 2, 3)));
    LOGPEN lp{};
    ASSERT_EQ(GetObjectW(pen, sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
    EXPECT_EQ(std::tuple(lp.lopnStyle, lp.lopnWidth.x, lp.lopnColor),
              std::tuple(UINT{PS_DOT}, 3, RGB(1, 2, 3)));
    GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(9, 8, 7)));
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectW(brush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
    EXPECT_EQ(std::pair(lb.lbStyle, lb.lbColor), std::pair(UINT{BS_SOLID}, RGB(9, 8, 7)));
    DibCanvas c(5, 3, true);
    EXPECT_EQ(GetObjectW(c.bitmap(), 0, nullptr), static_cast<int>(sizeof(DIBSECTION)));
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(c.bitmap(), sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    const BITMAP& b = ds.dsBm;
    EXPECT_EQ(std::tuple(b.bmWidth, b.bmHeight, b.bmWidthBytes, b.bmBitsPixel, ds.dsBmih.biHeight),
              std::tuple(5, 3, 20, 32, 3));
    EXPECT_EQ(b.bmBits, c.bits());
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(c.bitmap(), sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmBits, c.bits());
    EXPECT_EQ(GetObjectW(c.bitmap(), 4, &bm), 0);
}

TEST(GdiHandles, ADeletedHandleStaysInvalidAndLiveOnesStayDistinct) {
    HBRUSH gone = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DeleteObject(gone));
    std::set<HGDIOBJ> live;
    for (int i = 0; i < 5000; ++i) {
        HBRUSH b = CreateSolidBrush(RGB(i & 0xFF, 0, 0));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(GetObjectType(gone), 0u) << "after " << i << " objects";
        if (i % 2) {
            EXPECT_TRUE(live.insert(b).second) << "handle given twice";
        } else {
            ASSERT_TRUE(DeleteObject(b));
        }
    }
    for (HGDIOBJ h : live) {
        EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BRUSH));
        DeleteObject(h);
    }
    EXPECT_FALSE(DeleteObject(gone));
}

}  // namespace

// Regions (banded rectangle sets, complexity) and the DC clip region.
#include "dib_canvas.h"

#include <cstring>
#include <vector>

namespace {

std::vector<RECT> Rects(HRGN rgn) {
    std::vector<char> buf(GetRegionData(rgn, 0, nullptr));
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    if (GetRegionData(rgn, buf.size(), data) != buf.size()) return {};
    std::vector<RECT> out(data->rdh.nCount);
    std::memcpy(out.data(), data->Buffer, out.size() * sizeof(RECT));
    return out;
}

RECT Box(HRGN rgn, int complexity) {
    RECT box{1, 1, 1, 1};
    EXPECT_EQ(GetRgnBox(rgn, &box), complexity);
    return box;
}

TEST(Regions, AreBandedByRowsThenColumnsAndAnswerTheirComplexity) {
    GdiObject<HRGN> empty(CreateRectRgn(3, 3, 3, 8)), swapped(CreateRectRgn(5, 6, 1, 2));
    EXPECT_EQ(Box(empty, NULLREGION), (RECT{0, 0, 0, 0}));
    EXPECT_EQ(Box(swapped, SIMPLEREGION), (RECT{1, 2, 5, 6}));
    RECT r{0, 0, 2, 2};
    GdiObject<HRGN> indirect(CreateRectRgnIndirect(&r));
    EXPECT_EQ(Box(indirect, SIMPLEREGION), r);
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 4, 4)), b(CreateRectRgn(2, 2, 6, 6));
    GdiObject<HRGN> out(CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(CombineRgn(out, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(Rects(out), (std::vector<RECT>{{0, 0, 4, 2}, {0, 2, 6, 4}, {2, 4, 6, 6}}));
    EXPECT_EQ(Box(out, COMPLEXREGION), (RECT{0, 0, 6, 6}));
    // Touching rectangles coalesce.
    GdiObject<HRGN> left(CreateRectRgn(0, 0, 2, 2)), right(CreateRectRgn(2, 0, 4, 2));
    EXPECT_EQ(CombineRgn(left, left, right, RGN_OR), SIMPLEREGION);
    EXPECT_EQ(Rects(left), (std::vector<RECT>{{0, 0, 4, 2}}));
    GdiObject<HRGN> inner(CreateRectRgn(1, 1, 3, 3)), far(CreateRectRgn(10, 10, 11, 11));
    EXPECT_EQ(CombineRgn(out, a, inner, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(out, a, far, RGN_AND), NULLREGION);
    EXPECT_EQ(CombineRgn(out, a, inner, RGN_DIFF), COMPLEXREGION);
    EXPECT_EQ(Rects(out).size(), 4u);  // top, left, right, bottom of the hole
    EXPECT_EQ(CombineRgn(out, a, a, RGN_XOR), NULLREGION);
    EXPECT_EQ(CombineRgn(out, inner, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(out, a, inner, 9), ERROR);
    EXPECT_EQ(CombineRgn(out, a, nullptr, RGN_AND), ERROR);
}

TEST(ClipRegion, IsACopyCombinedWithTheWholeSurfaceWhenThereIsNone) {
    DibCanvas c(10, 10);
    GdiObject<HRGN> out(CreateRectRgn(0, 0, 0, 0)), rgn(CreateRectRgn(1, 2, 3, 4));
    EXPECT_EQ(GetClipRgn(c.dc(), out), 0);
    EXPECT_EQ(SelectClipRgn(c.dc(), rgn), SIMPLEREGION);
    GdiObject<HRGN> other(CreateRectRgn(0, 0, 9, 9));
    CombineRgn(rgn, other, nullptr, RGN_COPY);  // leaves the clip alone
    EXPECT_EQ(GetClipRgn(c.dc(), out), 1);
    EXPECT_EQ(Box(out, SIMPLEREGION), (RECT{1, 2, 3, 4}));
    EXPECT_EQ(SelectClipRgn(c.dc(), nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(c.dc(), out), 0);
    RECT box{};
    GdiObject<HRGN> left(CreateRectRgn(0, 0, 5, 10)), big(CreateRectRgn(-5, -5, 3, 3));
    ASSERT_EQ(ExtSelectClipRgn(c.dc(), left, RGN_DIFF), SIMPLEREGION);
    GetClipBox(c.dc(), &box);
    EXPECT_EQ(box, (RECT{5, 0, 10, 10}));
    SelectClipRgn(c.dc(), nullptr);
    ASSERT_EQ(ExtSelectClipRgn(c.dc(), big, RGN_AND), SIMPLEREGION);
    GetClipBox(c.dc(), &box);
    EXPECT_EQ(box, (RECT{0, 0, 3, 3}));
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), nullptr, RGN_AND), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), left, 42), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(nullptr, left, RGN_COPY), ERROR);
}

TEST(ClipRegion, ADisjointAndLeavesNothingAndTheClipIsInDeviceUnits) {
    DibCanvas c(6, 4);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 2, 2)), b(CreateRectRgn(2, 2, 4, 4));
    SelectClipRgn(c.dc(), a);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), b, RGN_AND), NULLREGION);
    RECT box{1, 1, 1, 1}, all{0, 0, 4, 4};
    EXPECT_EQ(GetClipBox(c.dc(), &box), NULLREGION);
    EXPECT_EQ(box, (RECT{0, 0, 0, 0}));
    EXPECT_FALSE(RectVisible(c.dc(), &all));
    PatBlt(c.dc(), 0, 0, 6, 4, PATCOPY);
    EXPECT_EQ(c.picture(), "......\n......\n......\n......\n");
    SetWindowOrgEx(c.dc(), -3, 0, nullptr);
    SelectClipRgn(c.dc(), a);
    PatBlt(c.dc(), -3, 0, 6, 1, PATCOPY);
    EXPECT_EQ(c.picture(), "##....\n......\n......\n......\n");
}

}  // namespace

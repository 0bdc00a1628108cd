// Regions (banded rectangle sets, complexity) and the DC clip region.
#include "dib_canvas.h"

#include <vector>

namespace {

std::vector<RECT> Rects(HRGN rgn) {
    DWORD size = GetRegionData(rgn, 0, nullptr);
    std::vector<char> buf(size);
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    if (GetRegionData(rgn, size, data) != size) return {};
    std::vector<RECT> out(data->rdh.nCount);
    std::memcpy(out.data(), data->Buffer, out.size() * sizeof(RECT));
    return out;
}

bool Same(const RECT& r, LONG l, LONG t, LONG rt, LONG b) {
    return r.left == l && r.top == t && r.right == rt && r.bottom == b;
}

TEST(Regions, EmptyAndSwappedRectangles) {
    GdiObject<HRGN> empty(CreateRectRgn(3, 3, 3, 8));
    RECT box{1, 1, 1, 1};
    EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
    EXPECT_TRUE(Same(box, 0, 0, 0, 0));
    GdiObject<HRGN> swapped(CreateRectRgn(5, 6, 1, 2));
    EXPECT_EQ(GetRgnBox(swapped, &box), SIMPLEREGION);
    EXPECT_TRUE(Same(box, 1, 2, 5, 6));
    RECT r{0, 0, 2, 2};
    GdiObject<HRGN> indirect(CreateRectRgnIndirect(&r));
    EXPECT_EQ(GetRgnBox(indirect, &box), SIMPLEREGION);
    EXPECT_TRUE(Same(box, 0, 0, 2, 2));
}

TEST(Regions, UnionIsBandedByRowsThenColumns) {
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 4, 4));
    GdiObject<HRGN> b(CreateRectRgn(2, 2, 6, 6));
    GdiObject<HRGN> out(CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(CombineRgn(out, a, b, RGN_OR), COMPLEXREGION);
    std::vector<RECT> rects = Rects(out);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_TRUE(Same(rects[0], 0, 0, 4, 2));
    EXPECT_TRUE(Same(rects[1], 0, 2, 6, 4));
    EXPECT_TRUE(Same(rects[2], 2, 4, 6, 6));
    RECT box{};
    GetRgnBox(out, &box);
    EXPECT_TRUE(Same(box, 0, 0, 6, 6));
}

TEST(Regions, TouchingRectanglesCoalesce) {
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 2, 2));
    GdiObject<HRGN> b(CreateRectRgn(2, 0, 4, 2));
    EXPECT_EQ(CombineRgn(a, a, b, RGN_OR), SIMPLEREGION);
    std::vector<RECT> rects = Rects(a);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_TRUE(Same(rects[0], 0, 0, 4, 2));
}

TEST(Regions, CombineModesAnswerComplexity) {
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 4, 4));
    GdiObject<HRGN> b(CreateRectRgn(1, 1, 3, 3));
    GdiObject<HRGN> c(CreateRectRgn(10, 10, 11, 11));
    GdiObject<HRGN> out(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(CombineRgn(out, a, b, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(out, a, c, RGN_AND), NULLREGION);
    EXPECT_EQ(CombineRgn(out, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_EQ(Rects(out).size(), 4u);  // top, left, right, bottom of the hole
    EXPECT_EQ(CombineRgn(out, a, a, RGN_XOR), NULLREGION);
    EXPECT_EQ(CombineRgn(out, b, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(out, a, b, 9), ERROR);
    EXPECT_EQ(CombineRgn(out, a, nullptr, RGN_AND), ERROR);
}

TEST(ClipRegion, NoneUntilSelectedThenACopy) {
    DibCanvas c(10, 10);
    GdiObject<HRGN> out(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetClipRgn(c.dc(), out), 0);
    GdiObject<HRGN> rgn(CreateRectRgn(1, 2, 3, 4));
    EXPECT_EQ(SelectClipRgn(c.dc(), rgn), SIMPLEREGION);
    // Changing the region afterwards leaves the clip alone.
    GdiObject<HRGN> other(CreateRectRgn(0, 0, 9, 9));
    CombineRgn(rgn, other, nullptr, RGN_COPY);
    EXPECT_EQ(GetClipRgn(c.dc(), out), 1);
    RECT box{};
    GetRgnBox(out, &box);
    EXPECT_TRUE(Same(box, 1, 2, 3, 4));
    EXPECT_EQ(SelectClipRgn(c.dc(), nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(c.dc(), out), 0);
}

TEST(ClipRegion, NoClipMeansTheWholeSurfaceForCombining) {
    DibCanvas c(10, 10);
    GdiObject<HRGN> left(CreateRectRgn(0, 0, 5, 10));
    ASSERT_EQ(ExtSelectClipRgn(c.dc(), left, RGN_DIFF), SIMPLEREGION);
    RECT box{};
    GetClipBox(c.dc(), &box);
    EXPECT_TRUE(Same(box, 5, 0, 10, 10));
    SelectClipRgn(c.dc(), nullptr);
    GdiObject<HRGN> big(CreateRectRgn(-5, -5, 3, 3));
    ASSERT_EQ(ExtSelectClipRgn(c.dc(), big, RGN_AND), SIMPLEREGION);
    GetClipBox(c.dc(), &box);
    EXPECT_TRUE(Same(box, 0, 0, 3, 3));
}

TEST(ClipRegion, DisjointAndLeavesNothingToDraw) {
    DibCanvas c(4, 4);
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 2, 2));
    GdiObject<HRGN> b(CreateRectRgn(2, 2, 4, 4));
    SelectClipRgn(c.dc(), a);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), b, RGN_AND), NULLREGION);
    RECT box{1, 1, 1, 1};
    EXPECT_EQ(GetClipBox(c.dc(), &box), NULLREGION);
    EXPECT_TRUE(Same(box, 0, 0, 0, 0));
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    PatBlt(c.dc(), 0, 0, 4, 4, PATCOPY);
    EXPECT_EQ(c.picture(0), "....\n....\n....\n....\n");
    RECT all{0, 0, 4, 4};
    EXPECT_FALSE(RectVisible(c.dc(), &all));
}

TEST(ClipRegion, ModesNeedARegionExceptCopy) {
    DibCanvas c(4, 4);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), nullptr, RGN_AND), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), nullptr, RGN_COPY), SIMPLEREGION);
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 1, 1));
    EXPECT_EQ(ExtSelectClipRgn(c.dc(), a, 42), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(nullptr, a, RGN_COPY), ERROR);
}

TEST(ClipRegion, ClipIsInDeviceUnitsWhateverTheOrigin) {
    DibCanvas c(6, 1);
    SetWindowOrgEx(c.dc(), -3, 0, nullptr);
    GdiObject<HRGN> rgn(CreateRectRgn(0, 0, 2, 1));
    SelectClipRgn(c.dc(), rgn);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    PatBlt(c.dc(), -3, 0, 6, 1, PATCOPY);
    EXPECT_EQ(c.picture(0), "##....\n");
}

}  // namespace

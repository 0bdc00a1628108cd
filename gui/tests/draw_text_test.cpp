#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "draw_support.h"
#include "gui/draw.h"

namespace {

using Gui::Color;
using test::Surface;

constexpr uint32_t kBackground = test::kBackground & 0xFFFFFF;
const Color kWhite(0xFF, 0xFF, 0xFF);

// The bounds of every pixel other than the background.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink FindInk(const Surface& s) {
    Ink ink;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.rgb(x, y) == kBackground) continue;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y + 1;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (x + 1 > ink.right) ink.right = x + 1;
        }
    return ink;
}

// Where the ink of "H" drawn alone at x, 0 lies.
Ink InkOfH(const Gui::Font& f, int x) {
    Surface s(100, 30);
    Gui::Draw w(s.dc());
    w.DrawText(x, 0, L"H", f, kWhite);
    return FindInk(s);
}

TEST(DrawTextTest, TextHangsBelowYOnItsBaselineAndFollowsTheLevel) {
    const Gui::Font f = test::RealiseSkinFont(20);
    Surface by_draw(120, 60), by_gdi(120, 60);
    {
        Gui::Draw w(by_draw.dc());
        w.DrawText(10, 5, L"HHH", f, kWhite);
    }
    HGDIOBJ prior = SelectObject(by_gdi.dc(), f.GetHandle());
    SetBkMode(by_gdi.dc(), TRANSPARENT);
    SetTextAlign(by_gdi.dc(), TA_BASELINE);
    SetTextColor(by_gdi.dc(), 0xFFFFFF);
    ExtTextOutW(by_gdi.dc(), 10, 25, 0, nullptr, L"HHH", 3, nullptr);
    SelectObject(by_gdi.dc(), prior);
    EXPECT_TRUE(std::equal(by_draw.bits(), by_draw.bits() + 120 * 60, by_gdi.bits()));
    const Ink whole = FindInk(by_draw);
    EXPECT_EQ(whole.bottom, 25);  // letters without descenders end on the baseline
    EXPECT_GE(whole.top, 5);
    EXPECT_LE(whole.right, 10 + Gui::GetTextSize(L"HHH", f).cx);

    Surface moved(120, 60);
    Gui::Draw w(moved.dc());
    const int half = (whole.right - whole.left) / 2;
    w.ClipOffset(Gui::Rect(30, 20, 40 + half, 60));
    w.DrawText(10, 5, L"HHH", f, kWhite);
    w.End();
    const Ink ink = FindInk(moved);
    EXPECT_EQ(ink.top, whole.top + 20);
    EXPECT_EQ(ink.bottom, whole.bottom + 20);
    EXPECT_EQ(ink.left, whole.left + 30);
    EXPECT_LE(ink.right, 40 + half);
}

TEST(DrawTextTest, NullInkOrAnAngleDrawsNothing) {
    Surface s(60, 30);
    Gui::Draw w(s.dc());
    SetTextColor(s.dc(), 0x123456);
    w.DrawText(0, 0, L"abc", test::RealiseSkinFont(14), Color());
    EXPECT_EQ(GetTextColor(s.dc()), 0x123456u);  // not even the colour changes
    w.DrawText(0, 0, 900, std::wstring(L"abc"), test::RealiseSkinFont(14), Color(1, 2, 3));
    EXPECT_EQ(GetTextColor(s.dc()), 0x030201u);
    EXPECT_EQ(s.count(kBackground), 60 * 30);
}

TEST(DrawTextTest, AdvanceWidthsPlaceEachCharacter) {
    const Gui::Font f = test::RealiseSkinFont(14);
    Surface s(200, 40);
    Gui::Draw w(s.dc());
    const int dx[2] = {100, 10};
    w.DrawText(0, 0, L"ll", f, kWhite, 2, dx);
    const Ink ink = FindInk(s);
    EXPECT_LT(ink.left, 20);
    EXPECT_GT(ink.right, 100);
    EXPECT_EQ(s.count(20, 0, 100, 40, kBackground), 80 * 40);
}

// Records every call of the text slot before drawing it.
class RecordingDraw : public Gui::Draw {
public:
    using Gui::Draw::Draw;
    void DrawTextOp(int x, int y, int angle, const wchar_t* text, Gui::Font font, Color ink, int n,
                    const int* dx) override {
        calls.push_back({x, n, static_cast<int>(text - first), dx});
        Gui::Draw::DrawTextOp(x, y, angle, text, font, ink, n, dx);
    }
    struct Call {
        int x, n, offset;
        const int* dx;
    };
    std::vector<Call> calls;
    const wchar_t* first = nullptr;
};

// GDI takes at most 30000 characters at once; each piece starts where the one
// before ended, by the advances given or else by its measured width.
TEST(DrawTextTest, LongTextGoesToGdiInPiecesThatFollowEachOther) {
    const Gui::Font f = test::RealiseSkinFont(12);
    const int piece = Gui::GetTextSize(std::wstring(30000, L' '), f).cx;
    ASSERT_GT(piece, 0);
    std::vector<int> dx(65000, 0);
    dx[0] = 5;
    dx[29999] = 2;
    dx[30000] = 7;
    dx[60000] = 20;
    for (const bool advances : {true, false}) {
        std::wstring text(advances ? 65000 : 60001, L' ');
        text[advances ? 64000 : 60000] = L'H';  // shows where the last piece starts
        const int x = advances ? 3 : 40 - 2 * piece;
        Surface s(100, 30);
        RecordingDraw w(s.dc());
        w.first = text.c_str();
        w.DrawText(x, 0, text, f, kWhite, advances ? dx.data() : nullptr);
        // The whole text, then its two full pieces through the slot; the rest is drawn last.
        ASSERT_EQ(w.calls.size(), 3u);
        EXPECT_EQ(w.calls[1].n, 30000);
        EXPECT_EQ(w.calls[2].n, 30000);
        EXPECT_EQ(w.calls[2].offset, 30000);
        EXPECT_EQ(w.calls[1].x, x);
        EXPECT_EQ(w.calls[2].x, advances ? x + 7 : x + piece);
        if (advances) {
            EXPECT_EQ(w.calls[2].dx, dx.data() + 30000);
        }
        const Ink ink = FindInk(s), alone = InkOfH(f, advances ? 3 + 7 + 7 + 20 : 40);
        EXPECT_EQ(ink.left, alone.left) << advances;
        EXPECT_EQ(ink.right, alone.right) << advances;
        EXPECT_EQ(ink.bottom, alone.bottom) << advances;
    }
}

}  // namespace

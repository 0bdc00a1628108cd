#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "draw_support.h"
#include "gui/draw.h"

namespace {

using Gui::Color;
using test::Surface;

constexpr uint32_t kBackground = 0x102030;
const Color kWhite(0xFF, 0xFF, 0xFF);

// Rows and columns that hold any pixel other than the background.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink FindInk(const Surface& s) {
    Ink ink;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.Rgb(x, y) == kBackground) continue;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y + 1;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (x + 1 > ink.right) ink.right = x + 1;
        }
    return ink;
}

TEST(DrawTextTest, BaselineLiesOneFontHeightBelowY) {
    const Gui::Font f = test::RealiseSkinFont(20);
    Surface by_draw(120, 60), by_gdi(120, 60);
    {
        Gui::Draw w(by_draw.dc());
        w.DrawText(10, 5, L"Hxl", f, kWhite);
    }
    HGDIOBJ prior = SelectObject(by_gdi.dc(), f.GetHandle());
    SetBkMode(by_gdi.dc(), TRANSPARENT);
    SetTextAlign(by_gdi.dc(), TA_BASELINE);
    SetTextColor(by_gdi.dc(), 0xFFFFFF);
    ExtTextOutW(by_gdi.dc(), 10, 25, 0, nullptr, L"Hxl", 3, nullptr);
    SelectObject(by_gdi.dc(), prior);
    EXPECT_TRUE(by_draw.SameAs(by_gdi));
    // Letters without descenders end right on the baseline.
    const Ink ink = FindInk(by_draw);
    EXPECT_EQ(ink.bottom, 25);
    EXPECT_GE(ink.top, 5);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + Gui::GetTextSize(L"Hxl", f).cx);
}

TEST(DrawTextTest, TextFollowsTheLevelOriginAndClip) {
    const Gui::Font f = test::RealiseSkinFont(16);
    Surface plain(100, 50), moved(100, 50);
    {
        Gui::Draw w(plain.dc());
        w.DrawText(0, 0, L"WWW", f, kWhite);
    }
    const Ink whole = FindInk(plain);
    ASSERT_GE(whole.top, 0);
    {
        Gui::Draw w(moved.dc());
        w.ClipOffset(Gui::Rect(30, 20, 30 + (whole.right - whole.left) / 2, 50));
        w.DrawText(0, 0, L"WWW", f, kWhite);
        w.End();
    }
    const Ink ink = FindInk(moved);
    EXPECT_EQ(ink.top, whole.top + 20);
    EXPECT_EQ(ink.bottom, whole.bottom + 20);
    EXPECT_EQ(ink.left, whole.left + 30);
    EXPECT_LE(ink.right, 30 + (whole.right - whole.left) / 2);
}

TEST(DrawTextTest, NullInkDrawsNothingAndKeepsTheTextColour) {
    Surface s(60, 30);
    Gui::Draw w(s.dc());
    SetTextColor(s.dc(), 0x123456);
    w.DrawText(0, 0, L"abc", test::RealiseSkinFont(14), Color());
    EXPECT_EQ(s.CountAll(kBackground), 60 * 30);
    EXPECT_EQ(GetTextColor(s.dc()), 0x123456u);
}

TEST(DrawTextTest, AngledTextDrawsNothingButSetsTheColour) {
    Surface s(60, 30);
    Gui::Draw w(s.dc());
    w.DrawText(0, 0, 900, std::wstring(L"abc"), test::RealiseSkinFont(14), Color(1, 2, 3));
    EXPECT_EQ(s.CountAll(kBackground), 60 * 30);
    EXPECT_EQ(GetTextColor(s.dc()), 0x030201u);
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
    EXPECT_EQ(s.Count(20, 0, 100, 40, kBackground), 80 * 40);
}

// Records every call of the text slot before drawing it.
class RecordingDraw : public Gui::Draw {
public:
    struct Call {
        int x, n;
        const wchar_t* text;
        const int* dx;
    };
    using Gui::Draw::Draw;
    void DrawTextOp(int x, int y, int angle, const wchar_t* text, Gui::Font font, Color ink, int n,
                    const int* dx) override {
        calls.push_back({x, n, text, dx});
        Gui::Draw::DrawTextOp(x, y, angle, text, font, ink, n, dx);
    }
    std::vector<Call> calls;
};

// Where the ink of "H" drawn alone at x, 0 lies.
Ink InkOfH(const Gui::Font& f, int x) {
    Surface s(100, 30);
    Gui::Draw w(s.dc());
    w.DrawText(x, 0, L"H", f, kWhite);
    return FindInk(s);
}

TEST(DrawTextTest, LongTextGoesToGdiInPiecesThatFollowEachOther) {
    const Gui::Font f = test::RealiseSkinFont(12);
    Surface s(100, 30);
    RecordingDraw w(s.dc());
    // Blank pieces, then an "H" that shows where the last piece starts.
    std::wstring text(65000, L' ');
    text[64000] = L'H';
    std::vector<int> dx(text.size(), 0);
    dx[0] = 5;
    dx[30000] = 7;
    dx[60000] = 20;
    w.DrawText(3, 0, text, f, kWhite, dx.data());
    // The whole text, then its two full pieces through the slot; the rest is drawn last.
    ASSERT_EQ(w.calls.size(), 3u);
    EXPECT_EQ(w.calls[0].n, 65000);
    EXPECT_EQ(w.calls[1].n, 30000);
    EXPECT_EQ(w.calls[2].n, 30000);
    EXPECT_EQ(w.calls[1].x, 3);
    EXPECT_EQ(w.calls[2].x, 3 + 5);
    EXPECT_EQ(w.calls[1].text, text.c_str());
    EXPECT_EQ(w.calls[2].text, text.c_str() + 30000);
    EXPECT_EQ(w.calls[2].dx, dx.data() + 30000);
    const Ink ink = FindInk(s);
    const Ink alone = InkOfH(f, 3 + 5 + 7 + 20);
    EXPECT_EQ(ink.left, alone.left);
    EXPECT_EQ(ink.right, alone.right);
    EXPECT_EQ(ink.bottom, alone.bottom);
}

TEST(DrawTextTest, LongTextWithoutAdvancesContinuesAfterEachPiece) {
    const Gui::Font f = test::RealiseSkinFont(12);
    Surface s(100, 30);
    RecordingDraw w(s.dc());
    const int piece = Gui::GetTextSize(std::wstring(30000, L' '), f).cx;
    ASSERT_GT(piece, 0);
    std::wstring text(60000, L' ');
    text += L"H";
    w.DrawText(40 - 2 * piece, 0, text, f, kWhite);
    ASSERT_EQ(w.calls.size(), 3u);
    EXPECT_EQ(w.calls[1].x, 40 - 2 * piece);
    EXPECT_EQ(w.calls[2].x, 40 - piece);
    const Ink ink = FindInk(s);
    const Ink alone = InkOfH(f, 40);
    EXPECT_EQ(ink.left, alone.left);
    EXPECT_EQ(ink.right, alone.right);
}

}  // namespace

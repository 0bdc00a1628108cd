// ExtTextOutW: where glyphs land, clipping, colours, the alpha byte, advances.
#include "dib_canvas.h"

#include <memory>

namespace {

constexpr int kW = 200;
constexpr int kH = 80;
// An opaque background, so the alpha byte a drawing writes shows.
constexpr uint32_t kBackground = 0xFF204060;

class TextOut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(canvas_.valid());
        canvas_.fill(kBackground);
        old_font_ = SelectObject(dc(), font_);
        SetBkMode(dc(), TRANSPARENT);
        SetTextAlign(dc(), TA_BASELINE);
        SetTextColor(dc(), RGB(255, 255, 255));
        ASSERT_TRUE(GetTextMetricsW(dc(), &tm_));
    }
    void TearDown() override { SelectObject(dc(), old_font_); }
    HDC dc() { return canvas_.dc(); }
    // The ink of text drawn at (x, y) on a clean canvas.
    RECT Draw(int x, int y, const wchar_t* text, const INT* dx = nullptr, UINT options = 0,
              const RECT* box = nullptr) {
        canvas_.fill(kBackground);
        EXPECT_TRUE(
            ExtTextOutW(dc(), x, y, options, box, text, static_cast<UINT>(std::wcslen(text)), dx));
        return Ink(canvas_, kBackground);
    }
    LONG Width(const wchar_t* text) {
        SIZE sz{};
        EXPECT_TRUE(GetTextExtentPointW(dc(), text, static_cast<int>(std::wcslen(text)), &sz));
        return sz.cx;
    }
    // Leftmost column with ink in [from, kW).
    int FirstInkColumn(int from) {
        for (int x = from; x < kW; ++x)
            for (int y = 0; y < kH; ++y)
                if (canvas_.at(x, y) != kBackground) return x;
        return -1;
    }
    int InkCount() { return kW * kH - canvas_.count(kBackground, ~0u); }

    DibCanvas canvas_{kW, kH};
    GdiObject<HFONT> font_{MakeUiFont(20)};
    HGDIOBJ old_font_ = nullptr;
    TEXTMETRICW tm_{};
};

TEST_F(TextOut, TheAlignmentAndTheOriginsPlaceTheCellAroundThePoint) {
    const RECT base = Draw(10, 50, L"H");
    // 'H' stands on the baseline: its last row of ink is the row above y.
    EXPECT_EQ(base.bottom, 50);
    EXPECT_TRUE(base.top >= 50 - tm_.tmAscent && base.left >= 10 && base.right <= 10 + Width(L"H"))
        << base;
    const LONG w = Width(L"H");
    const struct {
        UINT align;
        int x, y, window_x, window_y;
    } cases[] = {
        {TA_TOP, 10, 50 - tm_.tmAscent, 0, 0},
        {TA_BOTTOM, 10, 50 + tm_.tmDescent, 0, 0},
        {TA_BASELINE | TA_RIGHT, 10 + w, 50, 0, 0},
        {TA_BASELINE | TA_CENTER, 10 + w / 2, 50, 0, 0},
        {TA_BASELINE, 30, 60, 20, 10},
    };
    for (const auto& t : cases) {
        SetTextAlign(dc(), t.align);
        SetWindowOrgEx(dc(), t.window_x, t.window_y, nullptr);
        EXPECT_EQ(Draw(t.x, t.y, L"H"), base) << t.align << " " << t.window_x;
    }
    SetWindowOrgEx(dc(), 0, 0, nullptr);
    SetTextAlign(dc(), TA_BASELINE | TA_UPDATECP);
    MoveToEx(dc(), 10, 50, nullptr);
    EXPECT_EQ(Draw(0, 0, L"H"), base);
    POINT pos{};
    GetCurrentPositionEx(dc(), &pos);
    EXPECT_EQ(pos, (POINT{10 + w, 50}));
}

TEST_F(TextOut, InkStaysInTheCellWithAlphaZeroAndTheColourByCoverage) {
    canvas_.fill(0xFF000000);
    SetTextColor(dc(), RGB(255, 0, 0));
    const wchar_t* text = L"HIL Km下载g";
    ASSERT_TRUE(ExtTextOutW(dc(), 20, 40, 0, nullptr, text, 10, nullptr));
    const RECT ink = Ink(canvas_, 0xFF000000);
    // Within the cell; 'g' descends below the baseline.
    EXPECT_TRUE(ink.left >= 20 && ink.right <= 20 + Width(text) && ink.top >= 40 - tm_.tmAscent)
        << ink;
    EXPECT_TRUE(ink.bottom > 40 && ink.bottom <= 40 + tm_.tmDescent) << ink;
    int inked = 0, full = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint32_t px = canvas_.at(x, y);
            if (px == 0xFF000000) continue;
            ++inked;
            full += px == 0x00FF0000;  // straight stems cover whole pixels
            EXPECT_EQ(px & 0xFF00FFFF, 0u) << "only red, and alpha 0, at " << x << "," << y;
        }
    EXPECT_TRUE(inked > 50 && full > 0) << inked << " " << full;
}

TEST_F(TextOut, ClipsToTheRegionOrTheRectangleAndOpaqueFillsTheBackground) {
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 40, kH));
    SelectClipRgn(dc(), clip);
    RECT ink = Draw(10, 50, L"HHHHHHHH");
    EXPECT_TRUE(ink.right > 10 && ink.right <= 40 && ink.bottom == 50);
    SelectClipRgn(dc(), nullptr);
    const RECT box{15, 35, 45, 45};
    ink = Draw(10, 50, L"HHHHHH", nullptr, ETO_CLIPPED, &box);
    EXPECT_TRUE(ink.left >= 15 && ink.top >= 35 && ink.right <= 45 && ink.bottom <= 45 &&
                ink.left < ink.right)
        << ink;
    SetBkColor(dc(), RGB(0, 0, 255));
    const RECT opaque{5, 5, 25, 15};
    EXPECT_EQ(Draw(0, 0, L"", nullptr, ETO_OPAQUE, &opaque), opaque);
    EXPECT_EQ(canvas_.at(5, 5), 0x000000FFu);
    SetBkMode(dc(), OPAQUE);
    ink = Draw(10, 50, L"Km");
    EXPECT_EQ(ink, (RECT{10, 50 - tm_.tmAscent, 10 + Width(L"Km"), 50 + tm_.tmDescent}));
    EXPECT_EQ(canvas_.at(10, 50 - tm_.tmAscent), 0x000000FFu);
}

TEST_F(TextOut, AdvanceWidthsPlaceEachCharacter) {
    Draw(10, 50, L"III");
    const int first = FirstInkColumn(0);
    EXPECT_EQ(FirstInkColumn(first + 6), first + Width(L"I"));
    INT dx[3] = {40, 40, 40};
    Draw(10, 50, L"III", dx);
    EXPECT_EQ(FirstInkColumn(0), first);
    EXPECT_EQ(FirstInkColumn(first + 6), first + 40);
    EXPECT_EQ(FirstInkColumn(first + 46), first + 80);
}

TEST_F(TextOut, UnderlineSpansTheTextBelowTheBaselineAndBoldLeavesMoreInk) {
    Draw(10, 50, L"Km 下载");
    const int normal = InkCount();
    GdiObject<HFONT> bold(MakeUiFont(20, true)), underlined(MakeUiFont(20, false, true));
    SelectObject(dc(), bold);
    Draw(10, 50, L"Km 下载");
    EXPECT_GT(InkCount(), normal);
    SelectObject(dc(), underlined);
    Draw(10, 50, L"Km");
    const LONG width = Width(L"Km");
    int row = -1;
    for (int y = 50; y < 50 + tm_.tmDescent && row < 0; ++y) {
        bool whole = true;
        for (int x = 10; x < 10 + width; ++x) whole = whole && canvas_.at(x, y) == 0x00FFFFFFu;
        if (whole) row = y;
    }
    ASSERT_GT(row, 49);
    EXPECT_EQ(canvas_.at(10 + width, row), kBackground);
    EXPECT_EQ(canvas_.at(9, row), kBackground);
    SelectObject(dc(), font_);
}

TEST(TextOutSurfaces, AMonochromeBitmapGetsWholePixelsAndAnInformationContextNone) {
    GdiObject<HBITMAP> mono(CreateBitmap(64, 32, 1, 1, nullptr));
    GdiObject<HFONT> font(MakeUiFont(16));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old_bitmap = SelectObject(dc, mono), old_font = SelectObject(dc, font);
    PatBlt(dc, 0, 0, 64, 32, WHITENESS);
    SetBkMode(dc, TRANSPARENT);
    ASSERT_TRUE(TextOutW(dc, 2, 2, L"HH", 2));
    DibCanvas canvas(64, 32);
    ASSERT_TRUE(BitBlt(canvas.dc(), 0, 0, 64, 32, dc, 0, 0, SRCCOPY));
    const int black = canvas.count(0, ~0u);
    EXPECT_GT(black, 10);
    EXPECT_EQ(black + canvas.count(0xFFFFFF, ~0u), 64 * 32);  // no grey
    SelectObject(dc, old_font);
    SelectObject(dc, old_bitmap);
    DeleteDC(dc);
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(ExtTextOutW(ic, 0, 0, 0, nullptr, L"a", 1, nullptr));
    DeleteDC(ic);
    EXPECT_FALSE(ExtTextOutW(nullptr, 0, 0, 0, nullptr, L"a", 1, nullptr));
    EXPECT_FALSE(ExtTextOutW(canvas.dc(), 0, 0, 0, nullptr, nullptr, 2, nullptr));
    EXPECT_TRUE(TextOutW(canvas.dc(), 0, 0, L"", 0));
}

}  // namespace

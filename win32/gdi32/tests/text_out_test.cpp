// ExtTextOutW: where glyphs land, clipping, colours, the alpha byte, advances.
#include "font_text.h"

#include <cstring>
#include <memory>

namespace {

constexpr int kW = 200;
constexpr int kH = 80;
// An opaque background, so the alpha byte a drawing writes shows.
constexpr uint32_t kBackground = 0xFF204060;

class TextOut : public ::testing::Test {
protected:
    void SetUp() override {
        canvas_ = std::make_unique<DibCanvas>(kW, kH);
        ASSERT_TRUE(canvas_->valid());
        canvas_->fill(kBackground);
        font_ = MakeUiFont(20);
        ASSERT_NE(font_, nullptr);
        old_font_ = SelectObject(dc(), font_);
        SetBkMode(dc(), TRANSPARENT);
        SetTextAlign(dc(), TA_BASELINE);
        SetTextColor(dc(), RGB(255, 255, 255));
        ASSERT_TRUE(GetTextMetricsW(dc(), &tm_));
    }
    void TearDown() override {
        SelectObject(dc(), old_font_);
        DeleteObject(font_);
        canvas_.reset();
    }
    HDC dc() const { return canvas_->dc(); }
    bool Draw(int x, int y, const wchar_t* text, const INT* dx = nullptr) {
        return ExtTextOutW(dc(), x, y, 0, nullptr, text, static_cast<UINT>(std::wcslen(text)), dx);
    }
    RECT Ink() { return InkBox(*canvas_, kW, kH, kBackground); }
    SIZE Extent(const wchar_t* text) {
        SIZE sz{};
        EXPECT_TRUE(GetTextExtentPointW(dc(), text, static_cast<int>(std::wcslen(text)), &sz));
        return sz;
    }
    // Leftmost column with ink in [from, to).
    int FirstInkColumn(int from, int to) {
        for (int x = from; x < to; ++x)
            for (int y = 0; y < kH; ++y)
                if (canvas_->at(x, y) != kBackground) return x;
        return -1;
    }

    std::unique_ptr<DibCanvas> canvas_;
    HFONT font_ = nullptr;
    HGDIOBJ old_font_ = nullptr;
    TEXTMETRICW tm_{};
};

TEST_F(TextOut, BaselineAlignmentSitsFlatLettersOnY) {
    ASSERT_TRUE(Draw(10, 50, L"HHH"));
    RECT ink = Ink();
    ASSERT_FALSE(Empty(ink));
    // 'H' stands on the baseline: its last row of ink is the row above y.
    EXPECT_EQ(ink.bottom, 50);
    EXPECT_GE(ink.top, 50 - tm_.tmAscent);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + Extent(L"HHH").cx);
}

TEST_F(TextOut, TopAlignmentPutsTheBaselineOneAscentLower) {
    SetTextAlign(dc(), TA_TOP | TA_LEFT);
    ASSERT_TRUE(Draw(10, 10, L"Hxg"));
    RECT top_aligned = Ink();
    canvas_->fill(kBackground);
    SetTextAlign(dc(), TA_BASELINE);
    ASSERT_TRUE(Draw(10, 10 + tm_.tmAscent, L"Hxg"));
    RECT baseline_aligned = Ink();
    EXPECT_EQ(std::memcmp(&top_aligned, &baseline_aligned, sizeof(RECT)), 0);
    EXPECT_GE(top_aligned.top, 10);
    EXPECT_LE(top_aligned.bottom, 10 + tm_.tmHeight);
}

TEST_F(TextOut, BottomAlignmentPutsTheBaselineOneDescentHigher) {
    SetTextAlign(dc(), TA_BOTTOM);
    ASSERT_TRUE(Draw(10, 60, L"H"));
    EXPECT_EQ(Ink().bottom, 60 - tm_.tmDescent);
}

TEST_F(TextOut, RightAndCentreAlignmentMoveTheTextByItsWidth) {
    LONG width = Extent(L"Km").cx;
    ASSERT_TRUE(Draw(50, 50, L"Km"));
    RECT left = Ink();
    canvas_->fill(kBackground);
    SetTextAlign(dc(), TA_BASELINE | TA_RIGHT);
    ASSERT_TRUE(Draw(50 + width, 50, L"Km"));
    RECT right = Ink();
    EXPECT_EQ(std::memcmp(&left, &right, sizeof(RECT)), 0);
    canvas_->fill(kBackground);
    SetTextAlign(dc(), TA_BASELINE | TA_CENTER);
    ASSERT_TRUE(Draw(50 + width / 2, 50, L"Km"));
    RECT centre = Ink();
    EXPECT_EQ(std::memcmp(&left, &centre, sizeof(RECT)), 0);
}

TEST_F(TextOut, InkStaysInsideTheTextCell) {
    const wchar_t* text = L"Km下载g";
    ASSERT_TRUE(Draw(20, 40, text));
    RECT ink = Ink();
    ASSERT_FALSE(Empty(ink));
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, 20 + Extent(text).cx);
    EXPECT_GE(ink.top, 40 - tm_.tmAscent);
    EXPECT_LE(ink.bottom, 40 + tm_.tmDescent);
    EXPECT_GT(ink.bottom, 40);  // 'g' descends below the baseline
}

TEST_F(TextOut, TextPixelsGetAlphaZeroAndTheRestIsUntouched) {
    ASSERT_TRUE(Draw(10, 50, L"Alpha 下载"));
    int inked = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint32_t px = canvas_->at(x, y);
            if (px == kBackground) continue;
            ++inked;
            EXPECT_EQ(px >> 24, 0u) << x << "," << y;
        }
    EXPECT_GT(inked, 50);
}

TEST_F(TextOut, TextColourIsBlendedByCoverage) {
    canvas_->fill(0xFF000000);
    SetTextColor(dc(), RGB(255, 0, 0));
    ASSERT_TRUE(Draw(10, 50, L"HIL"));
    bool full = false;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint32_t px = canvas_->at(x, y);
            if (px == 0xFF000000) continue;
            EXPECT_EQ(px & 0xFFFF, 0u) << "only red over black";
            EXPECT_GT(px & 0xFF0000, 0u);
            if (px == 0x00FF0000) full = true;
        }
    // Straight stems cover whole pixels: the exact text colour.
    EXPECT_TRUE(full);
}

TEST_F(TextOut, ClipRegionIsRespected) {
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 40, kH));
    SelectClipRgn(dc(), clip);
    ASSERT_TRUE(Draw(10, 50, L"HHHHHHHH"));
    RECT ink = Ink();
    ASSERT_FALSE(Empty(ink));
    EXPECT_LE(ink.right, 40);
    EXPECT_GT(Extent(L"HHHHHHHH").cx, 60);
    EXPECT_EQ(ink.bottom, 50);
}

TEST_F(TextOut, ClippedOptionLimitsToTheRectangle) {
    RECT box{15, 35, 45, 45};
    ASSERT_TRUE(ExtTextOutW(dc(), 10, 50, ETO_CLIPPED, &box, L"HHHHHH", 6, nullptr));
    RECT ink = Ink();
    ASSERT_FALSE(Empty(ink));
    EXPECT_GE(ink.left, 15);
    EXPECT_GE(ink.top, 35);
    EXPECT_LE(ink.right, 45);
    EXPECT_LE(ink.bottom, 45);
}

TEST_F(TextOut, OpaqueOptionFillsTheRectangleWithTheBackgroundColour) {
    SetBkColor(dc(), RGB(0, 0, 255));
    RECT box{5, 5, 25, 15};
    ASSERT_TRUE(ExtTextOutW(dc(), 0, 0, ETO_OPAQUE, &box, L"", 0, nullptr));
    EXPECT_EQ(canvas_->at(5, 5), 0x000000FFu);
    EXPECT_EQ(canvas_->at(24, 14), 0x000000FFu);
    EXPECT_EQ(canvas_->at(25, 14), kBackground);
    EXPECT_EQ(canvas_->at(24, 15), kBackground);
}

TEST_F(TextOut, OpaqueModeFillsTheTextCell) {
    SetBkMode(dc(), OPAQUE);
    SetBkColor(dc(), RGB(0, 255, 0));
    ASSERT_TRUE(Draw(10, 50, L"Km"));
    LONG width = Extent(L"Km").cx;
    RECT ink = Ink();
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.right, 10 + width);
    EXPECT_EQ(ink.top, 50 - tm_.tmAscent);
    EXPECT_EQ(ink.bottom, 50 + tm_.tmDescent);
    EXPECT_EQ(canvas_->at(10, 50 - tm_.tmAscent), 0x0000FF00u);
    EXPECT_EQ(canvas_->at(10 + width - 1, 50 + tm_.tmDescent - 1), 0x0000FF00u);
}

TEST_F(TextOut, AdvanceWidthsPlaceEachCharacter) {
    INT dx[3] = {40, 40, 40};
    ASSERT_TRUE(Draw(10, 50, L"III", dx));
    int first = FirstInkColumn(0, kW);
    ASSERT_GE(first, 10);
    EXPECT_EQ(FirstInkColumn(first + 6, kW), first + 40);
    EXPECT_EQ(FirstInkColumn(first + 46, kW), first + 80);
    // Without widths the same letters stand closer.
    canvas_->fill(kBackground);
    ASSERT_TRUE(Draw(10, 50, L"III"));
    EXPECT_EQ(FirstInkColumn(0, kW), first);
    EXPECT_EQ(FirstInkColumn(first + 6, kW), first + Extent(L"I").cx);
}

TEST_F(TextOut, UnderlineSpansTheTextBelowTheBaseline) {
    HFONT underlined = MakeUiFont(20, false, true);
    SelectObject(dc(), underlined);
    ASSERT_TRUE(Draw(10, 50, L"Km"));
    LONG width = Extent(L"Km").cx;
    int underline_row = -1;
    for (int y = 50; y < 50 + tm_.tmDescent && underline_row < 0; ++y) {
        bool full = true;
        for (int x = 10; x < 10 + width; ++x) full = full && canvas_->at(x, y) == 0x00FFFFFFu;
        if (full) underline_row = y;
    }
    EXPECT_GT(underline_row, 49);
    EXPECT_EQ(canvas_->at(10 + width, underline_row), kBackground);
    EXPECT_EQ(canvas_->at(9, underline_row), kBackground);
    SelectObject(dc(), font_);
    DeleteObject(underlined);
}

TEST_F(TextOut, BoldLeavesMoreInk) {
    auto count_ink = [&] {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) n += canvas_->at(x, y) != kBackground;
        return n;
    };
    ASSERT_TRUE(Draw(10, 50, L"Km 下载"));
    int normal = count_ink();
    canvas_->fill(kBackground);
    HFONT bold = MakeUiFont(20, true);
    SelectObject(dc(), bold);
    ASSERT_TRUE(Draw(10, 50, L"Km 下载"));
    EXPECT_GT(count_ink(), normal);
    SelectObject(dc(), font_);
    DeleteObject(bold);
}

TEST_F(TextOut, WindowOriginMovesTheText) {
    ASSERT_TRUE(Draw(30, 50, L"H"));
    RECT plain = Ink();
    canvas_->fill(kBackground);
    SetWindowOrgEx(dc(), 20, 10, nullptr);
    ASSERT_TRUE(Draw(30, 50, L"H"));
    RECT moved = Ink();
    EXPECT_EQ(moved.left, plain.left - 20);
    EXPECT_EQ(moved.top, plain.top - 10);
    EXPECT_EQ(moved.bottom, plain.bottom - 10);
}

TEST_F(TextOut, UpdateCurrentPositionAdvancesPastTheText) {
    SetTextAlign(dc(), TA_BASELINE | TA_UPDATECP);
    MoveToEx(dc(), 10, 50, nullptr);
    ASSERT_TRUE(Draw(0, 0, L"Km"));
    POINT pos{};
    GetCurrentPositionEx(dc(), &pos);
    EXPECT_EQ(pos.x, 10 + Extent(L"Km").cx);
    EXPECT_EQ(pos.y, 50);
    EXPECT_GE(Ink().left, 10);
}

TEST(TextOutFails, OnAnInformationContextAndBadArguments) {
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_FALSE(ExtTextOutW(ic, 0, 0, 0, nullptr, L"a", 1, nullptr));
    DeleteDC(ic);
    EXPECT_FALSE(ExtTextOutW(nullptr, 0, 0, 0, nullptr, L"a", 1, nullptr));
    DibCanvas canvas(8, 8);
    EXPECT_FALSE(ExtTextOutW(canvas.dc(), 0, 0, 0, nullptr, nullptr, 2, nullptr));
    EXPECT_TRUE(TextOutW(canvas.dc(), 0, 0, L"", 0));
}

TEST(TextOutMono, MonochromeBitmapGetsWholePixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateBitmap(64, 32, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(dc, mono);
    PatBlt(dc, 0, 0, 64, 32, WHITENESS);
    HFONT font = MakeUiFont(16);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    ASSERT_TRUE(TextOutW(dc, 2, 2, L"HH", 2));
    SelectObject(dc, old);
    // Copy out through a 32-bpp canvas to look at the pixels.
    DibCanvas canvas(64, 32);
    HDC src = CreateCompatibleDC(nullptr);
    SelectObject(src, mono);
    SetBkColor(canvas.dc(), RGB(255, 255, 255));
    SetTextColor(canvas.dc(), RGB(0, 0, 0));
    ASSERT_TRUE(BitBlt(canvas.dc(), 0, 0, 64, 32, src, 0, 0, SRCCOPY));
    int black = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) black += (canvas.at(x, y) & 0xFFFFFF) == 0;
    EXPECT_GT(black, 10);
    EXPECT_EQ(canvas.at(63, 31) & 0xFFFFFF, 0xFFFFFFu);
    DeleteDC(src);
    DeleteDC(dc);
    DeleteObject(mono);
    DeleteObject(font);
}

}  // namespace

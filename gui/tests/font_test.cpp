#include "gui/font.h"

#include <gtest/gtest.h>

#include <thread>

#include "draw_support.h"

namespace {

Gui::Font Flagged(bool bold, bool underline) {
    Gui::Font f;
    return f.Bold(bold).Underline(underline);
}

SIZE ExtentOnMemoryDc(const wchar_t* text, HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ prior = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPointW(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, prior);
    DeleteDC(dc);
    return size;
}

TEST(FontTest, BoldFalseClearsOnlyTheBoldFlag) {
    Gui::Font f = Flagged(true, true);
    EXPECT_EQ(f.GetFlags(), 0xA000);
    f.Bold(false);
    EXPECT_FALSE(f.IsBold());
    EXPECT_TRUE(f.IsUnderline());
    EXPECT_EQ(f.GetFlags(), 0x2000);
}

TEST(FontTest, UnderlineFalseClearsOnlyTheUnderlineFlag) {
    Gui::Font f = Flagged(true, true);
    f.Underline(false);
    EXPECT_TRUE(f.IsBold());
    EXPECT_FALSE(f.IsUnderline());
    EXPECT_EQ(f.NoBold().GetFlags(), 0);
}

TEST(FontTest, SettersChainAndHeightIsSigned) {
    Gui::Font f;
    f.Height(-7).Bold().Underline();
    EXPECT_EQ(f.GetHeight(), -7);
    EXPECT_EQ(f.GetFlags(), 0xA000);
    EXPECT_EQ(f.NoUnderline().GetFlags(), 0x8000);
}

TEST(FontTest, RecordKeepsItsFieldOrder) {
    EXPECT_EQ(Gui::FontLayout::kHandle, 8u);
    EXPECT_EQ(Gui::FontLayout::kLogFont, 16u);
    EXPECT_EQ(sizeof(Gui::Font), 16u + sizeof(LOGFONTW) + 12u);
}

TEST(FontTest, RealisedFontCarriesTheSkinLogFont) {
    const Gui::Font f = test::RealiseSkinFont(14, true, true);
    ASSERT_NE(f.GetHandle(), nullptr);
    EXPECT_EQ(f.GetLogFont().lfHeight, -14);
    EXPECT_EQ(f.GetLogFont().lfWeight, FW_BOLD);
    EXPECT_EQ(f.GetLogFont().lfUnderline, 1);
    EXPECT_STREQ(f.GetLogFont().lfFaceName, L"微软雅黑");
}

TEST(FontTest, EmptyTextHasWidthZeroAndTheFontHeight) {
    const Gui::Size size = Gui::GetTextSize(L"", test::RealiseSkinFont(12));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 12);
}

TEST(FontTest, HeightIsTheCharacterHeightNotTheExtent) {
    const Gui::Font f = test::RealiseSkinFont(12);
    const Gui::Size size = Gui::GetTextSize(L"Km", f);
    EXPECT_EQ(size.cy, 12);
    const SIZE extent = ExtentOnMemoryDc(L"Km", f.GetHandle());
    EXPECT_GT(extent.cy, 12);  // the cell is taller than the em
    EXPECT_EQ(size.cx, extent.cx);
    EXPECT_GT(size.cx, 0);
}

TEST(FontTest, WideStringAndPointerMeasureAlike) {
    const Gui::Font f = test::RealiseSkinFont(16);
    const std::wstring text = L"下载 Download";
    EXPECT_EQ(Gui::GetTextSize(text, f), Gui::GetTextSize(text.c_str(), f));
    EXPECT_EQ(Gui::GetTextSize(text, f).cx, ExtentOnMemoryDc(text.c_str(), f.GetHandle()).cx);
}

TEST(FontTest, CopiesShareTheHandleAndMeasureIdentically) {
    const Gui::Font f = test::RealiseSkinFont(13);
    const Gui::Font copy = f;
    EXPECT_EQ(copy.GetHandle(), f.GetHandle());
    EXPECT_EQ(copy, f);
    EXPECT_EQ(Gui::GetTextSize(L"copies", copy), Gui::GetTextSize(L"copies", f));
}

TEST(FontTest, BiggerAndBolderFontsMeasureWider) {
    const wchar_t* text = L"Measure me";
    const int small = Gui::GetTextSize(text, test::RealiseSkinFont(12)).cx;
    const int big = Gui::GetTextSize(text, test::RealiseSkinFont(24)).cx;
    const int bold = Gui::GetTextSize(text, test::RealiseSkinFont(12, true)).cx;
    EXPECT_GT(big, small);
    EXPECT_GE(bold, small);
}

TEST(FontTest, UnrealisedFontMeasuresInTheDefaultFontWithHeightZero) {
    const Gui::Size size = Gui::GetTextSize(L"abc", Gui::Font());
    EXPECT_EQ(size.cy, 0);
    EXPECT_GT(size.cx, 0);
}

TEST(FontTest, MeasuringLeavesTheScreenDcFontAlone) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ before = GetCurrentObject(screen, OBJ_FONT);
    ReleaseDC(nullptr, screen);
    Gui::GetTextSize(L"x", test::RealiseSkinFont(20));
    screen = GetDC(nullptr);
    EXPECT_EQ(GetCurrentObject(screen, OBJ_FONT), before);
    ReleaseDC(nullptr, screen);
}

TEST(FontTest, MeasuresFromAnotherThread) {
    const Gui::Font f = test::RealiseSkinFont(15);
    Gui::Size there;
    std::thread t([&] { there = Gui::GetTextSize(L"thread", f); });
    t.join();
    EXPECT_EQ(there, Gui::GetTextSize(L"thread", f));
}

TEST(FontTest, DefaultFontIsZeroUntilSetThenACopy) {
    EXPECT_FALSE(Gui::IsDefaultFontSet());
    EXPECT_EQ(Gui::GetDefaultFont(), Gui::Font());
    const Gui::Font f = test::RealiseSkinFont(12);
    Gui::SetDefaultFont(f);
    EXPECT_TRUE(Gui::IsDefaultFontSet());
    EXPECT_EQ(Gui::GetDefaultFont(), f);
    EXPECT_EQ(Gui::StdFont(), f);
    EXPECT_EQ(Gui::GetDefaultFont().GetHandle(), f.GetHandle());
}

TEST(FontTest, DefaultInkIsDarkGrey) { EXPECT_EQ(Gui::GetDefaultInk().GetRaw(), 0x333333u); }

}  // namespace

#include "gui/font.h"

#include <gtest/gtest.h>

#include <thread>

#include "draw_support.h"

namespace {

TEST(FontTest, FlagsSetAndClearOnlyTheirOwnBit) {
    Gui::Font f;
    f.Height(-7).Bold().Underline();
    EXPECT_EQ(f.GetHeight(), -7);
    EXPECT_EQ(f.GetFlags(), 0xA000);
    EXPECT_EQ(Gui::Font(f).Bold(false).GetFlags(), 0x2000);
    EXPECT_EQ(Gui::Font(f).Underline(false).GetFlags(), 0x8000);
    EXPECT_TRUE(f.NoBold().IsUnderline());
    EXPECT_FALSE(f.NoUnderline().IsBold());
    EXPECT_EQ(f.GetFlags(), 0);
}

SIZE ExtentOnMemoryDc(const std::wstring& text, HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ prior = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPointW(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, prior);
    DeleteDC(dc);
    return size;
}

// The width is GDI's extent of the text; the height the font's character height.
TEST(FontTest, TextIsMeasuredInItsFontAndTheScreenKeepsItsOwn) {
    const Gui::Font f = test::RealiseSkinFont(12);
    HDC screen = GetDC(nullptr);
    const HGDIOBJ before = GetCurrentObject(screen, OBJ_FONT);
    ReleaseDC(nullptr, screen);
    const std::wstring text = L"下载 Download";
    const Gui::Size size = Gui::GetTextSize(text, f);
    const SIZE extent = ExtentOnMemoryDc(text, f.GetHandle());
    EXPECT_EQ(size, Gui::Size(extent.cx, 12));
    EXPECT_GT(extent.cy, 12);  // the cell is taller than the em
    EXPECT_EQ(Gui::GetTextSize(text.c_str(), f), size);
    EXPECT_EQ(Gui::GetTextSize(L"", f), Gui::Size(0, 12));
    EXPECT_GT(Gui::GetTextSize(text, test::RealiseSkinFont(24)).cx, size.cx);
    const Gui::Size unrealised = Gui::GetTextSize(L"abc", Gui::Font());
    EXPECT_EQ(unrealised.cy, 0);
    EXPECT_GT(unrealised.cx, 0);
    Gui::Size there;
    std::thread([&] { there = Gui::GetTextSize(text, f); }).join();
    EXPECT_EQ(there, size);
    screen = GetDC(nullptr);
    EXPECT_EQ(GetCurrentObject(screen, OBJ_FONT), before);
    ReleaseDC(nullptr, screen);
}

TEST(FontTest, TheDefaultFontIsZeroUntilSet) {
    EXPECT_FALSE(Gui::IsDefaultFontSet());
    EXPECT_EQ(Gui::GetDefaultFont(), Gui::Font());
    const Gui::Font f = test::RealiseSkinFont(12);
    Gui::SetDefaultFont(f);
    EXPECT_TRUE(Gui::IsDefaultFontSet());
    EXPECT_EQ(Gui::GetDefaultFont(), f);
    EXPECT_EQ(Gui::StdFont(), f);
}

}  // namespace

#include <gtest/gtest.h>

#include "base/string_util.h"
#include "gui/tests/draw_support.h"

namespace {

using base::EllipsisText;
using base::FitTextLength;
using base::GetTextWidth;

class TextWidthTest : public ::testing::Test {
protected:
    Gui::Font font_ = test::RealiseSkinFont(12);
};

TEST_F(TextWidthTest, WidthIsTheMeasuredWidthOfTheWholeText) {
    EXPECT_EQ(GetTextWidth(L"", font_), 0);
    EXPECT_EQ(GetTextWidth(L"Download", font_), Gui::GetTextSize(L"Download", font_).cx);
    EXPECT_EQ(GetTextWidth(L"ab", font_), GetTextWidth(L"a", font_) + GetTextWidth(L"b", font_));
}

TEST_F(TextWidthTest, EllipsisLeavesAFittingTextUnchanged) {
    const std::wstring text = L"游戏下载器";
    EXPECT_EQ(EllipsisText(text, font_, GetTextWidth(text, font_)), text);
    EXPECT_EQ(EllipsisText(text, font_, 1000), text);
}

TEST_F(TextWidthTest, EllipsisKeepsTheLongestPrefixThatFitsWithDots) {
    const std::wstring text = L"C:\\Games\\Downloads\\installer.exe";
    for (int max = GetTextWidth(L"...", font_); max < GetTextWidth(text, font_); max += 7) {
        const std::wstring result = EllipsisText(text, font_, max);
        ASSERT_GE(result.size(), 3u);
        const std::wstring prefix = result.substr(0, result.size() - 3);
        EXPECT_EQ(result.substr(result.size() - 3), L"...");
        EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0);
        EXPECT_LE(GetTextWidth(result, font_), max);
        // One character more would not fit.
        EXPECT_GT(GetTextWidth(text.substr(0, prefix.size() + 1) + L"...", font_), max);
    }
}

TEST_F(TextWidthTest, EllipsisIsDotsAloneWhenEvenTheyAreTooWide) {
    EXPECT_EQ(EllipsisText(L"Something long", font_, 1), L"...");
    EXPECT_EQ(EllipsisText(L"Something long", font_, GetTextWidth(L"...", font_)), L"...");
}

TEST_F(TextWidthTest, FitLengthIsTheWholeTextWhenItFits) {
    EXPECT_EQ(FitTextLength(L"abc", font_, GetTextWidth(L"abc", font_)), 3u);
    EXPECT_EQ(FitTextLength(L"", font_, 0), 0u);
}

TEST_F(TextWidthTest, FitLengthStopsBeforeTheFirstPrefixTooWide) {
    const std::wstring text = L"Hello, world";
    const int max = GetTextWidth(L"Hello", font_);
    EXPECT_EQ(FitTextLength(text, font_, max), 5u);
    EXPECT_EQ(FitTextLength(text, font_, max + GetTextWidth(L",", font_) - 1), 5u);
    EXPECT_EQ(FitTextLength(text, font_, 0), 0u);
}

TEST_F(TextWidthTest, BiggerFontFitsFewerCharacters) {
    const std::wstring text = L"abcdefghijklmnopqrstuvwxyz";
    const int max = GetTextWidth(L"abcdefghijklm", font_);
    EXPECT_LT(FitTextLength(text, test::RealiseSkinFont(24), max), FitTextLength(text, font_, max));
}

}  // namespace

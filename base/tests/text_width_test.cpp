#include "base/string_util.h"

#include <gtest/gtest.h>

#include "testing/skin_font.h"

namespace {

using base::EllipsisText;
using base::FitTextLength;
using base::GetTextWidth;
using testing_support::RealiseSkinFont;

// Widths add up; the longest prefix that fits; a text that fits stays, otherwise the
// longest prefix that fits with "...", or the dots alone when even they are too wide.
TEST(TextWidthTest, WidthsTheLongestPrefixThatFitsAndTheEllipsis) {
    const Gui::Font font = RealiseSkinFont(12);
    EXPECT_EQ(GetTextWidth(L"", font), 0);
    EXPECT_EQ(GetTextWidth(L"Download", font), Gui::GetTextSize(L"Download", font).cx);
    EXPECT_EQ(GetTextWidth(L"ab", font), GetTextWidth(L"a", font) + GetTextWidth(L"b", font));
    const std::wstring text = L"Hello, world";
    const int hello = GetTextWidth(L"Hello", font);
    EXPECT_EQ(FitTextLength(L"abc", font, GetTextWidth(L"abc", font)), 3u);
    EXPECT_EQ(FitTextLength(L"", font, 0) + FitTextLength(text, font, 0), 0u);
    EXPECT_EQ(FitTextLength(text, font, hello), 5u);
    EXPECT_EQ(FitTextLength(text, font, hello + GetTextWidth(L",", font) - 1), 5u);
    EXPECT_LT(FitTextLength(text, RealiseSkinFont(24), hello), 5u);

    EXPECT_EQ(EllipsisText(L"游戏下载器", font, GetTextWidth(L"游戏下载器", font)), L"游戏下载器");
    EXPECT_EQ(EllipsisText(L"游戏下载器", font, 1000), L"游戏下载器");
    EXPECT_EQ(EllipsisText(L"Something long", font, 1), L"...");
    const std::wstring path = L"C:\\Games\\Downloads\\installer.exe";
    for (int max = GetTextWidth(L"...", font); max < GetTextWidth(path, font); max += 7) {
        const std::wstring result = EllipsisText(path, font, max);
        ASSERT_GE(result.size(), 3u);
        const std::wstring prefix = result.substr(0, result.size() - 3);
        EXPECT_EQ(path.substr(0, prefix.size()) + L"...", result);
        EXPECT_LE(GetTextWidth(result, font), max);
        EXPECT_GT(GetTextWidth(path.substr(0, prefix.size() + 1) + L"...", font), max);
    }
}

}  // namespace

#include "base/string_util.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <locale.h>

#include "testing/skin_font.h"

namespace {

using namespace base;
using testing_support::RealiseSkinFont;
using Pieces = std::vector<std::wstring>;

// The ANSI code page is UTF-8 on this platform; text ends at an embedded zero.
TEST(StringConversionTest, ChineseRoundTripsAndTextEndsAtAZero) {
    const std::wstring text = L"下载器 v1.0 \U0001F600";
    EXPECT_EQ(WideToUtf8(text), "下载器 v1.0 \xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide("下载器 v1.0 \xF0\x9F\x98\x80"), text);
    EXPECT_EQ(WideToAnsi(text), WideToUtf8(text));
    EXPECT_EQ(AnsiToWide(WideToAnsi(text)), text);
    EXPECT_EQ(AnsiToWide("") + Utf8ToWide(nullptr) + Utf8ToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L"") + WideToUtf8(L""), "");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(Utf8ToWide((std::string("a\xFF") + "b").c_str()), L"a\uFFFDb");  // a replacement
}

TEST(NumberTextTest, DecimalWithSignAndFullRange) {
    EXPECT_EQ(IntToWString(0) + IntToWString(-42) + IntToWString(INT_MIN), L"0-42-2147483648");
    EXPECT_EQ(IntToString(INT_MAX) + " " + Int64ToString(5000000000LL), "2147483647 5000000000");
    EXPECT_EQ(
        Int64ToWString(INT64_MIN) + L" " + FormatQuad(1, -2, 3, 400) + L" " + FormatPair(-1, 0),
        L"-9223372036854775808 1,-2,3,400 -1,0");
    const struct {
        char c;
        int value;
    } digits[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'F', 15},
                  {'g', -1}, {'G', -1}, {' ', -1}, {'\xB0', -1}};
    for (auto& d : digits) EXPECT_EQ(HexDigitValue(d.c), d.value) << d.c;
}

TEST(CaseTest, OnlyAsciiLettersChangeOrAreIgnoredEvenUnderAUnicodeLocale) {
    setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(ToUpper(L"abz-ÄéΩ下1"), L"ABZ-ÄéΩ下1");
    EXPECT_EQ(ToLower(L"ABZ-ÄÉΩ下1"), L"abz-ÄÉΩ下1");
    EXPECT_TRUE(EqualNoCase(L"C:\\Games\\Setup.EXE", L"c:\\games\\setup.exe"));
    EXPECT_FALSE(EqualNoCase(L"é", L"É"));
    setlocale(LC_ALL, "C");
    EXPECT_FALSE(EqualNoCase(L"abc", L"abcd") || EqualNoCase(L"abc", L"abd"));
    EXPECT_TRUE(EqualNoCase(L"", L""));
}

TEST(ReplaceAllTest, NeverSearchesInsideAReplacementNorForNothing) {
    const struct {
        std::wstring text, search, with, result;
    } cases[] = {{L"a\\\\\\b", L"\\\\", L"\\", L"a\\\\b"},
                 {L"x.x.x", L"x", L"xx", L"xx.xx.xx"},
                 {L"C:/a/b/", L"/", L"\\", L"C:\\a\\b\\"},
                 {L"aXbXc", L"X", L"", L"abc"},
                 {L"abc", L"", L"z", L"abc"}};
    for (auto c : cases) {
        EXPECT_EQ(ReplaceAll(c.text, c.search, c.with), c.result) << c.search;
        EXPECT_EQ(c.text, c.result);
    }
}

TEST(SplitTest, PiecesBetweenDelimitersWithoutATrailingEmptyOne) {
    EXPECT_EQ(SplitByDot(L"1.2.3.4"), (Pieces{L"1", L"2", L"3", L"4"}));
    EXPECT_EQ(SplitByDot(L"whole"), (Pieces{L"whole"}));
    EXPECT_EQ(SplitByDot(L"1.2."), (Pieces{L"1", L"2"}));
    EXPECT_EQ(SplitByDot(L".a..b"), (Pieces{L"", L"a", L"", L"b"}));
    EXPECT_EQ(SplitString("a,b,,c,", ','), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(SplitByDot(L"").empty() && SplitString("", ',').empty());
}

TEST(PathPartTest, NameExtensionAndTitleComeFromTheFileNameOnly) {
    const wchar_t* path = L"C:\\games\\x/setup.exe";
    EXPECT_EQ(GetFileNamePart(path), path + 11);
    EXPECT_STREQ(GetFileNamePart(L"D:setup.exe"), L"setup.exe");
    EXPECT_STREQ(GetFileNamePart(L"plain"), L"plain");
    EXPECT_EQ(GetFileNameString(L"C:\\a/b.txt"), L"b.txt");
    // GetFileNameOf stops only at backslashes.
    EXPECT_EQ(GetFileNameOf(L"C:\\a/b.txt") + L"|" + GetFileNameOf(L"b.txt") + L"|" +
                  GetFileNameOf(L"C:\\a\\"),
              L"a/b.txt|b.txt|");
    const struct {
        const wchar_t *path, *extension, *title;
    } cases[] = {{L"C:\\my.games\\setup", L"", L"setup"},
                 {L"C:\\my.games\\setup.tar.gz", L".gz", L"setup.tar"},
                 {L"C:\\a\\.hidden", L".hidden", L".hidden"}};
    for (auto& c : cases) {
        EXPECT_EQ(GetFileExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(GetFileTitle(c.path), c.title) << c.path;
    }
}

// "#RRGGBB" to a BGR value; "#" alone is white; anything else leaves the colour alone.
TEST(ParseColorTest, HashAndSixDigitsToBgr) {
    const struct {
        const char* text;
        bool ok;
        uint32_t color;
    } cases[] = {{"#FF0000", true, 255u},
                 {"#ff8000", true, 33023u},
                 {"#0000fF", true, 0xFF0000u},
                 {"#", true, 0xFFFFFFFFu},
                 {"", false, 7},
                 {"FF0000", false, 7},
                 {"#FF000", false, 7},
                 {"#FF00000", false, 7},
                 {"#FF00G0", false, 7},
                 {"#ff 000", false, 7}};
    for (auto& c : cases) {
        uint32_t color = 7;
        EXPECT_EQ(ParseColor(c.text, color), c.ok) << c.text;
        EXPECT_EQ(color, c.color) << c.text;
    }
}

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

    for (int max : {GetTextWidth(L"游戏下载器", font), 1000})
        EXPECT_EQ(EllipsisText(L"游戏下载器", font, max), L"游戏下载器");
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

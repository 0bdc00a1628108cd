#include "base/string_util.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <locale.h>

namespace {

using namespace base;

TEST(StringConversionTest, RoundTripsChineseThroughAnsiAndUtf8) {
    const std::wstring text = L"下载器 v1.0 \U0001F600";
    EXPECT_EQ(WideToUtf8(text), "下载器 v1.0 \xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide("下载器 v1.0 \xF0\x9F\x98\x80"), text);
    // The ANSI code page is UTF-8 on this platform.
    EXPECT_EQ(WideToAnsi(text), WideToUtf8(text));
    EXPECT_EQ(AnsiToWide(WideToAnsi(text)), text);
}

TEST(StringConversionTest, EmptyNullAndEmbeddedZerosGiveTheTextBeforeTheZero) {
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(Utf8ToWide(nullptr), L"");
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(StringConversionTest, InvalidUtf8BecomesReplacementCharacters) {
    const std::wstring wide = Utf8ToWide(
        "a\xFF"
        "b");
    EXPECT_EQ(wide, L"a\uFFFDb");
}

TEST(NumberTextTest, DecimalWithSignAndFullRange) {
    EXPECT_EQ(IntToWString(0), L"0");
    EXPECT_EQ(IntToWString(-42), L"-42");
    EXPECT_EQ(IntToWString(INT_MIN), L"-2147483648");
    EXPECT_EQ(IntToString(INT_MAX), "2147483647");
    EXPECT_EQ(Int64ToWString(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(Int64ToString(5000000000LL), "5000000000");
    EXPECT_EQ(FormatQuad(1, -2, 3, 400), L"1,-2,3,400");
    EXPECT_EQ(FormatPair(-1, 0), L"-1,0");
}

TEST(CaseTest, OnlyAsciiLettersChangeEvenUnderAUnicodeLocale) {
    setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(ToUpper(L"abz-ÄéΩ下1"), L"ABZ-ÄéΩ下1");
    EXPECT_EQ(ToLower(L"ABZ-ÄÉΩ下1"), L"abz-ÄÉΩ下1");
    setlocale(LC_ALL, "C");
}

TEST(CaseTest, EqualNoCaseIgnoresOnlyAsciiCase) {
    EXPECT_TRUE(EqualNoCase(L"C:\\Games\\Setup.EXE", L"c:\\games\\setup.exe"));
    EXPECT_FALSE(EqualNoCase(L"é", L"É"));
    EXPECT_FALSE(EqualNoCase(L"abc", L"abcd"));
    EXPECT_FALSE(EqualNoCase(L"abc", L"abd"));
    EXPECT_TRUE(EqualNoCase(L"", L""));
}

TEST(ReplaceAllTest, NeverSearchesInsideAReplacement) {
    std::wstring three = L"a\\\\\\b";
    EXPECT_EQ(ReplaceAll(three, L"\\\\", L"\\"), L"a\\\\b");
    EXPECT_EQ(three, L"a\\\\b");

    std::wstring grow = L"x.x.x";
    ReplaceAll(grow, L"x", L"xx");
    EXPECT_EQ(grow, L"xx.xx.xx");

    std::wstring slashes = L"C:/a/b/";
    EXPECT_EQ(ReplaceAll(slashes, L"/", L"\\"), L"C:\\a\\b\\");

    std::wstring removed = L"aXbXc";
    EXPECT_EQ(ReplaceAll(removed, L"X", L""), L"abc");
}

TEST(ReplaceAllTest, EmptySearchTextLeavesTheTextUnchanged) {
    std::wstring text = L"abc";
    EXPECT_EQ(ReplaceAll(text, L"", L""), L"abc");
    EXPECT_EQ(ReplaceAll(text, L"", L"z"), L"abc");
}

TEST(SplitTest, PiecesBetweenDelimiters) {
    EXPECT_EQ(SplitByDot(L"1.2.3.4"), (std::vector<std::wstring>{L"1", L"2", L"3", L"4"}));
    EXPECT_EQ(SplitByDot(L"whole"), (std::vector<std::wstring>{L"whole"}));
    EXPECT_TRUE(SplitByDot(L"").empty());
    EXPECT_EQ(SplitByDot(L"1.2."), (std::vector<std::wstring>{L"1", L"2"}));
    EXPECT_EQ(SplitByDot(L".a..b"), (std::vector<std::wstring>{L"", L"a", L"", L"b"}));
    EXPECT_EQ(SplitString("a,b,,c,", ','), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(SplitString("", ',').empty());
}

TEST(HexDigitTest, BothCasesAndNothingElse) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
    EXPECT_EQ(HexDigitValue('G'), -1);
    EXPECT_EQ(HexDigitValue(' '), -1);
    EXPECT_EQ(HexDigitValue('\xB0'), -1);
}

TEST(PathPartTest, FileNameAfterTheLastSeparator) {
    const wchar_t* path = L"C:\\games\\x/setup.exe";
    EXPECT_EQ(GetFileNamePart(path), path + 11);
    EXPECT_STREQ(GetFileNamePart(L"D:setup.exe"), L"setup.exe");
    EXPECT_STREQ(GetFileNamePart(L"plain"), L"plain");
    EXPECT_EQ(GetFileNameString(L"C:\\a/b.txt"), L"b.txt");
    // GetFileNameOf stops only at backslashes.
    EXPECT_EQ(GetFileNameOf(L"C:\\a/b.txt"), L"a/b.txt");
    EXPECT_EQ(GetFileNameOf(L"b.txt"), L"b.txt");
    EXPECT_EQ(GetFileNameOf(L"C:\\a\\"), L"");
}

TEST(PathPartTest, ExtensionAndTitleComeFromTheFileNameOnly) {
    EXPECT_EQ(GetFileExtension(L"C:\\my.games\\setup"), L"");
    EXPECT_EQ(GetFileExtension(L"C:\\my.games\\setup.tar.gz"), L".gz");
    EXPECT_EQ(GetFileExtension(L"C:\\a\\.hidden"), L".hidden");
    EXPECT_EQ(GetFileTitle(L"C:\\my.games\\setup.tar.gz"), L"setup.tar");
    EXPECT_EQ(GetFileTitle(L"C:\\my.games\\setup"), L"setup");
    EXPECT_EQ(GetFileTitle(L"C:\\a\\.hidden"), L".hidden");
}

TEST(ParseColorTest, HashAndSixDigitsToBgr) {
    uint32_t color = 1;
    EXPECT_TRUE(ParseColor("#FF0000", color));
    EXPECT_EQ(color, 255u);
    EXPECT_TRUE(ParseColor("#ff8000", color));
    EXPECT_EQ(color, 33023u);
    EXPECT_TRUE(ParseColor("#0000fF", color));
    EXPECT_EQ(color, 0xFF0000u);
    EXPECT_TRUE(ParseColor("#", color));
    EXPECT_EQ(color, 0xFFFFFFFFu);
}

TEST(ParseColorTest, MalformedTextLeavesTheColourUnchanged) {
    uint32_t color = 7;
    EXPECT_FALSE(ParseColor("", color));
    EXPECT_FALSE(ParseColor("FF0000", color));
    EXPECT_FALSE(ParseColor("#FF000", color));
    EXPECT_FALSE(ParseColor("#FF00000", color));
    EXPECT_FALSE(ParseColor("#FF00G0", color));
    EXPECT_FALSE(ParseColor("#ff 000", color));
    EXPECT_EQ(color, 7u);
}

}  // namespace

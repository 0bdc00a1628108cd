#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlUnescape, InPlaceStopsAtTheQueryWhenAsked) {
    wchar_t url[] = L"/dl/my%20game%2Fv1.exe?name=a%20b#frag%20x";
    ASSERT_EQ(
        UrlUnescapeW(url, nullptr, nullptr, URL_UNESCAPE_INPLACE | URL_DONT_UNESCAPE_EXTRA_INFO),
        S_OK);
    EXPECT_STREQ(url, L"/dl/my game/v1.exe?name=a%20b#frag%20x");

    wchar_t hash[] = L"a%41#b%41";
    UrlUnescapeW(hash, nullptr, nullptr, URL_UNESCAPE_INPLACE | URL_DONT_UNESCAPE_EXTRA_INFO);
    EXPECT_STREQ(hash, L"aA#b%41");
}

TEST(UrlUnescape, WithoutTheFlagTheWholeTextIsUnescaped) {
    wchar_t url[] = L"a%20b?c%20d";
    UrlUnescapeW(url, nullptr, nullptr, URL_UNESCAPE_INPLACE);
    EXPECT_STREQ(url, L"a b?c d");
}

TEST(UrlUnescape, EachEscapeIsOneCharacterUnlessUtf8IsAsked) {
    wchar_t bytes[] = L"%E4%B8%AD";
    UrlUnescapeW(bytes, nullptr, nullptr, URL_UNESCAPE_INPLACE);
    EXPECT_STREQ(bytes, L"\u00E4\u00B8\u00AD");
    wchar_t utf8[] = L"%E4%B8%AD.exe";
    UrlUnescapeW(utf8, nullptr, nullptr, URL_UNESCAPE_INPLACE | URL_UNESCAPE_AS_UTF8);
    EXPECT_STREQ(utf8, L"\u4E2D.exe");
}

TEST(UrlUnescape, BrokenEscapesStayAsWritten) {
    wchar_t url[] = L"100%zz%4";
    UrlUnescapeW(url, nullptr, nullptr, URL_UNESCAPE_INPLACE);
    EXPECT_STREQ(url, L"100%zz%4");
}

TEST(UrlUnescape, ASmallOutputBufferAsksForTheSizeNeeded) {
    wchar_t out[4];
    DWORD size = 4;
    EXPECT_EQ(UrlUnescapeW(const_cast<wchar_t*>(L"ab%20cd"), out, &size, 0), E_POINTER);
    EXPECT_EQ(size, 6u);
    wchar_t big[16];
    size = 16;
    EXPECT_EQ(UrlUnescapeW(const_cast<wchar_t*>(L"ab%20cd"), big, &size, 0), S_OK);
    EXPECT_STREQ(big, L"ab cd");
    EXPECT_EQ(size, 5u);
}

}  // namespace

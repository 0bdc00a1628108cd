#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlUnescape, InPlaceAsAskedBrokenEscapesKeptAndASmallBufferAsksForTheSizeNeeded) {
    const struct {
        const wchar_t* url;
        DWORD flags;
        const wchar_t* expected;
    } cases[] = {
        {L"/dl/my%20game%2Fv1.exe?name=a%20b#frag%20x", URL_DONT_UNESCAPE_EXTRA_INFO,
         L"/dl/my game/v1.exe?name=a%20b#frag%20x"},
        {L"a%41#b%41", URL_DONT_UNESCAPE_EXTRA_INFO, L"aA#b%41"},
        {L"a%20b?c%20d", 0, L"a b?c d"},
        {L"%E4%B8%AD", 0, L"\u00E4\u00B8\u00AD"},  // one character an escape
        {L"%E4%B8%AD.exe", URL_UNESCAPE_AS_UTF8, L"\u4E2D.exe"},
        {L"100%zz%4", 0, L"100%zz%4"},
    };
    for (const auto& c : cases) {
        std::wstring url = c.url;
        EXPECT_EQ(UrlUnescapeW(url.data(), nullptr, nullptr, URL_UNESCAPE_INPLACE | c.flags), S_OK);
        EXPECT_STREQ(url.c_str(), c.expected) << c.url;
    }
    wchar_t out[16];
    DWORD size = 5;  // the text fits, its terminator does not
    EXPECT_EQ(UrlUnescapeW(const_cast<wchar_t*>(L"ab%20cd"), out, &size, 0), E_POINTER);
    EXPECT_EQ(size, 6u);
    size = 16;
    EXPECT_EQ(UrlUnescapeW(const_cast<wchar_t*>(L"ab%20cd"), out, &size, 0), S_OK);
    EXPECT_STREQ(out, L"ab cd");
    EXPECT_EQ(size, 5u);
}

}  // namespace

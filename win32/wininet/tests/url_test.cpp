#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

URL_COMPONENTSW components(WCHAR* host, DWORD host_len, WCHAR* path, DWORD path_len) {
    URL_COMPONENTSW c{};
    c.dwStructSize = sizeof c;
    c.lpszHostName = host;
    c.dwHostNameLength = host_len;
    c.lpszUrlPath = path;
    c.dwUrlPathLength = path_len;
    return c;
}

TEST(CrackUrl, ThePathCarriesTheQueryAndThePortDefaultsByScheme) {
    WCHAR host[64], path[128];
    auto c = components(host, 64, path, 128);
    ASSERT_TRUE(InternetCrackUrlW(L"http://example.test/a%20b/c.exe?x=%201&y=2", 0, 0, &c));
    EXPECT_STREQ(host, L"example.test");
    EXPECT_EQ(c.dwHostNameLength, 12u);
    EXPECT_STREQ(path, L"/a%20b/c.exe?x=%201&y=2");
    EXPECT_EQ(c.nScheme, INTERNET_SCHEME_HTTP);
    EXPECT_EQ(c.nPort, 80);

    c = components(host, 64, path, 128);
    ASSERT_TRUE(InternetCrackUrlW(L"https://user:pw@h.test:8443", 0, 0, &c));
    EXPECT_STREQ(host, L"h.test");
    EXPECT_STREQ(path, L"");
    EXPECT_EQ(c.nScheme, INTERNET_SCHEME_HTTPS);
    EXPECT_EQ(c.nPort, 8443);
}

TEST(CrackUrl, AskingForExtraInfoSplitsItFromThePath) {
    WCHAR host[64], path[64], extra[64];
    auto c = components(host, 64, path, 64);
    c.lpszExtraInfo = extra;
    c.dwExtraInfoLength = 64;
    ASSERT_TRUE(InternetCrackUrlW(L"http://h/p?q=1#f", 0, 0, &c));
    EXPECT_STREQ(path, L"/p");
    EXPECT_STREQ(extra, L"?q=1#f");
}

TEST(CrackUrl, NullBuffersWithALengthPointIntoTheUrl) {
    const wchar_t* url = L"http://h.test:81/x?y";
    auto c = components(nullptr, 1, nullptr, 1);
    c.lpszScheme = nullptr;
    c.dwSchemeLength = 1;
    ASSERT_TRUE(InternetCrackUrlW(url, 0, 0, &c));
    EXPECT_EQ(c.lpszScheme, url);
    EXPECT_EQ(c.dwSchemeLength, 4u);
    EXPECT_EQ(c.lpszHostName, url + 7);
    EXPECT_EQ(c.dwHostNameLength, 6u);
    EXPECT_EQ(c.lpszUrlPath, url + 16);
    EXPECT_EQ(c.dwUrlPathLength, 4u);
    EXPECT_EQ(c.nPort, 81);
    // Components the URL does not have stay null.
    c = components(nullptr, 1, nullptr, 1);
    c.dwUserNameLength = c.dwExtraInfoLength = 1;
    ASSERT_TRUE(InternetCrackUrlW(L"http://h.test", 0, 0, &c));
    EXPECT_TRUE(!c.lpszUserName && !c.lpszUrlPath && !c.lpszExtraInfo && !c.dwUrlPathLength);
}

TEST(CrackUrl, DecodeTurnsEscapesBackIntoCharacters) {
    WCHAR host[64], path[64];
    auto c = components(host, 64, path, 64);
    ASSERT_TRUE(InternetCrackUrlW(L"http://h/a%20b/%41?x=%2f", 0, ICU_DECODE, &c));
    EXPECT_STREQ(path, L"/a b/A?x=/");
    EXPECT_EQ(c.dwUrlPathLength, 10u);
}

TEST(CrackUrl, ShortBuffersAndBadUrlsFail) {
    WCHAR host[4], path[64];
    auto c = components(host, 4, path, 64);
    EXPECT_FALSE(InternetCrackUrlW(L"http://longhost/", 0, 0, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(c.dwHostNameLength, 9u);

    c = components(path, 64, path, 64);
    EXPECT_FALSE(InternetCrackUrlW(L"no scheme here", 0, 0, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
    c = components(path, 64, path, 64);
    EXPECT_FALSE(InternetCrackUrlW(L"http://h:99999/", 0, 0, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));
    c = components(path, 64, path, 64);
    c.dwStructSize = 3;
    EXPECT_FALSE(InternetCrackUrlW(L"http://h/", 0, 0, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CanonicalizeUrl, BrowserModeEncodesThePathAndLeavesTheQuery) {
    WCHAR out[256];
    DWORD len = 256;
    ASSERT_TRUE(InternetCanonicalizeUrlW(L"http://h/a b/./c/../d.exe?q=a b&r=%20", out, &len,
                                         ICU_BROWSER_MODE));
    EXPECT_STREQ(out, L"http://h/a%20b/d.exe?q=a b&r=%20");
    EXPECT_EQ(len, wcslen(out));

    len = 256;
    ASSERT_TRUE(InternetCanonicalizeUrlW(L"http://h/a b?q=a b", out, &len, 0));
    EXPECT_STREQ(out, L"http://h/a%20b?q=a%20b");

    len = 256;
    ASSERT_TRUE(InternetCanonicalizeUrlW(L"http://h", out, &len, ICU_BROWSER_MODE));
    EXPECT_STREQ(out, L"http://h/");
}

TEST(CanonicalizeUrl, AShortBufferAnswers122WithTheLengthIncludingTheTerminator) {
    WCHAR out[8];
    DWORD len = 8;
    EXPECT_FALSE(InternetCanonicalizeUrlW(L"http://host/path", out, &len, ICU_BROWSER_MODE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(len, 17u);
    WCHAR big[17];
    ASSERT_TRUE(InternetCanonicalizeUrlW(L"http://host/path", big, &len, ICU_BROWSER_MODE));
    EXPECT_STREQ(big, L"http://host/path");
    EXPECT_EQ(len, 16u);
}

TEST(UrlMonUserAgent, AnswersABrowserAgentNamingTheWindowsVersion) {
    char buf[1024] = {};
    DWORD len = 0;
    ASSERT_EQ(UrlMkGetSessionOption(URLMON_OPTION_USERAGENT, buf, 1023, &len, 0), S_OK);
    std::string ua = buf;
    EXPECT_EQ(ua.rfind("Mozilla/", 0), 0u);
    EXPECT_NE(ua.find("Windows NT 6.1"), std::string::npos);
    EXPECT_EQ(len, ua.size() + 1);

    char tiny[4];
    EXPECT_EQ(UrlMkGetSessionOption(URLMON_OPTION_USERAGENT, tiny, sizeof tiny, &len, 0),
              E_OUTOFMEMORY);
    EXPECT_EQ(len, ua.size() + 1);
    EXPECT_EQ(UrlMkGetSessionOption(0x1234, buf, 1023, &len, 0), E_INVALIDARG);
}

}  // namespace

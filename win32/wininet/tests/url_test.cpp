#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

TEST(CrackUrl, CopiesTheComponentsIntoTheCallersBuffersOrPointsIntoTheUrl) {
    const struct {
        const wchar_t *url, *host, *path;
        DWORD flags;
        INTERNET_SCHEME scheme;
        int port;
    } cases[] = {
        {L"http://example.test/a%20b/c.exe?x=%201&y=2", L"example.test", L"/a%20b/c.exe?x=%201&y=2",
         0, INTERNET_SCHEME_HTTP, 80},
        {L"https://user:pw@h.test:8443", L"h.test", L"", 0, INTERNET_SCHEME_HTTPS, 8443},
        {L"http://h/a%20b/%41?x=%2f", L"h", L"/a b/A?x=/", ICU_DECODE, INTERNET_SCHEME_HTTP, 80},
    };
    for (const auto& t : cases) {
        WCHAR host[64], path[128];
        auto c = components(host, 64, path, 128);
        ASSERT_TRUE(InternetCrackUrlW(t.url, 0, t.flags, &c)) << t.url;
        EXPECT_EQ(std::make_tuple(std::wstring(host), c.dwHostNameLength, std::wstring(path),
                                  c.dwUrlPathLength, c.nScheme, c.nPort),
                  std::make_tuple(std::wstring(t.host), wcslen(t.host), std::wstring(t.path),
                                  wcslen(t.path), t.scheme, t.port));
    }
    // Asking for the extra information splits it from the path.
    WCHAR host[64], path[64], extra[64];
    auto c = components(host, 64, path, 64);
    c.lpszExtraInfo = extra;
    c.dwExtraInfoLength = 64;
    ASSERT_TRUE(InternetCrackUrlW(L"http://h/p?q=1#f", 0, 0, &c));
    EXPECT_EQ(std::wstring(path) + L"|" + extra, L"/p|?q=1#f");
    // Null buffers with a length point into the URL; absent parts stay null.
    const wchar_t* url = L"http://h.test:81/x?y";
    c = components(nullptr, 1, nullptr, 1);
    c.dwSchemeLength = 1;
    ASSERT_TRUE(InternetCrackUrlW(url, 0, 0, &c));
    EXPECT_EQ(std::make_tuple(c.lpszScheme - url, c.dwSchemeLength, c.lpszHostName - url,
                              c.dwHostNameLength, c.lpszUrlPath - url, c.dwUrlPathLength, c.nPort),
              std::make_tuple(0, 4u, 7, 6u, 16, 4u, 81));
    c = components(nullptr, 1, nullptr, 1);
    c.dwUserNameLength = c.dwExtraInfoLength = 1;
    ASSERT_TRUE(InternetCrackUrlW(L"http://h.test", 0, 0, &c));
    EXPECT_TRUE(!c.lpszUserName && !c.lpszUrlPath && !c.lpszExtraInfo && !c.dwUrlPathLength);
}

TEST(CrackUrl, ShortBuffersAskForTheRoomNeededAndBadUrlsFail) {
    const struct {
        const wchar_t* url;
        DWORD host_len, path_len, struct_size, error;
        DWORD host_after, path_after;  // the lengths reported
    } cases[] = {
        // A short buffer reports the room needed, the terminator counted; one that
        // fits the length copied.
        {L"http://longhost/", 4, 64, sizeof(URL_COMPONENTSW), ERROR_INSUFFICIENT_BUFFER, 9, 1},
        {L"http://h/longer/path", 64, 5, sizeof(URL_COMPONENTSW), ERROR_INSUFFICIENT_BUFFER, 1, 13},
        {L"no scheme here", 64, 64, sizeof(URL_COMPONENTSW), ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {L"", 64, 64, sizeof(URL_COMPONENTSW), ERROR_INVALID_PARAMETER},
        {L"http://h:99999/", 64, 64, sizeof(URL_COMPONENTSW), ERROR_INTERNET_INVALID_URL},
        {L"http://h/", 64, 64, 3, ERROR_INVALID_PARAMETER},
    };
    for (const auto& t : cases) {
        WCHAR host[64], path[64];
        auto c = components(host, t.host_len, path, t.path_len);
        c.dwStructSize = t.struct_size;
        EXPECT_FALSE(InternetCrackUrlW(t.url, 0, 0, &c)) << t.url;
        EXPECT_EQ(GetLastError(), t.error) << t.url;
        if (t.error == ERROR_INSUFFICIENT_BUFFER) {
            EXPECT_EQ(c.dwHostNameLength, t.host_after) << t.url;
            EXPECT_EQ(c.dwUrlPathLength, t.path_after) << t.url;
        }
    }
}

TEST(CanonicalizeUrl, EncodesThePathOnlyAsInBrowserModeAndAShortBufferAsksForMore) {
    const struct {
        const wchar_t *in, *out;
        DWORD flags;
    } cases[] = {
        {L"http://h/a b/./c/../d.exe?q=a b&r=%20", L"http://h/a%20b/d.exe?q=a b&r=%20",
         ICU_BROWSER_MODE},
        // Browser mode whether asked or not; a backslash is a separator; characters
        // beyond ASCII stay as they are.
        {L"http://h/a b?q=a b", L"http://h/a%20b?q=a b", 0},
        {L"http://h\\a\\..\\b\\c d", L"http://h/b/c%20d", 0},
        {L"http://h/\u4E2D\u00E9?\u6587", L"http://h/\u4E2D\u00E9?\u6587", 0},
        {L"http://h", L"http://h/", ICU_BROWSER_MODE},
        {L"www.example.test/a b", nullptr, 0},  // no scheme: no URL
    };
    for (const auto& t : cases) {
        WCHAR out[256];
        DWORD len = 256;
        const BOOL ok = InternetCanonicalizeUrlW(t.in, out, &len, t.flags);
        if (!t.out) {
            EXPECT_TRUE(!ok && GetLastError() == ERROR_INTERNET_INVALID_URL) << t.in;
            continue;
        }
        ASSERT_TRUE(ok) << t.in;
        EXPECT_STREQ(out, t.out);
        EXPECT_EQ(len, wcslen(out));
    }
    WCHAR out[17];
    DWORD len = 8;
    EXPECT_FALSE(InternetCanonicalizeUrlW(L"http://host/path", out, &len, ICU_BROWSER_MODE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(len, 17u);  // with the terminator
    ASSERT_TRUE(InternetCanonicalizeUrlW(L"http://host/path", out, &len, ICU_BROWSER_MODE));
    EXPECT_STREQ(out, L"http://host/path");
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
    EXPECT_EQ(UrlMkGetSessionOption(URLMON_OPTION_USERAGENT, buf, 4, &len, 0), E_OUTOFMEMORY);
    EXPECT_EQ(len, ua.size() + 1);
    EXPECT_EQ(UrlMkGetSessionOption(0x1234, buf, 1023, &len, 0), E_INVALIDARG);
}

}  // namespace

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "support/test_server.h"

#include <cstdlib>
#include <string>
#include <vector>

using testing_http::make_reply;
using testing_http::ReceivedRequest;
using testing_http::Reply;
using testing_http::TestServer;

namespace {

// Owns an Internet handle for the length of a test.
struct Inet {
    HINTERNET h;
    explicit Inet(HINTERNET v) : h(v) {}
    ~Inet() {
        if (h) InternetCloseHandle(h);
    }
    operator HINTERNET() const { return h; }
};

std::string read_all(HINTERNET req) {
    std::string out;
    char buf[1000];
    DWORD got = 0;
    while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) out.append(buf, got);
    return out;
}

HINTERNET open_session() {
    return InternetOpenW(L"TestAgent/1.0", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

TEST(HttpRequest, GetGoesOutAsHttp10WithEscapedPathJoinedAcceptAndExtraHeaders) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "hello"); });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    LPCWSTR accept[] = {L"text/html", L"*/*", nullptr};
    Inet req(HttpOpenRequestW(conn, L"GET", L"/dl/my game.exe?a=1 2", L"HTTP/1.0", nullptr,
                              accept, INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    ASSERT_TRUE(req.h);
    ASSERT_TRUE(HttpSendRequestW(req, L"X-One: 1\r\nX-Two: 2\r\n", static_cast<DWORD>(-1),
                                 nullptr, 0));
    EXPECT_EQ(read_all(req), "hello");

    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].method, "GET");
    EXPECT_EQ(got[0].target, "/dl/my%20game.exe?a=1%202");
    EXPECT_EQ(got[0].version, "HTTP/1.0");
    EXPECT_EQ(got[0].header("Accept"), "text/html, */*");
    EXPECT_EQ(got[0].header("User-Agent"), "TestAgent/1.0");
    EXPECT_EQ(got[0].header("X-One"), "1");
    EXPECT_EQ(got[0].header("X-Two"), "2");
    EXPECT_EQ(got[0].header("Pragma"), "no-cache");
    EXPECT_FALSE(got[0].has_header("Content-Type"));
}

TEST(HttpRequest, PostSendsTheBodyWithOnlyTheCallersContentType) {
    TestServer server([](const ReceivedRequest& r) { return make_reply(200, "got " + r.body); });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"POST", L"/form", nullptr, nullptr, nullptr, 0, 0));
    char body[] = "a=1&b=2";
    ASSERT_TRUE(HttpSendRequestW(req, L"Content-Type: application/x-www-form-urlencoded", 47,
                                 body, 7));
    EXPECT_EQ(read_all(req), "got a=1&b=2");
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].method, "POST");
    EXPECT_EQ(got[0].version, "HTTP/1.1");
    EXPECT_EQ(got[0].body, "a=1&b=2");
    EXPECT_EQ(got[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_FALSE(got[0].has_header("Accept"));
}

TEST(HttpRequest, GetWithABodySendsItWithTheGetVerb) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, ""); });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"GET", L"/q", L"HTTP/1.0", nullptr, nullptr, 0, 0));
    char body[] = "xyz";
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, body, 3));
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].method, "GET");
    EXPECT_EQ(got[0].body, "xyz");
}

TEST(HttpRequest, PortMapSendsPort80ToTheMappedPortWithAPlainHostHeader) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "mapped"); });
    std::string map = "81=1,80=" + std::to_string(server.port());
    setenv("WIN32_HTTP_PORT_MAP", map.c_str(), 1);
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", INTERNET_DEFAULT_HTTP_PORT, nullptr,
                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, nullptr, L"/x", nullptr, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(read_all(req), "mapped");
    unsetenv("WIN32_HTTP_PORT_MAP");
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].header("Host"), "127.0.0.1");
}

TEST(HttpRequest, SendBlocksUntilTheHeadersAndReadFillsTheBufferAcrossPieces) {
    TestServer server([](const ReceivedRequest&) {
        Reply r = make_reply(200, "0123456789");
        std::string all = r.pieces[0];
        size_t cut = all.size() - 6;
        r.pieces = {all.substr(0, cut), all.substr(cut, 3), all.substr(cut + 3)};
        r.pause_ms = 40;
        return r;
    });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    DWORD len = 0, size = sizeof len;
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &len,
                               &size, nullptr));
    EXPECT_EQ(len, 10u);
    char buf[32] = {};
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(req, buf, 10, &got));
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(std::string(buf, got), "0123456789");
    ASSERT_TRUE(InternetReadFile(req, buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
}

TEST(HttpRequest, QueryInfoAnswersNumbersRawHeadersAndMissingHeaders) {
    TestServer server([](const ReceivedRequest&) {
        return make_reply(500, "oops", "X-Thing: one\r\nX-Thing: two\r\n");
    });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0));

    DWORD status = 0, size = sizeof status;
    EXPECT_FALSE(HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));

    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &size, nullptr));
    EXPECT_EQ(status, 500u);
    EXPECT_EQ(size, sizeof(DWORD));

    // Missing header.
    WCHAR text[256];
    size = sizeof text;
    EXPECT_FALSE(HttpQueryInfoW(req, HTTP_QUERY_LOCATION, text, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));

    // Raw headers: too small a buffer answers 122 and the bytes needed.
    size = 4;
    EXPECT_FALSE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, text, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::wstring expect =
        L"HTTP/1.1 500 Status\r\nContent-Length: 4\r\nX-Thing: one\r\nX-Thing: two\r\n"
        L"Connection: close\r\n\r\n";
    EXPECT_EQ(size, (expect.size() + 1) * sizeof(WCHAR));
    std::vector<WCHAR> raw(size / sizeof(WCHAR));
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr));
    EXPECT_EQ(std::wstring(raw.data()), expect);
    EXPECT_EQ(size, expect.size() * sizeof(WCHAR));

    // Repeated headers by index, and a custom name.
    DWORD index = 0;
    wcscpy(text, L"x-thing");
    size = sizeof text;
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_CUSTOM, text, &size, &index));
    EXPECT_STREQ(text, L"one");
    wcscpy(text, L"x-thing");
    size = sizeof text;
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_CUSTOM, text, &size, &index));
    EXPECT_STREQ(text, L"two");
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(read_all(req), "oops");
}

TEST(HttpRequest, BodyWithoutLengthIsReadToTheEndAndAvailabilityReported) {
    std::string big(20000, 'z');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    TestServer server([&](const ReceivedRequest&) {
        Reply r = make_reply(200, big.substr(0, 7000), "", false);
        r.pieces.push_back(big.substr(7000));
        r.pause_ms = 30;
        return r;
    });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"GET", L"/", L"HTTP/1.0", nullptr, nullptr, 0, 0));
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    DWORD len = 0, size = sizeof len;
    EXPECT_FALSE(HttpQueryInfoW(req, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &len,
                                &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
    DWORD avail = 0;
    ASSERT_TRUE(InternetQueryDataAvailable(req, &avail, 0, 0));
    EXPECT_GT(avail, 0u);
    EXPECT_LE(avail, 20000u);
    EXPECT_EQ(read_all(req), big);
    ASSERT_TRUE(InternetQueryDataAvailable(req, &avail, 0, 0));
    EXPECT_EQ(avail, 0u);
}

TEST(HttpRequest, ChunkedBodyIsDecoded) {
    TestServer server([](const ReceivedRequest&) {
        return Reply{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"}};
    });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet req(HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(read_all(req), "hello world");
}

TEST(HttpRequest, RedirectIsFollowedUnlessTheCallerSaysNot) {
    TestServer server([](const ReceivedRequest& r) {
        if (r.target == "/old") return make_reply(302, "", "Location: /new\r\n");
        return make_reply(200, "new place");
    });
    Inet session(open_session());
    Inet conn(InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0));
    Inet follow(HttpOpenRequestW(conn, L"GET", L"/old", nullptr, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(HttpSendRequestW(follow, nullptr, 0, nullptr, 0));
    EXPECT_EQ(read_all(follow), "new place");

    Inet stay(HttpOpenRequestW(conn, L"GET", L"/old", nullptr, nullptr, nullptr,
                               INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
    ASSERT_TRUE(HttpSendRequestW(stay, nullptr, 0, nullptr, 0));
    DWORD status = 0, size = sizeof status;
    ASSERT_TRUE(HttpQueryInfoW(stay, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &size, nullptr));
    EXPECT_EQ(status, 302u);
}

TEST(HttpRequest, OpenUrlGetsTheBodyAndTheFilePointerSkipsForward) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "abcdefghij"); });
    Inet session(open_session());
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.port()) + L"/f?x=1#frag";
    Inet req(InternetOpenUrlW(session, url.c_str(), L"X-Ask: yes", static_cast<DWORD>(-1), 0, 0));
    ASSERT_TRUE(req.h);
    EXPECT_EQ(InternetSetFilePointer(req, 4, nullptr, FILE_BEGIN, 0), 4u);
    EXPECT_EQ(InternetSetFilePointer(req, 2, nullptr, FILE_BEGIN, 0), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(read_all(req), "efghij");
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].target, "/f?x=1");
    EXPECT_EQ(got[0].header("X-Ask"), "yes");

    EXPECT_EQ(InternetOpenUrlW(session, L"ftp://127.0.0.1/x", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
}

}  // namespace

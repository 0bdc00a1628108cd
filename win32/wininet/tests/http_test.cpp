// Internet handles and HTTP requests against a loopback server.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "testing/http_test_server.h"
#include "testing/random_bytes.h"
#include "testing/scoped_env.h"
#include "testing/win32_last_error.h"

using testing_http::make_reply;
using testing_http::ReceivedRequest;
using testing_http::Reply;
using testing_http::TestServer;
using testing_support::Failed;

namespace {

// A session and its connection to host:port; closing the session closes the rest.
struct Http {
    HINTERNET session, conn;
    explicit Http(uint16_t port, const wchar_t* host = L"127.0.0.1")
        : session(InternetOpenW(L"TestAgent/1.0", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)),
          conn(InternetConnectW(session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                0)) {}
    ~Http() { InternetCloseHandle(session); }
    HINTERNET open(const wchar_t* target, const wchar_t* verb = L"GET",
                   const wchar_t* version = nullptr, DWORD flags = 0) {
        return HttpOpenRequestW(conn, verb, target, version, nullptr, nullptr, flags, 0);
    }
    HINTERNET get(const wchar_t* target, DWORD flags = 0) {
        HINTERNET req = open(target, L"GET", nullptr, flags);
        return HttpSendRequestW(req, nullptr, 0, nullptr, 0) ? req : nullptr;
    }
};

std::string read_all(HINTERNET req) {
    std::string out;
    char buf[1000];
    DWORD got = 0;
    while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) out.append(buf, got);
    return out;
}

DWORD number(HINTERNET req, DWORD query) {
    DWORD v = 0, size = sizeof v;
    return HttpQueryInfoW(req, query | HTTP_QUERY_FLAG_NUMBER, &v, &size, nullptr) ? v : 0xFFFF;
}

TEST(InternetHandles, TimeoutsAreInheritedAndClosingTheSessionClosesTheRest) {
    Http http(80);
    DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    for (DWORD i = 0; i < 3; ++i) {
        DWORD v = 1111 * (i + 1);
        ASSERT_TRUE(InternetSetOptionW(http.session, options[i], &v, 4));
    }
    HINTERNET conn = InternetConnectW(http.session, L"127.0.0.1", 80, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    for (DWORD i = 0; i < 3; ++i)
        for (HINTERNET h : {conn, req}) {
            DWORD v = 0, size = sizeof v;
            EXPECT_TRUE(InternetQueryOptionW(h, options[i], &v, &size));
            EXPECT_EQ(v, 1111 * (i + 1));
        }
    EXPECT_EQ(Failed(!InternetSetOptionW(http.session, options[0], options, 2)),
              ERROR_INTERNET_BAD_OPTION_LENGTH);
    EXPECT_EQ(
        Failed(!HttpOpenRequestW(http.session, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0)),
        ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

    ASSERT_TRUE(InternetCloseHandle(http.session));
    EXPECT_EQ(Failed(!InternetCloseHandle(req)), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(conn));
    DWORD got = 0;
    char buf[4];
    EXPECT_FALSE(InternetReadFile(req, buf, 4, &got));
}

TEST(InternetHandles, StalledAndShortRepliesEndAsOnWindowsAndAnotherThreadMayCancel) {
    TestServer server([](const ReceivedRequest& r) {
        auto stalled = [](const std::string& bytes) { return Reply{{bytes}, 0, true}; };
        if (r.target == "/silent") return stalled("");
        if (r.target == "/headers") return stalled("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n");
        if (r.target == "/stall")
            return stalled("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        return Reply{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort"}};
    });
    Http http(server.port());
    DWORD ms = 300;
    ASSERT_TRUE(InternetSetOptionW(http.conn, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &ms, 4));
    EXPECT_EQ(Failed(!http.get(L"/silent")), ERROR_INTERNET_TIMEOUT);
    // The bytes that came are handed out; a stall shows on the next read, a cut
    // body as its end.
    char buf[100];
    DWORD got = 0;
    HINTERNET stall = http.get(L"/stall");
    ASSERT_TRUE(InternetReadFile(stall, buf, 100, &got));
    EXPECT_EQ(std::string(buf, got), "some");
    EXPECT_EQ(Failed(!InternetReadFile(stall, buf, 100, &got)), ERROR_INTERNET_TIMEOUT);
    HINTERNET cut = http.get(L"/short");
    ASSERT_TRUE(InternetReadFile(cut, buf, 100, &got));
    EXPECT_EQ(std::string(buf, got), "short");
    ASSERT_TRUE(InternetReadFile(cut, buf, 100, &got));
    EXPECT_EQ(got, 0u);
    // Closing the session from another thread ends a read blocked on a stall.
    Http other(server.port());
    HINTERNET blocked = other.get(L"/headers");
    std::thread closer([&] {
        Sleep(100);
        InternetCloseHandle(other.session);
    });
    EXPECT_EQ(Failed(!InternetReadFile(blocked, buf, 100, &got)),
              ERROR_INTERNET_OPERATION_CANCELLED);
    closer.join();
}

TEST(InternetHandles, ServersThatCannotBeReachedAnswerTheirErrors) {
    // A label longer than 63 characters cannot be put into a query, so the
    // resolver fails without asking anybody.
    const std::wstring unresolvable = std::wstring(64, L'q') + L".test";
    const struct {
        const wchar_t* host;
        uint16_t port;
        DWORD error;
    } cases[] = {{L"127.0.0.1", testing_http::unused_port(), ERROR_INTERNET_CANNOT_CONNECT},
                 {unresolvable.c_str(), 80, ERROR_INTERNET_NAME_NOT_RESOLVED}};
    for (const auto& c : cases) {
        Http http(c.port, c.host);
        EXPECT_EQ(DWORD(Failed(!http.get(L"/"))), c.error);
    }
}

TEST(InternetHandles, AProxySessionSendsTheAbsoluteUrlToTheProxyExceptForBypassedHosts) {
    TestServer proxy([](const ReceivedRequest&) { return make_reply(200, "via proxy"); });
    TestServer origin([](const ReceivedRequest&) { return make_reply(200, "direct"); });
    std::wstring proxy_list = L"http=127.0.0.1:" + std::to_wstring(proxy.port());
    HINTERNET session =
        InternetOpenW(L"a", INTERNET_OPEN_TYPE_PROXY, proxy_list.c_str(), L"localhost", 0);
    const std::wstring port = std::to_wstring(origin.port());
    EXPECT_EQ(read_all(InternetOpenUrlW(session, (L"http://127.0.0.1:" + port + L"/p").c_str(),
                                        nullptr, 0, 0, 0)),
              "via proxy");
    auto seen = proxy.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://127.0.0.1:" + std::to_string(origin.port()) + "/p");
    EXPECT_EQ(read_all(InternetOpenUrlW(session, (L"http://localhost:" + port + L"/p").c_str(),
                                        nullptr, 0, 0, 0)),
              "direct");
    InternetCloseHandle(session);
}

TEST(HttpRequest, TheRequestCarriesTheCallersVerbVersionHeadersAndBody) {
    TestServer server([](const ReceivedRequest& r) { return make_reply(200, "got " + r.body); });
    Http http(server.port());
    LPCWSTR accept[] = {L"text/html", L"*/*", nullptr};
    HINTERNET get =
        HttpOpenRequestW(http.conn, L"GET", L"/dl/my game.exe?a=1 2", L"HTTP/1.0", nullptr, accept,
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
    ASSERT_TRUE(HttpSendRequestW(get, L"X-One: 1\r\nX-Two: 2\r\n", DWORD(-1), nullptr, 0));
    EXPECT_EQ(read_all(get), "got ");
    HINTERNET post = http.open(L"/form", L"POST");
    char body[] = "a=1&b=2";
    ASSERT_TRUE(
        HttpSendRequestW(post, L"Content-Type: application/x-www-form-urlencoded", 47, body, 7));
    EXPECT_EQ(read_all(post), "got a=1&b=2");
    HINTERNET get_with_body = http.open(L"/q", L"GET", L"HTTP/1.0");
    ASSERT_TRUE(HttpSendRequestW(get_with_body, nullptr, 0, body, 3));

    auto got = server.requests();
    ASSERT_EQ(got.size(), 3u);
    // The request line, these headers ("-" for one not sent) and the body.
    auto seen = [&](int i) {
        std::string out = got[i].method + " " + got[i].target + " " + got[i].version;
        for (const char* name : {"Accept", "Content-Type", "Pragma", "X-One", "X-Two"})
            out += std::string("|") + (got[i].has_header(name) ? got[i].header(name) : "-");
        return out + "|" + got[i].body;
    };
    EXPECT_EQ(seen(0), "GET /dl/my%20game.exe?a=1%202 HTTP/1.0|text/html, */*|-|no-cache|1|2|");
    EXPECT_EQ(seen(1), "POST /form HTTP/1.1|-|application/x-www-form-urlencoded|-|-|-|a=1&b=2");
    EXPECT_EQ(seen(2), "GET /q HTTP/1.0|-|-|-|-|-|a=1");
    EXPECT_EQ(got[0].header("User-Agent"), "TestAgent/1.0");
}

TEST(HttpRequest, PortMapSendsPort80ToTheMappedPortWithAPlainHostHeader) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "mapped"); });
    testing_support::ScopedEnv map("WIN32_HTTP_PORT_MAP",
                                   "81=1,80=" + std::to_string(server.port()));
    Http http(INTERNET_DEFAULT_HTTP_PORT);
    EXPECT_EQ(read_all(http.get(L"/x")), "mapped");
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].header("Host"), "127.0.0.1");
}

TEST(HttpRequest, SendWaitsForTheHeadersAndReadFillsTheBufferAcrossPieces) {
    TestServer server([](const ReceivedRequest&) {
        Reply r = make_reply(200, "0123456789");
        std::string all = r.pieces[0];
        size_t cut = all.size() - 6;
        r.pieces = {all.substr(0, cut), all.substr(cut, 3), all.substr(cut + 3)};
        r.pause_ms = 40;
        return r;
    });
    Http http(server.port());
    HINTERNET req = http.get(L"/");
    EXPECT_EQ(number(req, HTTP_QUERY_CONTENT_LENGTH), 10u);
    char buf[32] = {};
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(req, buf, 10, &got));
    EXPECT_EQ(std::string(buf, got), "0123456789");
    ASSERT_TRUE(InternetReadFile(req, buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
}

TEST(HttpRequest, QueryInfoAnswersNumbersRawHeadersAndMissingHeaders) {
    TestServer server([](const ReceivedRequest&) {
        return make_reply(500, "oops", "X-Thing: one\r\nX-Thing: two\r\n");
    });
    Http http(server.port());
    HINTERNET req = http.open(L"/");
    EXPECT_EQ(number(req, HTTP_QUERY_STATUS_CODE), 0xFFFFu);  // not sent yet
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(number(req, HTTP_QUERY_STATUS_CODE), 500u);

    WCHAR text[256];
    DWORD size = sizeof text;
    EXPECT_EQ(Failed(!HttpQueryInfoW(req, HTTP_QUERY_LOCATION, text, &size, nullptr)),
              ERROR_HTTP_HEADER_NOT_FOUND);
    // Too small a buffer answers 122 and the bytes needed.
    size = 4;
    EXPECT_EQ(Failed(!HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, text, &size, nullptr)),
              ERROR_INSUFFICIENT_BUFFER);
    const std::wstring expect =
        L"HTTP/1.1 500 Status\r\nContent-Length: 4\r\nX-Thing: one\r\nX-Thing: two\r\n"
        L"Connection: close\r\n\r\n";
    EXPECT_EQ(size, (expect.size() + 1) * sizeof(WCHAR));
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, text, &size, nullptr));
    EXPECT_EQ(text, expect);
    EXPECT_EQ(size, expect.size() * sizeof(WCHAR));
    // Repeated headers by index, and a custom name.
    DWORD index = 0;
    for (const wchar_t* value : {L"one", L"two"}) {
        wcscpy(text, L"x-thing");
        size = sizeof text;
        ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_CUSTOM, text, &size, &index));
        EXPECT_STREQ(text, value);
    }
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(read_all(req), "oops");
}

TEST(HttpRequest, BodyWithoutLengthIsReadToTheEndAndAvailabilityReported) {
    const std::string big = testing_support::RandomBytes(20000, 1);
    TestServer server([&](const ReceivedRequest&) {
        Reply r = make_reply(200, big.substr(0, 7000), "", false);
        r.pieces.push_back(big.substr(7000));
        r.pause_ms = 30;
        return r;
    });
    Http http(server.port());
    HINTERNET req = http.open(L"/", L"GET", L"HTTP/1.0");
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(number(req, HTTP_QUERY_CONTENT_LENGTH), 0xFFFFu);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
    DWORD avail = 0;
    ASSERT_TRUE(InternetQueryDataAvailable(req, &avail, 0, 0));
    EXPECT_GT(avail, 0u);
    EXPECT_LE(avail, 20000u);
    EXPECT_EQ(read_all(req), big);
    ASSERT_TRUE(InternetQueryDataAvailable(req, &avail, 0, 0));
    EXPECT_EQ(avail, 0u);
}

TEST(HttpRequest, ChunksAreDecodedRedirectsFollowedUnlessRefusedAndOpenUrlSkipsForward) {
    TestServer server([](const ReceivedRequest& r) {
        if (r.target == "/chunked")
            return Reply{
                {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                 "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"}};
        if (r.target == "/old") return make_reply(302, "", "Location: /new\r\n");
        return make_reply(200, "abcdefghij");
    });
    Http http(server.port());
    EXPECT_EQ(read_all(http.get(L"/chunked")), "hello world");
    EXPECT_EQ(read_all(http.get(L"/old")), "abcdefghij");
    EXPECT_EQ(number(http.get(L"/old", INTERNET_FLAG_NO_AUTO_REDIRECT), HTTP_QUERY_STATUS_CODE),
              302u);

    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.port()) + L"/f?x=1#frag";
    HINTERNET req = InternetOpenUrlW(http.session, url.c_str(), L"X-Ask: yes", DWORD(-1), 0, 0);
    EXPECT_EQ(InternetSetFilePointer(req, 4, nullptr, FILE_BEGIN, 0), 4u);
    EXPECT_EQ(InternetSetFilePointer(req, 2, nullptr, FILE_BEGIN, 0), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(read_all(req), "efghij");
    EXPECT_EQ(server.requests().back().target, "/f?x=1");
    EXPECT_EQ(server.requests().back().header("X-Ask"), "yes");
    EXPECT_EQ(Failed(!InternetOpenUrlW(http.session, L"ftp://127.0.0.1/x", nullptr, 0, 0, 0)),
              ERROR_INTERNET_UNRECOGNIZED_SCHEME);
}

}  // namespace

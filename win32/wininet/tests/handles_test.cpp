#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "support/test_server.h"

#include <chrono>
#include <string>
#include <thread>

using testing_http::make_reply;
using testing_http::ReceivedRequest;
using testing_http::Reply;
using testing_http::TestServer;

namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

DWORD query_timeout(HINTERNET h, DWORD option) {
    DWORD v = 0, size = sizeof v;
    EXPECT_TRUE(InternetQueryOptionW(h, option, &v, &size));
    return v;
}

TEST(InternetHandles, TimeoutsSetOnTheSessionAreInheritedByConnectionsAndRequests) {
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    DWORD values[] = {1111, 2222, 3333};
    DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(InternetSetOptionW(session, options[i], &values[i], 4));
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", 80, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(query_timeout(conn, options[i]), values[i]);
        EXPECT_EQ(query_timeout(req, options[i]), values[i]);
    }
    DWORD tiny = 5;
    EXPECT_FALSE(InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &tiny, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_BAD_OPTION_LENGTH));
    EXPECT_TRUE(InternetCloseHandle(session));
}

TEST(InternetHandles, ClosingTheSessionClosesItsConnectionsAndRequests) {
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", 80, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(req, nullptr);
    ASSERT_TRUE(InternetCloseHandle(session));
    EXPECT_FALSE(InternetCloseHandle(req));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(InternetCloseHandle(conn));
    DWORD got = 0;
    char buf[4];
    EXPECT_FALSE(InternetReadFile(req, buf, 4, &got));
}

TEST(InternetHandles, ARequestHandleIsNotAConnection) {
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    EXPECT_EQ(HttpOpenRequestW(session, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    InternetCloseHandle(session);
}

TEST(InternetHandles, AStalledServerTimesOutWithTheInheritedReceiveTimeout) {
    TestServer server([](const ReceivedRequest&) {
        Reply r;
        r.stall = true;
        return r;
    });
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    DWORD ms = 300;
    ASSERT_TRUE(InternetSetOptionW(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &ms, 4));
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    auto start = Clock::now();
    EXPECT_FALSE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_GE(ms_since(start), 250);
    EXPECT_LT(ms_since(start), 3000);
    InternetCloseHandle(session);
}

TEST(InternetHandles, ABodyThatStallsTimesOutTheRead) {
    TestServer server([](const ReceivedRequest&) {
        Reply r{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome"}};
        r.stall = true;
        return r;
    });
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    DWORD ms = 200;
    ASSERT_TRUE(InternetSetOptionW(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &ms, 4));
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    char buf[100];
    DWORD got = 0;
    // The bytes that came are handed out; the stall shows on the next read.
    ASSERT_TRUE(InternetReadFile(req, buf, 100, &got));
    EXPECT_EQ(std::string(buf, got), "some");
    EXPECT_FALSE(InternetReadFile(req, buf, 100, &got));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    InternetCloseHandle(session);
}

TEST(InternetHandles, ABodyCutShortEndsTheReadsWithoutAnError) {
    TestServer server([](const ReceivedRequest&) {
        return Reply{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort"}};
    });
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    char buf[100];
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(req, buf, 100, &got));
    EXPECT_EQ(std::string(buf, got), "short");
    ASSERT_TRUE(InternetReadFile(req, buf, 100, &got));
    EXPECT_EQ(got, 0u);
    InternetCloseHandle(session);
}

TEST(InternetHandles, ClosingFromAnotherThreadEndsABlockedRead) {
    TestServer server([](const ReceivedRequest&) {
        Reply r{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"}};
        r.stall = true;
        return r;
    });
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", server.port(), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        InternetCloseHandle(session);
    });
    auto start = Clock::now();
    char buf[100];
    DWORD got = 0;
    EXPECT_FALSE(InternetReadFile(req, buf, 100, &got));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    EXPECT_LT(ms_since(start), 3000);
    closer.join();
}

TEST(InternetHandles, NobodyListeningAnswersCannotConnect) {
    uint16_t port = testing_http::unused_port();
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(session, L"127.0.0.1", port, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    EXPECT_FALSE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    InternetCloseHandle(session);
}

TEST(InternetHandles, AHostNameThatCannotBeResolvedAnswersNameNotResolved) {
    // A label longer than 63 characters cannot be put into a query, so the
    // resolver fails without asking anybody.
    std::wstring host(64, L'q');
    host += L".test";
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(session, host.c_str(), 80, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
    EXPECT_FALSE(HttpSendRequestW(req, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
    InternetCloseHandle(session);
}

TEST(InternetHandles, AProxySessionSendsTheAbsoluteUrlToTheProxyExceptForBypassedHosts) {
    TestServer proxy([](const ReceivedRequest&) { return make_reply(200, "via proxy"); });
    TestServer origin([](const ReceivedRequest&) { return make_reply(200, "direct"); });
    std::wstring proxy_list = L"http=127.0.0.1:" + std::to_wstring(proxy.port());
    HINTERNET session = InternetOpenW(L"a", INTERNET_OPEN_TYPE_PROXY, proxy_list.c_str(),
                                      L"localhost", 0);
    std::wstring via = L"http://127.0.0.1:" + std::to_wstring(origin.port()) + L"/p";
    HINTERNET a = InternetOpenUrlW(session, via.c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(a, nullptr);
    char buf[64];
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(a, buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "via proxy");
    auto seen = proxy.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://127.0.0.1:" + std::to_string(origin.port()) + "/p");

    std::wstring bypassed = L"http://localhost:" + std::to_wstring(origin.port()) + L"/p";
    HINTERNET b = InternetOpenUrlW(session, bypassed.c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(InternetReadFile(b, buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "direct");
    InternetCloseHandle(session);
}

}  // namespace

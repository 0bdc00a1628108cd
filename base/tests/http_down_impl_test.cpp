#include "base/http_down_impl.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using testing_http::make_reply;
using testing_http::ReceivedRequest;
using testing_http::Reply;
using testing_http::TestServer;

namespace {

// Sends port 80 to the test server, as the class always connects there.
struct PortMap {
    explicit PortMap(uint16_t port) {
        setenv("WIN32_HTTP_PORT_MAP", ("80=" + std::to_string(port)).c_str(), 1);
    }
    ~PortMap() { unsetenv("WIN32_HTTP_PORT_MAP"); }
};

struct Result {
    bool ok = false;
    std::string body;
    DWORD size = 0;
    bool null_out = true;
};

Result Get(const std::wstring& url, bool require_body = true, const char* body = nullptr,
           const wchar_t* verb = L"GET") {
    CHttpDownImpl http;
    http.SetTimeout(2000);
    BYTE* out = nullptr;
    Result r;
    r.ok = http.Request(url.c_str(), &out, &r.size, reinterpret_cast<const BYTE*>(body),
                        body ? static_cast<DWORD>(strlen(body)) : 0, verb, false, require_body);
    r.null_out = out == nullptr;
    if (out) r.body.assign(reinterpret_cast<char*>(out), r.size);
    free(out);
    return r;
}

TEST(HttpDownImpl, RequestPutsHttpInFrontAndAlwaysConnectsOnPort80) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "stats ok"); });
    PortMap map(server.port());
    // The URL's own port (1) is not used.
    Result r = Get(L"127.0.0.1:1/b/duan/s?x=1&y=a%20b");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.body, "stats ok");
    EXPECT_EQ(r.size, 8u);
    auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].target, "/b/duan/s?x=1&y=a%20b");
    EXPECT_EQ(got[0].version, "HTTP/1.0");
    EXPECT_EQ(got[0].header("User-Agent"), "HTTPDOWNIMPL");
    EXPECT_EQ(got[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(got[0].header("Pragma"), "no-cache");
}

TEST(HttpDownImpl, RequestRefusesHttpsAndUpperCaseSchemes) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "x"); });
    PortMap map(server.port());
    EXPECT_FALSE(Get(L"https://127.0.0.1/").ok);
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpDownImpl, NotFoundFailsWhileAServerErrorWithABodySucceeds) {
    TestServer server([](const ReceivedRequest& r) {
        return r.target == "/missing" ? make_reply(404, "gone") : make_reply(500, "broken");
    });
    PortMap map(server.port());
    Result missing = Get(L"http://127.0.0.1/missing");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.null_out);
    Result broken = Get(L"http://127.0.0.1/err");
    EXPECT_TRUE(broken.ok);
    EXPECT_EQ(broken.body, "broken");
}

TEST(HttpDownImpl, ZeroLengthBodyIsASuccess) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, ""); });
    PortMap map(server.port());
    Result r = Get(L"http://127.0.0.1/");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.size, 0u);
    EXPECT_FALSE(r.null_out);
}

TEST(HttpDownImpl, BodyWithoutLengthGrowsToHoldItAll) {
    std::string big(20000, 0);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + i % 23);
    TestServer server([&](const ReceivedRequest&) {
        Reply r = make_reply(200, big.substr(0, 3000), "", false);
        r.pieces.push_back(big.substr(3000, 9000));
        r.pieces.push_back(big.substr(12000));
        r.pause_ms = 20;
        return r;
    });
    PortMap map(server.port());
    Result r = Get(L"http://127.0.0.1/chunks");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.size, 20000u);
    EXPECT_EQ(r.body, big);
}

TEST(HttpDownImpl, EmptyBodyWithoutLengthFailsOnlyWhenABodyIsRequired) {
    TestServer server([](const ReceivedRequest&) { return make_reply(200, "", "", false); });
    PortMap map(server.port());
    Result need = Get(L"http://127.0.0.1/", true);
    EXPECT_FALSE(need.ok);
    EXPECT_TRUE(need.null_out);
    Result optional = Get(L"http://127.0.0.1/", false);
    EXPECT_TRUE(optional.ok);
    EXPECT_EQ(optional.size, 0u);
}

TEST(HttpDownImpl, ABodyShorterThanItsLengthFails) {
    TestServer server([](const ReceivedRequest&) {
        return Reply{{"HTTP/1.1 200 OK\r\nContent-Length: 50\r\nConnection: close\r\n\r\nhalf"}};
    });
    PortMap map(server.port());
    Result r = Get(L"http://127.0.0.1/");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.null_out);
}

TEST(HttpDownImpl, BodiesBeyondTheBoundAreRefusedWithOrWithoutALength) {
    const std::string big((4 << 20) + 1, 'x');
    for (bool with_length : {true, false}) {
        TestServer server(
            [&](const ReceivedRequest&) { return make_reply(200, big, "", with_length); });
        PortMap map(server.port());
        Result r = Get(L"http://127.0.0.1/");
        EXPECT_FALSE(r.ok) << with_length;
        EXPECT_TRUE(r.null_out);
    }
}

TEST(HttpDownImpl, PostSendsTheFormBody) {
    TestServer server(
        [](const ReceivedRequest& r) { return make_reply(200, r.method + ":" + r.body); });
    PortMap map(server.port());
    Result r = Get(L"http://127.0.0.1/form", true, "a=1&b=2", L"POST");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.body, "POST:a=1&b=2");
}

TEST(HttpDownImpl, AServerThatDoesNotAnswerFailsAfterTheTimeout) {
    TestServer server([](const ReceivedRequest&) {
        Reply r;
        r.stall = true;
        return r;
    });
    PortMap map(server.port());
    CHttpDownImpl http;
    http.SetTimeout(300);
    BYTE* out = nullptr;
    DWORD size = 0;
    EXPECT_FALSE(http.Request(L"http://127.0.0.1/", &out, &size, nullptr, 0, L"GET", false, true));
    EXPECT_EQ(out, nullptr);
}

TEST(HttpDownImpl, CrackUrlUnescapesThePathButNotTheQuery) {
    CHttpDownImpl http;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host, path;
    ASSERT_TRUE(http.CrackUrl(L"http://h.test/my%20dir/a b.exe?q=%20x", &scheme, &host, &path));
    EXPECT_EQ(scheme, INTERNET_SCHEME_HTTP);
    EXPECT_EQ(host, L"h.test");
    EXPECT_EQ(path, L"/my dir/a b.exe?q=%20x");
}

TEST(HttpDownImpl, NormalizeUrlComparesTheSchemeCaseSensitively) {
    EXPECT_EQ(CHttpDownImpl::NormalizeUrl(L"http://a/b"), L"http://a/b");
    EXPECT_EQ(CHttpDownImpl::NormalizeUrl(L"a/b"), L"http://a/b");
    EXPECT_EQ(CHttpDownImpl::NormalizeUrl(L"HTTP://a/b"), L"http://HTTP://a/b");
}

TEST(HttpDownImpl, UrlEncodeKeepsOnlyTheSafeSet) {
    EXPECT_EQ(UrlEncode("aZ09!$()*,-._"), "aZ09!$()*,-._");
    EXPECT_EQ(UrlEncode("a b~/?&="), "a%20b%7E%2F%3F%26%3D");
    EXPECT_EQ(UrlEncode("\xE4\xB8\xAD"), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode(std::string("a\0b", 3)), "a%00b");
}

// Records what a download reports.
struct Recorder : HttpDownObserver {
    std::vector<std::wstring> statuses;
    LONGLONG length = -2;
    ULONGLONG progress = 0;
    int finished = 0;
    bool finished_result = false;
    bool cancel = false;
    std::wstring headers;
    void OnUrl(const wchar_t*) override {}
    void OnStatus(const wchar_t* t) override { statuses.emplace_back(t); }
    void OnHeaders(const wchar_t* h, DWORD n) override { headers.assign(h, n); }
    void OnProgress(ULONGLONG b) override { progress = b; }
    void OnContentLength(LONGLONG l) override { length = l; }
    void OnFinished(const wchar_t*, bool r) override {
        ++finished;
        finished_result = r;
    }
    bool IsCancelled() override { return cancel; }
    void OnError(const wchar_t*, DWORD) override {}
};

TEST(HttpDownImpl, DownloadFileWritesTheBodyAndResumesAfterWhatTheFileHolds) {
    std::string content = "0123456789abcdefghij";
    TestServer server([&](const ReceivedRequest&) { return make_reply(200, content); });
    PortMap map(server.port());
    testing_support::TempDir dir;
    CHttpDownImpl http;
    Recorder rec;
    http.SetObserver(&rec);
    http.SetBlockSize(7);
    ASSERT_TRUE(http.DownloadFile(L"http://127.0.0.1/f.bin", dir.winfile("f.bin").c_str(), true,
                                  false, nullptr, 0));
    EXPECT_EQ(testing_support::ReadAll(dir.file("f.bin")), content);
    EXPECT_EQ(rec.length, 20);
    EXPECT_EQ(rec.progress, 20u);
    EXPECT_EQ(rec.finished, 1);
    EXPECT_NE(rec.headers.find(L"Content-Length: 20"), std::wstring::npos);

    testing_support::WriteAll(dir.file("part.bin"), "0123456");
    ASSERT_TRUE(
        http.DownloadUrl(L"http://127.0.0.1/f.bin", dir.winfile("part.bin").c_str(), false, true));
    EXPECT_EQ(testing_support::ReadAll(dir.file("part.bin")), content);
    EXPECT_EQ(rec.statuses.size() > 0 &&
                  std::find(rec.statuses.begin(), rec.statuses.end(),
                            std::wstring(L"断点续传...，开始位置7")) != rec.statuses.end(),
              true);
}

TEST(HttpDownImpl, DownloadStopsWhenCancelledAndRefusesAnErrorPage) {
    TestServer server([](const ReceivedRequest& r) {
        return r.target == "/missing" ? make_reply(404, "not here")
                                      : make_reply(200, std::string(5000, 'x'));
    });
    PortMap map(server.port());
    testing_support::TempDir dir;
    CHttpDownImpl http;
    Recorder rec;
    rec.cancel = true;
    http.SetObserver(&rec);
    http.SetBlockSize(1000);
    EXPECT_FALSE(
        http.DownloadUrl(L"http://127.0.0.1/big", dir.winfile("big").c_str(), false, false));
    EXPECT_EQ(testing_support::ReadAll(dir.file("big")).size(), 1000u);
    EXPECT_EQ(rec.statuses.back(), L"取消文件下载");

    EXPECT_FALSE(
        http.DownloadUrl(L"http://127.0.0.1/missing", dir.winfile("m").c_str(), false, false));
    EXPECT_FALSE(testing_support::Exists(dir.file("m")));
}

}  // namespace

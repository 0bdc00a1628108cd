#include "base/http_down_impl.h"

#include "support/base_test.h"
#include "testing/http_test_server.h"
#include "testing/random_bytes.h"

using testing_http::make_reply;
using testing_http::ReceivedRequest;
using testing_http::Reply;

namespace {

const std::string kContent = "0123456789abcdefghij", kBig((4 << 20) + 1, 'x');

std::string Pieces() { return testing_support::RandomBytes(20000, 23); }

Reply Answer(const ReceivedRequest& r) {
    const std::string t = r.target;
    if (t == "/missing") return make_reply(404, "gone");
    if (t == "/err") return make_reply(500, "broken");
    if (t == "/empty") return make_reply(200, "");
    if (t == "/nolength") return make_reply(200, "", "", false);
    if (t == "/half")
        return Reply{{"HTTP/1.1 200 OK\r\nContent-Length: 50\r\nConnection: close\r\n\r\nhalf"}};
    if (t == "/big" || t == "/bignolength") return make_reply(200, kBig, "", t == "/big");
    if (t == "/form") return make_reply(200, r.method + ":" + r.body);
    if (t == "/f.bin") return make_reply(200, kContent);
    if (t == "/stall") return Reply{.stall = true};
    if (t != "/chunks") return make_reply(200, "stats ok");
    const std::string pieces = Pieces();
    Reply reply = make_reply(200, pieces.substr(0, 3000), "", false);  // grows as it comes
    reply.pieces.insert(reply.pieces.end(), {pieces.substr(3000, 9000), pieces.substr(12000)});
    reply.pause_ms = 20;
    return reply;
}

// One loopback server for every test; port 80 goes to it, as the class always connects there.
class HttpDownImplTest : public ::testing::Test {
protected:
    testing_http::TestServer server_{Answer};
    ScopedEnv map_{"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())};
};

struct Result {
    bool ok = false;
    std::string body;
    bool null_out = true;
};

Result Get(const std::wstring& url, bool require_body = true, const char* body = nullptr,
           const wchar_t* verb = L"GET", DWORD timeout = 60000) {
    CHttpDownImpl http;
    http.SetTimeout(timeout);
    BYTE* out = nullptr;
    DWORD size = 0;
    Result r;
    r.ok = http.Request(url.c_str(), &out, &size, reinterpret_cast<const BYTE*>(body),
                        body ? static_cast<DWORD>(strlen(body)) : 0, verb, false, require_body);
    r.null_out = out == nullptr;
    if (out) r.body.assign(reinterpret_cast<char*>(out), size);
    free(out);
    return r;
}

// A body of 4 MiB at most is held; a failure, a time-out too, answers no body.
TEST_F(HttpDownImplTest, RequestAnswersTheBodyOfAnyStatusButNotFound) {
    const struct {
        const wchar_t* path;
        bool require_body, ok;
        std::string body;
    } cases[] = {{L"/missing", true, false, ""},    {L"/err", true, true, "broken"},
                 {L"/empty", true, true, ""},       {L"/nolength", true, false, ""},
                 {L"/nolength", false, true, ""},   {L"/half", true, false, ""},
                 {L"/big", true, false, ""},        {L"/bignolength", true, false, ""},
                 {L"/chunks", true, true, Pieces()}};
    for (const auto& c : cases) {
        Result r = Get(std::wstring(L"http://127.0.0.1") + c.path, c.require_body);
        EXPECT_TRUE(r.ok == c.ok && r.null_out == !c.ok && r.body == c.body) << c.path;
    }
    EXPECT_EQ(Get(L"http://127.0.0.1/form", true, "a=1&b=2", L"POST").body, "POST:a=1&b=2");
    Result stalled = Get(L"http://127.0.0.1/stall", true, nullptr, L"GET", 300);
    EXPECT_FALSE(stalled.ok || !stalled.null_out);
}

// The URL's own port (1) is not used; an https URL makes no request.
TEST_F(HttpDownImplTest, RequestPutsHttpInFrontAndAlwaysConnectsOnPort80) {
    EXPECT_FALSE(Get(L"https://127.0.0.1/").ok);
    EXPECT_EQ(Get(L"127.0.0.1:1/b/duan/s?x=1&y=a%20b").body, "stats ok");
    auto got = server_.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].target + " " + got[0].version + "|" + got[0].header("User-Agent") + "|" +
                  got[0].header("Content-Type") + "|" + got[0].header("Pragma"),
              "/b/duan/s?x=1&y=a%20b HTTP/1.0|HTTPDOWNIMPL|application/x-www-form-urlencoded|"
              "no-cache");
}

// The scheme is compared case-sensitively; the query stays escaped.
TEST(HttpDownImpl, UrlTextsAreCrackedNormalizedAndEncoded) {
    CHttpDownImpl http;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host, path;
    ASSERT_TRUE(http.CrackUrl(L"http://h.test/my%20dir/a b.exe?q=%20x", &scheme, &host, &path));
    EXPECT_EQ(scheme, INTERNET_SCHEME_HTTP);
    EXPECT_EQ(host + L" " + path, L"h.test /my dir/a b.exe?q=%20x");
    for (auto [url, normal] : {std::pair{L"http://a/b", L"http://a/b"},
                               {L"a/b", L"http://a/b"},
                               {L"HTTP://a/b", L"http://HTTP://a/b"}})
        EXPECT_EQ(CHttpDownImpl::NormalizeUrl(url), normal);
    EXPECT_EQ(UrlEncode("aZ09!$()*,-._"), "aZ09!$()*,-._");
    EXPECT_EQ(UrlEncode("a b~/?&="), "a%20b%7E%2F%3F%26%3D");
    EXPECT_EQ(UrlEncode(std::string("\344\270\255a\0b", 6)), "%E4%B8%ADa%00b");
}

// Records what a download reports; cancels once `cancel_after` bytes were reported.
struct Recorder : HttpDownObserver {
    std::vector<std::wstring> statuses;
    LONGLONG length = -2;
    ULONGLONG progress = 0, cancel_after = ~0ull;
    int finished = 0;
    std::wstring headers;
    void OnUrl(const wchar_t*) override {}
    void OnStatus(const wchar_t* t) override { statuses.emplace_back(t); }
    void OnHeaders(const wchar_t* h, DWORD n) override { headers.assign(h, n); }
    void OnProgress(ULONGLONG b) override { progress = b; }
    void OnContentLength(LONGLONG l) override { length = l; }
    void OnFinished(const wchar_t*, bool) override { ++finished; }
    bool IsCancelled() override { return progress >= cancel_after; }
    void OnError(const wchar_t*, DWORD) override {}
};

// The body goes to the file, after what a partial file holds; a cancel stops it; an
// error page writes nothing.
TEST_F(HttpDownImplTest, DownloadsWriteResumeStopWhenCancelledAndRefuseErrorPages) {
    TempDir dir;
    CHttpDownImpl http;
    Recorder rec;
    http.SetObserver(&rec);
    http.SetBlockSize(7);
    const wchar_t* url = L"http://127.0.0.1/f.bin";
    ASSERT_TRUE(http.DownloadFile(url, dir.winfile("f.bin").c_str(), true, false, nullptr, 0));
    EXPECT_EQ(ReadAll(dir.file("f.bin")), kContent);
    EXPECT_EQ(std::to_string(rec.length) + " " + std::to_string(rec.progress) + " " +
                  std::to_string(rec.finished),
              "20 20 1");
    EXPECT_NE(rec.headers.find(L"Content-Length: 20"), std::wstring::npos);
    WriteAll(dir.file("part.bin"), "0123456");
    ASSERT_TRUE(http.DownloadUrl(url, dir.winfile("part.bin").c_str(), false, true));
    EXPECT_EQ(ReadAll(dir.file("part.bin")), kContent);
    EXPECT_NE(std::find(rec.statuses.begin(), rec.statuses.end(), L"断点续传...，开始位置7"),
              rec.statuses.end());

    rec.cancel_after = 0;
    EXPECT_FALSE(http.DownloadUrl(url, dir.winfile("cut").c_str(), false, false));
    EXPECT_EQ(ReadAll(dir.file("cut")), kContent.substr(0, 7));
    EXPECT_EQ(rec.statuses.back(), L"取消文件下载");
    EXPECT_FALSE(
        http.DownloadUrl(L"http://127.0.0.1/missing", dir.winfile("m").c_str(), false, false));
    EXPECT_FALSE(Exists(dir.file("m")));
}

}  // namespace

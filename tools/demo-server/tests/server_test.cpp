// The demo server as its clients meet it: files with ranges and validators, the
// request log, and each fault it can be told to commit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "tools/demo-server/testing/demo_server_process.h"

namespace demo {
namespace {

struct Response {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/demo-server-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ + "/root");
        std::mt19937 rng(99);
        content_.resize(100000);
        for (auto& c : content_) c = char(rng());
        write(dir_ + "/root/file.bin", content_);
    }
    void TearDown() override {
        server_.stop();
        std::filesystem::remove_all(dir_);
    }

    static void write(const std::string& path, const std::string& data) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    }

    void start(const std::vector<std::string>& args = {}) {
        ASSERT_TRUE(server_.start(dir_ + "/root", dir_ + "/log", args));
    }

    // Sends the request line and headers as given, reads until the server closes.
    Response get(const std::string& target, const std::string& extra_headers = "") {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(server_.port());
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                          "User-Agent: tester/2\r\nConnection: close\r\n" + extra_headers + "\r\n";
        ::send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        std::string raw;
        char buf[65536];
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) raw.append(buf, size_t(n));
        ::close(fd);
        Response r;
        size_t head_end = raw.find("\r\n\r\n");
        if (head_end == std::string::npos) return r;
        std::string head = raw.substr(0, head_end);
        r.body = raw.substr(head_end + 4);
        r.status = std::atoi(head.substr(9, 3).c_str());
        size_t pos = head.find("\r\n");
        while (pos != std::string::npos) {
            size_t next = head.find("\r\n", pos + 2);
            std::string line = head.substr(
                pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
            size_t colon = line.find(':');
            if (colon != std::string::npos)
                r.headers[lower(line.substr(0, colon))] = line.substr(colon + 2);
            pos = next;
        }
        return r;
    }

    std::string dir_;
    std::string content_;
    DemoServer server_;
};

// The whole file with its validators, or the range asked for unless If-Range names an
// old validator; a range at the end is not satisfiable and names the size.
TEST_F(ServerTest, ServesTheWholeFileOrARange) {
    start();
    Response r = get("/file.bin");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == content_) << r.body.size();
    EXPECT_EQ(r.headers["content-length"], "100000");
    EXPECT_FALSE(r.headers["last-modified"].empty());
    EXPECT_EQ(r.headers["accept-ranges"], "bytes");
    const std::string etag = r.headers["etag"];
    EXPECT_FALSE(etag.empty());
    const struct {
        std::string headers;
        int status;
        std::string body, content_range;
    } cases[] = {
        {"Range: bytes=1000-1999\r\n", 206, content_.substr(1000, 1000), "bytes 1000-1999/100000"},
        {"Range: bytes=99990-\r\n", 206, content_.substr(99990), "bytes 99990-99999/100000"},
        {"Range: bytes=100000-\r\n", 416, "", "bytes */100000"},
        {"Range: bytes=10-\r\nIf-Range: " + etag + "\r\n", 206, content_.substr(10),
         "bytes 10-99999/100000"},
        {"Range: bytes=10-\r\nIf-Range: \"old\"\r\n", 200, content_, ""}};
    for (const auto& c : cases) {
        r = get("/file.bin", c.headers);
        EXPECT_EQ(r.status, c.status) << c.headers;
        EXPECT_TRUE(r.body == c.body) << c.headers << r.body.size();
        EXPECT_EQ(r.headers["content-range"], c.content_range) << c.headers;
    }
}

TEST_F(ServerTest, RecordsEveryRequestWithPathQueryAndUserAgent) {
    start();
    // Statistics queries carry values unencoded, blanks included.
    Response r = get("/b/duan/s/ginstall/?user_from=a b&user_channel=c&d=1");
    EXPECT_EQ(r.status, 200);
    get("/missing.exe");
    auto log = server_.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].path, "/b/duan/s/ginstall/");
    EXPECT_EQ(log[0].query, "user_from=a b&user_channel=c&d=1");
    EXPECT_EQ(log[0].user_agent, "tester/2");
    EXPECT_EQ(log[0].status, 200);
    EXPECT_EQ(log[1].path, "/missing.exe");
    EXPECT_EQ(log[1].status, 404);
}

// Each fault is used once: a status for so many requests, a body cut or reset at an
// offset, ranges ignored, a chunked body without a length.
TEST_F(ServerTest, FaultsAnswerAsToldForAsLongAsTold) {
    start({"--fail", "503:2"});
    EXPECT_EQ(get("/file.bin").status, 503);
    EXPECT_EQ(get("/file.bin").status, 503);
    EXPECT_EQ(get("/file.bin").status, 200);
    server_.stop();
    start({"--truncate-at", "30000", "--reset-at", "60000", "--ignore-ranges"});
    Response cut = get("/file.bin");
    EXPECT_EQ(cut.status, 200);
    EXPECT_TRUE(cut.body == content_.substr(0, 30000)) << cut.body.size();
    Response reset = get("/file.bin", "Range: bytes=50000-\r\n");
    EXPECT_EQ(reset.status, 200);  // ranges ignored
    EXPECT_TRUE(reset.body == content_.substr(0, 60000)) << reset.body.size();
    Response whole = get("/file.bin");
    EXPECT_TRUE(whole.body == content_) << whole.body.size();
    server_.stop();
    start({"--chunked"});
    Response r = get("/file.bin");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers["transfer-encoding"], "chunked");
    EXPECT_EQ(r.headers.count("content-length"), 0u);
    EXPECT_GT(r.body.size(), content_.size());  // the chunk framing
}

TEST_F(ServerTest, ControlPathSetsFaultsAndSwapsTheFile) {
    start();
    std::string etag = get("/file.bin").headers["etag"];
    write(dir_ + "/root/next.bin", "new content");
    ASSERT_TRUE(server_.control("swap=file.bin:next.bin&fail=500:1"));
    EXPECT_EQ(get("/file.bin").status, 500);
    Response r = get("/file.bin");
    EXPECT_EQ(r.body, "new content");
    EXPECT_NE(r.headers["etag"], etag);
    EXPECT_FALSE(server_.control("no-such-fault=1"));
}

TEST_F(ServerTest, PathsOutsideTheRootAreNotServed) {
    write(dir_ + "/secret", "secret");
    start();
    EXPECT_EQ(get("/../secret").status, 404);
    EXPECT_EQ(get("/%2e%2e/secret").status, 404);
}

}  // namespace
}  // namespace demo

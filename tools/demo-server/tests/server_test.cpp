// The demo server as its clients meet it: files with ranges and validators, the
// request log, and what it refuses.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "testing/random_bytes.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace demo {
namespace {

struct Response {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir_.file("root").c_str(), 0700);
        testing_support::WriteAll(dir_.file("root/file.bin"), content_);
    }

    void start(const std::vector<std::string>& args = {}) {
        server_.stop();
        ASSERT_TRUE(server_.start(dir_.file("root"), dir_.file("log"), args));
    }

    // Sends the request line and headers as given; the connection.
    int ask(const std::string& target, const std::string& extra_headers = "") {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{AF_INET, htons(server_.port()), {htonl(INADDR_LOOPBACK)}, {}};
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                "User-Agent: tester/2\r\nConnection: close\r\n" + extra_headers +
                                "\r\n";
        send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        return fd;
    }

    // The answer, read until the server closes.
    Response get(const std::string& target, const std::string& extra_headers = "") {
        const int fd = ask(target, extra_headers);
        std::string raw;
        char buf[65536];
        for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) raw.append(buf, size_t(n));
        close(fd);
        Response r;
        const size_t end = raw.find("\r\n\r\n");
        if (end == std::string::npos) return r;
        r.status = atoi(raw.c_str() + 9);
        r.body = raw.substr(end + 4);
        std::istringstream head(raw.substr(0, end + 2));
        for (std::string line; std::getline(head, line, '\r') && head.ignore();)
            if (const size_t colon = line.find(':'); colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                std::transform(name.begin(), name.end(), name.begin(), ::tolower);
                r.headers[name] = line.substr(colon + 2);
            }
        return r;
    }

    testing_support::TempDir dir_;
    const std::string content_ = testing_support::RandomBytes(100000, 99);
    DemoServer server_;
};

// The whole file with its validators, or the range asked for unless If-Range names an
// old validator; a range at the end is not satisfiable and names the size.
TEST_F(ServerTest, ServesTheWholeFileOrARange) {
    start();
    Response r = get("/file.bin");
    EXPECT_TRUE(r.status == 200 && r.body == content_) << r.status << " " << r.body.size();
    EXPECT_EQ(r.headers["content-length"] + r.headers["accept-ranges"], "100000bytes");
    EXPECT_FALSE(r.headers["last-modified"].empty() || r.headers["etag"].empty());
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"Range: bytes=1000-1999\r\n", 206, content_.substr(1000, 1000), "bytes 1000-1999/100000"},
        {"Range: bytes=99990-\r\n", 206, content_.substr(99990), "bytes 99990-99999/100000"},
        {"Range: bytes=100000-\r\n", 416, "", "bytes */100000"},
        {"Range: bytes=10-\r\nIf-Range: " + r.headers["etag"] + "\r\n", 206, content_.substr(10),
         "bytes 10-99999/100000"},
        {"Range: bytes=10-\r\nIf-Range: \"old\"\r\n", 200, content_, ""}};
    for (const auto& [headers, status, body, range] : cases) {
        r = get("/file.bin", headers);
        EXPECT_TRUE(r.status == status && r.body == body && r.headers["content-range"] == range)
            << headers << r.status << " " << r.body.size() << " " << r.headers["content-range"];
    }
}

TEST_F(ServerTest, RecordsEveryRequestWithPathQueryAndUserAgent) {
    start();
    // Statistics queries carry values unencoded, blanks included.
    EXPECT_EQ(get("/b/duan/s/ginstall/?user_from=a b&user_channel=c&d=1").status, 200);
    get("/missing.exe");
    std::string log;
    for (const LoggedRequest& r : server_.requests())
        log += r.path + "?" + r.query + " " + r.user_agent + " " + std::to_string(r.status) + "\n";
    EXPECT_EQ(log,
              "/b/duan/s/ginstall/?user_from=a b&user_channel=c&d=1 tester/2 200\n"
              "/missing.exe? tester/2 404\n");
}

// A body stalled until the client leaves ends when it does; the bytes sent are counted.
TEST_F(ServerTest, CountsWhatItSendsAndEndsAStalledBodyWhenTheClientLeaves) {
    start({"--stall-at", "1000"});
    auto sent = [&](DemoServer::Traffic t) {
        return testing_support::WaitUntil([&] { return server_.traffic() == t; });
    };
    const int fd = ask("/file.bin");
    EXPECT_TRUE(sent({1000, 1}));
    char buf[4096];  // read whole, so that it leaves with an orderly close
    while (recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
    close(fd);
    EXPECT_TRUE(sent({1000, 0}));
    EXPECT_EQ(get("/file.bin", "Range: bytes=10-\r\n").status, 206);
    EXPECT_TRUE(server_.traffic() == (DemoServer::Traffic{100990, 0}));
}

// The faults and the control path are used, and their effects checked request by request,
// by the engine's tests (companions/engine/tests/faults_test.cpp).
TEST_F(ServerTest, UnknownSettingsAreRefusedAndNothingOutsideTheRootIsServed) {
    testing_support::WriteAll(dir_.file("secret"), "secret");
    start();
    EXPECT_FALSE(server_.control("no-such-fault=1"));
    EXPECT_FALSE(server_.control("swap=file.bin:../secret"));
    EXPECT_EQ(get("/../secret").status, 404);
    EXPECT_EQ(get("/%2e%2e/secret").status, 404);
}

}  // namespace
}  // namespace demo

// A small HTTP server for tests on 127.0.0.1 and a free port: records each request
// and answers with the raw bytes a test scripts, or stalls, or hangs up.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testing_http {

struct ReceivedRequest {
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The value of the first header of that name (any case), or "" when absent.
    std::string header(const std::string& name) const;
    bool has_header(const std::string& name) const;
};

struct Reply {
    std::vector<std::string> pieces;  // sent in order, with pause_ms between
    int pause_ms = 0;
    bool stall = false;  // then keep the connection open until the server stops
};

// A reply of status, headers and body; Content-Length added unless length is false.
Reply make_reply(int status, const std::string& body, const std::string& extra_headers = "",
                 bool length = true);

class TestServer {
public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;
    explicit TestServer(Handler handler);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    uint16_t port() const { return port_; }
    std::vector<ReceivedRequest> requests() const;

private:
    void accept_loop();
    void serve(int fd);

    Handler handler_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    bool stopping_ = false;
    mutable std::mutex mutex_;
    std::condition_variable stop_cv_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A loopback port that nothing listens on.
uint16_t unused_port();

}  // namespace testing_http

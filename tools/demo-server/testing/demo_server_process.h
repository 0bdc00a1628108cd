// For tests and benchmarks: the demo server run as a child process on a free
// loopback port, its request log read back, its faults set through the control path.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct LoggedRequest {
    std::string method, path, query, range, if_range, user_agent;
    int status = 0;
};

class DemoServer {
public:
    DemoServer() = default;
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    // Serves `root`; `args` are further command-line options (faults).
    bool start(const std::string& root, const std::string& log_path,
               const std::vector<std::string>& args = {});
    void stop();

    uint16_t port() const { return port_; }
    std::string url(const std::string& path) const;
    std::vector<LoggedRequest> requests() const;
    // Sends "/_control?<query>"; true on a 200 answer.
    bool control(const std::string& query) const;
    // File body bytes sent so far and bodies being sent; {-1, -1} without an answer.
    struct Traffic {
        int64_t sent = -1;
        int bodies = -1;
        bool operator==(const Traffic& o) const { return sent == o.sent && bodies == o.bodies; }
    };
    Traffic traffic() const;

private:
    // The answer to "/_control?<query>", head and body; empty without one.
    std::string ask(const std::string& query) const;

    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string log_path_;
};

}  // namespace demo

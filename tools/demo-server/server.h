// The demo platform's HTTP server: serves the files under a root folder with single
// ranges and validators, answers statistics requests, applies the fault plan, and
// takes fault settings at run time on its control path.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "faults.h"
#include "request_log.h"

namespace demo {

struct HttpRequest;

struct ServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 0;
    std::string root = ".";
    std::string stats_path = "/b/duan/s/ginstall/";
    std::string control_path = "/_control";
};

class Server {
public:
    Server(ServerOptions options, FaultPlan& faults, RequestLog& log);
    ~Server();

    bool listen(std::string& error);
    uint16_t port() const { return port_; }
    // Accepts until `stop` becomes true, then waits briefly for open connections.
    void run(const std::atomic<bool>& stop);

private:
    void serve_connection(int fd, const std::atomic<bool>& stop);
    // False when the connection must close.
    bool handle(int fd, const HttpRequest& request, const std::atomic<bool>& stop);
    bool serve_file(int fd, const HttpRequest& request, const std::string& file,
                    const std::atomic<bool>& stop);
    bool serve_control(int fd, const HttpRequest& request);

    ServerOptions options_;
    FaultPlan& faults_;
    RequestLog& log_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<uint64_t> sent_{0};  // file body bytes handed to the network
    std::atomic<int> bodies_{0};     // file bodies being sent
};

}  // namespace demo

#include "testing/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace testing_http {

namespace {

int listen_loopback(uint16_t& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 16);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

std::string ReceivedRequest::header(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (strcasecmp(k.c_str(), name.c_str()) == 0) return v;
    return "";
}

bool ReceivedRequest::has_header(const std::string& name) const {
    for (const auto& h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return true;
    return false;
}

Reply make_reply(int status, const std::string& body, const std::string& extra_headers,
                 bool length) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    if (length) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += extra_headers;
    head += "Connection: close\r\n\r\n";
    return Reply{{head + body}};
}

TestServer::TestServer(Handler handler) : handler_(std::move(handler)) {
    listen_fd_ = listen_loopback(port_);
    acceptor_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_cv_.notify_all();
    shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
    for (auto& w : workers_) w.join();
    close(listen_fd_);
}

std::vector<ReceivedRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestServer::accept_loop() {
    for (;;) {
        pollfd p{listen_fd_, POLLIN, 0};
        poll(&p, 1, 50);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        if (!(p.revents & POLLIN)) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void TestServer::serve(int fd) {
    std::string in;
    char buf[4096];
    size_t head_end;
    while ((head_end = in.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            close(fd);
            return;
        }
        in.append(buf, n);
    }
    ReceivedRequest r;
    std::string head = in.substr(0, head_end);
    size_t line_end = head.find("\r\n");
    std::string first = head.substr(0, line_end);
    size_t s1 = first.find(' '), s2 = first.rfind(' ');
    r.method = first.substr(0, s1);
    r.target = first.substr(s1 + 1, s2 - s1 - 1);
    r.version = first.substr(s2 + 1);
    size_t pos = line_end == std::string::npos ? head.size() : line_end + 2;
    while (pos < head.size()) {
        size_t e = head.find("\r\n", pos);
        if (e == std::string::npos) e = head.size();
        std::string line = head.substr(pos, e - pos);
        size_t c = line.find(':');
        if (c != std::string::npos)
            r.headers.emplace_back(trim(line.substr(0, c)), trim(line.substr(c + 1)));
        pos = e + 2;
    }
    size_t want = std::strtoul(r.header("Content-Length").c_str(), nullptr, 10);
    r.body = in.substr(head_end + 4);
    while (r.body.size() < want) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        r.body.append(buf, n);
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(r);
    }
    Reply reply = handler_(r);
    for (size_t i = 0; i < reply.pieces.size(); ++i) {
        if (i > 0 && reply.pause_ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.pause_ms));
        send(fd, reply.pieces[i].data(), reply.pieces[i].size(), MSG_NOSIGNAL);
    }
    if (reply.stall) {
        std::unique_lock lock(mutex_);
        stop_cv_.wait(lock, [this] { return stopping_; });
    }
    shutdown(fd, SHUT_WR);
    // Let the client read to the end before the socket goes.
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 1000) > 0 && recv(fd, buf, sizeof buf, 0) > 0) {
    }
    close(fd);
}

uint16_t unused_port() {
    uint16_t port = 0;
    int fd = listen_loopback(port);
    close(fd);
    return port;
}

}  // namespace testing_http

#include "test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace testing_http {

namespace {

int listen_loopback(uint16_t& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    listen(fd, 16);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

std::string ReceivedRequest::target() const {
    size_t b = line.find(' ') + 1;
    return line.substr(b, line.rfind(' ') - b);
}

std::string ReceivedRequest::header(const std::string& name) const {
    for (size_t at = 0, end; (end = head.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string l = head.substr(at, end - at);
        if (l.size() > name.size() && l[name.size()] == ':' &&
            strncasecmp(l.c_str(), name.c_str(), name.size()) == 0)
            return l.substr(std::min(l.size(), l.find_first_not_of(' ', name.size() + 1)));
    }
    return "-";
}

Reply make_reply(int status, const std::string& body, const std::string& extra_headers,
                 bool length) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    if (length) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return Reply{{head + extra_headers + "Connection: close\r\n\r\n" + body}};
}

TestServer::TestServer(Handler handler) : handler_(std::move(handler)) {
    listen_fd_ = listen_loopback(port_);
    acceptor_ = std::thread([this] {
        for (;;) {
            pollfd p{listen_fd_, POLLIN, 0};
            poll(&p, 1, 50);
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            int fd =
                (p.revents & POLLIN) ? accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (fd >= 0) workers_.emplace_back([this, fd] { serve(fd); });
        }
    });
}

TestServer::~TestServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_cv_.notify_all();
    acceptor_.join();
    for (auto& w : workers_) w.join();
    close(listen_fd_);
}

std::vector<ReceivedRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestServer::serve(int fd) {
    std::string in;
    char buf[4096];
    size_t end;
    ssize_t n = 1;
    while ((end = in.find("\r\n\r\n")) == std::string::npos && n > 0)
        if ((n = recv(fd, buf, sizeof buf, 0)) > 0) in.append(buf, n);
    if (end != std::string::npos) {
        ReceivedRequest r;
        size_t first = in.find("\r\n");
        r.line = in.substr(0, first);
        r.head = in.substr(first + 2, end - first);
        r.body = in.substr(end + 4);
        const std::string length = r.header("Content-Length");
        while (length != "-" && r.body.size() < std::stoul(length) &&
               (n = recv(fd, buf, sizeof buf, 0)) > 0)
            r.body.append(buf, n);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(r);
        }
        Reply reply = handler_(r);
        for (size_t i = 0; i < reply.pieces.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.pause_ms));
            send(fd, reply.pieces[i].data(), reply.pieces[i].size(), MSG_NOSIGNAL);
        }
        std::unique_lock lock(mutex_);
        stop_cv_.wait(lock, [&] { return stopping_ || !reply.stall; });
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
    close(listen_loopback(port));
    return port;
}

}  // namespace testing_http

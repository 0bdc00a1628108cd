#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "http_request.h"

namespace demo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kMaxHead = 64 * 1024;
constexpr uint64_t kSlice = 256 * 1024;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 410:
            return "Gone";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

bool send_all(int fd, const char* data, size_t size, const std::atomic<bool>& stop) {
    while (size > 0) {
        if (stop) return false;
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool send_text(int fd, const std::string& s, const std::atomic<bool>& stop) {
    return send_all(fd, s.data(), s.size(), stop);
}

std::string http_date(const timespec& ts) {
    tm t{};
    gmtime_r(&ts.tv_sec, &t);
    char buf[64];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &t);
    return buf;
}

std::string etag_of(const struct stat& st) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "\"%llx-%llx-%llx.%lx\"", (unsigned long long)st.st_ino,
                  (unsigned long long)st.st_size, (unsigned long long)st.st_mtim.tv_sec,
                  (unsigned long)st.st_mtim.tv_nsec);
    return buf;
}

std::string head_of(int status, const std::string& extra, bool keep_alive) {
    return "HTTP/1.1 " + std::to_string(status) + ' ' + reason(status) + "\r\n" + extra +
           "Connection: " + (keep_alive ? "keep-alive" : "close") + "\r\n\r\n";
}

bool respond_small(int fd, int status, const std::string& body, bool keep_alive, bool head_only,
                   const std::atomic<bool>& stop) {
    std::string out = head_of(
        status,
        "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n",
        keep_alive);
    if (!head_only) out += body;
    return send_text(fd, out, stop) && keep_alive;
}

// Waits until the peer closes, the time is up, or the server stops; false when the
// peer has gone.
bool stall(int fd, int ms, const std::atomic<bool>& stop) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop && (ms == 0 || Clock::now() < deadline)) {
        pollfd p{fd, POLLRDHUP, 0};
        if (::poll(&p, 1, 50) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return false;
    }
    return true;
}

// Lets the bytes already sent reach the client first, so the reset lands exactly
// at the fault's offset instead of discarding what is still queued.
void abortive_close(int fd) {
    auto deadline = Clock::now() + std::chrono::seconds(1);
    int queued = 0;
    while (::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::shutdown(fd, SHUT_RDWR);
}

// Sends file bytes [begin, end) with the faults of this response, counting them into
// `sent`; false when the connection is no longer usable.
bool send_body(int sock, int file, uint64_t begin, uint64_t end, BodyFaults f,
               std::atomic<uint64_t>& sent, const std::atomic<bool>& stop) {
    uint64_t off = begin;
    auto started = Clock::now();
    std::string buf;
    while (true) {
        if (f.stall_at && *f.stall_at == off) {
            f.stall_at.reset();
            auto stalled = Clock::now();
            if (!stall(sock, f.stall_ms, stop) || stop) return false;
            started += Clock::now() - stalled;  // the pace resumes after the stall
        }
        if (f.reset_at && *f.reset_at == off) {
            abortive_close(sock);
            return false;
        }
        if (f.truncate_at && *f.truncate_at == off) {
            ::shutdown(sock, SHUT_WR);
            return false;
        }
        if (off >= end || stop) break;

        uint64_t stop_at = end;
        for (const auto& at : {f.stall_at, f.reset_at, f.truncate_at})
            if (at && *at > off) stop_at = std::min(stop_at, *at);
        uint64_t chunk = std::min(stop_at - off, kSlice);
        if (f.rate) chunk = std::min<uint64_t>(chunk, std::max<uint64_t>(f.rate / 50, 1));

        if (f.chunked) {
            buf.resize(chunk);
            ssize_t n = ::pread(file, buf.data(), chunk, off_t(off));
            if (n <= 0) return false;
            char size_line[32];
            std::snprintf(size_line, sizeof size_line, "%zx\r\n", size_t(n));
            if (!send_text(sock, size_line + buf.substr(0, size_t(n)) + "\r\n", stop)) return false;
            off += uint64_t(n);
            sent += uint64_t(n);
        } else {
            off_t pos = off_t(off);
            ssize_t n = ::sendfile(sock, file, &pos, chunk);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return false;
            off += uint64_t(n);
            sent += uint64_t(n);
        }
        if (f.rate) {
            auto due = started + std::chrono::microseconds((off - begin) * 1000000 / f.rate);
            while (!stop && Clock::now() < due)
                std::this_thread::sleep_for(
                    std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(20)));
        }
    }
    if (f.chunked && !stop) return send_text(sock, "0\r\n\r\n", stop);
    return !stop;
}

bool inside_root(const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;
    for (const auto& part : std::filesystem::path(path))
        if (part == "..") return false;
    return true;
}

}  // namespace

Server::Server(ServerOptions options, FaultPlan& faults, RequestLog& log)
    : options_(std::move(options)), faults_(faults), log_(log) {}

Server::~Server() {
    if (listen_fd_ >= 0) ::close(listen_fd_);
}

bool Server::listen(std::string& error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.address.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + options_.address;
        return false;
    }
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 64) != 0) {
        error = std::string("cannot listen: ") + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    return true;
}

void Server::run(const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        timeval tv{0, 200 * 1000};  // lets a blocked send notice a stop
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        ++connections_;
        std::thread([this, fd, &stop] {
            serve_connection(fd, stop);
            --connections_;
        }).detach();
    }
    auto deadline = Clock::now() + std::chrono::seconds(2);
    while (connections_ > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void Server::serve_connection(int raw_fd, const std::atomic<bool>& stop) {
    Fd fd(raw_fd);
    std::string buf;
    while (!stop) {
        size_t end;
        while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
            if (buf.size() > kMaxHead || stop) return;
            pollfd p{fd.get(), POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char chunk[4096];
            ssize_t n = ::recv(fd.get(), chunk, sizeof chunk, 0);
            if (n <= 0) return;
            buf.append(chunk, size_t(n));
        }
        auto request = HttpRequest::parse(std::string_view(buf).substr(0, end + 4));
        buf.erase(0, end + 4);
        if (!request) {
            respond_small(fd.get(), 400, "bad request\n", false, false, stop);
            return;
        }
        // Request bodies are not used; skip them to keep the connection in step.
        size_t body = std::strtoull(request->header("Content-Length").c_str(), nullptr, 10);
        while (buf.size() < body && !stop) {
            char chunk[4096];
            ssize_t n = ::recv(fd.get(), chunk, sizeof chunk, 0);
            if (n <= 0) return;
            buf.append(chunk, size_t(n));
        }
        buf.erase(0, std::min(body, buf.size()));
        if (!handle(fd.get(), *request, stop)) return;
    }
}

bool Server::handle(int fd, const HttpRequest& r, const std::atomic<bool>& stop) {
    bool keep = r.keep_alive();
    bool head_only = r.method == "HEAD";
    if (r.path == options_.control_path) return serve_control(fd, r) && keep;
    if (r.method != "GET" && !head_only) {
        log_.record(r, 405);
        return respond_small(fd, 405, "method not allowed\n", keep, false, stop);
    }
    if (r.path.rfind(options_.stats_path, 0) == 0) {
        log_.record(r, 200);
        return respond_small(fd, 200, "ok\n", keep, head_only, stop);
    }
    std::string rel = percent_decode(r.path);
    std::string file = options_.root + rel;
    struct stat st {};
    if (!inside_root(rel) || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        log_.record(r, 404);
        return respond_small(fd, 404, "not found\n", keep, head_only, stop);
    }
    return serve_file(fd, r, file, stop);
}

bool Server::serve_file(int fd, const HttpRequest& r, const std::string& path,
                        const std::atomic<bool>& stop) {
    bool keep = r.keep_alive();
    bool head_only = r.method == "HEAD";
    if (auto forced = faults_.take_forced_status()) {
        log_.record(r, *forced);
        return respond_small(fd, *forced, "forced failure\n", keep, head_only, stop);
    }
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0) {
        log_.record(r, 404);
        return respond_small(fd, 404, "not found\n", keep, head_only, stop);
    }
    uint64_t size = uint64_t(st.st_size);
    std::string etag = etag_of(st), modified = http_date(st.st_mtim);

    ByteRange range;
    std::string range_header = r.header("Range");
    std::string if_range = r.header("If-Range");
    bool honour = !range_header.empty() && !faults_.ignore_ranges();
    if (honour && !if_range.empty()) honour = if_range == etag || if_range == modified;
    if (honour) range = parse_range(range_header, size);

    std::string validators =
        "ETag: " + etag + "\r\nLast-Modified: " + modified + "\r\nAccept-Ranges: bytes\r\n";
    if (range.kind == ByteRange::Kind::kUnsatisfiable) {
        log_.record(r, 416);
        std::string out = head_of(416,
                                  validators + "Content-Range: bytes */" + std::to_string(size) +
                                      "\r\nContent-Length: 0\r\n",
                                  keep);
        return send_text(fd, out, stop) && keep;
    }
    bool partial = range.kind == ByteRange::Kind::kSatisfiable;
    uint64_t begin = partial ? range.first : 0;
    uint64_t end = partial ? range.last + 1 : size;
    int status = partial ? 206 : 200;
    BodyFaults faults = head_only ? BodyFaults{} : faults_.take_body_faults(begin, end);

    std::string extra = validators + "Content-Type: application/octet-stream\r\n";
    if (partial)
        extra += "Content-Range: bytes " + std::to_string(begin) + '-' + std::to_string(end - 1) +
                 '/' + std::to_string(size) + "\r\n";
    if (faults.chunked)
        extra += "Transfer-Encoding: chunked\r\n";
    else
        extra += "Content-Length: " + std::to_string(end - begin) + "\r\n";
    log_.record(r, status);
    if (!send_text(fd, head_of(status, extra, keep), stop)) return false;
    if (head_only) return keep;
    ++bodies_;
    const bool sent = send_body(fd, file.get(), begin, end, faults, sent_, stop);
    --bodies_;
    return sent && keep;
}

bool Server::serve_control(int fd, const HttpRequest& r) {
    static const std::atomic<bool> never{false};
    std::string error;
    std::string_view q = r.query;
    while (!q.empty() && error.empty()) {
        size_t amp = q.find('&');
        std::string item = percent_decode(q.substr(0, amp));
        q = amp == std::string_view::npos ? std::string_view() : q.substr(amp + 1);
        size_t eq = item.find('=');
        std::string name = item.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (name == "swap") {
            // "swap=a:b" puts the file b in the place of a: the same name, new content.
            size_t colon = value.find(':');
            std::string a = value.substr(0, colon);
            std::string b = colon == std::string::npos ? std::string() : value.substr(colon + 1);
            if (b.empty() || !inside_root(a) || !inside_root(b) ||
                std::rename((options_.root + "/" + b).c_str(), (options_.root + "/" + a).c_str()) !=
                    0)
                error = "cannot swap " + value;
        } else {
            faults_.apply(name, value, error);
        }
    }
    if (!error.empty()) return respond_small(fd, 400, error + "\n", r.keep_alive(), false, never);
    return respond_small(
        fd, 200, "ok\nsent " + std::to_string(sent_) + "\nbodies " + std::to_string(bodies_) + "\n",
        r.keep_alive(), false, never);
}

}  // namespace demo

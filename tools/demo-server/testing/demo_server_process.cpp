#include "tools/demo-server/testing/demo_server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace demo {
namespace {

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, '\t')) out.push_back(field == "-" ? "" : field);
    return out;
}

}  // namespace

DemoServer::~DemoServer() { stop(); }

bool DemoServer::start(const std::string& root, const std::string& log_path,
                       const std::vector<std::string>& args) {
    log_path_ = log_path;
    int out[2];
    if (::pipe(out) != 0) return false;
    std::vector<std::string> argv_s = {
        DEMO_SERVER_PATH, "--listen", "127.0.0.1:0",   "--root", root,
        "--log",          log_path,   "--max-seconds", "120"};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) return ::close(out[0]), false;
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char c[256];
        ssize_t n = ::read(out[0], c, sizeof c);
        if (n <= 0) break;
        line.append(c, size_t(n));
    }
    ::close(out[0]);
    size_t colon = line.rfind(':');
    if (line.rfind("listening ", 0) != 0 || colon == std::string::npos) return false;
    port_ = uint16_t(std::stoi(line.substr(colon + 1)));
    return true;
}

void DemoServer::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string DemoServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<LoggedRequest> DemoServer::requests() const {
    std::vector<LoggedRequest> out;
    std::ifstream in(log_path_);
    std::string line;
    while (std::getline(in, line)) {
        auto f = split_tabs(line);
        if (f.size() != 7) continue;
        out.push_back({f[0], f[1], f[2], f[3], f[4], f[5], std::atoi(f[6].c_str())});
    }
    return out;
}

std::string DemoServer::ask(const std::string& query) const {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port_);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    std::string request =
        "GET /_control?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + "Connection: close\r\n\r\n";
    ok = ok && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
    std::string answer;
    char buf[512];
    ssize_t n;
    while (ok && (n = ::recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, size_t(n));
    ::close(fd);
    return ok ? answer : "";
}

bool DemoServer::control(const std::string& query) const {
    return ask(query).rfind("HTTP/1.1 200", 0) == 0;
}

DemoServer::Traffic DemoServer::traffic() const {
    const std::string answer = ask("");
    Traffic t;
    const size_t sent = answer.find("\nsent "), bodies = answer.find("\nbodies ");
    if (answer.rfind("HTTP/1.1 200", 0) != 0 || sent == std::string::npos ||
        bodies == std::string::npos)
        return t;
    t.sent = std::stoll(answer.substr(sent + 6));
    t.bodies = std::stoi(answer.substr(bodies + 8));
    return t;
}

}  // namespace demo

#include "remote_windows.h"

#include "message_queue.h"
#include "window.h"

#include <w32/error.h>
#include <w32/scoped_fd.h>
#include <w32/text.h>
#include <w32/whole_file.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace w32::user::remote {

namespace {

constexpr uint32_t kMagic = 0x57334D31;
constexpr char kHeader[] = "w32-windows";

enum : uint32_t { kPosted = 0, kSent = 1 };

struct Packet {
    uint32_t magic;
    uint32_t hwnd;
    uint32_t msg;
    uint32_t kind;  // kSent comes with one end of a socket pair for the answer
    uint64_t wparam;
    int64_t lparam;
};

struct State {
    std::mutex mu;
    bool folder_known = false;
    std::string folder;
    bool listening = false;
    bool exiting = false;
};

State& state() {
    static auto* s = new State;
    return *s;
}

bool private_dir(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

std::string folder() {
    auto& s = state();
    std::lock_guard lock(s.mu);
    if (s.folder_known) return s.folder;
    s.folder_known = true;
    std::string dir;
    struct stat st;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        dir = std::string(runtime) + "/win32-windows";
    } else {
        dir = "/tmp/win32-windows-" + std::to_string(geteuid());
    }
    if (private_dir(dir)) s.folder = dir;
    return s.folder;
}

std::string path_of(const std::string& dir, DWORD pid, const char* ext) {
    return dir + "/" + std::to_string(pid) + ext;
}

// The start time of a process in clock ticks since boot; 0 when it does not exist.
// Together with the pid it names one process, even after the pid is reused.
unsigned long long start_time_of(DWORD pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    auto close_paren = line.rfind(')');
    if (close_paren == std::string::npos) return 0;
    std::istringstream fields(line.substr(close_paren + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        if (!(fields >> field)) return 0;
    }
    return std::strtoull(field.c_str(), nullptr, 10);
}

std::string to_hex(const std::wstring& s) {
    static const char digits[] = "0123456789abcdef";
    std::string utf8 = to_utf8(s);
    std::string out = "x";  // never empty, so fields always split
    for (unsigned char c : utf8) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::wstring from_hex(const std::string& s) {
    std::string utf8;
    for (size_t i = 1; i + 1 < s.size(); i += 2) {
        utf8 += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
    }
    return from_utf8(utf8);
}

bool read_list(const std::string& path, DWORD pid, std::vector<Entry>* out) {
    std::ifstream in(path);
    std::string header;
    unsigned long long started = 0;
    if (!(in >> header >> started) || header != kHeader) return false;
    if (started == 0 || started != start_time_of(pid)) return false;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Entry e;
        std::string cls, title;
        if (!(fields >> e.hwnd >> e.tid >> cls >> title)) continue;
        try {
            e.class_name = from_hex(cls);
            e.title = from_hex(title);
        } catch (...) {
            continue;
        }
        e.pid = pid;
        out->push_back(std::move(e));
    }
    return true;
}

void deliver(const Packet& p, w32::ScopedFd answer) {
    if (p.magic != kMagic || !crosses(p.msg) || (p.kind == kSent) != answer.valid()) return;
    auto hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(p.hwnd));
    QueuePtr queue;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w || !is_top_level_locked(*w) || w->destroying) return;
        queue = w->queue;
    }
    if (p.kind == kSent) {
        // Dropped unanswered (the thread ends first), the socket closes: the sender sees that.
        auto sent = std::make_shared<SentMessage>();
        sent->hwnd = hwnd;
        sent->msg = p.msg;
        sent->wparam = static_cast<WPARAM>(p.wparam);
        sent->lparam = static_cast<LPARAM>(p.lparam);
        auto fd = std::make_shared<w32::ScopedFd>(std::move(answer));
        sent->reply = [fd](LRESULT result) {
            // A sender that gave up has closed its end: no SIGPIPE for that.
            const int64_t value = result;
            ssize_t n = ::send(fd->get(), &value, sizeof value, MSG_NOSIGNAL);
            (void)n;
        };
        queue->push_sent(sent);
        return;
    }
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = p.msg;
    msg.wParam = static_cast<WPARAM>(p.wparam);
    msg.lParam = static_cast<LPARAM>(p.lparam);
    msg.time = GetTickCount();
    queue->post(msg);
}

void receive_loop(int fd) {
    for (;;) {
        Packet p{};
        iovec iov{&p, sizeof(p)};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(sizeof(int))];
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = control;
        mh.msg_controllen = sizeof(control);
        ssize_t n = recvmsg(fd, &mh, MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bool same_user = false;
        w32::ScopedFd answer;
        for (cmsghdr* c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c)) {
            if (c->cmsg_level != SOL_SOCKET) continue;
            if (c->cmsg_type == SCM_CREDENTIALS) {
                ucred cred;
                std::memcpy(&cred, CMSG_DATA(c), sizeof(cred));
                same_user = cred.uid == geteuid();
            } else if (c->cmsg_type == SCM_RIGHTS) {
                // Every descriptor that came is closed unless it is the answer socket.
                const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
                for (size_t i = 0; i < count; ++i) {
                    int passed;
                    std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
                    if (i == 0 && !answer.valid())
                        answer.reset(passed);
                    else
                        close(passed);
                }
            }
        }
        if (same_user && n == static_cast<ssize_t>(sizeof(p)) && !(mh.msg_flags & MSG_CTRUNC))
            deliver(p, std::move(answer));
    }
}

void remove_own_entries() {
    auto& s = state();
    std::string dir;
    {
        std::lock_guard lock(s.mu);
        s.exiting = true;
        if (!s.listening) return;
        dir = s.folder;
    }
    unlink(path_of(dir, GetCurrentProcessId(), ".win").c_str());
    unlink(path_of(dir, GetCurrentProcessId(), ".sock").c_str());
}

bool fill_address(const std::string& path, sockaddr_un* addr) {
    if (path.size() >= sizeof(addr->sun_path)) return false;
    std::memset(addr, 0, sizeof(*addr));
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, path.c_str(), path.size());
    return true;
}

// Binds this process's socket and starts the thread that reads it; with s.mu held.
bool start_listening(State& s) {
    if (s.listening) return true;
    sockaddr_un addr;
    std::string path = path_of(s.folder, GetCurrentProcessId(), ".sock");
    if (!fill_address(path, &addr)) return false;
    w32::ScopedFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return false;
    int on = 1;
    if (setsockopt(fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on)) != 0) return false;
    unlink(path.c_str());
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) return false;
    std::thread(receive_loop, fd.release()).detach();
    s.listening = true;
    std::atexit(remove_own_entries);
    return true;
}

}  // namespace

void publish(const std::vector<Entry>& mine) {
    if (folder().empty()) return;
    auto& s = state();
    std::lock_guard lock(s.mu);
    if (s.exiting || !start_listening(s)) return;
    std::ostringstream text;
    text << kHeader << ' ' << start_time_of(GetCurrentProcessId()) << '\n';
    for (auto& e : mine) {
        text << e.hwnd << ' ' << e.tid << ' ' << to_hex(e.class_name) << ' ' << to_hex(e.title)
             << '\n';
    }
    std::string path = path_of(s.folder, GetCurrentProcessId(), ".win");
    // The folder is a run-time one: losing the entry in a crash loses nothing.
    w32::write_file_atomically(path, text.str(),
                               {.mode = 0600, .durable = false, .serialized = true});
}

std::vector<Entry> others() {
    std::vector<Entry> out;
    std::string dir = folder();
    if (dir.empty()) return out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    std::vector<DWORD> pids;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".win") != 0) continue;
        char* end = nullptr;
        unsigned long pid = std::strtoul(name.c_str(), &end, 10);
        if (end != name.c_str() + name.size() - 4 || pid == 0) continue;
        if (pid != GetCurrentProcessId()) pids.push_back(static_cast<DWORD>(pid));
    }
    closedir(d);
    for (DWORD pid : pids) {
        std::string list = path_of(dir, pid, ".win");
        if (!read_list(list, pid, &out)) {
            // A process that ended (or a reused pid) leaves its entries behind.
            unlink(list.c_str());
            unlink(path_of(dir, pid, ".sock").c_str());
        }
    }
    return out;
}

bool listed(DWORD pid, uint32_t hwnd) {
    std::string dir = folder();
    if (dir.empty()) return false;
    std::vector<Entry> entries;
    if (!read_list(path_of(dir, pid, ".win"), pid, &entries)) return false;
    for (auto& e : entries) {
        if (e.hwnd == hwnd) return true;
    }
    return false;
}

namespace {

// Hands a packet (with a descriptor to pass, or -1) to the process's socket.
bool transmit(DWORD pid, const Packet& p, int passed) {
    if (!crosses(p.msg)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::string dir = folder();
    sockaddr_un addr;
    if (dir.empty() || !fill_address(path_of(dir, pid, ".sock"), &addr)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    w32::ScopedFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return fail_errno();
    iovec iov{const_cast<Packet*>(&p), sizeof(p)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr mh{};
    mh.msg_name = &addr;
    mh.msg_namelen = sizeof(addr);
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    if (passed >= 0) {
        mh.msg_control = control;
        mh.msg_controllen = sizeof(control);
        cmsghdr* c = CMSG_FIRSTHDR(&mh);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &passed, sizeof(int));
    }
    if (sendmsg(fd.get(), &mh, MSG_DONTWAIT) != static_cast<ssize_t>(sizeof(p))) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        } else {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        }
        return false;
    }
    return true;
}

}  // namespace

bool post(DWORD pid, uint32_t hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    const Packet p{
        kMagic, hwnd, msg, kPosted, static_cast<uint64_t>(wparam), static_cast<int64_t>(lparam)};
    return transmit(pid, p, -1);
}

int send(DWORD pid, uint32_t hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        fail_errno();
        return -1;
    }
    w32::ScopedFd answer(ends[0]), reply(ends[1]);
    const Packet p{
        kMagic, hwnd, msg, kSent, static_cast<uint64_t>(wparam), static_cast<int64_t>(lparam)};
    if (!transmit(pid, p, reply.get())) return -1;
    return answer.release();
}

void withdraw() { remove_own_entries(); }

}  // namespace w32::user::remote

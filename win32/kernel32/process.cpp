#include "process_object.h"

#include <w32/error.h>
#include <w32/path.h>
#include <w32/procfs.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace w32 {
namespace {

// Live process objects by id, so that every handle to one process shares its state.
struct Registry {
    std::mutex mu;
    std::map<pid_t, std::weak_ptr<ProcessObject>> by_pid;
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

int open_pidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int send_kill(int pidfd, pid_t pid) {
#ifdef SYS_pidfd_send_signal
    if (pidfd >= 0)
        return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0));
#else
    (void)pidfd;
#endif
    return kill(pid, SIGKILL);
}

// Exit codes of children that died of a signal nobody here sent, close to what
// Windows reports for the matching faults.
DWORD code_for_signal(int sig) {
    switch (sig) {
        case SIGSEGV:
        case SIGBUS:
            return 0xC0000005u;  // access violation
        case SIGILL:
            return 0xC000001Du;  // illegal instruction
        case SIGFPE:
            return 0xC0000094u;  // integer divide by zero
        case SIGABRT:
            return 3;  // what abort() leaves on Windows
        default:
            return 128u + static_cast<DWORD>(sig);
    }
}

uint64_t start_time(pid_t pid) {
    procfs::Stat st;
    return procfs::read_stat(pid, &st) ? st.start : 0;
}

std::shared_ptr<ProcessObject> find_live(pid_t pid) {
    auto& r = registry();
    auto it = r.by_pid.find(pid);
    if (it == r.by_pid.end()) return nullptr;
    auto obj = it->second.lock();
    if (!obj) {
        r.by_pid.erase(it);
        return nullptr;
    }
    return obj;
}

}  // namespace

ProcessObject::ProcessObject(pid_t pid, int pidfd, uint64_t start, bool child, bool self)
    : pid_(pid), pidfd_(pidfd), start_(start), child_(child), self_(self) {}

ProcessObject::~ProcessObject() {
    if (pidfd_ >= 0) close(pidfd_);
}

std::shared_ptr<ProcessObject> ProcessObject::adopt_child(pid_t pid) {
    std::shared_ptr<ProcessObject> obj(
        new ProcessObject(pid, open_pidfd(pid), start_time(pid), true, false));
    {
        auto& r = registry();
        std::lock_guard lock(r.mu);
        r.by_pid[pid] = obj;
    }
    obj->watch_child(obj);
    return obj;
}

std::shared_ptr<ProcessObject> ProcessObject::self() {
    static auto* me = new std::shared_ptr<ProcessObject>(
        new ProcessObject(getpid(), -1, start_time(getpid()), false, true));
    return *me;
}

std::shared_ptr<ProcessObject> ProcessObject::open(pid_t pid) {
    if (pid <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (pid == getpid()) return self();
    auto& r = registry();
    std::lock_guard lock(r.mu);
    if (auto live = find_live(pid)) {
        bool gone;
        {
            std::lock_guard wait_lock(wait_mutex());
            gone = live->check_exit_locked();
        }
        // A process that ended may have left its id to a newcomer; a child cannot
        // until its watcher reaps it.
        if (!gone && (live->child_ || start_time(pid) == live->start_)) return live;
    }
    if (!procfs::is_process(pid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (kill(pid, 0) != 0) {
        SetLastError(errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t start = start_time(pid);
    int fd = open_pidfd(pid);
    if (fd < 0 && errno == ESRCH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<ProcessObject> obj(new ProcessObject(pid, fd, start, false, false));
    r.by_pid[pid] = obj;
    return obj;
}

void ProcessObject::watch_child(std::shared_ptr<ProcessObject> keep) {
    std::thread([obj = std::move(keep)] {
        siginfo_t info;
        // Wait without reaping, then reap under the wait lock: while that lock is
        // held the id cannot be handed to another process, so terminate() never
        // signals a stranger.
        int rc;
        do {
            std::memset(&info, 0, sizeof info);
            rc = waitid(P_PID, static_cast<id_t>(obj->pid_), &info, WEXITED | WNOWAIT);
        } while (rc < 0 && errno == EINTR);
        {
            std::lock_guard lock(wait_mutex());
            int status = 0;
            pid_t got;
            do {
                got = waitpid(obj->pid_, &status, 0);
            } while (got < 0 && errno == EINTR);
            DWORD code = 0;
            if (got == obj->pid_) {
                if (WIFEXITED(status)) {
                    code = static_cast<DWORD>(WEXITSTATUS(status));
                } else if (WIFSIGNALED(status)) {
                    int sig = WTERMSIG(status);
                    code = obj->terminated_ && sig == SIGKILL ? obj->terminate_code_
                                                              : code_for_signal(sig);
                }
            } else if (obj->terminated_) {
                code = obj->terminate_code_;  // reaped elsewhere (SIGCHLD ignored)
            }
            obj->code_ = code;
            obj->exited_ = true;
        }
        notify_waiters();
    }).detach();
}

bool ProcessObject::check_exit_locked() const {
    if (exited_ || self_ || child_) return exited_;
    bool gone = false;
    if (pidfd_ >= 0) {
        pollfd p{pidfd_, POLLIN, 0};
        gone = poll(&p, 1, 0) > 0;
    } else {
        procfs::Stat st;
        gone = !procfs::read_stat(pid_, &st) || st.start != start_ || st.state == 'Z' ||
               st.state == 'X';
    }
    if (gone) {
        // Only a parent learns how a process ended; a code given here is the best
        // answer, and 0 otherwise.
        code_ = terminated_ ? terminate_code_ : 0;
        exited_ = true;
    }
    return exited_;
}

bool ProcessObject::signaled(DWORD) const { return check_exit_locked(); }

int ProcessObject::poll_ms() const { return child_ || self_ ? -1 : 10; }

DWORD ProcessObject::exit_code() const {
    std::lock_guard lock(wait_mutex());
    return check_exit_locked() ? code_ : STILL_ACTIVE;
}

BOOL ProcessObject::terminate(UINT code) {
    if (self_) {
        fflush(nullptr);
        _exit(static_cast<int>(code));
    }
    {
        std::lock_guard lock(wait_mutex());
        if (check_exit_locked()) return fail(ERROR_ACCESS_DENIED);
        if (send_kill(pidfd_, pid_) != 0) {
            return fail(errno == ESRCH ? ERROR_ACCESS_DENIED : errno_to_win(errno));
        }
        if (!terminated_) {
            terminated_ = true;
            terminate_code_ = code;
        }
    }
    notify_waiters();
    return TRUE;
}

}  // namespace w32

using namespace w32;

namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

const bool g_pseudo_registered [[maybe_unused]] =
    (register_pseudo_handle(kCurrentProcess, [] { return ObjectPtr(ProcessObject::self()); }),
     true);

}  // namespace

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD process_id) {
    auto obj = ProcessObject::open(static_cast<pid_t>(process_id));
    return obj ? new_handle(obj) : nullptr;
}

DWORD WINAPI GetProcessId(HANDLE process) {
    auto obj = get_as<ProcessObject>(process);
    return obj ? static_cast<DWORD>(obj->pid()) : 0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
    auto obj = get_as<ProcessObject>(process);
    if (!obj) return FALSE;
    if (!exit_code) return fail(ERROR_INVALID_PARAMETER);
    *exit_code = obj->exit_code();
    return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE process, UINT exit_code) {
    auto obj = get_as<ProcessObject>(process);
    return obj ? obj->terminate(exit_code) : FALSE;
}

void WINAPI ExitProcess(UINT exit_code) {
    // Like Windows, other threads simply stop; static destructors, which could
    // wait for them, do not run.
    fflush(nullptr);
    _exit(static_cast<int>(exit_code));
}

BOOL WINAPI QueryFullProcessImageNameW(HANDLE process, DWORD, LPWSTR exe_name, PDWORD size) {
    auto obj = get_as<ProcessObject>(process);
    if (!obj) return FALSE;
    if (!exe_name || !size) return fail(ERROR_INVALID_PARAMETER);
    std::string path = procfs::exe_path(obj->pid());
    if (path.empty()) return fail(ERROR_ACCESS_DENIED);
    std::wstring win = to_windows(path);
    if (win.size() >= *size) return fail(ERROR_INSUFFICIENT_BUFFER);
    win.copy(exe_name, win.size());
    exe_name[win.size()] = L'\0';
    *size = static_cast<DWORD>(win.size());
    return TRUE;
}

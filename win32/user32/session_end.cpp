// The end of the session: what the windows hear, and the signals that end it.
#include "remote_windows.h"
#include "window.h"

#include <w32/session.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

namespace w32::session {

namespace {

// How long Windows lets programs take over each message before it offers to end them.
constexpr UINT kAnswerMs = 5000;

std::atomic<bool> g_followed{false};
std::atomic<bool> g_ending{false};
int g_signal_pipe[2] = {-1, -1};

void on_signal(int sig) {
    const int saved = errno;
    const char c = static_cast<char>(sig);
    ssize_t n = write(g_signal_pipe[1], &c, 1);
    (void)n;
    errno = saved;
}

std::vector<HWND> top_level_windows() {
    std::vector<HWND> out;
    std::lock_guard lock(user::user_mutex());
    for (HWND h : user::desktop_locked()->children) {
        auto w = user::find_window_locked(h);
        if (w && w->kind == user::WindowKind::Normal && !w->destroying) out.push_back(h);
    }
    return out;
}

// Every window at once, so that one whose thread hangs takes no time from the others:
// each has kAnswerMs, and the call returns once all have answered or run out of it.
void send_to_all(const std::vector<HWND>& windows, UINT msg, WPARAM wparam, LPARAM lparam) {
    std::vector<std::thread> senders;
    for (HWND h : windows)
        senders.emplace_back([=] {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(h, msg, wparam, lparam, SMTO_BLOCK, kAnswerMs, &answer);
        });
    for (std::thread& t : senders) t.join();
}

void run(LPARAM reason) {
    // A new start must not find (and wake) a copy that is on its way out.
    user::remote::withdraw();
    const std::vector<HWND> windows = top_level_windows();
    // The session ends whatever they answer: nothing is left to return to.
    send_to_all(windows, WM_QUERYENDSESSION, 0, reason);
    send_to_all(windows, WM_ENDSESSION, TRUE, reason);
    ExitProcess(0);
}

}  // namespace

void end(LPARAM reason) {
    if (g_ending.exchange(true)) return;
    std::thread(run, reason).detach();
}

bool followed() { return g_followed; }

void follow() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_followed = true;
        if (pipe2(g_signal_pipe, O_CLOEXEC) != 0) return;
        fcntl(g_signal_pipe[1], F_SETFL, O_NONBLOCK);
        std::thread([] {
            char sig;
            while (read(g_signal_pipe[0], &sig, 1) != 1) {
                if (errno != EINTR) return;
            }
            // A hang-up is the end of the user's session; a request to terminate may
            // come from a shutdown.
            end(sig == SIGHUP ? ENDSESSION_LOGOFF | ENDSESSION_CRITICAL : ENDSESSION_CRITICAL);
        }).detach();
        for (int sig : {SIGTERM, SIGHUP}) {
            struct sigaction old {};
            if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            struct sigaction sa {};
            sa.sa_handler = on_signal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            sigaction(sig, &sa, nullptr);
        }
    });
}

}  // namespace w32::session

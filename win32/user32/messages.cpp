// Posting, sending, retrieving and dispatching messages.
//
// Retrieval order, as on Windows: messages sent from other threads are handled
// first (whatever the filter), then posted messages, then the quit request, then
// WM_PAINT while a visible window has an update region, then timers, which are
// synthesised only when nothing else is waiting.
#include "message_queue.h"
#include "paint.h"
#include "remote_windows.h"
#include "window.h"

#include <w32/error.h>
#include <w32/object.h>
#include <w32/scoped_fd.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <map>

namespace w32::user {

namespace {

thread_local LONG t_message_time = 0;
thread_local int t_in_cross_thread_send = 0;

// Handles every message other threads sent to this one.
void handle_sent(Queue& queue) {
    while (auto sent = queue.pop_sent()) {
        ++t_in_cross_thread_send;
        LRESULT result = call_window_proc(sent->hwnd, sent->msg, sent->wparam, sent->lparam);
        --t_in_cross_thread_send;
        sent->result = result;
        sent->done.store(true);
        if (sent->reply) sent->reply(result);
        notify_waiters();
    }
}

// Resolves a Get/Peek filter; false (ERROR_INVALID_WINDOW_HANDLE) for a bad window.
bool make_filter(HWND hwnd, UINT min, UINT max, UINT flags, MessageFilter* f) {
    f->hwnd = hwnd;
    f->min = min;
    f->max = max;
    if (flags >> 16) f->kinds = (flags >> 16) | QS_SENDMESSAGE;
    if (!hwnd || hwnd == reinterpret_cast<HWND>(-1)) return true;
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    if (!w || w->kind != WindowKind::Normal) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    f->windows.push_back(hwnd);
    collect_descendants_locked(hwnd, &f->windows);
    return true;
}

bool peek(Queue& queue, const MessageFilter& f, bool remove, MSG* out) {
    // Cleared before looking, so anything that arrives from here on wakes the next wait.
    queue.clear_changed(~0u);
    handle_sent(queue);
    // WM_PAINT stays until the window is validated, so it is never removed here.
    bool found = ((f.kinds & QS_POSTMESSAGE) && queue.take_posted(f, remove, out)) ||
                 ((f.kinds & QS_INPUT) && take_input(queue, f, remove, out)) ||
                 ((f.kinds & QS_PAINT) && next_paint_message(f, out)) ||
                 ((f.kinds & QS_TIMER) && queue.take_timer(f, remove, out));
    if (found) t_message_time = static_cast<LONG>(out->time);
    return found;
}

// Sleeps until the queue changes or the deadline passes.
void wait_for_change(Queue& queue, std::optional<Clock::time_point> deadline) {
    DWORD timeout = deadline ? ms_until(*deadline) : INFINITE;
    if (timeout == 0) return;
    wait({}, false, timeout, [&queue] { return queue.changed() != 0; });
}

// Runs a message through another thread's queue and waits for its answer, handling
// messages sent to this thread meanwhile (unless block). False on time-out.
bool send_to_thread(const WindowPtr& w, UINT msg, WPARAM wparam, LPARAM lparam, bool block,
                    DWORD timeout, LRESULT* result) {
    auto me = current_queue();
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = w->hwnd;
    sent->msg = msg;
    sent->wparam = wparam;
    sent->lparam = lparam;
    if (!w->queue->push_sent(sent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    const bool forever = timeout == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeout);
    for (;;) {
        if (!block) handle_sent(*me);
        if (sent->done.load()) {
            *result = sent->result;
            return true;
        }
        DWORD slice = forever ? INFINITE : ms_until(deadline);
        DWORD r =
            wait({}, false, slice, [&] { return sent->done.load() || (!block && me->has_sent()); });
        if (r == WAIT_TIMEOUT && !sent->done.load()) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
    }
}

// Sends to a window of another process and waits for the answer its thread writes
// back, handling messages sent to this thread meanwhile (unless block). False when
// the time runs out or the window or its process goes first.
bool send_to_process(const Window& w, UINT msg, WPARAM wparam, LPARAM lparam, bool block,
                     DWORD timeout, LRESULT* result) {
    ScopedFd answer(remote::send(w.pid, w.remote_hwnd, msg, wparam, lparam));
    if (!answer.valid()) return false;
    auto me = current_queue();
    const bool forever = timeout == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeout);
    for (;;) {
        if (!block) handle_sent(*me);
        // The socket cannot wake the queue's waiters, so a sender that serves its own
        // senders meanwhile looks at both every few milliseconds.
        DWORD slice = forever ? INFINITE : ms_until(deadline);
        if (!block) slice = std::min<DWORD>(slice, 10);
        pollfd p{answer.get(), POLLIN, 0};
        const int ready = poll(&p, 1, slice == INFINITE ? -1 : static_cast<int>(slice));
        if (ready < 0 && errno != EINTR) return fail_errno();
        if (ready > 0) {
            int64_t value = 0;
            if (read(answer.get(), &value, sizeof value) != static_cast<ssize_t>(sizeof value)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return false;
            }
            *result = static_cast<LRESULT>(value);
            return true;
        }
        if (!forever && Clock::now() >= deadline) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
    }
}

// SendMessageW and its variants; false (with the last error) when not delivered.
bool send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool block, DWORD timeout,
          LRESULT* result) {
    *result = 0;
    auto w = get_window(hwnd, true);
    if (!w) return false;
    if (w->kind == WindowKind::Remote)
        return send_to_process(*w, msg, wparam, lparam, block, timeout, result);
    if (w->kind != WindowKind::Normal) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->tid == GetCurrentThreadId()) {
        *result = call_window_proc(hwnd, msg, wparam, lparam);
        return true;
    }
    return send_to_thread(w, msg, wparam, lparam, block, timeout, result);
}

bool post_to_window(const WindowPtr& w, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (w->kind == WindowKind::Remote) {
        return remote::post(w->pid, w->remote_hwnd, msg, wparam, lparam);
    }
    if (w->kind != WindowKind::Normal || !w->queue) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    MSG m{};
    m.hwnd = w->hwnd;
    m.message = msg;
    m.wParam = wparam;
    m.lParam = lparam;
    m.time = GetTickCount();
    if (!w->queue->post(m)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

struct MessageNames {
    std::mutex mu;
    std::map<std::wstring, UINT> ids;  // keyed by the upper-case name
    UINT next = 0xC000;
};

MessageNames& message_names() {
    static auto* names = new MessageNames;
    return *names;
}

}  // namespace

LRESULT call_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (w && w->kind == WindowKind::Normal) proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wparam, lparam) : 0;
}

}  // namespace w32::user

using namespace w32;
using namespace w32::user;

BOOL WINAPI PostMessageW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (!hwnd) {
        MSG m{};
        m.message = msg;
        m.wParam = wparam;
        m.lParam = lparam;
        m.time = GetTickCount();
        return current_queue()->post(m) ? TRUE : FALSE;
    }
    if (hwnd == HWND_BROADCAST) {
        std::vector<WindowPtr> targets;
        {
            std::lock_guard lock(user_mutex());
            for (HWND h : desktop_locked()->children) targets.push_back(find_window_locked(h));
        }
        for (auto& w : targets) {
            if (w) post_to_window(w, msg, wparam, lparam);
        }
        return TRUE;
    }
    auto w = get_window(hwnd, true);
    if (!w) return FALSE;
    return post_to_window(w, msg, wparam, lparam) ? TRUE : FALSE;
}

BOOL WINAPI PostThreadMessageW(DWORD thread_id, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto queue = queue_of_thread(thread_id);
    if (!queue) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    MSG m{};
    m.message = msg;
    m.wParam = wparam;
    m.lParam = lparam;
    m.time = GetTickCount();
    return queue->post(m) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    LRESULT result;
    send(hwnd, msg, wparam, lparam, false, INFINITE, &result);
    return result;
}

LRESULT WINAPI SendMessageTimeoutW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT flags,
                                   UINT timeout, PDWORD_PTR result) {
    LRESULT r;
    if (!send(hwnd, msg, wparam, lparam, (flags & SMTO_BLOCK) != 0, timeout, &r)) return 0;
    if (result) *result = static_cast<DWORD_PTR>(r);
    return 1;
}

BOOL WINAPI SendNotifyMessageW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    if (w->tid == GetCurrentThreadId()) {
        call_window_proc(hwnd, msg, wparam, lparam);
        return TRUE;
    }
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->msg = msg;
    sent->wparam = wparam;
    sent->lparam = lparam;
    if (!w->queue->push_sent(sent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove) {
    if (!msg) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    MessageFilter f;
    if (!make_filter(hwnd, filter_min, filter_max, remove, &f)) return FALSE;
    return peek(*current_queue(), f, (remove & PM_REMOVE) != 0, msg) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT filter_min, UINT filter_max) {
    if (!msg) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    auto queue = current_queue();
    for (;;) {
        MessageFilter f;
        if (!make_filter(hwnd, filter_min, filter_max, 0, &f)) return -1;
        if (peek(*queue, f, true, msg)) return msg->message == WM_QUIT ? FALSE : TRUE;
        wait_for_change(*queue, queue->next_timer(&f));
    }
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a callback that this thread's timer really holds is run.
        auto proc = current_queue()->timer_proc(msg->hwnd, msg->wParam);
        if (proc && reinterpret_cast<LPARAM>(proc) == msg->lParam) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        }
        return 0;
    }
    if (!msg->hwnd) return 0;
    if (!get_window(msg->hwnd)) return 0;
    return call_window_proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

VOID WINAPI PostQuitMessage(int exit_code) { current_queue()->post_quit(exit_code); }

BOOL WINAPI WaitMessage(void) {
    auto queue = current_queue();
    for (;;) {
        queue->clear_changed(QS_SENDMESSAGE | Queue::kTimersChanged);
        handle_sent(*queue);
        if (queue->changed() & QS_ALLINPUT) return TRUE;
        if (queue->present() & QS_TIMER) return TRUE;
        wait_for_change(*queue, queue->next_timer(nullptr));
    }
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                         DWORD wake_mask, DWORD flags) {
    if (count >= MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<ObjectPtr> objs;
    for (DWORD i = 0; i < count; ++i) {
        auto obj = get_object(handles[i]);
        if (!obj) return WAIT_FAILED;
        objs.push_back(std::move(obj));
    }
    auto queue = current_queue();
    const bool available = (flags & MWMO_INPUTAVAILABLE) != 0;
    auto ready = [&] {
        if (queue->changed() & wake_mask) return true;
        return available && (queue->present() & wake_mask & ~QS_TIMER);
    };
    const bool forever = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    for (;;) {
        std::optional<Clock::time_point> wake;
        if (wake_mask & QS_TIMER) {
            // A due timer counts as input; a later one bounds the sleep.
            if (queue->present() & QS_TIMER) {
                DWORD r = wait(objs, (flags & MWMO_WAITALL) != 0, 0);
                return r == WAIT_TIMEOUT ? WAIT_OBJECT_0 + count : r;
            }
            wake = queue->next_timer(nullptr);
        }
        if (!forever && (!wake || deadline < *wake)) wake = deadline;
        DWORD r = wait(objs, (flags & MWMO_WAITALL) != 0, wake ? ms_until(*wake) : INFINITE, ready);
        if (r != WAIT_TIMEOUT) return r;
        if (!forever && Clock::now() >= deadline && !(queue->present() & wake_mask & QS_TIMER))
            return WAIT_TIMEOUT;
    }
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                       DWORD milliseconds, DWORD wake_mask) {
    return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wake_mask,
                                       wait_all ? MWMO_WAITALL : 0);
}

DWORD WINAPI GetQueueStatus(UINT flags) {
    auto queue = current_queue();
    flags &= QS_ALLINPUT | QS_ALLPOSTMESSAGE;
    UINT now = queue->present() & flags;
    UINT arrived = queue->changed() & flags;
    queue->clear_changed(flags);
    return (now << 16) | arrived;
}

BOOL WINAPI InSendMessage(void) { return t_in_cross_thread_send > 0 ? TRUE : FALSE; }

LONG WINAPI GetMessageTime(void) { return t_message_time; }

UINT WINAPI RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring key(name);
    for (auto& c : key) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    auto& names = message_names();
    std::lock_guard lock(names.mu);
    auto it = names.ids.find(key);
    if (it != names.ids.end()) return it->second;
    if (names.next > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return names.ids[key] = names.next++;
}

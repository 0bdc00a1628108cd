// One message queue per thread: posted messages, messages sent from other threads,
// the quit request and the thread's timers.
//
// The queue's lock is a leaf: nothing else is taken while it is held. Whoever adds to
// a queue calls w32::notify_waiters() after releasing it, so a thread blocked in the
// wait engine with the queue as its extra condition wakes up.
#pragma once

#include "tick.h"

#include <windows.h>

#include <atomic>
#include <bitset>
#include <deque>
#include <functional>
#include <string>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace w32::user {

// A message sent from another thread, waiting for (or given) its answer.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    LRESULT result = 0;  // written before done is set
    std::atomic<bool> done{false};
    std::function<void(LRESULT)> reply;  // a sender in another process: gets the answer
};

// Input that reached a thread: a mouse or key message still to be turned into what
// the window sees (hit-test, activation, double clicks happen when it is read), or a
// change the desktop made (focus, placement) to apply on the thread.
struct InputEvent {
    MSG msg{};                   // target window, base message, wParam, lParam, time, screen point
    std::bitset<256> keys;       // every key and button down once this event happened
    std::u32string text;         // what a key press types
    bool captured = false;       // the target holds the mouse capture
    std::function<void()> task;  // set for a desktop change
};

// Which messages a Get/Peek call accepts.
struct MessageFilter {
    HWND hwnd = nullptr;        // as given: null for any, (HWND)-1 for thread messages only
    std::vector<HWND> windows;  // hwnd and its descendants
    UINT min = 0;
    UINT max = 0;
    UINT kinds = QS_ALLINPUT;  // from PM_QS_*

    bool accepts_window(HWND h) const;
    bool accepts_message(UINT msg) const;
};

class Queue {
public:
    // Set in changed() when the timers change, so a sleeping loop recomputes when to
    // wake; outside every QS_* mask.
    static constexpr UINT kTimersChanged = 0x80000000u;

    explicit Queue(DWORD tid) : tid_(tid) {}
    DWORD tid() const { return tid_; }

    // False with a Windows error when the thread is gone or the queue is full.
    bool post(const MSG& msg);
    void post_quit(int exit_code);
    bool push_sent(const std::shared_ptr<SentMessage>& sent);
    std::shared_ptr<SentMessage> pop_sent();
    bool has_sent() const;

    // The first posted message the filter accepts, then the quit request (which
    // ignores the filter, as on Windows).
    bool take_posted(const MessageFilter& filter, bool remove, MSG* out);
    // Input in arrival order; consecutive pointer moves to one window are merged.
    bool push_input(InputEvent ev);
    // The first input event the filter accepts (desktop changes always count).
    std::optional<InputEvent> pop_input(const MessageFilter& filter);
    // Input already turned into a message but not removed (PM_NOREMOVE).
    void push_ready(const MSG& msg);
    bool take_ready(const MessageFilter& filter, bool remove, MSG* out);

    // The earliest due timer the filter accepts, synthesised as WM_TIMER.
    bool take_timer(const MessageFilter& filter, bool remove, MSG* out);
    std::optional<Clock::time_point> next_timer(const MessageFilter* filter) const;

    // Adds or replaces a timer; for a null window a zero or unknown id gets a new one.
    UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool kill_timer(HWND hwnd, UINT_PTR id);
    TIMERPROC timer_proc(HWND hwnd, UINT_PTR id) const;
    // Drops a destroyed window's posted messages and timers.
    void forget_window(HWND hwnd);

    // QS_* bits of what arrived since they were last cleared.
    UINT changed() const;
    void clear_changed(UINT bits);
    // QS_* bits of what the queue holds now (QS_TIMER: a timer is due).
    UINT present() const;

    // A window of this thread needs painting: wakes a waiting loop.
    void mark_paint();

    // The thread ended: refuses new messages and answers waiting senders with 0.
    void shut_down();

private:
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        UINT period;
        Clock::time_point due;
        TIMERPROC proc;
    };

    const DWORD tid_;
    mutable std::mutex mu_;
    bool alive_ = true;
    std::deque<MSG> posted_;
    std::deque<std::shared_ptr<SentMessage>> sent_;
    bool quit_ = false;
    int quit_code_ = 0;
    std::vector<Timer> timers_;
    std::deque<InputEvent> input_;
    std::deque<MSG> ready_;
    UINT_PTR next_thread_timer_ = 0x7F00;
    UINT changed_ = 0;
};

using QueuePtr = std::shared_ptr<Queue>;

// Input for the calling thread turned into its next message (input.cpp).
bool take_input(Queue& queue, const MessageFilter& filter, bool remove, MSG* out);

// The calling thread's queue, made on first use.
QueuePtr current_queue();
// The queue of a thread of this process, or null when it has none.
QueuePtr queue_of_thread(DWORD tid);

}  // namespace w32::user

#include "message_queue.h"

#include "window.h"

#include <w32/object.h>

#include <algorithm>
#include <map>

namespace w32::user {

namespace {

// Windows refuses posts beyond this many waiting messages.
constexpr size_t kMaxPosted = 10000;
constexpr UINT kPostedBits = QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;

struct Registry {
    std::mutex mu;
    std::map<DWORD, QueuePtr> queues;
};

Registry& registry() {
    static auto* r = new Registry;  // never destroyed: threads may end after static dtors
    return *r;
}

// Ends the thread's queue with the thread.
struct QueueOwner {
    QueuePtr queue;
    ~QueueOwner() {
        if (!queue) return;
        forget_thread_windows(queue->tid());
        {
            auto& r = registry();
            std::lock_guard lock(r.mu);
            r.queues.erase(queue->tid());
        }
        queue->shut_down();
    }
};

thread_local QueueOwner t_owner;

}  // namespace

DWORD ms_until(Clock::time_point t) {
    auto now = Clock::now();
    if (t <= now) return 0;
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(t - now).count();
    auto ms = (us + 999) / 1000;
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

bool MessageFilter::accepts_window(HWND h) const {
    if (!hwnd) return true;
    if (hwnd == reinterpret_cast<HWND>(-1)) return h == nullptr;
    return h && std::find(windows.begin(), windows.end(), h) != windows.end();
}

bool MessageFilter::accepts_message(UINT msg) const {
    if (min == 0 && max == 0) return true;
    if (min <= max) return msg >= min && msg <= max;
    return msg >= min || msg <= max;  // an inverted range excludes the gap between
}

bool Queue::post(const MSG& msg) {
    {
        std::lock_guard lock(mu_);
        if (!alive_) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return false;
        }
        if (posted_.size() >= kMaxPosted) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        posted_.push_back(msg);
        changed_ |= kPostedBits;
    }
    notify_waiters();
    return true;
}

void Queue::post_quit(int exit_code) {
    {
        std::lock_guard lock(mu_);
        quit_ = true;
        quit_code_ = exit_code;
        changed_ |= kPostedBits;
    }
    notify_waiters();
}

bool Queue::push_sent(const std::shared_ptr<SentMessage>& sent) {
    {
        std::lock_guard lock(mu_);
        if (!alive_) return false;
        sent_.push_back(sent);
        changed_ |= QS_SENDMESSAGE;
    }
    notify_waiters();
    return true;
}

std::shared_ptr<SentMessage> Queue::pop_sent() {
    std::lock_guard lock(mu_);
    if (sent_.empty()) return nullptr;
    auto sent = std::move(sent_.front());
    sent_.pop_front();
    return sent;
}

bool Queue::has_sent() const {
    std::lock_guard lock(mu_);
    return !sent_.empty();
}

bool Queue::take_posted(const MessageFilter& filter, bool remove, MSG* out) {
    std::lock_guard lock(mu_);
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (!filter.accepts_window(it->hwnd) || !filter.accepts_message(it->message)) continue;
        *out = *it;
        if (remove) posted_.erase(it);
        return true;
    }
    if (quit_) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(quit_code_);
        out->time = GetTickCount();
        if (remove) quit_ = false;
        return true;
    }
    return false;
}

bool Queue::take_timer(const MessageFilter& filter, bool remove, MSG* out) {
    if (!filter.accepts_message(WM_TIMER)) return false;
    const auto now = Clock::now();
    std::lock_guard lock(mu_);
    Timer* best = nullptr;
    for (auto& t : timers_) {
        if (t.due > now || !filter.accepts_window(t.hwnd)) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    *out = MSG{};
    out->hwnd = best->hwnd;
    out->message = WM_TIMER;
    out->wParam = best->id;
    out->lParam = reinterpret_cast<LPARAM>(best->proc);
    out->time = GetTickCount();
    if (remove) {
        // Keeps the period without a burst of catch-up ticks after a busy spell.
        const auto period = std::chrono::milliseconds(best->period);
        best->due += period;
        if (best->due <= now) best->due = now + period;
    }
    return true;
}

namespace {

UINT input_bits(const InputEvent& ev) {
    if (ev.task) return QS_POSTMESSAGE;
    const UINT m = ev.msg.message;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST) return QS_KEY;
    return m == WM_MOUSEMOVE ? QS_MOUSEMOVE : QS_MOUSEBUTTON;
}

}  // namespace

bool Queue::push_input(InputEvent ev) {
    {
        std::lock_guard lock(mu_);
        if (!alive_) return false;
        if (posted_.size() + input_.size() >= kMaxPosted) return false;
        changed_ |= input_bits(ev);
        // The latest position is what counts, as with Windows' coalesced moves.
        InputEvent* last = input_.empty() ? nullptr : &input_.back();
        if (last && ev.msg.message == WM_MOUSEMOVE && !ev.task && !last->task &&
            last->msg.message == WM_MOUSEMOVE && last->msg.hwnd == ev.msg.hwnd &&
            last->keys == ev.keys && last->captured == ev.captured)
            *last = std::move(ev);
        else
            input_.push_back(std::move(ev));
    }
    notify_waiters();
    return true;
}

std::optional<InputEvent> Queue::pop_input(const MessageFilter& filter) {
    std::lock_guard lock(mu_);
    for (auto it = input_.begin(); it != input_.end(); ++it) {
        if (!it->task &&
            (!filter.accepts_window(it->msg.hwnd) || !filter.accepts_message(it->msg.message)))
            continue;
        InputEvent ev = std::move(*it);
        input_.erase(it);
        return ev;
    }
    return std::nullopt;
}

void Queue::push_ready(const MSG& msg) {
    std::lock_guard lock(mu_);
    ready_.push_front(msg);
}

bool Queue::take_ready(const MessageFilter& filter, bool remove, MSG* out) {
    std::lock_guard lock(mu_);
    for (auto it = ready_.begin(); it != ready_.end(); ++it) {
        if (!filter.accepts_window(it->hwnd) || !filter.accepts_message(it->message)) continue;
        *out = *it;
        if (remove) ready_.erase(it);
        return true;
    }
    return false;
}

std::optional<Clock::time_point> Queue::next_timer(const MessageFilter* filter) const {
    if (filter && !filter->accepts_message(WM_TIMER)) return std::nullopt;
    std::lock_guard lock(mu_);
    std::optional<Clock::time_point> next;
    for (auto& t : timers_) {
        if (filter && !filter->accepts_window(t.hwnd)) continue;
        if (!next || t.due < *next) next = t.due;
    }
    return next;
}

UINT_PTR Queue::set_timer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    const auto due = Clock::now() + std::chrono::milliseconds(elapse);
    {
        std::lock_guard lock(mu_);
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
        if (it != timers_.end() && (hwnd || id != 0)) {
            it->period = elapse;
            it->due = due;
            it->proc = proc;
        } else {
            if (!hwnd) {
                auto in_use = [&](UINT_PTR candidate) {
                    return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) {
                        return !t.hwnd && t.id == candidate;
                    });
                };
                do {
                    id = next_thread_timer_++;
                    if (next_thread_timer_ == 0) next_thread_timer_ = 1;
                } while (id == 0 || in_use(id));
            }
            timers_.push_back(Timer{hwnd, id, elapse, due, proc});
        }
        changed_ |= kTimersChanged;
    }
    notify_waiters();  // a loop asleep until a later timer must recompute its deadline
    return hwnd ? (id ? id : 1) : id;
}

bool Queue::kill_timer(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(mu_);
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

TIMERPROC Queue::timer_proc(HWND hwnd, UINT_PTR id) const {
    std::lock_guard lock(mu_);
    for (auto& t : timers_) {
        if (t.hwnd == hwnd && t.id == id) return t.proc;
    }
    return nullptr;
}

void Queue::forget_window(HWND hwnd) {
    std::lock_guard lock(mu_);
    std::erase_if(posted_, [&](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(ready_, [&](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd; });
}

UINT Queue::changed() const {
    std::lock_guard lock(mu_);
    return changed_;
}

void Queue::clear_changed(UINT bits) {
    std::lock_guard lock(mu_);
    changed_ &= ~bits;
}

UINT Queue::present() const {
    const auto now = Clock::now();
    std::lock_guard lock(mu_);
    UINT bits = 0;
    if (!posted_.empty() || quit_) bits |= kPostedBits;
    if (!sent_.empty()) bits |= QS_SENDMESSAGE;
    for (const auto& ev : input_) bits |= input_bits(ev);
    if (!ready_.empty()) bits |= QS_MOUSEBUTTON;
    for (auto& t : timers_) {
        if (t.due <= now) bits |= QS_TIMER;
    }
    return bits;
}

void Queue::mark_paint() {
    {
        std::lock_guard lock(mu_);
        changed_ |= QS_PAINT;
    }
    notify_waiters();
}

void Queue::shut_down() {
    std::deque<std::shared_ptr<SentMessage>> waiting;
    {
        std::lock_guard lock(mu_);
        alive_ = false;
        waiting.swap(sent_);
        posted_.clear();
        timers_.clear();
        input_.clear();
        ready_.clear();
    }
    for (auto& sent : waiting) {
        sent->result = 0;
        sent->done.store(true);
    }
    notify_waiters();
}

QueuePtr current_queue() {
    if (!t_owner.queue) {
        auto queue = std::make_shared<Queue>(GetCurrentThreadId());
        auto& r = registry();
        std::lock_guard lock(r.mu);
        r.queues[queue->tid()] = queue;
        t_owner.queue = std::move(queue);
    }
    return t_owner.queue;
}

QueuePtr queue_of_thread(DWORD tid) {
    auto& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.queues.find(tid);
    return it == r.queues.end() ? nullptr : it->second;
}

}  // namespace w32::user

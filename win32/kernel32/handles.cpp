#include <w32/error.h>
#include <w32/object.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>

namespace w32 {
namespace {

constexpr size_t kMaxHandles = 1 << 20;

struct HandleTable {
    std::mutex mu;
    std::vector<ObjectPtr> slots;  // slot i is handle (i + 1) * 4
    std::vector<size_t> free_slots;
    std::map<HANDLE, std::function<ObjectPtr()>> pseudo;
};

HandleTable& table() {
    static HandleTable* t = new HandleTable;  // never destroyed: handles outlive static dtors
    return *t;
}

// A thread blocked in wait(); registered under wait_mutex() for the wait's duration,
// so a change to one object wakes only the threads that wait on it.
struct Waiter {
    const std::vector<ObjectPtr>* objs;
    bool has_extra;
    std::condition_variable cv;
};

std::vector<Waiter*>& waiters() {
    static auto* w = new std::vector<Waiter*>;
    return *w;
}

std::atomic<void (*)()> g_cancel_hook{nullptr};

bool slot_of(HANDLE h, size_t* slot) {
    auto v = reinterpret_cast<uintptr_t>(h);
    if (v == 0 || (v & 3) != 0 || v / 4 > kMaxHandles) return false;
    *slot = v / 4 - 1;
    return true;
}

}  // namespace

HANDLE new_handle(ObjectPtr obj) {
    if (!obj) return nullptr;
    auto& t = table();
    std::lock_guard lock(t.mu);
    size_t slot;
    if (!t.free_slots.empty()) {
        slot = t.free_slots.back();
        t.free_slots.pop_back();
    } else {
        if (t.slots.size() >= kMaxHandles) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        slot = t.slots.size();
        t.slots.emplace_back();
    }
    obj->handle_count.fetch_add(1);
    t.slots[slot] = std::move(obj);
    return reinterpret_cast<HANDLE>((slot + 1) * 4);
}

ObjectPtr get_object(HANDLE h) {
    auto& t = table();
    std::function<ObjectPtr()> resolve;
    {
        std::lock_guard lock(t.mu);
        size_t slot;
        if (slot_of(h, &slot) && slot < t.slots.size() && t.slots[slot]) return t.slots[slot];
        auto it = t.pseudo.find(h);
        if (it != t.pseudo.end()) resolve = it->second;
    }
    if (resolve) {
        if (auto obj = resolve()) return obj;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

bool close_handle(HANDLE h) {
    ObjectPtr obj;
    {
        auto& t = table();
        std::lock_guard lock(t.mu);
        size_t slot;
        if (!slot_of(h, &slot) || slot >= t.slots.size() || !t.slots[slot]) {
            if (t.pseudo.count(h)) return true;  // closing a pseudo handle does nothing
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        obj = std::move(t.slots[slot]);
        t.free_slots.push_back(slot);
    }
    if (obj->handle_count.fetch_sub(1) == 1) obj->last_handle_closed();
    return true;
}

void register_pseudo_handle(HANDLE h, std::function<ObjectPtr()> resolve) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    t.pseudo[h] = std::move(resolve);
}

std::mutex& wait_mutex() {
    static auto* mu = new std::mutex;
    return *mu;
}

void notify_waiters() {
    // Under the lock, so the wake-up comes after any waiter's last check.
    std::lock_guard lock(wait_mutex());
    for (Waiter* w : waiters()) w->cv.notify_one();
}

void notify_waiters(const Object* changed) {
    std::lock_guard lock(wait_mutex());
    for (Waiter* w : waiters()) {
        bool interested = w->has_extra;
        for (size_t i = 0; !interested && i < w->objs->size(); ++i)
            interested = (*w->objs)[i].get() == changed;
        if (interested) w->cv.notify_one();
    }
}

void set_cancel_point_hook(void (*hook)()) { g_cancel_hook = hook; }

void cancel_point() {
    if (auto hook = g_cancel_hook.load()) hook();
}

DWORD wait(const std::vector<ObjectPtr>& objs, bool all, DWORD timeout_ms,
           const std::function<bool()>& extra) {
    for (auto& o : objs) {
        if (!o || !o->waitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    cancel_point();
    using clock = std::chrono::steady_clock;
    const bool forever = timeout_ms == INFINITE;
    const auto deadline = clock::now() + std::chrono::milliseconds(forever ? 0 : timeout_ms);
    const DWORD tid = GetCurrentThreadId();

    int poll = -1;
    for (auto& o : objs) {
        int p = o->poll_ms();
        if (p > 0 && (poll < 0 || p < poll)) poll = p;
    }

    std::unique_lock lock(wait_mutex());
    Waiter self{&objs, static_cast<bool>(extra), {}};
    waiters().push_back(&self);
    for (auto& o : objs) o->engine_waiters.fetch_add(1);
    struct Unregister {
        Waiter* w;
        std::unique_lock<std::mutex>& lock;
        ~Unregister() {
            if (!lock.owns_lock()) lock.lock();  // a thread unwound from a cancel point
            auto& list = waiters();
            list.erase(std::find(list.begin(), list.end(), w));
            for (auto& o : *w->objs) o->engine_waiters.fetch_sub(1);
        }
    } unregister{&self, lock};
    auto probes_done = [&objs] {
        for (auto& o : objs) o->probe_done();
    };
    // Wait-all tests and takes every object under its own state lock at once; an
    // object named twice (a message wait may) is locked once.
    auto distinct = [&objs](size_t i) {
        for (size_t j = 0; j < i; ++j)
            if (objs[j] == objs[i]) return false;
        return true;
    };
    auto lock_all = [&](bool locking) {
        for (size_t i = 0; i < objs.size(); ++i) {
            if (!distinct(i)) continue;
            if (locking)
                objs[i]->lock_state();
            else
                objs[i]->unlock_state();
        }
    };
    for (;;) {
        if (all && !objs.empty()) {
            lock_all(true);
            bool ready = true;
            for (auto& o : objs) ready = ready && o->signaled(tid);
            DWORD result = WAIT_OBJECT_0;
            if (ready) {
                for (size_t i = 0; i < objs.size(); ++i) {
                    if (objs[i]->acquire(tid) == WAIT_ABANDONED_0 && result == WAIT_OBJECT_0)
                        result = WAIT_ABANDONED_0 + static_cast<DWORD>(i);
                }
            }
            lock_all(false);
            if (ready) return result;
        } else {
            for (size_t i = 0; i < objs.size(); ++i) {
                Object& o = *objs[i];
                o.lock_state();
                const bool ready = o.signaled(tid);
                const DWORD result = ready ? o.acquire(tid) + static_cast<DWORD>(i) : 0;
                o.unlock_state();
                if (ready) {
                    probes_done();
                    return result;
                }
            }
        }
        probes_done();
        if (extra && extra()) return WAIT_OBJECT_0 + static_cast<DWORD>(objs.size());

        auto now = clock::now();
        if (!forever && now >= deadline) return WAIT_TIMEOUT;
        auto until = forever ? clock::time_point::max() : deadline;
        if (poll > 0) until = std::min(until, now + std::chrono::milliseconds(poll));
        if (until == clock::time_point::max()) {
            self.cv.wait(lock);
        } else {
            self.cv.wait_until(lock, until);
        }
        lock.unlock();
        cancel_point();
        lock.lock();
    }
}

}  // namespace w32

using namespace w32;

BOOL WINAPI CloseHandle(HANDLE object) { return close_handle(object) ? TRUE : FALSE; }

BOOL WINAPI DuplicateHandle(HANDLE, HANDLE source, HANDLE, LPHANDLE target, DWORD, BOOL,
                            DWORD options) {
    auto obj = get_object(source);
    if (!obj || !target) return fail(obj ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    HANDLE h = new_handle(obj);
    if (!h) return FALSE;
    *target = h;
    if (options & DUPLICATE_CLOSE_SOURCE) close_handle(source);
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    auto obj = get_object(object);
    if (!obj) return WAIT_FAILED;
    DWORD result;
    if (obj->wait_alone(milliseconds, &result)) return result;
    return wait({obj}, false, milliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                    DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<ObjectPtr> objs;
    objs.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto obj = get_object(handles[i]);
        if (!obj) return WAIT_FAILED;
        // Waiting for all of one object twice could never be satisfied.
        if (wait_all && std::find(objs.begin(), objs.end(), obj) != objs.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        objs.push_back(std::move(obj));
    }
    DWORD result;
    if (count == 1 && objs[0]->wait_alone(milliseconds, &result)) return result;
    return wait(objs, wait_all != FALSE, milliseconds);
}

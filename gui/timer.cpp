#include "gui/timer.h"

#include <cstdint>
#include <cstdlib>

#include "gui/core/mutex.h"
#include "gui/ctrl.h"

namespace Gui {
namespace {

StaticMutex g_timer_lock;

// The sentinel of the circular list.
struct TimerList {
    TimerEntry head{&head, &head, 0, 0, Callback(), nullptr};
    static void Unlink(TimerEntry* e) {
        e->prev->next = e->next;
        e->next->prev = e->prev;
        e->prev = e->next = e;
    }
};

// Timer lock held. Never destroyed: static owners torn down after the exit teardown
// still find a list, an empty one, to kill their entries in.
TimerEntry& Head() {
    static TimerList* list = new TimerList;
    return list->head;
}

// The exit teardown: entries still scheduled are freed without running.
void ClearTimeCallbacks() {
    TimerEntry* doomed = nullptr;
    {
        StaticMutex::Lock lock(g_timer_lock);
        TimerEntry& head = Head();
        while (head.next != &head) {
            TimerEntry* e = head.next;
            TimerList::Unlink(e);
            e->next = doomed;
            doomed = e;
        }
    }
    while (doomed) {
        TimerEntry* next = doomed->next;
        delete doomed;
        doomed = next;
    }
}

// True when tick a comes before tick b, across the 32-bit wrap.
bool Before(DWORD a, DWORD b) { return static_cast<int32_t>(a - b) < 0; }

DWORD AbsDelay(int delay) {
    return delay < 0 ? 0u - static_cast<DWORD>(delay) : static_cast<DWORD>(delay);
}

// Timer lock held. After the entries due at or before it, so equal due times keep
// the order in which they were added. New entries are mostly due last: the walk
// starts at the tail, which finds the same place as a walk from the head.
void Insert(TimerEntry* entry) {
    TimerEntry& head = Head();
    TimerEntry* after = head.prev;
    while (after != &head && Before(entry->due, after->due)) after = after->prev;
    entry->prev = after;
    entry->next = after->next;
    after->next->prev = entry;
    after->next = entry;
}

}  // namespace

void InitTimeCallbacks() {
    {
        StaticMutex::Lock lock(g_timer_lock);
        Head();
    }
    static const bool teardown_registered [[maybe_unused]] = (atexit(&ClearTimeCallbacks) == 0);
}

void SetTimeCallback(int delay_ms, Callback cb, void* id) {
    TimerEntry* entry = new TimerEntry{nullptr, nullptr, 0, delay_ms, std::move(cb), id};
    StaticMutex::Lock lock(g_timer_lock);
    entry->due = GetTickCount() + AbsDelay(delay_ms);
    Insert(entry);
}

void PostCallback(Callback cb, void* id) { SetTimeCallback(1, std::move(cb), id); }

void KillTimeCallback(void* id) { KillTimeCallback(id, static_cast<char*>(id) + 1); }

void KillTimeCallback(void* id, void* id_limit) {
    uintptr_t low = reinterpret_cast<uintptr_t>(id);
    uintptr_t high = reinterpret_cast<uintptr_t>(id_limit);
    TimerEntry* doomed = nullptr;
    {
        StaticMutex::Lock lock(g_timer_lock);
        TimerEntry& head = Head();
        for (TimerEntry* e = head.next; e != &head;) {
            TimerEntry* next = e->next;
            uintptr_t v = reinterpret_cast<uintptr_t>(e->id);
            if (v >= low && v < high) {
                TimerList::Unlink(e);
                e->next = doomed;
                doomed = e;
            }
            e = next;
        }
    }
    // Releasing a callback may run an action's destructor: not under the lock.
    while (doomed) {
        TimerEntry* next = doomed->next;
        delete doomed;
        doomed = next;
    }
}

bool ExistsTimeCallback(void* id) {
    StaticMutex::Lock lock(g_timer_lock);
    TimerEntry& head = Head();
    for (TimerEntry* e = head.next; e != &head; e = e->next) {
        if (e->id == id) return true;
    }
    return false;
}

void ProcessTimeCallbacks(DWORD now) {
    // Due times are compared with now by signed difference, so a pass needs no
    // record of the previous tick to notice the counter's wrap.
    Ctrl::CheckMouseLeave();
    g_timer_lock.Enter();
    TimerEntry& head = Head();
    for (;;) {
        TimerEntry* e = head.next;
        if (e == &head || !Before(e->due, now)) break;
        TimerList::Unlink(e);
        // The repeat goes in before the call, so the callback may kill it by id.
        if (e->delay < 0) {
            Insert(new TimerEntry{nullptr, nullptr, now + AbsDelay(e->delay), e->delay, e->callback,
                                  e->id});
        }
        g_timer_lock.Leave();
        e->callback();
        delete e;
        g_timer_lock.Enter();
    }
    g_timer_lock.Leave();
}

LRESULT CALLBACK TimerWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER) {
        ProcessTimeCallbacks(GetTickCount());
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace Gui

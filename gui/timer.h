// Time callbacks: one process-wide list of callbacks with due times on the 32-bit
// GetTickCount clock, run on the user-interface thread by the timer window's 10 ms
// WM_TIMER, in due-time order. Any thread may add and kill entries; a delay of 0
// or 1 is how a worker posts a result to the user-interface thread. No lock is
// held while a callback runs, so callbacks may add and kill entries, their own too.
// Due times are compared by signed difference, so the tick wrap changes nothing.
#pragma once

#include <windows.h>

#include "gui/core/callback.h"

namespace Gui {

struct TimerEntry {
    TimerEntry* prev;
    TimerEntry* next;
    DWORD due;
    int delay;  // negative: repeats every -delay ms
    Callback callback;
    void* id;
};

// Runs the callback once abs(delay) ms from now; a negative delay repeats.
void SetTimeCallback(int delay_ms, Callback cb, void* id = nullptr);
void PostCallback(Callback cb, void* id = nullptr);
// Removes every entry whose id lies in [id, id + 1).
void KillTimeCallback(void* id);
// Removes every entry whose id lies in [id, id_limit).
void KillTimeCallback(void* id, void* id_limit);
bool ExistsTimeCallback(void* id);

// One timer pass at the tick now: runs the entries due before it.
void ProcessTimeCallbacks(DWORD now);
// The procedure of the "GTK2-TIMER" window.
LRESULT CALLBACK TimerWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Creates the list and registers its exit teardown, which frees the entries still
// scheduled without running them; start-up does it before the timer window exists.
void InitTimeCallbacks();

// A member whose address is the id of the entries it owns; they go with it.
class TimeCallback {
public:
    TimeCallback() = default;
    TimeCallback(const TimeCallback&) = delete;
    TimeCallback& operator=(const TimeCallback&) = delete;
    ~TimeCallback() { Kill(); }

    void Set(int delay_ms, Callback cb) { SetTimeCallback(delay_ms, cb, this); }
    void KillSet(int delay_ms, Callback cb) {
        Kill();
        Set(delay_ms, cb);
    }
    void Kill() { KillTimeCallback(this); }
    bool Exists() { return ExistsTimeCallback(this); }

private:
    char dummy_ = 0;
};

}  // namespace Gui

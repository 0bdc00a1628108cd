// SetTimer and KillTimer. A timer belongs to the queue of its window's thread (or of
// the calling thread for a thread timer) and is turned into WM_TIMER there.
#include "message_queue.h"
#include "window.h"

#include <algorithm>

using namespace w32::user;

namespace {

QueuePtr timer_queue(HWND hwnd) {
    if (!hwnd) return current_queue();
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    if (w->tid != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return w->queue;
}

}  // namespace

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto queue = timer_queue(hwnd);
    if (!queue) return 0;
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    return queue->set_timer(hwnd, id, elapse, proc);
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    auto queue = timer_queue(hwnd);
    if (!queue) return FALSE;
    if (!queue->kill_timer(hwnd, id)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

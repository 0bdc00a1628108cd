// Sleep goes through the wait engine, so that a thread that TerminateThread marked
// stops in it at once.
#include <w32/object.h>

#include <sched.h>

using namespace w32;

void WINAPI Sleep(DWORD milliseconds) { SleepEx(milliseconds, FALSE); }

// No asynchronous procedure calls are ever queued here, so an alertable sleep
// never ends early with WAIT_IO_COMPLETION.
DWORD WINAPI SleepEx(DWORD milliseconds, BOOL) {
    if (milliseconds == 0) {
        cancel_point();
        sched_yield();
        return 0;
    }
    wait({}, false, milliseconds);
    return 0;
}

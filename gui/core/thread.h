// A thread handle that runs a Callback on a new thread, and the process-wide count
// of such threads with a shutdown wait. The object does not wait for its thread
// when it goes away; one thread owns each object, which is not locked.
#pragma once

#include <windows.h>

#include "gui/core/callback.h"

namespace Gui {

class Thread {
public:
    Thread();
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets go of a thread held before, then starts one that runs the callback.
    bool Run(Callback cb);
    // Runs the callback on a thread nobody waits for.
    static void Start(Callback cb);

    void Detach();
    bool IsOpen() const { return handle_ != NULL; }
    bool Terminate();
    bool IsRunning();
    // The exit code, after waiting; -1 without a thread, 0x80000000 when the wait fails.
    int Wait();
    // 100 is normal; at most 25 lowest, above 175 highest.
    bool SetPriority(int percent);
    HANDLE GetHandle() const { return handle_; }

    // Threads started by Run whose callback has not yet returned.
    static int GetCount();
    // Waits until every such thread has returned; the threads are expected to
    // poll IsShutdownThreads.
    static void ShutdownThreads();
    static bool IsShutdownThreads();
    // True until the first Run.
    static bool IsSingleThreaded();
    static void PauseStep();

private:
    static unsigned __stdcall ThreadEntry(void* argument);
    static void DeleteCallbackCopy(Callback* copy);
    static void Uncount(DWORD thread_id);

    HANDLE handle_;
};

}  // namespace Gui

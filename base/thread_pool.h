// A pool of worker threads, each with its own task queue, lock and semaphore. A
// task goes to the least loaded worker (urgent ones to the front of its queue); a
// worker whose queue is empty takes every other task of the longest queue; a run
// gate pauses all workers between passes of their loop. Callbacks bound to the
// pool do nothing once it is gone. Lock order: the pool lock, then a worker lock;
// a thief takes the pool lock, the victim's lock, then its own. No lock is held
// while a task runs.
#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "gui/core/callback.h"
#include "gui/core/mutex.h"
#include "gui/core/pte.h"
#include "gui/core/semaphore.h"
#include "gui/core/thread.h"

namespace base {

class ThreadPool : public Gui::Pte<ThreadPool> {
public:
    struct Task {
        Gui::Callback callback;
        DWORD tag = 0;  // what cancel and requeue match; 0 is untagged
    };

    // One worker, owned by the pool's table; it removes itself when it leaves.
    struct TheThread {
        explicit TheThread(int index_) : index(index_) {}

        Gui::Thread thread;
        int index;
        volatile LONG busy = 0;        // running tasks of its queue
        volatile LONG count = 0;       // queue length; written under the lock, read without it
        volatile LONG terminated = 0;  // set by a stop that had to terminate the worker
        std::deque<Task> queue;
        Gui::Mutex lock;
        Gui::Semaphore semaphore;  // released when the queue goes from empty to one task
    };

    ThreadPool();
    virtual ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Grows or shrinks the set of workers; a negative count is ignored.
    void SetThreadCount(int n);
    // False when the pool has no workers; the pool keeps its own reference.
    bool PostTask(Gui::Callback callback, bool urgent = false, DWORD tag = 0);
    // Asks every worker to leave and waits up to the stop time-out, then
    // terminates those still there.
    void Stop();
    void SetStopTimeout(DWORD ms);
    void Pause();
    void Resume();
    void ClearTasks();
    // One entry per slot of the worker table: its queue length, 0 for an empty slot.
    std::vector<int> GetQueueLengths();
    void CancelTask(DWORD tag);
    void CancelTasks(const std::vector<DWORD>& tags);
    void RequeueTask(DWORD tag, bool urgent);
    void RequeueTasks(const std::vector<DWORD>& tags, bool urgent);

protected:
    // Runs one task on the calling worker thread.
    virtual void RunTask(Task& task, TheThread& worker);

private:
    void WorkerLoop(TheThread* self);
    void Steal(TheThread* self);
    // Pool lock held.
    void TerminateWorkers();
    static void ReplaceCount(TheThread* w);

    Gui::Mutex lock_;
    bool stopping_;
    Gui::Semaphore semaphore_;  // released when the last worker leaves during a stop
    volatile LONG thread_count_;
    volatile LONG live_;
    volatile LONG pending_;
    std::vector<TheThread*> workers_;
    HANDLE run_gate_;
    DWORD stop_timeout_;
};

}  // namespace base

#include "base/thread_pool.h"

#include <algorithm>
#include <utility>

namespace base {
namespace {

// Counts and flags that placement and stealing read without the owner's lock.
LONG Load(const volatile LONG& v) { return __atomic_load_n(&v, __ATOMIC_RELAXED); }
void Store(volatile LONG& v, LONG value) { __atomic_store_n(&v, value, __ATOMIC_RELAXED); }

}  // namespace

ThreadPool::ThreadPool()
    : stopping_(false),
      thread_count_(0),
      live_(0),
      pending_(0),
      run_gate_(CreateEventW(NULL, TRUE, TRUE, NULL)),
      stop_timeout_(2000) {}

ThreadPool::~ThreadPool() {
    Stop();
    // Workers that had to be terminated keep their records: their threads may
    // not have reached the point where they stop yet.
    workers_.clear();
    CloseHandle(run_gate_);
}

void ThreadPool::ReplaceCount(TheThread* w) { Store(w->count, static_cast<LONG>(w->queue.size())); }

void ThreadPool::SetThreadCount(int n) {
    if (n < 0) return;
    Gui::Mutex::Lock lock(lock_);
    int old = thread_count_;
    if (n == old || stopping_) return;
    if (n < old) {
        Store(thread_count_, n);
        for (int i = old - 1; i >= n; --i) {
            if (i < static_cast<int>(workers_.size()) && workers_[i])
                workers_[i]->semaphore.Release();
        }
        return;
    }
    if (static_cast<int>(workers_.size()) < n) workers_.resize(n, nullptr);
    Store(thread_count_, n);
    for (int i = old; i < n; ++i) {
        if (workers_[i]) continue;  // told to leave, not gone yet: it stays on
        TheThread* w = new TheThread(i);
        workers_[i] = w;
        InterlockedIncrement(&live_);
        if (w->thread.Run(Gui::MakePteCallback(this, &ThreadPool::WorkerLoop, w))) continue;
        // No thread: the pool ends at the last worker that started.
        workers_[i] = nullptr;
        delete w;
        InterlockedDecrement(&live_);
        Store(thread_count_, i);
        for (int j = n - 1; j > i; --j) {
            if (workers_[j]) workers_[j]->semaphore.Release();
        }
        break;
    }
}

bool ThreadPool::PostTask(Gui::Callback callback, bool urgent, DWORD tag) {
    Gui::Mutex::Lock lock(lock_);
    int n = std::min<int>(Load(thread_count_), static_cast<int>(workers_.size()));
    TheThread* chosen = nullptr;
    LONG best = 0x7fffffff;
    for (int i = 0; i < n; ++i) {
        TheThread* w = workers_[i];
        if (!w) continue;
        LONG load = Load(w->busy) + Load(w->count);
        if (load < best || !chosen) {
            best = load;
            chosen = w;
        }
    }
    if (!chosen) return false;
    bool wake;
    {
        Gui::Mutex::Lock worker_lock(chosen->lock);
        Task task{std::move(callback), tag};
        if (urgent)
            chosen->queue.push_front(std::move(task));
        else
            chosen->queue.push_back(std::move(task));
        ReplaceCount(chosen);
        wake = chosen->queue.size() == 1;
    }
    InterlockedIncrement(&pending_);
    // Outside the worker's lock, which the woken worker takes first thing; the pool
    // lock still keeps the worker from leaving.
    if (wake) chosen->semaphore.Release();
    return true;
}

void ThreadPool::RunTask(Task& task, TheThread&) { task.callback(); }

void ThreadPool::WorkerLoop(TheThread* self) {
    Task last;  // the reference to the task run last goes when the worker leaves
    for (;;) {
        WaitForSingleObject(run_gate_, INFINITE);
        if (Load(self->count) == 0 && Load(pending_) > 0) Steal(self);
        if (Load(self->count) == 0) self->semaphore.Wait();

        Store(self->busy, 1);
        while (Load(self->count) > 0) {
            Task next;
            {
                Gui::Mutex::Lock lock(self->lock);
                if (Load(self->count) == 0) break;
                InterlockedDecrement(&pending_);
                next = std::move(self->queue.front());
                self->queue.pop_front();
                ReplaceCount(self);
            }
            last = std::move(next);  // drops the previous task outside the lock
            RunTask(last, *self);
            // A terminated thread ends at its next wait; one that comes back from its
            // task first must not touch the pool again, which may be gone by now. Its
            // record is never freed, so reading the flag is safe.
            if (Load(self->terminated)) Sleep(INFINITE);
        }
        Store(self->busy, 0);

        if (Load(thread_count_) > self->index) continue;
        std::deque<Task> left_over;
        {
            Gui::Mutex::Lock lock(lock_);
            if (Load(self->terminated)) break;  // its slot and count were taken from it
            if (thread_count_ > self->index) continue;
            workers_[self->index] = nullptr;
            left_over.swap(self->queue);
            delete self;
            if (InterlockedDecrement(&live_) == 0 && stopping_) semaphore_.Release();
        }
        // The pool may be gone from here on.
        return;
    }
    Sleep(INFINITE);  // terminated: stops here, outside the pool lock
}

void ThreadPool::Steal(TheThread* self) {
    Gui::Mutex::Lock pool_lock(lock_);
    TheThread* victim = nullptr;
    LONG most = 0;
    for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
        TheThread* w = workers_[i];
        if (!w || w == self) continue;
        LONG c = Load(w->count);
        if (c > most) {
            most = c;
            victim = w;
        }
    }
    if (!victim) return;
    Gui::Mutex::Lock victim_lock(victim->lock);
    if (Load(victim->count) <= 0) return;
    Gui::Mutex::Lock own_lock(self->lock);
    std::deque<Task> all;
    all.swap(victim->queue);
    bool mine = true;
    for (Task& t : all) {
        (mine ? self->queue : victim->queue).push_back(std::move(t));
        mine = !mine;
    }
    ReplaceCount(self);
    ReplaceCount(victim);
}

void ThreadPool::Stop() {
    {
        Gui::Mutex::Lock lock(lock_);
        stopping_ = true;
        Store(thread_count_, 0);
        for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
            TheThread* w = workers_[i];
            if (!w) continue;
            Gui::Mutex::Lock worker_lock(w->lock);
            Store(w->count, 0);
            w->semaphore.Release();
        }
        Store(pending_, 0);
    }
    DWORD start = GetTickCount();
    while (Load(live_) != 0) {
        if (GetTickCount() - start > stop_timeout_ ||
            !semaphore_.Wait(static_cast<int>(stop_timeout_))) {
            Gui::Mutex::Lock lock(lock_);
            TerminateWorkers();
            break;
        }
    }
    {
        Gui::Mutex::Lock lock(lock_);
        stopping_ = false;
    }
    Sleep(100);
}

void ThreadPool::TerminateWorkers() {
    for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
        TheThread* w = workers_[i];
        if (!w || !w->thread.IsOpen()) continue;
        Store(w->terminated, 1);
        if (!w->thread.Terminate()) continue;
        // Gone for good: its slot is free for a new worker and it is no longer
        // live. The record itself is never freed (see WorkerLoop).
        workers_[i] = nullptr;
        InterlockedDecrement(&live_);
    }
}

void ThreadPool::SetStopTimeout(DWORD ms) {
    Gui::Mutex::Lock lock(lock_);
    stop_timeout_ = ms;
}

void ThreadPool::Pause() { ResetEvent(run_gate_); }

void ThreadPool::Resume() { SetEvent(run_gate_); }

void ThreadPool::ClearTasks() {
    std::vector<std::deque<Task>> dropped;
    {
        Gui::Mutex::Lock lock(lock_);
        for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
            TheThread* w = workers_[i];
            if (!w) continue;
            Gui::Mutex::Lock worker_lock(w->lock);
            dropped.emplace_back();
            dropped.back().swap(w->queue);
            ReplaceCount(w);
            w->semaphore.Release();
        }
        Store(pending_, 0);
    }
}

std::vector<int> ThreadPool::GetQueueLengths() {
    Gui::Mutex::Lock lock(lock_);
    std::vector<int> lengths;
    lengths.reserve(workers_.size());
    for (TheThread* w : workers_) lengths.push_back(w ? static_cast<int>(Load(w->count)) : 0);
    return lengths;
}

void ThreadPool::CancelTask(DWORD tag) {
    if (tag == 0) return;
    CancelTasks(std::vector<DWORD>{tag});
}

void ThreadPool::CancelTasks(const std::vector<DWORD>& tags) {
    if (tags.empty()) return;
    std::deque<Task> dropped;
    Gui::Mutex::Lock lock(lock_);
    for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
        TheThread* w = workers_[i];
        if (!w) continue;
        Gui::Mutex::Lock worker_lock(w->lock);
        LONG before = static_cast<LONG>(w->queue.size());
        std::deque<Task> kept;
        for (Task& t : w->queue) {
            bool hit = t.tag != 0 && std::find(tags.begin(), tags.end(), t.tag) != tags.end();
            (hit ? dropped : kept).push_back(std::move(t));
        }
        w->queue.swap(kept);
        ReplaceCount(w);
        InterlockedExchangeAdd(&pending_, static_cast<LONG>(w->queue.size()) - before);
        w->semaphore.Release();
    }
}

void ThreadPool::RequeueTask(DWORD tag, bool urgent) {
    if (tag == 0) return;
    RequeueTasks(std::vector<DWORD>{tag}, urgent);
}

void ThreadPool::RequeueTasks(const std::vector<DWORD>& tags, bool urgent) {
    if (tags.empty()) return;
    Gui::Mutex::Lock lock(lock_);
    for (int i = static_cast<int>(workers_.size()) - 1; i >= 0; --i) {
        TheThread* w = workers_[i];
        if (!w) continue;
        Gui::Mutex::Lock worker_lock(w->lock);
        std::vector<Task> taken;
        for (DWORD tag : tags) {
            if (tag == 0) continue;
            auto it = std::find_if(w->queue.begin(), w->queue.end(),
                                   [tag](const Task& t) { return t.tag == tag; });
            if (it == w->queue.end()) continue;
            taken.push_back(std::move(*it));
            w->queue.erase(it);
        }
        for (Task& t : taken) {
            if (urgent)
                w->queue.push_front(std::move(t));
            else
                w->queue.push_back(std::move(t));
        }
        ReplaceCount(w);
        w->semaphore.Release();
    }
}

}  // namespace base

// Mutexes: owned by one thread at a time, re-entrant for it, abandoned when the
// owner ends without releasing. A named mutex is one object for all the user's
// processes (see mutex_file.h); within a process the name opens the same object.
#include "mutex_file.h"
#include "named_objects.h"
#include "thread_object.h"

#include <w32/error.h>

#include <algorithm>

namespace w32 {
namespace {

// How often a wait looks at a mutex that another process owns.
constexpr int kPollMs = 10;

class MutexObject : public Object,
                    public Ownable,
                    public std::enable_shared_from_this<MutexObject> {
public:
    MutexObject(std::wstring key, std::unique_ptr<MutexFile> file)
        : key_(std::move(key)), file_(std::move(file)) {}

    Kind kind() const override { return Kind::Mutex; }
    bool waitable() const override { return true; }
    int poll_ms() const override { return file_ ? kPollMs : -1; }

    bool signaled(DWORD tid) const override {
        if (owner_ != 0) return owner_ == tid;
        return !file_ || file_->try_lock();
    }

    DWORD acquire(DWORD tid) override {
        if (owner_ == tid) {
            ++count_;
            return WAIT_OBJECT_0;
        }
        take(tid);
        bool abandoned = abandoned_;
        abandoned_ = false;
        if (file_ && file_->try_lock()) abandoned = file_->take_abandoned_mark() || abandoned;
        return abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
    }

    void probe_done() override {
        if (owner_ == 0 && file_) file_->unlock(false);
    }

    void abandon(DWORD tid) override {
        if (owner_ != tid) return;
        owner_ = 0;
        count_ = 0;
        if (file_) {
            file_->unlock(false);
        } else {
            abandoned_ = true;
        }
    }

    void last_handle_closed() override {
        if (!key_.empty()) forget_name(key_, this);
        std::unique_ptr<MutexFile> file;
        {
            std::lock_guard lock(wait_mutex());
            file = std::move(file_);
        }
        // Other processes may take the name (and the ownership) from now on.
    }

    // With wait_mutex() held: makes the calling thread (tid) the owner, once.
    void take(DWORD tid) {
        owner_ = tid;
        count_ = 1;
        current_thread()->owned.push_back(weak_from_this());
    }

    // With wait_mutex() held.
    bool release(DWORD tid) {
        if (owner_ != tid || owner_ == 0) return false;
        if (--count_ > 0) return true;
        owner_ = 0;
        if (file_) file_->unlock(true);
        auto& owned = current_thread()->owned;
        const Ownable* self = this;
        owned.erase(std::remove_if(owned.begin(), owned.end(),
                                   [self](const std::weak_ptr<Ownable>& w) {
                                       auto o = w.lock();
                                       return !o || o.get() == self;
                                   }),
                    owned.end());
        return true;
    }

private:
    const std::wstring key_;
    std::unique_ptr<MutexFile> file_;
    DWORD owner_ = 0;
    LONG count_ = 0;
    bool abandoned_ = false;
};

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name) {
    const DWORD tid = GetCurrentThreadId();
    if (!name || !*name) {
        auto obj = std::make_shared<MutexObject>(L"", nullptr);
        if (initial_owner) {
            std::lock_guard lock(wait_mutex());
            obj->take(tid);
        }
        return new_handle(obj);
    }
    auto key = object_key(name);
    return named_handle(key, Kind::Mutex, [&](bool* existed) -> ObjectPtr {
        auto file = MutexFile::open(key, initial_owner, existed);
        if (!file) return nullptr;
        bool owned = file->locked();
        auto obj = std::make_shared<MutexObject>(key, std::move(file));
        if (owned) {
            std::lock_guard lock(wait_mutex());
            obj->take(tid);
        }
        return obj;
    });
}

BOOL WINAPI ReleaseMutex(HANDLE mutex) {
    auto obj = get_as<MutexObject>(mutex);
    if (!obj) return FALSE;
    {
        std::lock_guard lock(wait_mutex());
        if (!obj->release(GetCurrentThreadId())) return fail(ERROR_NOT_OWNER);
    }
    notify_waiters(obj.get());
    return TRUE;
}

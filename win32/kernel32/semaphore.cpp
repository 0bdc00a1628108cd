// Counting semaphores: each satisfied wait takes one count; a release past the
// maximum is refused whole. Named semaphores are shared within the process.
#include "fast_waitable.h"
#include "named_objects.h"

#include <w32/error.h>

namespace w32 {
namespace {

class SemaphoreObject : public FastWaitable {
public:
    SemaphoreObject(LONG count, LONG maximum, std::wstring key)
        : count_(count), maximum_(maximum), key_(std::move(key)) {}

    Kind kind() const override { return Kind::Semaphore; }
    // These two with the state lock held.
    bool signaled(DWORD) const override { return count_ > 0; }
    DWORD acquire(DWORD) override {
        --count_;
        return WAIT_OBJECT_0;
    }
    void last_handle_closed() override {
        if (!key_.empty()) forget_name(key_, this);
    }

    // False when the count would pass the maximum.
    bool release(LONG n, LONG* previous) {
        return change_state([&] {
            if (static_cast<int64_t>(count_) + n > maximum_) return false;
            *previous = count_;
            count_ += n;
            return true;
        });
    }

private:
    LONG count_;
    const LONG maximum_;
    const std::wstring key_;
};

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initial_count, LONG maximum_count,
                               LPCWSTR name) {
    if (maximum_count <= 0 || initial_count < 0 || initial_count > maximum_count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!name || !*name) {
        return new_handle(std::make_shared<SemaphoreObject>(initial_count, maximum_count, L""));
    }
    auto key = object_key(name);
    return named_handle(key, Kind::Semaphore, [&](bool*) -> ObjectPtr {
        return std::make_shared<SemaphoreObject>(initial_count, maximum_count, key);
    });
}

BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG release_count, LPLONG previous_count) {
    auto obj = get_as<SemaphoreObject>(semaphore);
    if (!obj) return FALSE;
    if (release_count <= 0) return fail(ERROR_INVALID_PARAMETER);
    LONG previous = 0;
    if (!obj->release(release_count, &previous)) return fail(ERROR_TOO_MANY_POSTS);
    if (previous_count) *previous_count = previous;
    return TRUE;
}

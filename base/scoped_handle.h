// Owns one kernel handle and closes it when it goes out of scope. Null and
// INVALID_HANDLE_VALUE both mean "no handle", as different Windows calls fail
// with one or the other.
#pragma once

#include <windows.h>

namespace base {

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~ScopedHandle() { Reset(); }

    bool IsValid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    // For out-parameters: closes what is held and hands out the slot.
    HANDLE* Receive() {
        Reset();
        return &handle_;
    }
    HANDLE Release() {
        HANDLE out = handle_;
        handle_ = nullptr;
        return out;
    }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace base

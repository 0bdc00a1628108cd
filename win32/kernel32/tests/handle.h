// Closes a kernel handle when a test's scope ends, so a failed assertion leaks none.
#pragma once

#include <windows.h>

#include <utility>

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, nullptr); }

private:
    HANDLE h_;
};

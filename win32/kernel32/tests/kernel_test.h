// What the kernel32 tests share: the last error of a failed call, a handle holder,
// and the child program the process tests start.
#pragma once

#include <windows.h>

#include "child_program.h"
#include "file_test_folder.h"
#include "testing/win32_fork.h"
#include "testing/win32_last_error.h"

using testing_support::Failed;

// Closes a kernel handle when a test's scope ends, so a failed assertion leaks none.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// What the kernel32 tests share: the last error of a failed call, a handle holder,
// a folder with a drive table, and the child program the process tests start.
#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "child_program.h"
#include "testing/scoped_env.h"
#include "testing/win32_fork.h"
#include "testing/win32_last_error.h"

using testing_support::Failed;

// Closes a kernel handle when a test's scope ends, so a failed assertion leaks none.
struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Puts the current folder back at the end of a test's scope.
struct BackToStart {
    std::string path = std::filesystem::current_path();
    ~BackToStart() { std::filesystem::current_path(path); }
};

// A test's own folder with a drive table (WIN32_DRIVES) of folders inside it.
class FileTestFolder : public testing_support::TempDir {
public:
    // WIN32_DRIVES = spec, where "%" stands for this folder, until this object goes.
    void set_drives(std::string spec) {
        for (size_t pos; (pos = spec.find('%')) != std::string::npos;) spec.replace(pos, 1, path());
        drives_.Set("WIN32_DRIVES", spec);
    }

private:
    testing_support::ScopedEnvs drives_;
};

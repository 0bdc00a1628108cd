// The lock file that makes a named mutex one object for every process of the user.
//
// One file per name in the user's runtime folder, with two open-file-description
// locks on it: every process that has the mutex open holds a shared lock on byte 0
// (so "does it exist" is "can I lock byte 0 exclusively"), and the process whose
// thread owns the mutex holds byte 1. The kernel drops both when the last handle's
// file is closed or the process dies, so a crashed copy never blocks the next one.
// The file's first byte records whether an owner held it when it was let go
// without a release, which the next owner reports as WAIT_ABANDONED.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace w32 {

class MutexFile {
public:
    // Opens the file of key (creating it), and answers whether another process
    // already has the mutex open. take_ownership applies only when it does not
    // (as CreateMutexW ignores its initial owner for an existing mutex).
    // Null with the last error set when the runtime folder cannot be used.
    static std::unique_ptr<MutexFile> open(const std::wstring& key, bool take_ownership,
                                           bool* existed);
    ~MutexFile();
    MutexFile(const MutexFile&) = delete;
    MutexFile& operator=(const MutexFile&) = delete;

    // Ownership between processes; try_lock never blocks.
    bool locked() const { return locked_; }
    bool try_lock();
    // After try_lock: whether the last owner let go without a release; marks the
    // mutex owned from now on.
    bool take_abandoned_mark();
    // released: the owner released it, so the mark is cleared; otherwise (the
    // owner ended, or a wait only probed the lock) the mark stays as it is.
    void unlock(bool released);

private:
    explicit MutexFile(int fd) : fd_(fd) {}
    void write_mark(char c);

    int fd_;
    bool locked_ = false;
};

// The folder of the lock files: XDG_RUNTIME_DIR/win32-objects, else a folder of
// the user's own under /tmp.
std::string objects_folder();

}  // namespace w32

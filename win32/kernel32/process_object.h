// The kernel object behind a process handle: a child this process started (its
// watcher thread reaps it and keeps the exit code), a process opened by id
// (watched through a pidfd, or by polling /proc), or this process itself. Handles
// to one live process share one object, so a code given to TerminateProcess is
// seen through every handle.
#pragma once

#include <w32/object.h>

#include <sys/types.h>

#include <cstdint>
#include <memory>

namespace w32 {

class ProcessObject : public Object {
public:
    // A child just forked here; starts its watcher.
    static std::shared_ptr<ProcessObject> adopt_child(pid_t pid);
    // Null with the last error set: ERROR_INVALID_PARAMETER when there is no such
    // process, ERROR_ACCESS_DENIED when it belongs to somebody else.
    static std::shared_ptr<ProcessObject> open(pid_t pid);
    static std::shared_ptr<ProcessObject> self();

    ~ProcessObject() override;

    Kind kind() const override { return Kind::Process; }
    bool waitable() const override { return true; }
    bool signaled(DWORD tid) const override;
    int poll_ms() const override;

    pid_t pid() const { return pid_; }
    // STILL_ACTIVE while the process runs.
    DWORD exit_code() const;
    BOOL terminate(UINT code);

private:
    ProcessObject(pid_t pid, int pidfd, uint64_t start, bool child, bool self);
    void watch_child(std::shared_ptr<ProcessObject> keep);
    // With wait_mutex() held.
    bool check_exit_locked() const;

    const pid_t pid_;
    const int pidfd_;
    const uint64_t start_;
    const bool child_;
    const bool self_;

    // Guarded by wait_mutex().
    mutable bool exited_ = false;
    mutable DWORD code_ = 0;
    bool terminated_ = false;
    DWORD terminate_code_ = 0;

    friend class ChildThreadObject;
};

// The main thread of a started child; it ends when the child does.
class ChildThreadObject : public Object {
public:
    explicit ChildThreadObject(std::shared_ptr<ProcessObject> process)
        : process_(std::move(process)) {}
    Kind kind() const override { return Kind::Thread; }
    bool waitable() const override { return true; }
    bool signaled(DWORD tid) const override { return process_->signaled(tid); }
    int poll_ms() const override { return process_->poll_ms(); }

private:
    std::shared_ptr<ProcessObject> process_;
};

}  // namespace w32

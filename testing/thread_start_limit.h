// Leaves too little address space for a new thread while it lives, so that the
// next thread start fails. Stacks of ended threads are cached and reused without
// new address space, so it first takes them all with threads of its own.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

namespace testing_support {

class ThreadStartLimit {
public:
    ThreadStartLimit() {
        for (int i = 0; i < 16; ++i)
            holders_.emplace_back([this] {
                while (!release_) usleep(1000);
            });
        getrlimit(RLIMIT_AS, &saved_);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit tight = saved_;
        tight.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (1 << 20);
        ok_ = setrlimit(RLIMIT_AS, &tight) == 0;
    }
    ~ThreadStartLimit() {
        setrlimit(RLIMIT_AS, &saved_);
        release_ = true;
        for (auto& h : holders_) h.join();
    }
    bool ok() const { return ok_; }

private:
    std::atomic<bool> release_{false};
    std::vector<std::thread> holders_;
    rlimit saved_{};
    bool ok_ = false;
};

}  // namespace testing_support

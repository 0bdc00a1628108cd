// Owns the program's thread pools and creates each on first use with a fixed number
// of workers: the download pool (2) for the engine calls, the HTTP pool (4) for the
// requests. Released before the other managers, so that no worker outlives them.
// The holders are not locked: each pool is first asked for on the user-interface
// thread; pool threads only read a holder afterwards.
#pragma once

#include <memory>

#include "base/object.h"
#include "base/thread_pool.h"

namespace downloader {

class ThreadManager : public base::LogicObject {
public:
    ThreadManager();
    ~ThreadManager() override;
    bool NeedReleaseFirst() override { return true; }

    base::ThreadPool* GetDownloadPool();
    base::ThreadPool* GetHttpPool();
    // Shares the HTTP pool's holder: whichever of the two comes first sizes the pool.
    base::ThreadPool* GetHttpPoolSingle();
    base::ThreadPool* GetPool3();
    base::ThreadPool* GetPool4();
    base::ThreadPool* GetPool5();
    // Destroys the HTTP, download and third pools, in this order.
    void ReleasePools();

private:
    static base::ThreadPool* Get(std::unique_ptr<base::ThreadPool>& holder, int workers);

    std::unique_ptr<base::ThreadPool> pool1_;
    std::unique_ptr<base::ThreadPool> pool2_;
    std::unique_ptr<base::ThreadPool> pool3_;
    std::unique_ptr<base::ThreadPool> pool4_;
    std::unique_ptr<base::ThreadPool> pool5_;
};

}  // namespace downloader

// The controller's one thread manager, made on the first call; null before the
// controller is set.
downloader::ThreadManager* GetThreadManager();

#include "downloader/thread_manager.h"

#include "base/controller.h"

namespace downloader {

ThreadManager::ThreadManager() {}

ThreadManager::~ThreadManager() {
    pool5_.reset();
    pool4_.reset();
    pool3_.reset();
    pool2_.reset();
    pool1_.reset();
}

base::ThreadPool* ThreadManager::Get(std::unique_ptr<base::ThreadPool>& holder, int workers) {
    if (!holder) {
        holder = std::make_unique<base::ThreadPool>();
        holder->SetThreadCount(workers);
    }
    return holder.get();
}

base::ThreadPool* ThreadManager::GetDownloadPool() { return Get(pool1_, 2); }

base::ThreadPool* ThreadManager::GetHttpPool() { return Get(pool2_, 4); }

base::ThreadPool* ThreadManager::GetHttpPoolSingle() { return Get(pool2_, 1); }

base::ThreadPool* ThreadManager::GetPool3() { return Get(pool3_, 1); }

base::ThreadPool* ThreadManager::GetPool4() { return Get(pool4_, 2); }

base::ThreadPool* ThreadManager::GetPool5() { return Get(pool5_, 1); }

void ThreadManager::ReleasePools() {
    pool2_.reset();
    pool1_.reset();
    pool3_.reset();
}

}  // namespace downloader

downloader::ThreadManager* GetThreadManager() {
    return base::GetRegisteredObject<downloader::ThreadManager>();
}

// The engine behind the interface: answers the program's eight operations for the
// games of the engine file, runs at most one transfer at a time, and keeps every
// task in the user's task store.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "downloader/download_engine.h"
#include "settings.h"
#include "task_store.h"

namespace dravon {

class Transfer;
struct Progress;

class Engine {
public:
    explicit Engine(Settings settings);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    int32_t find_task(const DownloadEngineKey* key, DownloadEngineInfo* info);
    int32_t query_task(const DownloadEngineKey* key, DownloadEngineInfo* info);
    int32_t shutdown();
    int32_t start_task(const DownloadEngineKey* key);
    int32_t cancel_task();
    int32_t pause_task();
    int32_t resume_task();
    int32_t query_progress(DownloadEngineInfo* info);

private:
    uint64_t bytes_on_disk(const TaskRecord& rec, bool* complete) const;
    bool closed() const;
    std::shared_ptr<Transfer> current() const;
    // Stops and forgets the current transfer (start_mutex_ held).
    void drop_current();

    const Settings settings_;
    const TaskStore store_;

    // Held by the operations that start or end transfers, which may wait on I/O.
    std::mutex start_mutex_;
    // Guards the two fields below; never held across I/O, so polls never wait on it.
    mutable std::mutex current_mutex_;
    std::shared_ptr<Transfer> current_;
    bool shut_down_ = false;
};

}  // namespace dravon

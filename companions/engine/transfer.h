// One game's download on a thread of its own: prepares the partial file from the
// task record, fetches the missing bytes with ranged requests, rides out transient
// faults, verifies size and MD5, and renames the file into place. A resumed task
// hashes the bytes already on disk, and a finished one is checked again when it
// changed since its check. Every state
// that the program can poll is readable without waiting on the transfer's I/O.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "data_sink.h"
#include "engine_file.h"
#include "http_fetch.h"
#include "settings.h"
#include "speed_meter.h"
#include "task_store.h"

namespace dravon {

struct TaskSpec {
    GameEntry game;
    std::string save_folder;  // as the program named it (Windows path, UTF-8)
    std::string save_dir;     // the same folder as a Linux path
    std::string channel;
};

enum class Phase {
    kStarting,
    kDownloading,
    kWaiting,  // backing off after a transient fault
    kPaused,
    kVerifying,
    kComplete,
    kFailed,       // answered as 3
    kCheckFailed,  // answered as 5
    kStopped,
};

struct Progress {
    Phase phase = Phase::kStarting;
    uint64_t total = 0;
    uint64_t downloaded = 0;
    int32_t speed = 0;
    std::string reason;  // why it failed
};

// Files whose MD5 has been checked. A file changed, replaced or gone since counts as
// unchecked. mark_verified answers the file's identity (device, inode, size, modification
// and change times; empty when it is gone) for the task record, so that a later run
// trusts a file whose identity is still the recorded one.
std::string mark_verified(const std::string& path);
bool is_verified(const std::string& path, const std::string& recorded);

class Transfer {
public:
    // `kept`: the bytes reported until the transfer has checked what is on disk.
    Transfer(TaskSpec spec, const TaskStore& store, FileLock lock, const Settings& settings,
             uint64_t kept);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void start();
    // False when the transfer has already ended.
    bool pause();
    bool resume();
    // Ends the transfer, keeping the partial file and its record, and waits for it.
    void stop();

    Progress progress() const;
    const TaskSpec& spec() const { return spec_; }
    bool ended() const;

private:
    enum class Verdict { kNone, kTransient, kFail, kRangeNotSatisfiable };
    enum class Next { kContinue, kVerify, kFail, kRetry };

    void run();
    bool prepare();
    void download_loop();
    Next classify(const FetchResult& result);
    bool on_head(const ResponseHead& head);
    bool on_body(const char* data, size_t size);
    void on_checkpoint(uint64_t offset, const Md5& md5, bool durable);
    bool wait_backoff(int failures);
    void verify();
    void fail(const std::string& reason);
    bool prepare_failed(const std::string& reason);  // fails and answers false
    void finish(Phase phase, const std::string& reason = {});
    void set_phase(Phase phase);
    void set_validator(const ResponseHead& head);
    std::string partial_path() const;
    std::string final_path() const;

    const TaskSpec spec_;
    const TaskStore& store_;
    const Settings& settings_;
    std::optional<FileLock> lock_;
    HttpFetch fetch_;
    std::unique_ptr<DataSink> sink_;  // worker thread only
    SpeedMeter meter_;

    mutable std::mutex state_mutex_;  // never held across I/O
    std::condition_variable state_cv_;
    Phase phase_ = Phase::kStarting;
    std::string reason_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::atomic<uint64_t> downloaded_{0};

    std::mutex record_mutex_;  // the record is checkpointed from the writer thread
    TaskRecord record_;

    // Worker thread only.
    Verdict verdict_ = Verdict::kNone;
    std::string verdict_reason_;
    ResponseHead last_head_;

    std::thread worker_;
};

}  // namespace dravon

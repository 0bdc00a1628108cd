// Where received bytes go. The receiving thread gathers them into large buffers
// and writes each one to the partial file; a hashing thread runs MD5 over them,
// so the network does not wait for the hash and the hash is ready when the last
// byte is; a checkpoint thread reports the offset and hash state at least every
// `checkpoint_bytes`, and whenever asked. The hash may fall a few buffers behind
// and the reports a few checkpoints behind the hash, no more: then the receiver
// waits, which is what slows the network down to the pace of the hash or the disk.
//
// Two kinds of checkpoint. A plain one only promises that the bytes were handed
// to the kernel, which is all a killed or crashed process needs; it also starts
// their write-back, so the disk keeps up and a later flush has little left to do.
// A durable one flushes the file to disk first (fdatasync), so the bytes also
// survive a power loss: on flush(), restart(), and at most every `sync_interval`.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "md5.h"
#include "posix_file.h"

namespace dravon {

class DataSink {
public:
    using Clock = std::chrono::steady_clock;
    // Called on the checkpoint thread once the data up to `offset` has been written,
    // and flushed to disk when `durable`.
    using CheckpointFn = std::function<void(uint64_t offset, const Md5& md5, bool durable)>;

    struct Options {
        uint64_t checkpoint_bytes = 4 << 20;
        Clock::duration sync_interval = std::chrono::seconds(5);
    };

    // `file` holds `offset` bytes hashed into `md5`, already on disk.
    DataSink(UniqueFd file, uint64_t offset, Md5 md5, Options options, CheckpointFn checkpoint);
    ~DataSink();
    DataSink(const DataSink&) = delete;
    DataSink& operator=(const DataSink&) = delete;

    // Receiving side. False once a write has failed (see write_error()).
    bool append(const char* data, size_t size);
    // Drops every byte: the file is emptied and the hash starts over (a checkpoint
    // at 0 is reported before this returns).
    bool restart();
    // Everything appended is written, hashed, flushed to disk and checkpointed
    // (durably) on return.
    bool flush();

    uint64_t received() const { return received_; }
    int write_error() const { return write_error_; }
    // Valid after flush().
    uint64_t written() const { return written_; }
    std::string hex_digest() const;
    // Stops the threads and gives the file back.
    UniqueFd close();

private:
    using Buffer = std::unique_ptr<std::vector<char>>;
    struct Job {
        enum Kind { kData, kSync, kTruncate } kind;
        Buffer buffer;
        uint64_t seq;
    };

    void hand_off();
    void wait_done(uint64_t seq);
    uint64_t submit(Job::Kind kind);
    void hash_loop();
    void checkpoint_loop();
    // Hashing thread: asks for a checkpoint at the current offset; waits for it if asked.
    void request_checkpoint(bool durable, bool wait);
    // Checkpoint thread: the bytes up to `offset` are in the kernel, or on disk.
    bool commit(uint64_t offset, bool durable);

    static constexpr size_t kBufferSize = 1 << 20;
    static constexpr int kBuffers = 4;
    // Checkpoints' worth of hashed bytes the saved record may trail by.
    static constexpr uint64_t kMaxRecordLag = 3;

    UniqueFd file_;
    const Options options_;
    CheckpointFn checkpoint_fn_;

    // Receiving thread.
    Buffer current_;
    Clock::time_point last_handoff_;
    std::atomic<uint64_t> received_;
    std::atomic<uint64_t> written_;
    std::atomic<int> write_error_{0};

    mutable std::mutex mutex_;
    std::condition_variable jobs_cv_;        // the hashing thread waits for work
    std::condition_variable done_cv_;        // the receiver waits for buffers and jobs
    std::condition_variable checkpoint_cv_;  // wishes, and checkpoints met
    std::deque<Job> queue_;
    std::vector<Buffer> free_;
    uint64_t next_seq_ = 1;
    uint64_t done_seq_ = 0;
    bool stopping_ = false;
    bool checkpointer_stopping_ = false;
    // Checkpoint hand-over: the latest wish, and how many were asked for and met.
    struct Wish {
        uint64_t offset;
        Md5 md5;
        bool durable;
    };
    std::optional<Wish> wanted_;
    uint64_t checkpoints_started_ = 0, checkpoints_done_ = 0;
    uint64_t recorded_;  // offset of the last checkpoint met

    // Hashing thread (read by others after wait_done()).
    Md5 md5_;
    uint64_t hashed_;
    uint64_t last_wish_;
    Clock::time_point last_durable_wish_;

    // Checkpoint thread: where write-back was last started from.
    uint64_t written_back_;

    std::thread hasher_;
    std::thread checkpointer_;
};

}  // namespace dravon

// Where received bytes go: the receiving thread copies them into a few large
// buffers, and a writer thread writes them to the partial file and hashes them, so
// the network never waits for MD5 and the hash is ready when the last byte is.
// The writer flushes the file to disk and reports a checkpoint (offset and hash
// state) at least every `checkpoint_bytes`, and whenever asked.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "md5.h"
#include "posix_file.h"

namespace dravon {

class DataSink {
public:
    // Called on the writer thread after the data up to `offset` is on disk.
    using CheckpointFn = std::function<void(uint64_t offset, const Md5& md5)>;

    DataSink(UniqueFd file, uint64_t offset, Md5 md5, uint64_t checkpoint_bytes,
             CheckpointFn checkpoint);
    ~DataSink();
    DataSink(const DataSink&) = delete;
    DataSink& operator=(const DataSink&) = delete;

    // Receiving side. False once a write has failed (see write_error()).
    bool append(const char* data, size_t size);
    // Drops every byte: the file is emptied and the hash starts over (a checkpoint
    // at 0 is reported before this returns).
    bool restart();
    // Everything appended is written, flushed to disk and checkpointed on return.
    bool flush();

    uint64_t received() const { return received_; }
    int write_error() const { return write_error_; }
    // Valid after flush().
    uint64_t written() const;
    std::string hex_digest() const;
    // Stops the writer; the file descriptor is given back (after a flush).
    UniqueFd close();

private:
    enum class JobKind { kData, kSync, kTruncate };
    struct Job {
        JobKind kind;
        std::unique_ptr<std::vector<char>> buffer;
        uint64_t seq;
    };

    void hand_off();
    uint64_t submit(JobKind kind);
    void wait_done(uint64_t seq);
    void writer_loop();
    void write_buffer(const std::vector<char>& buffer);
    void checkpoint();

    static constexpr size_t kBufferSize = 1 << 20;
    static constexpr int kBuffers = 4;

    UniqueFd file_;
    const uint64_t checkpoint_bytes_;
    CheckpointFn checkpoint_fn_;

    // Receiving thread only.
    std::unique_ptr<std::vector<char>> current_;
    std::chrono::steady_clock::time_point last_handoff_;

    std::atomic<uint64_t> received_;
    std::atomic<int> write_error_{0};

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> queue_;
    std::vector<std::unique_ptr<std::vector<char>>> free_;
    uint64_t next_seq_ = 1;
    uint64_t done_seq_ = 0;
    bool stopping_ = false;

    // Writer thread only (read by others after wait_done()).
    uint64_t written_;
    uint64_t since_checkpoint_ = 0;
    Md5 md5_;

    std::thread writer_;
};

}  // namespace dravon

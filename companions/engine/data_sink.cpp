#include "data_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dravon {
namespace {

// Bytes older than this go to the file even when their buffer is not full, so a
// slow download is not held in memory.
constexpr auto kMaxHold = std::chrono::milliseconds(500);

}  // namespace

DataSink::DataSink(UniqueFd file, uint64_t offset, Md5 md5, uint64_t checkpoint_bytes,
                   CheckpointFn checkpoint)
    : file_(std::move(file)),
      checkpoint_bytes_(checkpoint_bytes),
      checkpoint_fn_(std::move(checkpoint)),
      last_handoff_(std::chrono::steady_clock::now()),
      received_(offset),
      written_(offset),
      md5_(std::move(md5)),
      hashed_(offset),
      last_wish_(offset) {
    for (int i = 0; i < kBuffers; ++i) {
        auto b = std::make_unique<std::vector<char>>();
        b->reserve(kBufferSize);
        free_.push_back(std::move(b));
    }
    current_ = std::move(free_.back());
    free_.pop_back();
    hasher_ = std::thread([this] { hash_loop(); });
    checkpointer_ = std::thread([this] { checkpoint_loop(); });
}

DataSink::~DataSink() { close(); }

UniqueFd DataSink::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (hasher_.joinable()) hasher_.join();
    // The hasher may still have asked for a checkpoint on its way out.
    {
        std::lock_guard lock(mutex_);
        checkpointer_stopping_ = true;
    }
    cv_.notify_all();
    if (checkpointer_.joinable()) checkpointer_.join();
    return std::move(file_);
}

bool DataSink::append(const char* data, size_t size) {
    if (write_error_) return false;
    received_ += size;
    while (size > 0) {
        size_t take = std::min(size, kBufferSize - current_->size());
        current_->insert(current_->end(), data, data + take);
        data += take;
        size -= take;
        if (current_->size() == kBufferSize) hand_off();
    }
    if (!current_->empty() && std::chrono::steady_clock::now() - last_handoff_ > kMaxHold)
        hand_off();
    return !write_error_;
}

// Writes the current buffer on this thread, as any plain download would, and
// passes it on for hashing; takes a free buffer, waiting while all are in use.
void DataSink::hand_off() {
    last_handoff_ = std::chrono::steady_clock::now();
    if (current_->empty()) return;
    if (!write_error_) {
        const char* p = current_->data();
        size_t left = current_->size();
        uint64_t off = written_;
        while (left > 0) {
            ssize_t n = ::pwrite(file_.get(), p, left, off_t(off));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                write_error_ = n < 0 ? errno : ENOSPC;
                break;
            }
            p += n;
            left -= size_t(n);
            off += uint64_t(n);
        }
        // Only what reached the file is hashed; nothing after a hole is written.
        current_->resize(size_t(off - written_));
        written_ = off;
    } else {
        current_->clear();
    }
    std::unique_lock lock(mutex_);
    queue_.push_back(Job{Job::kData, std::move(current_), next_seq_++});
    cv_.notify_all();
    cv_.wait(lock, [&] { return !free_.empty(); });
    current_ = std::move(free_.back());
    free_.pop_back();
}

uint64_t DataSink::submit(Job::Kind kind) {
    hand_off();
    std::lock_guard lock(mutex_);
    uint64_t seq = next_seq_++;
    queue_.push_back(Job{kind, nullptr, seq});
    cv_.notify_all();
    return seq;
}

void DataSink::wait_done(uint64_t seq) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return done_seq_ >= seq; });
}

bool DataSink::flush() {
    wait_done(submit(Job::kSync));
    return !write_error_;
}

bool DataSink::restart() {
    wait_done(submit(Job::kTruncate));
    received_ = 0;
    return !write_error_;
}

std::string DataSink::hex_digest() const {
    std::lock_guard lock(mutex_);
    return md5_.hex_digest();
}

void DataSink::request_checkpoint(bool wait) {
    std::unique_lock lock(mutex_);
    last_wish_ = hashed_;
    wanted_.emplace(hashed_, md5_);
    uint64_t ticket = ++checkpoints_started_;
    cv_.notify_all();
    if (wait) cv_.wait(lock, [&] { return checkpoints_done_ >= ticket; });
}

void DataSink::hash_loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        cv_.wait(lock, [&] { return !queue_.empty() || stopping_; });
        if (queue_.empty()) break;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        switch (job.kind) {
            case Job::kData:
                md5_.update(job.buffer->data(), job.buffer->size());
                hashed_ += job.buffer->size();
                job.buffer->clear();
                if (hashed_ - last_wish_ >= checkpoint_bytes_) {
                    // The disk may lag by a checkpoint or two, never more.
                    std::unique_lock l(mutex_);
                    cv_.wait(l, [&] { return checkpoints_started_ - checkpoints_done_ < 2; });
                    l.unlock();
                    request_checkpoint(false);
                }
                break;
            case Job::kSync:
                request_checkpoint(true);
                break;
            case Job::kTruncate: {
                {
                    std::unique_lock l(mutex_);
                    cv_.wait(l, [&] { return checkpoints_done_ == checkpoints_started_; });
                }
                if (::ftruncate(file_.get(), 0) == 0) {
                    written_ = 0;
                    write_error_ = 0;
                    std::lock_guard l(mutex_);
                    md5_ = Md5();
                    hashed_ = 0;
                } else if (!write_error_) {
                    write_error_ = errno;
                }
                request_checkpoint(true);
                break;
            }
        }
        lock.lock();
        if (job.buffer) free_.push_back(std::move(job.buffer));
        done_seq_ = job.seq;
        cv_.notify_all();
    }
}

void DataSink::checkpoint_loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        cv_.wait(lock, [&] { return wanted_ || checkpointer_stopping_; });
        if (!wanted_) break;
        auto [offset, md5] = std::move(*wanted_);
        wanted_.reset();
        uint64_t ticket = checkpoints_started_;
        lock.unlock();
        // Everything up to `offset` was written before it was hashed, so this
        // flush covers it.
        if (::fdatasync(file_.get()) != 0 && !write_error_) write_error_ = errno;
        if (checkpoint_fn_) checkpoint_fn_(offset, md5);
        lock.lock();
        checkpoints_done_ = ticket;
        cv_.notify_all();
    }
}

}  // namespace dravon

#include "data_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dravon {
namespace {

// Bytes older than this go to the file even when their buffer is not full, so a
// slow download is not held in memory.
constexpr auto kMaxHold = std::chrono::milliseconds(500);

// A buffer goes to the file in writes of this size: for larger writes the page
// cache may take large pages, which on some machines (virtual ones above all)
// costs several times more than the copy itself.
constexpr size_t kWriteSlice = 32 << 10;

}  // namespace

DataSink::DataSink(UniqueFd file, uint64_t offset, Md5 md5, Options options,
                   CheckpointFn checkpoint)
    : file_(std::move(file)),
      options_(options),
      checkpoint_fn_(std::move(checkpoint)),
      last_handoff_(Clock::now()),
      received_(offset),
      written_(offset),
      recorded_(offset),
      md5_(std::move(md5)),
      hashed_(offset),
      last_wish_(offset),
      last_durable_wish_(last_handoff_),
      written_back_(offset) {
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
    jobs_cv_.notify_all();
    if (hasher_.joinable()) hasher_.join();
    // The hasher may still have asked for a checkpoint on its way out.
    {
        std::lock_guard lock(mutex_);
        checkpointer_stopping_ = true;
    }
    checkpoint_cv_.notify_all();
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
    if (!current_->empty() && Clock::now() - last_handoff_ > kMaxHold) hand_off();
    return !write_error_;
}

// Writes the current buffer on this thread, as any plain download would, and
// passes it on for hashing; takes a free buffer, waiting while all are in use.
void DataSink::hand_off() {
    last_handoff_ = Clock::now();
    if (current_->empty()) return;
    if (!write_error_) {
        const char* p = current_->data();
        size_t left = current_->size();
        uint64_t off = written_;
        while (left > 0) {
            ssize_t n = ::pwrite(file_.get(), p, std::min(left, kWriteSlice), off_t(off));
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
    jobs_cv_.notify_one();
    done_cv_.wait(lock, [&] { return !free_.empty(); });
    current_ = std::move(free_.back());
    free_.pop_back();
}

uint64_t DataSink::submit(Job::Kind kind) {
    hand_off();
    std::lock_guard lock(mutex_);
    uint64_t seq = next_seq_++;
    queue_.push_back(Job{kind, nullptr, seq});
    jobs_cv_.notify_one();
    return seq;
}

void DataSink::wait_done(uint64_t seq) {
    std::unique_lock lock(mutex_);
    done_cv_.wait(lock, [&] { return done_seq_ >= seq; });
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

void DataSink::request_checkpoint(bool durable, bool wait) {
    if (durable) last_durable_wish_ = Clock::now();
    std::unique_lock lock(mutex_);
    last_wish_ = hashed_;
    // A wish not yet taken up is replaced, but its durability is not lost.
    durable = durable || (wanted_ && wanted_->durable);
    wanted_.emplace(Wish{hashed_, md5_, durable});
    uint64_t ticket = ++checkpoints_started_;
    checkpoint_cv_.notify_all();
    if (wait) checkpoint_cv_.wait(lock, [&] { return checkpoints_done_ >= ticket; });
}

void DataSink::hash_loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        jobs_cv_.wait(lock, [&] { return !queue_.empty() || stopping_; });
        if (queue_.empty()) break;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        switch (job.kind) {
            case Job::kData:
                md5_.update(job.buffer->data(), job.buffer->size());
                hashed_ += job.buffer->size();
                job.buffer->clear();
                if (hashed_ - last_wish_ >= options_.checkpoint_bytes) {
                    bool due = Clock::now() - last_durable_wish_ >= options_.sync_interval;
                    request_checkpoint(due, false);
                    // Saving the record may take longer than hashing the bytes
                    // between two checkpoints: the wishes meanwhile fold into the
                    // latest one, but the record never trails by more than a few.
                    std::unique_lock l(mutex_);
                    checkpoint_cv_.wait(l, [&] {
                        return hashed_ - recorded_ < kMaxRecordLag * options_.checkpoint_bytes;
                    });
                }
                break;
            case Job::kSync:
                request_checkpoint(true, true);
                break;
            case Job::kTruncate: {
                {
                    std::unique_lock l(mutex_);
                    checkpoint_cv_.wait(l,
                                        [&] { return checkpoints_done_ == checkpoints_started_; });
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
                request_checkpoint(true, true);
                break;
            }
        }
        lock.lock();
        if (job.buffer) free_.push_back(std::move(job.buffer));
        done_seq_ = job.seq;
        done_cv_.notify_all();
    }
}

void DataSink::checkpoint_loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        checkpoint_cv_.wait(lock, [&] { return wanted_ || checkpointer_stopping_; });
        if (!wanted_) break;
        Wish wish = std::move(*wanted_);
        wanted_.reset();
        uint64_t ticket = checkpoints_started_;
        lock.unlock();
        bool durable = commit(wish.offset, wish.durable);
        if (checkpoint_fn_) checkpoint_fn_(wish.offset, wish.md5, durable);
        lock.lock();
        checkpoints_done_ = ticket;
        recorded_ = wish.offset;
        checkpoint_cv_.notify_all();
    }
}

// Everything up to `offset` was written before it was hashed, so either step
// covers it. Answers whether the bytes are now on disk.
bool DataSink::commit(uint64_t offset, bool durable) {
    uint64_t from = std::min(written_back_, offset);  // a restart moves back to 0
    written_back_ = offset;
    if (durable) {
        if (::fdatasync(file_.get()) == 0) return true;
        if (!write_error_) write_error_ = errno;
        return false;
    }
    // Only starts the write-back; where that is not supported the kernel still
    // writes the pages in its own time.
    if (offset > from)
        ::sync_file_range(file_.get(), off_t(from), off_t(offset - from), SYNC_FILE_RANGE_WRITE);
    return false;
}

}  // namespace dravon

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
      md5_(std::move(md5)) {
    for (int i = 0; i < kBuffers; ++i) {
        auto b = std::make_unique<std::vector<char>>();
        b->reserve(kBufferSize);
        free_.push_back(std::move(b));
    }
    current_ = std::move(free_.back());
    free_.pop_back();
    writer_ = std::thread([this] { writer_loop(); });
}

DataSink::~DataSink() { close(); }

UniqueFd DataSink::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (writer_.joinable()) writer_.join();
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

// Queues the current buffer and takes a free one, waiting for the writer when all
// are in use: this is what slows the network down to the disk's pace.
void DataSink::hand_off() {
    last_handoff_ = std::chrono::steady_clock::now();
    if (current_->empty()) return;
    std::unique_lock lock(mutex_);
    queue_.push_back(Job{JobKind::kData, std::move(current_), next_seq_++});
    cv_.notify_all();
    cv_.wait(lock, [&] { return !free_.empty(); });
    current_ = std::move(free_.back());
    free_.pop_back();
}

uint64_t DataSink::submit(JobKind kind) {
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
    wait_done(submit(JobKind::kSync));
    return !write_error_;
}

bool DataSink::restart() {
    wait_done(submit(JobKind::kTruncate));
    received_ = 0;
    return !write_error_;
}

uint64_t DataSink::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

std::string DataSink::hex_digest() const {
    std::lock_guard lock(mutex_);
    return md5_.hex_digest();
}

void DataSink::writer_loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        cv_.wait(lock, [&] { return !queue_.empty() || stopping_; });
        if (queue_.empty()) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        switch (job.kind) {
            case JobKind::kData:
                write_buffer(*job.buffer);
                if (since_checkpoint_ >= checkpoint_bytes_) checkpoint();
                job.buffer->clear();
                break;
            case JobKind::kSync:
                checkpoint();
                break;
            case JobKind::kTruncate:
                if (::ftruncate(file_.get(), 0) == 0) {
                    written_ = 0;
                    md5_ = Md5();
                    write_error_ = 0;
                } else if (!write_error_) {
                    write_error_ = errno;
                }
                checkpoint();
                break;
        }
        lock.lock();
        if (job.buffer) free_.push_back(std::move(job.buffer));
        done_seq_ = job.seq;
        cv_.notify_all();
    }
}

void DataSink::write_buffer(const std::vector<char>& buffer) {
    if (write_error_) return;  // nothing after a hole may reach the file
    const char* p = buffer.data();
    size_t left = buffer.size();
    while (left > 0) {
        ssize_t n = ::pwrite(file_.get(), p, left, off_t(written_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            write_error_ = n < 0 ? errno : ENOSPC;
            return;
        }
        md5_.update(p, size_t(n));
        written_ += uint64_t(n);
        since_checkpoint_ += uint64_t(n);
        p += n;
        left -= size_t(n);
    }
}

void DataSink::checkpoint() {
    since_checkpoint_ = 0;
    if (::fdatasync(file_.get()) != 0 && !write_error_) write_error_ = errno;
    if (checkpoint_fn_) checkpoint_fn_(written_, md5_);
}

}  // namespace dravon

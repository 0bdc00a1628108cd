// Rows of a bitmap that a decoder still writes after the bitmap was handed out:
// the rows above ready() are final, so a reader waits only for the row it wants.
// Kept free of Windows headers for the codecs that cannot include them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace gdip {

class PendingRows {
public:
    explicit PendingRows(uint32_t height) : height_(height) {}

    // Rows [0, ready()) hold their final pixels.
    uint32_t ready() const { return ready_.load(std::memory_order_acquire); }
    // Out of line, so that a reader's quick check stays small.
    void wait_for(uint32_t rows) const;

    // The decoder's side: rows [0, rows) are written.
    void publish(uint32_t rows) {
        ready_.store(rows, std::memory_order_release);
        ready_.notify_all();
    }
    // The decoder is done with the pixels (every row is then final); false when
    // it failed or was told to stop.
    void finish(bool ok) {
        ok_.store(ok, std::memory_order_relaxed);
        publish(height_);
        done_.store(true, std::memory_order_release);
        done_.notify_all();
    }
    bool stop_asked() const { return stop_.load(std::memory_order_relaxed); }

    // The owner's side: the decoder's answer once it is done.
    bool wait_done() const;
    // Before the pixels go: the decoder stops at its next rows and lets them be.
    void stop_and_wait() {
        stop_.store(true, std::memory_order_relaxed);
        wait_done();
    }

private:
    const uint32_t height_;
    std::atomic<uint32_t> ready_{0};
    std::atomic<bool> done_{false};
    std::atomic<bool> ok_{false};
    std::atomic<bool> stop_{false};
};

// Held beside the pixels a decoder writes, declared after them: it stops the
// decoder before they are freed or replaced.
class RowsInFlight {
public:
    RowsInFlight() = default;
    explicit RowsInFlight(std::shared_ptr<PendingRows> rows) : rows_(std::move(rows)) {}
    RowsInFlight(RowsInFlight&& other) noexcept = default;
    RowsInFlight& operator=(RowsInFlight&& other) noexcept {
        if (this != &other) {
            settle();
            rows_ = std::move(other.rows_);
        }
        return *this;
    }
    ~RowsInFlight() { settle(); }

    bool row_ready(uint32_t y) const { return !rows_ || y < rows_->ready(); }
    // Row y is final once this returns.
    void wait_for_row(uint32_t y) const {
        if (rows_ && y >= rows_->ready()) rows_->wait_for(y + 1);
    }
    void wait_all() const {
        if (rows_) rows_->wait_done();
    }

private:
    void settle() {
        if (rows_) rows_->stop_and_wait();
        rows_.reset();
    }

    std::shared_ptr<PendingRows> rows_;
};

}  // namespace gdip

#include "gdiplus/pending_rows.h"

namespace gdip {

void PendingRows::wait_for(uint32_t rows) const {
    for (uint32_t now = ready(); now < rows; now = ready())
        ready_.wait(now, std::memory_order_acquire);
}

bool PendingRows::wait_done() const {
    while (!done_.load(std::memory_order_acquire)) done_.wait(false, std::memory_order_acquire);
    return ok_.load(std::memory_order_relaxed);
}

}  // namespace gdip

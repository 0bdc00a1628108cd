// Where a window's DC draws: its top-level window's backing surface, the offset of
// the window (or its client area) on it, and the part it may draw on.
#pragma once

#include "w32/gdi.h"

namespace w32::paint {

struct DcTarget {
    DcTarget() { pixman_region32_init(&vis); }
    ~DcTarget() { pixman_region32_fini(&vis); }
    DcTarget(const DcTarget&) = delete;
    DcTarget& operator=(const DcTarget&) = delete;

    std::shared_ptr<gdi::Bitmap> surface;
    POINT origin{0, 0};
    pixman_region32_t vis;  // surface pixels
};

// Fills target for hwnd's client area (or whole window); false with
// ERROR_INVALID_WINDOW_HANDLE. Takes the window lock: call without the GDI lock.
bool window_dc_target(HWND hwnd, bool whole_window, DcTarget* target);

}  // namespace w32::paint

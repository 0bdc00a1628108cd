// Update regions and the WM_PAINT the queue synthesises from them.
#pragma once

#include "message_queue.h"
#include "window.h"

#include <pixman.h>

namespace w32::user {

struct PaintState {
    PaintState() { pixman_region32_init(&update); }
    ~PaintState() { pixman_region32_fini(&update); }
    PaintState(const PaintState&) = delete;
    PaintState& operator=(const PaintState&) = delete;

    pixman_region32_t update;  // client coordinates
    bool erase = false;
};

// A WM_PAINT for the first visible window of this thread (parents before children,
// front to back) that the filter accepts and that has something to paint.
bool next_paint_message(const MessageFilter& filter, MSG* out);

// After SetWindowPos changed w (with user_mutex() held): a window shown, resized or
// moved within its parent gets painted again, and so does what a child uncovered.
void after_placement_locked(Window& w, const RECT& old_rect, bool was_visible, UINT flags,
                            std::vector<QueuePtr>* wake);

}  // namespace w32::user

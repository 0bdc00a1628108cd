// Pictures of the system's shared cursors, drawn by code at the cursor size.
#pragma once

#include <cstdint>
#include <vector>

namespace w32::user {

constexpr int kCursorSize = 32;

struct CursorArt {
    int hot_x = 0;
    int hot_y = 0;
    // kCursorSize x kCursorSize, top row first: 0xAARRGGBB, alpha 0 or 255.
    std::vector<uint32_t> pixels;
};

// The picture of a shared cursor id; an arrow for ids without their own.
CursorArt draw_cursor(unsigned id);

}  // namespace w32::user

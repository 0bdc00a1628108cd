// A cursor's or icon's picture, for showing it outside GDI (X cursors, the tray, a
// window's icon on the desktop).
#pragma once

#include <windef.h>

#include <cstdint>
#include <vector>

namespace w32::user {

// Premultiplied (or, when asked, straight) 0xAARRGGBB words, top row first, and the
// hot spot; false for a handle that names no cursor or icon. A picture without alpha
// takes it from its mask.
bool icon_pixels(HICON icon, int* width, int* height, POINT* hot, std::vector<uint32_t>* argb,
                 bool premultiplied = true);

// A picture as a desktop takes it: straight (not premultiplied) 0xAARRGGBB words, top
// row first.
struct IconPicture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
};
// An icon's picture; false for a handle that names no icon.
bool icon_picture(HICON icon, IconPicture* out);
// The program file's own icon, as a desktop finds it there: every picture of its first
// icon group (32- and 24-bit images); none when it has no icon.
const std::vector<IconPicture>& program_icon();

}  // namespace w32::user

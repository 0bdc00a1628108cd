#include "gui/cursor_mask.h"

#include <algorithm>
#include <vector>

namespace Gui {

HBITMAP CreateCursorMask(const Image& img, RGBA* colour, int cx, int cy) {
    const int row_bytes = ((cx + 15) >> 3) & ~1;  // monochrome rows are 16-bit aligned
    std::vector<BYTE> mask(static_cast<size_t>(row_bytes) * std::max(cy, 0), 0xFF);
    const int w = std::min(cx, img.GetWidth()), h = std::min(cy, img.GetHeight());
    for (int y = 0; y < h; ++y) {
        const RGBA* s = img.GetRow(y);
        RGBA* t = colour + static_cast<size_t>(cx) * y;
        BYTE* m = mask.data() + static_cast<size_t>(row_bytes) * y;
        for (int x = 0; x < w; ++x) {
            if (s[x].a > 128) {
                t[x] = s[x];
                m[x >> 3] &= static_cast<BYTE>(~(0x80 >> (x & 7)));
            } else {
                t[x] = MakeRGBA(0, 0, 0, s[x].a);
            }
            t[x].a = 0;
        }
    }
    return CreateBitmap(cx, cy, 1, 1, mask.data());
}

}  // namespace Gui

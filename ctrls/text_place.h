// Where a line of text of a measured size starts inside a rectangle. The numbers
// are the skin's: align 1 left, 2 right, anything else centred; valign 1 top,
// 2 bottom, anything else centred.
#pragma once

#include "gui/geometry.h"

namespace ctrls {

inline Gui::Point PlaceText(const Gui::Rect& r, Gui::Size text, int align, int valign = 0) {
    const int x = align == 1   ? r.left
                  : align == 2 ? r.right - text.cx
                               : r.left + (r.Width() - text.cx) / 2;
    const int y = valign == 1   ? r.top
                  : valign == 2 ? r.bottom - text.cy
                                : r.top + (r.Height() - text.cy) / 2;
    return Gui::Point(x, y);
}

}  // namespace ctrls

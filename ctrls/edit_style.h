// The look of a skinned edit field: paper and text colours, the selection, the
// frame image per visual state and the margin inside the frame.
#pragma once

#include "gui/color.h"
#include "gui/geometry.h"
#include "gui/image.h"
#include "gui/style.h"

namespace ctrls {

struct EditStyle : Gui::StyleHeader<EditStyle> {
    // Null colours: the control's own.
    Gui::Color paper;
    Gui::Color disabled;
    Gui::Color text;
    Gui::Color textdisabled;
    Gui::Color selected;
    Gui::Color selectedtext;
    Gui::Image edge[4];
    Gui::Rect margin;
};

}  // namespace ctrls

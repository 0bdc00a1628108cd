// The look of a skinned push button: one image and one text colour per visual
// state (normal, hot, pressed, disabled), the offset of a pressed face and where
// the text sits. The button control names it as its Style.
#pragma once

#include "gui/color.h"
#include "gui/geometry.h"
#include "gui/image.h"
#include "gui/style.h"

namespace ctrls {

struct ButtonStyle : Gui::StyleHeader<ButtonStyle> {
    Gui::Image look[4];
    Gui::Color textcolor[4];  // null: the control's own ink
    Gui::Point pressoffset{1, 1};
    // Set by the skin; a skin that leaves them out gets 0.
    int posx[2] = {0, 0};
    int posy[2] = {0, 0};
    int align = 3;
    int valign = 0;
};

}  // namespace ctrls

// The look of a skinned check box: its box images unchecked and checked, one per
// visual state, and the width the box takes before the text.
#pragma once

#include "gui/image.h"
#include "gui/style.h"

namespace ctrls {

struct OptionStyle : Gui::StyleHeader<OptionStyle> {
    Gui::Image unpressed[4];
    Gui::Image pressed[4];
    int optionview_width = 0;
};

}  // namespace ctrls

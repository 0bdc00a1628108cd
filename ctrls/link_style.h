// The look of a link text: its font normally and under the mouse, and its colour.
// Unlike the other records its standard values need nothing of the controls: the
// toolkit's default font and a dark grey.
#pragma once

#include "gui/color.h"
#include "gui/font.h"
#include "gui/style.h"

namespace ctrls {

struct LinkStyle : Gui::StyleHeader<LinkStyle> {
    Gui::Font textfont0;  // height 0 and no flags until filled
    Gui::Font textfont1;
    Gui::Color textcolor;  // null

    // The default record: its fonts are copies of the default font as it was at
    // the first call (all zero when none was set yet), its colour 0x333333.
    static const LinkStyle& Default();
};

}  // namespace ctrls

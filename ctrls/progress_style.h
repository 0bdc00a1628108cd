// The look of a skinned progress bar: the groove, the moving block, whether the
// block is tiled rather than stretched and whether it animates.
#pragma once

#include "gui/image.h"
#include "gui/style.h"

namespace ctrls {

struct ProgressStyle : Gui::StyleHeader<ProgressStyle> {
    Gui::Image bg;
    Gui::Image block;
    bool tile = false;
    bool animate = false;
};

}  // namespace ctrls

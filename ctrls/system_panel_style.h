// The look of a skinned window's chrome: its four caption boxes, background,
// icon, title and size.
#pragma once

#include <string>

#include "ctrls/button_style.h"
#include "gui/color.h"
#include "gui/font.h"
#include "gui/geometry.h"
#include "gui/image.h"
#include "gui/style.h"

namespace ctrls {

struct SystemPanelStyle : Gui::StyleHeader<SystemPanelStyle> {
    ButtonStyle closebox;
    ButtonStyle restorebox;
    ButtonStyle maxbox;
    ButtonStyle minbox;
    bool shadow = false;
    bool changeui = true;
    // Set by the skin; a skin that leaves them out gets 0.
    int dragtop = 0;  // height of the caption that drags the window
    int posx[2] = {0, 0};
    int posy[2] = {0, 0};
    Gui::Image icon;
    Gui::Image wndbg;
    Gui::Color wndcolorbg = Gui::White();
    Gui::Point iconpos{0, 0};
    Gui::Point titlepos{0, 0};
    Gui::Font titlefont;
    Gui::Color titleink;    // null
    std::string titletext;  // UTF-8
    Gui::Size wndsize{0, 0};
};

}  // namespace ctrls

// The windows' controls placed and dressed as the skin says. Skin rectangles and
// button places are window pixels; a panel passes its own place in the window as the
// origin, so its children land where the skin puts them.
#pragma once

#include <string>

#include "ctrls/button.h"
#include "ctrls/link_ctrl.h"
#include "ctrls/static_text.h"
#include "gui/geometry.h"

namespace downloader {

// "<key>.rect" moved to the panel's coordinates; empty (and logged) when missing.
Gui::Rect SkinRect(const std::string& key, Gui::Point origin);
// "<key>.rect", ".font", ".color", ".align" and, when there is one, ".text".
void SkinText(ctrls::StaticText& text, const std::string& key, Gui::Point origin);
// The button style of the key at its posx/posy, captioned "<key>.text" in "<key>.font".
void SkinButton(ctrls::Button& button, const std::string& key, Gui::Point origin);
// The link style of the key, "<key>.hotcolor" under the mouse, at "<key>.rect".
void SkinLink(ctrls::LinkCtrl<ctrls::StaticText>& link, const std::string& key, Gui::Point origin);

}  // namespace downloader

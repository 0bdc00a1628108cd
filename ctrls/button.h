// A skinned push button: one nine-grid look and text colour per state (normal,
// hot, pressed, disabled), a caption that moves by the press offset while pressed;
// a click runs WhenAction.
#pragma once

#include <string>

#include "ctrls/button_style.h"
#include "ctrls/push_ctrl.h"
#include "gui/color.h"
#include "gui/font.h"

namespace ctrls {

class Button : public PushCtrl {
public:
    using Style = ButtonStyle;
    // Horizontal alignment as the skin numbers it (anything else centres); valign
    // 1 top, 2 bottom, anything else centres.
    enum Align { CENTER = 0, LEFT = 1, RIGHT = 2 };

    // The standard look, made once.
    static const Style& StyleDefault();

    Button();

    Button& SetStyle(const Style& style);
    const Style& GetStyle() const { return style_; }
    Button& SetLabel(const std::wstring& text);
    const std::wstring& GetLabel() const { return label_; }
    Button& SetFont(const Gui::Font& font);
    const Gui::Font& GetFont() const { return font_; }
    // The caption's colour where the style has none for the look.
    Button& SetInk(Gui::Color ink);

    void Paint(Gui::Draw& w) override;

private:
    Style style_;
    std::wstring label_;
    Gui::Font font_;
    Gui::Color ink_;
};

}  // namespace ctrls

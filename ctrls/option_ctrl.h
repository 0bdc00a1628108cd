// A skinned check box: the style's box image for the state (normal, hot, pressed,
// disabled), unchecked or checked, at the left, centred vertically, and a label
// after optionview_width pixels (the box's own width when that is 0). A click
// (press and release over it) toggles it and runs WhenAction.
#pragma once

#include <string>

#include "ctrls/option_style.h"
#include "ctrls/push_ctrl.h"
#include "gui/color.h"
#include "gui/font.h"

namespace ctrls {

class OptionCtrl : public PushCtrl {
public:
    using Style = OptionStyle;

    static const Style& StyleDefault();

    OptionCtrl();

    OptionCtrl& SetStyle(const Style& style);
    const Style& GetStyle() const { return style_; }
    OptionCtrl& SetLabel(const std::wstring& text);
    const std::wstring& GetLabel() const { return label_; }
    OptionCtrl& SetFont(const Gui::Font& font);
    OptionCtrl& SetInk(Gui::Color ink);
    // Sets the state without WhenAction.
    OptionCtrl& Set(bool checked);
    bool Get() const { return checked_; }
    void Paint(Gui::Draw& w) override;

protected:
    void Clicked() override;

private:
    Style style_;
    std::wstring label_;
    Gui::Font font_;
    Gui::Color ink_;
    bool checked_ = false;
};

}  // namespace ctrls

#include "ctrls/option_ctrl.h"

#include "ctrls/standard_styles.h"
#include "ctrls/text_place.h"
#include "gui/draw.h"
#include "gui/style.h"

namespace ctrls {

const OptionCtrl::Style& OptionCtrl::StyleDefault() {
    return Gui::DefaultStyle<Style, FillStandardStyle>();
}

OptionCtrl::OptionCtrl()
    : style_(StyleDefault()), font_(Gui::GetDefaultFont()), ink_(Gui::GetDefaultInk()) {}

OptionCtrl& OptionCtrl::SetStyle(const Style& style) {
    style_ = style;
    Refresh();
    return *this;
}

OptionCtrl& OptionCtrl::SetLabel(const std::wstring& text) {
    label_ = text;
    Refresh();
    return *this;
}

OptionCtrl& OptionCtrl::SetFont(const Gui::Font& font) {
    font_ = font;
    Refresh();
    return *this;
}

OptionCtrl& OptionCtrl::SetInk(Gui::Color ink) {
    ink_ = ink;
    Refresh();
    return *this;
}

OptionCtrl& OptionCtrl::Set(bool checked) {
    if (checked != checked_) {
        checked_ = checked;
        Refresh();
    }
    return *this;
}

void OptionCtrl::Paint(Gui::Draw& w) {
    const Look look = GetLook();
    const Gui::Image* box = checked_ ? style_.pressed : style_.unpressed;
    const Gui::Image& img = box[look].IsEmpty() ? box[0] : box[look];
    const Gui::Size size = GetSize();
    w.DrawImage(0, (size.cy - img.GetHeight()) / 2, img);
    if (label_.empty()) return;
    const int x = style_.optionview_width > 0 ? style_.optionview_width : img.GetWidth();
    const Gui::Point at =
        PlaceText(Gui::Rect(x, 0, size.cx, size.cy), Gui::GetTextSize(label_, font_), 1);
    w.DrawText(at.x, at.y, label_, font_, ink_);
}

void OptionCtrl::Clicked() {
    checked_ = !checked_;
    Refresh();
    Action();
}

}  // namespace ctrls

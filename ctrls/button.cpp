#include "ctrls/button.h"

#include "ctrls/standard_styles.h"
#include "ctrls/text_place.h"
#include "gui/draw.h"
#include "gui/image_painter.h"
#include "gui/style.h"

namespace ctrls {

const Button::Style& Button::StyleDefault() {
    return Gui::DefaultStyle<Style, FillStandardStyle>();
}

Button::Button()
    : style_(StyleDefault()), font_(Gui::GetDefaultFont()), ink_(Gui::GetDefaultInk()) {}

Button& Button::SetStyle(const Style& style) {
    style_ = style;
    Refresh();
    return *this;
}

Button& Button::SetLabel(const std::wstring& text) {
    if (text != label_) {
        label_ = text;
        Refresh();
    }
    return *this;
}

Button& Button::SetFont(const Gui::Font& font) {
    font_ = font;
    Refresh();
    return *this;
}

Button& Button::SetInk(Gui::Color ink) {
    ink_ = ink;
    Refresh();
    return *this;
}

void Button::Paint(Gui::Draw& w) {
    const Look look = GetLook();
    const Gui::Rect r(GetSize());
    PaintImageRect(w, r, style_.look[look].IsEmpty() ? style_.look[NORMAL] : style_.look[look]);
    if (label_.empty()) return;
    const Gui::Color ink = style_.textcolor[look].IsNull() ? ink_ : style_.textcolor[look];
    Gui::Point at = PlaceText(r, Gui::GetTextSize(label_, font_), style_.align, style_.valign);
    if (look == PRESSED) at.Offset(style_.pressoffset.x, style_.pressoffset.y);
    w.DrawText(at.x, at.y, label_, font_, ink);
}

}  // namespace ctrls

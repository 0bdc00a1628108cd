#include "ctrls/static_text.h"

#include "base/string_util.h"
#include "ctrls/text_place.h"
#include "gui/draw.h"

namespace ctrls {

StaticText::StaticText() : font_(Gui::GetDefaultFont()), ink_(Gui::GetDefaultInk()) {}

StaticText& StaticText::SetText(const std::wstring& text) {
    if (text != text_) {
        text_ = text;
        shown_width_ = -1;
        Refresh();
    }
    return *this;
}

StaticText& StaticText::SetFont(const Gui::Font& font) {
    if (font != font_) {
        font_ = font;
        shown_width_ = -1;
        Refresh();
    }
    return *this;
}

StaticText& StaticText::SetInk(Gui::Color ink) {
    if (ink != ink_) {
        ink_ = ink;
        Refresh();
    }
    return *this;
}

StaticText& StaticText::SetAlign(int align) {
    if (align != align_) {
        align_ = align;
        Refresh();
    }
    return *this;
}

const std::wstring& StaticText::GetShownText() {
    const int width = GetSize().cx;
    if (width != shown_width_) {
        shown_ = base::EllipsisText(text_, font_, width);
        shown_width_ = width;
    }
    return shown_;
}

void StaticText::Paint(Gui::Draw& w) {
    const std::wstring& shown = GetShownText();
    if (shown.empty()) return;
    const Gui::Point at = PlaceText(Gui::Rect(GetSize()), Gui::GetTextSize(shown, font_), align_);
    w.DrawText(at.x, at.y, shown, font_, ink_);
}

}  // namespace ctrls

// One line of text in a font and ink, placed left, centred or right and centred
// vertically; a text too wide for the control ends in "..." instead of being cut.
#pragma once

#include <string>

#include "gui/color.h"
#include "gui/ctrl.h"
#include "gui/font.h"

namespace ctrls {

class StaticText : public Gui::Ctrl {
public:
    // As the skin numbers it.
    enum Align { CENTER = 0, LEFT = 1, RIGHT = 2 };

    StaticText();

    StaticText& SetText(const std::wstring& text);
    const std::wstring& GetText() const { return text_; }
    StaticText& SetFont(const Gui::Font& font);
    const Gui::Font& GetFont() const { return font_; }
    StaticText& SetInk(Gui::Color ink);
    Gui::Color GetInk() const { return ink_; }
    StaticText& SetAlign(int align);
    int GetAlign() const { return align_; }

    // The text as it is drawn at the present width.
    const std::wstring& GetShownText();

    void Paint(Gui::Draw& w) override;

private:
    std::wstring text_;
    Gui::Font font_;
    Gui::Color ink_;
    int align_ = LEFT;
    // The fitted text and what it was fitted for.
    std::wstring shown_;
    int shown_width_ = -1;
};

}  // namespace ctrls

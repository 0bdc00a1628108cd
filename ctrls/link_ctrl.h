// A text that acts as a link: drawn in the style's first font, in its second while
// the mouse is over it, in the style's colour (or a hot colour of its own while
// hot), with the hand cursor; a click on it (press and release over it) runs
// WhenAction. Used as LinkCtrl<StaticText>.
#pragma once

#include "ctrls/link_style.h"
#include "gui/ctrl.h"
#include "gui/image.h"

namespace ctrls {

template <class Base>
class LinkCtrl : public Base {
public:
    using Style = LinkStyle;

    static const Style& StyleDefault() { return LinkStyle::Default(); }

    LinkCtrl() { SetStyle(StyleDefault()); }

    LinkCtrl& SetStyle(const Style& style) {
        style_ = style;
        ShowHot(hot_);
        return *this;
    }
    const Style& GetStyle() const { return style_; }
    // The colour while the mouse is over the link; null keeps the style's colour.
    LinkCtrl& SetHotInk(Gui::Color ink) {
        hot_ink_ = ink;
        ShowHot(hot_);
        return *this;
    }
    bool IsHot() const { return hot_; }

    void MouseEnter(Gui::Point, DWORD) override { ShowHot(true); }
    void MouseLeave() override {
        pressed_ = false;
        ShowHot(false);
    }
    void LeftDown(Gui::Point, DWORD) override { pressed_ = true; }
    void LeftUp(Gui::Point p, DWORD) override {
        const bool clicked = pressed_ && Gui::Rect(this->GetSize()).Contains(p);
        pressed_ = false;
        if (clicked) this->Action();
    }
    Gui::Image CursorImage(Gui::Point, DWORD) override { return Gui::Image::Hand(); }

private:
    void ShowHot(bool hot) {
        hot_ = hot;
        this->SetFont(hot ? style_.textfont1 : style_.textfont0);
        this->SetInk(hot && !hot_ink_.IsNull() ? hot_ink_ : style_.textcolor);
    }

    Style style_;
    Gui::Color hot_ink_;
    bool hot_ = false;
    bool pressed_ = false;
};

}  // namespace ctrls

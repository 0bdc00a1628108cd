#include "ctrls/progress_ctrl.h"

#include <stdlib.h>

#include <algorithm>

#include "ctrls/standard_styles.h"
#include "gui/draw.h"
#include "gui/image_painter.h"
#include "gui/style.h"

namespace ctrls {

const ProgressCtrl::Style& ProgressCtrl::StyleDefault() {
    return Gui::DefaultStyle<Style, FillStandardStyle>();
}

ProgressCtrl::ProgressCtrl() : style_(StyleDefault()) {}

ProgressCtrl& ProgressCtrl::SetStyle(const Style& style) {
    style_ = style;
    Refresh();
    return *this;
}

ProgressCtrl& ProgressCtrl::Set(int pos) { return Set(pos, total_); }

ProgressCtrl& ProgressCtrl::Set(int pos, int total) {
    KillTimeCallback();
    total_ = std::max(total, 1);
    Show(pos);
    return *this;
}

ProgressCtrl& ProgressCtrl::MoveTo(int pos) {
    if (!style_.animate) return Set(pos);
    target_ = std::clamp(pos, 0, total_);
    if (!ExistsTimeCallback())
        SetTimeCallback(-kGlideStepMs, Gui::MakeCallback(this, &ProgressCtrl::GlideStep));
    return *this;
}

// A quarter of the way each step: a quick start that settles on the value.
void ProgressCtrl::GlideStep() {
    const int left = target_ - pos_;
    if (left == 0) return KillTimeCallback();
    Show(pos_ + (std::abs(left) < 4 ? left : left / 4));
}

void ProgressCtrl::Show(int pos) {
    pos_ = std::clamp(pos, 0, total_);
    const int width = GetBlockWidth();
    if (width != drawn_) {
        drawn_ = width;
        Refresh();
    }
}

int ProgressCtrl::GetBlockWidth() const {
    return static_cast<int>(static_cast<int64_t>(GetSize().cx) * pos_ / total_);
}

void ProgressCtrl::Layout() { drawn_ = GetBlockWidth(); }

void ProgressCtrl::Paint(Gui::Draw& w) {
    const Gui::Size size = GetSize();
    PaintImageRect(w, Gui::Rect(size), style_.bg);
    const int width = GetBlockWidth();
    if (width <= 0) return;
    const int tile = style_.block.GetWidth();
    if (!style_.tile || tile <= 0) {
        PaintImageRect(w, Gui::Rect(0, 0, width, size.cy), style_.block);
        return;
    }
    w.Clip(Gui::Rect(0, 0, width, size.cy));
    for (int x = 0; x < width; x += tile)
        PaintImageRect(w, Gui::RectC(x, 0, tile, size.cy), style_.block);
    w.End();
}

}  // namespace ctrls

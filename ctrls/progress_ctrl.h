// A skinned progress bar: the groove (bg) over the whole control and the block
// over the part done, each a nine-grid image, the block tiled at its own width
// when the style says so. The position is clamped to 0..total; the bar repaints
// only when the block's drawn width changes. MoveTo glides the block to a new
// position when the style animates (a quarter of the way every 20 ms).
#pragma once

#include "ctrls/progress_style.h"
#include "gui/ctrl.h"

namespace ctrls {

class ProgressCtrl : public Gui::Ctrl {
public:
    using Style = ProgressStyle;
    static constexpr int kDefaultTotal = 10000;
    static constexpr int kGlideStepMs = 20;

    static const Style& StyleDefault();

    ProgressCtrl();

    ProgressCtrl& SetStyle(const Style& style);
    const Style& GetStyle() const { return style_; }
    // Both clamp: the total to at least 1, the position to 0..total. They end a glide.
    ProgressCtrl& Set(int pos);
    ProgressCtrl& Set(int pos, int total);
    // To pos in steps when the style animates, else at once.
    ProgressCtrl& MoveTo(int pos);
    // The position shown now.
    int Get() const { return pos_; }
    int GetTotal() const { return total_; }
    // The block's width in pixels at the control's present width.
    int GetBlockWidth() const;

    void Paint(Gui::Draw& w) override;
    void Layout() override;

private:
    void Show(int pos);
    void GlideStep();

    Style style_;
    int pos_ = 0;
    int target_ = 0;  // where a glide ends
    int total_ = kDefaultTotal;
    int drawn_ = -1;  // block width of the last refresh
};

}  // namespace ctrls

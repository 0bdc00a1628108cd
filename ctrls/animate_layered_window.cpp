#include "ctrls/animate_layered_window.h"

#include <algorithm>

namespace ctrls {

void AnimateLayeredWindow::StartAnimation(int period_ms) {
    frames_.KillSet(-std::max(period_ms, 1),
                    Gui::MakePteCallback(this, &AnimateLayeredWindow::Frame));
}

bool AnimateLayeredWindow::AnimationStep() { return false; }

void AnimateLayeredWindow::Frame() {
    Gui::Ptr<TopWndBase> alive = this;
    const bool more = AnimationStep();
    if (alive && !more) frames_.Kill();
}

}  // namespace ctrls

#include "ctrls/fade_window.h"

#include <algorithm>

namespace ctrls {

void FadeWindow::FadeIn() {
    SetAlpha(0);
    StartAnimation(kFramePeriod);
}

bool FadeWindow::AnimationStep() {
    const BYTE alpha = static_cast<BYTE>(std::min(255, GetAlpha() + kAlphaStep));
    SetAlpha(alpha);
    return alpha < 255;
}

}  // namespace ctrls

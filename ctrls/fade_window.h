// A layered window that fades in: its constant alpha climbs from transparent to
// opaque in equal steps, one per frame.
#pragma once

#include "ctrls/animate_layered_window.h"

namespace ctrls {

class FadeWindow : public AnimateLayeredWindow {
public:
    static constexpr int kFramePeriod = 20;  // ms
    static constexpr int kAlphaStep = 32;    // 8 frames from 0 to 255

    // Shows the pixels transparent now and fully opaque after the last frame.
    void FadeIn();
    bool IsFading() { return IsAnimating(); }

protected:
    bool AnimationStep() override;
};

}  // namespace ctrls

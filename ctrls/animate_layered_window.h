// A layered window that changes by frames: a repeating time callback runs one step
// per period until the step answers false. The callback goes with the window.
#pragma once

#include "ctrls/layered_window.h"
#include "gui/timer.h"

namespace ctrls {

class AnimateLayeredWindow : public LayeredWindow {
public:
    // Starts (or restarts) the frames, one every period_ms.
    void StartAnimation(int period_ms);
    void StopAnimation() { frames_.Kill(); }
    bool IsAnimating() { return frames_.Exists(); }

protected:
    // One frame; false ends the animation.
    virtual bool AnimationStep();

private:
    void Frame();

    Gui::TimeCallback frames_;
};

}  // namespace ctrls

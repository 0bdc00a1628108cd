#include "gui/draw.h"
#include "gui/draw_lock.h"

namespace Gui {

ScreenDraw::ScreenDraw() {
    DrawLock lock;
    hdc_ = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    Attach();
}

ScreenDraw::~ScreenDraw() {
    DrawLock lock;
    if (hdc_) {
        Detach();
        DeleteDC(hdc_);
        hdc_ = nullptr;
    }
}

ScreenDraw& ScreenDraw::GetInstance() {
    static ScreenDraw instance;
    return instance;
}

HDC ScreenHDC() { return ScreenDraw::GetInstance().GetHandle(); }

}  // namespace Gui

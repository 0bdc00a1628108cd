#include "gui/draw.h"
#include "gui/draw_lock.h"

namespace Gui {

BackDraw::~BackDraw() {
    DrawLock lock;
    Destroy();
}

bool BackDraw::IsPaintingOp(const Rect& r) {
    DrawLock lock;
    Rect moved = r;
    moved.Offset(actual_offset_);
    const Rect buffer(0, 0, size_.cx, size_.cy);
    if (moved.IsEmpty() || buffer.IsEmpty()) return false;
    return !moved.Intersection(buffer).IsEmpty();
}

void BackDraw::Create(Draw& target, int cx, int cy) {
    DrawLock lock;
    Destroy();
    size_ = Size(cx, cy);
    buffer_ = CreateCompatibleBitmap(target.GetHandle(), cx, cy);
    hdc_ = CreateCompatibleDC(target.GetHandle());
    prior_bitmap_ = SelectObject(hdc_, buffer_);
    Attach();
    flags_ |= kBack;
}

void BackDraw::Create(int cx, int cy) { Create(ScreenDraw::GetInstance(), cx, cy); }

void BackDraw::Put(Draw& target, int x, int y) {
    DrawLock lock;
    SetWindowOrgEx(hdc_, 0, 0, nullptr);
    BitBlt(target.GetHandle(), x, y, size_.cx, size_.cy, hdc_, 0, 0, SRCCOPY);
}

void BackDraw::Destroy() {
    DrawLock lock;
    if (!hdc_) return;
    Detach();
    SelectObject(hdc_, prior_bitmap_);
    DeleteDC(hdc_);
    DeleteObject(buffer_);
    buffer_ = nullptr;
    prior_bitmap_ = nullptr;
    hdc_ = nullptr;
}

}  // namespace Gui

// Logical positions, the rectangles computed from them, the layout pass and the
// screen-coordinate queries.
#include <stdint.h>

#include <algorithm>

#include "gui/ctrl.h"

namespace Gui {
namespace {

// The low 31 bits of v as a signed number.
int SignExtend31(uint32_t v) {
    v &= 0x7FFFFFFFu;
    if (v & 0x40000000u) v |= 0x80000000u;
    return static_cast<int>(v);
}

// GDI's coordinate range. Edges are kept inside it, so widths and the sums of
// positions down a tree stay far from int overflow whatever the skin says.
constexpr int64_t kCoordLimit = 1 << 27;

int64_t ClampCoord(int64_t v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }

// Near and far edge on one axis of a parent extent n; wide arithmetic, so odd
// skin values cannot overflow.
void CalcAxis(const Ctrl::Logc& l, int n, int& low, int& high) {
    const int64_t a = l.GetA(), b = l.GetB();
    int64_t p, e;
    switch (l.GetAlign()) {
        case Ctrl::Logc::CENTER:
            p = (n - b) / 2 + a;
            e = b;
            break;
        case Ctrl::Logc::LEFT:
            p = a;
            e = b;
            break;
        case Ctrl::Logc::RIGHT:
            p = n - a - b;
            e = b;
            break;
        default:
            p = a;
            e = n - a - b;
            break;
    }
    low = static_cast<int>(ClampCoord(p));
    high = static_cast<int>(ClampCoord(p + std::max<int64_t>(e, 0)));
}

Rect WorkAreaSize() { return Rect(GetWorkArea().GetSize()); }

}  // namespace

Ctrl::Logc::Logc(int align, int a, int b) {
    const uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    lo_ = (ua << 31) | (ub & 0x7FFFFFFFu);
    hi_ = (static_cast<uint32_t>(align & 3) << 30) | ((ua & 0x7FFFFFFFu) >> 1);
}

int Ctrl::Logc::GetA() const { return SignExtend31((hi_ << 1) | (lo_ >> 31)); }

int Ctrl::Logc::GetB() const { return SignExtend31(lo_); }

Rect Ctrl::CalcRect(const LogPos& pos, const Rect& prect, const Rect& pview, bool in_frame) {
    const Size n = in_frame ? prect.GetSize() : pview.GetSize();
    Rect r;
    CalcAxis(pos.x, n.cx, r.left, r.right);
    CalcAxis(pos.y, n.cy, r.top, r.bottom);
    return r;
}

Ctrl& Ctrl::SetRect(int x, int y, int cx, int cy) {
    return SetPos(Logc(Logc::LEFT, x, cx), Logc(Logc::LEFT, y, cy));
}

Ctrl& Ctrl::SetPos(LogPos p) {
    if (p == pos_ && !InFrame()) return *this;
    if (!parent_ && IsOpen()) {
        // An open window is moved; its control learns the new place from the window.
        HWND hwnd = GetHWND();
        Rect r = CalcRect(p, WorkAreaSize(), WorkAreaSize());
        AdjustWindowRectEx(r.AsRECT(), static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.Width(), r.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return *this;
    }
    SetPos0(p);
    return *this;
}

// The old area is invalidated before the move and the new one after it, so a
// control moved inside an open window leaves no stale picture behind.
void Ctrl::SetPos0(const LogPos& p) {
    RefreshFrame();
    pos_ = p;
    flags3_ &= ~kInFrame;
    UpdateRect();
}

void Ctrl::SetWndRect(const Rect& r) {
    pos_ = LogPos{Logc(Logc::LEFT, r.left, r.Width()), Logc(Logc::LEFT, r.top, r.Height())};
    flags3_ &= ~kInFrame;
    UpdateRect0();
}

void Ctrl::UpdateRect0() {
    Rect r = parent_ ? CalcRect(pos_, parent_->rect_, parent_->GetView(), InFrame())
                     : CalcRect(pos_, WorkAreaSize(), WorkAreaSize());
    if (r != rect_) rect_ = r;
    SyncLayout(0);
}

void Ctrl::UpdateRect() {
    Ptr<Ctrl> self = this;  // Layout may destroy it
    UpdateRect0();
    if (self && parent_) RefreshFrame();
}

void Ctrl::SyncLayout(int force) {
    Ptr<Ctrl> self = this;
    const Rect old_view = GetView();
    const Rect view(rect_.GetSize());
    bool frames_changed = false;
    if (frame_.view != view) {
        frame_.view = view;
        frames_changed = true;
    }
    if (old_view.GetSize() != view.GetSize() || force >= 2) {
        for (const Ptr<Ctrl>& p : ChildList()) {
            if (!self) return;
            Ctrl* c = p;
            if (!c || c->parent_ != this) continue;
            Rect r = CalcRect(c->pos_, rect_, view, c->InFrame());
            if (r != c->rect_) c->rect_ = r;
            c->SyncLayout(force >= 2 ? force : 0);
        }
        if (!self) return;
        Refresh();
    }
    if (!self) return;
    if (old_view != view || force) Layout();
    if (self && frames_changed) RefreshFrame(view);
}

void Ctrl::RefreshParentLayout() {
    if (parent_) parent_->RefreshLayout();
}

Rect Ctrl::GetScreenRect() const {
    if (parent_) {
        const Rect base = InFrame() ? parent_->GetScreenRect() : parent_->GetScreenView();
        return OffsetRect(rect_, base.left, base.top);
    }
    if (HWND hwnd = GetHWND()) {
        // The window sits where its control's rectangle says: the client origin is
        // the position, counted once.
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        return Rect(Point(origin.x, origin.y), rect_.GetSize());
    }
    return rect_;
}

Rect Ctrl::GetScreenView() const {
    Rect r = GetScreenRect();
    const Rect view = GetView();
    r.Offset(view.left, view.top);
    return Rect(r.TopLeft(), view.GetSize());
}

Rect Ctrl::GetVisibleScreenRect() const {
    Rect r = GetScreenRect();
    if (parent_) {
        r.Intersect(InFrame() ? parent_->GetVisibleScreenRect() : parent_->GetVisibleScreenView());
    }
    r.Intersect(GetVirtualScreenArea());
    return r;
}

Rect Ctrl::GetVisibleScreenView() const {
    return GetScreenView().Intersection(GetVisibleScreenRect());
}

Rect GetWorkArea() {
    RECT r = {0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return Rect(r.left, r.top, r.right, r.bottom);
}

Rect GetVirtualScreenArea() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RectC(x, y, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

}  // namespace Gui

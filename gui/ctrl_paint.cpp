// Invalidation climbs the tree to the control that owns the window; painting walks
// down it, each visible control clipped to its rectangle, later children on top.
#include "gui/ctrl.h"
#include "gui/draw.h"

namespace Gui {
namespace {

// Both non-empty and overlapping.
bool Overlaps(const Rect& a, const Rect& b) {
    return !a.IsEmpty() && !b.IsEmpty() && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

// A whole refresh already waiting for the next paint makes further ones redundant,
// unless the control asks for every one.
bool Ctrl::MayRefresh() const {
    if (IsRefreshPending() && !IsAlwaysRefresh()) return false;
    return IsVisible() && IsOpen();
}

void Ctrl::Refresh() {
    if (!MayRefresh()) return;
    RefreshRect(Rect(GetView().GetSize()));
    state_ |= kRefreshPending;
}

void Ctrl::RefreshRect(const Rect& r) {
    if (!MayRefresh()) return;
    const int o = OverPaint();
    const Rect view = GetView();
    const Rect reach(view.left - o, view.top - o, view.right + o, view.bottom + o);
    RefreshFrame(OffsetRect(r, view.left, view.top).Intersection(reach));
}

void Ctrl::RefreshFrame(const Rect& r) {
    if (!IsOpen() || !IsVisible() || r.left >= r.right || r.top >= r.bottom) return;
    if (top_) {
        WndInvalidateRect(r);
        return;
    }
    if (!parent_) return;
    const Rect moved = OffsetRect(r, rect_.left, rect_.top);
    if (InFrame()) {
        parent_->RefreshFrame(moved);
    } else {
        parent_->RefreshRect(moved);
    }
}

void Ctrl::RefreshFrame() { RefreshFrame(Rect(rect_.GetSize())); }

void Ctrl::WndInvalidateRect(const Rect& r) {
    if (HWND hwnd = GetHWND()) InvalidateRect(hwnd, r.AsRECT(), FALSE);
}

void Ctrl::ClearRefreshPending() {
    state_ &= ~kRefreshPending;
    for (Ctrl* c = firstchild_; c; c = c->next_) c->ClearRefreshPending();
}

void Ctrl::SetAlwaysRefresh() {
    flags2_ |= kAlwaysRefresh;
    for (Ctrl* c = firstchild_; c; c = c->next_) c->SetAlwaysRefresh();
}

void Ctrl::CtrlPaint(Draw& w, const Rect& clip) {
    if (!IsShown() || clip.IsEmpty()) return;
    const Rect area(rect_.GetSize());
    bool any_child = false;
    for (Ctrl* c = firstchild_; c && !any_child; c = c->next_) any_child = c->IsShown();
    Ptr<Ctrl> self = this;
    if (Overlaps(clip, area) && w.IsPaintingOp(area)) {
        w.ClipOffsetOp(area);
        Paint(w);
        w.EndOp();
    }
    if (!self || !any_child || area.IsEmpty()) return;
    const Rect allowed = clip.Intersection(area);
    w.ClipOp(allowed);
    for (const Ptr<Ctrl>& p : ChildList()) {
        if (!self) break;
        Ctrl* c = p;
        if (!c || c->parent_ != this || !c->IsShown()) continue;
        const Point d = c->rect_.TopLeft();
        const Rect child_clip = OffsetRect(allowed, -d.x, -d.y);
        if (!Overlaps(child_clip, Rect(c->rect_.GetSize()))) continue;
        w.OffsetOp(d);
        c->CtrlPaint(w, child_clip);
        w.EndOp();
    }
    w.EndOp();
}

}  // namespace Gui

// The control object, its child list, its state flags and the focus records.
#include "gui/ctrl.h"

#include "gui/timer.h"

namespace Gui {
namespace {

struct FocusState {
    Ptr<Ctrl> ctrl;
    Ptr<Ctrl> window_ctrl;
};

FocusState& Focus() {
    static FocusState* state = new FocusState;
    return *state;
}

}  // namespace

void CtrlFrame::FramePaint(Draw&, const Rect&) {}
void CtrlFrame::FrameAdd(Ctrl&) {}
void CtrlFrame::FrameRemove() {}
int CtrlFrame::OverPaint() const { return 0; }

void NullFrameClass::FrameLayout(Rect&) {}
void NullFrameClass::FrameAddSize(Size&) {}
void NullFrameClass::FramePaint(Draw&, const Rect&) {}

CtrlFrame& NullFrame() {
    static NullFrameClass frame;
    return frame;
}

Ctrl::Ctrl() : frame_{&NullFrame(), Rect()} { SetRect(0, 0, 0, 0); }

Ctrl::~Ctrl() {
    // Entries under this control's ids (its address plus a small number) would
    // otherwise run on its memory once it is gone.
    Gui::KillTimeCallback(this, reinterpret_cast<char*>(this) + sizeof(Ctrl));
    if (parent_) parent_->Unlink(this);
    for (Ctrl* c = firstchild_; c;) {
        Ctrl* next = c->next_;
        c->parent_ = c->prev_ = c->next_ = nullptr;
        c = next;
    }
    firstchild_ = lastchild_ = nullptr;
}

// ---- Default virtual operations ----

void Ctrl::AddChild(Ctrl* child) { InsertChild(child, lastchild_); }

Ctrl& Ctrl::Add(Ctrl& child) {
    AddChild(&child);
    return *this;
}

void Ctrl::Layout() {}
Size Ctrl::GetMinSize() const { return Size(0, 0); }
void Ctrl::Paint(Draw&) {}
void Ctrl::CancelMode() {}
int Ctrl::OverPaint() const { return 0; }

HWND Ctrl::GetHWND() const {
    if (parent_ || !top_) return nullptr;
    return top_->hwnd;
}

bool Ctrl::IsEnabled() const { return IsEnabledFlag() && (!parent_ || parent_->IsEnabled()); }
std::wstring Ctrl::GetDesc() const { return std::wstring(); }
void Ctrl::StateHook(int) {}
void Ctrl::LostFocus() {}
LRESULT Ctrl::WindowProc(UINT, WPARAM, LPARAM) { return 0; }
void Ctrl::CaptureGained() {}
void Ctrl::CaptureLost() {}
bool Ctrl::IsContentClipped() const { return true; }

// ---- Tree ----

Ctrl* Ctrl::GetTopCtrl() {
    Ctrl* c = this;
    while (c->parent_) c = c->parent_;
    return c;
}

const Ctrl* Ctrl::GetTopCtrl() const { return const_cast<Ctrl*>(this)->GetTopCtrl(); }

bool Ctrl::IsDescendantOf(const Ctrl* ctrl) const {
    for (const Ctrl* c = parent_; c; c = c->parent_) {
        if (c == ctrl) return true;
    }
    return false;
}

void Ctrl::Unlink(Ctrl* child) {
    if (child->prev_) {
        child->prev_->next_ = child->next_;
    } else {
        firstchild_ = child->next_;
    }
    if (child->next_) {
        child->next_->prev_ = child->prev_;
    } else {
        lastchild_ = child->prev_;
    }
    child->parent_ = child->prev_ = child->next_ = nullptr;
}

std::vector<Ptr<Ctrl>> Ctrl::ChildList() const {
    std::vector<Ptr<Ctrl>> list;
    for (Ctrl* c = firstchild_; c; c = c->next_) list.emplace_back(c);
    return list;
}

void Ctrl::CancelModeDeep() {
    Ptr<Ctrl> self = this;
    CancelMode();
    if (!self) return;
    for (const Ptr<Ctrl>& p : ChildList()) {
        if (!self) return;
        Ctrl* c = p;
        if (c && c->parent_ == this) c->CancelModeDeep();
    }
}

void Ctrl::InsertChild(Ctrl* child, Ctrl* after) {
    // A control cannot hold itself or an ancestor, nor go after a stranger.
    if (!child || after == child || child == this || IsDescendantOf(child)) return;
    if (after && after->parent_ != this) return;
    bool moved_within = child->parent_ == this;
    Ptr<Ctrl> alive = child, place = after;
    if (Ctrl* old = child->parent_) {
        if (old != this && !old->IsAlwaysRefresh()) child->RefreshFrame();
        if (alive) old->ChildRemoving(child);
        if (!alive) return;
        // The removal step's handlers may have unlinked it, or moved it anywhere.
        if (child->parent_ != old) moved_within = false;
        if (Ctrl* now = child->parent_) now->Unlink(child);
    }
    if (IsDescendantOf(child)) return;
    Ctrl* at = place;
    if (after && (!at || at->parent_ != this)) at = lastchild_;
    after = at;
    child->parent_ = this;
    child->prev_ = after;
    child->next_ = after ? after->next_ : firstchild_;
    if (child->next_) {
        child->next_->prev_ = child;
    } else {
        lastchild_ = child;
    }
    if (after) {
        after->next_ = child;
    } else {
        firstchild_ = child;
    }
    child->CancelModeDeep();
    if (alive && !moved_within) child->UpdateRect();
}

void Ctrl::AddChildBefore(Ctrl* child, Ctrl* before) {
    if (!before) {
        AddChild(child);
    } else if (before->parent_ == this) {
        InsertChild(child, before->prev_);
    }
}

void Ctrl::RemoveChild(Ctrl* child) {
    if (!child || child->parent_ != this) return;
    Ptr<Ctrl> alive = child;
    if (!IsAlwaysRefresh()) child->RefreshFrame();
    if (alive) ChildRemoving(child);
    // Its handlers may have destroyed it (it unlinked itself) or moved it elsewhere.
    if (alive && child->parent_ == this) Unlink(child);
}

void Ctrl::Remove() {
    if (parent_) parent_->RemoveChild(this);
}

void Ctrl::RemoveChildren() {
    Ptr<Ctrl> self = this;
    while (self && firstchild_) RemoveChild(firstchild_);
}

// ---- State ----

void Ctrl::Show(bool show) {
    if (IsShown() == show) return;
    // The area is invalidated while still visible, then again in the new state.
    flags_ |= kVisible;
    RefreshFrame();
    if (!show) flags_ &= ~kVisible;
    RefreshFrame();
    if (InFrame() && parent_) parent_->RefreshLayout();
    if (IsOpen()) RefreshMouseCtrl(GetTopCtrl());
}

bool Ctrl::IsVisible() const {
    for (const Ctrl* c = this; c; c = c->parent_) {
        if (!c->IsShown()) return false;
    }
    return true;
}

void Ctrl::Enable(bool enable) {
    if (IsEnabledFlag() == enable) return;
    if (enable) {
        flags_ |= kEnabled;
    } else {
        flags_ &= ~kEnabled;
    }
    RefreshFrame();
}

void Ctrl::IgnoreMouse(bool ignore) {
    if (ignore) {
        flags_ |= kIgnoreMouse;
    } else {
        flags_ &= ~kIgnoreMouse;
    }
}

void Ctrl::WantFocus(bool want) {
    if (want) {
        flags3_ |= kWantFocus;
    } else {
        flags3_ &= ~kWantFocus;
    }
}

bool Ctrl::IsOpen() const {
    const Ctrl* top = GetTopCtrl();
    return top->GetHWND() && top->IsOpenBit();
}

void Ctrl::SetOpen(bool open) {
    if (open) {
        state_ |= kOpen;
    } else {
        state_ &= ~kOpen;
    }
}

void Ctrl::Action() { WhenAction(); }

// ---- Focus ----

bool Ctrl::SetFocus() {
    FocusState& f = Focus();
    if (f.ctrl == this) return true;
    Ctrl* top = GetTopCtrl();
    HWND hwnd = top->GetHWND();
    if (!hwnd || !top->IsOpenBit() || !IsEnabledFlag() || !IsVisible()) return false;
    if (::GetFocus() != hwnd) {
        ::SetFocus(hwnd);
        if (::GetFocus() != hwnd) return false;
    }
    SetForegroundWindow(hwnd);
    f.ctrl = this;
    f.window_ctrl = top;
    return true;
}

bool Ctrl::HasFocus() const { return Focus().ctrl.Get() == this; }

void Ctrl::ClearFocus() {
    FocusState& f = Focus();
    Ptr<Ctrl> prev = f.ctrl;
    f.ctrl = nullptr;
    f.window_ctrl = nullptr;
    if (Ctrl* c = prev) c->LostFocus();
}

Ctrl* Ctrl::GetFocusCtrl() { return Focus().ctrl; }

Ctrl* Ctrl::GetFocusWindowCtrl() { return Focus().window_ctrl; }

}  // namespace Gui

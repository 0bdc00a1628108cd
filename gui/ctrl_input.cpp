// Mouse dispatch: a top-level window's mouse message becomes a call on the control
// under the pointer (or the one holding the capture). Drag, triple click, repeat and
// hold are synthesised from raw presses; enter and leave follow the control under
// the mouse; the cursor follows what that control asks for.
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "gui/ctrl.h"
#include "gui/cursor_image.h"
#include "gui/timer.h"

namespace Gui {
namespace {

constexpr int kButtons = 3;  // indexed by the button code: middle 0, left 1, right 2
constexpr int kButtonKeys[kButtons] = {VK_MBUTTON, VK_LBUTTON, VK_RBUTTON};
constexpr int32_t kNullTime = INT_NULL;

struct MouseState {
    Ptr<Ctrl> mouse_ctrl;
    bool mouse_in = false;
    Ptr<Ctrl> capture_ctrl;
    HWND capture_hwnd = nullptr;  // the window SetCapture took, held past its control
    Ptr<Ctrl> repeat_ctrl;
    bool suppress = false;
    Point last_ctrl_point;
    Point last_top_point;
    Point press[kButtons];
    int32_t double_time[kButtons] = {kNullTime, kNullTime, kNullTime};
    Point double_point[kButtons];
    std::vector<Ptr<Ctrl>> refresh_tops;  // windows whose mouse control is to be found again

    MouseState() {
        for (int b = 0; b < kButtons; ++b) {
            press[b].SetNull();
            double_point[b].SetNull();
        }
    }
};

// Never destroyed: timer passes may still run while the process ends.
MouseState& Mouse() {
    static MouseState* state = new MouseState;
    return *state;
}

// Owner id of the repeat and hold callbacks.
void* MouseTimerId() { return &Mouse(); }

struct CursorState {
    Image override_cursor;
    Image current;
    HCURSOR handle = nullptr;
};

CursorState& Cursor() {
    static CursorState* state = new CursorState;
    return *state;
}

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

bool AnyButtonDown() { return GetMouseLeft() || GetMouseRight() || GetMouseMiddle(); }

// Chebyshev distance; a Null stored point gives `null_distance`.
int Distance(const Point& stored, const Point& p, int null_distance) {
    if (stored.IsNull()) return null_distance;
    const int64_t dx = llabs(static_cast<int64_t>(p.x) - stored.x);
    const int64_t dy = llabs(static_cast<int64_t>(p.y) - stored.y);
    return static_cast<int>(std::min<int64_t>(std::max(dx, dy), 0x7FFFFFFF));
}

Point operator+(Point a, Point b) { return Point(a.x + b.x, a.y + b.y); }
Point operator-(Point a, Point b) { return Point(a.x - b.x, a.y - b.y); }

void ClearPressPoints() {
    for (Point& p : Mouse().press) p.SetNull();
}

template <int B>
void Repeater() {
    MouseState& m = Mouse();
    Ctrl* top = m.repeat_ctrl;
    bool go = top && KeyDown(kButtonKeys[B]);
    // Right and middle repeats stop with the window's foreground; left ones do not.
    if (go && B != Ctrl::LEFT) go = top->GetTopCtrl()->GetHWND() == GetForegroundWindow();
    if (go) {
        Ctrl::RouteMouse(top, Ctrl::REPEAT | B, 0, m.last_top_point);
    } else {
        Ctrl::ResetMouseState();
    }
}

template <int B>
void RepeatStarter() {
    SetTimeCallback(-GetKbdSpeed(), MakeCallback(&Repeater<B>), MouseTimerId());
}

// Press point and last point are both in top-level client coordinates.
template <int B>
void HoldCheck() {
    MouseState& m = Mouse();
    Ctrl* top = m.repeat_ctrl;
    if (Distance(m.press[B], m.last_top_point, 0x7FFFFFFF) < DragThreshold() && top &&
        KeyDown(kButtonKeys[B])) {
        Ctrl::RouteMouse(top, Ctrl::HOLD | B, 0, m.last_top_point);
    }
}

using TimerFn = void (*)();
constexpr TimerFn kRepeatStarters[kButtons] = {&RepeatStarter<0>, &RepeatStarter<1>,
                                               &RepeatStarter<2>};
constexpr TimerFn kHoldChecks[kButtons] = {&HoldCheck<0>, &HoldCheck<1>, &HoldCheck<2>};

}  // namespace

// ---- Settings, key state and system values ----

namespace {
int g_drag_threshold = 4;
int g_double_click_interval = 500;
}  // namespace

int DragThreshold() { return g_drag_threshold; }
void SetDragThreshold(int pixels) { g_drag_threshold = pixels; }
int DoubleClickInterval() { return g_double_click_interval; }
void SetDoubleClickInterval(int ms) { g_double_click_interval = ms; }

bool GetShift() { return KeyDown(VK_SHIFT); }
bool GetCtrl() { return KeyDown(VK_CONTROL); }
bool GetAlt() { return KeyDown(VK_MENU); }
bool GetMouseLeft() { return KeyDown(VK_LBUTTON); }
bool GetMouseRight() { return KeyDown(VK_RBUTTON); }
bool GetMouseMiddle() { return KeyDown(VK_MBUTTON); }

DWORD GetMouseFlags() {
    DWORD flags = 0;
    if (GetAlt()) flags |= Ctrl::K_ALT;
    if (GetCtrl()) flags |= Ctrl::K_CTRL;
    if (GetShift()) flags |= Ctrl::K_SHIFT;
    if (GetMouseLeft()) flags |= Ctrl::K_MOUSELEFT;
    if (GetMouseRight()) flags |= Ctrl::K_MOUSERIGHT;
    if (GetMouseMiddle()) flags |= Ctrl::K_MOUSEMIDDLE;
    return flags;
}

Point GetMousePos() {
    POINT p = {0, 0};
    if (!GetCursorPos(&p)) return Point(0, 0);
    return Point(p.x, p.y);
}

int GetKbdSpeed() {
    UINT speed = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
    return 1000 / (static_cast<int>(std::min<UINT>(speed, 31)) + 2);
}

int GetKbdDelay() {
    UINT delay = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &delay, 0);
    return static_cast<int>(std::min<UINT>(delay, 3)) * 750 / 4 + 250;
}

// ---- Mouse-state control ----

void Ctrl::ResetMouseState() {
    Gui::KillTimeCallback(MouseTimerId());
    Mouse().repeat_ctrl = nullptr;
    ClearPressPoints();
}

void Ctrl::SuppressMouse() {
    Mouse().suppress = true;
    ResetMouseState();
}

void Ctrl::SuppressMouseWhilePressed() {
    if (AnyButtonDown()) SuppressMouse();
}

void Ctrl::EndMouseSuppression() {
    if (AnyButtonDown()) return;
    ResetMouseState();
    Mouse().suppress = false;
}

bool Ctrl::IsMouseSuppressed() { return Mouse().suppress; }

Ctrl* Ctrl::GetCaptureCtrl() { return Mouse().capture_ctrl; }
Ctrl* Ctrl::GetMouseCtrl() { return Mouse().mouse_ctrl; }
bool Ctrl::IsCaptureCtrl() const { return Mouse().capture_ctrl.Get() == this; }
bool Ctrl::IsMouseCtrl() const { return Mouse().mouse_ctrl.Get() == this; }

// ---- Dispatch ----

Image Ctrl::DispatchMouse(Ctrl* top, int event, int zdelta, Point p) {
    return DispatchMouseEvent(top, event, zdelta, p);
}

Image Ctrl::DispatchMouseEvent(Ctrl* top, int event, int zdelta, Point p) {
    MouseState& m = Mouse();
    Ptr<Ctrl> alive = top;
    if (event == MOUSEMOVE) {
        for (int b : {LEFT, RIGHT, MIDDLE}) {
            if (Distance(m.press[b], p, -1) > DragThreshold() && alive && m.repeat_ctrl == top) {
                const Point at = m.press[b];
                m.press[b].SetNull();
                RouteMouse(top, DRAG | b, 0, at);
            }
        }
        if (!alive) return Image();
    }
    m.last_top_point = p;
    const int action = event & ACTION, b = event & BUTTON;
    if (b < kButtons && action == DOUBLE) {
        m.double_time[b] = static_cast<int32_t>(GetTickCount());
        m.double_point[b] = p;
    } else if (b < kButtons && action == DOWN) {
        Gui::SetTimeCallback(GetKbdDelay(), MakeCallback(kRepeatStarters[b]), MouseTimerId());
        Gui::SetTimeCallback(2 * GetKbdDelay(), MakeCallback(kHoldChecks[b]), MouseTimerId());
        m.press[b] = p;
        if (Distance(m.double_point[b], p, 0x7FFFFFFF) < DragThreshold() &&
            m.double_time[b] != kNullTime &&
            GetTickCount() - static_cast<DWORD>(m.double_time[b]) <
                static_cast<DWORD>(DoubleClickInterval())) {
            event = TRIPLE | b;
        }
        m.repeat_ctrl = top;
    }
    if (m.repeat_ctrl != top) m.repeat_ctrl = nullptr;
    if (action == UP) ResetMouseState();
    Image img = RouteMouse(top, event, zdelta, p);
    if (!AnyButtonDown()) ReleaseCtrlCapture();
    return img;
}

Image Ctrl::RouteMouse(Ctrl* ctrl, int event, int zdelta, Point p) {
    if (!ctrl->IsEnabledFlag() && event != MOUSEWHEEL) return Image::Arrow();
    Ctrl* capture = Mouse().capture_ctrl;
    if (capture && capture != ctrl && capture->IsMouseTarget()) {
        const Point from = ctrl->GetScreenRect().TopLeft();
        const Point to = capture->GetScreenRect().TopLeft();
        return DeliverMouse(capture, event, zdelta, p + from - to);
    }
    if (event == MOUSEWHEEL && !ctrl->parent_) {
        // The native wheel message carries screen coordinates.
        p = Gui::GetMousePos() - ctrl->GetTopCtrl()->GetScreenRect().TopLeft();
    }
    Point in_child = p;
    if (Ctrl* child = ctrl->ChildAtPoint(in_child)) {
        return RouteMouse(child, event, zdelta, in_child);
    }
    return DeliverMouse(ctrl, event, zdelta, p);
}

Image Ctrl::DeliverMouse(Ctrl* ctrl, int event, int zdelta, Point p) {
    MouseState& m = Mouse();
    Ptr<Ctrl> alive = ctrl;
    m.last_ctrl_point = p;
    DWORD keyflags = 0;
    if ((event & ACTION) == DOUBLE) keyflags |= K_MOUSEDOUBLE;
    if ((event & ACTION) == TRIPLE) keyflags |= K_MOUSETRIPLE;
    if (m.mouse_ctrl != ctrl) {
        Ptr<Ctrl> previous = m.mouse_ctrl;
        m.mouse_ctrl = ctrl;
        if (Ctrl* old = previous) {
            CallMouseEvent(old, MOUSELEAVE, Point(0, 0), 0, keyflags | GetMouseFlags());
        }
        m.mouse_in = false;
    }
    if (!alive) return Image();
    const Rect view = ctrl->GetView();
    const bool inside = view.Contains(p);
    if (inside != m.mouse_in) {
        m.mouse_in = inside;
        CallMouseEvent(ctrl, inside ? MOUSEENTER : MOUSELEAVE, p, 0, keyflags | GetMouseFlags());
    }
    if (!alive || !(inside || ctrl->HasCapture())) return Image();
    return CallMouseEvent(ctrl, event, p - view.TopLeft(), zdelta, keyflags | GetMouseFlags());
}

Image Ctrl::CallMouseEvent(Ctrl* ctrl, int event, Point p, int zdelta, DWORD keyflags) {
    Ptr<Ctrl> alive = ctrl;
    if (ctrl->parent_) ctrl->parent_->ChildMouseEvent(ctrl, event, p, zdelta, keyflags);
    if (!alive) return Image();
    return ctrl->MouseEvent(event, p, zdelta, keyflags);
}

void Ctrl::ChildMouseEvent(Ctrl* child, int event, Point p, int zdelta, DWORD keyflags) {
    if (parent_) parent_->ChildMouseEvent(child, event, p, zdelta, keyflags);
}

Image Ctrl::MouseEvent(int event, Point p, int zdelta, DWORD keyflags) {
    switch (event) {
        case MOUSEENTER:
            MouseEnter(p, keyflags);
            break;
        case MOUSEMOVE:
            MouseMove(p, keyflags);
            break;
        case MOUSELEAVE:
            MouseLeave();
            break;
        case CURSORIMAGE:
            return CursorImage(p, keyflags);
        case MOUSEWHEEL:
            MouseWheel(p, zdelta, keyflags);
            break;
        case LEFTDOWN:
            LeftDown(p, keyflags);
            break;
        case LEFTDOUBLE:
            LeftDouble(p, keyflags);
            break;
        case LEFTTRIPLE:
            LeftTriple(p, keyflags);
            break;
        case LEFTREPEAT:
            LeftRepeat(p, keyflags);
            break;
        case LEFTDRAG:
            LeftDrag(p, keyflags);
            break;
        case LEFTHOLD:
            LeftHold(p, keyflags);
            break;
        case LEFTUP:
            LeftUp(p, keyflags);
            break;
        case RIGHTDOWN:
            RightDown(p, keyflags);
            break;
        case RIGHTDOUBLE:
            RightDouble(p, keyflags);
            break;
        case RIGHTTRIPLE:
            RightTriple(p, keyflags);
            break;
        case RIGHTREPEAT:
            RightRepeat(p, keyflags);
            break;
        case RIGHTDRAG:
            RightDrag(p, keyflags);
            break;
        case RIGHTHOLD:
            RightHold(p, keyflags);
            break;
        case RIGHTUP:
            RightUp(p, keyflags);
            break;
        case MIDDLEDOWN:
            MiddleDown(p, keyflags);
            break;
        case MIDDLEDOUBLE:
            MiddleDouble(p, keyflags);
            break;
        case MIDDLETRIPLE:
            MiddleTriple(p, keyflags);
            break;
        case MIDDLEREPEAT:
            MiddleRepeat(p, keyflags);
            break;
        case MIDDLEDRAG:
            MiddleDrag(p, keyflags);
            break;
        case MIDDLEHOLD:
            MiddleHold(p, keyflags);
            break;
        case MIDDLEUP:
            MiddleUp(p, keyflags);
            break;
        default:
            break;
    }
    return Image::Arrow();
}

void Ctrl::MouseEnter(Point, DWORD) {}
void Ctrl::MouseMove(Point, DWORD) {}
void Ctrl::LeftDown(Point, DWORD) {}
void Ctrl::LeftDouble(Point p, DWORD keyflags) { LeftDown(p, keyflags); }
void Ctrl::LeftTriple(Point p, DWORD keyflags) { LeftDown(p, keyflags); }
void Ctrl::LeftRepeat(Point, DWORD) {}
void Ctrl::LeftDrag(Point, DWORD) {}
void Ctrl::LeftHold(Point, DWORD) {}
void Ctrl::LeftUp(Point, DWORD) {}
void Ctrl::RightDown(Point, DWORD) {}
void Ctrl::RightDouble(Point p, DWORD keyflags) { RightDown(p, keyflags); }
void Ctrl::RightTriple(Point p, DWORD keyflags) { RightDown(p, keyflags); }
void Ctrl::RightRepeat(Point, DWORD) {}
void Ctrl::RightDrag(Point, DWORD) {}
void Ctrl::RightHold(Point, DWORD) {}
void Ctrl::RightUp(Point, DWORD) {}
void Ctrl::MiddleDown(Point, DWORD) {}
void Ctrl::MiddleDouble(Point, DWORD) {}
void Ctrl::MiddleTriple(Point, DWORD) {}
void Ctrl::MiddleRepeat(Point, DWORD) {}
void Ctrl::MiddleDrag(Point, DWORD) {}
void Ctrl::MiddleHold(Point, DWORD) {}
void Ctrl::MiddleUp(Point, DWORD) {}
void Ctrl::MouseWheel(Point, int, DWORD) {}
void Ctrl::MouseLeave() {}
Image Ctrl::CursorImage(Point, DWORD) { return Image::Arrow(); }

// ---- Capture ----

// Ending a capture runs the old capture control's CancelMode, which may destroy
// this control or its window's control: both are watched across it.
bool Ctrl::SetCapture() {
    Ptr<Ctrl> self = this;
    ReleaseCtrlCapture();
    if (!self) return false;
    Ctrl* top = GetTopCtrl();
    HWND hwnd = top->GetHWND();
    if (!hwnd) return false;
    ::SetCapture(hwnd);
    Mouse().mouse_ctrl = this;
    Mouse().capture_ctrl = this;
    Mouse().capture_hwnd = hwnd;
    top->CaptureGained();
    return true;
}

bool Ctrl::ReleaseCapture() {
    Ptr<Ctrl> top = GetTopCtrl();
    const bool released = IsCaptureCtrl() && ReleaseCtrlCapture();
    if (top) top->CaptureLost();
    return released;
}

// A capture control destroyed while it held the capture still lets go of its
// window, or that window would take every mouse message from then on. The record is
// cleared first, so a CancelMode that releases the capture itself finds none to end.
bool Ctrl::ReleaseCtrlCapture() {
    MouseState& m = Mouse();
    Ptr<Ctrl> capture = m.capture_ctrl;
    HWND hwnd = capture ? capture->GetTopCtrl()->GetHWND() : m.capture_hwnd;
    m.capture_ctrl = nullptr;
    m.capture_hwnd = nullptr;
    const bool held = hwnd && ::GetCapture() == hwnd;
    if (Ctrl* c = capture) c->CancelMode();
    if (held && ::GetCapture() == hwnd) ::ReleaseCapture();
    return held;
}

bool Ctrl::HasCapture() const {
    if (!IsCaptureCtrl()) return false;
    HWND hwnd = GetTopCtrl()->GetHWND();
    return hwnd && ::GetCapture() == hwnd;
}

// ---- Hit-testing ----

bool Ctrl::IsMouseTarget() const { return IsVisible() && IsOpen(); }

Ctrl* Ctrl::ChildAtPoint(Point& p) const {
    const Rect view = GetView();
    const bool in_view = view.Contains(p);
    const Point q = in_view ? p - view.TopLeft() : p;
    // The latest added child is painted on top, so it is hit first.
    for (Ctrl* c = lastchild_; c; c = c->prev_) {
        if (c->InFrame() == in_view || c->IsIgnoreMouse()) continue;
        if (c->rect_.Contains(q) && c->IsMouseTarget()) {
            p = q - c->rect_.TopLeft();
            return c;
        }
    }
    return nullptr;
}

Ctrl* Ctrl::ChildFromPoint(Point p) const {
    Ctrl* found = nullptr;
    const Ctrl* at = this;
    for (;;) {
        const Rect view = at->GetView();
        const bool in_view = view.Contains(p);
        const Point q = in_view ? p - view.TopLeft() : p;
        Ctrl* hit = nullptr;
        for (Ctrl* c = at->lastchild_; c && !hit; c = c->prev_) {
            if (c->InFrame() != in_view && c->rect_.Contains(q) && c->IsVisible()) hit = c;
        }
        if (!hit) return found;
        p = q - hit->rect_.TopLeft();
        found = hit;
        at = hit;
    }
}

Point Ctrl::GetMousePos() const { return Gui::GetMousePos() - GetVisibleScreenView().TopLeft(); }

bool Ctrl::HasMouseIn(const Rect& r) const {
    return IsMouseCtrl() && r.Contains(Gui::GetMousePos() - GetVisibleScreenView().TopLeft());
}

bool Ctrl::HasMouseInFrame(const Rect& r) const {
    return IsMouseCtrl() && r.Contains(Gui::GetMousePos() - GetVisibleScreenRect().TopLeft());
}

// ---- Tree hooks ----

// Before a child leaves this control: a capture held in the child's subtree ends and
// its window lets go, and an open window drops what the subtree was doing with the
// mouse.
void Ctrl::ChildRemoving(Ctrl* child) {
    MouseState& m = Mouse();
    Ctrl* capture = m.capture_ctrl;
    if (capture && (capture == child || capture->IsDescendantOf(child))) {
        HWND hwnd = capture->GetTopCtrl()->GetHWND();
        m.capture_ctrl = nullptr;
        m.capture_hwnd = nullptr;
        if (hwnd && ::GetCapture() == hwnd) ::ReleaseCapture();
    }
    if (!IsOpen()) return;
    child->CancelModeDeep();
    Ctrl* mouse = m.mouse_ctrl;
    if (mouse && (mouse == child || mouse->IsDescendantOf(child))) {
        m.mouse_ctrl = nullptr;
        m.mouse_in = false;
        CallMouseEvent(mouse, MOUSELEAVE, Point(0, 0), 0, GetMouseFlags());
    }
}

// ---- The mouse control found again under a still pointer ----

namespace {

char g_refresh_id;  // owner id of the posted search

void RefreshMouseCtrls() {
    MouseState& m = Mouse();
    std::vector<Ptr<Ctrl>> tops;
    tops.swap(m.refresh_tops);
    if (m.capture_ctrl) return;  // a capture keeps the mouse where it is
    const Point p = Gui::GetMousePos();
    for (const Ptr<Ctrl>& ptr : tops) {
        Ctrl* top = ptr;
        HWND hwnd = top ? top->GetHWND() : nullptr;
        if (!hwnd || !top->IsOpen() || WindowFromPoint(POINT{p.x, p.y}) != hwnd) continue;
        Ctrl::DispatchMouse(top, Ctrl::MOUSEMOVE, 0, p - top->GetScreenRect().TopLeft());
        Ctrl::SyncCursor();
    }
}

}  // namespace

void Ctrl::RefreshMouseCtrl(Ctrl* top) {
    MouseState& m = Mouse();
    for (const Ptr<Ctrl>& t : m.refresh_tops)
        if (t.Get() == top) return;
    m.refresh_tops.emplace_back(top);
    Gui::KillTimeCallback(&g_refresh_id);
    Gui::PostCallback(MakeCallback(&RefreshMouseCtrls), &g_refresh_id);
}

// ---- Leave by polling and the cursor ----

void Ctrl::CheckMouseLeave() {
    MouseState& m = Mouse();
    const Point p = Gui::GetMousePos();
    Ptr<Ctrl> mouse = m.mouse_ctrl;
    if (mouse && !mouse->HasCapture() && !mouse->GetScreenRect().Contains(p)) {
        m.mouse_ctrl = nullptr;
        if (m.mouse_in) {
            CallMouseEvent(mouse, MOUSELEAVE, p - mouse->GetScreenView().TopLeft(), 0,
                           GetMouseFlags());
        }
        m.mouse_in = false;
        ResetMouseState();
    }
    SyncCursor();
}

void Ctrl::SetMouseCursor(const Image& img) {
    CursorState& c = Cursor();
    if (img.GetSerialId() == c.current.GetSerialId()) return;
    c.current = img;
    HCURSOR handle = ImageToCursor(img);
    SetCursor(handle);
    if (c.handle) DestroyCursor(c.handle);
    c.handle = handle;
}

void Ctrl::SyncCursor() {
    CursorState& c = Cursor();
    if (!c.override_cursor.IsEmpty()) {
        SetMouseCursor(c.override_cursor);
    } else if (Ctrl* mouse = GetMouseCtrl()) {
        SetMouseCursor(mouse->MouseEvent(CURSORIMAGE, Mouse().last_ctrl_point, 0, GetMouseFlags()));
    } else {
        SetMouseCursor(Image::Arrow());
    }
}

Image Ctrl::OverrideCursor(const Image& img) {
    Image previous = Cursor().override_cursor;
    Cursor().override_cursor = img;
    SyncCursor();
    return previous;
}

}  // namespace Gui

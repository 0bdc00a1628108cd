// The base of every control: a node in a tree of controls, each with a logical
// position turned into a rectangle in its parent's view, visibility and enabled
// flags, and the virtual operations through which input, painting and layout reach
// derived controls. Only the outermost control of a tree owns a native window; the
// controls library creates it and fills the window map, through which the
// toolkit's window procedure routes messages to the control.
//
// Everything here runs on the user-interface thread. Records of other controls
// (focus, mouse, capture) are Ptrs, so a destroyed control simply drops out of them.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/core/callback.h"
#include "gui/core/pte.h"
#include "gui/geometry.h"
#include "gui/image.h"

namespace Gui {

class Ctrl;
class Draw;

// The system is of the NT family (GetVersion below 0x80000000).
bool IsWinNT();

// A frame around a control's view. Every control here has the null frame.
class CtrlFrame {
public:
    virtual void FrameLayout(Rect& r) = 0;
    virtual void FrameAddSize(Size& sz) = 0;
    virtual void FramePaint(Draw& w, const Rect& r);
    virtual void FrameAdd(Ctrl& parent);
    virtual void FrameRemove();
    virtual int OverPaint() const;
    virtual ~CtrlFrame() {}
};

class NullFrameClass : public CtrlFrame {
public:
    void FrameLayout(Rect& r) override;
    void FrameAddSize(Size& sz) override;
    void FramePaint(Draw& w, const Rect& r) override;
};

CtrlFrame& NullFrame();

// Toolkit settings read by the mouse synthesis.
int DragThreshold();  // pixels, 4 unless set
void SetDragThreshold(int pixels);
int DoubleClickInterval();  // ms, 500 unless set
void SetDoubleClickInterval(int ms);

// Key state through GetKeyState, at the moment of the call.
bool GetShift();
bool GetCtrl();
bool GetAlt();
bool GetMouseLeft();
bool GetMouseRight();
bool GetMouseMiddle();
// The key-flag word of mouse events (Ctrl::K_* bits).
DWORD GetMouseFlags();

// The cursor's screen position; (0, 0) when it cannot be read.
Point GetMousePos();
Rect GetVirtualScreenArea();
Rect GetWorkArea();
// The mouse repeat period in ms from the keyboard speed setting.
int GetKbdSpeed();
// The mouse repeat delay in ms from the keyboard delay setting.
int GetKbdDelay();

class Ctrl : public Pte<Ctrl> {
public:
    // Mouse event codes: the action in bits 4-7, the button in bits 0-3.
    enum : int {
        BUTTON = 0x0F,
        ACTION = 0xF0,

        MOUSEENTER = 0x10,
        MOUSEMOVE = 0x20,
        MOUSELEAVE = 0x30,
        CURSORIMAGE = 0x40,
        MOUSEWHEEL = 0x50,

        DOWN = 0x80,
        UP = 0x90,
        DOUBLE = 0xA0,
        REPEAT = 0xB0,
        DRAG = 0xC0,
        HOLD = 0xD0,
        TRIPLE = 0xE0,

        MIDDLE = 0,
        LEFT = 1,
        RIGHT = 2,

        LEFTDOWN = DOWN | LEFT,
        LEFTUP = UP | LEFT,
        LEFTDOUBLE = DOUBLE | LEFT,
        LEFTREPEAT = REPEAT | LEFT,
        LEFTDRAG = DRAG | LEFT,
        LEFTHOLD = HOLD | LEFT,
        LEFTTRIPLE = TRIPLE | LEFT,
        RIGHTDOWN = DOWN | RIGHT,
        RIGHTUP = UP | RIGHT,
        RIGHTDOUBLE = DOUBLE | RIGHT,
        RIGHTREPEAT = REPEAT | RIGHT,
        RIGHTDRAG = DRAG | RIGHT,
        RIGHTHOLD = HOLD | RIGHT,
        RIGHTTRIPLE = TRIPLE | RIGHT,
        MIDDLEDOWN = DOWN | MIDDLE,
        MIDDLEUP = UP | MIDDLE,
        MIDDLEDOUBLE = DOUBLE | MIDDLE,
        MIDDLEREPEAT = REPEAT | MIDDLE,
        MIDDLEDRAG = DRAG | MIDDLE,
        MIDDLEHOLD = HOLD | MIDDLE,
        MIDDLETRIPLE = TRIPLE | MIDDLE,
    };

    // The key-flag word passed with every mouse event.
    enum : DWORD {
        K_CTRL = 0x20000,
        K_SHIFT = 0x40000,
        K_ALT = 0x80000,
        K_MOUSEMIDDLE = 0x200000,
        K_MOUSERIGHT = 0x400000,
        K_MOUSELEFT = 0x800000,
        K_MOUSEDOUBLE = 0x1000000,
        K_MOUSETRIPLE = 0x2000000,
    };

    // One axis of a logical position: align in bits 63-62 (0 centre, 1 left or top,
    // 2 right or bottom, 3 size), a signed 31-bit offset a in bits 61-31 and a
    // signed 31-bit extent b in bits 30-0.
    class Logc {
    public:
        enum { CENTER = 0, LEFT = 1, RIGHT = 2, SIZE = 3 };

        Logc() : lo_(~0u), hi_(~0u) {}
        Logc(int align, int a, int b);

        int GetAlign() const { return static_cast<int>(hi_ >> 30); }
        int GetA() const;
        int GetB() const;
        uint32_t GetLow() const { return lo_; }
        uint32_t GetHigh() const { return hi_; }

        bool operator==(const Logc& o) const { return lo_ == o.lo_ && hi_ == o.hi_; }
        bool operator!=(const Logc& o) const { return !(*this == o); }

    private:
        uint32_t lo_, hi_;
    };

    struct LogPos {
        Logc x, y;
        bool operator==(const LogPos& o) const { return x == o.x && y == o.y; }
        bool operator!=(const LogPos& o) const { return !(*this == o); }
    };

    // The record of an outermost control that owns a native window.
    struct Top {
        HWND hwnd = nullptr;
    };

    Callback WhenAction;

    Ctrl();
    // Unlinks the control from its parent and siblings, detaches its children and
    // kills its time callbacks, without refreshing or calling any virtual operation.
    virtual ~Ctrl();
    Ctrl(const Ctrl&) = delete;
    Ctrl& operator=(const Ctrl&) = delete;

    // ---- Virtual operations ----
    virtual void AddChild(Ctrl* child);
    virtual Ctrl& Add(Ctrl& child);
    virtual Rect GetScreenRect() const;
    virtual void Show(bool show = true);
    virtual void Refresh();
    virtual void RefreshRect(const Rect& r);
    virtual void Layout();
    virtual Size GetMinSize() const;
    virtual void Paint(Draw& w);
    virtual void CancelMode();
    virtual int OverPaint() const;
    virtual HWND GetHWND() const;
    virtual bool IsEnabled() const;
    virtual std::wstring GetDesc() const;
    virtual void StateHook(int reason);
    virtual void CtrlPaint(Draw& w, const Rect& clip);
    virtual Image MouseEvent(int event, Point p, int zdelta, DWORD keyflags);
    virtual void MouseEnter(Point p, DWORD keyflags);
    virtual void MouseMove(Point p, DWORD keyflags);
    virtual void LeftDown(Point p, DWORD keyflags);
    virtual void LeftDouble(Point p, DWORD keyflags);
    virtual void LeftTriple(Point p, DWORD keyflags);
    virtual void LeftRepeat(Point p, DWORD keyflags);
    virtual void LeftDrag(Point p, DWORD keyflags);
    virtual void LeftHold(Point p, DWORD keyflags);
    virtual void LeftUp(Point p, DWORD keyflags);
    virtual void RightDown(Point p, DWORD keyflags);
    virtual void RightDouble(Point p, DWORD keyflags);
    virtual void RightTriple(Point p, DWORD keyflags);
    virtual void RightRepeat(Point p, DWORD keyflags);
    virtual void RightDrag(Point p, DWORD keyflags);
    virtual void RightHold(Point p, DWORD keyflags);
    virtual void RightUp(Point p, DWORD keyflags);
    virtual void MiddleDown(Point p, DWORD keyflags);
    virtual void MiddleDouble(Point p, DWORD keyflags);
    virtual void MiddleTriple(Point p, DWORD keyflags);
    virtual void MiddleRepeat(Point p, DWORD keyflags);
    virtual void MiddleDrag(Point p, DWORD keyflags);
    virtual void MiddleHold(Point p, DWORD keyflags);
    virtual void MiddleUp(Point p, DWORD keyflags);
    virtual void MouseWheel(Point p, int zdelta, DWORD keyflags);
    virtual void MouseLeave();
    virtual Image CursorImage(Point p, DWORD keyflags);
    virtual void LostFocus();
    // Sees the mouse events of every descendant before the descendant handles them.
    virtual void ChildMouseEvent(Ctrl* child, int event, Point p, int zdelta, DWORD keyflags);
    // A hook for the control that owns a native window; the answer is ignored.
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
    virtual void CaptureGained();
    virtual void CaptureLost();
    virtual bool IsContentClipped() const;
    // r in the window's client coordinates.
    virtual void WndInvalidateRect(const Rect& r);

    // ---- Tree ----
    void AddChildBefore(Ctrl* child, Ctrl* before);
    // Links child after `after` (first when null), taking it from its old parent.
    void InsertChild(Ctrl* child, Ctrl* after);
    void RemoveChild(Ctrl* child);
    void Remove();
    void RemoveChildren();

    Ctrl* GetParent() const { return parent_; }
    Ctrl* GetFirstChild() const { return firstchild_; }
    Ctrl* GetLastChild() const { return lastchild_; }
    Ctrl* GetNext() const { return parent_ ? next_ : nullptr; }
    Ctrl* GetPrev() const { return parent_ ? prev_ : nullptr; }
    Ctrl* GetTopCtrl();
    const Ctrl* GetTopCtrl() const;
    bool IsChild() const { return parent_ != nullptr; }
    bool IsChildOf(const Ctrl* ctrl) const { return parent_ == ctrl; }
    bool IsDescendantOf(const Ctrl* ctrl) const;
    bool InFrame() const { return (flags3_ & kInFrame) != 0; }
    bool InView() const { return !InFrame(); }

    // ---- State ----
    void Hide() { Show(false); }
    // The own visible flag; IsVisible also asks every ancestor.
    bool IsShown() const { return (flags_ & kVisible) != 0; }
    bool IsVisible() const;
    void Enable(bool enable = true);
    void Disable() { Enable(false); }
    bool IsEnabledFlag() const { return (flags_ & kEnabled) != 0; }
    // A control that ignores the mouse is passed over by hit-testing.
    void IgnoreMouse(bool ignore = true);
    bool IsIgnoreMouse() const { return (flags_ & kIgnoreMouse) != 0; }
    // A clicked control that wants the focus takes it (the controls library).
    void WantFocus(bool want = true);
    bool IsWantFocus() const { return (flags3_ & kWantFocus) != 0; }
    // The outermost control has its window and is open.
    bool IsOpen() const;
    void Action();

    // ---- Native window services; each acts only on a control with a window ----
    void WndShow(bool show);
    void WndUpdate();
    bool IsWndOpen() const { return GetHWND() != nullptr; }
    bool HasWndFocus() const;
    bool SetWndFocus();
    bool SetWndCapture();
    bool ReleaseWndCapture();
    bool HasWndCapture() const;
    bool IsForeground() const;
    void SetForeground();

    // ---- Focus ----
    bool SetFocus();
    bool HasFocus() const;
    static void ClearFocus();
    static Ctrl* GetFocusCtrl();
    static Ctrl* GetFocusWindowCtrl();

    // ---- Cursor ----
    static void SetMouseCursor(const Image& img);
    static void SyncCursor();
    // Replaces the cursor that wins over every control's; returns the previous one.
    static Image OverrideCursor(const Image& img);

    // ---- Geometry ----
    Ctrl& SetPos(LogPos p);
    Ctrl& SetPos(Logc x, Logc y) { return SetPos(LogPos{x, y}); }
    Ctrl& SetPosX(Logc x) { return SetPos(x, pos_.y); }
    Ctrl& SetPosY(Logc y) { return SetPos(pos_.x, y); }
    Ctrl& SetRect(int x, int y, int cx, int cy);
    Ctrl& SetRect(const Rect& r) { return SetRect(r.left, r.top, r.Width(), r.Height()); }
    Ctrl& LeftPos(int a, int size) { return SetPosX(Logc(Logc::LEFT, a, size)); }
    Ctrl& RightPos(int a, int size) { return SetPosX(Logc(Logc::RIGHT, a, size)); }
    Ctrl& TopPos(int a, int size) { return SetPosY(Logc(Logc::LEFT, a, size)); }
    Ctrl& BottomPos(int a, int size) { return SetPosY(Logc(Logc::RIGHT, a, size)); }
    Ctrl& HSizePos(int left = 0, int right = 0) { return SetPosX(Logc(Logc::SIZE, left, right)); }
    Ctrl& VSizePos(int top = 0, int bottom = 0) { return SetPosY(Logc(Logc::SIZE, top, bottom)); }
    Ctrl& SizePos() { return HSizePos().VSizePos(); }
    Ctrl& HCenterPos(int size, int delta = 0) { return SetPosX(Logc(Logc::CENTER, delta, size)); }
    Ctrl& VCenterPos(int size, int delta = 0) { return SetPosY(Logc(Logc::CENTER, delta, size)); }

    LogPos GetPos() const { return pos_; }
    Rect GetRect() const { return rect_; }
    Rect GetView() const { return frame_.view; }
    Size GetSize() const { return GetView().GetSize(); }
    Rect GetScreenView() const;
    Rect GetVisibleScreenRect() const;
    Rect GetVisibleScreenView() const;

    // One position against a parent: n from the parent rectangle's size for a frame
    // child, from the view's size otherwise; relative to (0, 0).
    static Rect CalcRect(const LogPos& pos, const Rect& prect, const Rect& pview,
                         bool in_frame = false);
    void UpdateRect0();
    void UpdateRect();
    // Re-places the children (size changed, or force >= 2) and calls Layout (view
    // changed, or any force).
    void SyncLayout(int force = 0);
    void RefreshLayout() { SyncLayout(1); }
    void RefreshParentLayout();

    // ---- Painting ----
    void Refresh(int x, int y, int cx, int cy) { RefreshRect(RectC(x, y, cx, cy)); }
    // r in frame coordinates: the control's whole rectangle from (0, 0).
    void RefreshFrame(const Rect& r);
    void RefreshFrame();
    void RefreshFrame(int x, int y, int cx, int cy) { RefreshFrame(RectC(x, y, cx, cy)); }
    void ClearRefreshPending();
    bool IsRefreshPending() const { return (state_ & kRefreshPending) != 0; }
    void SetAlwaysRefresh();
    bool IsAlwaysRefresh() const { return (flags2_ & kAlwaysRefresh) != 0; }

    // ---- Input dispatch ----
    // Entry of the top-level control's mouse handlers; p in its client coordinates.
    static Image DispatchMouse(Ctrl* top, int event, int zdelta, Point p);
    static Image DispatchMouseEvent(Ctrl* top, int event, int zdelta, Point p);
    // p in ctrl's own (frame) coordinates.
    static Image RouteMouse(Ctrl* ctrl, int event, int zdelta, Point p);
    static Image DeliverMouse(Ctrl* ctrl, int event, int zdelta, Point p);
    static Image CallMouseEvent(Ctrl* ctrl, int event, Point p, int zdelta, DWORD keyflags);

    bool SetCapture();
    bool ReleaseCapture();
    static bool ReleaseCtrlCapture();
    bool HasCapture() const;
    bool IsCaptureCtrl() const;
    bool IsMouseCtrl() const;
    static Ctrl* GetCaptureCtrl();
    static Ctrl* GetMouseCtrl();

    bool IsMouseTarget() const;
    // The child hit at p (in this control's frame coordinates); p comes back in the
    // child's coordinates.
    Ctrl* ChildAtPoint(Point& p) const;
    // The deepest visible descendant at p; null when no child is there.
    Ctrl* ChildFromPoint(Point p) const;
    // The cursor relative to the visible screen view.
    Point GetMousePos() const;
    bool HasMouseIn(const Rect& r) const;
    bool HasMouseInFrame(const Rect& r) const;

    // Something under a still pointer was shown or hidden in top's window: the mouse
    // control is found again after the handlers running now, as if the pointer moved.
    static void RefreshMouseCtrl(Ctrl* top);
    static void ResetMouseState();
    static void SuppressMouse();
    static void SuppressMouseWhilePressed();
    // Ends the suppression once no button is down.
    static void EndMouseSuppression();
    static bool IsMouseSuppressed();

    // ---- Time callbacks owned by this control: the id is its address plus id ----
    void SetTimeCallback(int delay_ms, Callback cb, int id = 0);
    void PostCallback(Callback cb, int id = 0);
    void KillTimeCallback(int id = 0);
    void KillPostCallback(Callback cb, int id);
    bool ExistsTimeCallback(int id = 0);

    // ---- Start-up and native glue ----
    // Registers the toolkit's window classes and starts the timer window; once, on
    // the user-interface thread, before any window exists.
    static void InitWin32(HINSTANCE instance);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // Native window to the control that owns it. An entry goes when its window gets
    // WM_NCDESTROY.
    static std::map<HWND, Ptr<Ctrl>>& GetWindowMap();
    static HINSTANCE GetInstance();
    static HWND GetTimerHWND();
    // The polling mouse-leave check and cursor sync of every timer pass.
    static void CheckMouseLeave();

protected:
    // For the control that becomes an outermost window: records hwnd as its window
    // and enters it in the window map (replacing an older entry for the handle).
    void SetTopWindow(HWND hwnd);
    Top* GetTop() const { return top_.get(); }
    void SetOpen(bool open);
    bool IsOpenBit() const { return (state_ & kOpen) != 0; }
    // Where the window now is (its client area in screen coordinates): the control
    // takes it as its position and lays its children out again, without moving the
    // window.
    void SetWndRect(const Rect& r);

private:
    enum : uint8_t { kOpen = 0x01, kRefreshPending = 0x02 };
    enum : uint8_t { kVisible = 0x02, kIgnoreMouse = 0x04, kEnabled = 0x08 };
    enum : uint8_t { kAlwaysRefresh = 0x02 };
    enum : uint8_t { kInFrame = 0x01, kWantFocus = 0x02 };

    struct Frame {
        CtrlFrame* frame;
        Rect view;
    };

    void* TimeId(int id) { return reinterpret_cast<char*>(this) + id; }
    void SetPos0(const LogPos& p);
    // The children as they are now. Handlers run for one child may remove or
    // destroy others, so a walk takes each only while it lives and is still a child.
    std::vector<Ptr<Ctrl>> ChildList() const;
    // Tree helpers: no virtual calls, no refresh.
    void Unlink(Ctrl* child);
    void ChildRemoving(Ctrl* child);
    void CancelModeDeep();
    void DropWindow(HWND hwnd);
    bool MayRefresh() const;

    uint8_t state_ = 0;
    std::unique_ptr<Top> top_;
    Rect rect_;
    uint8_t flags_ = kVisible | kEnabled;
    uint8_t flags2_ = 0;
    Ctrl* prev_ = nullptr;
    Ctrl* next_ = nullptr;
    Ctrl* firstchild_ = nullptr;
    Ctrl* lastchild_ = nullptr;
    Ctrl* parent_ = nullptr;
    uint8_t flags3_ = 0;
    LogPos pos_;
    Frame frame_;
};

}  // namespace Gui

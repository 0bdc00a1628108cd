// The toolkit's native side: window classes, the timer window, the window map and
// the procedure that routes a window's messages to its control, and the small
// services an outermost control asks of its window.
#include "gui/ctrl.h"

#include "gui/core/mutex.h"
#include "gui/timer.h"

namespace Gui {
namespace {

HINSTANCE g_instance;
HWND g_timer_hwnd;

struct ToolkitClass {
    const wchar_t* name;
    UINT style;
    bool nt_only;
};

// In the order they are registered; the timer class comes last.
const ToolkitClass kClasses[] = {
    {L"GTK2-W", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, true},
    {L"GTK2-DS-W", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_DROPSHADOW, true},
    {L"GTK2-SB-W", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS, true},
    {L"GTK2-SB-DS-W", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS | CS_DROPSHADOW, true},
    {L"GTK2-A", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, false},
    {L"GTK2-SB-A", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS, false},
};

const UINT_PTR kTimerId = 1;
const UINT kTimerPeriodMs = 10;

}  // namespace

bool IsWinNT() { return GetVersion() < 0x80000000u; }

void Ctrl::SetTimeCallback(int delay_ms, Callback cb, int id) {
    Gui::SetTimeCallback(delay_ms, std::move(cb), TimeId(id));
}

void Ctrl::PostCallback(Callback cb, int id) { SetTimeCallback(0, std::move(cb), id); }

void Ctrl::KillTimeCallback(int id) { Gui::KillTimeCallback(TimeId(id), TimeId(id + 1)); }

void Ctrl::KillPostCallback(Callback cb, int id) {
    KillTimeCallback(id);
    PostCallback(std::move(cb), id);
}

bool Ctrl::ExistsTimeCallback(int id) { return Gui::ExistsTimeCallback(TimeId(id)); }

std::map<HWND, Ptr<Ctrl>>& Ctrl::GetWindowMap() {
    static std::map<HWND, Ptr<Ctrl>> map;
    return map;
}

HINSTANCE Ctrl::GetInstance() { return g_instance; }

HWND Ctrl::GetTimerHWND() { return g_timer_hwnd; }

LRESULT CALLBACK Ctrl::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto& map = GetWindowMap();
    auto it = map.find(hwnd);
    if (it != map.end()) {
        Ptr<Ctrl> owner = it->second;
        if (Ctrl* ctrl = owner) ctrl->WindowProc(message, wparam, lparam);
        if (message == WM_NCDESTROY) {
            // The handle is dead from now on: neither the map nor the control keeps it.
            map.erase(hwnd);
            if (Ctrl* ctrl = owner) ctrl->DropWindow(hwnd);
        }
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Ctrl::SetTopWindow(HWND hwnd) {
    if (!top_) top_ = std::make_unique<Top>();
    top_->hwnd = hwnd;
    GetWindowMap()[hwnd] = this;
}

void Ctrl::DropWindow(HWND hwnd) {
    if (!top_ || top_->hwnd != hwnd) return;
    top_.reset();
    state_ &= ~kOpen;
}

// ---- Native window services ----

void Ctrl::WndShow(bool show) {
    if (HWND hwnd = GetHWND()) ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
}

void Ctrl::WndUpdate() {
    if (HWND hwnd = GetHWND()) UpdateWindow(hwnd);
}

bool Ctrl::HasWndFocus() const {
    HWND hwnd = GetHWND();
    return hwnd && ::GetFocus() == hwnd;
}

bool Ctrl::SetWndFocus() {
    HWND hwnd = GetHWND();
    if (!hwnd) return false;
    ::SetFocus(hwnd);
    return true;
}

bool Ctrl::SetWndCapture() {
    HWND hwnd = GetHWND();
    if (!hwnd) return false;
    ::SetCapture(hwnd);
    return true;
}

bool Ctrl::ReleaseWndCapture() {
    HWND hwnd = GetHWND();
    if (!hwnd || ::GetCapture() != hwnd) return false;
    ::ReleaseCapture();
    return true;
}

bool Ctrl::HasWndCapture() const {
    HWND hwnd = GetHWND();
    return hwnd && ::GetCapture() == hwnd;
}

bool Ctrl::IsForeground() const {
    HWND hwnd = GetTopCtrl()->GetHWND();
    return hwnd && GetForegroundWindow() == hwnd;
}

void Ctrl::SetForeground() {
    if (HWND hwnd = GetTopCtrl()->GetHWND()) SetForegroundWindow(hwnd);
}

void Ctrl::InitWin32(HINSTANCE instance) {
    g_instance = instance;
    bool nt = IsWinNT();
    for (const ToolkitClass& cls : kClasses) {
        if (cls.nt_only && !nt) continue;
        WNDCLASSW wc{};
        wc.style = cls.style;
        wc.lpfnWndProc = &Ctrl::WndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
        wc.lpszClassName = cls.name;
        RegisterClassW(&wc);
    }
    WNDCLASSW timer{};
    timer.lpfnWndProc = &TimerWndProc;
    timer.hInstance = instance;
    timer.lpszClassName = L"GTK2-TIMER";
    RegisterClassW(&timer);

    InitTimeCallbacks();
    g_timer_hwnd = CreateWindowExW(0, L"GTK2-TIMER", L"", 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    SetTimer(g_timer_hwnd, kTimerId, kTimerPeriodMs, NULL);
}

}  // namespace Gui

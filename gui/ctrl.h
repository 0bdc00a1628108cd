// The base of every control, and the toolkit's Win32 glue: its window classes, the
// timer window and the procedure that routes native messages to the control that
// owns a window. Only what start-up and the time callbacks need is here yet; the
// control tree, geometry, input and painting extend this class.
#pragma once

#include <windows.h>

#include <map>

#include "gui/core/callback.h"
#include "gui/core/pte.h"

namespace Gui {

// The system is of the NT family (GetVersion below 0x80000000).
bool IsWinNT();

class Ctrl : public Pte<Ctrl> {
public:
    Ctrl();
    virtual ~Ctrl();
    Ctrl(const Ctrl&) = delete;
    Ctrl& operator=(const Ctrl&) = delete;

    // A hook for the control that owns a native window; the answer is ignored.
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

    // Time callbacks owned by this control: the id is the control's address plus id.
    void SetTimeCallback(int delay_ms, Callback cb, int id = 0);
    void PostCallback(Callback cb, int id = 0);
    void KillTimeCallback(int id = 0);
    void KillPostCallback(Callback cb, int id);
    bool ExistsTimeCallback(int id = 0);

    // Registers the toolkit's window classes and starts the timer window; once, on
    // the user-interface thread, before any window exists.
    static void InitWin32(HINSTANCE instance);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // Native window to the control that owns it; the controls library fills it.
    static std::map<HWND, Ptr<Ctrl>>& GetWindowMap();
    static HINSTANCE GetInstance();
    static HWND GetTimerHWND();
    // The polling mouse-leave check of every timer pass.
    static void CheckMouseLeave();

private:
    void* TimeId(int id) { return reinterpret_cast<char*>(this) + id; }
};

}  // namespace Gui

// A top-level window: a modeless dialog made from an in-memory template, without a
// system frame, whose client area is the rectangle of its root control. The root's
// tree is the window's content; the dialog procedure hands the window's messages
// to the root and to the virtual operations below.
#pragma once

#include <windows.h>

#include <string>

#include "ctrls/top_ctrl.h"
#include "ctrls/top_wnd_base.h"
#include "gui/core/callback.h"
#include "gui/geometry.h"

namespace ctrls {

class TopWindow : public TopWndBase {
public:
    // Run by Close before the window is destroyed.
    Gui::Callback WhenClose;

    TopWindow();
    // Destroys a window that is still there, without the closed notification.
    ~TopWindow() override;

    // Makes the window, hidden, at the root's rectangle (screen coordinates of the
    // client area), owned by parent (null: unowned). Answers the handle, null on
    // failure; an open window is answered as it is.
    HWND Create(HWND parent = nullptr);
    // The handle is set and names a window.
    bool IsOpen() const;
    // Shows the window (without activation when marked so).
    void Show();
    // SW_HIDE; the window and this object stay.
    void Hide();
    // Runs WhenClose and destroys the window. Windows that must stay override it.
    virtual void Close();
    // The window is shown without activation (WS_EX_NOACTIVATE, SW_SHOWNOACTIVATE).
    TopWindow& NoActivate(bool on = true);
    bool IsNoActivate() const { return no_activate_; }

    // The caption text (the title a desktop shows for the window).
    TopWindow& SetTitle(const std::wstring& title);
    const std::wstring& GetTitle() const { return title_; }

    // The client area in screen coordinates; an open window moves there.
    TopWindow& SetRect(const Gui::Rect& r);
    TopWindow& SetRect(int x, int y, int cx, int cy) { return SetRect(Gui::RectC(x, y, cx, cy)); }
    Gui::Rect GetRect() const { return root_.GetRect(); }

    // Puts a control into the window's tree.
    virtual void AddChild(Gui::Ctrl* child);
    TopWindow& Add(Gui::Ctrl& child) {
        AddChild(&child);
        return *this;
    }

    TopCtrl& GetRoot() { return root_; }
    const TopCtrl& GetRoot() const { return root_; }

protected:
    friend class TopCtrl;

    virtual DWORD GetStyle() const;
    virtual DWORD GetExStyle() const;
    // The window's messages: true in *handled when the window answered, with the
    // answer as the result; else the dialog's default handling follows.
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
    // The window is made and placed, still hidden.
    virtual void OnCreated();
    // The window lost the keyboard focus to another window (or to none).
    virtual void OnKillFocus(HWND to);
    // The window has been destroyed (its last message). The object may be deleted
    // here: nothing touches it afterwards.
    virtual void OnWindowDestroyed();
    // Part of the client area needs painting again.
    virtual void InvalidateWindowRect(const Gui::Rect& r);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    TopCtrl root_;
    std::wstring title_;
    bool no_activate_ = false;
};

}  // namespace ctrls

// The root control of a top-level window: the outermost control of the window's
// tree. It turns the window's mouse, paint and key messages into the toolkit's
// dispatch, keeps its rectangle on the window's client area and invalidates the
// window for the tree.
#pragma once

#include <windows.h>

#include "gui/ctrl.h"

namespace ctrls {

class TopWindow;

class TopCtrl : public Gui::Ctrl {
public:
    TopCtrl() = default;
    ~TopCtrl() override;

    // Becomes the control of the window: open, in the toolkit's window map, and
    // placed on the window's client area.
    void Attach(HWND hwnd);
    // The window's client area in screen coordinates becomes the control's
    // rectangle; nothing while the window is minimised (its client area is empty).
    void SyncWndRect();

    // The window's messages that the tree handles: true when handled, with the
    // message's answer in *result.
    bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

    // Mouse entries, p in client coordinates.
    void OnLeftDown(Gui::Point p);
    void OnLeftUp(Gui::Point p);
    void OnLeftDouble(Gui::Point p);
    void OnMouseMove(Gui::Point p);
    void OnMouseWheel(int zdelta, Gui::Point p);
    // Paints the tree into a back buffer and copies the update area to the window.
    void OnPaint();
    // Hands a key message to the focus control when it lies in this tree and takes
    // keys; true when it used the key.
    bool OnKey(UINT message, WPARAM wparam, LPARAM lparam);

    // While set (the default), a press outside the focused control takes the focus
    // from it and gives it to the window.
    void SetFocusRoot(bool on) { focus_root_ = on; }
    bool IsFocusRoot() const { return focus_root_; }

    // The window that hosts the tree, told of invalidation instead of the native
    // window (a layered window paints by itself).
    void SetHost(TopWindow* host) { host_ = host; }

    Gui::Rect GetScreenRect() const override;
    void CaptureGained() override;
    void CaptureLost() override;
    void WndInvalidateRect(const Gui::Rect& r) override;

    // The focus control lies in this tree.
    bool HoldsFocus() const;

    using Gui::Ctrl::SetOpen;

private:
    // The suppress rule of release, move and wheel: true when the message is dropped.
    static bool Suppressed();

    TopWindow* host_ = nullptr;
    bool focus_root_ = true;
};

}  // namespace ctrls

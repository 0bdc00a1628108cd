// The chrome of a skinned top-level window, laid over its whole client area: the
// background (the style's nine-grid image, else its colour), the icon and title,
// the minimise and close boxes, and the title area (dragtop pixels from the top)
// that moves the window with the pointer. A box only posts WM_SYSCOMMAND
// (SC_MINIMIZE, SC_CLOSE) to the top-level window, which decides what that means.
#pragma once

#include <string>

#include "ctrls/button.h"
#include "ctrls/system_panel_style.h"
#include "gui/ctrl.h"

namespace ctrls {

class SystemPanel : public Gui::Ctrl {
public:
    using Style = SystemPanelStyle;

    static const Style& StyleDefault();

    SystemPanel();

    // Also takes the style's title text.
    SystemPanel& SetStyle(const Style& style);
    const Style& GetStyle() const { return style_; }
    SystemPanel& SetTitle(const std::wstring& title);
    const std::wstring& GetTitle() const { return title_; }
    // The boxes, for the window to adjust (a tip, disabling); hidden when the style
    // gives them no look.
    Button& MinBox() { return minbox_; }
    Button& CloseBox() { return closebox_; }
    bool IsDragging() const { return dragging_; }

    void Paint(Gui::Draw& w) override;
    void Layout() override;
    Gui::Size GetMinSize() const override { return style_.wndsize; }
    void LeftDown(Gui::Point p, DWORD keyflags) override;
    void MouseMove(Gui::Point p, DWORD keyflags) override;
    void LeftUp(Gui::Point p, DWORD keyflags) override;
    void CancelMode() override;

private:
    void PostSysCommand(WPARAM command);
    void Minimize() { PostSysCommand(SC_MINIMIZE); }
    void Close() { PostSysCommand(SC_CLOSE); }

    Style style_;
    std::wstring title_;
    Button minbox_;
    Button closebox_;
    bool dragging_ = false;
    Gui::Point drag_from_;    // the pointer on the screen at the press
    Gui::Point window_from_;  // the window's top-left corner then
};

}  // namespace ctrls

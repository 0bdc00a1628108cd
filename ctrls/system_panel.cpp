#include "ctrls/system_panel.h"

#include "base/string_util.h"
#include "ctrls/standard_styles.h"
#include "gui/draw.h"
#include "gui/image_painter.h"
#include "gui/style.h"

namespace ctrls {

const SystemPanel::Style& SystemPanel::StyleDefault() {
    return Gui::DefaultStyle<Style, FillStandardStyle>();
}

SystemPanel::SystemPanel() {
    minbox_.WhenAction = Gui::MakeCallback(this, &SystemPanel::Minimize);
    closebox_.WhenAction = Gui::MakeCallback(this, &SystemPanel::Close);
    Add(minbox_);
    Add(closebox_);
    SetStyle(StyleDefault());
}

SystemPanel& SystemPanel::SetStyle(const Style& style) {
    style_ = style;
    title_ = base::Utf8ToWide(style_.titletext.c_str());
    minbox_.SetStyle(style_.minbox);
    closebox_.SetStyle(style_.closebox);
    Layout();
    Refresh();
    return *this;
}

SystemPanel& SystemPanel::SetTitle(const std::wstring& title) {
    title_ = title;
    Refresh();
    return *this;
}

void SystemPanel::Layout() {
    // A box the style gives no place sits at the top right, left of those placed so.
    int right = GetSize().cx;
    for (Button* box : {&closebox_, &minbox_}) {
        const ButtonStyle& s = box->GetStyle();
        box->Show(!s.look[0].IsEmpty());
        if (s.posx[1] > 0 && s.posy[1] > 0) {
            box->SetRect(s.posx[0], s.posy[0], s.posx[1], s.posy[1]);
        } else {
            const Gui::Size size = s.look[0].GetSize();
            right -= size.cx;
            box->SetRect(right, 0, size.cx, size.cy);
        }
    }
}

void SystemPanel::Paint(Gui::Draw& w) {
    const Gui::Rect r(GetSize());
    if (style_.wndbg.IsEmpty()) {
        w.DrawRect(r, style_.wndcolorbg);
    } else {
        PaintImageRect(w, r, style_.wndbg);
    }
    w.DrawImage(style_.iconpos.x, style_.iconpos.y, style_.icon);
    const Gui::Color ink = style_.titleink.IsNull() ? StyleDefault().titleink : style_.titleink;
    w.DrawText(style_.titlepos.x, style_.titlepos.y, title_, style_.titlefont, ink);
}

void SystemPanel::PostSysCommand(WPARAM command) {
    if (HWND hwnd = GetTopCtrl()->GetHWND()) PostMessageW(hwnd, WM_SYSCOMMAND, command, 0);
}

// The window follows the pointer's screen position, not the press point in the
// window, which moves with it.
void SystemPanel::LeftDown(Gui::Point p, DWORD) {
    HWND hwnd = GetTopCtrl()->GetHWND();
    RECT window;
    if (p.y >= style_.dragtop || !hwnd || !GetWindowRect(hwnd, &window)) return;
    dragging_ = true;
    drag_from_ = Gui::GetMousePos();
    window_from_ = Gui::Point(window.left, window.top);
    SetCapture();
}

void SystemPanel::MouseMove(Gui::Point, DWORD) {
    HWND hwnd = GetTopCtrl()->GetHWND();
    if (!dragging_ || !hwnd) return;
    const Gui::Point now = Gui::GetMousePos();
    SetWindowPos(hwnd, nullptr, window_from_.x + now.x - drag_from_.x,
                 window_from_.y + now.y - drag_from_.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SystemPanel::LeftUp(Gui::Point, DWORD) {
    if (!dragging_) return;
    dragging_ = false;
    ReleaseCapture();
}

void SystemPanel::CancelMode() { dragging_ = false; }

}  // namespace ctrls

#include "ctrls/layered_menu.h"

#include <algorithm>

#include "gui/draw.h"
#include "gui/image_painter.h"
#include "skin/skin_loader.h"

namespace ctrls {
namespace {

// Text starts this far right of an item's left edge.
constexpr int kTextIndent = 12;

// A shortcut menu stays within the work area of the monitor that holds the pointer.
Gui::Rect PointerWorkArea() {
    POINT pointer{0, 0};
    GetCursorPos(&pointer);
    MONITORINFO info{sizeof info, {}, {}, 0};
    if (!GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &info))
        return Gui::GetWorkArea();
    return Gui::Rect(info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom);
}

}  // namespace

LayeredMenu::Look LayeredMenu::LoadLook() {
    skin::SkinLoader& skin = skin::SkinLoader::Instance();
    Look look;
    skin.GetImage("menu.bg", look.bg);
    if (!skin.GetRealisedFont("menu.font", look.font)) look.font = Gui::GetDefaultFont();
    int height = 0;
    if (skin.GetNumber("menu.itemheight", height) && height > 0) look.itemheight = height;
    skin.GetRect("menu.margin", look.margin);
    skin.GetColor("menu.textcolor", look.textcolor);
    skin.GetColor("menu.hottextcolor", look.hottextcolor);
    skin.GetColor("menu.hotcolor", look.hotcolor);
    return look;
}

LayeredMenu::LayeredMenu() : look_(LoadLook()), body_(*this) {
    body_.SizePos();
    AddChild(&body_);
}

LayeredMenu::~LayeredMenu() = default;

DWORD LayeredMenu::GetExStyle() const {
    return FadeWindow::GetExStyle() | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

int LayeredMenu::AddItem(const std::wstring& text, Gui::Color color) {
    items_.push_back(Item{text, color});
    body_.Refresh();
    return GetCount() - 1;
}

Gui::Rect LayeredMenu::GetItemRect(int id) const {
    const Gui::Size size = body_.GetSize();
    const int top = look_.margin.top + id * look_.itemheight;
    return Gui::Rect(look_.margin.left, top, size.cx - look_.margin.right, top + look_.itemheight);
}

int LayeredMenu::ItemAt(Gui::Point p) const {
    for (int id = 0; id < GetCount(); ++id)
        if (GetItemRect(id).Contains(p)) return id;
    return -1;
}

void LayeredMenu::Popup(const Gui::Rect& at, HWND owner) {
    const Gui::Rect work = PointerWorkArea();
    const int x = std::clamp(at.left, work.left, std::max(work.left, work.right - at.Width()));
    const int y = std::clamp(at.top, work.top, std::max(work.top, work.bottom - at.Height()));
    SetRect(x, y, at.Width(), at.Height());
    if (!IsOpen() && !Create(owner)) return;
    body_.SetHot(-1);
    Redraw();
    // Transparent before it shows, so the first frame seen is the fade's first.
    FadeIn();
    Show();
    ::SetFocus(GetHWND());
}

void LayeredMenu::Dismiss() {
    StopAnimation();
    Hide();
}

void LayeredMenu::Choose(int id) {
    Dismiss();
    // A copy: the chosen action may well destroy the menu.
    Gui::Callback1<int> select = WhenSelect;
    select(id);
}

void LayeredMenu::OnKillFocus(HWND) { Dismiss(); }

LRESULT LayeredMenu::WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    const int n = GetCount();
    if (message != WM_KEYDOWN || n == 0)
        return FadeWindow::WindowProc(message, wparam, lparam, handled);
    switch (wparam) {
        case VK_ESCAPE:
            Dismiss();
            break;
        case VK_UP:
        case VK_DOWN:
            // From no item Down takes the first and Up the last; both wrap round.
            body_.SetHot(((body_.hot < 0 && wparam == VK_UP ? n : body_.hot) +
                          (wparam == VK_DOWN ? 1 : n - 1)) %
                         n);
            break;
        case VK_RETURN:
            if (body_.hot >= 0) Choose(body_.hot);
            break;
        default:
            return FadeWindow::WindowProc(message, wparam, lparam, handled);
    }
    *handled = true;
    return 0;
}

void LayeredMenu::Body::Paint(Gui::Draw& w) {
    const Gui::Rect all(GetSize());
    const Look& look = menu.look_;
    if (look.bg.IsEmpty()) {
        w.DrawRect(all, Gui::White());
    } else {
        PaintImageRect(w, all, look.bg);
    }
    for (int id = 0; id < menu.GetCount(); ++id) {
        const Item& item = menu.items_[id];
        const Gui::Rect r = menu.GetItemRect(id);
        Gui::Color ink = item.color.IsNull() ? look.textcolor : item.color;
        if (id == hot) {
            w.DrawRect(r, look.hotcolor);
            if (!look.hottextcolor.IsNull()) ink = look.hottextcolor;
        }
        const int cy = Gui::GetTextSize(item.text, look.font).cy;
        w.DrawText(r.left + kTextIndent, r.top + (r.Height() - cy) / 2, item.text, look.font, ink);
    }
}

void LayeredMenu::Body::SetHot(int id) {
    if (id == hot) return;
    hot = id;
    Refresh();
}

void LayeredMenu::Body::MouseEnter(Gui::Point p, DWORD) { SetHot(menu.ItemAt(p)); }

void LayeredMenu::Body::MouseMove(Gui::Point p, DWORD) { SetHot(menu.ItemAt(p)); }

void LayeredMenu::Body::MouseLeave() { SetHot(-1); }

void LayeredMenu::Body::LeftUp(Gui::Point p, DWORD) {
    const int id = menu.ItemAt(p);
    if (id >= 0) menu.Choose(id);
}

}  // namespace ctrls

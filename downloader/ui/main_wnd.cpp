#include "downloader/ui/main_wnd.h"

#include <algorithm>

#include "base/string_util.h"
#include "downloader/main_wnd_manager.h"
#include "skin/skin_loader.h"

namespace downloader {
namespace {

ctrls::SystemPanel::Style Chrome() {
    ctrls::SystemPanel::Style style = ctrls::SystemPanel::StyleDefault();
    skin::SkinLoader::Instance().GetStyle("mainwnd.sys", style);
    return style;
}

// Everything under the title bar.
Gui::Rect Body(const ctrls::SystemPanel::Style& chrome) {
    const Gui::Size size = chrome.wndsize;
    return Gui::Rect(0, std::clamp(chrome.dragtop, 0, size.cy), size.cx, size.cy);
}

}  // namespace

MainWnd::MainWnd() : MainWnd(Chrome()) {}

MainWnd::MainWnd(const ctrls::SystemPanel::Style& chrome) : main_(Body(chrome)) {
    system_.SetStyle(chrome);
    const Gui::Size size = chrome.wndsize;
    const Gui::Rect work = Gui::GetWorkArea();
    SetRect(work.left + (work.Width() - size.cx) / 2, work.top + (work.Height() - size.cy) / 2,
            size.cx, size.cy);
    SetTitle(base::Utf8ToWide(chrome.titletext.c_str()));
    Add(system_.SizePos());
    Add(main_);
}

void MainWnd::Close() { GetMainWndManager()->HideMainWnd(); }

// Enter is the big button's, as a dialog's default button; a held key presses it once.
LRESULT MainWnd::WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    const LRESULT result = ObjectWindowImpl::WindowProc(message, wparam, lparam, handled);
    if (!*handled && message == WM_KEYDOWN && wparam == VK_RETURN && !(lparam & 0x40000000)) {
        *handled = true;
        main_.GetProgressPanel().PressDefault();
    }
    return result;
}

}  // namespace downloader

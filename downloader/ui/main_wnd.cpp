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

}  // namespace downloader

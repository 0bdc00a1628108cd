#include "downloader/tray_manager.h"

#include "base/controller.h"
#include "downloader/client_manager.h"
#include "downloader/main_wnd_manager.h"
#include "gui/core/pte.h"
#include "gui/geometry.h"
#include "gui/timer.h"

namespace downloader {

// NOT BUILT YET: the icon and the menu. They are ctrls::TrayIcon and ctrls::LayeredMenu,
// which this build does not have. With them the record holds, after its guarded part,
// the icon (owned; dropping it removes it from the notification area) and the menu
// (owned), destroyed menu first; CreateIcon makes the icon with the skin image "tray"
// and the tooltip GetGameTitle() + "下载器", shows it and sets its left click to
// OnClick and its right click to ShowMenu; ShowMenu pops a fresh menu of menu_size_
// with its lower right corner at the cursor, the items "打开下载器" and "关闭" in
// 0x333333, owned by the icon's window, closing and rebuilding a menu left behind.
struct TrayManager::Pimpl : Gui::Pte<Pimpl> {
    ~Pimpl() { Gui::KillTimeCallback(this); }

    void CreateIcon() {}
    void RemoveIcon() {}
    void ShowMenu() {}
    void OnClick() { GetMainWndManager()->ShowMainWnd(); }
    void OnMenuItem(int id) {
        if (id == 0) {
            GetMainWndManager()->ShowMainWnd();
        } else if (id == 1) {
            GetClientManager()->Exit();
        }
    }

    Gui::Size menu_size_{150, 60};
};

TrayManager::TrayManager() : pimpl_(std::make_unique<Pimpl>()) {}

TrayManager::~TrayManager() = default;

void TrayManager::AddIcon() { pimpl_->CreateIcon(); }

void TrayManager::RemoveIcon() { pimpl_->RemoveIcon(); }

}  // namespace downloader

downloader::TrayManager* GetTrayManager() {
    return base::GetRegisteredObject<downloader::TrayManager>();
}

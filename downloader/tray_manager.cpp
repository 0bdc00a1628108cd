#include "downloader/tray_manager.h"

#include <memory>

#include "base/controller.h"
#include "ctrls/layered_menu.h"
#include "ctrls/tray_icon.h"
#include "downloader/app_globals.h"
#include "downloader/client_manager.h"
#include "downloader/main_wnd_manager.h"
#include "gui/core/pte.h"
#include "gui/geometry.h"
#include "gui/timer.h"
#include "skin/skin.h"

namespace downloader {

struct TrayManager::Pimpl : Gui::Pte<Pimpl> {
    ~Pimpl() {
        Gui::KillTimeCallback(this);
        menu_.reset();  // the menu first: its window is owned by the icon's
        icon_.reset();
    }

    void CreateIcon();
    void RemoveIcon() { icon_.reset(); }
    void ShowMenu();
    void OnClick() { GetMainWndManager()->ShowMainWnd(); }
    void OnMenuItem(int id) {
        if (id == 0) {
            GetMainWndManager()->ShowMainWnd();
        } else if (id == 1) {
            GetClientManager()->Exit();
        }
    }

    std::unique_ptr<ctrls::TrayIcon> icon_;
    std::unique_ptr<ctrls::LayeredMenu> menu_;
    Gui::Size menu_size_{150, 60};
};

void TrayManager::Pimpl::CreateIcon() {
    icon_.reset();
    icon_ = std::make_unique<ctrls::TrayIcon>();
    icon_->SetIcon(GetSkinImage(L"tray")).SetTooltip(GetGameTitle() + L"下载器");
    icon_->Show(true);
    icon_->WhenLeftClick = Gui::MakePteCallback(this, &Pimpl::OnClick);
    icon_->WhenRightClick = Gui::MakePteCallback(this, &Pimpl::ShowMenu);
}

void TrayManager::Pimpl::ShowMenu() {
    if (!icon_) return;
    if (menu_) {
        // A menu left behind (hidden, or still open): replaced by a fresh one at the
        // pointer's position on the next timer pass.
        if (menu_->IsOpen()) menu_->Close();
        menu_.reset();
        Gui::PostCallback(Gui::MakePteCallback(this, &Pimpl::ShowMenu), this);
        return;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    const Gui::Rect at = Gui::RectC(cursor.x - menu_size_.cx, cursor.y - menu_size_.cy,
                                    menu_size_.cx, menu_size_.cy);
    menu_ = std::make_unique<ctrls::LayeredMenu>();
    menu_->NoActivate();
    menu_->WhenSelect = Gui::MakePteCallback1(this, &Pimpl::OnMenuItem);
    const Gui::Color ink(0x33, 0x33, 0x33);
    menu_->AddItem(L"打开下载器", ink);
    menu_->AddItem(L"关闭", ink);
    menu_->Popup(at, icon_->GetHWND());
}

TrayManager::TrayManager() : pimpl_(std::make_unique<Pimpl>()) {}

TrayManager::~TrayManager() = default;

void TrayManager::AddIcon() { pimpl_->CreateIcon(); }

void TrayManager::RemoveIcon() { pimpl_->RemoveIcon(); }

}  // namespace downloader

downloader::TrayManager* GetTrayManager() {
    return base::GetRegisteredObject<downloader::TrayManager>();
}

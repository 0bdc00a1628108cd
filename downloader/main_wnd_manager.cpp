#include "downloader/main_wnd_manager.h"

#include "base/controller.h"
#include "base/log.h"
#include "base/window_util.h"
#include "downloader/download_manager.h"
#include "downloader/ui/main_wnd.h"
#include "gui/core/callback.h"
#include "gui/timer.h"
#include "skin/skin.h"

namespace downloader {
namespace {

// The main window object while the registry holds one; never makes one.
MainWnd* ExistingMainWnd() {
    base::Controller* controller = base::GetController();
    if (!controller || !controller->HasObject<MainWnd>()) return nullptr;
    return dynamic_cast<MainWnd*>(controller->GetObject<MainWnd>());
}

}  // namespace

struct MainWndManager::Pimpl : Gui::Pte<Pimpl> {
    ~Pimpl() { Gui::KillTimeCallback(this); }

    bool CreateMainWnd();
    void HideMainWnd();
    void InitDownload() { GetDownloadManager()->Init(); }
};

bool MainWndManager::Pimpl::CreateMainWnd() {
    base::Controller* controller = base::GetController();
    MainWnd* window =
        controller ? dynamic_cast<MainWnd*>(controller->GetObject<MainWnd>()) : nullptr;
    HWND hwnd = window ? window->Create(nullptr) : nullptr;
    if (!hwnd) {
        LOG_ERROR << "创建主窗口失败";
        return false;
    }
    ShowWindow(hwnd, SW_SHOW);
    LOG_MESSAGE << "创建主窗口成功";
    return true;
}

void MainWndManager::Pimpl::HideMainWnd() {
    if (MainWnd* window = ExistingMainWnd()) window->Hide();
}

MainWndManager::MainWndManager() : pimpl_(std::make_unique<Pimpl>()) {}

MainWndManager::~MainWndManager() = default;

void MainWndManager::CreateMainWnd() {
    if (!pimpl_->CreateMainWnd()) return;
    ShowMainWnd();
    // On the next timer pass, once the window's creation and first show are handled.
    Gui::SetTimeCallback(0, Gui::MakePteCallback(pimpl_.get(), &Pimpl::InitDownload), pimpl_.get());
}

HWND MainWndManager::GetMainWndHandle() {
    MainWnd* window = ExistingMainWnd();
    HWND hwnd = window ? window->GetHWND() : nullptr;
    return hwnd && IsWindow(hwnd) ? hwnd : nullptr;
}

void MainWndManager::ShowMainWnd() {
    if (HWND window = GetMainWndHandle()) base::ActivateWindow(window);
}

void MainWndManager::HideMainWnd() {
    Gui::PostCallback(Gui::MakePteCallback(pimpl_.get(), &Pimpl::HideMainWnd), pimpl_.get());
}

int MainWndManager::MessageBox(const std::wstring& text, const std::wstring& caption) {
    const std::wstring shown_caption = caption.empty() ? GetDefaultWndCaption() : caption;
    return MessageBoxW(GetMainWndHandle(), text.c_str(), shown_caption.c_str(), MB_OK);
}

}  // namespace downloader

downloader::MainWndManager* GetMainWndManager() {
    return base::GetRegisteredObject<downloader::MainWndManager>();
}

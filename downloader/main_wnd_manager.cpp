#include "downloader/main_wnd_manager.h"

#include "base/controller.h"
#include "base/log.h"
#include "base/window_util.h"
#include "downloader/download_manager.h"
#include "gui/core/callback.h"
#include "gui/timer.h"
#include "skin/skin.h"

namespace downloader {

struct MainWndManager::Pimpl : Gui::Pte<Pimpl> {
    ~Pimpl() { Gui::KillTimeCallback(this); }

    bool CreateMainWnd();
    void HideMainWnd();
    void InitDownload() { GetDownloadManager()->Init(); }
};

// NOT BUILT YET: the main window. It needs downloader::MainWnd (a base::UIObject over
// ctrls::TopWindow, fetched and created through the controller's UI table), whose
// dialog is created here with no parent and shown with SW_SHOW. Until it exists there
// is no window to create and this answers false; CreateMainWnd then starts the
// download work as the first show would, so the client runs its road headless.
bool MainWndManager::Pimpl::CreateMainWnd() {
    LOG_ERROR << "main window not available in this build";
    return false;
}

// NOT BUILT YET: hides the main window's dialog (SW_HIDE) when the window exists.
void MainWndManager::Pimpl::HideMainWnd() {}

MainWndManager::MainWndManager() : pimpl_(std::make_unique<Pimpl>()) {}

MainWndManager::~MainWndManager() = default;

void MainWndManager::CreateMainWnd() {
    const bool created = pimpl_->CreateMainWnd();
    if (created) ShowMainWnd();
    // Without a main window class in this build the download work starts all the same;
    // with one, only a window that was created starts it.
    constexpr bool kHeadlessBuild = true;
    if (created || kHeadlessBuild) {
        Gui::SetTimeCallback(0, Gui::MakePteCallback(pimpl_.get(), &Pimpl::InitDownload),
                             pimpl_.get());
    }
}

// NOT BUILT YET: the main window's dialog handle when IsWindow accepts it.
HWND MainWndManager::GetMainWndHandle() { return nullptr; }

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

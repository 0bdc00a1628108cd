#include "downloader/ui/progress_panel.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cmath>

#include "base/log.h"
#include "base/path_util.h"
#include "base/string_util.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/client_manager.h"
#include "downloader/config_manager.h"
#include "downloader/download_manager.h"
#include "downloader/main_wnd_manager.h"
#include "downloader/ui/skin_layout.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"

namespace downloader {
namespace {

constexpr DWORD kInstallClickIntervalMs = 2000;

const char* const kActionKeys[ProgressPanel::kActions] = {
    "mainwnd.start", "mainwnd.continue", "mainwnd.pause",  "mainwnd.resume",
    "mainwnd.retry", "mainwnd.restart",  "mainwnd.install"};

// What each download state shows: its big button and whether that button acts.
struct StateView {
    int action;
    bool enabled;
};
const StateView kStates[] = {
    {ProgressPanel::kStart, false},    {ProgressPanel::kStart, false},
    {ProgressPanel::kContinue, false}, {ProgressPanel::kStart, true},
    {ProgressPanel::kContinue, true},  {ProgressPanel::kPause, false},
    {ProgressPanel::kPause, true},     {ProgressPanel::kPause, false},
    {ProgressPanel::kResume, true},    {ProgressPanel::kInstall, true},
    {ProgressPanel::kRetry, true},     {ProgressPanel::kRestart, true},
};
constexpr int kStateCount = sizeof(kStates) / sizeof(kStates[0]);

// The folder can change only before a new download has its task: an earlier
// download keeps the folder it began in.
bool FolderChangeable(int state) { return state == NoRecord || state == ReadyToStart; }

// A folder too long for its line keeps its ends: the drive and the last folders that
// fit, the game's own among them ("D:\\...\\Games\\DemoGame").
std::wstring ShownPath(std::wstring path, const Gui::Font& font, int width) {
    base::ReplaceAll(path, L"\\\\", L"\\");
    if (base::GetTextWidth(path, font) <= width) return path;
    const size_t head = path.find(L'\\') + 1;  // 0 without a separator
    for (size_t at = path.find(L'\\', head); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        const std::wstring shown = path.substr(0, head) + L"..." + path.substr(at);
        if (base::GetTextWidth(shown, font) <= width) return shown;
    }
    return path;  // the line ends it in "..."
}

std::wstring StatusText(int state) {
    return GetSkinWString(L"status.state" + std::to_wstring(state));
}

int CALLBACK BrowseStart(HWND dialog, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, folder);
    return 0;
}

}  // namespace

ProgressPanel::ProgressPanel(Gui::Point origin) {
    SkinText(status_, "mainwnd.status", origin);
    status_ink_ = status_.GetInk();
    SkinText(error_, "mainwnd.error", origin);
    SkinText(speed_, "mainwnd.speed", origin);
    SkinText(size_, "mainwnd.size", origin);
    SkinText(percent_, "mainwnd.percent", origin);
    SkinText(folder_label_, "mainwnd.savedir_label", origin);
    SkinText(folder_, "mainwnd.savedir", origin);
    ctrls::ProgressCtrl::Style bar_style = ctrls::ProgressCtrl::StyleDefault();
    skin::SkinLoader::Instance().GetStyle("mainwnd.progress", bar_style);
    bar_.SetStyle(bar_style).SetRect(SkinRect("mainwnd.progress", origin));
    for (ctrls::StaticText* text :
         {&status_, &error_, &speed_, &size_, &percent_, &folder_label_, &folder_})
        Add(*text);
    Add(bar_);
    for (int i = 0; i < kActions; ++i) {
        SkinButton(actions_[i], kActionKeys[i], origin);
        actions_[i].WhenAction = Gui::MakeCallbackArg(this, &ProgressPanel::Press, i);
        Add(actions_[i]);
    }
    SkinButton(change_, "mainwnd.changedir", origin);
    change_.WhenAction = Gui::MakeCallback(this, &ProgressPanel::ChangeFolder);
    SkinButton(open_, "mainwnd.opendir", origin);
    open_.WhenAction = Gui::MakeCallback(this, &ProgressPanel::OpenFolder);
    Add(change_).Add(open_);
    percent_.SetText(L"0%");

    DownloadManager* downloads = GetDownloadManager();
    downloads->SigProgress.connect(this, &ProgressPanel::OnProgress);
    downloads->SigInfo.connect(this, &ProgressPanel::OnInfo);
    downloads->SigError.connect(this, &ProgressPanel::OnError);
    downloads->SigFinished.connect(this, &ProgressPanel::OnFinished);
    downloads->SigStateChanged.connect(this, &ProgressPanel::OnStateChanged);
    GetConfigManager()->SigDownloadPath.connect(this, &ProgressPanel::OnDownloadPath);
    ShowState(downloads->GetState());
    OnDownloadPath();
}

void ProgressPanel::OnProgress(float fraction, const std::wstring& speed, const std::wstring& size,
                               bool animate) {
    const float done = std::isnan(fraction) ? 0.0f : std::clamp(fraction, 0.0f, 1.0f);
    const int pos = static_cast<int>(std::lround(done * ctrls::ProgressCtrl::kDefaultTotal));
    speed_.SetText(speed);
    size_.SetText(size);
    percent_.SetText(std::to_wstring(pos / 100) + L"%");
    if (animate) {
        bar_.MoveTo(pos);  // smoothly when the skin's style asks for it
    } else {
        bar_.Set(pos);
    }
}

void ProgressPanel::OnInfo(const std::wstring& text, Gui::Color color, bool show) {
    status_.SetText(show ? text : StatusText(state_));
    status_.SetInk(show && !color.IsNull() ? color : status_ink_);
}

void ProgressPanel::OnError(const std::wstring& text) {
    error_.SetText(text);
    error_.Show();
    status_.Hide();
}

void ProgressPanel::OnFinished() {
    percent_.SetText(L"100%");
    bar_.Set(ctrls::ProgressCtrl::kDefaultTotal);
}

// A state seen again (two changes in a row are read after the second) changes nothing:
// an error that came with it stays.
void ProgressPanel::OnStateChanged() {
    const int state = GetDownloadManager()->GetState();
    if (state != state_) ShowState(state);
}

void ProgressPanel::OnDownloadPath() {
    folder_.SetText(
        ShownPath(GetConfigManager()->GetSaveDir(), folder_.GetFont(), folder_.GetSize().cx));
}

void ProgressPanel::ShowState(int state) {
    if (state < 0 || state >= kStateCount) return;
    state_ = state;
    LOG_MESSAGE << "下载界面状态：" << state;
    // An error belongs to the state it came with; the next change takes it away.
    error_.Hide();
    status_.Show();
    status_.SetInk(status_ink_);
    status_.SetText(StatusText(state));
    for (int i = 0; i < kActions; ++i) actions_[i].Show(i == kStates[state].action);
    actions_[kStates[state].action].Enable(kStates[state].enabled);
    change_.Enable(FolderChangeable(state));
}

void ProgressPanel::PressDefault() {
    if (state_ >= 0 && state_ < kStateCount) Press(kStates[state_].action);
}

void ProgressPanel::Press(int action) {
    DownloadManager* downloads = GetDownloadManager();
    const int state = downloads->GetState();
    // The button may still show while the state has moved on under it.
    if (state < 0 || state >= kStateCount || kStates[state].action != action ||
        !kStates[state].enabled)
        return;
    const DWORD interval = action == kInstall ? kInstallClickIntervalMs : kClickIntervalMs;
    if (!action_gate_.Pass(GetTickCount(), interval)) return;
    LOG_MESSAGE << "点击：" << kActionKeys[action];
    switch (action) {
        case kStart:
        case kContinue:
            return downloads->Start();
        case kPause:
            downloads->Pause();
            return;
        case kResume:
            downloads->Resume();
            return;
        case kRetry:
            return downloads->Retry();
        case kRestart:
            return GetClientManager()->Restart();
        case kInstall:
            return GetClientManager()->InstallExe();
    }
}

void ProgressPanel::ChangeFolder() {
    if (!FolderChangeable(GetDownloadManager()->GetState()) ||
        !change_gate_.Pass(GetTickCount(), kClickIntervalMs))
        return;
    // The picker starts in the folder now chosen, or the nearest one that exists.
    std::wstring start = GetConfigManager()->GetDownloadPath();
    while (!start.empty() && !PathFileExistsW(start.c_str())) {
        const std::wstring parent = base::GetParentDir(start);
        start = parent.size() < start.size() ? parent : std::wstring();
    }
    std::wstring title = GetSkinWString(L"text.browse_title");
    if (title.empty()) title = GetGameTitle();
    BROWSEINFOW browse = {};
    browse.hwndOwner = GetMainWndManager()->GetMainWndHandle();
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (!start.empty()) {
        browse.lpfn = &BrowseStart;
        browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    const bool read = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!read || !path[0]) {
        // Only file system folders can be picked: one without a path has too long a one.
        LOG_ERROR << "所选目录路径过长";
        GetMainWndManager()->MessageBox(
            L"所选文件夹的路径过长（不能超过259个字符），请选择其他文件夹", L"");
        return;
    }
    std::wstring folder = path;
    // "D:\" stays a root; "D:\Games\" loses its separator so the game folder joins cleanly.
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    LOG_MESSAGE << "更改下载目录：" << folder;
    GetConfigManager()->SetDownloadPath(folder, true);
}

void ProgressPanel::OpenFolder() {
    if (open_gate_.Pass(GetTickCount(), kClickIntervalMs)) OpenDownloadFolder();
}

}  // namespace downloader

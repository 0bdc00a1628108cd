#include "downloader/client_manager.h"

#include <shlwapi.h>

#include <atomic>

#include "base/controller.h"
#include "base/file_util.h"
#include "base/log.h"
#include "base/path_util.h"
#include "base/process_util.h"
#include "base/zip_extract.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/config_manager.h"
#include "downloader/download_manager.h"
#include "downloader/instance_wnd_manager.h"
#include "downloader/main_wnd_manager.h"
#include "downloader/report_manager.h"
#include "downloader/tray_manager.h"
#include "gui/core/callback.h"
#include "gui/core/pte.h"
#include "gui/timer.h"
#include "skin/skin.h"

namespace downloader {

namespace {

constexpr UINT kWakeMessage = 0x9401;
// How long a running copy has to answer the wake before the user hears that it is stuck.
constexpr DWORD kAnswerWaitMs = 5000;
constexpr DWORD kEndPollMs = 100;
constexpr int kQuitDelayMs = 1000;
constexpr DWORD k7zaEndWaitMs = 500;

// Written on the user-interface thread, read by the pool's workers.
std::atomic<bool> g_quitting{false};

}  // namespace

SingleInstanceMutex::SingleInstanceMutex(const wchar_t* name)
    : already_running_(0), mutex_(nullptr) {
    // A stale error from an earlier call must not read as "already there".
    SetLastError(ERROR_SUCCESS);
    mutex_ = CreateMutexW(nullptr, TRUE, name);
    if (GetLastError() == ERROR_ALREADY_EXISTS) already_running_ = 1;
}

bool SingleInstanceMutex::TakeOver(DWORD ms) {
    if (!already_running_) return true;
    if (!mutex_) return false;
    const DWORD result = WaitForSingleObject(mutex_, ms);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return false;
    already_running_ = 0;
    return true;
}

SingleInstanceMutex::~SingleInstanceMutex() {
    if (mutex_) CloseHandle(mutex_);
    mutex_ = nullptr;
    already_running_ = 0;
}

struct ClientManager::Pimpl : Gui::Pte<Pimpl> {
    ~Pimpl() { Gui::KillTimeCallback(this); }

    bool CheckSingleInstance();
    void WakeRunningCopy();
    void Stop();
    void QuitLater(int delay_ms);
    void PostQuit() { PostQuitMessage(0); }
    bool Unzip7z();
    bool UnzipDownloader();
    void Restart();

    std::unique_ptr<SingleInstanceMutex> guard_;
    std::wstring command_line_;
};

bool ClientManager::Pimpl::CheckSingleInstance() {
    if (!guard_) {
        guard_ = std::make_unique<SingleInstanceMutex>(GetInstanceWndClassName());
        if (guard_->IsAlreadyRunning()) WakeRunningCopy();
    }
    return guard_->IsAlreadyRunning();
}

// A copy that is still starting gets its instance window in a moment, and one whose
// desktop went away ends by itself: this copy runs in its place once it has. A copy
// that takes no message for a few seconds would otherwise leave the user with nothing.
void ClientManager::Pimpl::WakeRunningCopy() {
    const DWORD start = GetTickCount();
    HWND woken = nullptr;
    DWORD pid = 0;
    for (DWORD waited = 0; waited < kAnswerWaitMs; waited = GetTickCount() - start) {
        if (HWND running = FindWindowW(GetInstanceWndClassName(), nullptr)) {
            if (running != woken) {
                PostMessageW(running, kWakeMessage, 0, 0);
                GetWindowThreadProcessId(running, &pid);
                woken = running;
            }
            // Answering at all shows that it takes messages: the wake is next in line.
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(running, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                    kAnswerWaitMs - waited, &answer))
                return;
        }
        if (guard_->TakeOver(kEndPollMs)) return;
    }
    if (guard_->TakeOver(0)) return;
    LOG_ERROR << "下载器已在运行但没有响应，pid:" << pid;
    const std::wstring text =
        pid ? L"下载器已经在运行（进程 " + std::to_wstring(pid) +
                  L"），但没有响应。\n请先结束该进程（例如在终端中运行 kill " +
                  std::to_wstring(pid) + L"），再重新打开下载器。"
            : std::wstring(
                  L"下载器已经在运行，但没有响应。\n请先结束正在运行的下载器进程，"
                  L"再重新打开下载器。");
    MessageBoxW(nullptr, text.c_str(), L"下载器", MB_OK | MB_ICONWARNING);
}

void ClientManager::Pimpl::Stop() {
    g_quitting = true;
    GetInstanceWndManager()->Destroy();
    GetDownloadManager()->Release();
    GetTrayManager()->RemoveIcon();
    guard_.reset();
}

void ClientManager::Pimpl::QuitLater(int delay_ms) {
    Gui::SetTimeCallback(delay_ms, Gui::MakePteCallback(this, &Pimpl::PostQuit), this);
}

bool ClientManager::Pimpl::Unzip7z() {
    LOG_MESSAGE << "downloader::ClientManager::Pimpl::Unzip7z";
    const std::wstring temp = GetConfigManager()->GetTempDir();
    const std::wstring zip = temp + L"\\7za.zip";
    if (!ExtractResourceToFile(L"IDR_ZIP_7ZA", L"ZIP", zip)) return false;
    if (base::ExtractZip(zip.c_str(), (temp + L"\\").c_str())) {
        LOG_MESSAGE << "解压7z工具成功";
    } else {
        LOG_ERROR << "解压7z工具失败";
    }
    DeleteFileW(zip.c_str());
    return PathFileExistsW((temp + L"\\").c_str()) != FALSE;
}

bool ClientManager::Pimpl::UnzipDownloader() {
    LOG_MESSAGE << "downloader::ClientManager::Pimpl::UnzipDownloader";
    ConfigManager* config = GetConfigManager();
    const std::wstring temp = config->GetTempDir();
    const std::wstring archive = temp + L"\\downloader.7z";
    if (!ExtractResourceToFile(L"IDR_ZIP_DOWNLOADER", L"ZIP", archive)) return false;
    const std::wstring sevenza = config->Get7zaPath();
    bool result = false;
    if (!base::IsExistingFile(sevenza)) {
        LOG_ERROR << "UnzipDownloader 7za.exe未找到,path:" << sevenza;
    } else {
        base::TerminateProcessesByFile(sevenza, k7zaEndWaitMs);
        std::wstring command =
            L"\"" + sevenza + L"\" x \"" + archive + L"\" -o\"" + temp + L"\" -aoa";
        uint32_t exit_code = 0;
        if (base::CreateProcessEx(command.data(), SW_HIDE, INFINITE, &exit_code)) {
            result = true;
            LOG_MESSAGE << "解压downloader资源，cmdline:" << command;
        } else {
            LOG_ERROR << "UnzipDownloader 7za.exe进程创建失败,path:" << sevenza;
        }
    }
    DeleteFileW(archive.c_str());
    return result;
}

void ClientManager::Pimpl::Restart() {
    const std::wstring exe = base::GetExePath();
    Stop();
    if (base::SyncCreateProcess(exe, L"", false, L"")) {
        LOG_MESSAGE << "重启下载器成功";
    } else {
        LOG_ERROR << "重启下载器失败";
    }
    g_quitting = true;
    PostQuitMessage(0);
}

ClientManager::ClientManager() : pimpl_(std::make_unique<Pimpl>()) {}

ClientManager::~ClientManager() = default;

bool ClientManager::Start(const std::wstring& command_line) {
    pimpl_->command_line_ = command_line;
    if (pimpl_->CheckSingleInstance()) {
        g_quitting = true;
        pimpl_->guard_.reset();
        PostQuitMessage(0);
        return false;
    }
    if (!skin::InitSkinIn(GetConfigManager()->GetWorkDir() + L"\\")) {
        // Without its skin there is no window to show: never a program nobody can see.
        LOG_ERROR << "皮肤加载失败，下载器退出";
        MessageBoxW(nullptr, L"下载器界面资源加载失败，无法启动。", L"下载器",
                    MB_OK | MB_ICONERROR);
        g_quitting = true;
        pimpl_->guard_.reset();
        PostQuitMessage(1);  // a start that failed is not a success
        return false;
    }
    GetConfigManager()->Load();
    GetReportManager()->ReportClientStart();
    GetInstanceWndManager()->Create();
    GetMainWndManager()->CreateMainWnd();
    GetTrayManager()->AddIcon();
    return true;
}

void ClientManager::Exit() {
    pimpl_->Stop();
    pimpl_->QuitLater(kQuitDelayMs);
}

bool ClientManager::IsQuitting() { return g_quitting; }

bool ClientManager::UnzipTools() { return pimpl_->Unzip7z() && pimpl_->UnzipDownloader(); }

// Once the program is ending (an installer started, the menu's close) nothing more is
// started: a click in the second before the quit must not run a failing second start.
void ClientManager::Restart() {
    if (!g_quitting) pimpl_->Restart();
}

void ClientManager::InstallExe() {
    if (g_quitting) return;
    GetReportManager()->ReportInstall();
    const std::wstring path = GetConfigManager()->GetInstallerPath();
    // Quoted: a save folder with blanks must not start a program named by its first word.
    std::wstring command = L"\"" + path + L"\"";
    uint32_t exit_code = 0;
    if (base::CreateProcessEx(command.data(), SW_SHOWNORMAL, 0, &exit_code)) {
        LOG_MESSAGE << "InstallExe启动成功 cmd_line:" << path;
        Exit();
        return;
    }
    const DWORD error = GetLastError();
    LOG_ERROR << "InstallExe启动失败, error_code:" << error << " cmd_line:" << path;
    OpenDownloadFolder();
}

}  // namespace downloader

downloader::ClientManager* GetClientManager() {
    return base::GetRegisteredObject<downloader::ClientManager>();
}

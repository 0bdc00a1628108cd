#include "downloader/download_manager.h"

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <atomic>

#include "base/controller.h"
#include "base/file_util.h"
#include "base/log.h"
#include "base/path_util.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/client_manager.h"
#include "downloader/config_manager.h"
#include "downloader/download_engine.h"
#include "downloader/main_wnd_manager.h"
#include "downloader/report_manager.h"
#include "downloader/thread_manager.h"
#include "gui/core/callback.h"
#include "gui/timer.h"
#include "syslib/load_dll.h"

namespace downloader {

namespace {

constexpr DWORD kPollIntervalMs = 1000;
// How long Release waits for the pool's engine work to leave before it gives up
// freeing the library (a call still inside it must find its code mapped).
constexpr DWORD kReleaseWaitMs = 5000;

// A poll's answer to its loop: running, failed but polling on, complete, or the download
// ended by an engine error (state 10 or 11).
enum PollResult { kPollRunning, kPollFailed, kPollComplete, kPollEnded };

// The engine's strings are UTF-16; ours are wchar_t, 4 bytes here.
std::u16string ToUtf16(const std::wstring& text) {
    std::u16string out;
    for (wchar_t c : text) {
        char32_t v = static_cast<char32_t>(c);
        if (v >= 0x10000 && v <= 0x10FFFF) {
            v -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(v));
        }
    }
    return out;
}

// Up to the first zero unit, never past the field.
std::wstring FromUtf16(const char16_t* text, size_t capacity) {
    std::wstring out;
    for (size_t i = 0; i < capacity && text[i]; ++i) {
        char32_t v = text[i];
        if (v >= 0xD800 && v < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            v = 0x10000 + ((v - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        out.push_back(static_cast<wchar_t>(v));
    }
    return out;
}

// A key record whose strings live as long as it does.
class EngineKey {
public:
    explicit EngineKey(const std::wstring& save_folder)
        : game_(ToUtf16(GetGameKeyPtr())),
          folder_(ToUtf16(save_folder)),
          channel_(ToUtf16(GetUserChannelPtr())) {
        memset(&record_, 0, sizeof(record_));
        record_.game_key = game_.c_str();
        record_.save_folder = folder_.c_str();
        record_.user_channel = channel_.c_str();
    }
    const DownloadEngineKey* get() const { return &record_; }

private:
    std::u16string game_, folder_, channel_;
    DownloadEngineKey record_;
};

// The engine fills it; zeroed before every call.
struct EngineInfo {
    EngineInfo() { Clear(); }
    void Clear() { memset(&record, 0, sizeof(record)); }
    DownloadEngineInfo record;
};

}  // namespace

struct DownloadManager::Pimpl : Gui::Pte<Pimpl> {
    explicit Pimpl(DownloadManager* owner);
    ~Pimpl();

    void Init();
    void PrepareEngine();
    void LoadEngine(bool tools_ready);
    void PrepareDownload();
    // The engine when it may be called, or null (reported unless the program quits). Read
    // once per use, so that Release cannot take it away between the look and the call.
    IDownloadEngine* ValidEngine();
    bool IsEngineValid() { return ValidEngine() != nullptr; }
    bool FindLastDownload();
    void QueryState();
    void Start();
    void DownloadLoop();
    bool StartDownload();
    int QueryProgress(IDownloadEngine* engine);
    void OnDownloadError(int32_t code, const std::wstring& text, int32_t shown_code);
    void OnProgress(int64_t downloaded, int64_t total, int32_t speed, bool animate);
    void ShowStopped();
    void ShowError(std::wstring text, int32_t code);
    void SetState(DownloadState state);
    bool SetStateUnlessEnded(DownloadState state);
    void NotifyStateChanged();
    void OnDownloadComplete();
    void OnDownloadLoopEnd(bool completed);
    bool Pause();
    bool Resume();
    void Retry();
    void Release();
    std::wstring GetInstallerFileName();

    template <class... A>
    void PostToUi(void (Pimpl::*method)(A...), std::decay_t<A>... args) {
        Gui::PostCallback(Gui::MakePteCallback(this, method, std::move(args)...), this);
    }
    bool PostToPool(void (Pimpl::*method)()) {
        return GetThreadManager()->GetDownloadPool()->PostTask(Gui::MakePteCallback(this, method));
    }

    // Counts the pool work that may call into the engine, so Release knows when the
    // library can go.
    class EngineUse {
    public:
        explicit EngineUse(Pimpl* p) : p_(p) { ++p_->engine_users_; }
        ~EngineUse() { --p_->engine_users_; }

    private:
        Pimpl* p_;
    };

    DownloadManager* owner_;
    std::atomic<IDownloadEngine*> engine_{nullptr};
    std::atomic<HMODULE> module_{nullptr};
    std::atomic<int32_t> current_state_{DownloadState::Init};
    std::atomic<int64_t> total_size_{0};
    std::atomic<bool> preparing_{false};
    std::atomic<bool> loop_pending_{false};  // a loop is posted and has not moved the state yet
    std::atomic<int> engine_users_{0};
    HANDLE wake_;                               // ends the wait between polls when the engine goes
    int64_t shown_done_ = 0, shown_total_ = 0;  // the numbers on show (user-interface thread)
};

DownloadManager::Pimpl::Pimpl(DownloadManager* owner)
    : owner_(owner), wake_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

DownloadManager::Pimpl::~Pimpl() {
    Gui::KillTimeCallback(this);
    if (wake_) CloseHandle(wake_);
}

void DownloadManager::Pimpl::Init() {
    LOG_MESSAGE << "初始化下载模块";
    if (engine_ || module_ || preparing_.exchange(true)) return;
    owner_->SigProgress(0.0f, L"", L"", false);
    SetState(DownloadState::Init);
    if (!PostToPool(&Pimpl::PrepareEngine)) preparing_ = false;
}

void DownloadManager::Pimpl::PrepareEngine() {
    const bool ready = GetClientManager()->UnzipTools();
    if (!ready) LOG_ERROR << "释放模块组失败";
    PostToUi(&Pimpl::LoadEngine, ready);
}

void DownloadManager::Pimpl::LoadEngine(bool tools_ready) {
    preparing_ = false;
    // An exit or restart while the tools unpacked has released what there was: an engine
    // loaded now would never be given back.
    if (GetClientManager()->IsQuitting()) return;
    if (!tools_ready) {
        LOG_ERROR << "下载模块加载失败";
        GetMainWndManager()->MessageBox(L"下载模块加载失败", L"");
        return;
    }
    ResetEvent(wake_);
    HMODULE module = LoadDll((GetConfigManager()->GetTempDir() + L"\\Dravon.dll").c_str());
    module_ = module;
    if (!module) {
        LOG_ERROR << "Dravon.dll 载入失败";
    } else if (auto get_instance = reinterpret_cast<DownloadEngineGetInstanceFn>(
                   GetProcAddress(module, kDownloadEngineGetInstance))) {
        engine_ = get_instance();
        if (!engine_) LOG_ERROR << "Dravon.dll GetInstance 调用返回失败";
    } else {
        LOG_ERROR << "获取接口失败 Dravon.dll GetInstance";
    }
    PrepareDownload();
}

void DownloadManager::Pimpl::PrepareDownload() {
    if (!FindLastDownload() || current_state_ == Complete) return;
    PostToPool(&Pimpl::QueryState);
}

IDownloadEngine* DownloadManager::Pimpl::ValidEngine() {
    if (GetClientManager()->IsQuitting()) return nullptr;
    IDownloadEngine* engine = engine_;
    if (engine && module_) return engine;
    LOG_ERROR << "下载模块失效";
    PostToUi(&Pimpl::ShowError, std::wstring(L"下载模块失效"), int32_t{-1});
    return nullptr;
}

bool DownloadManager::Pimpl::FindLastDownload() {
    IDownloadEngine* engine = ValidEngine();
    if (!engine) return false;
    EngineKey key(L"");
    EngineInfo info;
    const int32_t code = engine->FindTask(key.get(), &info.record);
    if (code != kDownloadEngineOk) {
        LOG_ERROR << "查询上次下载状态出错，error_code:" << code;
        return true;
    }
    LOG_MESSAGE << "查询上次下载状态成功";
    const DownloadEngineInfo& r = info.record;
    const std::wstring path = FromUtf16(r.path, DownloadEngineInfo::kPathChars);
    if (path.empty()) {
        LOG_MESSAGE << "未发现上次下载信息";
        SetState(NoRecord);
        GetConfigManager()->SigDownloadPath();
        return true;
    }
    const std::wstring folder = base::GetParentDir(path);
    GetConfigManager()->SetDownloadPath(folder, true);
    LOG_MESSAGE << "发现上次下载信息，path:" << folder << " 总大小：" << r.total_size << " 已下载："
                << r.downloaded_size;
    SetState(r.complete != 0 ? Complete : Unfinished);
    OnProgress(r.downloaded_size, r.total_size, -1, r.complete != 1);
    return true;
}

void DownloadManager::Pimpl::QueryState() {
    EngineUse use(this);
    LOG_MESSAGE << "获取下载状态";
    IDownloadEngine* engine = ValidEngine();
    if (!engine) return;
    EngineKey key(L"");
    EngineInfo info;
    const int32_t code = engine->QueryTask(key.get(), &info.record);
    if (code == kDownloadEngineOk) {
        total_size_ = info.record.total_size;
        SetState(current_state_ == NoRecord ? ReadyToStart : ReadyToContinue);
        LOG_MESSAGE << "下载状态查询成功";
        PostToUi(&Pimpl::OnProgress, info.record.downloaded_size, info.record.total_size,
                 int32_t{-1}, false);
    } else {
        SetState(Failed);
        LOG_ERROR << "下载状态检查失败";
        PostToUi(&Pimpl::ShowError, std::wstring(L"下载状态检查失败"), code);
    }
}

void DownloadManager::Pimpl::Start() {
    const int32_t state = current_state_;
    if (state != ReadyToStart && state != ReadyToContinue) return;
    // A second press before the loop has moved the state on must not start another.
    if (loop_pending_) return;
    if (state == ReadyToStart && !CheckDownloadDisk(static_cast<uint64_t>(total_size_.load())))
        return;
    loop_pending_ = true;
    if (!PostToPool(&Pimpl::DownloadLoop)) loop_pending_ = false;
}

void DownloadManager::Pimpl::DownloadLoop() {
    EngineUse use(this);
    if (!StartDownload()) return;
    for (;;) {
        IDownloadEngine* engine = ValidEngine();
        if (!engine) return;
        // The loop's own result, never the state: once this loop has ended the download, a
        // retry's loop may already be moving the state on.
        const int result = QueryProgress(engine);
        if (result == kPollComplete) return PostToUi(&Pimpl::OnDownloadLoopEnd, true);
        if (result == kPollEnded) return PostToUi(&Pimpl::OnDownloadLoopEnd, false);
        WaitForSingleObject(wake_, kPollIntervalMs);
    }
}

bool DownloadManager::Pimpl::StartDownload() {
    LOG_MESSAGE << "启动下载";
    IDownloadEngine* engine = ValidEngine();
    if (!engine) {
        loop_pending_ = false;
        return false;
    }
    const int32_t state = current_state_;
    if (state == ReadyToStart) {
        GetReportManager()->ReportDownloadStart();
    } else if (state == ReadyToContinue) {
        GetReportManager()->ReportDownloadContinue();
    }
    const std::wstring save_folder = GetConfigManager()->GetSaveDir();
    base::EnsureDirectory(save_folder.c_str());
    EngineKey key(save_folder);
    SetState(Starting);
    // From here the state refuses another start or retry until this loop has ended the
    // download, and a retry offered then must be taken at once.
    loop_pending_ = false;
    const int32_t code = engine->StartTask(key.get());
    if (code == kDownloadEngineOk) {
        SetState(Downloading);
        LOG_MESSAGE << "启动下载成功";
        return true;
    }
    LOG_ERROR << "启动下载失败，errorcode:" << code;
    OnDownloadError(code, L"启动下载失败", code);
    return false;
}

int DownloadManager::Pimpl::QueryProgress(IDownloadEngine* engine) {
    EngineInfo info;
    const int32_t code = engine->QueryProgress(&info.record);
    if (code != kDownloadEngineOk) {
        LOG_ERROR << "下载进度查询失败，errorcode:" << code;
        if (code != kDownloadEngineFailed && code != kDownloadEngineCheckFailed) return kPollFailed;
        OnDownloadError(code, L"下载失败，请重试", -1);
        return kPollEnded;
    }
    const DownloadEngineInfo& r = info.record;
    PostToUi(&Pimpl::OnProgress, r.downloaded_size, r.total_size, r.speed, true);
    if (r.complete != 0) {
        LOG_MESSAGE << "下载完成";
        GetConfigManager()->SaveChannel();
        SetState(Complete);
        PostToUi(&Pimpl::OnDownloadComplete);
        return kPollComplete;
    }
    if (r.downloaded_size >= r.total_size && r.total_size > 0) SetState(Verifying);
    return kPollRunning;
}

void DownloadManager::Pimpl::OnDownloadError(int32_t code, const std::wstring& text,
                                             int32_t shown_code) {
    if (code == kDownloadEngineOk) return;
    if (code == kDownloadEngineCheckFailed) {
        SetState(Broken);
        PostToUi(&Pimpl::ShowError, std::wstring(L"下载文件检查出错"), int32_t{-1});
    } else {
        SetState(Failed);
        PostToUi(&Pimpl::ShowError, text, shown_code);
    }
    // No poll follows: the last one's speed must not stay on show.
    PostToUi(&Pimpl::ShowStopped);
}

void DownloadManager::Pimpl::ShowStopped() { OnProgress(shown_done_, shown_total_, -1, false); }

void DownloadManager::Pimpl::OnProgress(int64_t downloaded, int64_t total, int32_t speed,
                                        bool animate) {
    shown_done_ = downloaded, shown_total_ = total;
    const std::wstring speed_text =
        std::wstring(L"速度：") +
        (speed == -1 ? std::wstring(L"0B/s") : FormatByteSize(speed) + L"/s");
    const std::wstring size_text = L"大小：" + FormatSizeProgress(downloaded, total);
    // The receiver scales the fraction to a bar position: never NaN, never outside 0..1.
    double fraction =
        total > 0 ? static_cast<double>(downloaded) / static_cast<double>(total) : 0.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    owner_->SigProgress(static_cast<float>(fraction), speed_text, size_text, animate);
}

void DownloadManager::Pimpl::ShowError(std::wstring text, int32_t code) {
    if (code != -1) text += L"错误码：" + std::to_wstring(code);
    owner_->SigError(text);
}

void DownloadManager::Pimpl::SetState(DownloadState state) {
    current_state_ = state;
    PostToUi(&Pimpl::NotifyStateChanged);
}

// The user's pause or resume: a poll may have ended the download while the engine was
// being asked, and that end must stand (a loop that ended starts nothing any more).
bool DownloadManager::Pimpl::SetStateUnlessEnded(DownloadState state) {
    int32_t seen = current_state_;
    do {
        if (seen == Complete || seen == Failed || seen == Broken) return false;
    } while (!current_state_.compare_exchange_weak(seen, state));
    PostToUi(&Pimpl::NotifyStateChanged);
    return true;
}

void DownloadManager::Pimpl::NotifyStateChanged() { owner_->SigStateChanged(); }

void DownloadManager::Pimpl::OnDownloadComplete() {
    GetReportManager()->ReportDownloadComplete();
    owner_->SigFinished();
}

void DownloadManager::Pimpl::OnDownloadLoopEnd(bool completed) {
    if (completed && current_state_ == Complete) GetClientManager()->InstallExe();
}

bool DownloadManager::Pimpl::Pause() {
    IDownloadEngine* engine = ValidEngine();
    if (!engine) return false;
    if (current_state_ != Downloading) {
        LOG_MESSAGE << "调用暂停无效，下载状态不符，current_state_:" << current_state_.load();
        return false;
    }
    const int32_t code = engine->PauseTask();
    if (code != kDownloadEngineOk) {
        LOG_ERROR << "下载暂停失败，错误码：" << code;
        return false;
    }
    LOG_MESSAGE << "下载暂停成功";
    SetStateUnlessEnded(Paused);
    return true;
}

bool DownloadManager::Pimpl::Resume() {
    IDownloadEngine* engine = ValidEngine();
    if (!engine) return false;
    if (current_state_ != Paused) {
        LOG_MESSAGE << "调用恢复无效，下载状态不符，current_state_:" << current_state_.load();
        return false;
    }
    const int32_t code = engine->ResumeTask();
    if (code != kDownloadEngineOk) {
        LOG_ERROR << "恢复下载失败，错误码：" << code;
        return false;
    }
    LOG_MESSAGE << "恢复下载成功";
    SetStateUnlessEnded(Downloading);
    return true;
}

void DownloadManager::Pimpl::Retry() {
    if (!IsEngineValid()) return;
    if (current_state_ != Failed) {
        LOG_MESSAGE << "调用重试无效，下载状态不符，current_state_:" << current_state_.load();
        return;
    }
    if (loop_pending_.exchange(true)) return;
    if (!PostToPool(&Pimpl::DownloadLoop)) loop_pending_ = false;
}

void DownloadManager::Pimpl::Release() {
    // The interface is taken away first: pool work that has not looked yet finds no
    // engine, and work already inside is waited for before the library goes.
    IDownloadEngine* engine = engine_.exchange(nullptr);
    if (engine) engine->Shutdown();
    SetEvent(wake_);
    const DWORD begin = GetTickCount();
    while (engine_users_ > 0 && GetTickCount() - begin < kReleaseWaitMs) Sleep(2);
    HMODULE module = module_;
    if (!module || !engine) return;
    if (engine_users_ > 0) {
        LOG_ERROR << "下载线程未退出，下载模块未释放";
        return;
    }
    if (auto release = reinterpret_cast<DownloadEngineReleaseFn>(
            GetProcAddress(module, kDownloadEngineRelease))) {
        release(engine);
        LOG_MESSAGE << "release download api suc";
    }
    FreeLibrary(module);
    module_ = nullptr;
}

std::wstring DownloadManager::Pimpl::GetInstallerFileName() {
    IDownloadEngine* engine = engine_;
    if (!engine) {
        LOG_ERROR << "获取安装包路径接口调用失败";
        return L"";
    }
    EngineKey key(L"");
    EngineInfo info;
    if (engine->FindTask(key.get(), &info.record) != kDownloadEngineOk) {
        LOG_ERROR << "获取安装包路径接口调用失败";
        return L"";
    }
    LOG_MESSAGE << "获取安装包启动路径";
    return FromUtf16(info.record.launch_file, DownloadEngineInfo::kLaunchFileChars);
}

DownloadManager::DownloadManager() : pimpl_(std::make_unique<Pimpl>(this)) {}

DownloadManager::~DownloadManager() {
    pimpl_->Release();
    pimpl_.reset();
}

void DownloadManager::Init() { pimpl_->Init(); }
void DownloadManager::Start() { pimpl_->Start(); }
bool DownloadManager::Pause() { return pimpl_->Pause(); }
bool DownloadManager::Resume() { return pimpl_->Resume(); }
void DownloadManager::Retry() { pimpl_->Retry(); }
void DownloadManager::Release() { pimpl_->Release(); }
DownloadState DownloadManager::GetState() {
    return static_cast<DownloadState>(pimpl_->current_state_.load());
}
std::wstring DownloadManager::GetInstallerFileName() { return pimpl_->GetInstallerFileName(); }

}  // namespace downloader

downloader::DownloadManager* GetDownloadManager() {
    return base::GetRegisteredObject<downloader::DownloadManager>();
}

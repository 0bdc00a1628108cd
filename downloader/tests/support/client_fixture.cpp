#include "support/client_fixture.h"

#include <windows.h>

#include <sys/stat.h>

#include <sstream>
#include <thread>

#include "base/string_util.h"
#include "downloader/app_globals.h"
#include "downloader/client_manager.h"
#include "downloader/config_manager.h"
#include "downloader/download_manager.h"
#include "downloader/report_manager.h"
#include "gui/ctrl.h"
#include "skin/skin.h"

extern "C" __attribute__((visibility("default"))) FakeEngineScript* GetFakeEngineScript() {
    return &clienttest::TheScript();
}

namespace clienttest {

struct TestController : base::Controller {
    bool Start(const std::wstring&) override { return true; }
};

Script& TheScript() {
    static Script* script = new Script;
    return *script;
}

int32_t Script::Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                     bool zeroed) {
    Answer a;
    {
        std::lock_guard<std::mutex> hold(lock);
        calls.push_back(slot);
        all_zeroed = all_zeroed && zeroed;
        if (slot == 0) a = find;
        if (slot == 1) a = query;
        if (slot == 3) a.code = start, start_folder = key->save_folder;
        if (slot == 7 && !progress.empty()) {
            a = progress.front();
            if (progress.size() > 1) progress.pop_front();
        }
        if (slot == kFakeReleaseSlot) inside_at_release = inside;
    }
    ++inside;
    if (slot == 7) std::this_thread::sleep_for(std::chrono::milliseconds(progress_delay_ms));
    if (info && a.code == 0) {
        info->complete = a.complete;
        info->total_size = a.total;
        info->downloaded_size = a.done;
        info->speed = a.speed;
        a.path.copy(info->path, a.path.size());
        a.launch.copy(info->launch_file, a.launch.size());
    }
    --inside;
    return a.code;
}

std::vector<int> Script::Slots() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<int> out;
    for (int s : calls)
        if (s != 7) out.push_back(s);
    return out;
}

void Panel::OnState() { states.push_back(GetDownloadManager()->GetState()); }

void Panel::OnProgress(float f, const std::wstring& speed, const std::wstring& size, bool animate) {
    wchar_t fraction[32];
    swprintf(fraction, 32, L"%g|", f);
    progress.push_back(fraction + speed + L"|" + size + (animate ? L"|1" : L"|0"));
}

void ClientTest::SetEnv(const char* name, const std::string& value) {
    env_.push_back(std::make_unique<testing_support::ScopedEnv>(name, value));
}

std::string ClientTest::Drives(const std::string& c_options, const std::string& more) {
    return "C=" + dir_.file("c") + ":fixed" + c_options + ";Z=/:remote" + more;
}

void ClientTest::SetUp() {
    // The working folder is computed once per process, so it is one for all tests.
    static const bool process_ready [[maybe_unused]] = [] {
        setenv("XDG_DATA_HOME", (new testing_support::TempDir)->path().c_str(), 1);
        InitAppGlobals(GetModuleHandleW(nullptr));
        Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
        return true;
    }();
    for (const char* sub : {"tmp", "run", "c"}) mkdir(dir_.file(sub).c_str(), 0700);
    SetEnv("TMPDIR", dir_.file("tmp"));
    SetEnv("XDG_RUNTIME_DIR", dir_.file("run"));
    SetEnv("WIN32_DRIVES", Drives(":free=10000000000000"));
    SetEnv("WIN32_DIALOG_LOG", dir_.file("dialogs"));
    SetEnv("WIN32_SHELL_LOG", dir_.file("shell"));
    SetEnv("WIN32_HTTP_PORT_MAP", "80=1");  // reports find nobody, at once
    Script& s = TheScript();
    std::lock_guard<std::mutex> hold(s.lock);
    s.find = Answer{}, s.query = Answer{0, 0, 4096}, s.start = s.progress_delay_ms = 0;
    s.progress.clear(), s.calls.clear(), s.start_folder.clear(), s.all_zeroed = true,
                                                                 s.inside_at_release = -1;
}

void ClientTest::StartClient() {
    controller_ = std::make_unique<TestController>();
    base::SetController(controller_.get());
    GetClientManager();
    skin::InitSkinIn(GetConfigManager()->GetWorkDir() + L"\\");
    GetConfigManager()->Load();
    // The first report makes the HTTP service and its pool here, as the client start does.
    GetReportManager()->ReportClientStart();
    downloader::DownloadManager* m = GetDownloadManager();
    m->SigStateChanged.connect(&panel_, &Panel::OnState);
    m->SigProgress.connect(&panel_, &Panel::OnProgress);
    m->SigError.connect(&panel_, &Panel::OnError);
    m->SigFinished.connect(&panel_, &Panel::OnFinished);
}

void ClientTest::TearDown() {
    if (controller_) GetDownloadManager()->Release();
    controller_.reset();
    while (!env_.empty()) env_.pop_back();  // last set, first restored
}

bool ClientTest::Pump(const std::function<bool()>& done, int timeout_ms) {
    for (const DWORD begin = GetTickCount(); !done();) {
        if (GetTickCount() - begin > static_cast<DWORD>(timeout_ms)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

std::vector<std::vector<std::string>> ClientTest::Record(const char* name) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(testing_support::ReadAll(getenv(name)));
    for (std::string line; std::getline(in, line);) lines.push_back(base::SplitString(line, '\t'));
    return lines;
}

}  // namespace clienttest

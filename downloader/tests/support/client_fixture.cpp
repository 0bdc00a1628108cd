#include "support/client_fixture.h"

#include <windows.h>

#include <sys/stat.h>

#include <sstream>
#include <thread>

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

namespace {

class TestController : public base::Controller {
public:
    bool Start(const std::wstring&) override { return true; }
};

void Fill(DownloadEngineInfo* info, const Answer& a) {
    if (!info) return;
    info->complete = a.complete;
    info->total_size = a.total;
    info->downloaded_size = a.done;
    info->speed = a.speed;
    a.path.copy(info->path, a.path.size());
    a.launch.copy(info->launch_file, a.launch.size());
}

}  // namespace

Script& TheScript() {
    static Script script;
    return script;
}

int32_t Script::Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                     bool zeroed) {
    Answer answer;
    int delay = 0;
    {
        std::lock_guard<std::mutex> hold(lock);
        slots_.push_back(slot);
        all_zeroed = all_zeroed && zeroed;
        switch (slot) {
            case 0:
                answer = find;
                break;
            case 1:
                answer = query;
                break;
            case 3:
                answer.code = start;
                start_folder = key->save_folder;
                break;
            case 5:
                answer.code = pause;
                break;
            case 6:
                answer.code = resume;
                break;
            case 7:
                ++polls;
                answer = progress.empty() ? Answer{} : progress.front();
                if (progress.size() > 1) progress.pop_front();
                delay = progress_delay_ms;
                break;
            case kFakeReleaseSlot:
                inside_at_release = inside_;
                break;
        }
    }
    ++inside_;
    if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    if (answer.code == 0) Fill(info, answer);
    --inside_;
    return answer.code;
}

void Script::Reset() {
    std::lock_guard<std::mutex> hold(lock);
    find = Answer{};
    find.launch = u"setup.exe";
    query = Answer{0, 0, 4096, 0, 0, u"", u""};
    start = pause = resume = 0;
    progress.clear();
    progress_delay_ms = 0;
    start_folder.clear();
    all_zeroed = true;
    polls = 0;
    inside_at_release = -1;
    slots_.clear();
}

std::vector<int> Script::Slots() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<int> out;
    for (int s : slots_)
        if (s != 7) out.push_back(s);
    return out;
}

void Panel::Connect() {
    downloader::DownloadManager* m = GetDownloadManager();
    m->SigStateChanged.connect(this, &Panel::OnState);
    m->SigProgress.connect(this, &Panel::OnProgress);
    m->SigError.connect(this, &Panel::OnError);
    m->SigFinished.connect(this, &Panel::OnFinished);
}

void Panel::OnState() { states.push_back(GetDownloadManager()->GetState()); }

void ClientTest::SetEnv(const char* name, const std::string& value) {
    env_.push_back(std::make_unique<testing_support::ScopedEnv>(name, value));
}

std::string ClientTest::Drives(const std::string& c_options) {
    return "C=" + dir_.file("c") + ":fixed" + c_options + ";Z=/:remote";
}

void ClientTest::SetUp() {
    // The working folder is computed once per process, so it is one for all tests.
    static testing_support::TempDir* shared = [] {
        auto* d = new testing_support::TempDir;
        setenv("XDG_DATA_HOME", d->path().c_str(), 1);
        InitAppGlobals(GetModuleHandleW(nullptr));
        Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
        return d;
    }();
    (void)shared;
    for (const char* sub : {"tmp", "run", "c"}) mkdir(dir_.file(sub).c_str(), 0700);
    SetEnv("TMPDIR", dir_.file("tmp"));
    SetEnv("XDG_RUNTIME_DIR", dir_.file("run"));
    SetEnv("WIN32_DRIVES", Drives(":free=10000000000000"));
    SetEnv("WIN32_DIALOG_LOG", dir_.file("dialogs"));
    SetEnv("WIN32_SHELL_LOG", dir_.file("shell"));
    SetEnv("WIN32_HTTP_PORT_MAP", "80=1");  // reports find nobody at once
    TheScript().Reset();
}

void ClientTest::StartClient() {
    controller_ = std::make_unique<TestController>();
    base::SetController(controller_.get());
    GetClientManager();
    skin::InitSkinIn(GetConfigManager()->GetWorkDir() + L"\\");
    GetConfigManager()->Load();
    // The first report makes the HTTP service and its pool here, as the client start does.
    GetReportManager()->ReportClientStart();
    panel_.Connect();
}

void ClientTest::TearDown() {
    if (controller_) {
        GetDownloadManager()->Release();
        controller_.reset();
    }
}

bool ClientTest::Pump(const std::function<bool()>& done, int timeout_ms) {
    const DWORD begin = GetTickCount();
    while (!done()) {
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
    for (std::string line; std::getline(in, line);) {
        lines.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, '\t');) lines.back().push_back(f);
    }
    return lines;
}

}  // namespace clienttest

// The client core inside a test process: a controller of its own, the managers made on
// this (the user-interface) thread, the engine a scripted fake, and the layer's records of
// message boxes, desktop openings and processes in a private folder. Included by one
// source file of a test program, which then answers the scripted engine's lookup.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <win32_unixpath.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "base/controller.h"
#include "base/registry.h"
#include "base/string_util.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/client_manager.h"
#include "downloader/config_manager.h"
#include "downloader/download_manager.h"
#include "downloader/report_manager.h"
#include "fake_engine/fake_engine.h"
#include "gui/ctrl.h"
#include "skin/skin.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/ui_loop.h"

namespace clienttest {

struct Answer {
    int32_t code = 0, complete = 0;
    int64_t total = 0, done = 0;
    int32_t speed = 0;
    std::u16string path = u"", launch = u"setup.exe";
};

struct Script : FakeEngineScript {
    int32_t Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                 bool zeroed) override {
        Answer a;
        {
            std::lock_guard<std::mutex> hold(lock);
            calls.push_back(slot);
            all_zeroed = all_zeroed && zeroed;
            if (slot == 0) a = find;
            if (slot == 1) a = query;
            if (slot == 3) a.code = start, start_folder = key->save_folder;
            if (slot == 7 && !progress.empty()) a = progress.front();
            if (slot == 7 && progress.size() > 1) progress.pop_front();
            if (slot == kFakeReleaseSlot) inside_at_release = inside;
            if (slot == end_slot) progress.assign({end_answer});
        }
        while (slot == hold_slot && holding) Sleep(5);  // a state that passes quickly, held
        // A poll ends the download while the engine is still pausing or resuming it.
        for (int i = 0; slot == end_slot && i < 2000 && GetDownloadManager()->GetState() < 9; ++i)
            Sleep(5);
        ++inside;
        if (slot == 7) std::this_thread::sleep_for(std::chrono::milliseconds(progress_delay_ms));
        if (info && a.code == 0) {
            info->complete = a.complete, info->total_size = a.total, info->downloaded_size = a.done;
            info->speed = a.speed;
            a.path.copy(info->path, a.path.size()),
                a.launch.copy(info->launch_file, a.launch.size());
        }
        --inside;
        return a.code;
    }
    std::vector<int> Slots() {  // without the polls (7), whose number depends on timing
        std::lock_guard<std::mutex> hold(lock);
        std::vector<int> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [](int s) { return s != 7; });
        return out;
    }

    std::mutex lock;  // over everything here
    Answer find, query;
    int32_t start = 0;
    std::deque<Answer> progress;  // each poll takes the first; the last one stays
    int progress_delay_ms = 0;
    int end_slot = -1;   // this call waits for a poll to end the download with end_answer
    int hold_slot = -1;  // this call waits while holding is set
    std::atomic<bool> holding{false};
    Answer end_answer;
    std::u16string start_folder;
    bool all_zeroed = true;
    std::atomic<int> inside{0};  // calls running now
    int inside_at_release = -1;
    std::vector<int> calls;
};

inline Script& TheScript() {
    static Script* script = new Script;
    return *script;
}

inline const Answer kRunning{0, 0, 4096, 1024, 2048}, kAllIn{0, 0, 4096, 4096};
inline const Answer kComplete{0, 1, 4096, 4096};
inline const Answer kEarlier{0, 0, 4096, 1024, 0, u"C:\\Old\\DemoGame"};
inline const Answer kEarlierDone{0, 1, 4096, 4096, 0, u"C:\\Old\\DemoGame"};

// What the progress panel hears; progress as "fraction|speed|size|animate".
struct Panel : signals::has_slots<> {
    void OnState() { states.push_back(GetDownloadManager()->GetState()); }
    void OnProgress(float f, const std::wstring& speed, const std::wstring& size, bool animate) {
        wchar_t fraction[32];
        swprintf(fraction, 32, L"%g|", f);
        progress.push_back(fraction + speed + L"|" + size + (animate ? L"|1" : L"|0"));
    }
    void OnError(const std::wstring& text) { errors.push_back(text); }
    void OnFinished() { ++finished; }

    std::vector<int> states;
    std::vector<std::wstring> progress, errors;
    int finished = 0;
};

struct TestController : base::Controller {
    bool Start(const std::wstring&) override { return true; }
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The working folder is computed once per process, so it is one for all tests.
        static testing_support::TempDir data_home;
        static const bool process_ready [[maybe_unused]] = [] {
            setenv("XDG_DATA_HOME", data_home.path().c_str(), 1);
            InitAppGlobals(GetModuleHandleW(nullptr));
            gui_test::StartToolkit();
            return true;
        }();
        for (const auto& [name, value] :
             {std::pair<const char*, std::string>{"TMPDIR", dir_.folder("tmp")},
              {"XDG_RUNTIME_DIR", dir_.folder("run")},
              {"WIN32_DRIVES", Drives(":free=10000000000000")},
              {"WIN32_DIALOG_LOG", dir_.file("dialogs")},
              {"WIN32_SHELL_LOG", dir_.file("shell")},
              {"WIN32_PROCESS_LOG", dir_.file("processes")},
              {"WIN32_HTTP_PORT_MAP", "80=1"}})  // reports find nobody, at once
            SetEnv(name, value);
        Script& s = TheScript();
        std::lock_guard<std::mutex> hold(s.lock);
        s.find = s.query = Answer{}, s.start = s.progress_delay_ms = 0, s.inside_at_release = -1;
        s.end_slot = s.hold_slot = -1, s.holding = false;
        s.progress.clear(), s.calls.clear(), s.start_folder.clear(), s.all_zeroed = true;
    }
    void TearDown() override {
        if (controller_) GetDownloadManager()->Release();
        controller_.reset();
        env_ = std::make_unique<testing_support::ScopedEnvs>();  // the old ones put back
    }
    // The managers as the client's start makes them.
    void StartClient() {
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
    // Runs this thread's message loop until done() answers true.
    bool Pump(const std::function<bool()>& done, int timeout_ms = 20000) {
        return gui_test::RunLoopUntil(done, timeout_ms);
    }
    void SetEnv(const char* name, const std::string& value) { env_->Set(name, value); }
    // One field of each line of a layer record (WIN32_DIALOG_LOG, ...).
    std::vector<std::string> Record(const char* name, size_t field) {
        std::vector<std::string> lines;
        std::istringstream in(testing_support::ReadAll(getenv(name)));
        for (std::string line; std::getline(in, line);)
            lines.push_back(base::SplitString(line, '\t').at(field));
        return lines;
    }
    std::string Drives(const std::string& c_options, const std::string& more = "") {
        return "C=" + dir_.folder("c") + ":fixed" + c_options + ";Z=/:remote" + more;
    }

    testing_support::TempDir dir_;
    Panel panel_;
    std::unique_ptr<base::Controller> controller_;
    std::unique_ptr<testing_support::ScopedEnvs> env_ =
        std::make_unique<testing_support::ScopedEnvs>();
};

}  // namespace clienttest

extern "C" __attribute__((visibility("default"))) FakeEngineScript* GetFakeEngineScript() {
    return &clienttest::TheScript();
}

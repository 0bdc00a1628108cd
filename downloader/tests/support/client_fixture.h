// The client core inside the test process: a controller of its own, the managers made on
// this (the user-interface) thread, the engine scripted, and the layer's records of
// message boxes and desktop openings in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/controller.h"
#include "base/signals.h"
#include "fake_engine/fake_engine.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace clienttest {

struct Answer {
    int32_t code = 0, complete = 0;
    int64_t total = 0, done = 0;
    int32_t speed = 0;
    std::u16string path = u"", launch = u"setup.exe";
};

struct Script : FakeEngineScript {
    int32_t Call(int slot, const DownloadEngineKey* key, DownloadEngineInfo* info,
                 bool zeroed) override;
    std::vector<int> Slots();  // without the polls (7), whose number depends on timing

    std::mutex lock;  // over everything here
    Answer find, query{0, 0, 4096};
    int32_t start = 0;
    std::deque<Answer> progress;  // each poll takes the first; the last one stays
    int progress_delay_ms = 0;
    std::u16string start_folder;
    bool all_zeroed = true;
    std::atomic<int> inside{0};  // calls running now
    int inside_at_release = -1;
    std::vector<int> calls;
};

Script& TheScript();

// What the progress panel hears; progress as "fraction|speed|size|animate".
struct Panel : signals::has_slots<> {
    void OnState();
    void OnProgress(float f, const std::wstring& speed, const std::wstring& size, bool animate);
    void OnError(const std::wstring& text) { errors.push_back(text); }
    void OnFinished() { ++finished; }

    std::vector<int> states;
    std::vector<std::wstring> progress, errors;
    int finished = 0;
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void StartClient();  // the managers as the client's start makes them
    // Runs this thread's message loop until done() answers true.
    bool Pump(const std::function<bool()>& done, int timeout_ms = 20000);
    void SetEnv(const char* name, const std::string& value);
    // Tab-separated fields of the lines of a layer record (WIN32_DIALOG_LOG, ...).
    std::vector<std::vector<std::string>> Record(const char* name);
    std::string Drives(const std::string& c_options, const std::string& more = "");

    testing_support::TempDir dir_;
    Panel panel_;
    std::unique_ptr<base::Controller> controller_;
    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
};

}  // namespace clienttest

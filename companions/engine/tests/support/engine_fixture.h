// Shared setting for the engine's tests: a private folder with a drive C:, a task
// store and a served installer; the engine loaded with dlopen and driven only
// through its exports and its table.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "downloader/download_engine.h"
#include "tools/demo-server/testing/demo_server_process.h"
#include "support/temp_dir.h"

namespace enginetest {

// The engine's own codes that the tests expect (see the engine's README).
inline constexpr int32_t kBadArgument = 1;
inline constexpr int32_t kNoEngineFile = 2;
inline constexpr int32_t kUnknownGame = 4;
inline constexpr int32_t kBadSaveFolder = 6;
inline constexpr int32_t kTaskBusy = 7;
inline constexpr int32_t kNoTransfer = 8;
inline constexpr int32_t kEngineClosed = 9;
inline constexpr int32_t kStoreUnavailable = 10;

std::string md5_hex(const std::string& data);
std::string random_bytes(size_t size, uint32_t seed);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);
bool exists(const std::string& path);
// Compares file contents without printing megabytes of binary on failure.
::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected);

class EngineLibrary {
public:
    EngineLibrary();
    ~EngineLibrary();
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    void* handle() const { return handle_; }
    IDownloadEngine* get_instance() const;
    int32_t release(IDownloadEngine* engine) const;
    void close();

private:
    void* handle_ = nullptr;
};

// A key record whose strings live as long as it does.
class Key {
public:
    Key(std::u16string game, std::u16string folder, std::u16string channel = u"channel-7");
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    const DownloadEngineKey* get() const { return &record_; }

private:
    std::u16string game_, folder_, channel_;
    DownloadEngineKey record_{};
};

// A zeroed info record on the heap, as the program zeroes its own before each call.
class Info {
public:
    Info() : record_(new DownloadEngineInfo{}) {}
    DownloadEngineInfo* get() {
        *record_ = DownloadEngineInfo{};
        return record_.get();
    }
    const DownloadEngineInfo& operator*() const { return *record_; }
    const DownloadEngineInfo* operator->() const { return record_.get(); }
    std::u16string path() const { return record_->path; }
    std::u16string launch_file() const { return record_->launch_file; }
    std::string reason() const;  // the engine's failure text in the unused bytes

private:
    std::unique_ptr<DownloadEngineInfo> record_;
};

class EngineTest : public ::testing::Test {
protected:
    static constexpr char16_t kGame[] = u"demo";
    static constexpr char kInstaller[] = "setup_demo.exe";

    void SetUp() override;
    void TearDown() override;

    // Writes `size` random bytes as the served installer, starts the server with
    // `args`, and writes an engine file that names it truthfully.
    void serve(size_t size, const std::vector<std::string>& args = {});
    // Everything from nothing again: no engine, server, download, record or logged request.
    void restart();
    void write_engine_file(const std::string& url, uint64_t size, const std::string& md5,
                           const std::string& file = kInstaller);
    std::string served_path() const { return tmp_.path() + "/srv/" + kInstaller; }

    IDownloadEngine* engine();
    void release_engine();

    int32_t start(const std::u16string& folder = u"C:\\Games\\demo");
    int32_t find(Info& info);
    int32_t query(Info& info);
    int32_t progress(Info& info);
    // Polls QueryProgress until `done` holds or the time is up; answers the last code.
    int32_t poll_until(Info& info,
                       const std::function<bool(int32_t, const DownloadEngineInfo&)>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // Pauses once `bytes` arrived and waits until the pause holds: the partial file has
    // every byte received and no more come.
    void pause_after(int64_t bytes, const std::string& name = "demo");
    // Until complete or failed.
    int32_t wait_end(Info& info, std::chrono::milliseconds timeout = std::chrono::seconds(15));

    // Folder of "C:\Games\<name>" on Linux.
    std::string save_dir(const std::string& name = "demo") const;
    std::string installer_path(const std::string& name = "demo") const;
    std::string partial_path(const std::string& name = "demo") const;

    // Runs `body` in a forked child (before the engine is loaded here) and answers its pid.
    static pid_t fork_child(const std::function<int()>& body);
    static int wait_child(pid_t pid);

    TempDir tmp_;
    demo::DemoServer server_;
    std::string payload_;
    EngineLibrary library_;
    IDownloadEngine* engine_ = nullptr;
};

}  // namespace enginetest

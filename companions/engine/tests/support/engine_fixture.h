// Shared setting for the engine's tests: a private folder with a drive C:, a task
// store and a served installer; the engine loaded with dlopen and driven only
// through its exports and its table.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "downloader/download_engine.h"
#include "testing/md5_hex.h"
#include "testing/random_bytes.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace enginetest {

using testing_support::Exists;
using testing_support::Md5Hex;
using testing_support::RandomBytes;
using testing_support::ReadAll;
using testing_support::WriteAll;
using namespace std::chrono_literals;

// The engine's own codes that the tests expect (see the engine's README).
inline constexpr int32_t kBadArgument = 1, kNoEngineFile = 2, kUnknownGame = 4, kBadSaveFolder = 6,
                         kTaskBusy = 7, kNoTransfer = 8, kEngineClosed = 9, kStoreUnavailable = 10;

// Compares file contents without printing megabytes of binary on failure.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected; first difference at " << i;
}

struct EngineLibrary {
    ~EngineLibrary() { close(); }
    void close() {
        if (handle) dlclose(handle);
        handle = nullptr;
    }
    void* handle = dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    DownloadEngineGetInstanceFn get_instance =
        reinterpret_cast<DownloadEngineGetInstanceFn>(dlsym(handle, kDownloadEngineGetInstance));
    DownloadEngineReleaseFn release =
        reinterpret_cast<DownloadEngineReleaseFn>(dlsym(handle, kDownloadEngineRelease));
};

// A key record whose strings live as long as it does.
struct Key {
    std::u16string game, folder, channel = u"channel-7";
    DownloadEngineKey record{game.c_str(), folder.c_str(), channel.c_str()};
    const DownloadEngineKey* get() const { return &record; }
};

// A zeroed info record on the heap, as the program zeroes its own before each call.
class Info {
public:
    DownloadEngineInfo* get() {
        *record_ = DownloadEngineInfo{};
        return record_.get();
    }
    const DownloadEngineInfo& operator*() const { return *record_; }
    const DownloadEngineInfo* operator->() const { return record_.get(); }
    std::u16string path() const { return record_->path; }
    std::u16string launch_file() const { return record_->launch_file; }
    // The engine's failure text in the unused bytes.
    std::string reason() const {
        std::string out;
        for (size_t i = 0; i + 1 < sizeof record_->unused0; i += 2) {
            const char16_t c = record_->unused0[i] | record_->unused0[i + 1] << 8;
            if (!c) break;
            out += c < 128 ? char(c) : '?';
        }
        return out;
    }

private:
    std::unique_ptr<DownloadEngineInfo> record_{new DownloadEngineInfo{}};
};

class EngineTest : public ::testing::Test {
protected:
    static constexpr char16_t kGame[] = u"demo";
    static constexpr char kInstaller[] = "setup_demo.exe";

    void SetUp() override {
        ASSERT_TRUE(library_.handle && library_.get_instance && library_.release) << dlerror();
        tmp_.folder("srv"), tmp_.folder("c");
        const std::pair<const char*, std::string> settings[] = {
            {"WIN32_DRIVES", "C=" + tmp_.file("c") + ";Z=/"},
            {"XDG_DATA_HOME", tmp_.folder("data")},
            {"GDL_ENGINE_FILE", tmp_.file("Dravon.ini")},
            {"GDL_ENGINE_RETRIES", "4"},
            {"GDL_ENGINE_BACKOFF_MS", "20"},
            {"GDL_ENGINE_MAX_BACKOFF_MS", "100"},
            {"GDL_ENGINE_STALL_MS", "400"},
            {"GDL_ENGINE_CHECKPOINT_KIB", "64"}};
        for (const auto& [name, value] : settings) setenv(name, value.c_str(), 1);
        for (const char* name : {"GDL_ENGINE_STORE", "GDL_ENGINE_SYNC_MS", "GDL_ENGINE_BOOT_ID"})
            unsetenv(name);
    }
    void TearDown() override { restart(); }

    // Writes `size` random bytes as the served installer, starts the server with
    // `args`, and writes an engine file that names it truthfully.
    void serve(size_t size, const std::vector<std::string>& args = {}) {
        payload_ = RandomBytes(size, 12345u + uint32_t(size));
        WriteAll(tmp_.file("srv/") + kInstaller, payload_);
        ASSERT_TRUE(server_.start(tmp_.file("srv"), tmp_.file("requests.log"), args));
        write_engine_file(server_.url(std::string("/") + kInstaller), size, Md5Hex(payload_));
    }
    // Everything from nothing again: no engine, server, download, record or logged request.
    void restart() {
        release_engine();
        server_.stop();
        for (const char* sub : {"c/Games", "data", "requests.log"})
            std::filesystem::remove_all(tmp_.file(sub));
    }
    // A fresh task on a fresh server (as serve makes it); answers Start's code.
    int32_t begin(size_t size, const std::vector<std::string>& args = {}) {
        restart();
        serve(size, args);
        return start();
    }
    void write_engine_file(const std::string& url, uint64_t size, const std::string& md5) {
        WriteAll(tmp_.file("Dravon.ini"),
                 "; test engine file\n[other]\nurl=http://127.0.0.1/x\nsize=1\nmd5=" +
                     std::string(32, '0') + "\nfile=x\n[demo]\nurl=" + url + "\nsize=" +
                     std::to_string(size) + "\nmd5=" + md5 + "\nfile=" + kInstaller + "\n");
    }

    IDownloadEngine* engine() { return engine_ ? engine_ : (engine_ = library_.get_instance()); }
    void release_engine() {
        if (!engine_) return;
        engine_->Shutdown();
        library_.release(engine_);
        engine_ = nullptr;
    }

    int32_t start(const std::u16string& folder = u"C:\\Games\\demo") {
        return engine()->StartTask(Key(kGame, folder).get());
    }
    int32_t find(Info& info) { return engine()->FindTask(Key(kGame, u"").get(), info.get()); }
    int32_t query(Info& info) { return engine()->QueryTask(Key(kGame, u"").get(), info.get()); }
    int32_t progress(Info& info) { return engine()->QueryProgress(info.get()); }
    // Polls QueryProgress until `done` holds or the time is up; answers the last code.
    int32_t poll_until(Info& info,
                       const std::function<bool(int32_t, const DownloadEngineInfo&)>& done) {
        int32_t code = 0;
        testing_support::WaitUntil([&] { return done(code = progress(info), *info); }, 15000, 5);
        return code;
    }
    int32_t until(Info& info, int64_t bytes) {
        return poll_until(
            info, [=](int32_t c, const auto& i) { return c || i.downloaded_size >= bytes; });
    }
    int32_t wait_end(Info& info) {
        return poll_until(info, [](int32_t c, const auto& i) { return c || i.complete; });
    }
    // Waits for the end and expects the installer complete with `expected` (the payload).
    void expect_installed(const std::string& name = "demo", const std::string* expected = nullptr) {
        Info info;
        ASSERT_EQ(wait_end(info), 0) << info.reason();
        EXPECT_EQ(info->complete, 1);
        EXPECT_TRUE(SameBytes(ReadAll(installer_path(name)), expected ? *expected : payload_));
    }
    // Pauses once `bytes` arrived and waits until the pause holds: the partial file has
    // every byte received and no more come.
    void pause_after(int64_t bytes, const std::string& name = "demo") {
        Info info;
        ASSERT_EQ(until(info, bytes), 0);
        ASSERT_EQ(engine()->PauseTask(), 0);
        int64_t seen = -1;
        ASSERT_EQ(poll_until(info,
                             [&](int32_t c, const DownloadEngineInfo& i) {
                                 const int64_t on_disk = ReadAll(partial_path(name)).size();
                                 const bool still = on_disk == i.downloaded_size && on_disk == seen;
                                 seen = on_disk == i.downloaded_size ? on_disk : -1;
                                 std::this_thread::sleep_for(20ms);
                                 return c != 0 || still;
                             }),
                  0);
    }

    // The installer in "C:\Games\<name>" on Linux, and its partial file.
    std::string installer_path(const std::string& name = "demo") const {
        return tmp_.file("c/Games/" + name + "/" + kInstaller);
    }
    std::string partial_path(const std::string& name = "demo") const {
        return installer_path(name) + ".part";
    }

    // Runs `body` in a forked child and answers its pid; its exit status.
    static pid_t fork_child(const std::function<int()>& body) {
        const pid_t pid = fork();
        if (pid == 0) _exit(body());
        return pid;
    }
    static int wait_child(pid_t pid) {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    testing_support::TempDir tmp_;
    demo::DemoServer server_;
    std::string payload_;
    EngineLibrary library_;
    IDownloadEngine* engine_ = nullptr;
};

}  // namespace enginetest

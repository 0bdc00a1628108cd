#include "support/engine_fixture.h"

#include <dlfcn.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace enginetest {

std::string md5_hex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_md5(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

std::string random_bytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& c : out) c = char(rng());
    return out;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected; first difference at " << i;
}

EngineLibrary::EngineLibrary() { handle_ = ::dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL); }

EngineLibrary::~EngineLibrary() { close(); }

void EngineLibrary::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

IDownloadEngine* EngineLibrary::get_instance() const {
    auto fn =
        reinterpret_cast<DownloadEngineGetInstanceFn>(::dlsym(handle_, kDownloadEngineGetInstance));
    return fn ? fn() : nullptr;
}

int32_t EngineLibrary::release(IDownloadEngine* engine) const {
    auto fn = reinterpret_cast<DownloadEngineReleaseFn>(::dlsym(handle_, kDownloadEngineRelease));
    return fn ? fn(engine) : -1;
}

Key::Key(std::u16string game, std::u16string folder, std::u16string channel)
    : game_(std::move(game)), folder_(std::move(folder)), channel_(std::move(channel)) {
    record_.game_key = game_.c_str();
    record_.save_folder = folder_.c_str();
    record_.user_channel = channel_.c_str();
}

std::string Info::reason() const {
    char16_t text[sizeof record_->unused0 / 2 + 1] = {};
    std::memcpy(text, record_->unused0, sizeof record_->unused0);
    std::string out;
    for (char16_t* p = text; *p; ++p) out += *p < 128 ? char(*p) : '?';
    return out;
}

void EngineTest::SetUp() {
    ASSERT_NE(library_.handle(), nullptr) << ::dlerror();
    tmp_.sub("srv");
    tmp_.sub("c");
    ::setenv("WIN32_DRIVES", ("C=" + tmp_.path() + "/c;Z=/").c_str(), 1);
    ::setenv("XDG_DATA_HOME", tmp_.sub("data").c_str(), 1);
    ::unsetenv("GDL_ENGINE_STORE");
    ::setenv("GDL_ENGINE_FILE", (tmp_.path() + "/Dravon.ini").c_str(), 1);
    ::setenv("GDL_ENGINE_RETRIES", "4", 1);
    ::setenv("GDL_ENGINE_BACKOFF_MS", "20", 1);
    ::setenv("GDL_ENGINE_MAX_BACKOFF_MS", "100", 1);
    ::setenv("GDL_ENGINE_STALL_MS", "400", 1);
    ::setenv("GDL_ENGINE_CHECKPOINT_KIB", "64", 1);
    ::unsetenv("GDL_ENGINE_SYNC_MS");
    ::unsetenv("GDL_ENGINE_BOOT_ID");
}

void EngineTest::TearDown() {
    release_engine();
    server_.stop();
}

void EngineTest::serve(size_t size, const std::vector<std::string>& args) {
    payload_ = random_bytes(size, 12345u + uint32_t(size));
    write_file(served_path(), payload_);
    ASSERT_TRUE(server_.start(tmp_.path() + "/srv", tmp_.path() + "/requests.log", args));
    write_engine_file(server_.url(std::string("/") + kInstaller), payload_.size(),
                      md5_hex(payload_));
}

void EngineTest::restart() {
    release_engine();
    server_.stop();
    for (const char* sub : {"/c/Games", "/data", "/requests.log"})
        std::filesystem::remove_all(tmp_.path() + sub);
}

void EngineTest::write_engine_file(const std::string& url, uint64_t size, const std::string& md5,
                                   const std::string& file) {
    write_file(tmp_.path() + "/Dravon.ini",
               "; test engine file\n[other]\nurl=http://127.0.0.1/x\n"
               "size=1\nmd5=00000000000000000000000000000000\nfile=x\n"
               "[demo]\nurl=" +
                   url + "\nsize=" + std::to_string(size) + "\nmd5=" + md5 + "\nfile=" + file +
                   "\n");
}

IDownloadEngine* EngineTest::engine() {
    if (!engine_) engine_ = library_.get_instance();
    return engine_;
}

void EngineTest::release_engine() {
    if (!engine_) return;
    engine_->Shutdown();
    library_.release(engine_);
    engine_ = nullptr;
}

int32_t EngineTest::start(const std::u16string& folder) {
    Key key(kGame, folder);
    return engine()->StartTask(key.get());
}

int32_t EngineTest::find(Info& info) {
    Key key(kGame, u"");
    return engine()->FindTask(key.get(), info.get());
}

int32_t EngineTest::query(Info& info) {
    Key key(kGame, u"");
    return engine()->QueryTask(key.get(), info.get());
}

int32_t EngineTest::progress(Info& info) { return engine()->QueryProgress(info.get()); }

int32_t EngineTest::poll_until(Info& info,
                               const std::function<bool(int32_t, const DownloadEngineInfo&)>& done,
                               std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int32_t code = progress(info);
    while (!done(code, *info) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        code = progress(info);
    }
    return code;
}

void EngineTest::pause_after(int64_t bytes, const std::string& name) {
    Info info;
    ASSERT_EQ(poll_until(info,
                         [&](int32_t c, const DownloadEngineInfo& i) {
                             return c != 0 || i.downloaded_size >= bytes;
                         }),
              0);
    ASSERT_EQ(engine()->PauseTask(), 0);
    int64_t seen = -1;
    ASSERT_EQ(poll_until(info,
                         [&](int32_t c, const DownloadEngineInfo& i) {
                             const int64_t on_disk = int64_t(read_file(partial_path(name)).size());
                             const bool still = on_disk == i.downloaded_size && on_disk == seen;
                             seen = on_disk == i.downloaded_size ? on_disk : -1;
                             std::this_thread::sleep_for(std::chrono::milliseconds(20));
                             return c != 0 || still;
                         }),
              0);
}

int32_t EngineTest::wait_end(Info& info, std::chrono::milliseconds timeout) {
    return poll_until(
        info, [](int32_t code, const DownloadEngineInfo& i) { return code != 0 || i.complete; },
        timeout);
}

std::string EngineTest::save_dir(const std::string& name) const {
    return tmp_.path() + "/c/Games/" + name;
}

std::string EngineTest::installer_path(const std::string& name) const {
    return save_dir(name) + "/" + kInstaller;
}

std::string EngineTest::partial_path(const std::string& name) const {
    return installer_path(name) + ".part";
}

pid_t EngineTest::fork_child(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    return pid;
}

int EngineTest::wait_child(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

}  // namespace enginetest

#include "support/road_fixture.h"

#include <windows.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <thread>

#include "base/machine_id.h"
#include "base/md5.h"
#include "base/string_util.h"

namespace roadtest {

using testing_support::ReadAll;
using testing_support::WriteAll;

bool Client::Start(const std::string& program) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return false;
    if ((pid_ = group_ = fork()) == 0) {
        setpgid(0, 0);
        dup2(in[0], 0);
        dup2(out[1], 1);
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    setpgid(pid_, pid_);
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    return pid_ > 0;
}

bool Client::Send(const std::string& line) {
    return write(in_, (line + "\n").data(), line.size() + 1) == ssize_t(line.size() + 1);
}

std::string Client::Expect(const std::string& prefix, int timeout_ms) {
    for (;;) {
        for (size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
            const std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (line.rfind(prefix, 0) == 0) return line;
        }
        pollfd p{out_, POLLIN, 0};
        char chunk[4096];
        const ssize_t n = poll(&p, 1, timeout_ms) > 0 ? read(out_, chunk, sizeof(chunk)) : 0;
        if (n <= 0) return "";
        buffer_.append(chunk, size_t(n));
    }
}

int Client::Wait() {
    for (int i = 0; pid_ > 0 && i < 3000;
         ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) continue;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return -1;
}

void Client::Kill() {
    if (group_ > 0) kill(-group_, SIGKILL);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = group_ = -1;
    for (int* fd : {&in_, &out_}) close(std::exchange(*fd, -1));
}

void RoadTest::SetUp() {
    for (const char* sub : {"tmp", "data", "run", "c", "store", "www", "bin"})
        mkdir(dir_.file(sub).c_str(), 0700);
    ASSERT_TRUE(server_.start(dir_.file("www"), dir_.file("server.log")));
    const std::pair<const char*, std::string> settings[] = {
        {"TMPDIR", dir_.file("tmp")},
        {"XDG_DATA_HOME", dir_.file("data")},
        {"XDG_RUNTIME_DIR", dir_.file("run")},
        {"WIN32_DRIVES", "C=" + dir_.file("c") + ":fixed:free=10000000000000;Z=/:remote"},
        {"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())},
        {"WIN32_NO_DISPLAY", "1"},
        {"GDL_ENGINE_FILE", dir_.file("engine.ini")},
        {"GDL_ENGINE_STORE", dir_.file("store")},
        {"DEMO_INSTALLER_RECORD", dir_.file("installer.log")},
    };
    for (const auto& [name, value] : settings)
        env_.push_back(std::make_unique<testing_support::ScopedEnv>(name, value));
    Serve(ReadAll(DEMO_PAYLOAD_PATH));
}

void RoadTest::Serve(const std::string& bytes, bool wrong_md5) {
    payload_ = bytes;
    ASSERT_TRUE(WriteAll(dir_.file("www/demo_setup.exe"), bytes));
    base::MD5 md5;
    md5.Update(reinterpret_cast<const unsigned char*>(bytes.data()), int32_t(bytes.size()));
    ASSERT_TRUE(WriteAll(
        dir_.file("engine.ini"),
        "[demo]\nurl=" + server_.url("/demo_setup.exe") + "\nsize=" + std::to_string(bytes.size()) +
            "\nmd5=" + (wrong_md5 ? std::string(32, '0') : base::WideToUtf8(md5.FinalHex())) +
            "\nfile=demo_setup.exe\n"));
}

std::string RoadTest::Install(const char* program) {
    const std::string path = dir_.file("bin") + strrchr(program, '/');
    EXPECT_TRUE(WriteAll(path, ReadAll(program)));
    chmod(path.c_str(), 0700);
    EXPECT_TRUE(WriteAll(dir_.file("bin/log.ini"), "[log]\r\nlevel=1\r\n"));
    return path;
}

std::string RoadTest::ReadC(const std::string& path) const {
    return ReadAll(dir_.file("c/" + path));
}

std::vector<std::string> RoadTest::Reports() {
    std::vector<std::string> queries;
    for (const demo::LoggedRequest& r : server_.requests())
        if (r.path == "/b/duan/s/ginstall/") queries.push_back(r.query);
    return queries;
}

std::string RoadTest::ExpectedQuery(int status) {
    char mid[260] = {};
    base::ComputeMid2(mid, sizeof(mid) - 1);
    std::string q = "user_from=demo_site&user_channel=demo&user_subsite=0&mid=" + std::string(mid);
    HMODULE selvik = LoadLibraryW(base::Utf8ToWide(SELVIK_PATH).c_str());
    const std::pair<const char*, const char*> ids[] = {
        {"mid", "GetMid"}, {"m2", "GetM2"}, {"mac", "GetMAC"}};
    for (const auto& [key, name] : ids) {
        auto fn = reinterpret_cast<bool (*)(char*, int)>(GetProcAddress(selvik, name));
        char buffer[260] = {};
        q += "&q_" + std::string(key) + "=" + (fn && fn(buffer, 259) ? buffer : "");
    }
    return q + "&status=" + std::to_string(status) + "&gkey=demo&ver=1.0.0.1&first_time=";
}

std::vector<std::string> RoadTest::LogLines() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::string bytes =
        ReadAll(dir_.file("bin/demo_downloader_log_") + std::to_string(t.wYear) + "-" +
                std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + ".txt");
    if (bytes.empty()) return {};
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "a second byte-order mark";
    const std::regex head(R"(\[\d+\]\[\d+\]\[ALL\]\d\d:\d\d:\d\d (MESSAGE|ERROR): .*\r)");
    std::vector<std::string> lines;
    std::istringstream in(base::WideToUtf8(text));
    for (std::string line; std::getline(in, line); lines.push_back(line))
        EXPECT_TRUE(std::regex_match(line, head)) << line;
    return lines;
}

}  // namespace roadtest

#include "support/road_fixture.h"

#include <windows.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "base/machine_id.h"
#include "base/md5.h"
#include "base/string_util.h"

namespace roadtest {

using testing_support::ReadAll;
using testing_support::WriteAll;

Client::~Client() {
    Kill();
    for (pid_t copy : copies_) kill(copy, SIGKILL);
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
}

bool Client::Start(const std::string& program) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    return pid_ > 0;
}

void Client::Send(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string Client::Expect(const std::string& prefix, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        for (size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (line.rfind("pid ", 0) == 0 && std::stoi(line.substr(4)) != pid_)
                copies_.push_back(std::stoi(line.substr(4)));
            if (line.rfind(prefix, 0) == 0) return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{out_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof(chunk));
        if (n <= 0) return "";
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

int Client::Wait(int timeout_ms) {
    for (int waited = 0; pid_ > 0 && waited <= timeout_ms; waited += 10) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void Client::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void RoadTest::SetUp() {
    for (const char* sub : {"tmp", "data", "run", "c", "store", "www"})
        mkdir(dir_.file(sub).c_str(), 0700);
    ASSERT_TRUE(server_.start(dir_.file("www"), dir_.file("server.log")));
    const std::pair<const char*, std::string> settings[] = {
        {"TMPDIR", dir_.file("tmp")},
        {"XDG_DATA_HOME", dir_.file("data")},
        {"XDG_RUNTIME_DIR", dir_.file("run")},
        {"WIN32_DRIVES", "C=" + dir_.file("c") + ":fixed:free=10000000000000;Z=/:remote"},
        {"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())},
        {"WIN32_NO_DISPLAY", "1"},
        {"WIN32_DIALOG_LOG", dir_.file("dialogs")},
        {"WIN32_SHELL_LOG", dir_.file("shell")},
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
    md5.Update(reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<int32_t>(bytes.size()));
    const std::string digest = wrong_md5 ? std::string(32, '0') : base::WideToUtf8(md5.FinalHex());
    ASSERT_TRUE(WriteAll(dir_.file("engine.ini"), "[demo]\nurl=" + server_.url("/demo_setup.exe") +
                                                      "\nsize=" + std::to_string(bytes.size()) +
                                                      "\nmd5=" + digest +
                                                      "\nfile=demo_setup.exe\n"));
}

std::string RoadTest::Install(const char* program) {
    const std::string folder = dir_.file("bin");
    mkdir(folder.c_str(), 0700);
    const std::string path = folder + strrchr(program, '/');
    EXPECT_TRUE(WriteAll(path, ReadAll(program)));
    chmod(path.c_str(), 0700);
    EXPECT_TRUE(WriteAll(folder + "/log.ini", "[log]\r\nlevel=1\r\n"));
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
    std::string ids[3];
    HMODULE selvik = LoadLibraryW(base::Utf8ToWide(SELVIK_PATH).c_str());
    const char* names[3] = {"GetMid", "GetM2", "GetMAC"};
    for (int i = 0; i < 3; ++i) {
        auto fn = reinterpret_cast<bool (*)(char*, int)>(GetProcAddress(selvik, names[i]));
        char buffer[260] = {};
        if (fn && fn(buffer, 259)) ids[i] = buffer;
    }
    return "user_from=demo_site&user_channel=demo&user_subsite=0&mid=" + std::string(mid) +
           "&q_mid=" + ids[0] + "&q_m2=" + ids[1] + "&q_mac=" + ids[2] +
           "&status=" + std::to_string(status) + "&gkey=demo&ver=1.0.0.1&first_time=";
}

std::vector<std::string> RoadTest::LogLines(const std::string& program_dir) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::string bytes =
        ReadAll(program_dir + "/demo_downloader_log_" + std::to_string(today.wYear) + "-" +
                std::to_string(today.wMonth) + "-" + std::to_string(today.wDay) + ".txt");
    if (bytes.empty()) return {};
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "a second byte-order mark";
    const std::regex head(R"(\[\d+\]\[\d+\]\[ALL\]\d\d:\d\d:\d\d (MESSAGE|ERROR): .*)");
    std::vector<std::string> lines;
    std::istringstream in(base::WideToUtf8(text));
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        EXPECT_TRUE(std::regex_match(line, head)) << line;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace roadtest

// The demo installer, started as the client starts the downloaded installer:
// from a copy of its own, through CreateProcessW, and it leaves its record.
#include <gtest/gtest.h>
#include <windows.h>
#include <win32_unixpath.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Line {
    std::string pid, program, command_line, folder;
};

std::vector<Line> read_record(const std::string& path) {
    std::vector<Line> lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::vector<std::string> fields;
        std::stringstream stream(text);
        std::string f;
        while (std::getline(stream, f, '\t')) fields.push_back(f);
        if (fields.size() == 4)
            lines.push_back({fields[0], fields[1], fields[2], fields[3]});
        else
            lines.push_back({"bad line: " + text, "", "", ""});
    }
    return lines;
}

std::string narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out += static_cast<char>(c);  // ASCII paths of the tests
    return out;
}

class DemoInstaller : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/installer-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        // As downloaded: a plain file without the execute bit, under the installer's name.
        program_ = dir_ + "/demo setup.exe";
        fs::copy_file(DEMO_INSTALLER_PATH, program_);
        chmod(program_.c_str(), 0644);
        fs::create_directories(dir_ + "/work");
        unsetenv("DEMO_INSTALLER_RECORD");
    }
    void TearDown() override {
        unsetenv("DEMO_INSTALLER_RECORD");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Starts it as the client does and waits; the exit code and the process id.
    std::pair<DWORD, DWORD> run(const std::wstring& command_line, const std::wstring& folder) {
        std::wstring line = command_line;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            << GetLastError();
        if (!pi.hProcess) return {0xFFFFFFFFu, 0};
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0xFFFFFFFFu;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return {code, pi.dwProcessId};
    }

    std::wstring win(const std::string& path) { return UnixPathToWin32(path); }

    std::string dir_, program_;
};

TEST_F(DemoInstaller, RecordsItsPathCommandLineAndFolderBesideItself) {
    std::wstring line = L"\"" + win(program_) + L"\" /S --from \"the downloader\"";
    auto [code, pid] = run(line, win(dir_ + "/work"));
    EXPECT_EQ(code, 0u);
    auto lines = read_record(program_ + ".log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].pid, std::to_string(pid));
    EXPECT_EQ(lines[0].program, narrow(win(program_)));
    EXPECT_EQ(lines[0].command_line, narrow(line));
    EXPECT_EQ(lines[0].folder, narrow(win(dir_ + "/work")));
}

TEST_F(DemoInstaller, AppendsToTheFileTheEnvironmentNames) {
    std::string record = dir_ + "/runs.txt";
    setenv("DEMO_INSTALLER_RECORD", record.c_str(), 1);
    std::wstring line = L"\"" + win(program_) + L"\"";
    auto first = run(line, L"");
    setenv("DEMO_INSTALLER_RECORD", narrow(win(record)).c_str(), 1);
    auto second = run(line + L" again", win(dir_));
    EXPECT_EQ(first.first, 0u);
    EXPECT_EQ(second.first, 0u);
    auto lines = read_record(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pid, std::to_string(first.second));
    EXPECT_EQ(lines[1].pid, std::to_string(second.second));
    EXPECT_EQ(lines[1].command_line, narrow(line + L" again"));
    EXPECT_EQ(lines[1].folder, narrow(win(dir_)));
    EXPECT_FALSE(fs::exists(program_ + ".log"));
}

TEST_F(DemoInstaller, FailsWhenItCannotRecord) {
    setenv("DEMO_INSTALLER_RECORD", (dir_ + "/no such folder/runs.txt").c_str(), 1);
    auto [code, pid] = run(L"\"" + win(program_) + L"\"", L"");
    EXPECT_NE(code, 0u);
    EXPECT_FALSE(fs::exists(dir_ + "/no such folder"));
}

}  // namespace

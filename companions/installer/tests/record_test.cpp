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

namespace {

namespace fs = std::filesystem;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }  // ASCII

std::string ReadAll(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
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
        fs::remove_all(dir_);
    }

    // Starts it as the client does and waits; its record line "pid\tprogram\tline\tfolder",
    // or the exit code when it fails.
    std::string Run(const std::wstring& arguments, const std::string& folder) {
        std::wstring line = L"\"" + UnixPathToWin32(program_) + L"\"" + arguments;
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        const std::wstring win_folder = folder.empty() ? L"" : UnixPathToWin32(folder);
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   folder.empty() ? nullptr : win_folder.c_str(), &si, &pi));
        DWORD code = 0xFFFFFFFFu;
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        if (code != 0) return "exit " + std::to_string(code);
        return std::to_string(pi.dwProcessId) + "\t" + Narrow(UnixPathToWin32(program_)) + "\t" +
               Narrow(line) + "\t" + (folder.empty() ? "" : Narrow(win_folder)) + "\n";
    }

    std::string dir_, program_;
};

// Beside itself, or appended to the file the environment names in either path form.
TEST_F(DemoInstaller, RecordsItsPathCommandLineAndFolder) {
    std::string record = Run(L" /S --from \"the downloader\"", dir_ + "/work");
    EXPECT_EQ(ReadAll(program_ + ".log"), record);
    fs::remove(program_ + ".log");
    const std::string runs = dir_ + "/runs.txt";
    setenv("DEMO_INSTALLER_RECORD", runs.c_str(), 1);
    record = Run(L"", dir_);
    setenv("DEMO_INSTALLER_RECORD", Narrow(UnixPathToWin32(runs)).c_str(), 1);
    record += Run(L" again", dir_);
    EXPECT_EQ(ReadAll(runs), record);
    EXPECT_FALSE(fs::exists(program_ + ".log"));

    setenv("DEMO_INSTALLER_RECORD", (dir_ + "/no such folder/runs.txt").c_str(), 1);
    EXPECT_EQ(Run(L"", "").rfind("exit ", 0), 0u);  // fails when it cannot record
    EXPECT_FALSE(fs::exists(dir_ + "/no such folder"));
}

}  // namespace

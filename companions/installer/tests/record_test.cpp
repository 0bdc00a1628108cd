// The demo installer, started as the client starts the downloaded installer:
// from a copy of its own, through CreateProcessW, and it leaves its record.
#include <gtest/gtest.h>
#include <win32_unixpath.h>

#include "testing/scoped_env.h"
#include "testing/win32_run.h"

namespace {

using testing_support::Exists;
using testing_support::ReadAll;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }  // ASCII

class DemoInstaller : public ::testing::Test {
protected:
    // As downloaded: a plain file without the execute bit, under the installer's name.
    void SetUp() override {
        ASSERT_TRUE(testing_support::WriteAll(program_, ReadAll(DEMO_INSTALLER_PATH)));
    }
    // Starts it as the client does and waits; its record line "pid\tprogram\tline\tfolder",
    // or the exit code when it fails.
    std::string Run(const std::wstring& arguments, const std::string& folder) {
        const std::wstring line = L"\"" + UnixPathToWin32(program_) + L"\"" + arguments;
        const std::wstring win_folder = folder.empty() ? L"" : UnixPathToWin32(folder);
        const testing_support::Win32Run run = testing_support::RunWin32(line, win_folder);
        EXPECT_TRUE(run.started);
        if (run.exit_code != 0) return "exit " + std::to_string(run.exit_code);
        return std::to_string(run.pid) + "\t" + Narrow(UnixPathToWin32(program_)) + "\t" +
               Narrow(line) + "\t" + Narrow(win_folder) + "\n";
    }

    testing_support::TempDir dir_;
    std::string program_ = dir_.file("demo setup.exe");
    testing_support::ScopedEnv record_{"DEMO_INSTALLER_RECORD", ""};
};

// Beside itself, or appended to the file the environment names in either path form.
TEST_F(DemoInstaller, RecordsItsPathCommandLineAndFolder) {
    unsetenv("DEMO_INSTALLER_RECORD");
    std::string record = Run(L" /S --from \"the downloader\"", dir_.folder("work"));
    EXPECT_EQ(ReadAll(program_ + ".log"), record);
    remove((program_ + ".log").c_str());
    const std::string runs = dir_.file("runs.txt");
    setenv("DEMO_INSTALLER_RECORD", runs.c_str(), 1);
    record = Run(L"", dir_.path());
    setenv("DEMO_INSTALLER_RECORD", Narrow(UnixPathToWin32(runs)).c_str(), 1);
    record += Run(L" again", dir_.path());
    EXPECT_EQ(ReadAll(runs), record);
    EXPECT_FALSE(Exists(program_ + ".log"));

    setenv("DEMO_INSTALLER_RECORD", dir_.file("no such folder/runs.txt").c_str(), 1);
    EXPECT_EQ(Run(L"", "").rfind("exit ", 0), 0u);  // fails when it cannot record
    EXPECT_FALSE(Exists(dir_.file("no such folder")));
}

}  // namespace

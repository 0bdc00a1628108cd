// ShellExecuteW / ShellExecuteExW: programs run, everything else opens on the
// desktop, recorded through WIN32_SHELL_LOG.
#include "child_program.h"

#include <gtest/gtest.h>
#include <shellapi.h>

using namespace proctest;

namespace {

constexpr INT kShowNormal = 1;  // SW_SHOWNORMAL

INT_PTR code(HINSTANCE h) { return reinterpret_cast<INT_PTR>(h); }

// Sends the desktop's openings to a record file of the test's own.
class ShellLog {
public:
    ShellLog() : path_(dir_.file("shell.log")) { setenv("WIN32_SHELL_LOG", path_.c_str(), 1); }
    ~ShellLog() { unsetenv("WIN32_SHELL_LOG"); }
    std::string text() const { return read_file(path_); }

private:
    TempDir dir_;
    std::string path_;
};

std::string line(const std::string& kind, const std::wstring& win, const std::string& unix_path) {
    std::string w(win.begin(), win.end());
    return kind + "\t" + w + "\t" + unix_path + "\n";
}

}  // namespace

TEST(ShellExecute, ExplorerWithAFolderIsRecordedAsAFolderOpening) {
    ShellLog log;
    TempDir dir;
    std::wstring folder = dir.win();
    EXPECT_GT(
        code(ShellExecuteW(nullptr, nullptr, L"explorer", folder.c_str(), nullptr, kShowNormal)),
        32);
    EXPECT_EQ(line("folder", folder, dir.path()), log.text());
}

TEST(ShellExecute, ExplorerSelectOpensTheFilesFolder) {
    ShellLog log;
    TempDir dir;
    std::wstring params = L"/select," + dir.win("a.txt");
    EXPECT_GT(code(ShellExecuteW(nullptr, L"open", L"explorer.exe", params.c_str(), nullptr,
                                 kShowNormal)),
              32);
    EXPECT_EQ(line("folder", dir.win(), dir.path()), log.text());
}

TEST(ShellExecute, FolderDocumentAndAddressOpenOnTheDesktop) {
    ShellLog log;
    TempDir dir;
    write_file(dir.file("readme.txt"), "hello\n");
    std::wstring folder = dir.win(), doc = dir.win("readme.txt");
    EXPECT_GT(code(ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, kShowNormal)),
              32);
    EXPECT_GT(code(ShellExecuteW(nullptr, nullptr, doc.c_str(), nullptr, nullptr, kShowNormal)),
              32);
    EXPECT_GT(code(ShellExecuteW(nullptr, L"open", L"http://127.0.0.1/x?a=1", nullptr, nullptr,
                                 kShowNormal)),
              32);
    EXPECT_EQ(line("folder", folder, dir.path()) + line("document", doc, dir.file("readme.txt")) +
                  line("url", L"http://127.0.0.1/x?a=1", "http://127.0.0.1/x?a=1"),
              log.text());
}

TEST(ShellExecute, RelativeDocumentIsFoundInTheGivenFolder) {
    ShellLog log;
    TempDir dir;
    write_file(dir.file("notes.txt"), "n\n");
    std::wstring folder = dir.win();
    EXPECT_GT(
        code(ShellExecuteW(nullptr, nullptr, L"notes.txt", nullptr, folder.c_str(), kShowNormal)),
        32);
    EXPECT_EQ(line("document", dir.win("notes.txt"), dir.file("notes.txt")), log.text());
}

TEST(ShellExecute, ProgramRunsWithParametersFolderAndAProcessHandle) {
    ShellLog log;
    TempDir dir;
    copy_child(dir.file("tool.exe"), 0644);
    std::string out = dir.file("out.txt");
    std::wstring file = dir.win("tool.exe"), params = L"record " + widen(out), folder = dir.win();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"";
    info.lpFile = file.c_str();
    info.lpParameters = params.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = 5;  // SW_SHOW
    ASSERT_TRUE(ShellExecuteExW(&info));
    EXPECT_GT(code(info.hInstApp), 32);
    ASSERT_NE(nullptr, info.hProcess);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 5000));
    DWORD exit_code = 1;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &exit_code));
    EXPECT_EQ(0u, exit_code);
    CloseHandle(info.hProcess);

    Record r = read_record(out);
    EXPECT_EQ(dir.path(), r.cwd);
    EXPECT_EQ(in_quotes(file) + L" " + params, r.cmdline);
    EXPECT_EQ("", log.text());  // a program is no desktop opening
}

TEST(ShellExecute, RunasStartsTheProgramLikeOpen) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    std::wstring file = win_path(child_path());
    info.lpFile = file.c_str();
    info.lpParameters = L"exit 12";
    info.nShow = kShowNormal;
    ASSERT_TRUE(ShellExecuteExW(&info));
    ASSERT_NE(nullptr, info.hProcess);
    WaitForSingleObject(info.hProcess, 5000);
    DWORD exit_code = 0;
    GetExitCodeProcess(info.hProcess, &exit_code);
    EXPECT_EQ(12u, exit_code);
    CloseHandle(info.hProcess);
}

TEST(ShellExecute, MissingFileAnswersFileNotFound) {
    ShellLog log;
    TempDir dir;
    std::wstring file = dir.win("absent.txt");
    EXPECT_EQ(SE_ERR_FNF,
              code(ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, nullptr, kShowNormal)));

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(SE_ERR_FNF, code(info.hInstApp));
    EXPECT_EQ(nullptr, info.hProcess);
    EXPECT_EQ("", log.text());
}

TEST(ShellExecute, ProgramThatIsNoImageAnswersBadFormat) {
    TempDir dir;
    write_file(dir.file("fake.exe"), "MZ but not really\n");
    std::wstring file = dir.win("fake.exe");
    EXPECT_EQ(ERROR_BAD_FORMAT,
              code(ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, nullptr, kShowNormal)));
}

TEST(ShellExecute, UnknownVerbHasNoAssociation) {
    ShellLog log;
    TempDir dir;
    write_file(dir.file("doc.txt"), "d\n");
    std::wstring file = dir.win("doc.txt");
    EXPECT_EQ(SE_ERR_NOASSOC,
              code(ShellExecuteW(nullptr, L"print", file.c_str(), nullptr, nullptr, kShowNormal)));
    EXPECT_EQ("", log.text());
}

TEST(ShellExecute, WithoutARecordTheDesktopOpenerGetsTheLinuxPath) {
    unsetenv("WIN32_SHELL_LOG");
    TempDir bin, dir;
    std::string seen = bin.file("seen.txt");
    write_file(bin.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + seen + "'\n", 0755);
    std::string path = bin.path() + ":/usr/bin:/bin";
    setenv("PATH", path.c_str(), 1);
    std::wstring folder = dir.win();

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = L"explorer";
    info.lpParameters = folder.c_str();
    ASSERT_TRUE(ShellExecuteExW(&info));
    ASSERT_NE(nullptr, info.hProcess);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 5000));
    CloseHandle(info.hProcess);
    EXPECT_EQ(dir.path() + "\n", read_file(seen));
}

TEST(ShellExecute, WithoutAnOpenerTheFolderHasNoAssociation) {
    unsetenv("WIN32_SHELL_LOG");
    TempDir empty, dir;
    setenv("PATH", empty.path().c_str(), 1);
    std::wstring folder = dir.win();
    EXPECT_EQ(SE_ERR_NOASSOC, code(ShellExecuteW(nullptr, nullptr, L"explorer", folder.c_str(),
                                                 nullptr, kShowNormal)));
}

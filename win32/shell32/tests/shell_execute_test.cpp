// ShellExecuteW / ShellExecuteExW: programs run, everything else opens on the
// desktop, recorded through WIN32_SHELL_LOG.
#include "child_program.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include "testing/scoped_env.h"

using namespace proctest;
using testing_support::ScopedEnv;

namespace {

INT_PTR Open(const wchar_t* verb, const std::wstring& file, const std::wstring& params = L"",
             const std::wstring& folder = L"") {
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, file.c_str(),
                                                   params.empty() ? nullptr : params.c_str(),
                                                   folder.empty() ? nullptr : folder.c_str(), 1));
}

// Starts file with ShellExecuteExW and answers its exit code (or -1).
long Start(const wchar_t* verb, const std::wstring& file, const std::wstring& params,
           const std::wstring& folder = L"") {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = params.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = 5;  // SW_SHOW
    if (!ShellExecuteExW(&info) || !info.hProcess) return -1;
    EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
    DWORD code = 1;
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

class ShellExecute : public ::testing::Test {
protected:
    std::string Line(const std::string& kind, const std::wstring& win, const std::string& unix) {
        return kind + "\t" + std::string(win.begin(), win.end()) + "\t" + unix + "\n";
    }
    TempDir dir_, log_dir_;
    ScopedEnv log_{"WIN32_SHELL_LOG", log_dir_.file("shell.log")};
};

TEST_F(ShellExecute, FoldersDocumentsAndAddressesOpenOnTheDesktop) {
    write_file(dir_.file("readme.txt"), "hello\n");
    const std::wstring folder = dir_.win(), doc = dir_.winfile("readme.txt");
    const std::wstring url = L"http://127.0.0.1/x?a=1";
    EXPECT_GT(Open(nullptr, L"explorer", folder), 32);
    EXPECT_GT(Open(L"open", L"explorer.exe", L"/select," + doc), 32);  // the file's folder
    EXPECT_GT(Open(L"open", folder), 32);
    EXPECT_GT(Open(nullptr, doc), 32);
    EXPECT_GT(Open(nullptr, L"readme.txt", L"", folder), 32);  // found in the given folder
    EXPECT_GT(Open(L"open", url), 32);
    const std::string folder_line = Line("folder", folder, dir_.path());
    const std::string doc_line = Line("document", doc, dir_.file("readme.txt"));
    EXPECT_EQ(ReadAll(log_dir_.file("shell.log")), folder_line + folder_line + folder_line +
                                                       doc_line + doc_line +
                                                       Line("url", url, "http://127.0.0.1/x?a=1"));
}

TEST_F(ShellExecute, ProgramsRunWithTheirParametersAndFolderForOpenAndRunas) {
    copy_child(dir_.file("tool.exe"), 0644);
    const std::string out = dir_.file("out.txt");
    const std::wstring file = dir_.winfile("tool.exe"), params = L"record " + widen(out);
    EXPECT_EQ(Start(L"", file, params, dir_.win()), 0);
    Record r = read_record(out);
    EXPECT_EQ(dir_.path(), r.cwd);
    EXPECT_EQ(L"\"" + file + L"\" " + params, r.cmdline);
    EXPECT_EQ(Start(L"runas", file, L"exit 12"), 12);
    EXPECT_EQ("", ReadAll(log_dir_.file("shell.log")));  // a program is no desktop opening
}

TEST_F(ShellExecute, FailuresAnswerWindowsCodes) {
    write_file(dir_.file("fake.exe"), "MZ but not really\n");
    write_file(dir_.file("doc.txt"), "d\n");
    EXPECT_EQ(Open(nullptr, dir_.winfile("absent.txt")), SE_ERR_FNF);
    EXPECT_EQ(Open(nullptr, dir_.winfile("fake.exe")), ERROR_BAD_FORMAT);
    EXPECT_EQ(Open(L"print", dir_.winfile("doc.txt")), SE_ERR_NOASSOC);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    const std::wstring absent = dir_.winfile("absent.txt");
    info.lpFile = absent.c_str();
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(SE_ERR_FNF, reinterpret_cast<INT_PTR>(info.hInstApp));
    EXPECT_EQ(nullptr, info.hProcess);
    EXPECT_EQ("", ReadAll(log_dir_.file("shell.log")));
}

// Without a record the desktop's opener gets the Linux path; without one there is
// no association.
TEST_F(ShellExecute, TheDesktopOpenerGetsTheLinuxPath) {
    ScopedEnv no_log("WIN32_SHELL_LOG", "");
    TempDir bin;
    const std::string seen = bin.file("seen.txt");
    write_file(bin.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + seen + "'\n", 0755);
    {
        ScopedEnv path("PATH", bin.path() + ":/usr/bin:/bin");
        EXPECT_EQ(Start(nullptr, L"explorer", dir_.win()), 0);
        EXPECT_EQ(dir_.path() + "\n", ReadAll(seen));
    }
    ScopedEnv path("PATH", dir_.path());
    EXPECT_EQ(Open(nullptr, L"explorer", dir_.win()), SE_ERR_NOASSOC);
}

}  // namespace

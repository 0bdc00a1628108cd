#include "support/run_tool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <win32_unixpath.h>

#include <fstream>
#include <iterator>

#include "testing/temp_dir.h"

namespace sevenza_test {

using testing_support::TempDir;

namespace {

// Points this process's standard streams at a file while a child starts, since
// children share them.
class StreamsToFile {
public:
    explicit StreamsToFile(const std::string& path) {
        fflush(stdout);
        fflush(stderr);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        saved_out_ = ::dup(1);
        saved_err_ = ::dup(2);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StreamsToFile() {
        ::dup2(saved_out_, 1);
        ::dup2(saved_err_, 2);
        ::close(saved_out_);
        ::close(saved_err_);
    }
    StreamsToFile(const StreamsToFile&) = delete;
    StreamsToFile& operator=(const StreamsToFile&) = delete;

private:
    int saved_out_ = -1;
    int saved_err_ = -1;
};

}  // namespace

std::wstring tool_path() { return UnixPathToWin32(SEVENZA_PATH); }

ToolRun run_tool(const std::wstring& command_line, const std::wstring& working_folder) {
    TempDir scratch;
    std::string log = scratch.file("output.txt");
    ToolRun run;
    std::wstring line = command_line;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    {
        StreamsToFile redirect(log);
        run.started =
            CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           working_folder.empty() ? nullptr : working_folder.c_str(), &si,
                           &pi) != FALSE;
        if (run.started) WaitForSingleObject(pi.hProcess, INFINITE);
    }
    if (run.started) {
        GetExitCodeProcess(pi.hProcess, &run.exit_code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    std::ifstream in(log, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

std::wstring client_line(const std::wstring& archive, const std::wstring& folder) {
    return L"\"" + tool_path() + L"\" x \"" + archive + L"\" -o\"" + folder + L"\" -aoa";
}

}  // namespace sevenza_test

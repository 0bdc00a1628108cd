// The demo installer: the file the demo platform serves as the game's installer.
// It records that it ran, with its own path, its command line and its working
// folder, one line appended per run, and ends. The line goes to the file that
// DEMO_INSTALLER_RECORD names (a Linux or a Windows path), else to "<its own
// file>.log" beside itself:
//   <process id> TAB <program path> TAB <command line> TAB <working folder> LF
// with the paths as the layer gives them (drive paths) and any tab or line break
// inside a value turned into a blank.
#include <windows.h>
#include <win32_unixpath.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                            size, nullptr, nullptr);
    }
    return out;
}

std::string field(const std::wstring& value) {
    std::string text = utf8(value);
    for (auto& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

std::wstring own_path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return L"";
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring working_folder() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return L"";
    std::wstring folder(size, L'\0');
    DWORD n = GetCurrentDirectoryW(size, folder.data());
    folder.resize(n < size ? n : 0);
    return folder;
}

std::string record_file(const std::wstring& program) {
    const char* given = std::getenv("DEMO_INSTALLER_RECORD");
    if (given && *given) return given[0] == '/' ? std::string(given) : Win32PathToUnixA(given);
    std::string path = Win32PathToUnix(program.c_str());
    return path.empty() ? "" : path + ".log";
}

}  // namespace

int main() {
    std::wstring program = own_path();
    std::string line = std::to_string(GetCurrentProcessId()) + "\t" + field(program) + "\t" +
                       field(GetCommandLineW()) + "\t" + field(working_folder()) + "\n";
    std::string file = record_file(program);
    int fd =
        file.empty() ? -1 : ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    // One write per line keeps concurrent runs' lines whole.
    if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        std::fprintf(stderr, "demo installer: cannot record the run in %s: %s\n", file.c_str(),
                     std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return 1;
    }
    ::close(fd);
    std::printf("Demo installer ran; recorded in %s\n", file.c_str());
    // A real installer stays while a person goes through it.
    if (const char* stay = std::getenv("DEMO_INSTALLER_STAY_MS"))
        Sleep(std::strtoul(stay, nullptr, 10));
    return 0;
}

// GetCommandLineW. A parent on the layer hands its child the exact command line in
// WIN32_CMDLINE; the child takes it when it splits into the child's own arguments
// (so a stale value passed on by a program outside the layer is never believed),
// and removes it so that its own children do not inherit it. Without it, the
// command line is built back from the arguments with Windows quoting.
#include <windows.h>
#include <w32/cmdline.h>
#include <w32/path.h>
#include <w32/text.h>

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> read_own_arguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\0', pos);
        if (end == std::string::npos) end = raw.size();
        args.push_back(raw.substr(pos, end - pos));
        pos = end + 1;
    }
    return args;
}

bool matches_arguments(const std::wstring& line, const std::vector<std::string>& argv) {
    auto split = w32::split_command_line(line);
    if (split.size() != argv.size() || argv.empty()) return false;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (split[i] != w32::from_utf8(argv[i])) return false;
    }
    return true;
}

std::wstring build_from_arguments(const std::vector<std::string>& argv) {
    std::wstring line;
    for (size_t i = 0; i < argv.size(); ++i) {
        if (i == 0) {
            std::wstring name = argv[0].find('/') != std::string::npos ? w32::to_windows(argv[0])
                                                                       : w32::from_utf8(argv[0]);
            if (name.empty()) name = w32::from_utf8(argv[0]);
            line += w32::quote_program_name(name);
        } else {
            line += L' ';
            line += w32::quote_argument(w32::from_utf8(argv[i]));
        }
    }
    return line;
}

std::wstring& command_line() {
    static auto* line = new std::wstring;
    return *line;
}

std::once_flag g_once;

void capture_command_line() {
    std::call_once(g_once, [] {
        auto argv = read_own_arguments();
        const char* given = getenv("WIN32_CMDLINE");
        std::wstring line;
        if (given) {
            std::wstring candidate = w32::from_utf8(given);
            if (matches_arguments(candidate, argv)) line = std::move(candidate);
            unsetenv("WIN32_CMDLINE");
        }
        if (line.empty()) line = build_from_arguments(argv);
        command_line() = std::move(line);
    });
}

// Runs before main, while the process has one thread, so unsetenv is safe.
__attribute__((constructor)) void capture_at_start() { capture_command_line(); }

}  // namespace

LPWSTR WINAPI GetCommandLineW(void) {
    capture_command_line();
    return command_line().data();
}

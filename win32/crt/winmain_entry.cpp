// main() for a program written with a wWinMain entry: hands wWinMain the command
// line after the program's own name, as Windows does, and ends the program with its
// desktop session, as Windows ends its programs.
#include <windows.h>

#include <w32/session.h>

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdline, int show);

namespace {

LPWSTR SkipProgramName(LPWSTR p) {
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

int main() {
    w32::session::follow();
    LPWSTR cmdline = GetCommandLineW();
    return wWinMain(GetModuleHandleW(nullptr), nullptr, SkipProgramName(cmdline), 1 /* SW_SHOWNORMAL */);
}

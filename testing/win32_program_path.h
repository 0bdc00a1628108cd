// The running test program's drive path, and the files beside it.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

inline std::wstring ProgramPath() {
    wchar_t path[4096];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, 4096));
}

inline std::wstring Beside(const wchar_t* name) {
    const std::wstring p = ProgramPath();
    return p.substr(0, p.rfind(L'\\') + 1) + name;
}

}  // namespace testing_support

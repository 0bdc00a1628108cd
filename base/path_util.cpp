#include "base/path_util.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "base/string_util.h"

namespace base {

namespace {

// GetModuleFileNameW cuts the path to the buffer and then answers the buffer's
// size, so the buffer grows until the answer is shorter.
std::wstring ModulePath() {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) return {};
        if (length < size) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring GetExePath() { return ModulePath(); }

std::wstring GetExeDir() {
    const std::wstring path = ModulePath();
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

std::wstring GetRootPath(const std::wstring& path) {
    const size_t slash = path.find(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring GetParentDir(const std::wstring& path) {
    if (path.empty()) return {};
    std::vector<wchar_t> buffer(path.begin(), path.end());
    buffer.push_back(L'\0');
    if (IsSeparator(path.back())) PathRemoveFileSpecW(buffer.data());
    PathRemoveFileSpecW(buffer.data());
    return buffer.data();
}

std::wstring GetFolderOfPath(const std::wstring& path) {
    if (PathIsDirectoryW(path.c_str())) return path;
    const size_t slash = path.rfind(L'\\');
    return NormalizeSlashes(slash == std::wstring::npos ? path : path.substr(0, slash));
}

std::wstring NormalizeSlashes(const std::wstring& path) {
    std::wstring out(path);
    ReplaceAll(out, L"\\\\", L"\\");
    ReplaceAll(out, L"/", L"\\");
    return out;
}

std::wstring GetLastFolderName(const std::wstring& path) {
    if (path.size() < 3 || !IsSeparator(path.back())) return {};
    const size_t last = path.size() - 1;
    const size_t before = path.find_last_of(L"\\/", last - 1);
    if (before == std::wstring::npos) return {};
    return path.substr(before + 1, last - before - 1);
}

bool AddBackslash(std::wstring& path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return true;
}

bool IsSamePath(const std::wstring& a, const std::wstring& b) {
    if (!EqualNoCase(GetFileNameOf(a), GetFileNameOf(b))) return false;
    if (!EqualNoCase(GetRootPath(a), GetRootPath(b))) return false;
    std::wstring folder_a = GetFolderOfPath(a), folder_b = GetFolderOfPath(b);
    for (;;) {
        const std::wstring name_a = GetFileNameOf(folder_a);
        if (!EqualNoCase(name_a, GetFileNameOf(folder_b))) return false;
        if (name_a.empty()) return true;
        std::wstring parent_a = GetParentDir(folder_a), parent_b = GetParentDir(folder_b);
        // A drive-relative name ("C:x") has a parent that is its own last name.
        if (parent_a == folder_a && parent_b == folder_b) return true;
        folder_a.swap(parent_a);
        folder_b.swap(parent_b);
    }
}

}  // namespace base

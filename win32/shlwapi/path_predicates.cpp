// Questions about paths: existence, folders, roots, shares, network drives, wildcards.
#include <windows.h>
#include <shlwapi.h>

#include <w32/path.h>
#include <w32/wildcard.h>

#include <string_view>

namespace {

bool is_unc(std::wstring_view p) { return p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\'; }

}  // namespace

BOOL WINAPI PathFileExistsW(LPCWSTR path) {
    if (!path) return FALSE;
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

BOOL WINAPI PathIsDirectoryW(LPCWSTR path) {
    if (!path) return FALSE;
    DWORD attrs = GetFileAttributesW(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) return FALSE;
    return (attrs & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

// "\", "X:\", "\\server" and "\\server\share" are roots; nothing with '/' is.
BOOL WINAPI PathIsRootW(LPCWSTR path) {
    if (!path) return FALSE;
    std::wstring_view p(path);
    if (p == L"\\") return TRUE;
    if (p.size() == 3 && p[1] == L':' && p[2] == L'\\') return TRUE;
    if (!is_unc(p)) return FALSE;
    std::wstring_view rest = p.substr(2);
    size_t sep = rest.find(L'\\');
    if (sep == std::wstring_view::npos) return TRUE;
    return sep > 0 && sep + 1 < rest.size() && rest.find(L'\\', sep + 1) == std::wstring_view::npos;
}

BOOL WINAPI PathIsUNCW(LPCWSTR path) {
    if (!path) return FALSE;
    std::wstring_view p(path);
    if (!is_unc(p)) return FALSE;
    // "\\?\C:\x" is a long drive path; "\\?\UNC\server\share" a share.
    if (p.size() >= 4 && p[2] == L'?' && p[3] == L'\\') return p.substr(4, 4) == L"UNC\\";
    return TRUE;
}

BOOL WINAPI PathIsNetworkPathW(LPCWSTR path) {
    if (!path) return FALSE;
    if (PathIsUNCW(path)) return TRUE;
    std::wstring_view p(path);
    if (p.size() < 2 || p[1] != L':') return FALSE;
    w32::Drive d;
    return w32::find_drive(p[0], &d) && d.type == DRIVE_REMOTE;
}

BOOL WINAPI PathMatchSpecW(LPCWSTR file, LPCWSTR spec) {
    if (!file || !spec) return FALSE;
    std::wstring_view specs(spec);
    while (!specs.empty()) {
        size_t end = specs.find(L';');
        std::wstring_view one = specs.substr(0, end);
        while (!one.empty() && one.front() == L' ') one.remove_prefix(1);
        if (!one.empty() && w32::wildcard_match(one, file)) return TRUE;
        if (end == std::wstring_view::npos) break;
        specs.remove_prefix(end + 1);
    }
    return FALSE;
}

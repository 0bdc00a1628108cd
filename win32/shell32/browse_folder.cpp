// The folder picker, headless: it answers at once with WIN32_FOLDER_ANSWER (a Windows
// path; unset or empty is Cancel) and records what it asked. The id list it answers
// holds one item carrying the path, so SHGetPathFromIDListW gives it back.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "w32/dialog_log.h"
#include "w32/text.h"

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// Marks an item as one of ours: a path the picker chose.
constexpr char kPathItemTag[4] = {'W', '3', '2', 'P'};
constexpr size_t kHeader = sizeof(USHORT) + sizeof kPathItemTag;

std::wstring configured_folder() {
    const char* v = getenv("WIN32_FOLDER_ANSWER");
    return v ? w32::from_utf8(v) : std::wstring();
}

// The last component, which the picker shows as the item's name ("C:\" for a root).
std::wstring display_name(const std::wstring& path) {
    size_t end = path.find_last_not_of(L"\\/");
    if (end == std::wstring::npos) return path;
    const size_t slash = path.find_last_of(L"\\/", end);
    const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring name = path.substr(start, end - start + 1);
    return name.size() == 2 && name[1] == L':' ? name + L'\\' : name;
}

PIDLIST_ABSOLUTE make_path_list(const std::wstring& path) {
    const size_t item = kHeader + (path.size() + 1) * sizeof(wchar_t);
    if (item > 0xFFFF) return nullptr;
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(item + sizeof(USHORT)));
    if (!bytes) return nullptr;
    const USHORT cb = static_cast<USHORT>(item);
    const USHORT end = 0;
    memcpy(bytes, &cb, sizeof cb);
    memcpy(bytes + sizeof cb, kPathItemTag, sizeof kPathItemTag);
    memcpy(bytes + kHeader, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    memcpy(bytes + item, &end, sizeof end);
    return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

}  // namespace

PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderW(LPBROWSEINFOW bi) {
    if (!bi) return nullptr;
    const std::wstring folder = configured_folder();
    const std::wstring title = bi->lpszTitle ? bi->lpszTitle : L"";
    w32::log_dialog("folder", L"", title, bi->ulFlags, w32::to_utf8(folder));
    if (folder.empty()) return nullptr;

    PIDLIST_ABSOLUTE list = make_path_list(folder);
    if (list && bi->pszDisplayName) {
        std::wstring name = display_name(folder);
        if (name.size() >= MAX_PATH) name.resize(MAX_PATH - 1);
        wcscpy(bi->pszDisplayName, name.c_str());
    }
    return list;
}

BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR path) {
    if (!pidl || !path) return FALSE;
    path[0] = L'\0';
    const auto* bytes = reinterpret_cast<const BYTE*>(pidl);
    USHORT cb = 0;
    memcpy(&cb, bytes, sizeof cb);
    // Only a list the picker made names a folder; anything else has no file system path.
    if (cb <= kHeader || memcmp(bytes + sizeof cb, kPathItemTag, sizeof kPathItemTag) != 0)
        return FALSE;
    std::wstring text((cb - kHeader) / sizeof(wchar_t), L'\0');
    memcpy(text.data(), bytes + kHeader, text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    if (text.empty() || text.size() >= MAX_PATH) return FALSE;
    wcscpy(path, text.c_str());
    return TRUE;
}

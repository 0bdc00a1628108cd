// SHCreateDirectory(Ex)W: a full path created with every missing parent. Answers
// 0, ERROR_ALREADY_EXISTS (a folder is there), ERROR_FILE_EXISTS (a file is there),
// ERROR_BAD_PATHNAME (not a full path) or the error that stopped it.
#include <windows.h>
#include <shlobj.h>

#include <w32/error.h>
#include <w32/path.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

namespace {

int answer(DWORD code) {
    SetLastError(code);
    return static_cast<int>(code);
}

bool full_path(const wchar_t* p) {
    bool drive = p[0] && p[1] == L':' && (p[2] == L'\\' || p[2] == L'/');
    bool share = (p[0] == L'\\' || p[0] == L'/') && (p[1] == L'\\' || p[1] == L'/');
    return drive || share;
}

}  // namespace

int WINAPI SHCreateDirectoryExW(HWND, LPCWSTR path, const SECURITY_ATTRIBUTES*) {
    if (!path || !*path || !full_path(path)) return answer(ERROR_BAD_PATHNAME);
    std::string dir = w32::to_unix(path);
    if (dir.empty()) return answer(path[1] == L':' ? ERROR_PATH_NOT_FOUND : ERROR_BAD_NETPATH);
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return answer(S_ISDIR(st.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS);
    if (w32::write_protected(dir)) return answer(ERROR_ACCESS_DENIED);
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos < dir.size() && dir[pos] != '/') continue;
        std::string prefix = dir.substr(0, pos);
        if (mkdir(prefix.c_str(), 0777) == 0) continue;
        if (errno != EEXIST)
            return answer(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : w32::errno_to_win(errno));
        if (stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return answer(ERROR_PATH_NOT_FOUND);
    }
    return answer(ERROR_SUCCESS);
}

int WINAPI SHCreateDirectory(HWND owner, LPCWSTR path) {
    return SHCreateDirectoryExW(owner, path, nullptr);
}

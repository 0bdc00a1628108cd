// SHGetSpecialFolderPathW: the user's folders in their XDG places, as drive paths.
//   CSIDL_APPDATA        $XDG_DATA_HOME   (default ~/.local/share)
//   CSIDL_LOCAL_APPDATA  $XDG_STATE_HOME  (default ~/.local/state): kept on this machine
//   CSIDL_COMMON_APPDATA the first of $XDG_DATA_DIRS (default /usr/local/share)
//   CSIDL_PROFILE ~, CSIDL_PERSONAL ~/Documents, CSIDL_DESKTOP(DIRECTORY) ~/Desktop
#include <windows.h>
#include <shlobj.h>

#include <w32/path.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

namespace {

std::string home() {
    const char* h = getenv("HOME");
    return h && *h ? h : "/root";
}

std::string xdg(const char* var, const char* fallback_under_home) {
    const char* v = getenv(var);
    if (v && v[0] == '/') return v;
    return home() + fallback_under_home;
}

std::string common_data() {
    const char* v = getenv("XDG_DATA_DIRS");
    std::string dirs = v && *v ? v : "";
    std::string first = dirs.substr(0, dirs.find(':'));
    return !first.empty() && first[0] == '/' ? first : "/usr/local/share";
}

std::string folder_of(int csidl) {
    switch (csidl) {
        case CSIDL_APPDATA:
            return xdg("XDG_DATA_HOME", "/.local/share");
        case CSIDL_LOCAL_APPDATA:
            return xdg("XDG_STATE_HOME", "/.local/state");
        case CSIDL_COMMON_APPDATA:
            return common_data();
        case CSIDL_PROFILE:
            return home();
        case CSIDL_PERSONAL:
            return home() + "/Documents";
        case CSIDL_DESKTOP:
        case CSIDL_DESKTOPDIRECTORY:
            return home() + "/Desktop";
        default:
            return {};
    }
}

bool make_folders(const std::string& path, mode_t mode) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

BOOL WINAPI SHGetSpecialFolderPathW(HWND, LPWSTR path, int csidl, BOOL create) {
    if (!path) return FALSE;
    path[0] = L'\0';
    if (csidl & CSIDL_FLAG_CREATE) create = TRUE;
    const int id = csidl & ~CSIDL_FLAG_MASK;
    std::string folder = folder_of(id);
    if (folder.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (create && !make_folders(folder, id == CSIDL_COMMON_APPDATA ? 0755 : 0700)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::wstring w = w32::to_windows(folder);
    if (w.empty() || w.size() >= MAX_PATH) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    w.copy(path, w.size());
    path[w.size()] = L'\0';
    return TRUE;
}

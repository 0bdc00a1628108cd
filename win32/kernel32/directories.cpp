// Folders: creating and removing them, the current folder and the temporary folder.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/path.h>
#include <w32/wide_result.h>

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

namespace w32 {
namespace {

std::string current_folder() {
    std::string buf(4096, '\0');
    while (!getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    buf.resize(buf.find('\0'));
    return buf;
}

// Creates one folder level with the given mode; true when it is there afterwards.
bool ensure_folder(const std::string& path, mode_t mode) {
    if (mkdir(path.c_str(), mode) == 0) return true;
    struct stat st;
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// $XDG_CACHE_HOME/win32/temp (default ~/.cache): private to the user, mode 0700,
// and, unlike a shared /tmp, a place where unpacked programs may run.
std::string private_temp_folder() {
    std::string base;
    if (const char* cache = getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = getenv("HOME");
        base = std::string(home && *home ? home : "/root") + "/.cache";
    }
    std::string dir = base + "/win32/temp";
    ensure_folder(base, 0700);
    ensure_folder(base + "/win32", 0700);
    if (!ensure_folder(dir, 0700)) return {};
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return {};
    if ((st.st_mode & 0077) != 0) chmod(dir.c_str(), 0700);
    return dir;
}

}  // namespace
}  // namespace w32

using namespace w32;

BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    std::string dir;
    if (!unix_path_of(path, &dir)) return FALSE;
    struct stat st;
    if (lstat(dir.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
    if (write_protected(dir)) return fail(ERROR_ACCESS_DENIED);
    if (mkdir(dir.c_str(), 0777) == 0) return TRUE;
    if (errno == EEXIST) return fail(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT || errno == ENOTDIR) return fail(ERROR_PATH_NOT_FOUND);
    return fail_errno();
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR path) {
    std::string dir;
    if (!unix_path_of(path, &dir)) return FALSE;
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) {
        return fail(errno == ENOENT ? missing_error(dir) : errno_to_win(errno));
    }
    if (write_protected(dir)) return fail(ERROR_ACCESS_DENIED);
    // A link to a folder goes as the link; what it points at stays.
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (stat(dir.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
            return fail(ERROR_DIRECTORY);
        if (unlink(dir.c_str()) != 0) return fail_errno();
        return TRUE;
    }
    if (!S_ISDIR(st.st_mode)) return fail(ERROR_DIRECTORY);
    if (is_drive_root(dir) || mode_read_only(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    // The process holds its current folder open on Windows, so that one stays.
    struct stat cwd;
    if (stat(".", &cwd) == 0 && cwd.st_dev == st.st_dev && cwd.st_ino == st.st_ino)
        return fail(ERROR_SHARING_VIOLATION);
    if (!deletable_by_shares(dir, st)) return fail(ERROR_SHARING_VIOLATION);
    if (rmdir(dir.c_str()) == 0) return TRUE;
    if (errno == ENOTEMPTY || errno == EEXIST) return fail(ERROR_DIR_NOT_EMPTY);
    if (errno == EBUSY) return fail(ERROR_ACCESS_DENIED);
    return fail_errno();
}

DWORD WINAPI GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    std::string cwd = current_folder();
    std::wstring w = cwd.empty() ? std::wstring() : to_windows(cwd);
    if (w.empty()) {
        SetLastError(cwd.empty() ? errno_to_win(errno) : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return copy_wide_result(w, size, buffer);
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR path) {
    std::string dir;
    if (!unix_path_of(path, &dir)) return FALSE;
    if (chdir(dir.c_str()) == 0) return TRUE;
    int err = errno;
    if (err == ENOENT) return fail(missing_error(dir));
    if (err == ENOTDIR) {
        struct stat st;
        return fail(stat(dir.c_str(), &st) == 0 ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
    }
    return fail_errno(err);
}

DWORD WINAPI GetTempPathW(DWORD size, LPWSTR buffer) {
    std::wstring w;
    if (const char* tmp = getenv("TMPDIR"); tmp && *tmp) w = to_windows(tmp);
    if (w.empty()) {
        std::string dir = private_temp_folder();
        if (!dir.empty()) w = to_windows(dir);
    }
    if (w.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (w.back() != L'\\') w += L'\\';
    return copy_wide_result(w, size, buffer);
}

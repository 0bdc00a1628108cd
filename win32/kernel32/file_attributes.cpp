// File attributes by name: folder, link, read-only (no write bit at all), normal.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/filetime.h>
#include <w32/path.h>

#include <errno.h>

namespace w32 {
namespace {

bool lstat_path(LPCWSTR name, std::string* path, struct stat* st) {
    if (!unix_path_of(name, path)) return false;
    if (lstat(path->c_str(), st) == 0) {
        // A trailing separator names a folder, never a file.
        const size_t n = wcslen(name);
        struct stat target;
        if (n && (name[n - 1] == L'\\' || name[n - 1] == L'/') &&
            !(stat(path->c_str(), &target) == 0 && S_ISDIR(target.st_mode))) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        return true;
    }
    SetLastError(errno == ENOENT ? missing_error(*path) : errno_to_win(errno));
    return false;
}

}  // namespace
}  // namespace w32

using namespace w32;

DWORD WINAPI GetFileAttributesW(LPCWSTR name) {
    std::string path;
    struct stat st;
    if (!lstat_path(name, &path, &st)) return INVALID_FILE_ATTRIBUTES;
    return attributes_from(AT_FDCWD, path.c_str(), st);
}

BOOL WINAPI GetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
    if (level != GetFileExInfoStandard || !info) return fail(ERROR_INVALID_PARAMETER);
    std::string path;
    struct stat st;
    if (!lstat_path(name, &path, &st)) return FALSE;
    auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info);
    data->dwFileAttributes = attributes_from(AT_FDCWD, path.c_str(), st);
    data->ftCreationTime = creation_filetime(AT_FDCWD, path.c_str(), 0, st);
    data->ftLastAccessTime = timespec_to_filetime(st.st_atim);
    data->ftLastWriteTime = timespec_to_filetime(st.st_mtim);
    uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    return TRUE;
}

BOOL WINAPI SetFileAttributesW(LPCWSTR name, DWORD attributes) {
    std::string path;
    struct stat st;
    if (!lstat_path(name, &path, &st)) return FALSE;
    if (write_protected(path)) return fail(ERROR_ACCESS_DENIED);
    // Only read-only maps to Linux; a link has no mode of its own to change.
    if (S_ISLNK(st.st_mode)) return TRUE;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        wanted = mode & ~static_cast<mode_t>(0222);
    } else if (mode_read_only(mode)) {
        wanted = mode | S_IWUSR;
    }
    if (wanted != mode && chmod(path.c_str(), wanted) != 0) return fail_errno();
    return TRUE;
}

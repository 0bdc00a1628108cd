// The drive table as Windows shows it: letters, root strings, types and free space.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/path.h>
#include <w32/wide_result.h>

#include <errno.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cwctype>

using namespace w32;

DWORD WINAPI GetLogicalDrives(void) {
    DWORD mask = 0;
    for (auto& d : drives()) mask |= 1u << (d.letter - L'A');
    SetLastError(ERROR_SUCCESS);
    return mask;
}

DWORD WINAPI GetLogicalDriveStringsW(DWORD size, LPWSTR buffer) {
    std::wstring list;
    for (auto& d : drives()) {
        list += d.letter;
        list += L":\\";
        list += L'\0';
    }
    // The list ends with a second terminator; the answer counts neither of them last.
    if (!buffer || size <= list.size()) return static_cast<DWORD>(list.size() + 1);
    list.copy(buffer, list.size());
    buffer[list.size()] = L'\0';
    return static_cast<DWORD>(list.size());
}

UINT WINAPI GetDriveTypeW(LPCWSTR root) {
    wchar_t letter;
    if (!root || !*root) {
        wchar_t cwd[4096];
        if (!GetCurrentDirectoryW(4096, cwd) || cwd[1] != L':') return DRIVE_NO_ROOT_DIR;
        letter = cwd[0];
    } else {
        // Only a root names a drive here: "C:\", "C:/" or "C:".
        std::wstring_view r(root);
        if (r.size() < 2 || r[1] != L':' || !iswalpha(r[0])) return DRIVE_NO_ROOT_DIR;
        if (r.size() > 3 || (r.size() == 3 && r[2] != L'\\' && r[2] != L'/'))
            return DRIVE_NO_ROOT_DIR;
        letter = r[0];
    }
    Drive d;
    if (!find_drive(letter, &d)) return DRIVE_NO_ROOT_DIR;
    struct stat st;
    if (stat(d.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DRIVE_NO_ROOT_DIR;
    return d.type;
}

BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER free_to_caller,
                                PULARGE_INTEGER total, PULARGE_INTEGER total_free) {
    std::string dir = ".";
    if (directory && *directory && !unix_path_of(directory, &dir)) return FALSE;
    struct statvfs vfs;
    if (statvfs(dir.c_str(), &vfs) != 0) {
        return fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : errno_to_win(errno));
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return fail(ERROR_DIRECTORY);
    const uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    // A write-protected drive has nothing free for the caller to write.
    const bool ro = write_protected(dir);
    uint64_t avail = unit * vfs.f_bavail;
    uint64_t bfree = unit * vfs.f_bfree;
    Drive d;
    if (drive_of(dir, &d) && d.free_bytes >= 0) avail = bfree = static_cast<uint64_t>(d.free_bytes);
    if (free_to_caller) free_to_caller->QuadPart = ro ? 0 : avail;
    if (total) total->QuadPart = std::max<uint64_t>(unit * vfs.f_blocks, bfree);
    if (total_free) total_free->QuadPart = bfree;
    return TRUE;
}

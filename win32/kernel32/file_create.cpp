// CreateFileW: files with Windows' access, share modes and creation dispositions;
// "\\.\" names go to the device table.
#include <w32/device.h>
#include <w32/error.h>
#include <w32/file.h>
#include <w32/path.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace w32 {
namespace {

HANDLE fail_handle(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

bool is_device_name(std::wstring_view w) {
    return w.size() > 4 && w[0] == L'\\' && w[1] == L'\\' && w[2] == L'.' && w[3] == L'\\';
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_unc(std::wstring_view w) {
    return w.size() >= 2 && (w[0] == L'\\' || w[0] == L'/') && (w[1] == L'\\' || w[1] == L'/');
}

std::string absolute(const std::string& p) {
    if (!p.empty() && p[0] == '/') return p;
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return p;
    return std::string(buf) + "/" + p;
}

// A directory is opened only with backup semantics, as on Windows.
HANDLE open_directory(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    if (disposition == CREATE_NEW) return fail_handle(ERROR_FILE_EXISTS);
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || disposition == CREATE_ALWAYS ||
        disposition == TRUNCATE_EXISTING)
        return fail_handle(ERROR_ACCESS_DENIED);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fail_handle(errno_to_win(errno));
    struct stat st;
    fstat(fd, &st);
    ShareRights rights = rights_of_access(access);
    rights.write = false;  // a folder's data is its entries, which the handle does not write
    ShareEntry entry;
    if (!entry.acquire(st.st_dev, st.st_ino, rights, rights_of_share(share))) {
        ::close(fd);
        return fail_handle(ERROR_SHARING_VIOLATION);
    }
    HANDLE h = new_handle(std::make_shared<FileObject>(fd, access, std::move(entry)));
    if (!h) return INVALID_HANDLE_VALUE;
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD flags, HANDLE) {
    if (!name || !*name) return fail_handle(ERROR_PATH_NOT_FOUND);
    std::wstring_view w(name);
    if (is_device_name(w)) {
        auto obj = open_device(w.substr(4), access);
        if (!obj) return INVALID_HANDLE_VALUE;
        HANDLE h = new_handle(std::move(obj));
        return h ? h : INVALID_HANDLE_VALUE;
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return fail_handle(ERROR_INVALID_PARAMETER);

    std::string path = to_unix(w);
    if (path.empty()) return fail_handle(is_unc(w) ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND);

    const ShareRights want = rights_of_access(access);
    if (disposition == TRUNCATE_EXISTING && !want.write)
        return fail_handle(ERROR_INVALID_PARAMETER);
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;

    struct stat st;
    const bool exists = ::stat(path.c_str(), &st) == 0;
    const int stat_errno = errno;
    if (exists && S_ISDIR(st.st_mode))
        return open_directory(path, access, share, disposition, flags);
    // A trailing separator names a folder: never a file, existing or new.
    if (is_separator(w.back()) && (exists || disposition != OPEN_EXISTING))
        return fail_handle(ERROR_INVALID_NAME);
    if (exists) {
        if (disposition == CREATE_NEW) return fail_handle(ERROR_FILE_EXISTS);
        if ((want.write || truncates) && (mode_read_only(st.st_mode) || write_protected(path)))
            return fail_handle(ERROR_ACCESS_DENIED);
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            return fail_handle(stat_errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : missing_error(path));
        if (write_protected(path)) return fail_handle(ERROR_ACCESS_DENIED);
    }

    int oflags = O_CLOEXEC;
    if (want.read && want.write) {
        oflags |= O_RDWR;
    } else if (want.write) {
        oflags |= O_WRONLY;
    } else {
        oflags |= O_RDONLY;
    }
    // Append-only access writes at the end whatever the file pointer says.
    if ((access & FILE_APPEND_DATA) &&
        !(access & (FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED)))
        oflags |= O_APPEND;
    if (flags & FILE_FLAG_WRITE_THROUGH) oflags |= O_DSYNC;
    if (!exists) oflags |= O_CREAT;
    if (disposition == CREATE_NEW) oflags |= O_EXCL;
    const mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int fd = ::open(path.c_str(), oflags, mode);
    // A handle that asks for no data access (attributes, size) needs no read permission.
    if (fd < 0 && errno == EACCES && exists && !want.read && !want.write)
        fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        if (err == EEXIST) return fail_handle(ERROR_FILE_EXISTS);
        if (err == ENOENT) return fail_handle(missing_error(path));
        if (err == EISDIR) return fail_handle(ERROR_ACCESS_DENIED);
        return fail_handle(errno_to_win(err));
    }

    struct stat opened;
    fstat(fd, &opened);
    // Delete-on-close counts as delete access: later opens must share delete.
    ShareRights claimed = want;
    if (flags & FILE_FLAG_DELETE_ON_CLOSE) claimed.del = true;
    ShareEntry entry;
    if (!entry.acquire(opened.st_dev, opened.st_ino, claimed, rights_of_share(share), fd)) {
        ::close(fd);
        return fail_handle(ERROR_SHARING_VIOLATION);
    }
    // Truncation waits for the share check, so a refused open changes nothing.
    if (exists && truncates && ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        return fail_handle(errno_to_win(err));
    }

    auto file = std::make_shared<FileObject>(fd, access, std::move(entry));
    if (flags & FILE_FLAG_DELETE_ON_CLOSE) file->set_delete_on_close(absolute(path));
    HANDLE h = new_handle(std::move(file));
    if (!h) return INVALID_HANDLE_VALUE;
    const bool reports_existing = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    SetLastError(exists && reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

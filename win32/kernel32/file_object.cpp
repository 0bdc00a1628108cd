#include <w32/file.h>
#include <w32/filetime.h>
#include <w32/path.h>

#include <errno.h>
#include <unistd.h>

namespace w32 {

FileObject::FileObject(int fd, DWORD access, ShareEntry share)
    : fd_(fd), access_(access), share_(std::move(share)) {}

// The descriptor stays open while a call in flight on another thread still holds the
// object; the share entry and delete-on-close follow the last handle at once.
FileObject::~FileObject() {
    last_handle_closed();
    if (fd_ >= 0) ::close(fd_);
}

void FileObject::last_handle_closed() {
    share_.release();
    if (!delete_on_close_.empty()) {
        ::unlink(delete_on_close_.c_str());
        delete_on_close_.clear();
    }
}

int file_fd(HANDLE h) {
    auto file = get_as<FileObject>(h);
    if (!file || file->fd() < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return file->fd();
}

bool unix_path_of(const wchar_t* path, std::string* out) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    *out = to_unix(path);
    if (!out->empty()) return true;
    bool share = (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
    SetLastError(share ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND);
    return false;
}

bool copy_contents(int from, int to) {
    for (;;) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        break;
    }
    // Plain copying for file systems that cannot copy ranges.
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(from, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t off = 0; off < n;) {
            ssize_t m = ::write(to, buf + off, static_cast<size_t>(n - off));
            if (m < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            off += m;
        }
    }
}

DWORD attributes_from(int dirfd, const char* path, const struct stat& lst) {
    if (S_ISLNK(lst.st_mode)) {
        struct stat target;
        DWORD attrs = FILE_ATTRIBUTE_REPARSE_POINT;
        if (fstatat(dirfd, path, &target, 0) == 0 && S_ISDIR(target.st_mode))
            attrs |= FILE_ATTRIBUTE_DIRECTORY;
        return attrs;
    }
    DWORD attrs = S_ISDIR(lst.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (mode_read_only(lst.st_mode)) attrs |= FILE_ATTRIBUTE_READONLY;
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

FILETIME creation_filetime(int dirfd, const char* path, int flags, const struct stat& st) {
    struct statx sx;
    if (statx(dirfd, path, flags | AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME)) {
        struct timespec ts = {static_cast<time_t>(sx.stx_btime.tv_sec),
                              static_cast<long>(sx.stx_btime.tv_nsec)};
        return timespec_to_filetime(ts);
    }
    return timespec_to_filetime(st.st_ctim.tv_sec < st.st_mtim.tv_sec ? st.st_ctim : st.st_mtim);
}

DWORD missing_error(const std::string& unix_path) {
    std::string p = unix_path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    auto slash = p.rfind('/');
    std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    struct stat st;
    if (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

}  // namespace w32

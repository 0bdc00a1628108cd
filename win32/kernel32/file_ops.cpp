// Deleting, renaming and copying files by name.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/path.h>
#include <w32/wildcard.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace w32 {
namespace {

bool fail_missing(const std::string& path, int err) {
    return fail(err == ENOENT ? missing_error(path) : errno_to_win(err));
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Copies a regular file with its permission bits and times (used across devices).
bool copy_file(const std::string& from, const std::string& to, bool exclusive) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail_missing(from, errno);
    struct stat st;
    fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : 0),
                     st.st_mode & 0777);
    if (out < 0) {
        int err = errno;
        ::close(in);
        return fail(err == EEXIST   ? ERROR_FILE_EXISTS
                    : err == ENOENT ? missing_error(to)
                                    : errno_to_win(err));
    }
    bool ok = ftruncate(out, 0) == 0 && copy_contents(in, out);
    int err = errno;
    if (ok) {
        fchmod(out, st.st_mode & 07777);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
    }
    ::close(in);
    ::close(out);
    if (!ok) {
        ::unlink(to.c_str());  // no half-copied file stays behind
        return fail_errno(err);
    }
    return true;
}

}  // namespace
}  // namespace w32

using namespace w32;

BOOL WINAPI DeleteFileW(LPCWSTR name) {
    std::string path;
    if (!unix_path_of(name, &path)) return FALSE;
    struct stat st;
    // Wildcards are no file name on Windows: in an existing folder the name itself
    // is refused.
    const std::wstring_view given(name);
    const size_t sep = given.find_last_of(L"\\/:");
    if (has_wildcards(sep == std::wstring_view::npos ? given : given.substr(sep + 1))) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        return fail(stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_INVALID_NAME
                                                                          : ERROR_PATH_NOT_FOUND);
    }
    if (lstat(path.c_str(), &st) != 0) return fail_missing(path, errno);
    if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    if ((!S_ISLNK(st.st_mode) && mode_read_only(st.st_mode)) || write_protected(path))
        return fail(ERROR_ACCESS_DENIED);
    if (!deletable_by_shares(path, st)) return fail(ERROR_SHARING_VIOLATION);
    if (::unlink(path.c_str()) != 0) return fail_missing(path, errno);
    return TRUE;
}

BOOL WINAPI MoveFileExW(LPCWSTR existing, LPCWSTR new_name, DWORD flags) {
    // Nothing here runs at the next start, and Windows refuses the request to a
    // process without administrator rights the same way.
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return fail(ERROR_ACCESS_DENIED);
    if (!existing || !new_name) return fail(ERROR_INVALID_PARAMETER);
    std::string from, to;
    if (!unix_path_of(existing, &from) || !unix_path_of(new_name, &to)) return FALSE;

    struct stat src;
    if (lstat(from.c_str(), &src) != 0) return fail_missing(from, errno);
    if (write_protected(from) || write_protected(to)) return fail(ERROR_ACCESS_DENIED);
    if (!deletable_by_shares(from, src)) return fail(ERROR_SHARING_VIOLATION);

    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    struct stat dst;
    const bool dst_exists = lstat(to.c_str(), &dst) == 0;
    if (dst_exists && !same_file(src, dst)) {
        if (!replace) return fail(ERROR_ALREADY_EXISTS);
        if (S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode)) return fail(ERROR_ACCESS_DENIED);
        if (!S_ISLNK(dst.st_mode) && mode_read_only(dst.st_mode)) return fail(ERROR_ACCESS_DENIED);
        if (!deletable_by_shares(to, dst)) return fail(ERROR_ACCESS_DENIED);
    }

    int rc = replace || dst_exists
                 ? ::rename(from.c_str(), to.c_str())
                 : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && !replace && !dst_exists && (errno == EINVAL || errno == ENOSYS))
        rc = ::rename(from.c_str(), to.c_str());  // a file system without the no-replace rename
    if (rc == 0) return TRUE;

    int err = errno;
    if (err == EEXIST || err == ENOTEMPTY)
        return fail(replace ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS);
    if (err == ENOENT) return fail(ERROR_PATH_NOT_FOUND);
    if (err != EXDEV) return fail_errno(err);
    if (!(flags & MOVEFILE_COPY_ALLOWED) || !S_ISREG(src.st_mode))
        return fail(ERROR_NOT_SAME_DEVICE);
    if (!copy_file(from, to, !replace)) return FALSE;
    if (::unlink(from.c_str()) != 0) return fail_errno();
    return TRUE;
}

BOOL WINAPI MoveFileW(LPCWSTR existing, LPCWSTR new_name) {
    return MoveFileExW(existing, new_name, MOVEFILE_COPY_ALLOWED);
}

BOOL WINAPI CopyFileW(LPCWSTR existing, LPCWSTR new_name, BOOL fail_if_exists) {
    std::string from, to;
    if (!unix_path_of(existing, &from) || !unix_path_of(new_name, &to)) return FALSE;

    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail_missing(from, errno);
    struct FdCloser {
        int fd;
        ~FdCloser() {
            if (fd >= 0) ::close(fd);
        }
    } in_closer{in};
    struct stat src;
    fstat(in, &src);
    if (S_ISDIR(src.st_mode)) return fail(ERROR_ACCESS_DENIED);
    // The source is read while others may read or delete it, not write it.
    ShareEntry src_share;
    if (!src_share.acquire(src.st_dev, src.st_ino, {true, false, false}, {true, false, true}, in))
        return fail(ERROR_SHARING_VIOLATION);

    struct stat dst;
    const bool dst_exists = ::stat(to.c_str(), &dst) == 0;
    if (dst_exists) {
        if (fail_if_exists) return fail(ERROR_FILE_EXISTS);
        if (same_file(src, dst)) return fail(ERROR_SHARING_VIOLATION);
        if (S_ISDIR(dst.st_mode) || mode_read_only(dst.st_mode)) return fail(ERROR_ACCESS_DENIED);
    }
    if (write_protected(to)) return fail(ERROR_ACCESS_DENIED);

    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (fail_if_exists ? O_EXCL : 0),
                     src.st_mode & 0777);
    if (out < 0) {
        int err = errno;
        if (err == EEXIST) return fail(ERROR_FILE_EXISTS);
        return fail_missing(to, err);
    }
    FdCloser out_closer{out};
    struct stat opened;
    fstat(out, &opened);
    ShareEntry dst_share;
    if (!dst_share.acquire(opened.st_dev, opened.st_ino, {false, true, true}, {false, false, false},
                           out))
        return fail(ERROR_SHARING_VIOLATION);

    if (ftruncate(out, 0) != 0 || !copy_contents(in, out)) {
        int err = errno;
        ::unlink(to.c_str());
        return fail_errno(err);
    }
    // Windows keeps the last-write time and the read-only attribute of the source.
    fchmod(out, src.st_mode & 07777);
    struct timespec times[2] = {src.st_atim, src.st_mtim};
    futimens(out, times);
    return TRUE;
}

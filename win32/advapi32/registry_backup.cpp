// RegSaveKeyW and RegRestoreKeyW: a key's subtree to and from a file in the
// store's own text form. The saved file is whole or absent, never partial: it is
// written beside its final name and renamed into place without replacing anything.
#include "registry_view.h"

#include <w32/error.h>
#include <w32/path.h>
#include <w32/scoped_fd.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

using namespace w32::reg;

namespace {

constexpr DWORD kRestoreFlags = REG_WHOLE_HIVE_VOLATILE | REG_NO_LAZY_FLUSH | REG_FORCE_RESTORE;

std::string parent_folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A missing file in an existing folder, or a folder that is not there.
LSTATUS missing_error(const std::string& path) {
    struct stat st;
    std::string dir = parent_folder(path);
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                : ERROR_PATH_NOT_FOUND;
}

LSTATUS open_error(int err, const std::string& path) {
    if (err == ENOENT) return missing_error(path);
    if (err == EISDIR) return ERROR_ACCESS_DENIED;
    return static_cast<LSTATUS>(w32::errno_to_win(err));
}

LSTATUS map_path(LPCWSTR file, std::string* out) {
    if (!file || !*file) return ERROR_INVALID_PARAMETER;
    *out = w32::to_unix(file);
    if (out->empty()) {
        bool share = (file[0] == L'\\' || file[0] == L'/') && (file[1] == L'\\' || file[1] == L'/');
        return share ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

LSTATUS read_file(const std::string& path, std::string* text) {
    w32::ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return open_error(errno, path);
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return open_error(errno, path);
        if (n == 0) return ERROR_SUCCESS;
        text->append(buf, static_cast<size_t>(n));
    }
}

bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A file beside the final one that is removed unless it was renamed into place.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    // Creates a fresh file in dir: errno on failure, 0 on success.
    int create(const std::string& dir, w32::ScopedFd* fd) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = dir + "/.regsave-" + std::to_string(getpid()) + "-" +
                               std::to_string(counter.fetch_add(1)) + ".tmp";
            // 0666 lets the umask decide, as for any file the program creates.
            fd->reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (fd->valid()) {
                path_ = std::move(name);
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::string path_;
};

// Moves from to to unless to exists (EEXIST then).
int rename_no_replace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // File systems without the no-replace rename still refuse to link over a name.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

LSTATUS write_new_file(const std::string& path, const std::string& text) {
    if (w32::write_protected(path)) return ERROR_ACCESS_DENIED;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return ERROR_ALREADY_EXISTS;
    const std::string dir = parent_folder(path);

    TempFile temp;
    w32::ScopedFd fd;
    if (int err = temp.create(dir, &fd); err != 0)
        return err == ENOENT ? ERROR_PATH_NOT_FOUND : open_error(err, path);
    errno = 0;
    if (!write_all(fd.get(), text) || fsync(fd.get()) != 0)
        return static_cast<LSTATUS>(w32::errno_to_win(errno ? errno : EIO));
    fd.reset();
    if (int err = rename_no_replace(temp.path(), path); err != 0)
        return err == EEXIST ? ERROR_ALREADY_EXISTS : open_error(err, path);
    temp.release();
    // The new name must reach the disk before the save counts as done.
    w32::ScopedFd dfd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dfd.valid()) fsync(dfd.get());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegSaveKeyW(HKEY key, LPCWSTR file, const LPSECURITY_ATTRIBUTES) {
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    std::string path;
    if ((s = map_path(file, &path)) != ERROR_SUCCESS) return s;
    std::unique_ptr<Key> tree;
    if ((s = copy_subtree(ref, &tree)) != ERROR_SUCCESS) return s;
    return write_new_file(path, serialize(*tree));
}

LSTATUS WINAPI RegRestoreKeyW(HKEY key, LPCWSTR file, DWORD flags) {
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    if (flags & ~kRestoreFlags) return ERROR_INVALID_PARAMETER;
    std::string path;
    if ((s = map_path(file, &path)) != ERROR_SUCCESS) return s;
    std::string text;
    if ((s = read_file(path, &text)) != ERROR_SUCCESS) return s;
    Key tree;
    if (!parse(text, &tree)) return ERROR_REGISTRY_CORRUPT;
    return replace_subtree(ref, std::move(tree));
}

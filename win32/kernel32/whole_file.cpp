#include <w32/scoped_fd.h>
#include <w32/whole_file.h>

#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace w32 {
namespace {

std::string parent_folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Moves from to to unless to exists (EEXIST then).
int rename_no_replace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // File systems without the no-replace rename still refuse to link over a name.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
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

    int create_serialized(const std::string& target, mode_t mode, ScopedFd* fd) {
        std::string name = target + ".tmp";
        fd->reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
        if (!fd->valid()) return errno;
        path_ = std::move(name);
        return 0;
    }

    // A fresh name each time, so writers of one file in several threads or
    // processes never share a temporary file.
    int create(const std::string& target, mode_t mode, ScopedFd* fd) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = target + ".tmp" + std::to_string(::getpid()) + "_" +
                               std::to_string(counter.fetch_add(1));
            fd->reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
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

}  // namespace

void remove_stale_temp_files(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
    DIR* dir = ::opendir(parent_folder(path).c_str());
    if (!dir) return;
    while (dirent* e = ::readdir(dir)) {
        std::string_view name = e->d_name;
        if (name.substr(0, prefix.size()) != prefix) continue;
        // "<pid>_<n>": a writer's own name, stale once that writer is gone.
        std::string_view rest = name.substr(prefix.size());
        const size_t underscore = rest.find('_');
        if (underscore == 0 || underscore == std::string_view::npos ||
            rest.find_first_not_of("0123456789_") != std::string_view::npos ||
            underscore + 1 == rest.size() || underscore > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, underscore))));
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(dir), e->d_name, 0);
    }
    ::closedir(dir);
}

int read_whole_file(const std::string& path, std::string* out) {
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return errno;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        out->append(buf, static_cast<size_t>(n));
    }
}

int write_all(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int write_file_atomically(const std::string& path, std::string_view data, const AtomicWrite& how) {
    struct stat st;
    const bool keep_mode = how.keep_mode && ::stat(path.c_str(), &st) == 0;
    TempFile temp;
    ScopedFd fd;
    const int created = how.serialized ? temp.create_serialized(path, how.mode, &fd)
                                       : temp.create(path, how.mode, &fd);
    if (created != 0) return created;
    if (keep_mode && ::fchmod(fd.get(), st.st_mode & 07777) != 0) return errno;
    if (int err = write_all(fd.get(), data); err != 0) return err;
    if (how.durable && ::fsync(fd.get()) != 0) return errno;
    // A failed close can be a delayed write error.
    if (::close(fd.release()) != 0) return errno;
    if (how.replace) {
        if (::rename(temp.path().c_str(), path.c_str()) != 0) return errno;
    } else if (int err = rename_no_replace(temp.path(), path); err != 0) {
        return err;
    }
    temp.release();
    if (how.durable) {
        ScopedFd folder(::open(parent_folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.valid()) ::fsync(folder.get());
    }
    return 0;
}

}  // namespace w32

#include "registry_store.h"

#include <w32/scoped_fd.h>
#include <w32/whole_file.h>

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace w32::reg {
namespace {

std::string home_dir() {
    if (const char* h = getenv("HOME"); h && *h) return h;
    struct passwd pw, *found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found) return pw.pw_dir;
    return "/";
}

bool make_dirs(const std::string& dir) {
    std::string partial;
    size_t i = 0;
    while (i <= dir.size()) {
        size_t j = dir.find('/', i);
        if (j == std::string::npos) j = dir.size();
        partial = dir.substr(0, j);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        i = j + 1;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The whole file; "" when it does not exist. False on a read error.
bool read_file(const std::string& path, std::string* text) {
    text->clear();
    const int err = read_whole_file(path, text);
    return err == 0 || err == ENOENT;
}

class FileLock {
public:
    explicit FileLock(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (!fd_.valid()) return;
        int r;
        do r = flock(fd_.get(), LOCK_EX);
        while (r != 0 && errno == EINTR);
        locked_ = r == 0;
    }
    ~FileLock() {
        if (locked_) flock(fd_.get(), LOCK_UN);
    }
    bool locked() const { return locked_; }

private:
    ScopedFd fd_;
    bool locked_ = false;
};

}  // namespace

std::string registry_dir() {
    if (const char* d = getenv("WIN32_REGISTRY_DIR"); d && *d) return d;
    if (const char* x = getenv("XDG_CONFIG_HOME"); x && *x == '/')
        return std::string(x) + "/win32-registry";
    return home_dir() + "/.config/win32-registry";
}

Store& Store::machine() {
    static auto* s = new Store("machine");
    return *s;
}

Store& Store::user() {
    static auto* s = new Store("user");
    return *s;
}

// What changes whenever the store file is replaced (every write renames a new one
// into place): the tree need not be read again while it stays the same.
std::optional<Store::FileStamp> Store::stamp(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT) return FileStamp{};
        return std::nullopt;
    }
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

LSTATUS Store::load(const std::string& file, Key** root) {
    const std::optional<FileStamp> now = stamp(file);
    if (now && cached_root_ && file == cached_file_ && *now == cached_stamp_) {
        *root = cached_root_.get();
        return ERROR_SUCCESS;
    }
    std::string text;
    if (!read_file(file, &text)) return ERROR_REGISTRY_IO_FAILED;
    if (now) cached_stamp_ = *now;
    if (!cached_root_ || file != cached_file_ || text != cached_text_) {
        auto fresh = std::make_unique<Key>();
        if (!text.empty() && !parse(text, fresh.get())) {
            cached_root_.reset();
            return ERROR_REGISTRY_CORRUPT;
        }
        cached_root_ = std::move(fresh);
        cached_file_ = file;
        cached_text_ = std::move(text);
    }
    *root = cached_root_.get();
    return ERROR_SUCCESS;
}

LSTATUS Store::read(const std::function<LSTATUS(const Key& root)>& fn) {
    std::lock_guard lock(mu_);
    Key* root = nullptr;
    LSTATUS status = load(registry_dir() + "/" + name_ + ".store", &root);
    return status == ERROR_SUCCESS ? fn(*root) : status;
}

LSTATUS Store::write(const std::function<LSTATUS(Key& root, bool& changed)>& fn) {
    std::lock_guard lock(mu_);
    const std::string dir = registry_dir();
    const std::string file = dir + "/" + name_ + ".store";
    if (!make_dirs(dir)) return ERROR_REGISTRY_IO_FAILED;
    FileLock file_lock(dir + "/" + name_ + ".lock");
    if (!file_lock.locked()) return ERROR_REGISTRY_IO_FAILED;

    Key* root = nullptr;
    LSTATUS status = load(file, &root);
    if (status != ERROR_SUCCESS) return status;
    bool changed = false;
    status = fn(*root, changed);
    if (status != ERROR_SUCCESS || !changed) return status;

    std::string text = serialize(*root);
    if (write_file_atomically(file, text, {.mode = 0600, .serialized = true}) != 0) {
        cached_root_.reset();  // the tree no longer matches the file
        return ERROR_REGISTRY_IO_FAILED;
    }
    cached_text_ = std::move(text);
    if (auto now = stamp(file)) cached_stamp_ = *now;
    return ERROR_SUCCESS;
}

}  // namespace w32::reg

// Share modes: the process's table of open files, and locks that tell other
// processes on the layer what each open holds and what it denies.
#include <w32/file.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace w32 {
namespace {

struct Open {
    uint64_t id;
    ShareRights access;
    ShareRights share;
};

struct ShareTable {
    std::mutex mu;
    uint64_t next_id = 1;
    std::map<std::pair<dev_t, ino_t>, std::vector<Open>> files;
};

ShareTable& table() {
    static auto* t = new ShareTable;  // outlives handles closed from static destructors
    return *t;
}

bool any(const ShareRights& r) { return r.read || r.write || r.del; }

// Windows' rule: an open that asks for none of the three rights neither checks nor
// restricts; otherwise each side must share every right the other one holds.
bool conflicts(const Open& held, const ShareRights& access, const ShareRights& share) {
    if (!any(held.access) || !any(access)) return false;
    if ((access.read && !held.share.read) || (access.write && !held.share.write) ||
        (access.del && !held.share.del))
        return true;
    return (held.access.read && !share.read) || (held.access.write && !share.write) ||
           (held.access.del && !share.del);
}

bool conflicts_here(dev_t dev, ino_t ino, const ShareRights& access, const ShareRights& share) {
    auto& t = table();
    auto it = t.files.find({dev, ino});
    if (it == t.files.end()) return false;
    for (auto& held : it->second) {
        if (conflicts(held, access, share)) return true;
    }
    return false;
}

// Between processes, each open takes a shared lock on one byte for every right it
// holds and one for every right it denies; the bytes lie far beyond any real data.
constexpr off_t kLockBase = 0x7FFFFFFF00000000LL;
enum Slot { kHoldsRead, kHoldsWrite, kHoldsDelete, kDeniesRead, kDeniesWrite, kDeniesDelete };

bool slot_taken(int fd, Slot slot) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + slot;
    fl.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

bool take_slot(int fd, Slot slot) {
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + slot;
    fl.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool conflicts_elsewhere(int fd, const ShareRights& access, const ShareRights& share) {
    return (access.read && slot_taken(fd, kDeniesRead)) ||
           (access.write && slot_taken(fd, kDeniesWrite)) ||
           (access.del && slot_taken(fd, kDeniesDelete)) ||
           (!share.read && slot_taken(fd, kHoldsRead)) ||
           (!share.write && slot_taken(fd, kHoldsWrite)) ||
           (!share.del && slot_taken(fd, kHoldsDelete));
}

// A descriptor of its own for the locks, so they live exactly as long as the entry;
// -1 when the file is not a regular file or cannot be read.
int open_lock_fd(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    char proc_path[64];
    snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", fd);
    return ::open(proc_path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

}  // namespace

ShareRights rights_of_access(DWORD access) {
    ShareRights r;
    if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) return {true, true, true};
    r.read = (access & (GENERIC_READ | GENERIC_EXECUTE | FILE_READ_DATA | FILE_EXECUTE)) != 0;
    r.write = (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    r.del = (access & DELETE) != 0;
    return r;
}

ShareRights rights_of_share(DWORD share) {
    return {(share & FILE_SHARE_READ) != 0, (share & FILE_SHARE_WRITE) != 0,
            (share & FILE_SHARE_DELETE) != 0};
}

ShareEntry::ShareEntry(ShareEntry&& other) noexcept
    : dev_(other.dev_),
      ino_(other.ino_),
      id_(std::exchange(other.id_, 0)),
      lock_fd_(std::exchange(other.lock_fd_, -1)) {}

ShareEntry& ShareEntry::operator=(ShareEntry&& other) noexcept {
    if (this != &other) {
        release();
        dev_ = other.dev_;
        ino_ = other.ino_;
        id_ = std::exchange(other.id_, 0);
        lock_fd_ = std::exchange(other.lock_fd_, -1);
    }
    return *this;
}

ShareEntry::~ShareEntry() { release(); }

bool ShareEntry::acquire(dev_t dev, ino_t ino, ShareRights access, ShareRights share, int fd) {
    release();
    auto& t = table();
    std::lock_guard lock(t.mu);
    if (conflicts_here(dev, ino, access, share)) return false;
    int lock_fd = fd >= 0 && any(access) ? open_lock_fd(fd) : -1;
    if (lock_fd >= 0) {
        if (conflicts_elsewhere(lock_fd, access, share)) {
            ::close(lock_fd);
            return false;
        }
        const bool held[] = {access.read, access.write, access.del,
                             !share.read, !share.write, !share.del};
        for (int slot = kHoldsRead; slot <= kDeniesDelete; ++slot) {
            if (held[slot]) take_slot(lock_fd, static_cast<Slot>(slot));
        }
    }
    dev_ = dev;
    ino_ = ino;
    id_ = t.next_id++;
    lock_fd_ = lock_fd;
    t.files[{dev, ino}].push_back({id_, access, share});
    return true;
}

void ShareEntry::release() {
    if (lock_fd_ >= 0) {
        ::close(lock_fd_);  // drops this entry's locks
        lock_fd_ = -1;
    }
    if (!id_) return;
    auto& t = table();
    std::lock_guard lock(t.mu);
    auto it = t.files.find({dev_, ino_});
    if (it != t.files.end()) {
        auto& opens = it->second;
        for (size_t i = 0; i < opens.size(); ++i) {
            if (opens[i].id == id_) {
                opens.erase(opens.begin() + static_cast<ptrdiff_t>(i));
                break;
            }
        }
        if (opens.empty()) t.files.erase(it);
    }
    id_ = 0;
}

bool deletable_by_shares(const std::string& path, const struct stat& st) {
    // Deleting opens the file for delete access, sharing everything.
    const ShareRights access{false, false, true};
    const ShareRights share{true, true, true};
    {
        auto& t = table();
        std::lock_guard lock(t.mu);
        if (conflicts_here(st.st_dev, st.st_ino, access, share)) return false;
    }
    if (!S_ISREG(st.st_mode)) return true;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return true;  // nothing to ask; the delete itself will tell
    bool ok = !slot_taken(fd, kDeniesDelete);
    ::close(fd);
    return ok;
}

}  // namespace w32

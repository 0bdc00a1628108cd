// The process's table of open files and their share modes.
#include <w32/file.h>

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
    : dev_(other.dev_), ino_(other.ino_), id_(std::exchange(other.id_, 0)) {}

ShareEntry& ShareEntry::operator=(ShareEntry&& other) noexcept {
    if (this != &other) {
        release();
        dev_ = other.dev_;
        ino_ = other.ino_;
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

ShareEntry::~ShareEntry() { release(); }

bool ShareEntry::acquire(dev_t dev, ino_t ino, ShareRights access, ShareRights share) {
    release();
    auto& t = table();
    std::lock_guard lock(t.mu);
    auto& opens = t.files[{dev, ino}];
    for (auto& held : opens) {
        if (conflicts(held, access, share)) {
            if (opens.empty()) t.files.erase({dev, ino});
            return false;
        }
    }
    dev_ = dev;
    ino_ = ino;
    id_ = t.next_id++;
    opens.push_back({id_, access, share});
    return true;
}

void ShareEntry::release() {
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

bool deletable_by_shares(dev_t dev, ino_t ino) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    auto it = t.files.find({dev, ino});
    if (it == t.files.end()) return true;
    // Deleting opens the file for delete access, sharing everything.
    const ShareRights access{false, false, true};
    const ShareRights share{true, true, true};
    for (auto& held : it->second) {
        if (conflicts(held, access, share)) return false;
    }
    return true;
}

bool open_in_process(dev_t dev, ino_t ino) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    return t.files.count({dev, ino}) != 0;
}

}  // namespace w32

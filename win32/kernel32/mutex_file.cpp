#include "mutex_file.h"

#include <w32/error.h>
#include <w32/text.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace w32 {
namespace {

constexpr off_t kExistsByte = 0;
constexpr off_t kOwnerByte = 1;
constexpr char kOwned = '1';
constexpr char kFree = '0';

int range_lock(int fd, off_t byte, short type, bool wait) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    int r;
    do {
        r = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
    } while (r != 0 && errno == EINTR);
    return r;
}

bool private_folder(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) return false;
    // Somebody else's folder (or a link planted in a shared /tmp) is refused.
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        errno = EACCES;
        return false;
    }
    return true;
}

// A file name for any object name: safe bytes kept, the rest as %XX; a long
// name keeps its start and gets a hash of the whole.
std::string file_name(const std::wstring& key) {
    std::string utf8 = to_utf8(key);
    std::string out;
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : utf8) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (out.size() > 180) {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : utf8) h = (h ^ c) * 1099511628211ull;
        char buf[20];
        snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
        out = out.substr(0, 160) + "~" + buf;
    }
    return out + ".mutex";
}

}  // namespace

std::string objects_folder() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime && *runtime && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return std::string(runtime) + "/win32-objects";
    return "/tmp/win32-objects-" + std::to_string(getuid());
}

std::unique_ptr<MutexFile> MutexFile::open(const std::wstring& key, bool take_ownership,
                                           bool* existed) {
    std::string dir = objects_folder();
    if (!private_folder(dir)) {
        fail_errno();
        return nullptr;
    }
    std::string path = dir + "/" + file_name(key);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        fail_errno();
        return nullptr;
    }
    std::unique_ptr<MutexFile> file(new MutexFile(fd));
    if (range_lock(fd, kExistsByte, F_WRLCK, false) == 0) {
        // Nobody else has it open: a new mutex. Its state is set up before other
        // processes may see it, since they wait for the shared lock below.
        *existed = false;
        file->write_mark(kFree);
        if (take_ownership && file->try_lock()) file->write_mark(kOwned);
        if (range_lock(fd, kExistsByte, F_RDLCK, false) != 0) {
            fail_errno();
            return nullptr;
        }
        return file;
    }
    if (errno != EAGAIN && errno != EACCES) {
        fail_errno();
        return nullptr;
    }
    *existed = true;
    // Blocks only while a creator sets its mutex up.
    if (range_lock(fd, kExistsByte, F_RDLCK, true) != 0) {
        fail_errno();
        return nullptr;
    }
    return file;
}

MutexFile::~MutexFile() { ::close(fd_); }

bool MutexFile::try_lock() {
    if (!locked_) locked_ = range_lock(fd_, kOwnerByte, F_WRLCK, false) == 0;
    return locked_;
}

bool MutexFile::take_abandoned_mark() {
    char c = kFree;
    bool abandoned = pread(fd_, &c, 1, 0) == 1 && c == kOwned;
    write_mark(kOwned);
    return abandoned;
}

void MutexFile::unlock(bool released) {
    if (!locked_) return;
    if (released) write_mark(kFree);
    range_lock(fd_, kOwnerByte, F_UNLCK, false);
    locked_ = false;
}

void MutexFile::write_mark(char c) {
    // Best effort: a lost mark only loses the abandoned report.
    [[maybe_unused]] ssize_t n = pwrite(fd_, &c, 1, 0);
}

}  // namespace w32

// File handles: a Linux descriptor behind a kernel object, and the share modes that
// handles hold on each file: a table of this process's opens (keyed by device and
// inode), and for regular files open-file-description locks on bytes far past any
// real end of file, so that the opens of other processes on our layer count too.
#pragma once

#include <w32/object.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

#include <fcntl.h>

namespace w32 {

// What an open asks of a file, reduced to the three rights that share modes guard.
struct ShareRights {
    bool read = false;
    bool write = false;
    bool del = false;
};

ShareRights rights_of_access(DWORD access);
ShareRights rights_of_share(DWORD share);

// One open's place in the share table; released when destroyed.
class ShareEntry {
public:
    ShareEntry() = default;
    ShareEntry(const ShareEntry&) = delete;
    ShareEntry& operator=(const ShareEntry&) = delete;
    ShareEntry(ShareEntry&& other) noexcept;
    ShareEntry& operator=(ShareEntry&& other) noexcept;
    ~ShareEntry();

    // Records an open of (dev, ino); false (nothing recorded) when it conflicts with
    // an open already there. fd, when given, is the open file itself: its share mode
    // is then also published to, and checked against, other processes.
    bool acquire(dev_t dev, ino_t ino, ShareRights access, ShareRights share, int fd = -1);
    void release();

private:
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    uint64_t id_ = 0;
    int lock_fd_ = -1;
};

// True when no open of the file, in this process or another, keeps others from
// deleting or renaming it. path is the file's Linux path, st its lstat.
bool deletable_by_shares(const std::string& path, const struct stat& st);
// True when some handle of this process has the file open.
bool open_in_process(dev_t dev, ino_t ino);

class FileObject : public Object {
public:
    // Takes ownership of fd.
    FileObject(int fd, DWORD access, ShareEntry share);
    ~FileObject() override;
    Kind kind() const override { return Kind::File; }
    void last_handle_closed() override;

    int fd() const { return fd_; }
    DWORD access() const { return access_; }
    void set_delete_on_close(std::string unix_path) { delete_on_close_ = std::move(unix_path); }

private:
    int fd_;
    DWORD access_;
    ShareEntry share_;
    std::string delete_on_close_;
};

// The descriptor behind a file handle, or -1 (ERROR_INVALID_HANDLE) for anything else.
int file_fd(HANDLE h);

// Windows' read-only attribute, as the layer models it: no write bit at all.
inline bool mode_read_only(mode_t mode) { return (mode & 0222) == 0; }

// The Linux path of a Windows path argument; false with ERROR_PATH_NOT_FOUND (or
// ERROR_BAD_NETPATH for a share) when the argument is empty or maps to nothing.
bool unix_path_of(const wchar_t* path, std::string* out);

// Copies the bytes of one open file to another (both positioned at their start).
bool copy_contents(int from, int to);

// Windows attributes of a directory entry from its lstat (and, for a link, whether
// the link leads to a folder).
DWORD attributes_from(int dirfd, const char* path, const struct stat& lst);

// The creation time: statx's birth time where the file system keeps one, else the
// older of the change and write times. flags as for statx (AT_EMPTY_PATH for a fd).
FILETIME creation_filetime(int dirfd, const char* path, int flags, const struct stat& st);

// ERROR_FILE_NOT_FOUND when the folder that would hold the path exists,
// ERROR_PATH_NOT_FOUND when it does not.
DWORD missing_error(const std::string& unix_path);

}  // namespace w32

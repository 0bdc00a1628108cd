// Reading, writing, seeking, sizes and times of open file handles.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/filetime.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace w32 {
namespace {

// A failed read or write on a valid handle opened without that access.
DWORD io_error(int err) { return err == EBADF ? ERROR_ACCESS_DENIED : errno_to_win(err); }

int64_t overlapped_offset(const OVERLAPPED* ov) {
    return static_cast<int64_t>((static_cast<uint64_t>(ov->OffsetHigh) << 32) | ov->Offset);
}

// Moves the file pointer; false with the last error set when the target is negative.
bool seek(int fd, int64_t distance, DWORD method, int64_t* result) {
    int whence;
    switch (method) {
        case FILE_BEGIN:
            whence = SEEK_SET;
            break;
        case FILE_CURRENT:
            whence = SEEK_CUR;
            break;
        case FILE_END:
            whence = SEEK_END;
            break;
        default:
            return fail(ERROR_INVALID_PARAMETER);
    }
    off_t pos = lseek(fd, static_cast<off_t>(distance), whence);
    if (pos < 0) return fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK : errno_to_win(errno));
    *result = pos;
    return true;
}

bool file_size(int fd, int64_t* size) {
    struct stat st;
    if (fstat(fd, &st) != 0) return fail_errno();
    *size = st.st_size;
    return true;
}

// A FILETIME of 0 leaves the time as it is; so does Windows' "stop updating" value.
struct timespec new_time(const FILETIME* ft) {
    struct timespec ts;
    ts.tv_sec = 0;
    ts.tv_nsec = UTIME_OMIT;
    if (!ft) return ts;
    uint64_t v = filetime_value(*ft);
    if (v == 0 || v == 0xFFFFFFFFFFFFFFFFull) return ts;
    return filetime_to_timespec(*ft);
}

}  // namespace
}  // namespace w32

using namespace w32;

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    if (read) *read = 0;
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    if (!buffer && to_read) return fail(ERROR_INVALID_PARAMETER);
    int64_t offset = overlapped ? overlapped_offset(overlapped) : -1;
    auto* p = static_cast<char*>(buffer);
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    DWORD done = 0;
    // A file read fills the buffer unless the end comes first; a pipe answers what it has.
    while (done < to_read) {
        ssize_t n = offset >= 0 ? pread(fd, p + done, to_read - done, offset + done)
                                : ::read(fd, p + done, to_read - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (done) break;
            return fail(errno == EISDIR ? ERROR_INVALID_FUNCTION : io_error(errno));
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
        if (!regular) break;
    }
    if (read) *read = done;
    if (overlapped) overlapped->InternalHigh = done;
    // Windows reports the end of file this way only for positioned reads.
    if (overlapped && done == 0 && to_read) return fail(ERROR_HANDLE_EOF);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    if (written) *written = 0;
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    if (!buffer && to_write) return fail(ERROR_INVALID_PARAMETER);
    int64_t offset = overlapped ? overlapped_offset(overlapped) : -1;
    const auto* p = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < to_write) {
        ssize_t n = offset >= 0 ? pwrite(fd, p + done, to_write - done, offset + done)
                                : ::write(fd, p + done, to_write - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written) *written = done;
            return fail(io_error(errno));
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    if (overlapped) overlapped->InternalHigh = done;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
    int fd = file_fd(file);
    if (fd < 0) return INVALID_SET_FILE_POINTER;
    int64_t move = distance_high
                       ? static_cast<int64_t>(
                             (static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                             static_cast<uint32_t>(distance))
                       : static_cast<int64_t>(distance);
    int64_t current = lseek(fd, 0, SEEK_CUR);
    int64_t pos;
    if (!seek(fd, move, method, &pos)) return INVALID_SET_FILE_POINTER;
    // Without a high part the pointer must stay below 4 GiB.
    if (!distance_high && pos > 0xFFFFFFFELL) {
        if (current >= 0) lseek(fd, current, SEEK_SET);
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high) *distance_high = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(pos);
}

BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position,
                             DWORD method) {
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    int64_t pos;
    if (!seek(fd, distance.QuadPart, method, &pos)) return FALSE;
    if (new_position) new_position->QuadPart = pos;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high) {
    int fd = file_fd(file);
    int64_t size = 0;
    if (fd < 0 || !file_size(fd, &size)) return INVALID_FILE_SIZE;
    if (size_high) *size_high = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL WINAPI GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    int fd = file_fd(file);
    int64_t value = 0;
    if (fd < 0 || !file_size(fd, &value)) return FALSE;
    if (!size) return fail(ERROR_INVALID_PARAMETER);
    size->QuadPart = value;
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    // Pipes and terminals have nothing to sync.
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) return fail_errno();
    return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE file) {
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    off_t pos = lseek(fd, 0, SEEK_CUR);
    if (pos < 0) return fail_errno();
    if (ftruncate(fd, pos) != 0) return fail(io_error(errno == EINVAL ? EBADF : errno));
    return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME last_access,
                        LPFILETIME last_write) {
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    struct stat st;
    if (fstat(fd, &st) != 0) return fail_errno();
    if (creation) *creation = creation_filetime(fd, "", AT_EMPTY_PATH, st);
    if (last_access) *last_access = timespec_to_filetime(st.st_atim);
    if (last_write) *last_write = timespec_to_filetime(st.st_mtim);
    return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* last_access,
                        const FILETIME* last_write) {
    (void)creation;  // Linux keeps no settable creation time
    int fd = file_fd(file);
    if (fd < 0) return FALSE;
    struct timespec times[2] = {new_time(last_access), new_time(last_write)};
    if (futimens(fd, times) == 0) return TRUE;
    if (errno != EBADF) return fail_errno();
    // A handle opened without data access holds an O_PATH descriptor.
    char proc_path[64];
    snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", fd);
    if (utimensat(AT_FDCWD, proc_path, times, 0) != 0) return fail_errno();
    return TRUE;
}

#include <w32/error.h>

#include <errno.h>

namespace {
thread_local DWORD t_last_error = 0;
}

DWORD WINAPI GetLastError(void) { return t_last_error; }
void WINAPI SetLastError(DWORD code) { t_last_error = code; }

namespace w32 {

DWORD errno_to_win(int err) {
    switch (err) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EFBIG: return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EXDEV: return ERROR_NOT_SAME_DEVICE;
        case EBUSY: return ERROR_BUSY;
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
        case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
        case ESRCH: return ERROR_INVALID_PARAMETER;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        case EPIPE: return ERROR_BROKEN_PIPE;
        case EIO: return ERROR_GEN_FAILURE;
        case ENOSYS:
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
        default: return ERROR_GEN_FAILURE;
    }
}

BOOL fail_errno() { return fail_errno(errno); }

BOOL fail_errno(int err) {
    SetLastError(errno_to_win(err));
    return FALSE;
}

}  // namespace w32

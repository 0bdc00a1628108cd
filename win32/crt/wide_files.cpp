// _wfopen, _wfsopen, _wstat and _waccess on Windows paths, with the read-only
// attribute (no write bit) and write-protected drives refusing writes as on Windows.
#include <windows.h>

#include <w32/path.h>
#include <w32/text.h>

#include <errno.h>
#include <unistd.h>

#include <cwctype>
#include <string>

namespace {

bool mapped(const wchar_t* path, std::string* out) {
    if (!path || !*path) {
        errno = ENOENT;
        return false;
    }
    *out = w32::to_unix(path);
    if (out->empty()) {
        errno = ENOENT;
        return false;
    }
    return true;
}

bool read_only_mode(mode_t m) { return (m & 0222) == 0; }

// Windows' mode letters to C's: "t" and the hint letters go, "ccs=" too; descriptors
// stay out of child processes.
std::string narrow_mode(const wchar_t* mode) {
    std::string out;
    for (const wchar_t* p = mode; *p && *p != L','; ++p) {
        if (*p == L'r' || *p == L'w' || *p == L'a' || *p == L'+' || *p == L'b' || *p == L'x')
            out += static_cast<char>(*p);
    }
    out += 'e';
    return out;
}

bool writes(const wchar_t* mode) {
    for (const wchar_t* p = mode; *p && *p != L','; ++p) {
        if (*p == L'w' || *p == L'a' || *p == L'+') return true;
    }
    return false;
}

bool executable_name(const std::string& path) {
    auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext;
    for (char c : path.substr(dot + 1))
        ext += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext == "exe" || ext == "com" || ext == "bat" || ext == "cmd";
}

}  // namespace

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    std::string file;
    if (!mode || !*mode) {
        errno = EINVAL;
        return nullptr;
    }
    if (!mapped(path, &file)) return nullptr;
    if (writes(mode)) {
        struct stat st;
        bool exists = stat(file.c_str(), &st) == 0;
        if ((exists && !S_ISDIR(st.st_mode) && read_only_mode(st.st_mode)) ||
            w32::write_protected(file)) {
            errno = EACCES;
            return nullptr;
        }
    }
    return fopen(file.c_str(), narrow_mode(mode).c_str());
}

// Share flags are accepted; only CreateFileW handles take part in share modes.
FILE* _wfsopen(const wchar_t* path, const wchar_t* mode, int) { return _wfopen(path, mode); }

int _wstat(const wchar_t* path, struct _stat* buffer) {
    std::string file;
    if (!buffer) {
        errno = EINVAL;
        return -1;
    }
    if (!mapped(path, &file)) return -1;
    struct stat st;
    if (stat(file.c_str(), &st) != 0) return -1;

    unsigned short mode;
    if (S_ISDIR(st.st_mode)) {
        mode = _S_IFDIR | _S_IEXEC;
    } else if (S_ISCHR(st.st_mode)) {
        mode = _S_IFCHR;
    } else if (S_ISFIFO(st.st_mode)) {
        mode = _S_IFIFO;
    } else {
        mode = _S_IFREG | (executable_name(file) ? _S_IEXEC : 0);
    }
    mode |= _S_IREAD;
    if (!read_only_mode(st.st_mode)) mode |= _S_IWRITE;
    // The owner's bits are repeated for the group and the others, as Windows does.
    mode = static_cast<unsigned short>(mode | ((mode & 0700) >> 3) | ((mode & 0700) >> 6));

    std::wstring win = w32::to_windows(file);
    _dev_t drive =
        win.size() >= 2 && win[1] == L':' ? static_cast<_dev_t>(towupper(win[0]) - L'A') : 0;
    *buffer = {};
    buffer->st_dev = buffer->st_rdev = drive;
    buffer->st_mode = mode;
    buffer->st_nlink = 1;
    buffer->st_size = S_ISREG(st.st_mode) ? st.st_size : 0;
#ifdef st_atime
    buffer->st_atim = st.st_atim;
    buffer->st_mtim = st.st_mtim;
    buffer->st_ctim = st.st_ctim;
#else
    buffer->st_atime = st.st_atim.tv_sec;
    buffer->st_mtime = st.st_mtim.tv_sec;
    buffer->st_ctime = st.st_ctim.tv_sec;
#endif
    return 0;
}

// Modes 0 (exists), 2 (write), 4 (read) and 6; write fails on a read-only file or drive.
int _waccess(const wchar_t* path, int mode) {
    if (mode & ~6) {
        errno = EINVAL;
        return -1;
    }
    std::string file;
    if (!mapped(path, &file)) return -1;
    struct stat st;
    if (stat(file.c_str(), &st) != 0) return -1;
    if ((mode & 2) && (read_only_mode(st.st_mode) || w32::write_protected(file))) {
        errno = EACCES;
        return -1;
    }
    int want = ((mode & 2) ? W_OK : 0) | ((mode & 4) ? R_OK : 0);
    if (want && access(file.c_str(), want) != 0) return -1;
    return 0;
}

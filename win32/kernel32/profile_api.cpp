// GetPrivateProfileStringW, GetPrivateProfileIntW, WritePrivateProfileStringW.
// Every call reads the file afresh (no cache), so other processes' writes show at
// once; writes are serialised, in this process and across processes, each a whole
// read-modify-replace.
#include "kernel32/profile_document.h"

#include <w32/error.h>
#include <w32/path.h>
#include <w32/scoped_fd.h>
#include <w32/whole_file.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex& profile_lock() {
    static std::mutex lock;
    return lock;
}

// Keeps writers of other processes out of the file's folder. The folder, not the
// file: the file is replaced by a rename, and a lock on it would go with the old one.
class FolderLock {
public:
    explicit FolderLock(const std::string& file) {
        const size_t slash = file.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : file.substr(0, slash);
        fd_.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd_.valid()) return;
        int r;
        do r = ::flock(fd_.get(), LOCK_EX);
        while (r != 0 && errno == EINTR);
    }

private:
    w32::ScopedFd fd_;  // closing it lets go of the lock
};

// Loads the file; a missing or unreadable file reads as empty.
w32::ProfileDocument load_or_empty(LPCWSTR file) {
    w32::ProfileDocument doc;
    const std::string path = file ? w32::to_unix(file) : std::string();
    if (path.empty() || !w32::ProfileDocument::load(path, &doc)) return w32::ProfileDocument();
    return doc;
}

DWORD copy_string(std::wstring_view s, LPWSTR out, DWORD size) {
    const size_t n = s.size() < size - 1 ? s.size() : size - 1;
    s.copy(out, n);
    out[n] = L'\0';
    return static_cast<DWORD>(n);
}

// Names each ended by a zero, and one more zero after the last. When they do not
// fit, the list is cut, still ends in two zeros, and the result is size - 2.
// A key list that exactly fills the buffer counts as cut too (keys).
DWORD copy_list(const std::vector<std::wstring>& names, LPWSTR out, DWORD size, bool keys = false) {
    std::wstring all;
    for (const auto& n : names) {
        all += n;
        all += L'\0';
    }
    if (all.size() + 1 < size || (!keys && all.size() + 1 == size)) {
        all.copy(out, all.size());
        out[all.size()] = L'\0';
        if (all.empty() && size >= 2) out[1] = L'\0';
        return static_cast<DWORD>(all.size());
    }
    if (size < 2) {
        out[0] = L'\0';
        return 0;
    }
    all.copy(out, size - 2);
    out[size - 2] = L'\0';
    out[size - 1] = L'\0';
    return size - 2;
}

// A value in matching single or double quotes reads without them.
std::wstring_view unquote(std::wstring_view v) {
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    const w32::ProfileDocument doc = load_or_empty(lpFileName);
    if (!lpAppName) return copy_list(doc.sections(), lpReturnedString, nSize);
    if (!lpKeyName) return copy_list(doc.keys(lpAppName), lpReturnedString, nSize, true);

    if (auto v = doc.value(lpAppName, lpKeyName))
        return copy_string(unquote(*v), lpReturnedString, nSize);

    // Windows cuts trailing blanks off the default, then its quotes as off a value.
    std::wstring_view def = lpDefault ? lpDefault : L"";
    while (!def.empty() && def.back() == L' ') def.remove_suffix(1);
    const DWORD n = copy_string(unquote(def), lpReturnedString, nSize);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return n;
}

UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault,
                                  LPCWSTR lpFileName) {
    if (!lpAppName || !lpKeyName) return static_cast<UINT>(nDefault);
    const w32::ProfileDocument doc = load_or_empty(lpFileName);
    auto v = doc.value(lpAppName, lpKeyName);
    if (!v) return static_cast<UINT>(nDefault);
    std::wstring_view s = unquote(*v);
    if (s.empty()) return static_cast<UINT>(nDefault);

    size_t i = 0;
    bool negative = false;
    if (s[0] == L'-' || s[0] == L'+') negative = s[i++] == L'-';
    // "0x" starts a hexadecimal number, as in C.
    const bool hex = i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X');
    if (hex) i += 2;
    UINT result = 0;  // wraps like a 32-bit register on overflow
    for (; i < s.size(); ++i) {
        const wchar_t c = s[i];
        UINT digit;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<UINT>(c - L'0');
        } else if (hex && ((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
            digit = static_cast<UINT>((c | 0x20) - L'a' + 10);
        } else {
            break;
        }
        result = result * (hex ? 16 : 10) + digit;
    }
    return negative ? 0u - result : result;
}

BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                       LPCWSTR lpFileName) {
    if (!lpAppName) {
        // All null asks to flush a cache this layer does not keep.
        if (!lpKeyName && !lpString) return TRUE;
        return w32::fail(ERROR_INVALID_PARAMETER);
    }
    if (!lpFileName) return w32::fail(ERROR_INVALID_PARAMETER);
    const std::string path = w32::to_unix(lpFileName);
    if (path.empty()) return w32::fail(ERROR_PATH_NOT_FOUND);

    std::lock_guard<std::mutex> guard(profile_lock());
    const std::string target = w32::ProfileDocument::write_target(path);
    FolderLock folder_lock(target);
    w32::remove_stale_temp_files(target);
    w32::ProfileDocument doc;
    if (!w32::ProfileDocument::load(path, &doc)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
        doc = w32::ProfileDocument();
    }
    bool changed;
    if (!lpKeyName) {
        changed = doc.delete_section(lpAppName);
    } else if (!lpString) {
        changed = doc.delete_key(lpAppName, lpKeyName);
    } else {
        changed = doc.set_value(lpAppName, lpKeyName, lpString);
    }
    if (!changed) return TRUE;
    return doc.save(path) ? TRUE : FALSE;
}

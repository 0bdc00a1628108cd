// FindFirstFileW / FindNextFileW / FindClose: a folder listing taken when the search
// starts, filtered by Windows wildcards and sorted by name without regard to case.
#include <w32/error.h>
#include <w32/file.h>
#include <w32/filetime.h>
#include <w32/path.h>
#include <w32/text.h>
#include <w32/wildcard.h>

#include "kernel32/case_fold.h"

#include <dirent.h>
#include <errno.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace w32 {
namespace {

class FindObject : public Object {
public:
    explicit FindObject(std::vector<WIN32_FIND_DATAW> entries) : entries_(std::move(entries)) {}
    Kind kind() const override { return Kind::FindFile; }

    bool next(WIN32_FIND_DATAW* data) {
        std::lock_guard lock(mu_);
        if (pos_ >= entries_.size()) return false;
        *data = entries_[pos_++];
        return true;
    }

private:
    std::mutex mu_;
    std::vector<WIN32_FIND_DATAW> entries_;
    size_t pos_ = 0;
};

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

HANDLE fail_handle(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

bool make_entry(int dirfd, const std::string& unix_name, const std::wstring& name,
                WIN32_FIND_DATAW* out) {
    if (name.size() >= MAX_PATH) return false;
    struct stat st;
    if (fstatat(dirfd, unix_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    WIN32_FIND_DATAW d{};
    d.dwFileAttributes = attributes_from(dirfd, unix_name.c_str(), st);
    d.ftCreationTime = creation_filetime(dirfd, unix_name.c_str(), 0, st);
    d.ftLastAccessTime = timespec_to_filetime(st.st_atim);
    d.ftLastWriteTime = timespec_to_filetime(st.st_mtim);
    uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(size);
    if (S_ISLNK(st.st_mode)) d.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
    name.copy(d.cFileName, name.size());
    *out = d;
    return true;
}

int rank(const wchar_t* name) {
    if (name[0] == L'.' && name[1] == 0) return 0;
    if (name[0] == L'.' && name[1] == L'.' && name[2] == 0) return 1;
    return 2;
}

bool before(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    int ra = rank(a.cFileName), rb = rank(b.cFileName);
    if (ra != rb) return ra < rb;
    std::wstring_view x(a.cFileName), y(b.cFileName);
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
        wchar_t cx = fold_case(x[i]), cy = fold_case(y[i]);
        if (cx != cy) return cx < cy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;
}

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    if (!pattern || !data) return fail_handle(ERROR_INVALID_PARAMETER);
    std::wstring_view w(pattern);
    size_t sep = w.find_last_of(L"\\/");
    if (sep == std::wstring_view::npos && w.size() >= 2 && w[1] == L':') sep = 1;
    std::wstring folder(sep == std::wstring_view::npos ? std::wstring_view()
                                                       : w.substr(0, sep + 1));
    std::wstring name(sep == std::wstring_view::npos ? w : w.substr(sep + 1));
    if (name.empty()) return fail_handle(ERROR_FILE_NOT_FOUND);

    std::string dir = ".";
    if (!folder.empty() && !unix_path_of(folder.c_str(), &dir)) return INVALID_HANDLE_VALUE;

    std::vector<WIN32_FIND_DATAW> entries;
    if (!has_wildcards(name)) {
        // A plain name loses its trailing dots and blanks, as every path does.
        const bool literal = w.substr(0, 4) == L"\\\\?\\";
        const size_t kept = name.find_last_not_of(L". ");
        if (!literal && kept != std::wstring::npos) name.resize(kept + 1);
        WIN32_FIND_DATAW d;
        std::string full = dir + "/" + to_utf8(name);
        struct stat st;
        if (lstat(full.c_str(), &st) != 0)
            return fail_handle(errno == ENOENT ? missing_error(full) : errno_to_win(errno));
        if (make_entry(AT_FDCWD, full, name, &d)) entries.push_back(d);
    } else {
        std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
        if (!d) {
            if (errno == ENOENT || errno == ENOTDIR) return fail_handle(ERROR_PATH_NOT_FOUND);
            return fail_handle(errno_to_win(errno));
        }
        // A drive's root has no "." and ".." entries on Windows.
        const bool root = is_drive_root(dir);
        int fd = dirfd(d.get());
        while (dirent* e = readdir(d.get())) {
            std::string unix_name = e->d_name;
            if (root && (unix_name == "." || unix_name == "..")) continue;
            std::wstring wide = from_utf8(unix_name);
            if (!wildcard_match(name, wide)) continue;
            WIN32_FIND_DATAW entry;
            if (make_entry(fd, unix_name, wide, &entry)) entries.push_back(entry);
        }
        std::sort(entries.begin(), entries.end(), before);
    }
    if (entries.empty()) return fail_handle(ERROR_FILE_NOT_FOUND);

    auto find = std::make_shared<FindObject>(std::move(entries));
    find->next(data);
    HANDLE h = new_handle(std::move(find));
    if (!h) return INVALID_HANDLE_VALUE;
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL WINAPI FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
    auto find = get_as<FindObject>(handle);
    if (!find) return FALSE;
    if (!data) return fail(ERROR_INVALID_PARAMETER);
    if (!find->next(data)) return fail(ERROR_NO_MORE_FILES);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE handle) {
    if (!get_as<FindObject>(handle)) return FALSE;
    return CloseHandle(handle);
}

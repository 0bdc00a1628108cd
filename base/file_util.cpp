#include "base/file_util.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "base/log.h"
#include "base/path_util.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"

namespace base {

namespace {

constexpr wchar_t kTestFileName[] = L"SM_testdir.dat";

class FindHandle {
public:
    FindHandle(const std::wstring& pattern, WIN32_FIND_DATAW* data)
        : handle_(FindFirstFileW(pattern.c_str(), data)) {}
    ~FindHandle() {
        if (valid()) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW* data) { return FindNextFileW(handle_, data) != FALSE; }

private:
    HANDLE handle_;
};

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Moves a file aside to "<path>.tmp", or "<path>.<n>.tmp" when that name is taken,
// never replacing anything; the name used is left in aside.
bool MoveAside(const std::wstring& path, std::wstring* aside) {
    for (unsigned n = 0; n < 1000; ++n) {
        *aside = n == 0 ? path + L".tmp" : path + L"." + std::to_wstring(n) + L".tmp";
        if (MoveFileExW(path.c_str(), aside->c_str(), 0)) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

std::wstring WithBackslash(const std::wstring& path) {
    return (!path.empty() && path.back() == L'\\') ? path : path + L'\\';
}

// A link goes as a link: RemoveDirectoryW for one that leads to a folder.
void DeleteEntry(const std::wstring& path, DWORD attributes) {
    if (IsFolder(attributes) && !IsLink(attributes)) {
        DeleteDirectory(path.c_str());
    } else if (IsFolder(attributes)) {
        RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileW(path.c_str());
    }
}

}  // namespace

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes);
}

bool PathExists(const wchar_t* path) {
    if (!path) return false;
    std::wstring copy(path);
    if (copy.size() > 3 && copy.back() == L'\\') copy.pop_back();
    struct _stat st;
    return _wstat(copy.c_str(), &st) == 0;
}

bool CanWriteFolder(const wchar_t* folder) {
    if (!folder || !PathIsDirectoryW(folder)) return false;
    if (_waccess(folder, 0) != 0 || _waccess(folder, 6) != 0) return false;
    wchar_t test_file[MAX_PATH] = {};
    if (!PathCombineW(test_file, folder, kTestFileName)) return false;
    bool created;
    {
        ScopedHandle file(CreateFileW(test_file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL, nullptr));
        created = file.IsValid();
    }
    DeleteFileW(test_file);
    return created;
}

int CheckFolder(const wchar_t* folder) {
    if (!folder) return 1;
    SHCreateDirectory(nullptr, folder);
    if (!PathIsDirectoryW(folder)) return 1;
    if (!CanWriteFolder(folder)) return 2;
    return 0;
}

bool IsUsableFolder(const std::wstring& folder) { return CheckFolder(folder.c_str()) == 0; }

bool IsFileInUse(const std::wstring& path) {
    if (!Exists(path)) return false;
    std::wstring aside;
    if (!MoveAside(path, &aside)) {
        LOG_MESSAGE << "文件被占用，无法重命名，path:" << path;
        return true;
    }
    if (MoveFileExW(aside.c_str(), path.c_str(), 0)) return false;
    // The file is not where it was: it cannot be called free.
    const DWORD error = GetLastError();
    LOG_ERROR << "IsFileInUse move back fail path:" << path << " tmp:" << aside
              << " errorcode:" << error;
    return true;
}

int64_t GetFileSize64(const std::wstring& path) {
    ScopedHandle file(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return -1;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

std::string ReadFileHead(const std::wstring& path) {
    if (!Exists(path)) return {};
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return {};
    char head[129 + 1] = {};  // one more than is read, so the text always ends
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, 129, &read, nullptr)) return {};
    return head;
}

bool EnsureDirectory(const wchar_t* path) {
    if (!path || !*path) return false;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) return IsFolder(attributes);
    const std::wstring text(path);
    const size_t slash = text.rfind(L'\\');
    if (slash == std::wstring::npos) return true;
    if (!EnsureDirectory(text.substr(0, slash).c_str())) return false;
    return CreateDirectoryW(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool DeleteDirectory(const wchar_t* folder) {
    if (!folder) return false;
    const std::wstring base(folder);
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) {
        return RemoveDirectoryW(folder) != FALSE;
    }
    const std::wstring prefix = WithBackslash(base);
    {
        WIN32_FIND_DATAW data;
        FindHandle find(prefix + L"*.*", &data);
        if (!find.valid()) return false;
        do {
            if (IsDotEntry(data.cFileName)) continue;
            DeleteEntry(prefix + data.cFileName, data.dwFileAttributes);
        } while (find.Next(&data));
    }
    return RemoveDirectoryW(folder) != FALSE;
}

void ClearFolder(const std::wstring& folder, bool keep,
                 const std::vector<std::wstring>& keep_names) {
    if (!Exists(folder)) return;
    if (!keep) {
        DeleteDirectory(folder.c_str());
        return;
    }
    const std::wstring prefix = WithBackslash(folder);
    WIN32_FIND_DATAW data;
    FindHandle find(prefix + L"*.*", &data);
    if (!find.valid()) return;
    do {
        if (IsDotEntry(data.cFileName)) continue;
        const std::wstring child = prefix + data.cFileName;
        if (IsFolder(data.dwFileAttributes)) {
            DeleteDirectory(child.c_str());
            continue;
        }
        bool kept = false;
        for (const std::wstring& name : keep_names) {
            if (EqualNoCase(name, data.cFileName)) {
                kept = true;
                break;
            }
        }
        if (!kept) DeleteFileW(child.c_str());
    } while (find.Next(&data));
}

bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool overwrite,
                bool stop_on_failure) {
    if (!Exists(destination) && !EnsureDirectory(destination.c_str())) {
        const DWORD error = GetLastError();
        LOG_ERROR << "CopyFolder [CreateFolder] fail tmpTo:" << destination
                  << " errorcode:" << error;
    }
    if (!Exists(source)) return true;
    bool result = true;
    {
        WIN32_FIND_DATAW data;
        FindHandle find(source + L"\\*.*", &data);
        if (!find.valid()) return true;
        do {
            const std::wstring name = data.cFileName;
            const std::wstring from = source + L"\\" + name;
            const std::wstring target = destination + L"\\" + name;
            if (IsFolder(data.dwFileAttributes)) {
                // A linked folder could lead back into the tree being copied.
                if (name[0] == L'.' || IsLink(data.dwFileAttributes)) continue;
                if (!Exists(target)) {
                    std::wstring folder = target;
                    AddBackslash(folder);
                    if (!EnsureDirectory(folder.c_str())) {
                        const DWORD error = GetLastError();
                        LOG_ERROR << "CopyFolder [CreateFolder] fail tmpFile:" << folder
                                  << " errorcode:" << error;
                    }
                }
                result = CopyFolder(from, target, overwrite, stop_on_failure);
            } else if (overwrite) {
                result = DeepCopyFile(from, target);
            } else if (Exists(target)) {
                result = true;
            } else {
                result = CopyFileW(from.c_str(), target.c_str(), TRUE) != FALSE;
                if (!result) {
                    const DWORD error = GetLastError();
                    LOG_ERROR << "CopyFolder [CopyFile] srcFile:" << from << " tmpFile:" << target
                              << " errorcode:" << error;
                }
            }
            if (!result && stop_on_failure) break;
        } while (find.Next(&data));
    }
    if (!result) LOG_ERROR << "CopyFolder bRet FALSE";
    return result;
}

bool DeepCopyFile(const std::wstring& source, const std::wstring& destination) {
    if (Exists(destination)) SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Exists(destination) && !DeleteFileW(destination.c_str())) {
        LOG_MESSAGE << "DeepCopyFile dst file exists and del dst fail dst:" << destination;
        std::wstring aside;
        if (!MoveAside(destination, &aside)) {
            const DWORD error = GetLastError();
            LOG_ERROR << "移动目标文件失败，失败错误码为:" << error;
        } else if (!DeleteFileW(aside.c_str())) {
            const DWORD error = GetLastError();
            LOG_MESSAGE << "移动后还是无法删除，改为重启后删除 strDstTmp:" << aside
                        << " errorcode:" << error;
            if (!MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
                const DWORD reboot_error = GetLastError();
                LOG_ERROR << "MoveFileEx MOVEFILE_DELAY_UNTIL_REBOOT fail strDstTmp:" << aside
                          << " errorcode:" << reboot_error;
            }
        }
    }
    const bool copied = CopyPathFile(source, destination);
    if (!copied) {
        const DWORD error = GetLastError();
        LOG_ERROR << "DeepCopyFile [CopyPathFile] failed src" << source << " dst" << destination
                  << " errorCode:" << error;
    }
    return copied;
}

bool CopyPathFile(const std::wstring& source, const std::wstring& destination) {
    constexpr int kAttempts = 4;
    for (int attempt = 0;; ++attempt) {
        if (CopyFileW(source.c_str(), destination.c_str(), FALSE)) return true;
        const DWORD error = GetLastError();
        LOG_ERROR << "CopyPathFile fail src:" << source << " dst:" << destination
                  << " retry_count:" << attempt << " errorcode:" << error;
        if (attempt + 1 == kAttempts) {
            SetLastError(error);
            return false;
        }
        Sleep(1000);
    }
}

}  // namespace base

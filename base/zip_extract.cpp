#include "base/zip_extract.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unzip.h>

#include <memory>
#include <new>
#include <string>

#include <shlwapi.h>
#include <win32_unixpath.h>

#include "base/scoped_handle.h"

namespace base {
namespace {

constexpr size_t kNameSize = 256;
constexpr size_t kPathSize = 256;  // "%s%s" of folder and entry, at most 255 characters
constexpr unsigned kReadSize = 8192;

struct ZipCloser {
    void operator()(void* archive) const { unzClose(archive); }
};
using ZipArchive = std::unique_ptr<void, ZipCloser>;

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

std::string ToAnsi(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(size - 1);
    return out;
}

std::wstring FromAnsi(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    out.resize(size - 1);
    return out;
}

// "%s%s" into a MAX_PATH-sized buffer; false instead of a cut path.
bool JoinPath(char (&out)[kPathSize], const char* folder, const char* name, const char* tail = "") {
    int n = snprintf(out, sizeof out, "%s%s%s", folder, name, tail);
    return n >= 0 && static_cast<size_t>(n) < sizeof out;
}

// A component Windows would read as the parent folder: "..", and "...", ". ." or
// ".. " too, since Windows drops trailing dots and blanks of a name.
bool IsParentComponent(const std::string& part) {
    if (part.find("..") == std::string::npos && part.find(". .") == std::string::npos) return false;
    return part.find_first_not_of(". ") == std::string::npos;
}

// An entry may only name something inside the destination folder.
bool IsSafeEntryName(const char* name) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    if (!path.empty() && path[0] == '/') return false;
    if (path.size() >= 2 && isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (IsParentComponent(path.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

const char* LastPart(const char* name) {
    const char* last = name;
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\') last = p + 1;
    return last;
}

// Creates the entry's folders below the destination one component at a time; an
// existing component must be a real folder, never a link that leads elsewhere.
bool EnsureEntryFolders(const char* folder, const std::string& entry_folder) {
    std::string relative;
    size_t start = 0;
    while (start < entry_folder.size()) {
        size_t end = entry_folder.find_first_of("/\\", start);
        if (end == std::string::npos) end = entry_folder.size();
        if (end > start) {
            if (!relative.empty()) relative += '\\';
            relative.append(entry_folder, start, end - start);
            char path[kPathSize];
            if (!JoinPath(path, folder, relative.c_str())) return false;
            const std::wstring wide = FromAnsi(path);
            const DWORD attributes = GetFileAttributesW(wide.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                if (!CreateDirectoryIfMissing(wide.c_str())) return false;
            } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                       !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                printf("error: %s is not a folder of the destination\n", path);
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

// A new file beside the target that nobody else has: created exclusively, so that
// no existing file or link is written through.
File CreateSideFile(const char* path, std::string* side) {
    for (unsigned n = 0; n < 100; ++n) {
        *side = std::string(path) + ".part" + std::to_string(n);
        File file(fopen(Win32PathToUnixA(side->c_str()).c_str(), "wbx"));
        if (file || errno != EEXIST) return file;
    }
    return nullptr;
}

bool FileExists(const char* windows_path) {
    File probe(fopen(Win32PathToUnixA(windows_path).c_str(), "rb"));
    return probe != nullptr;
}

int ExtractCurrentEntry(unzFile archive, int without_path, int overwrite, const char* password,
                        const char* folder) {
    char name[kNameSize];
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return err;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadSize]);
    if (!buffer) {
        printf("Error allocating memory\n");
        return UNZ_INTERNALERROR;
    }
    // minizip leaves a name that fills the buffer unterminated: the name is unknown.
    if (info.size_filename >= sizeof name) {
        printf("error: entry name longer than %zu bytes, skipped\n", sizeof name - 1);
        return UNZ_OK;
    }
    if (!IsSafeEntryName(name)) {
        printf("skipping entry outside the folder: %s\n", name);
        return UNZ_OK;
    }

    const char* last = LastPart(name);
    char path[kPathSize];
    if (*last == '\0') {
        if (without_path) return UNZ_OK;
        printf("creating directory: %s\n", name);
        if (!JoinPath(path, folder, name)) {
            printf("error: path too long: %s%s\n", folder, name);
            return UNZ_OK;
        }
        return EnsureEntryFolders(folder, name) ? UNZ_OK : UNZ_ERRNO;
    }

    const char* write_name = without_path ? last : name;
    if (!JoinPath(path, folder, write_name)) {
        printf("error: path too long: %s%s\n", folder, write_name);
        return UNZ_OK;
    }
    if (!overwrite && FileExists(path)) {
        printf("file %s exists, skipped\n", path);
        return UNZ_OK;
    }
    if (!without_path && last != name &&
        !EnsureEntryFolders(folder, std::string(name, last - name))) {
        printf("error opening %s\n", path);
        return UNZ_ERRNO;
    }

    err = unzOpenCurrentFilePassword(archive, password);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzOpenCurrentFilePassword\n", err);
        return err;
    }
    // The data goes to a side file and takes the entry's name only once it checks out.
    std::string side;
    File out = CreateSideFile(path, &side);
    if (!out) {
        printf("error opening %s\n", path);
        unzCloseCurrentFile(archive);
        return UNZ_ERRNO;
    }
    printf(" extracting: %s\n", path);
    ZPOS64_T written = 0;
    int read = 0;
    do {
        read = unzReadCurrentFile(archive, buffer.get(), kReadSize);
        if (read < 0) {
            printf("error %d with zipfile in unzReadCurrentFile\n", read);
            err = read;
            break;
        }
        written += static_cast<ZPOS64_T>(read);
        if (written > info.uncompressed_size) {
            printf("error: %s holds more than its declared size\n", name);
            err = UNZ_BADZIPFILE;
            break;
        }
        if (read > 0 && fwrite(buffer.get(), read, 1, out.get()) != 1) {
            printf("error in writing extracted file\n");
            err = UNZ_ERRNO;
            break;
        }
    } while (read > 0);
    // A write that fails only when the stream is flushed is a failed write too.
    if (fclose(out.release()) != 0 && err == UNZ_OK) {
        printf("error in writing extracted file\n");
        err = UNZ_ERRNO;
    }
    if (err == UNZ_OK && written != info.uncompressed_size) {
        printf("error: %s is shorter than its declared size\n", name);
        err = UNZ_BADZIPFILE;
    }
    if (err == UNZ_OK) {
        err = unzCloseCurrentFile(archive);  // checks the CRC of what was read
        if (err != UNZ_OK) printf("error %d with zipfile in unzCloseCurrentFile\n", err);
    } else {
        unzCloseCurrentFile(archive);
    }
    const std::wstring wide_side = FromAnsi(side.c_str());
    if (err == UNZ_OK &&
        !MoveFileExW(wide_side.c_str(), FromAnsi(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        printf("error opening %s\n", path);
        err = UNZ_ERRNO;
    }
    if (err != UNZ_OK) {
        DeleteFileW(wide_side.c_str());
        return err;
    }
    SetFileDateFromDos(path, static_cast<DWORD>(info.dosDate));
    return UNZ_OK;
}

// The sum of the entries' declared sizes, or false when the directory cannot be read.
bool DeclaredTotal(unzFile archive, ZPOS64_T* total) {
    *total = 0;
    for (int err = unzGoToFirstFile(archive); err == UNZ_OK; err = unzGoToNextFile(archive)) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if (info.uncompressed_size > ~ZPOS64_T{0} - *total) return false;
        *total += info.uncompressed_size;
    }
    return unzGoToFirstFile(archive) == UNZ_OK;
}

// The walk of both extractions; with a window, progress goes to it.
struct Progress {
    HWND window;
    UINT message;
    WPARAM wparam;
    int last_percent = -1;

    void Post(int percent) {
        PostMessageW(window, message, wparam, static_cast<LPARAM>(percent));
        last_percent = percent;
    }
};

// Answers the first error; 0 when every entry was extracted or skipped.
int WalkEntries(unzFile archive, int without_path, int overwrite, const char* password,
                const char* folder, Progress* progress) {
    unz_global_info global;
    int err = unzGetGlobalInfo(archive, &global);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzGetGlobalInfo \n", err);
        if (progress) progress->Post(-1);
        return err;
    }
    for (uLong i = 0; i < global.number_entry; ++i) {
        err = ExtractCurrentEntry(archive, without_path, overwrite, password, folder);
        if (err != UNZ_OK) {
            if (progress) progress->Post(-1);
            return err;
        }
        if (progress) {
            int percent = static_cast<int>((i + 1) * 100 / global.number_entry);
            if (percent != progress->last_percent) progress->Post(percent);
        }
        if (i + 1 < global.number_entry) {
            err = unzGoToNextFile(archive);
            if (err != UNZ_OK) {
                printf("error %d with zipfile in unzGoToNextFile\n", err);
                if (progress) progress->Post(-1);
                return err;
            }
        }
    }
    if (progress) progress->Post(100);
    return UNZ_OK;
}

// Opens the archive and checks that it stays within the bound before anything is written.
ZipArchive OpenBounded(const wchar_t* archive_path, unsigned long long max_output) {
    ZipArchive archive(unzOpen(Win32PathToUnix(archive_path).c_str()));
    if (!archive) return archive;
    ZPOS64_T total = 0;
    if (!DeclaredTotal(archive.get(), &total) || total > max_output) {
        printf("error: the archive expands beyond %llu bytes\n", max_output);
        archive.reset();
    }
    return archive;
}

}  // namespace

int ExtractAllEntries(void* archive, int without_path, int overwrite, const char* password,
                      const char* folder) {
    return WalkEntries(archive, without_path, overwrite, password, folder, nullptr);
}

bool ExtractZip(const wchar_t* archive_path, const wchar_t* dest_folder,
                unsigned long long max_output) {
    if (!archive_path || !dest_folder) return false;
    ZipArchive archive = OpenBounded(archive_path, max_output);
    if (!archive) return false;
    CreateDirectoryChain(dest_folder);
    std::string folder = ToAnsi(dest_folder);
    return ExtractAllEntries(archive.get(), 0, 1, nullptr, folder.c_str()) == UNZ_OK;
}

bool ExtractZipWithProgress(HWND window, UINT message, const wchar_t* archive_path,
                            const wchar_t* dest_folder, WPARAM wparam) {
    Progress progress{window, message, wparam};
    ZipArchive archive;
    if (archive_path && dest_folder) archive = OpenBounded(archive_path, kZipMaxOutput);
    if (!archive) {
        // Whoever waits for the messages must learn that nothing comes.
        progress.Post(-1);
        return false;
    }
    CreateDirectoryChain(dest_folder);
    std::string folder = ToAnsi(dest_folder);
    return WalkEntries(archive.get(), 0, 1, nullptr, folder.c_str(), &progress) == UNZ_OK;
}

void DecodeUnzipProgress(WPARAM wparam, LPARAM lparam, WPARAM* out_wparam, int* state,
                         int* percent) {
    int value = static_cast<int>(lparam);
    if (out_wparam) *out_wparam = wparam;
    if (percent) *percent = value;
    if (state) {
        *state = value == -1    ? UNZIP_PROGRESS_FAILED
                 : value == 100 ? UNZIP_PROGRESS_DONE
                                : UNZIP_PROGRESS_RUNNING;
    }
}

bool CreateDirectoryIfMissing(const wchar_t* path) {
    if (CreateDirectoryW(path, nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CreateDirectoryChain(const wchar_t* path) {
    if (!path) return false;
    if (PathIsRootW(path)) return true;
    size_t length = wcslen(path);
    if (length > MAX_PATH) return false;
    bool result = false;
    for (size_t i = 0; i < length; ++i) {
        if ((path[i] == L'\\' || path[i] == L'/') && i > 0)
            result = CreateDirectoryIfMissing(std::wstring(path, i).c_str());
    }
    return result;
}

bool SetFileDateFromDos(const char* path, DWORD dos_date_time) {
    if (!path) return false;
    ScopedHandle file(CreateFileW(FromAnsi(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return false;
    FILETIME local;
    FILETIME utc;
    if (!DosDateTimeToFileTime(HIWORD(dos_date_time), LOWORD(dos_date_time), &local)) return false;
    if (!LocalFileTimeToFileTime(&local, &utc)) return false;
    return SetFileTime(file.Get(), &utc, nullptr, &utc) != FALSE;
}

}  // namespace base

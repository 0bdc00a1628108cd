// RegSaveKeyW and RegRestoreKeyW: a key's subtree to and from a file in the
// store's own text form. The saved file is whole or absent, never partial: it is
// written beside its final name and renamed into place without replacing anything.
#include "registry_view.h"

#include <w32/error.h>
#include <w32/path.h>
#include <w32/whole_file.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

using namespace w32::reg;

namespace {

constexpr DWORD kRestoreFlags = REG_WHOLE_HIVE_VOLATILE | REG_NO_LAZY_FLUSH | REG_FORCE_RESTORE;

std::string parent_folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A missing file in an existing folder, or a folder that is not there.
LSTATUS missing_error(const std::string& path) {
    struct stat st;
    std::string dir = parent_folder(path);
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                : ERROR_PATH_NOT_FOUND;
}

LSTATUS open_error(int err, const std::string& path) {
    if (err == ENOENT) return missing_error(path);
    if (err == EISDIR) return ERROR_ACCESS_DENIED;
    return static_cast<LSTATUS>(w32::errno_to_win(err));
}

LSTATUS map_path(LPCWSTR file, std::string* out) {
    if (!file || !*file) return ERROR_INVALID_PARAMETER;
    *out = w32::to_unix(file);
    if (out->empty()) {
        bool share = (file[0] == L'\\' || file[0] == L'/') && (file[1] == L'\\' || file[1] == L'/');
        return share ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

LSTATUS read_file(const std::string& path, std::string* text) {
    int err = w32::read_whole_file(path, text);
    return err == 0 ? ERROR_SUCCESS : open_error(err, path);
}

LSTATUS write_new_file(const std::string& path, const std::string& text) {
    if (w32::write_protected(path)) return ERROR_ACCESS_DENIED;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return ERROR_ALREADY_EXISTS;
    const int err = w32::write_file_atomically(path, text, {.replace = false});
    if (err == 0) return ERROR_SUCCESS;
    if (err == EEXIST) return ERROR_ALREADY_EXISTS;
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : open_error(err, path);
}

}  // namespace

LSTATUS WINAPI RegSaveKeyW(HKEY key, LPCWSTR file, const LPSECURITY_ATTRIBUTES) {
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    std::string path;
    if ((s = map_path(file, &path)) != ERROR_SUCCESS) return s;
    std::unique_ptr<Key> tree;
    if ((s = copy_subtree(ref, &tree)) != ERROR_SUCCESS) return s;
    return write_new_file(path, serialize(*tree));
}

LSTATUS WINAPI RegRestoreKeyW(HKEY key, LPCWSTR file, DWORD flags) {
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    if (flags & ~kRestoreFlags) return ERROR_INVALID_PARAMETER;
    std::string path;
    if ((s = map_path(file, &path)) != ERROR_SUCCESS) return s;
    std::string text;
    if ((s = read_file(path, &text)) != ERROR_SUCCESS) return s;
    Key tree;
    if (!parse(text, &tree)) return ERROR_REGISTRY_CORRUPT;
    return replace_subtree(ref, std::move(tree));
}

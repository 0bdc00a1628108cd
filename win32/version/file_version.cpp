// Version information of a file on disk, read from the version resource in its
// resource section without loading it.
#include <w32/builtin.h>
#include <w32/elf_file.h>
#include <w32/error.h>
#include <w32/path.h>
#include <w32/resource_dir.h>
#include <w32/rsrc_format.h>

#include <errno.h>
#include <string.h>

#include <algorithm>

namespace {

constexpr WORD kVersionId = 1;

// The version resource's bytes of the file, or null with the last error set.
// The mapping in *file keeps them readable.
const w32::ResourceEntry* version_resource(LPCWSTR file_name, w32::MappedFile* file,
                                           w32::ResourceDirectory* dir) {
    if (!file_name || !*file_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = w32::to_unix(file_name);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    if (!file->open(path)) {
        w32::fail_errno();
        return nullptr;
    }
    w32::ElfSection sec;
    if (w32::find_elf_section(file->data(), file->size(), w32::rsrc::kResourceSection, &sec) !=
            w32::ElfLookup::Found ||
        !dir->parse(file->data() + sec.offset, sec.size)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    w32::ResName type, name;
    w32::ResName::from_arg(RT_VERSION, &type);
    w32::ResName::from_arg(MAKEINTRESOURCEW(kVersionId), &name);
    DWORD error = 0;
    const w32::ResourceEntry* e = dir->find(type, name, nullptr, &error);
    if (!e) {
        SetLastError(error);
        return nullptr;
    }
    w32::rsrc::VersionNode root;
    if (e->size < sizeof root || (memcpy(&root, e->data, sizeof root), root.length > e->size)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return e;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file_name, LPDWORD handle) {
    if (handle) *handle = 0;
    w32::MappedFile file;
    w32::ResourceDirectory dir;
    const w32::ResourceEntry* e = version_resource(file_name, &file, &dir);
    return e ? e->size : 0;
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR file_name, DWORD, DWORD size, LPVOID data) {
    if (!data || size == 0) return w32::fail(ERROR_INVALID_PARAMETER);
    w32::MappedFile file;
    w32::ResourceDirectory dir;
    const w32::ResourceEntry* e = version_resource(file_name, &file, &dir);
    if (!e) return FALSE;
    DWORD n = std::min(size, e->size);
    memcpy(data, e->data, n);
    // A short buffer keeps what fits, as on Windows; the root's length is cut
    // to match so that VerQueryValueW stays inside it.
    if (n < e->size && n >= sizeof(uint16_t)) {
        auto len = static_cast<uint16_t>(n);
        memcpy(data, &len, sizeof len);
    }
    return TRUE;
}

W32_BUILTIN_EXPORT("version.dll", GetFileVersionInfoSizeW);
W32_BUILTIN_EXPORT("version.dll", GetFileVersionInfoW);

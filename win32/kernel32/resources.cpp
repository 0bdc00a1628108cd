// Resources of a module, read from its resource section. An HRSRC is the
// address of the entry in the module's index; the data handle LoadResource
// answers is the address of the bytes, which stay put while the module is
// loaded.
#include <w32/builtin.h>
#include <w32/error.h>
#include <w32/module.h>
#include <w32/rsrc_format.h>

#include <string.h>

#include <algorithm>

namespace {

HRSRC find(HMODULE module, LPCWSTR type, LPCWSTR name, const WORD* lang) {
    w32::ResName t, n;
    if (!w32::ResName::from_arg(type, &t)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!w32::ResName::from_arg(name, &n)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    w32::ModulePtr m = w32::module_from_handle(module);
    if (!m) return nullptr;
    DWORD error = 0;
    const w32::ResourceDirectory* dir = m->resources(&error);
    const w32::ResourceEntry* e = dir ? dir->find(t, n, lang, &error) : nullptr;
    if (!e) {
        SetLastError(error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<w32::ResourceEntry*>(e));
}

// The entry behind a resource handle, checked against the loaded modules.
const w32::ResourceEntry* entry_of(HRSRC resource) {
    auto* e = reinterpret_cast<const w32::ResourceEntry*>(resource);
    if (!e || !w32::module_of_resource(e)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return e;
}

}  // namespace

HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return find(module, type, name, nullptr);
}

HRSRC WINAPI FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
    return find(module, type, name, &language);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    const w32::ResourceEntry* e = entry_of(resource);
    if (!e) return nullptr;
    return const_cast<uint8_t*>(e->data);
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    const w32::ResourceEntry* e = entry_of(resource);
    return e ? e->size : 0;
}

LPVOID WINAPI LockResource(HGLOBAL resource_data) { return resource_data; }

// Resources are never freed on their own; Windows answers FALSE too.
BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_max) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (buffer_max > 0) buffer[0] = L'\0';
    constexpr UINT per_block = w32::rsrc::kStringsPerBlock;
    HRSRC r = FindResourceW(instance, MAKEINTRESOURCEW((id & 0xFFFF) / per_block + 1), RT_STRING);
    if (!r) return 0;
    auto* e = reinterpret_cast<const w32::ResourceEntry*>(r);

    // Walk the block: each entry is its length in WCHARs, then its text.
    const uint8_t* p = e->data;
    const uint8_t* end = e->data + e->size;
    constexpr size_t unit = sizeof(WCHAR);
    for (UINT i = 0; i < id % per_block; ++i) {
        uint32_t len;
        if (end - p < static_cast<ptrdiff_t>(unit)) return 0;
        memcpy(&len, p, unit);
        if (static_cast<size_t>(end - p) / unit - 1 < len) return 0;
        p += unit * (len + 1);
    }
    uint32_t len;
    if (end - p < static_cast<ptrdiff_t>(unit)) return 0;
    memcpy(&len, p, unit);
    if (static_cast<size_t>(end - p) / unit - 1 < len) return 0;
    auto* text = reinterpret_cast<const WCHAR*>(p + unit);

    if (buffer_max == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = text;
        return static_cast<int>(len);
    }
    if (buffer_max < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = std::min<size_t>(len, static_cast<size_t>(buffer_max) - 1);
    memcpy(buffer, text, n * unit);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

W32_BUILTIN_EXPORT("kernel32.dll", FindResourceW);
W32_BUILTIN_EXPORT("kernel32.dll", FindResourceExW);
W32_BUILTIN_EXPORT("kernel32.dll", LoadResource);
W32_BUILTIN_EXPORT("kernel32.dll", SizeofResource);
W32_BUILTIN_EXPORT("kernel32.dll", LockResource);
W32_BUILTIN_EXPORT("kernel32.dll", FreeResource);
W32_BUILTIN_EXPORT("user32.dll", LoadStringW);

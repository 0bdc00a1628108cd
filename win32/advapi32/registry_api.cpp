// The registry functions over the merged view of registry_view.h.
#include "registry_view.h"

#include <w32/filetime.h>
#include <w32/text.h>

#include <string.h>

using namespace w32::reg;

namespace {

bool is_string_type(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::wstring_view name_of(LPCWSTR name) {
    return name ? std::wstring_view(name) : std::wstring_view();
}

// Copies a value's data out as RegQueryValueExW and RegEnumValueW do. A string
// stored without its terminator gets one, uncounted, when the buffer has room for it.
LSTATUS copy_data(const Value& v, LPDWORD type, LPBYTE data, LPDWORD data_size) {
    if (data && !data_size) return ERROR_INVALID_PARAMETER;
    if (type) *type = v.type;
    if (!data_size) return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(v.data.size());
    if (data) {
        if (*data_size < needed) {
            *data_size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed) memcpy(data, v.data.data(), needed);
        bool terminated =
            needed >= sizeof(WCHAR) &&
            reinterpret_cast<const WCHAR*>(v.data.data())[needed / sizeof(WCHAR) - 1] == 0;
        if (is_string_type(v.type) && needed % sizeof(WCHAR) == 0 && !terminated &&
            *data_size >= needed + sizeof(WCHAR)) {
            memset(data + needed, 0, sizeof(WCHAR));
        }
    }
    *data_size = needed;
    return ERROR_SUCCESS;
}

LSTATUS resolve_with(HKEY key, REGSAM needed, KeyRef* ref) {
    LSTATUS s = resolve(key, ref);
    if (s != ERROR_SUCCESS) return s;
    return (ref->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD, REGSAM desired, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    Path sub;
    if ((s = split_path(sub_key, &sub)) != ERROR_SUCCESS) return s;
    ref.path.insert(ref.path.end(), sub.begin(), sub.end());
    ref.access = normalize_access(desired);
    if ((s = key_exists(ref)) != ERROR_SUCCESS) return s;
    HKEY h = new_key_handle(std::move(ref));
    if (!h) return ERROR_NOT_ENOUGH_MEMORY;
    *result = h;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM desired,
                               const LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (!result || !sub_key) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    Path sub;
    if ((s = split_path(sub_key, &sub)) != ERROR_SUCCESS) return s;
    bool created = false;
    if (sub.empty()) {
        s = key_exists(ref);
        if (s == ERROR_FILE_NOT_FOUND) s = ERROR_KEY_DELETED;
    } else {
        KeyRef whole = ref;
        whole.path.insert(whole.path.end(), sub.begin(), sub.end());
        s = key_exists(whole);
        if (s == ERROR_FILE_NOT_FOUND) {
            s = (ref.access & KEY_CREATE_SUB_KEY) ? create_key(ref, sub, &created)
                                                  : ERROR_ACCESS_DENIED;
        }
    }
    if (s != ERROR_SUCCESS) return s;
    ref.path.insert(ref.path.end(), sub.begin(), sub.end());
    ref.access = normalize_access(desired);
    HKEY h = new_key_handle(std::move(ref));
    if (!h) return ERROR_NOT_ENOUGH_MEMORY;
    *result = h;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    if (is_predefined(key)) return ERROR_SUCCESS;
    return close_key_handle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD data_size) {
    if (data && !data_size) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS s = resolve_with(key, KEY_QUERY_VALUE, &ref);
    if (s != ERROR_SUCCESS) return s;
    Value v;
    if ((s = query_value(ref, name_of(value_name), &v)) != ERROR_SUCCESS) return s;
    return copy_data(v, type, data, data_size);
}

LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD, DWORD type, const BYTE* data,
                              DWORD data_size) {
    if (!data && data_size) return ERROR_NOACCESS;
    KeyRef ref;
    LSTATUS s = resolve_with(key, KEY_SET_VALUE, &ref);
    if (s != ERROR_SUCCESS) return s;
    Value v;
    v.name = name_of(value_name);
    v.type = type;
    // Stored as given, a string without its terminator too: the size read back is
    // the size set.
    if (data_size) v.data.assign(data, data + data_size);
    return set_value(ref, std::move(v));
}

LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR value_name) {
    KeyRef ref;
    LSTATUS s = resolve_with(key, KEY_SET_VALUE, &ref);
    if (s != ERROR_SUCCESS) return s;
    return delete_value(ref, name_of(value_name));
}

LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR sub_key) {
    if (!sub_key) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS s = resolve(key, &ref);
    if (s != ERROR_SUCCESS) return s;
    Path sub;
    if ((s = split_path(sub_key, &sub)) != ERROR_SUCCESS) return s;
    return delete_key(ref, sub);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD,
                             LPWSTR key_class, LPDWORD class_chars, PFILETIME last_write) {
    if (!name || !name_chars || (key_class && !class_chars)) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS s = resolve_with(key, KEY_ENUMERATE_SUB_KEYS, &ref);
    if (s != ERROR_SUCCESS) return s;
    std::wstring sub;
    uint64_t time = 0;
    if ((s = subkey_at(ref, index, &sub, &time)) != ERROR_SUCCESS) return s;
    if (sub.size() + 1 > *name_chars) return ERROR_MORE_DATA;
    wmemcpy(name, sub.c_str(), sub.size() + 1);
    *name_chars = static_cast<DWORD>(sub.size());
    if (key_class) {
        if (*class_chars < 1) return ERROR_MORE_DATA;
        key_class[0] = 0;
        *class_chars = 0;
    }
    if (last_write) *last_write = w32::make_filetime(time);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD,
                             LPDWORD type, LPBYTE data, LPDWORD data_size) {
    if (!name || !name_chars || (data && !data_size)) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    LSTATUS s = resolve_with(key, KEY_QUERY_VALUE, &ref);
    if (s != ERROR_SUCCESS) return s;
    Value v;
    if ((s = value_at(ref, index, &v)) != ERROR_SUCCESS) return s;
    if (v.name.size() + 1 > *name_chars) return ERROR_MORE_DATA;
    wmemcpy(name, v.name.c_str(), v.name.size() + 1);
    *name_chars = static_cast<DWORD>(v.name.size());
    return copy_data(v, type, data, data_size);
}

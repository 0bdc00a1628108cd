// SHGetValueW / SHGetValueA: open, query and close in one call.
#include <windows.h>

#include <w32/text.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// A raw query of one value; the data sized to what the store holds.
LSTATUS read_value(HKEY key, LPCWSTR sub_key, LPCWSTR value, DWORD* type, std::vector<BYTE>* data) {
    HKEY opened = key;
    if (sub_key && *sub_key) {
        LSTATUS s = RegOpenKeyExW(key, sub_key, 0, KEY_QUERY_VALUE, &opened);
        if (s != ERROR_SUCCESS) return s;
    }
    LSTATUS s;
    for (;;) {
        DWORD size = static_cast<DWORD>(data->size());
        s = RegQueryValueExW(opened, value, nullptr, type, data->empty() ? nullptr : data->data(),
                             &size);
        if (s == ERROR_SUCCESS && size <= data->size()) {
            data->resize(size);
            break;
        }
        if (s != ERROR_SUCCESS && s != ERROR_MORE_DATA) break;
        data->resize(size);  // another process may grow it in between: ask again
    }
    if (opened != key) RegCloseKey(opened);
    return s;
}

std::wstring units_of(const std::vector<BYTE>& data) {
    std::wstring s(data.size() / sizeof(WCHAR), L'\0');
    if (!s.empty()) memcpy(s.data(), data.data(), s.size() * sizeof(WCHAR));
    return s;
}

// %NAME% replaced from the environment; unknown names stay as written.
std::wstring expand(const std::wstring& s) {
    std::wstring out;
    size_t i = 0;
    while (i < s.size()) {
        size_t open = s.find(L'%', i);
        size_t close = open == std::wstring::npos ? open : s.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            out.append(s, i, std::wstring::npos);
            break;
        }
        out.append(s, i, open - i);
        std::string name = w32::to_utf8(std::wstring_view(s).substr(open + 1, close - open - 1));
        const char* v = name.empty() ? nullptr : getenv(name.c_str());
        if (v) {
            out += w32::from_utf8(v);
            i = close + 1;
        } else {
            out.append(s, open, close - open);
            i = close;  // the closing '%' may open the next name
        }
    }
    return out;
}

// Expands a REG_EXPAND_SZ value in place and reports it as REG_SZ.
void expand_value(DWORD* type, std::vector<BYTE>* data) {
    if (*type != REG_EXPAND_SZ) return;
    std::wstring s = expand(units_of(*data));
    data->assign(reinterpret_cast<const BYTE*>(s.data()),
                 reinterpret_cast<const BYTE*>(s.data() + s.size()));
    *type = REG_SZ;
}

LSTATUS hand_out(DWORD type, const std::vector<BYTE>& data, DWORD* out_type, void* out,
                 DWORD* out_size) {
    if (out_type) *out_type = type;
    if (!out_size) return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(data.size());
    if (out) {
        if (*out_size < needed) {
            *out_size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed) memcpy(out, data.data(), needed);
    }
    *out_size = needed;
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI SHGetValueW(HKEY key, LPCWSTR sub_key, LPCWSTR value, DWORD* type, void* data,
                           DWORD* data_size) {
    if (data && !data_size) return ERROR_INVALID_PARAMETER;
    DWORD t = REG_NONE;
    std::vector<BYTE> bytes;
    LSTATUS s = read_value(key, sub_key, value, &t, &bytes);
    if (s != ERROR_SUCCESS) return s;
    expand_value(&t, &bytes);
    return hand_out(t, bytes, type, data, data_size);
}

LSTATUS WINAPI SHGetValueA(HKEY key, LPCSTR sub_key, LPCSTR value, DWORD* type, void* data,
                           DWORD* data_size) {
    if (data && !data_size) return ERROR_INVALID_PARAMETER;
    std::wstring wsub = sub_key ? w32::from_utf8(sub_key) : std::wstring();
    std::wstring wvalue = value ? w32::from_utf8(value) : std::wstring();
    DWORD t = REG_NONE;
    std::vector<BYTE> bytes;
    LSTATUS s = read_value(key, sub_key ? wsub.c_str() : nullptr, value ? wvalue.c_str() : nullptr,
                           &t, &bytes);
    if (s != ERROR_SUCCESS) return s;
    expand_value(&t, &bytes);
    if ((t == REG_SZ || t == REG_MULTI_SZ) && bytes.size() % sizeof(WCHAR) == 0) {
        std::string narrow = w32::to_utf8(units_of(bytes));
        bytes.assign(narrow.begin(), narrow.end());
    }
    return hand_out(t, bytes, type, data, data_size);
}

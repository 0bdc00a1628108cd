// UrlUnescapeW: "%XX" escapes become characters. Each escape is one character of that
// value, as on Windows, unless URL_UNESCAPE_AS_UTF8 asks for UTF-8 sequences.
#include <windows.h>
#include <shlwapi.h>

#include <w32/text.h>

#include <string>
#include <string_view>

namespace {

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The byte of an escape at s[i], or -1 when s[i] does not start one.
int escaped_byte(std::wstring_view s, size_t i) {
    if (s[i] != L'%' || i + 2 >= s.size()) return -1;
    int hi = hex_value(s[i + 1]), lo = hex_value(s[i + 2]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

std::wstring unescape(std::wstring_view s, DWORD flags) {
    std::wstring out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        if ((flags & URL_DONT_UNESCAPE_EXTRA_INFO) && (s[i] == L'?' || s[i] == L'#')) {
            out.append(s.substr(i));
            break;
        }
        int b = escaped_byte(s, i);
        if (b < 0) {
            out += s[i++];
            continue;
        }
        if (!(flags & URL_UNESCAPE_AS_UTF8) || b < 0x80) {
            out += static_cast<wchar_t>(b);
            i += 3;
            continue;
        }
        std::string bytes;
        while (i < s.size() && (b = escaped_byte(s, i)) >= 0x80) {
            bytes += static_cast<char>(b);
            i += 3;
        }
        out += w32::from_utf8(bytes);
    }
    return out;
}

}  // namespace

HRESULT WINAPI UrlUnescapeW(LPWSTR url, LPWSTR unescaped, LPDWORD size, DWORD flags) {
    if (!url) return E_INVALIDARG;
    std::wstring result = unescape(url, flags);
    if (flags & URL_UNESCAPE_INPLACE) {
        result.copy(url, result.size());  // never longer than the original
        url[result.size()] = L'\0';
        return S_OK;
    }
    if (!unescaped || !size) return E_INVALIDARG;
    if (*size <= result.size()) {
        *size = static_cast<DWORD>(result.size() + 1);
        return E_POINTER;
    }
    result.copy(unescaped, result.size());
    unescaped[result.size()] = L'\0';
    *size = static_cast<DWORD>(result.size());
    return S_OK;
}

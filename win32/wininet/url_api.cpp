// URL splitting and canonical form.
#include "url_text.h"

#include <wininet.h>

#include <cstring>
#include <string>

namespace {

using namespace w32::inet;

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// ICU_DECODE: each "%XX" becomes the character of that value.
std::wstring decode_escapes(std::wstring_view s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        int hi = -1, lo = -1;
        if (s[i] == L'%' && i + 2 < s.size() && (hi = hex_value(s[i + 1])) >= 0 &&
            (lo = hex_value(s[i + 2])) >= 0) {
            out += static_cast<wchar_t>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Windows' component rules: a length of zero means "not wanted"; a null pointer
// with a length asks for a pointer into the URL, which stays null for a component
// the URL does not have; a buffer gets a copy, decoded when asked.
bool put_component(const wchar_t* url, Span span, bool decode, LPWSTR& ptr, DWORD& len) {
    if (len == 0) return true;
    if (!ptr) {
        ptr = span.len ? const_cast<LPWSTR>(url + span.pos) : nullptr;
        len = static_cast<DWORD>(span.len);
        return true;
    }
    std::wstring_view raw(url + span.pos, span.len);
    const std::wstring text = decode ? decode_escapes(raw) : std::wstring(raw);
    if (len <= text.size()) {
        len = static_cast<DWORD>(text.size() + 1);
        return false;
    }
    std::memcpy(ptr, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    len = static_cast<DWORD>(text.size());
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI InternetCrackUrlW(LPCWSTR url, DWORD url_length, DWORD flags,
                              LPURL_COMPONENTSW components) {
    if (!url || !components || components->dwStructSize != sizeof(URL_COMPONENTSW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring_view text = url_length == 0 || url_length == 0xFFFFFFFFu
                                 ? std::wstring_view(url)
                                 : std::wstring_view(url, url_length);
    if (text.empty()) {  // no URL at all is a bad argument, not a URL without a scheme
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CrackedUrl parts;
    DWORD err = 0;
    if (!crack_url(text, parts, err)) {
        SetLastError(err);
        return FALSE;
    }
    // The path carries the query unless the caller asks for it apart.
    Span path = parts.path;
    if (components->dwExtraInfoLength == 0) path.len += parts.extra.len;
    const bool decode = (flags & (ICU_DECODE | ICU_ESCAPE)) != 0;
    bool ok = true;
    ok &= put_component(url, parts.scheme, decode, components->lpszScheme,
                        components->dwSchemeLength);
    ok &= put_component(url, parts.host, decode, components->lpszHostName,
                        components->dwHostNameLength);
    ok &= put_component(url, parts.user, decode, components->lpszUserName,
                        components->dwUserNameLength);
    ok &= put_component(url, parts.password, decode, components->lpszPassword,
                        components->dwPasswordLength);
    ok &= put_component(url, path, decode, components->lpszUrlPath, components->dwUrlPathLength);
    ok &= put_component(url, parts.extra, decode, components->lpszExtraInfo,
                        components->dwExtraInfoLength);
    components->nScheme = parts.scheme_number;
    components->nPort = parts.port;
    if (!ok) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI InternetCanonicalizeUrlW(LPCWSTR url, LPWSTR buffer, LPDWORD buffer_length,
                                     DWORD flags) {
    if (!url || !*url || !buffer_length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CrackedUrl parts;
    DWORD err = 0;
    if (!crack_url(url, parts, err)) {
        // Its documented errors name a text without a scheme an invalid URL.
        SetLastError(err == ERROR_INTERNET_UNRECOGNIZED_SCHEME ? ERROR_INTERNET_INVALID_URL : err);
        return FALSE;
    }
    std::wstring out = canonicalize_url(url, flags);
    if (!buffer || *buffer_length <= out.size()) {
        *buffer_length = static_cast<DWORD>(out.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, out.c_str(), (out.size() + 1) * sizeof(WCHAR));
    *buffer_length = static_cast<DWORD>(out.size());
    return TRUE;
}

}  // extern "C"

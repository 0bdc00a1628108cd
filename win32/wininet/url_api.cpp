// URL splitting and canonical form.
#include "url_text.h"

#include <wininet.h>

#include <cstring>
#include <string>

namespace {

using namespace w32::inet;

// Windows' component rules: a length of zero means "not wanted"; a null pointer
// with a length asks for a pointer into the URL; a buffer gets a copy.
bool put_component(const wchar_t* url, Span span, LPWSTR& ptr, DWORD& len) {
    if (len == 0) return true;
    if (!ptr) {
        ptr = const_cast<LPWSTR>(url + span.pos);
        len = static_cast<DWORD>(span.len);
        return true;
    }
    if (len <= span.len) {
        len = static_cast<DWORD>(span.len + 1);
        return false;
    }
    std::memcpy(ptr, url + span.pos, span.len * sizeof(WCHAR));
    ptr[span.len] = 0;
    len = static_cast<DWORD>(span.len);
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI InternetCrackUrlW(LPCWSTR url, DWORD url_length, DWORD flags,
                              LPURL_COMPONENTSW components) {
    (void)flags;
    if (!url || !components || components->dwStructSize != sizeof(URL_COMPONENTSW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring_view text = url_length == 0 || url_length == 0xFFFFFFFFu
                                 ? std::wstring_view(url)
                                 : std::wstring_view(url, url_length);
    CrackedUrl parts;
    DWORD err = 0;
    if (!crack_url(text, parts, err)) {
        SetLastError(err);
        return FALSE;
    }
    // The path carries the query unless the caller asks for it apart.
    Span path = parts.path;
    if (components->dwExtraInfoLength == 0) path.len += parts.extra.len;
    bool ok = true;
    ok &= put_component(url, parts.scheme, components->lpszScheme, components->dwSchemeLength);
    ok &= put_component(url, parts.host, components->lpszHostName, components->dwHostNameLength);
    ok &= put_component(url, parts.user, components->lpszUserName, components->dwUserNameLength);
    ok &= put_component(url, parts.password, components->lpszPassword,
                        components->dwPasswordLength);
    ok &= put_component(url, path, components->lpszUrlPath, components->dwUrlPathLength);
    ok &= put_component(url, parts.extra, components->lpszExtraInfo,
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
    if (!url || !buffer_length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CrackedUrl parts;
    DWORD err = 0;
    if (!crack_url(url, parts, err)) {
        SetLastError(err);
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

// URL texts: splitting into components, canonical form, and escaping a request path.
#pragma once

#include <wininet.h>

#include <string>
#include <string_view>

namespace w32::inet {

struct Span {
    size_t pos = 0, len = 0;
};

struct CrackedUrl {
    Span scheme, user, password, host, path, extra;
    INTERNET_SCHEME scheme_number = INTERNET_SCHEME_UNKNOWN;
    INTERNET_PORT port = 0;
};

// Splits url; false with a Windows error code in err.
bool crack_url(std::wstring_view url, CrackedUrl& out, DWORD& err);
INTERNET_SCHEME scheme_number(std::wstring_view scheme);
// The canonical form for the ICU_* flags.
std::wstring canonicalize_url(std::wstring_view url, DWORD flags);
// A request path as it goes on the wire: blanks, controls and '#' escaped;
// characters below 256 stand for one byte each, others go as UTF-8.
std::string escape_request_path(std::wstring_view path);

}  // namespace w32::inet

// Reading a sent request's answer: headers, body, position.
#include "internet_handles.h"

#include <wininet.h>

#include <w32/text.h>

#include <cstring>
#include <strings.h>

namespace {

using namespace w32::inet;

// The request's transfer once its answer has started, else null with an error.
std::shared_ptr<HttpTransfer> started_transfer(const std::shared_ptr<Request>& req) {
    auto t = req->transfer();
    if (!t || !t->started()) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return nullptr;
    }
    return t;
}

const char* header_name(DWORD level) {
    switch (level) {
    case HTTP_QUERY_CONTENT_TYPE: return "Content-Type";
    case HTTP_QUERY_CONTENT_LENGTH: return "Content-Length";
    case HTTP_QUERY_DATE: return "Date";
    case HTTP_QUERY_EXPIRES: return "Expires";
    case HTTP_QUERY_LAST_MODIFIED: return "Last-Modified";
    case HTTP_QUERY_CONNECTION: return "Connection";
    case HTTP_QUERY_LOCATION: return "Location";
    case HTTP_QUERY_SERVER: return "Server";
    case HTTP_QUERY_ACCEPT_RANGES: return "Accept-Ranges";
    case HTTP_QUERY_ETAG: return "ETag";
    default: return nullptr;
    }
}

// Answers text (wide, byte counts) or a number, with Windows' buffer rules.
BOOL answer(const std::wstring& text, DWORD modifiers, LPVOID buffer, LPDWORD length,
            bool multi_string = false) {
    if (modifiers & HTTP_QUERY_FLAG_NUMBER) {
        if (text.empty() || text.find_first_not_of(L"0123456789 ") != std::wstring::npos) {
            SetLastError(ERROR_HTTP_INVALID_QUERY_REQUEST);
            return FALSE;
        }
        if (!buffer || *length < sizeof(DWORD)) {
            *length = sizeof(DWORD);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        DWORD value = static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
        std::memcpy(buffer, &value, sizeof value);
        *length = sizeof(DWORD);
        return TRUE;
    }
    // Raw headers as a multi-string carry their final empty string in the text.
    size_t chars = text.size() + (multi_string ? 0 : 1);
    DWORD need = static_cast<DWORD>(chars * sizeof(WCHAR));
    if (!buffer || *length < need) {
        *length = need;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.data(), text.size() * sizeof(WCHAR));
    if (!multi_string) static_cast<WCHAR*>(buffer)[text.size()] = 0;
    *length = static_cast<DWORD>((multi_string ? text.size() - 1 : text.size()) * sizeof(WCHAR));
    return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI HttpQueryInfoW(HINTERNET request, DWORD info_level, LPVOID buffer,
                           LPDWORD buffer_length, LPDWORD index) {
    auto req = find_as<Request>(request, HandleType::Request);
    if (!req) return FALSE;
    if (!buffer_length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto t = started_transfer(req);
    if (!t) return FALSE;
    DWORD level = info_level & HTTP_QUERY_HEADER_MASK;
    DWORD modifiers = info_level & HTTP_QUERY_MODIFIER_FLAGS_MASK;
    if (modifiers & (HTTP_QUERY_FLAG_SYSTEMTIME | HTTP_QUERY_FLAG_REQUEST_HEADERS)) {
        SetLastError(ERROR_HTTP_INVALID_QUERY_REQUEST);
        return FALSE;
    }
    switch (level) {
    case HTTP_QUERY_STATUS_CODE:
        return answer(std::to_wstring(t->status()), modifiers, buffer, buffer_length);
    case HTTP_QUERY_STATUS_TEXT:
        return answer(w32::from_utf8(t->reason()), modifiers, buffer, buffer_length);
    case HTTP_QUERY_VERSION:
        return answer(w32::from_utf8(t->version()), modifiers, buffer, buffer_length);
    case HTTP_QUERY_RAW_HEADERS_CRLF:
    case HTTP_QUERY_RAW_HEADERS: {
        bool crlf = level == HTTP_QUERY_RAW_HEADERS_CRLF;
        std::string raw;
        for (const auto& line : t->raw_lines()) {
            raw += line;
            raw += crlf ? std::string("\r\n") : std::string(1, '\0');
        }
        raw += crlf ? std::string("\r\n") : std::string(1, '\0');
        return answer(w32::from_utf8(raw), modifiers & ~HTTP_QUERY_FLAG_NUMBER, buffer,
                      buffer_length, !crlf);
    }
    default: break;
    }
    std::string name;
    if (level == HTTP_QUERY_CUSTOM) {
        if (!buffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        name = w32::to_utf8(static_cast<const WCHAR*>(buffer));
    } else if (const char* n = header_name(level)) {
        name = n;
    } else {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    DWORD wanted = index ? *index : 0, seen = 0;
    for (const auto& [key, value] : t->headers()) {
        if (strcasecmp(key.c_str(), name.c_str()) != 0) continue;
        if (seen++ < wanted) continue;
        BOOL ok = answer(w32::from_utf8(value), modifiers, buffer, buffer_length);
        if (ok && index) ++*index;
        return ok;
    }
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytes_to_read,
                             LPDWORD bytes_read) {
    auto req = find_as<Request>(file, HandleType::Request);
    if (!req) return FALSE;
    if (!bytes_read || (!buffer && bytes_to_read > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *bytes_read = 0;
    std::lock_guard lock(req->use);
    auto t = started_transfer(req);
    if (!t) return FALSE;
    DWORD got = 0, err = 0;
    bool ok = t->read(buffer, bytes_to_read, got, err);
    *bytes_read = got;
    if (!ok) SetLastError(err);
    return ok ? TRUE : FALSE;
}

BOOL WINAPI InternetQueryDataAvailable(HINTERNET file, LPDWORD bytes_available, DWORD flags,
                                       DWORD_PTR context) {
    (void)flags;
    (void)context;
    auto req = find_as<Request>(file, HandleType::Request);
    if (!req) return FALSE;
    if (!bytes_available) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(req->use);
    auto t = started_transfer(req);
    if (!t) return FALSE;
    DWORD n = 0, err = 0;
    if (!t->available(n, err)) {
        SetLastError(err);
        return FALSE;
    }
    *bytes_available = n;
    return TRUE;
}

// The answer streams once from the server: the position only moves forward,
// over bytes that are read and dropped.
DWORD WINAPI InternetSetFilePointer(HINTERNET file, LONG distance_to_move,
                                    PLONG distance_to_move_high, DWORD move_method,
                                    DWORD_PTR context) {
    (void)context;
    auto req = find_as<Request>(file, HandleType::Request);
    if (!req) return INVALID_SET_FILE_POINTER;
    std::lock_guard lock(req->use);
    auto t = started_transfer(req);
    if (!t) return INVALID_SET_FILE_POINTER;
    long long distance = distance_to_move_high
                             ? (static_cast<long long>(*distance_to_move_high) << 32) |
                                   static_cast<DWORD>(distance_to_move)
                             : distance_to_move;
    long long target;
    switch (move_method) {
    case FILE_BEGIN: target = distance; break;
    case FILE_CURRENT: target = static_cast<long long>(t->consumed()) + distance; break;
    default:
        SetLastError(ERROR_INTERNET_INVALID_OPERATION);
        return INVALID_SET_FILE_POINTER;
    }
    if (target < static_cast<long long>(t->consumed())) {
        SetLastError(ERROR_INTERNET_INVALID_OPERATION);
        return INVALID_SET_FILE_POINTER;
    }
    char scratch[16384];
    while (static_cast<long long>(t->consumed()) < target) {
        long long left = target - static_cast<long long>(t->consumed());
        DWORD want = static_cast<DWORD>(std::min<long long>(left, sizeof scratch)), got = 0, err = 0;
        if (!t->read(scratch, want, got, err)) {
            SetLastError(err);
            return INVALID_SET_FILE_POINTER;
        }
        if (got == 0) {
            // The answer ends before the position.
            SetLastError(ERROR_INTERNET_INVALID_OPERATION);
            return INVALID_SET_FILE_POINTER;
        }
    }
    if (distance_to_move_high) *distance_to_move_high = static_cast<LONG>(target >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

}  // extern "C"

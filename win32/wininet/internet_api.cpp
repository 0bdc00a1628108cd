// Sessions, connections, requests and their options.
#include "internet_handles.h"
#include "request_setup.h"
#include "url_text.h"

#include <wininet.h>

#include <w32/text.h>

namespace {

using namespace w32::inet;

std::wstring text_or(LPCWSTR s, const wchar_t* fallback = L"") {
    return s ? std::wstring(s) : std::wstring(fallback);
}

std::wstring header_text(LPCWSTR headers, DWORD length) {
    if (!headers) return {};
    if (length == 0 || length == 0xFFFFFFFFu) return headers;
    return std::wstring(headers, length);
}

BOOL send(const std::shared_ptr<Request>& req, const std::wstring& headers, LPVOID body,
          DWORD body_length) {
    std::lock_guard lock(req->use);
    TransferSetup setup = make_setup(*req, headers, body, body_length);
    auto transfer = std::make_shared<HttpTransfer>();
    req->set_transfer(transfer);
    DWORD err = 0;
    if (!transfer->start(setup, err)) {
        SetLastError(err);
        return FALSE;
    }
    return TRUE;
}

DWORD* timeout_field(InternetHandle* h, Timeouts& fallback, DWORD option) {
    Timeouts& t = h ? h->timeouts : fallback;
    switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: return &t.connect;
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_DATA_SEND_TIMEOUT: return &t.send;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT: return &t.receive;
    default: return nullptr;
    }
}

}  // namespace

extern "C" {

HINTERNET WINAPI InternetOpenW(LPCWSTR agent, DWORD access_type, LPCWSTR proxy,
                               LPCWSTR proxy_bypass, DWORD flags) {
    if (flags & INTERNET_FLAG_ASYNC) {
        // Every call here completes before it returns.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT &&
        access_type != INTERNET_OPEN_TYPE_PROXY &&
        access_type != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s = std::make_shared<Session>();
    s->agent = text_or(agent);
    s->access_type = access_type;
    s->proxy = text_or(proxy);
    s->proxy_bypass = text_or(proxy_bypass);
    return add_handle(s, nullptr);
}

HINTERNET WINAPI InternetConnectW(HINTERNET internet, LPCWSTR server_name,
                                  INTERNET_PORT server_port, LPCWSTR user_name,
                                  LPCWSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context) {
    (void)user_name;
    (void)password;
    auto session = find_as<Session>(internet, HandleType::Session);
    if (!session) return nullptr;
    if (!server_name || !*server_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto c = std::make_shared<Connection>();
    c->session = session;
    c->host = server_name;
    c->secure = (flags & INTERNET_FLAG_SECURE) != 0;
    c->port = server_port != INTERNET_INVALID_PORT_NUMBER
                  ? server_port
                  : (c->secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    c->context = context;
    return add_handle(c, internet);
}

HINTERNET WINAPI HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR object_name,
                                  LPCWSTR version, LPCWSTR referrer, LPCWSTR* accept_types,
                                  DWORD flags, DWORD_PTR context) {
    auto conn = find_as<Connection>(connect, HandleType::Connection);
    if (!conn) return nullptr;
    auto r = std::make_shared<Request>();
    r->session = conn->session;
    r->host = conn->host;
    r->port = conn->port;
    r->secure = conn->secure || (flags & INTERNET_FLAG_SECURE);
    r->verb = verb && *verb ? verb : L"GET";
    r->object = object_name && *object_name ? object_name : L"/";
    r->version = version && *version ? version : L"HTTP/1.1";
    r->referrer = text_or(referrer);
    for (LPCWSTR* t = accept_types; t && *t; ++t) r->accept_types.emplace_back(*t);
    r->flags = flags;
    r->context = context ? context : conn->context;
    return add_handle(r, connect);
}

BOOL WINAPI HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headers_length,
                             LPVOID optional, DWORD optional_length) {
    auto req = find_as<Request>(request, HandleType::Request);
    if (!req) return FALSE;
    return send(req, header_text(headers, headers_length), optional, optional_length);
}

HINTERNET WINAPI InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                  DWORD headers_length, DWORD flags, DWORD_PTR context) {
    auto session = find_as<Session>(internet, HandleType::Session);
    if (!session) return nullptr;
    if (!url) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::wstring_view text(url);
    CrackedUrl parts;
    DWORD err = 0;
    if (!crack_url(text, parts, err)) {
        SetLastError(err);
        return nullptr;
    }
    if (parts.scheme_number != INTERNET_SCHEME_HTTP && parts.scheme_number != INTERNET_SCHEME_HTTPS) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    auto r = std::make_shared<Request>();
    r->session = session;
    r->host = text.substr(parts.host.pos, parts.host.len);
    r->port = parts.port;
    r->secure = parts.scheme_number == INTERNET_SCHEME_HTTPS;
    r->verb = L"GET";
    // The fragment stays with the caller.
    std::wstring object(text.substr(parts.path.pos, parts.path.len + parts.extra.len));
    object = object.substr(0, object.find(L'#'));
    r->object = object.empty() ? L"/" : object;
    r->version = L"HTTP/1.1";
    r->flags = flags;
    r->context = context;
    HINTERNET h = add_handle(r, internet);
    if (!h) return nullptr;
    if (!send(r, header_text(headers, headers_length), nullptr, 0)) {
        DWORD e = GetLastError();
        InternetCloseHandle(h);
        SetLastError(e);
        return nullptr;
    }
    return h;
}

BOOL WINAPI InternetCloseHandle(HINTERNET internet) {
    return close_handle_tree(internet) ? TRUE : FALSE;
}

BOOL WINAPI InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer,
                               DWORD buffer_length) {
    std::shared_ptr<InternetHandle> h;
    if (internet && !(h = find_handle(internet))) return FALSE;
    std::lock_guard lock(defaults_mutex());
    DWORD* field = timeout_field(h.get(), default_timeouts(), option);
    if (!field) {
        SetLastError(ERROR_INTERNET_INVALID_OPTION);
        return FALSE;
    }
    if (!buffer || buffer_length < sizeof(DWORD)) {
        SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
        return FALSE;
    }
    *field = *static_cast<DWORD*>(buffer);
    return TRUE;
}

BOOL WINAPI InternetQueryOptionW(HINTERNET internet, DWORD option, LPVOID buffer,
                                 LPDWORD buffer_length) {
    std::shared_ptr<InternetHandle> h;
    if (internet && !(h = find_handle(internet))) return FALSE;
    if (!buffer_length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(defaults_mutex());
    DWORD* field = timeout_field(h.get(), default_timeouts(), option);
    if (!field) {
        SetLastError(ERROR_INTERNET_INVALID_OPTION);
        return FALSE;
    }
    if (!buffer || *buffer_length < sizeof(DWORD)) {
        *buffer_length = sizeof(DWORD);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *static_cast<DWORD*>(buffer) = *field;
    *buffer_length = sizeof(DWORD);
    return TRUE;
}

}  // extern "C"

#include "base/http_down_impl.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kUrlBufferChars = 2084;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_CACHE_IF_NET_FAIL | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded";
constexpr DWORD kNoLengthStart = 8192;
// The most a response body may make Request allocate: its answers are small, and a
// server's announced length is not to be trusted with the process's memory.
constexpr DWORD kMaxBody = 4u << 20;
// MB_YESNO | MB_ICONQUESTION, and the answer IDYES.
constexpr UINT kAskYesNo = 36;
constexpr int kIdYes = 6;

// Closes whichever of the three handles are open, request first.
struct InternetHandles {
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    ~InternetHandles() {
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (internet) InternetCloseHandle(internet);
    }
};

struct FileCloser {
    FILE* f = nullptr;
    ~FileCloser() {
        if (f) fclose(f);
    }
};

const wchar_t* or_null(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

// The query for the overwrite question goes through the user library looked up at
// run time; without one the file is kept.
int AskOverwrite(const wchar_t* path) {
    using MessageBoxFn = int(WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, UINT);
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return 0;
    auto box = reinterpret_cast<MessageBoxFn>(GetProcAddress(user32, "MessageBoxW"));
    int answer = box ? box(nullptr, path, L"文件存在，是否覆盖", kAskYesNo) : 0;
    FreeLibrary(user32);
    return answer;
}

}  // namespace

CHttpDownImpl::CHttpDownImpl()
    : observer_(nullptr), block_size_(4096), agent_(L"HTTPDOWNIMPL"), timeout_(30000) {}

CHttpDownImpl::~CHttpDownImpl() = default;

void CHttpDownImpl::Status(const wchar_t* text) {
    if (notifying()) observer_->OnStatus(text);
}

void CHttpDownImpl::Error(const wchar_t* call, DWORD code) {
    if (notifying()) observer_->OnError(call, code);
}

void CHttpDownImpl::ApplyTimeouts(HINTERNET internet) {
    DWORD value = timeout_;
    InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
    InternetSetOptionW(internet, INTERNET_OPTION_DATA_SEND_TIMEOUT, &value, sizeof value);
    InternetSetOptionW(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &value, sizeof value);
}

std::wstring CHttpDownImpl::NormalizeUrl(const std::wstring& url) {
    if (url.compare(0, 7, L"http://") == 0) return url;
    return L"http://" + url;
}

wchar_t* CHttpDownImpl::CanonicalizeUrl(const wchar_t* url, DWORD flags) {
    DWORD length = kUrlBufferChars;
    auto* buffer = static_cast<wchar_t*>(malloc(length * sizeof(wchar_t)));
    if (!buffer) return nullptr;
    if (InternetCanonicalizeUrlW(url, buffer, &length, flags)) return buffer;
    free(buffer);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
    buffer = static_cast<wchar_t*>(malloc(length * sizeof(wchar_t)));
    if (!buffer) return nullptr;
    if (InternetCanonicalizeUrlW(url, buffer, &length, flags)) return buffer;
    free(buffer);
    return nullptr;
}

bool CHttpDownImpl::CrackUrl(const wchar_t* url, INTERNET_SCHEME* scheme, std::wstring* host,
                             std::wstring* path) {
    wchar_t* canonical = CanonicalizeUrl(url, ICU_BROWSER_MODE);
    if (!canonical) return false;
    std::wstring host_buf(kUrlBufferChars, L'\0'), path_buf(kUrlBufferChars, L'\0');
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host_buf.data();
    parts.dwHostNameLength = kUrlBufferChars;
    parts.lpszUrlPath = path_buf.data();
    parts.dwUrlPathLength = kUrlBufferChars;
    BOOL cracked = InternetCrackUrlW(canonical, 0, 0, &parts);
    free(canonical);
    if (!cracked) return false;
    if (scheme) *scheme = parts.nScheme;
    bool unescaped = UrlUnescapeW(path_buf.data(), nullptr, nullptr,
                                  URL_UNESCAPE_INPLACE | URL_DONT_UNESCAPE_EXTRA_INFO) == S_OK;
    if (host) *host = host_buf.c_str();
    if (path) *path = path_buf.c_str();
    return unescaped;
}

bool CHttpDownImpl::QueryHeaders(HINTERNET request, wchar_t** buffer, DWORD* length) {
    if (!buffer || !length) return false;
    for (;;) {
        if (HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, *buffer, length, nullptr))
            return true;
        DWORD err = GetLastError();
        if (err == ERROR_HTTP_HEADER_NOT_FOUND) return true;
        if (err != ERROR_INSUFFICIENT_BUFFER) return false;
        free(*buffer);
        *length *= 2;
        *buffer = static_cast<wchar_t*>(malloc(*length));
        if (!*buffer) return false;
    }
}

bool CHttpDownImpl::ReadInto(HINTERNET request, BYTE** out, DWORD* size, bool require_body) {
    DWORD length = 0, field = sizeof length;
    if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &field,
                       nullptr)) {
        if (notifying()) observer_->OnContentLength(length);
        if (length > kMaxBody) {
            *size = 0;
            return false;
        }
        *size = length;
        *out = static_cast<BYTE*>(malloc(length));
        if (!*out) return false;
        DWORD got = 0;
        // The layer's reads fill the buffer or reach the end, so one read is enough.
        if (InternetReadFile(request, *out, length, &got) && got == length) return true;
        *size = got;
        return false;
    }

    if (notifying()) observer_->OnContentLength(-1);
    DWORD capacity = kNoLengthStart;
    auto* block = static_cast<BYTE*>(calloc(capacity, 1));
    if (!block) return false;
    DWORD available = 0;
    // A zero would make every later read of this object ask for nothing.
    if (InternetQueryDataAvailable(request, &available, 0, 0) && available > 0)
        block_size_ = available;
    if (block_size_ == 0) block_size_ = 4096;
    DWORD total = 0;
    for (;;) {
        // Room for a whole block before every read.
        if (capacity - total < block_size_) {
            DWORD grown = capacity + block_size_;
            auto* bigger = static_cast<BYTE*>(malloc(grown));
            if (!bigger) {
                free(block);
                *out = nullptr;
                *size = 0;
                return false;
            }
            std::memcpy(bigger, block, total);
            free(block);
            block = bigger;
            capacity = grown;
        }
        DWORD got = 0;
        if (!InternetReadFile(request, block + total, block_size_, &got) || got == 0) break;
        total += got;
        if (total > kMaxBody) {
            free(block);
            *out = nullptr;
            *size = 0;
            return false;
        }
    }
    *out = block;
    *size = total;
    return total != 0 || !require_body;
}

bool CHttpDownImpl::Request(const wchar_t* url, BYTE** out, DWORD* size, const BYTE* body,
                            DWORD body_length, const wchar_t* verb, bool notify,
                            bool require_body) {
    if (!url || !out || !size) return false;
    *out = nullptr;
    notify_ = notify;
    bool result = false;
    Status(L"正在解析url...");
    std::wstring host, path;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    if (CrackUrl(NormalizeUrl(url).c_str(), &scheme, &host, &path) &&
        scheme == INTERNET_SCHEME_HTTP) {
        InternetHandles h;
        if (!OpenRequest(host, path, verb ? verb : L"GET", &h.internet, &h.connection,
                         &h.request)) {
            // OpenRequest reported the step that failed.
        } else if (!HttpSendRequestW(h.request, kFormHeader, static_cast<DWORD>(-1),
                                     const_cast<BYTE*>(body), body ? body_length : 0)) {
            Error(L"HttpSendRequest", GetLastError());
        } else {
            Status(L"正在获取文件大小请稍候...");
            DWORD status = 200, field = sizeof status;
            if (HttpQueryInfoW(h.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &field, nullptr) &&
                status == 404)
                return false;
            result = ReadInto(h.request, out, size, require_body);
            if (!result && *out) {
                // A failed request hands out nothing the caller would have to free.
                free(*out);
                *out = nullptr;
            }
        }
    }
    if (notifying()) observer_->OnFinished(nullptr, result);
    return result;
}

bool CHttpDownImpl::GetUrlHeaders(const wchar_t* url, wchar_t** out) {
    if (!url || !out) return false;
    *out = nullptr;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring normal = NormalizeUrl(url);
    if (!CrackUrl(normal.c_str(), &scheme, nullptr, nullptr) || scheme != INTERNET_SCHEME_HTTP)
        return false;
    InternetHandles h;
    h.internet = InternetOpenW(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, or_null(proxy_),
                               or_null(proxy_bypass_), 0);
    if (!h.internet) return false;
    h.request = InternetOpenUrlW(h.internet, normal.c_str(), nullptr, 0, kRequestFlags, 0);
    if (!h.request) return false;
    wchar_t* text = nullptr;
    DWORD length = 0;
    if (!QueryHeaders(h.request, &text, &length) || !text) {
        free(text);
        return false;
    }
    *out = text;
    return true;
}

void CHttpDownImpl::ReportHeaders(HINTERNET request) {
    wchar_t* text = nullptr;
    DWORD length = 0;
    if (QueryHeaders(request, &text, &length) && text) {
        if (observer_) observer_->OnHeaders(text, length / sizeof(wchar_t));
    } else {
        Error(L"QueryHeaders", 0);
    }
    free(text);
}

bool CHttpDownImpl::DownloadUrl(const wchar_t* url, const wchar_t* file_path, bool want_headers,
                                bool resume) {
    if (!url || !file_path) return false;
    notify_ = true;
    std::wstring normal = NormalizeUrl(url);
    if (observer_) observer_->OnUrl(normal.c_str());
    Status(L"正在连接服务器，请稍候...");
    InternetHandles h;
    h.internet = InternetOpenW(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, or_null(proxy_),
                               or_null(proxy_bypass_), 0);
    if (!h.internet) {
        Error(L"InternetOpen", GetLastError());
    } else {
        ApplyTimeouts(h.internet);
        h.request = InternetOpenUrlW(h.internet, normal.c_str(), nullptr, 0, kRequestFlags, 0);
        if (!h.request) {
            Error(L"HttpSendRequest", GetLastError());
        } else {
            if (want_headers) ReportHeaders(h.request);
            return SaveToFile(h.request, file_path, resume);
        }
    }
    if (observer_) observer_->OnFinished(file_path, false);
    return false;
}

bool CHttpDownImpl::DownloadFile(const wchar_t* url, const wchar_t* file_path, bool want_headers,
                                 bool resume, const BYTE* body, DWORD body_length) {
    if (!url || !file_path) return false;
    notify_ = true;
    std::wstring normal = NormalizeUrl(url);
    if (observer_) observer_->OnUrl(normal.c_str());
    Status(L"正在解析url...");
    std::wstring host, path;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    if (CrackUrl(normal.c_str(), &scheme, &host, &path) && scheme == INTERNET_SCHEME_HTTP) {
        InternetHandles h;
        if (!OpenRequest(host, path, L"GET", &h.internet, &h.connection, &h.request)) {
            // OpenRequest reported the step that failed.
        } else if (!HttpSendRequestW(h.request, body ? kFormHeader : nullptr,
                                     body ? static_cast<DWORD>(-1) : 0, const_cast<BYTE*>(body),
                                     body ? body_length : 0)) {
            Error(L"HttpSendRequest", GetLastError());
        } else {
            if (want_headers) ReportHeaders(h.request);
            return SaveToFile(h.request, file_path, resume);
        }
    }
    if (observer_) observer_->OnFinished(file_path, false);
    return false;
}

bool CHttpDownImpl::OpenRequest(const std::wstring& host, const std::wstring& path,
                                const wchar_t* verb, HINTERNET* internet, HINTERNET* connection,
                                HINTERNET* request) {
    Status(L"正在连接服务器...");
    *internet = InternetOpenW(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, or_null(proxy_),
                              or_null(proxy_bypass_), 0);
    if (!*internet) {
        Error(L"InternetOpen", GetLastError());
        return false;
    }
    ApplyTimeouts(*internet);
    // The port in the URL is not used: the connection always goes to port 80.
    *connection = InternetConnectW(*internet, host.c_str(), INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!*connection) {
        Error(L"InternetConnect", GetLastError());
        return false;
    }
    Status(L"已经连接服务器，请求下载文件...");
    LPCWSTR accept[] = {L"Accept: */*", nullptr};
    *request = HttpOpenRequestW(*connection, verb, path.c_str(), L"HTTP/1.0", nullptr, accept,
                                kRequestFlags, 0);
    if (!*request) {
        Error(L"HttpOpenRequest", GetLastError());
        return false;
    }
    return true;
}

bool CHttpDownImpl::SaveToFile(HINTERNET request, const wchar_t* file_path, bool resume) {
    bool result = false;
    Status(L"正在获取文件大小请稍候...");
    DWORD length = 0, field = sizeof length;
    bool known = HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                &length, &field, nullptr) != FALSE;
    if (observer_) observer_->OnContentLength(known ? static_cast<LONGLONG>(length) : -1);

    // An error page is not the file.
    DWORD status = 200;
    field = sizeof status;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &field,
                       nullptr) &&
        status >= 400) {
        Status(L"下载文件出错");
        if (observer_) observer_->OnFinished(file_path, false);
        return false;
    }

    FileCloser file;
    ULONGLONG offset = 0;
    bool transfer = true;
    if (resume && PathFileExistsW(file_path)) {
        file.f = _wfopen(file_path, L"r+b");
        ULONGLONG existing = 0;
        if (file.f && fseeko(file.f, 0, SEEK_END) == 0)
            existing = static_cast<ULONGLONG>(ftello(file.f));
        if (known && existing == length) {
            // Already complete.
            transfer = false;
            result = true;
        } else if (known && existing > length) {
            fclose(file.f);
            file.f = nullptr;
            if (AskOverwrite(file_path) == kIdYes)
                file.f = _wfopen(file_path, L"wb");
            else
                transfer = false;
        } else if (file.f) {
            LONG high = static_cast<LONG>(existing >> 32);
            DWORD pos = existing == 0 ? INVALID_SET_FILE_POINTER
                                      : InternetSetFilePointer(request, static_cast<LONG>(existing),
                                                               &high, FILE_BEGIN, 0);
            if (pos != INVALID_SET_FILE_POINTER) {
                wchar_t text[100];
                swprintf(text, 100, L"断点续传...，开始位置%u", static_cast<unsigned>(existing));
                Status(text);
                offset = existing;
            } else {
                Status(L"设置服务器断点失败,将重新下载整个文件");
                // Starting over: what the file held must not linger past the new end.
                fclose(file.f);
                file.f = _wfopen(file_path, L"wb");
            }
        }
    } else {
        file.f = _wfopen(file_path, L"wb");
    }

    if (transfer && file.f) {
        Status(L"开始下载文件");
        DWORD chunk = block_size_ ? block_size_ : 4096;
        if (known && length < chunk) chunk = length ? length : 1;
        std::string buffer(chunk, '\0');
        ULONGLONG done = offset;
        ULONGLONG remaining = known ? length - offset : ~0ULL;
        result = true;
        while (remaining > 0) {
            DWORD want = static_cast<DWORD>(remaining < chunk ? remaining : chunk);
            DWORD got = 0;
            if (!InternetReadFile(request, buffer.data(), want, &got)) {
                Status(L"下载文件出错");
                result = false;
                break;
            }
            if (got == 0) {
                // The server ended early: a known length is then not reached.
                if (known) {
                    Status(L"下载文件出错");
                    result = false;
                }
                break;
            }
            if (fwrite(buffer.data(), 1, got, file.f) != got) {
                Status(L"下载文件出错");
                result = false;
                break;
            }
            done += got;
            if (known) remaining -= got;
            if (observer_) observer_->OnProgress(done);
            if (observer_ && observer_->IsCancelled()) {
                Status(L"取消文件下载");
                result = false;
                break;
            }
        }
    } else if (transfer) {
        result = false;
    }
    if (file.f) {
        if (fclose(file.f) != 0) result = false;
        file.f = nullptr;
    }
    if (observer_) observer_->OnFinished(file_path, result);
    return result;
}

std::string UrlEncode(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            (c != 0 && std::strchr("!$()*,-._", c))) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// A synchronous HTTP client over WinINet for one request at a time: a GET or form
// POST answered in memory, downloads into a file with resumption, raw headers.
// Not for concurrent use: one object per request, one thread at a time.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// Receives what a request or download does; the caller keeps ownership.
class HttpDownObserver {
public:
    virtual void OnUrl(const wchar_t* url) = 0;
    virtual void OnStatus(const wchar_t* text) = 0;
    virtual void OnHeaders(const wchar_t* headers, DWORD length) = 0;
    virtual void OnProgress(ULONGLONG bytes_in_file) = 0;
    // -1 when the server gives no length.
    virtual void OnContentLength(LONGLONG length) = 0;
    // path is null for Request.
    virtual void OnFinished(const wchar_t* path, bool result) = 0;
    virtual bool IsCancelled() = 0;
    // call: "InternetOpen", "InternetConnect", "HttpOpenRequest", "HttpSendRequest" or
    // "QueryHeaders"; code: GetLastError() (0 for "QueryHeaders").
    virtual void OnError(const wchar_t* call, DWORD code) = 0;

protected:
    ~HttpDownObserver() = default;
};

class CHttpDownImpl {
public:
    CHttpDownImpl();
    virtual ~CHttpDownImpl();
    CHttpDownImpl(const CHttpDownImpl&) = delete;
    CHttpDownImpl& operator=(const CHttpDownImpl&) = delete;

    void SetObserver(HttpDownObserver* observer) { observer_ = observer; }
    void SetBlockSize(DWORD size) { block_size_ = size; }
    void SetAgent(const wchar_t* agent) { agent_ = agent ? agent : L""; }
    const wchar_t* GetAgent() const { return agent_.c_str(); }
    void SetProxy(const wchar_t* proxy) { proxy_ = proxy ? proxy : L""; }
    const wchar_t* GetProxy() const { return proxy_.c_str(); }
    void SetProxyBypass(const wchar_t* bypass) { proxy_bypass_ = bypass ? bypass : L""; }
    const wchar_t* GetProxyBypass() const { return proxy_bypass_.c_str(); }
    void SetTimeout(DWORD ms) { timeout_ = ms; }

    // Connect, data-send and data-receive time-outs of the handle.
    void ApplyTimeouts(HINTERNET internet);

    // Sends verb (GET or POST) with the form body to url on port 80 and answers the
    // whole body in *out (malloc'd; the caller frees it) with its size. On false
    // *out is null. require_body: a body of unknown length must not be empty. A body
    // above 4 MiB, announced or received, fails without being held.
    bool Request(const wchar_t* url, BYTE** out, DWORD* size, const BYTE* body,
                 DWORD body_length, const wchar_t* verb, bool notify, bool require_body);

    // "http://" put in front unless the URL starts with it (case-sensitively).
    static std::wstring NormalizeUrl(const std::wstring& url);
    // Canonical (browser mode), cracked, path unescaped up to its query.
    bool CrackUrl(const wchar_t* url, INTERNET_SCHEME* scheme, std::wstring* host,
                  std::wstring* path);
    // malloc'd canonical text, or null.
    wchar_t* CanonicalizeUrl(const wchar_t* url, DWORD flags);
    // Raw response headers into *buffer (malloc'd, regrown as needed), length in bytes.
    bool QueryHeaders(HINTERNET request, wchar_t** buffer, DWORD* length);
    // The raw headers of an HTTP URL (malloc'd into *out).
    bool GetUrlHeaders(const wchar_t* url, wchar_t** out);
    bool DownloadUrl(const wchar_t* url, const wchar_t* file_path, bool want_headers,
                     bool resume);
    bool DownloadFile(const wchar_t* url, const wchar_t* file_path, bool want_headers,
                      bool resume, const BYTE* body, DWORD body_length);
    // Writes the answer's body into the file, resuming after what it holds when asked.
    bool SaveToFile(HINTERNET request, const wchar_t* file_path, bool resume);

private:
    bool notifying() const { return notify_ && observer_; }
    void Status(const wchar_t* text);
    void Error(const wchar_t* call, DWORD code);
    // Opens the session, the connection to port 80 and the request, reporting each step;
    // the handles opened so far are left to the caller to close.
    bool OpenRequest(const std::wstring& host, const std::wstring& path, const wchar_t* verb,
                     HINTERNET* internet, HINTERNET* connection, HINTERNET* request);
    bool ReadInto(HINTERNET request, BYTE** out, DWORD* size, bool require_body);
    // Reports the raw headers when asked; false when they could not be had.
    void ReportHeaders(HINTERNET request);

    HttpDownObserver* observer_;
    DWORD block_size_;
    std::wstring agent_;
    std::wstring proxy_;
    std::wstring proxy_bypass_;
    DWORD timeout_;
    bool notify_ = true;
};

// Every byte but ASCII letters, digits and ! $ ( ) * , - . _ as %XX (upper-case).
std::string UrlEncode(const std::string& text);

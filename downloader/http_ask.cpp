#include "downloader/http_ask.h"

#include <stdlib.h>
#include <string.h>
#include <urlmon.h>

#include "base/controller.h"
#include "base/http_down_impl.h"
#include "downloader/thread_manager.h"
#include "gui/timer.h"

namespace downloader {

namespace {

constexpr DWORD kRequestTimeoutMs = 10000;
constexpr DWORD kUserAgentOption = 0x10000001;

}  // namespace

struct HttpAsk::Pimpl : Gui::Pte<Pimpl> {
    struct HTTPASK_DOWNLOADURL_PARAM {
        std::wstring url;
        std::string post_data;
        std::wstring method;
        std::string response;
        bool succeeded = false;
    };

    ~Pimpl() { Gui::KillTimeCallback(this); }

    void AsyncRequest(const std::wstring& url, const std::string& post_data,
                      const std::wstring& method, HttpResultCallback done);
    void DoRequest(HTTPASK_DOWNLOADURL_PARAM& param, HttpResultCallback done);
    // The pool's task: the request record travels in the task by value.
    void RunRequest(HTTPASK_DOWNLOADURL_PARAM param, HttpResultCallback done) {
        DoRequest(param, done);
    }
};

void HttpAsk::Pimpl::AsyncRequest(const std::wstring& url, const std::string& post_data,
                                  const std::wstring& method, HttpResultCallback done) {
    HTTPASK_DOWNLOADURL_PARAM param;
    param.url = url;
    param.post_data = post_data;
    param.method = method;
    GetThreadManager()->GetHttpPool()->PostTask(
        Gui::MakePteCallback(this, &Pimpl::RunRequest, std::move(param), std::move(done)));
}

void HttpAsk::Pimpl::DoRequest(HTTPASK_DOWNLOADURL_PARAM& param, HttpResultCallback done) {
    const std::wstring agent = GetIEUserAgent() + L"kelto";
    CHttpDownImpl request;
    request.SetTimeout(kRequestTimeoutMs);
    request.SetAgent(agent.c_str());
    BYTE* body = nullptr;
    DWORD size = 0;
    const bool ok = request.Request(
        param.url.c_str(), &body, &size, reinterpret_cast<const BYTE*>(param.post_data.data()),
        static_cast<DWORD>(param.post_data.size()), param.method.c_str(), false, true);
    if (!ok) {
        free(body);
        if (done) Gui::PostCallback(Gui::MakeCallbackCall(done, false, std::string()), this);
        return;
    }
    char* copy = static_cast<char*>(malloc(size_t(size) + 1));
    if (!copy) {
        free(body);
        return;
    }
    memcpy(copy, body, size);
    free(body);
    copy[size] = '\0';
    param.succeeded = true;
    param.response = copy;  // up to the first zero byte
    if (done) Gui::PostCallback(Gui::MakeCallbackCall(done, true, param.response), this);
    free(copy);
}

HttpAsk::HttpAsk() : pimpl_(std::make_unique<Pimpl>()) {}

HttpAsk::~HttpAsk() = default;

void HttpAsk::Get(const std::wstring& url, const std::string& post_data, HttpResultCallback done) {
    pimpl_->AsyncRequest(url, post_data, L"GET", std::move(done));
}

void HttpAsk::Post(const std::wstring& url, const std::string& post_data, HttpResultCallback done) {
    pimpl_->AsyncRequest(url, post_data, L"POST", std::move(done));
}

bool HttpAsk::SyncGet(std::string& response, const std::wstring& url,
                      const std::string& post_data) {
    Pimpl::HTTPASK_DOWNLOADURL_PARAM param;
    param.url = url;
    param.post_data = post_data;
    param.method = L"GET";
    pimpl_->DoRequest(param, HttpResultCallback());
    response = param.response;
    return param.succeeded;
}

std::wstring GetIEUserAgent() {
    char agent[1024] = {};
    DWORD length = 0;
    if (FAILED(UrlMkGetSessionOption(kUserAgentOption, agent, sizeof(agent) - 1, &length, 0)))
        return L"";
    const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, agent, -1, nullptr, 0);
    if (n <= 0) return L"";
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, agent, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return wide;
}

}  // namespace downloader

downloader::HttpAsk* GetHttpAsk() { return base::GetRegisteredObject<downloader::HttpAsk>(); }

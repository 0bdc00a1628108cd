// Sends HTTP requests without blocking the caller: each runs on the HTTP pool and its
// outcome, when a result callback is given, comes back on the user-interface thread.
#pragma once

#include <memory>
#include <string>

#include "base/object.h"
#include "gui/core/callback.h"
#include "gui/core/pte.h"

namespace downloader {

// Called with (succeeded, response body).
using HttpResultCallback = Gui::Callback2<bool, const std::string&>;

class HttpAsk : public base::LogicObject {
public:
    HttpAsk();
    ~HttpAsk() override;

    void Get(const std::wstring& url, const std::string& post_data, HttpResultCallback done);
    void Post(const std::wstring& url, const std::string& post_data, HttpResultCallback done);
    // On the calling thread.
    bool SyncGet(std::string& response, const std::wstring& url, const std::string& post_data);

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

// The browser's user agent of this machine.
std::wstring GetIEUserAgent();

}  // namespace downloader

downloader::HttpAsk* GetHttpAsk();

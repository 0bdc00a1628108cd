#include "downloader/report_manager.h"

#include <wchar.h>

#include <sstream>

#include "base/controller.h"
#include "base/string_util.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/config_manager.h"
#include "downloader/http_ask.h"

#ifndef GDL_STATS_HOST
#error "GDL_STATS_HOST names the statistics host of this build"
#endif

namespace downloader {

struct ReportManager::Pimpl {
    void Report(int status, int flag, const std::wstring& first_time);
    static std::wstring GetChannelParams();
    static std::wstring BuildReportUrl(int status, const std::wstring& first_time);
};

std::wstring ReportManager::Pimpl::GetChannelParams() {
    ConfigManager* config = GetConfigManager();
    return L"?user_from=" + EscapeQueryValue(config->GetUserFrom()) + L"&user_channel=" +
           EscapeQueryValue(config->GetUserChannel()) + L"&user_subsite=" +
           EscapeQueryValue(config->GetUserSubsite());
}

// The flag tells a new download from a continued one; it does not reach the address.
void ReportManager::Pimpl::Report(int status, int /*flag*/, const std::wstring& first_time) {
    GetHttpAsk()->Get(BuildReportUrl(status, first_time), std::string(), HttpResultCallback());
}

std::wstring ReportManager::Pimpl::BuildReportUrl(int status, const std::wstring& first_time) {
    ConfigManager* config = GetConfigManager();
    std::wostringstream url;
    url << L"http://" << base::Utf8ToWide(GDL_STATS_HOST) << L"/b/duan/s/ginstall/"
        << GetChannelParams();
    // A value never adds a key of its own (a channel "a&status=99" stays one value).
    const std::pair<const wchar_t*, std::wstring> fields[] = {{L"mid", GetMachineId()},
                                                              {L"q_mid", config->GetMid()},
                                                              {L"q_m2", config->GetM2()},
                                                              {L"q_mac", config->GetMac()},
                                                              {L"status", std::to_wstring(status)},
                                                              {L"gkey", GetGameKey()},
                                                              {L"ver", GetOwnFileVersion()},
                                                              {L"first_time", first_time}};
    for (const auto& [key, value] : fields) url << L'&' << key << L'=' << EscapeQueryValue(value);
    return url.str();
}

std::wstring EscapeQueryValue(const std::wstring& value) {
    std::wstring out;
    for (wchar_t c : value) {
        if (c == L'&' || c == L'=' || c == L'+' || c == L'%' || c == L'#') {
            wchar_t code[4];
            swprintf(code, 4, L"%%%02X", static_cast<unsigned>(c));
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

ReportManager::ReportManager() : pimpl_(std::make_unique<Pimpl>()) {}

ReportManager::~ReportManager() = default;

void ReportManager::ReportClientStart() { pimpl_->Report(7, -1, L""); }
void ReportManager::ReportDownloadStart() { pimpl_->Report(8, 1, L""); }
void ReportManager::ReportDownloadContinue() { pimpl_->Report(8, 0, L""); }
void ReportManager::ReportDownloadComplete() { pimpl_->Report(9, -1, L""); }
void ReportManager::ReportInstall() { pimpl_->Report(10, -1, L""); }

}  // namespace downloader

downloader::ReportManager* GetReportManager() {
    return base::GetRegisteredObject<downloader::ReportManager>();
}

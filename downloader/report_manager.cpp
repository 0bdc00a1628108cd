#include "downloader/report_manager.h"

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
    return L"?user_from=" + config->GetUserFrom() + L"&user_channel=" + config->GetUserChannel() +
           L"&user_subsite=" + config->GetUserSubsite();
}

// The flag tells a new download from a continued one; it does not reach the address.
void ReportManager::Pimpl::Report(int status, int /*flag*/, const std::wstring& first_time) {
    GetHttpAsk()->Get(BuildReportUrl(status, first_time), std::string(), HttpResultCallback());
}

std::wstring ReportManager::Pimpl::BuildReportUrl(int status, const std::wstring& first_time) {
    ConfigManager* config = GetConfigManager();
    std::wostringstream url;
    url << L"http://" << base::Utf8ToWide(GDL_STATS_HOST) << L"/b/duan/s/ginstall/"
        << GetChannelParams() << L"&mid=" << GetMachineId() << L"&q_mid=" << config->GetMid()
        << L"&q_m2=" << config->GetM2() << L"&q_mac=" << config->GetMac() << L"&status=" << status
        << L"&gkey=" << GetGameKey() << L"&ver=" << GetOwnFileVersion() << L"&first_time="
        << first_time;
    return url.str();
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

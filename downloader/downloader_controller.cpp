#include "downloader/downloader_controller.h"

#include <windows.h>

#include <crtext.h>

#include "base/log.h"
#include "base/path_util.h"
#include "downloader/app_globals.h"
#include "downloader/client_manager.h"
#include "downloader/config_manager.h"

namespace downloader {

DownloaderController::~DownloaderController() {
    GetClientManager()->Exit();
    if (log_file_) {
        // The logger must not keep a closed stream.
        COutput2FILE::Stream() = nullptr;
        fclose(log_file_);
        log_file_ = nullptr;
    }
}

void DownloaderController::OpenLog() {
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::wstring path = base::GetExeDir() + L"\\" + GetLogName() + L"_" +
                              std::to_wstring(today.wYear) + L"-" + std::to_wstring(today.wMonth) +
                              L"-" + std::to_wstring(today.wDay) + L".txt";
    // Only a file made here gets the byte-order mark. Made exclusively, so that a copy
    // starting at the same moment never empties a log another copy has written to.
    HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(created, "\xFF\xFE", 2, &written, nullptr);
        CloseHandle(created);
    }
    log_file_ = _wfsopen(path.c_str(), L"a+b", _SH_DENYNO);
    COutput2FILE::Stream() = log_file_;
    CFileLog::ReportingLevel(LCAT_ALL) = LL_MESSAGE;
    LOG_MESSAGE << "welcome to kelto " << GetGameKey() << " downloader developing ...";
}

bool DownloaderController::Start(const std::wstring& command_line) {
    if (GetConfigManager()->IsLogEnabled()) OpenLog();
    return GetClientManager()->Start(command_line);
}

}  // namespace downloader

#include "downloader/config_manager.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <wchar.h>

#include <mutex>
#include <optional>

#include "base/controller.h"
#include "base/drive_util.h"
#include "base/ini_util.h"
#include "base/log.h"
#include "base/path_util.h"
#include "base/string_util.h"
#include "base/time_util.h"
#include "base/zip_extract.h"
#include "downloader/app_globals.h"
#include "downloader/app_util.h"
#include "downloader/download_manager.h"
#include "skin/skin.h"
#include "syslib/load_dll.h"

namespace downloader {

namespace {

using SelvikIdFunction = bool (*)(char* buffer, int size);

constexpr DWORD kIniValueChars = 260;

std::wstring DailyLogName(const SYSTEMTIME& day) {
    return GetLogName() + L"_" + std::to_wstring(day.wYear) + L"-" + std::to_wstring(day.wMonth) +
           L"-" + std::to_wstring(day.wDay) + L".txt";
}

// The day number of a calendar date (days from 1970-01-01), none when there is no such date.
std::optional<int64_t> DayNumber(const SYSTEMTIME& day) {
    SYSTEMTIME midnight = {};
    midnight.wYear = day.wYear, midnight.wMonth = day.wMonth, midnight.wDay = day.wDay;
    // Never -1 for a midnight: -1 stands for a date that does not exist.
    const int64_t seconds = base::GetUnixTime(midnight);
    if (seconds == -1) return std::nullopt;
    return seconds / 86400;
}

// The date a daily log's name carries, when the name is exactly one of DailyLogName's.
bool DateOfLogName(const std::wstring& name, SYSTEMTIME& day) {
    const std::wstring head = GetLogName() + L"_";
    if (name.compare(0, head.size(), head) != 0) return false;
    unsigned year = 0, month = 0, date = 0;
    wchar_t tail[8] = {};
    if (swscanf(name.c_str() + head.size(), L"%4u-%2u-%2u%7ls", &year, &month, &date, tail) != 4)
        return false;
    day = SYSTEMTIME{};
    day.wYear = static_cast<WORD>(year), day.wMonth = static_cast<WORD>(month);
    day.wDay = static_cast<WORD>(date);
    return DailyLogName(day) == name;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return L"";
    return path;
}

}  // namespace

struct ConfigManager::Pimpl {
    int log_level_ = 0;
    int retain_days_ = 3;
    // The download path is also read by the download pool (the save folder).
    std::mutex download_path_lock_;
    std::wstring download_path_;
    std::wstring newspages_url_, domain_url_, game_name_;
    std::wstring user_channel_, user_from_, user_subsite_, save_user_channel_, save_file_name_;
    std::wstring mid_, m2_, mac_;

    void LoadLogSettings();
    void DeleteOldLogs();
    bool LoadConfig();
    void LoadMachineIds();
    bool UnzipUtil();
};

void ConfigManager::Pimpl::LoadLogSettings() {
    const std::wstring ini = base::GetExeDir() + L"\\log.ini";
    log_level_ = static_cast<int>(GetPrivateProfileIntW(L"log", L"level", 0, ini.c_str()));
    retain_days_ = static_cast<int>(GetPrivateProfileIntW(L"log", L"retain_days", 3, ini.c_str()));
    DeleteOldLogs();
}

void ConfigManager::Pimpl::DeleteOldLogs() {
    if (log_level_ >= 3) return;
    // A log is kept while its local calendar day lies within the retained days up to
    // today: the cost follows the files in the folder, whatever the number of days.
    const std::optional<int64_t> today = DayNumber(base::GetDateAfterDays(0));
    if (!today) return;
    const std::wstring folder = base::GetExeDir();
    const std::wstring log_name = GetLogName();
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (name.find(log_name) == std::wstring::npos) continue;
        SYSTEMTIME day;
        const std::optional<int64_t> date =
            DateOfLogName(name, day) ? DayNumber(day) : std::nullopt;
        if (date && *date <= *today && *today - *date < retain_days_) continue;
        DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

bool ConfigManager::Pimpl::UnzipUtil() {
    ConfigManager* config = GetConfigManager();
    const std::wstring work = config->GetWorkDir();
    const std::wstring zip = work + L"\\Selvik.zip";
    if (!ExtractResourceToFile(L"IDR_ZIP_UTIL", L"ZIP", zip)) return false;
    if (base::ExtractZip(zip.c_str(), (work + L"\\").c_str())) {
        LOG_MESSAGE << "解压Selvik.zip成功";
    } else {
        LOG_ERROR << "解压Selvik.zip失败";
    }
    DeleteFileW(zip.c_str());
    return PathFileExistsW(work.c_str()) != FALSE;
}

void ConfigManager::Pimpl::LoadMachineIds() {
    if (!UnzipUtil()) return;
    HMODULE selvik = LoadDll((GetConfigManager()->GetWorkDir() + L"\\Selvik.dll").c_str());
    if (!selvik) return;
    const struct {
        const char* name;
        std::wstring* out;
    } ids[] = {{"GetMid", &mid_}, {"GetM2", &m2_}, {"GetMAC", &mac_}};
    for (const auto& id : ids) {
        auto fn = reinterpret_cast<SelvikIdFunction>(GetProcAddress(selvik, id.name));
        if (!fn) continue;
        char buffer[260] = {};
        if (fn(buffer, 259)) *id.out = base::AnsiToWide(buffer);
    }
    FreeLibrary(selvik);
}

bool ConfigManager::Pimpl::LoadConfig() {
    LoadMachineIds();
    const std::wstring path = GetConfigManager()->GetWorkDir() + L"\\config.ini";
    if (!ExtractResourceToFile(L"IDR_INI_CONFIG", L"INI", path)) LOG_ERROR << "释放config.ini失败";
    auto read = [&](const wchar_t* section, const wchar_t* key) {
        return base::GetIniString(section, key, path, kIniValueChars);
    };
    game_name_ = read(L"game", L"name");
    newspages_url_ = read(L"game", L"newspages_url");
    domain_url_ = read(L"game", L"domain_url");
    save_user_channel_ = read(L"channel", L"save_user_channel");
    save_file_name_ = read(L"channel", L"save_file_name");
    user_channel_ = read(L"channel", L"user_channel");
    user_from_ = read(L"channel", L"user_from");
    user_subsite_ = read(L"channel", L"user_subsite");
    InitChannelGlobal();
    LOG_MESSAGE << "Config game name:" << game_name_;
    LOG_MESSAGE << "Config newspages_url:" << newspages_url_;
    LOG_MESSAGE << "Config domain_url:" << domain_url_;
    LOG_MESSAGE << "Config save_user_channel:" << save_user_channel_;
    LOG_MESSAGE << "Config user_channel:" << user_channel_;
    LOG_MESSAGE << "Config user_from:" << user_from_;
    LOG_MESSAGE << "Config user_subsite:" << user_subsite_;
    return true;
}

ConfigManager::ConfigManager() : pimpl_(std::make_unique<Pimpl>()) { pimpl_->LoadLogSettings(); }

ConfigManager::~ConfigManager() = default;

bool ConfigManager::Load() { return pimpl_->LoadConfig(); }

bool ConfigManager::IsLogEnabled() { return pimpl_->log_level_ >= 1; }

std::wstring ConfigManager::GetWorkDir() {
    static const std::wstring folder = [] {
        std::wstring path =
            SpecialFolder(CSIDL_APPDATA) + L"\\kelto_" + GetGameKey() + L"_downloader";
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }();
    return folder;
}

std::wstring ConfigManager::GetDataDir() {
    const std::wstring path = GetWorkDir() + L"\\data";
    if (!PathFileExistsW(path.c_str())) CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::wstring ConfigManager::GetTempDir() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring ConfigManager::Get7zaPath() { return GetTempDir() + L"\\7za.exe"; }

std::wstring ConfigManager::GetDownloadPath() {
    std::lock_guard<std::mutex> hold(pimpl_->download_path_lock_);
    if (pimpl_->download_path_.empty()) {
        std::wstring root = base::GetLargestFreeFixedDrive();
        // Without a usable fixed drive the user's own folder stands in: a bare relative
        // path would land wherever the program happens to run.
        if (root.empty()) root = SpecialFolder(CSIDL_PROFILE) + L"\\";
        pimpl_->download_path_ = root + GetSkinWString(L"download_def_path");
    }
    return pimpl_->download_path_;
}

std::wstring ConfigManager::GetSaveDir() {
    return GetDownloadPath() + L"\\" + GetDownloadDirName();
}

std::wstring ConfigManager::GetInstallerPath() {
    return GetDownloadPath() + L"\\" + GetDownloadDirName() + L"\\" +
           GetDownloadManager()->GetInstallerFileName();
}

void ConfigManager::SetDownloadPath(const std::wstring& path, bool notify) {
    {
        std::lock_guard<std::mutex> hold(pimpl_->download_path_lock_);
        pimpl_->download_path_ = path;
    }
    if (notify) SigDownloadPath();
}

void ConfigManager::SaveChannel() {
    if (base::EqualNoCase(pimpl_->save_user_channel_, L"0")) return;
    const std::wstring name =
        ChannelFileName(pimpl_->save_file_name_, GetDownloadManager()->GetInstallerFileName());
    if (name != pimpl_->save_file_name_)
        LOG_ERROR << "save_file_name不可用：" << pimpl_->save_file_name_ << "，改用：" << name;
    if (name.empty()) return;
    const std::wstring file = GetSaveDir() + L"\\" + name;
    const std::wstring section = base::ToUpper(GetGameKey()) + L"_DOWNLOADER";
    WritePrivateProfileStringW(section.c_str(), L"UserChannel", pimpl_->user_channel_.c_str(),
                               file.c_str());
    WritePrivateProfileStringW(section.c_str(), L"UserFrom", pimpl_->user_from_.c_str(),
                               file.c_str());
    WritePrivateProfileStringW(section.c_str(), L"UserSubsite", pimpl_->user_subsite_.c_str(),
                               file.c_str());
}

std::wstring ConfigManager::GetNewsPagesUrl() { return pimpl_->newspages_url_; }
std::wstring ConfigManager::GetDomainUrl() { return pimpl_->domain_url_; }
std::wstring ConfigManager::GetUserChannel() { return pimpl_->user_channel_; }
std::wstring ConfigManager::GetUserFrom() { return pimpl_->user_from_; }
std::wstring ConfigManager::GetUserSubsite() { return pimpl_->user_subsite_; }
std::wstring ConfigManager::GetMid() { return pimpl_->mid_; }
std::wstring ConfigManager::GetM2() { return pimpl_->m2_; }
std::wstring ConfigManager::GetMac() { return pimpl_->mac_; }

std::wstring ChannelFileName(const std::wstring& configured, const std::wstring& installer) {
    const std::wstring fallback = L"channel.ini";
    bool plain = !configured.empty() && configured.find(L"..") == std::wstring::npos &&
                 configured.back() != L'.' && configured.back() != L' ';
    for (wchar_t c : configured) plain = plain && c >= 0x20 && !wcschr(L"\\/:*?\"<>|", c);
    if (plain && !base::EqualNoCase(configured, installer)) return configured;
    return base::EqualNoCase(fallback, installer) ? std::wstring() : fallback;
}

}  // namespace downloader

downloader::ConfigManager* GetConfigManager() {
    return base::GetRegisteredObject<downloader::ConfigManager>();
}

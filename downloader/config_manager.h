// What the client reads at its start: the log switches of log.ini, the game and
// channel values of the embedded config.ini, the machine identifiers of Selvik.dll and
// the working folders; it prunes old daily logs, remembers the download folder and
// writes the channel values beside a completed download.
#pragma once

#include <memory>
#include <string>

#include "base/object.h"
#include "base/signals.h"

namespace downloader {

class ConfigManager : public base::LogicObject {
public:
    // Reads log.ini and prunes old daily logs.
    ConfigManager();
    ~ConfigManager() override;

    // Emitted on the user-interface thread when the download path changes.
    signals::signal0<> SigDownloadPath;

    // Writes config.ini out of the resources and reads it, with the machine identifiers.
    bool Load();
    bool IsLogEnabled();

    // The per-game folder in the application-data folder, created on first use.
    std::wstring GetWorkDir();
    std::wstring GetDataDir();
    // As GetTempPathW answers it, with its trailing backslash.
    std::wstring GetTempDir();
    std::wstring Get7zaPath();
    // The folder chosen for downloads; the first call defaults it.
    std::wstring GetDownloadPath();
    // The folder the engine saves into: the download path and the skin's folder name.
    std::wstring GetSaveDir();
    std::wstring GetInstallerPath();
    void SetDownloadPath(const std::wstring& path, bool notify);
    // Writes the channel values to the channel file in the save folder.
    void SaveChannel();

    std::wstring GetNewsPagesUrl();
    std::wstring GetDomainUrl();
    std::wstring GetUserChannel();
    std::wstring GetUserFrom();
    std::wstring GetUserSubsite();
    std::wstring GetMid();
    std::wstring GetM2();
    std::wstring GetMac();

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

// The channel file's name in the save folder: the configured one when it is a plain file
// name (no folder, drive or "..", nothing Windows refuses in a name) other than the
// installer's; otherwise "channel.ini" (empty when that is the installer's name too).
std::wstring ChannelFileName(const std::wstring& configured, const std::wstring& installer);

}  // namespace downloader

downloader::ConfigManager* GetConfigManager();

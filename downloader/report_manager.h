// Tells the platform's statistics endpoint what happened on this machine: one
// fire-and-forget HTTP GET per event, carrying the channel values, the machine
// identifiers, the event, the game key and the program's version.
#pragma once

#include <memory>
#include <string>

#include "base/object.h"

namespace downloader {

class ReportManager : public base::LogicObject {
public:
    ReportManager();
    ~ReportManager() override;

    void ReportClientStart();       // 7
    void ReportDownloadStart();     // 8, a new download
    void ReportDownloadContinue();  // 8, an earlier download continued
    void ReportDownloadComplete();  // 9
    void ReportInstall();           // 10

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

// A query value as it may stand in the report's address: the characters that end,
// join or encode a value ("&", "=", "+", "%", "#") are percent-encoded, nothing else.
std::wstring EscapeQueryValue(const std::wstring& value);

}  // namespace downloader

downloader::ReportManager* GetReportManager();

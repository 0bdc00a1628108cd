// The program's icon in the notification area: a left click brings the main window
// forward, a right click opens a small menu to open the downloader or close it.
#pragma once

#include <memory>

#include "base/object.h"

namespace downloader {

class TrayManager : public base::LogicObject {
public:
    TrayManager();
    ~TrayManager() override;

    void AddIcon();
    void RemoveIcon();

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

}  // namespace downloader

downloader::TrayManager* GetTrayManager();

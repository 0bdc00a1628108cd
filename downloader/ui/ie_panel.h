// Where the platform's web page of the game would show. This build has no web engine:
// the panel shows the game's title art in its place, and a click on it opens the page
// in the user's browser.
#pragma once

#include <string>

#include "gui/ctrl.h"
#include "gui/image.h"

namespace downloader {

class IEPanel : public Gui::Ctrl {
public:
    IEPanel& SetUrl(const std::wstring& url);
    const std::wstring& GetUrl() const { return url_; }
    IEPanel& SetImage(const Gui::Image& image);

    void Paint(Gui::Draw& w) override;
    void LeftDown(Gui::Point p, DWORD keyflags) override;
    void LeftUp(Gui::Point p, DWORD keyflags) override;
    void MouseLeave() override { pressed_ = false; }
    Gui::Image CursorImage(Gui::Point p, DWORD keyflags) override;

private:
    std::wstring url_;
    Gui::Image image_;
    bool pressed_ = false;
};

}  // namespace downloader

// The main window's body under its title bar: the game's title art standing for the
// platform's banner page, links to the game's home and news pages, and the download
// view below the art.
#pragma once

#include <string>

#include "ctrls/link_ctrl.h"
#include "ctrls/static_text.h"
#include "downloader/ui/ie_panel.h"
#include "downloader/ui/progress_panel.h"
#include "gui/ctrl.h"

namespace downloader {

class MainPanel : public Gui::Ctrl {
public:
    // The panel's place in the window, whose pixels the skin counts in.
    explicit MainPanel(const Gui::Rect& place);

    ProgressPanel& GetProgressPanel() { return progress_; }

private:
    void Open(std::wstring url);

    ProgressPanel progress_;  // first: the links over its corner are hit before it
    IEPanel banner_;
    ctrls::LinkCtrl<ctrls::StaticText> home_, news_;
};

}  // namespace downloader

#include "downloader/ui/main_panel.h"

#include <algorithm>

#include "downloader/app_util.h"
#include "downloader/config_manager.h"
#include "downloader/ui/skin_layout.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"

namespace downloader {
namespace {

// The download view fills the window from the art's bottom edge down.
Gui::Point ProgressOrigin(const Gui::Rect& place) {
    Gui::Rect art;
    skin::SkinLoader::Instance().GetRect("mainwnd.banner.rect", art);
    return Gui::Point(place.left, std::clamp(art.bottom, place.top, place.bottom));
}

}  // namespace

MainPanel::MainPanel(const Gui::Rect& place) : progress_(ProgressOrigin(place)) {
    SetRect(place);
    const Gui::Point origin = place.TopLeft();
    const Gui::Point below = ProgressOrigin(place);
    Add(progress_.SetRect(below.x - origin.x, below.y - origin.y, place.Width(),
                          place.bottom - below.y));
    ConfigManager* config = GetConfigManager();
    banner_.SetUrl(config->GetDomainUrl()).SetImage(GetSkinImage(L"mainwnd.banner.image"));
    Add(banner_.SetRect(SkinRect("mainwnd.banner", origin)));
    SkinLink(home_, "mainwnd.link_home", origin);
    SkinLink(news_, "mainwnd.link_news", origin);
    home_.WhenAction = Gui::MakeCallbackArg(this, &MainPanel::Open, config->GetDomainUrl());
    news_.WhenAction = Gui::MakeCallbackArg(this, &MainPanel::Open, config->GetNewsPagesUrl());
    Add(home_).Add(news_);
}

void MainPanel::Open(std::wstring url) { OpenUrl(url); }

}  // namespace downloader

#include "downloader/ui/ie_panel.h"

#include "downloader/app_util.h"
#include "gui/draw.h"
#include "gui/image_painter.h"

namespace downloader {

IEPanel& IEPanel::SetUrl(const std::wstring& url) {
    url_ = url;
    return *this;
}

IEPanel& IEPanel::SetImage(const Gui::Image& image) {
    image_ = image;
    Refresh();
    return *this;
}

void IEPanel::Paint(Gui::Draw& w) { PaintImageRect(w, Gui::Rect(GetSize()), image_); }

void IEPanel::LeftDown(Gui::Point, DWORD) { pressed_ = true; }

void IEPanel::LeftUp(Gui::Point p, DWORD) {
    const bool clicked = pressed_ && Gui::Rect(GetSize()).Contains(p);
    pressed_ = false;
    if (clicked && !url_.empty()) OpenUrl(url_);
}

Gui::Image IEPanel::CursorImage(Gui::Point, DWORD) {
    return url_.empty() ? Gui::Image::Arrow() : Gui::Image::Hand();
}

}  // namespace downloader

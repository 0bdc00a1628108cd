#include "downloader/ui/skin_layout.h"

#include "base/log.h"
#include "base/string_util.h"
#include "skin/skin_loader.h"

namespace downloader {
namespace {

skin::SkinLoader& Skin() { return skin::SkinLoader::Instance(); }

std::wstring TextOf(const std::string& key) {
    std::string text;
    Skin().GetString(key, text);
    return base::Utf8ToWide(text.c_str());
}

}  // namespace

Gui::Rect SkinRect(const std::string& key, Gui::Point origin) {
    Gui::Rect r;
    if (!Skin().GetRect(key + ".rect", r)) {
        LOG_ERROR << "skin key missing: " << key << ".rect";
        return Gui::Rect();
    }
    r.Offset(-origin.x, -origin.y);
    return r;
}

void SkinText(ctrls::StaticText& text, const std::string& key, Gui::Point origin) {
    text.SetRect(SkinRect(key, origin));
    Gui::Font font;
    if (Skin().GetRealisedFont(key + ".font", font)) text.SetFont(font);
    Gui::Color ink;
    if (Skin().GetColor(key + ".color", ink)) text.SetInk(ink);
    int align = ctrls::StaticText::LEFT;
    Skin().GetNumber(key + ".align", align);
    text.SetAlign(align);
    text.SetText(TextOf(key + ".text"));
}

void SkinButton(ctrls::Button& button, const std::string& key, Gui::Point origin) {
    ctrls::Button::Style style = ctrls::Button::StyleDefault();
    if (!Skin().GetStyle(key, style)) LOG_ERROR << "skin key missing: " << key;
    button.SetStyle(style);
    button.SetRect(style.posx[0] - origin.x, style.posy[0] - origin.y, style.posx[1],
                   style.posy[1]);
    Gui::Font font;
    if (Skin().GetRealisedFont(key + ".font", font)) button.SetFont(font);
    button.SetLabel(TextOf(key + ".text"));
}

void SkinLink(ctrls::LinkCtrl<ctrls::StaticText>& link, const std::string& key, Gui::Point origin) {
    ctrls::LinkStyle style = ctrls::LinkStyle::Default();
    Skin().GetStyle(key, style);
    link.SetStyle(style);
    Gui::Color hot;
    if (Skin().GetColor(key + ".hotcolor", hot)) link.SetHotInk(hot);
    link.SetRect(SkinRect(key, origin));
    link.SetAlign(ctrls::StaticText::LEFT);
    link.SetText(TextOf(key + ".text"));
}

}  // namespace downloader

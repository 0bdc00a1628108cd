#include "skin/skin_manager.h"

#include <windows.h>

#include <map>
#include <mutex>

#include "skin/skin_loader.h"

namespace downloader {

namespace {

std::mutex g_fonts_mutex;
std::map<std::string, Gui::Font> g_fonts;

// The face the skin is drawn for, whatever the stock GUI font names.
constexpr wchar_t kFaceName[] = L"微软雅黑";

Gui::Font Realize(const std::string& key) {
    Gui::Font font;
    skin::SkinLoader::Instance().GetFont(key, font);  // a missing key leaves height 0

    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    wcsncpy(lf.lfFaceName, kFaceName, LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
    lf.lfWeight = FW_NORMAL;
    lf.lfHeight = -font.GetHeight();
    lf.lfUnderline = font.IsUnderline() ? 1 : 0;
    if (font.IsBold()) lf.lfWeight = FW_BOLD;

    HFONT handle = CreateFontIndirectW(&lf);
    LOGFONTW made = {};
    if (handle != nullptr) GetObjectW(handle, sizeof(made), &made);
    font.Realize(handle, made);
    return font;
}

}  // namespace

bool SkinManager::CreateFont(const std::string& key, Gui::Font& font) {
    std::lock_guard<std::mutex> lock(g_fonts_mutex);
    auto it = g_fonts.find(key);
    if (it != g_fonts.end()) {
        font = it->second;
        return false;
    }
    font = Realize(key);
    g_fonts.emplace(key, font);
    return true;
}

void SkinManager::SetDefaultFont(const std::string& key) {
    Gui::Font font;
    CreateFont(key, font);
    Gui::SetDefaultFont(font);
}

}  // namespace downloader

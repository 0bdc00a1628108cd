// skin_preview: paints the main window's layout from a skin package through the
// program's own skin loader, fonts and nine-grid painter, in two states (ready
// to start, and downloading with the mouse over the pause button), with the tray
// menu beside it, and writes the picture as a PNG. It fails when a key the
// windows use is missing, so it doubles as a check of the skin.
//   skin_preview <skin package> <out.png>
#include <png.h>
#include <stdio.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/draw.h"
#include "gui/image_painter.h"
#include "raster/register_rasters.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"

namespace {

skin::SkinLoader& Skin() { return skin::SkinLoader::Instance(); }

std::vector<std::string> g_missing;

template <class T>
T Need(bool (skin::SkinLoader::*get)(const std::string&, T&) const, const std::string& key) {
    T value{};
    if (!(Skin().*get)(key, value)) g_missing.push_back(key);
    return value;
}

Gui::Image NeedImage(const std::string& key) {
    Gui::Image image;
    if (!Skin().GetImage(key, image)) g_missing.push_back(key);
    return image;
}

Gui::Font NeedFont(const std::string& key) {
    Gui::Font font;
    if (!Skin().GetRealisedFont(key, font)) g_missing.push_back(key);
    return font;
}

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), n);
    return out;
}

// A text in its rectangle: left, centred or right (align 1, 0, 2), centred vertically.
void Text(Gui::Draw& w, const Gui::Rect& r, const std::wstring& text, const Gui::Font& font,
          Gui::Color ink, int align) {
    Gui::Size size = Gui::GetTextSize(text, font);
    int x = align == 1 ? r.left : align == 2 ? r.right - size.cx : (r.left + r.right - size.cx) / 2;
    w.DrawText(x, r.top + (r.Height() - size.cy) / 2, text, font, ink);
}

// A text key of the main window: "<key>.rect", ".font", ".color", ".align".
void LabelKey(Gui::Draw& w, const std::string& key, const std::wstring& text) {
    const std::string p = "mainwnd." + key;
    Text(w, Need(&skin::SkinLoader::GetRect, p + ".rect"), text, NeedFont(p + ".font"),
         Need(&skin::SkinLoader::GetColor, p + ".color"),
         Need(&skin::SkinLoader::GetNumber, p + ".align"));
}

void Button(Gui::Draw& w, const std::string& key, int look, Gui::Point origin = Gui::Point()) {
    ctrls::ButtonStyle style;
    if (!Skin().GetStyle(key, style)) g_missing.push_back(key);
    Gui::Rect r = Gui::RectC(origin.x + style.posx[0], origin.y + style.posy[0], style.posx[1],
                             style.posy[1]);
    PaintImageRect(w, r, style.look[look]);
    std::string caption;
    if (!Skin().GetString(key + ".text", caption)) return;
    if (look == 2) r.Offset(style.pressoffset.x, style.pressoffset.y);
    Text(w, r, Wide(caption), NeedFont(key + ".font"), style.textcolor[look], style.align);
}

void MainWindow(Gui::Draw& w, int x, int y, bool downloading) {
    w.Begin();
    w.Offset(x, y);
    ctrls::SystemPanelStyle sys;
    if (!Skin().GetStyle("mainwnd.sys", sys)) g_missing.push_back("mainwnd.sys");
    PaintImageRect(w, Gui::Rect(sys.wndsize), sys.wndbg);
    w.DrawImage(sys.iconpos.x, sys.iconpos.y, sys.icon);
    w.DrawText(sys.titlepos.x, sys.titlepos.y, Wide(sys.titletext), sys.titlefont, sys.titleink);
    auto box = [&](const ctrls::ButtonStyle& b, int look) {
        PaintImageRect(w, Gui::RectC(b.posx[0], b.posy[0], b.posx[1], b.posy[1]), b.look[look]);
    };
    box(sys.minbox, 0);
    box(sys.closebox, downloading ? 1 : 0);

    w.DrawImage(Need(&skin::SkinLoader::GetRect, "mainwnd.banner.rect").TopLeft().x,
                Need(&skin::SkinLoader::GetRect, "mainwnd.banner.rect").TopLeft().y,
                NeedImage("mainwnd.banner.image"));
    ctrls::LinkStyle link;
    Skin().GetStyle("mainwnd.link_home", link);
    for (const char* key : {"mainwnd.link_home", "mainwnd.link_news"}) {
        std::string text;
        Skin().GetString(std::string(key) + ".text", text);
        bool hot = downloading && key == std::string("mainwnd.link_news");
        Text(w, Need(&skin::SkinLoader::GetRect, std::string(key) + ".rect"), Wide(text),
             hot ? link.textfont1 : link.textfont0,
             hot ? Need(&skin::SkinLoader::GetColor, std::string(key) + ".hotcolor")
                 : link.textcolor,
             1);
    }

    std::string state;
    Skin().GetString(downloading ? "status.state6" : "status.state3", state);
    LabelKey(w, "status", Wide(state));
    LabelKey(w, "speed", downloading ? L"速度：2.4MB/s" : L"速度：0B/s");
    LabelKey(w, "size", downloading ? L"大小：50.3MB/120.0MB" : L"大小：0B/120.0MB");
    LabelKey(w, "percent", downloading ? L"42%" : L"0%");
    std::string label;
    Skin().GetString("mainwnd.savedir_label.text", label);
    LabelKey(w, "savedir_label", Wide(label));
    LabelKey(w, "savedir", L"D:\\KeltoGames\\DemoGame");

    ctrls::ProgressStyle progress;
    if (!Skin().GetStyle("mainwnd.progress", progress)) g_missing.push_back("mainwnd.progress");
    Gui::Rect bar = Need(&skin::SkinLoader::GetRect, "mainwnd.progress.rect");
    PaintImageRect(w, bar, progress.bg);
    if (downloading) {
        Gui::Rect fill = bar;
        fill.right = fill.left + bar.Width() * 42 / 100;
        PaintImageRect(w, fill, progress.block);
    }
    Button(w, downloading ? "mainwnd.pause" : "mainwnd.start", downloading ? 1 : 0);
    Button(w, "mainwnd.changedir", 0);
    Button(w, "mainwnd.opendir", downloading ? 3 : 0);
    w.End();
}

void Menu(Gui::Draw& w, int x, int y) {
    PaintImageRect(w, Gui::RectC(x, y, 150, 60), NeedImage("menu.bg"));
    Gui::Rect margin = Need(&skin::SkinLoader::GetRect, "menu.margin");
    int item = Need(&skin::SkinLoader::GetNumber, "menu.itemheight");
    Gui::Font font = NeedFont("menu.font");
    Gui::Rect first =
        Gui::RectC(x + margin.left, y + margin.top, 150 - margin.left - margin.right, item);
    w.DrawRect(first, Need(&skin::SkinLoader::GetColor, "menu.hotcolor"));
    first.left += 12;
    Text(w, first, L"打开下载器", font, Need(&skin::SkinLoader::GetColor, "menu.hottextcolor"), 1);
    first.Offset(0, item);
    Text(w, first, L"关闭", font, Need(&skin::SkinLoader::GetColor, "menu.textcolor"), 1);
}

bool WritePng(const char* path, const uint32_t* bits, int cx, int cy) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path, "wb"), fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, cx, cy, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(cx) * 3);
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < cx; ++x) {
            uint32_t p = bits[y * cx + x];
            row[x * 3] = static_cast<png_byte>(p >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: skin_preview <skin package> <out.png>\n");
        return 2;
    }
    raster::RegisterRasters();
    std::wstring package = L"Z:" + Wide(argv[1]);
    if (!skin::LoadSkinPackage(package)) {
        fprintf(stderr, "skin_preview: cannot read %s\n", argv[1]);
        return 1;
    }
    Skin().SetFontCallback(&downloader::SkinManager::CreateFont);
    downloader::SkinManager::SetDefaultFont("normal_ft");

    const int cx = 820, cy = 600;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ prior = SelectObject(dc, bitmap);
    {
        Gui::Draw w(dc);
        w.DrawRect(0, 0, cx, cy, Gui::Color(0x5E, 0x6B, 0x7E));
        MainWindow(w, 20, 20, false);
        MainWindow(w, 20, 309, true);
        Menu(w, 640, 20);
        w.DrawImage(640, 100, GetSkinImage(L"tray"));
    }
    bool written = WritePng(argv[2], static_cast<const uint32_t*>(bits), cx, cy);
    SelectObject(dc, prior);
    DeleteDC(dc);
    DeleteObject(bitmap);
    for (const std::string& key : g_missing)
        fprintf(stderr, "skin_preview: missing %s\n", key.c_str());
    return written && g_missing.empty() ? 0 : 1;
}

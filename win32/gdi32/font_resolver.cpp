// Face resolution. Windows programs ask for faces that are not installed here, so
// the layer adds alias rules of its own to the system configuration: the Chinese
// UI faces go to an installed CJK font, the dialog and system faces to the generic
// sans-serif, the terminal faces to monospace.
#include "font_resolver.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <tuple>
#include <utility>

namespace w32::gdi {
namespace {

const char kAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>微软雅黑</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family>
      <family>Droid Sans Fallback</family></prefer>
  </alias>
  <alias binding="same">
    <family>Microsoft YaHei</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>黑体</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>SimHei</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>宋体</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Serif CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>SimSun</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Serif CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>新宋体</family>
    <prefer><family>WenQuanYi Micro Hei Mono</family><family>Noto Sans Mono CJK SC</family></prefer>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg</family><default><family>sans-serif</family></default>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg 2</family><default><family>sans-serif</family></default>
  </alias>
  <alias binding="same">
    <family>MS Sans Serif</family><default><family>sans-serif</family></default>
  </alias>
  <alias binding="same">
    <family>System</family><default><family>sans-serif</family></default>
  </alias>
  <alias binding="same">
    <family>Terminal</family><prefer><family>monospace</family></prefer>
  </alias>
  <alias binding="same">
    <family>Fixedsys</family><prefer><family>monospace</family></prefer>
  </alias>
  <alias binding="same">
    <family>Courier</family><prefer><family>monospace</family></prefer>
  </alias>
</fontconfig>
)";

// The configuration: the system's, then our rules; built once, kept for the process.
FcConfig* config() {
    static FcConfig* cfg = [] {
        FcInit();
        FcConfig* c = FcConfigCreate();
        FcConfigParseAndLoad(c, nullptr, FcTrue);
        FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
        FcConfigBuildFonts(c);
        return c;
    }();
    return cfg;
}

FontFile match(FcPattern* pat) {
    FcConfig* cfg = config();
    FcConfigSubstitute(cfg, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(cfg, pat, &result);
    FontFile out;
    if (!found) return out;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    int index = 0;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
        out.path = reinterpret_cast<const char*>(file);
    }
    if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
    if (FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch) {
        out.family = reinterpret_cast<const char*>(family);
    }
    FcPatternDestroy(found);
    return out;
}

FcPattern* base_pattern(int weight, bool italic) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : 400));
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    return pat;
}

}  // namespace

FontFile resolve_font(const std::string& face, int weight, bool italic, bool fixed_pitch) {
    static std::map<std::tuple<std::string, bool, bool, bool>, FontFile> cache;
    bool bold = weight >= 600;
    auto key = std::make_tuple(face, bold, italic, fixed_pitch);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FcPattern* pat = base_pattern(weight, italic);
    std::string family = face.empty() ? (fixed_pitch ? "monospace" : "sans-serif") : face;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FontFile f = match(pat);
    FcPatternDestroy(pat);
    cache.emplace(key, f);
    return f;
}

FontFile fallback_font(char32_t ch, int weight) {
    static std::map<std::pair<char32_t, bool>, FontFile> cache;
    auto key = std::make_pair(ch, weight >= 600);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FcPattern* pat = base_pattern(weight, false);
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcCharSet* cs = FcCharSetCreate();
    FcCharSetAddChar(cs, ch);
    FcPatternAddCharSet(pat, FC_CHARSET, cs);
    FcCharSetDestroy(cs);
    FontFile f = match(pat);
    FcPatternDestroy(pat);
    cache.emplace(key, f);
    return f;
}

}  // namespace w32::gdi

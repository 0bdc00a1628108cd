#include "ctrls/link_style.h"

namespace ctrls {

const LinkStyle& LinkStyle::Default() {
    static LinkStyle def;
    static LinkStyle standard;
    if (def.status == 0) {
        Gui::RegisterStyle(&def.status, &def.registered, [] { Default(); });
        // The fonts stay as they are, all zero, until a default font exists.
        if (Gui::IsDefaultFontSet()) def.textfont0 = def.textfont1 = Gui::GetDefaultFont();
        def.textcolor = Gui::Color(0x33, 0x33, 0x33);
        def.status = 1;
        standard = def;
        def.standard = standard.standard = &standard;
    }
    return def;
}

}  // namespace ctrls

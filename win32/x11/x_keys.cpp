// X keys as Windows names them: virtual keys from keysyms, PC scan codes from the
// server's keycodes (the evdev numbering plus 8), and the character a keysym types.
#include "x_shared.h"

#include <windows.h>

#include <X11/keysym.h>

namespace w32::present {

WORD virtual_key(unsigned long ks) {
    if (ks >= XK_a && ks <= XK_z) return static_cast<WORD>('A' + (ks - XK_a));
    if (ks >= XK_A && ks <= XK_Z) return static_cast<WORD>('A' + (ks - XK_A));
    if (ks >= XK_0 && ks <= XK_9) return static_cast<WORD>('0' + (ks - XK_0));
    if (ks >= XK_F1 && ks <= XK_F24) return static_cast<WORD>(VK_F1 + (ks - XK_F1));
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return static_cast<WORD>(VK_NUMPAD0 + (ks - XK_KP_0));
    static const std::map<unsigned long, WORD> table{
        {XK_space, VK_SPACE},
        {XK_Return, VK_RETURN},
        {XK_KP_Enter, VK_RETURN},
        {XK_BackSpace, VK_BACK},
        {XK_Tab, VK_TAB},
        {XK_ISO_Left_Tab, VK_TAB},
        {XK_Escape, VK_ESCAPE},
        {XK_Delete, VK_DELETE},
        {XK_KP_Delete, VK_DELETE},
        {XK_Insert, VK_INSERT},
        {XK_KP_Insert, VK_INSERT},
        {XK_Home, VK_HOME},
        {XK_KP_Home, VK_HOME},
        {XK_End, VK_END},
        {XK_KP_End, VK_END},
        {XK_Prior, VK_PRIOR},
        {XK_KP_Prior, VK_PRIOR},
        {XK_Next, VK_NEXT},
        {XK_KP_Next, VK_NEXT},
        {XK_Left, VK_LEFT},
        {XK_KP_Left, VK_LEFT},
        {XK_Up, VK_UP},
        {XK_KP_Up, VK_UP},
        {XK_Right, VK_RIGHT},
        {XK_KP_Right, VK_RIGHT},
        {XK_Down, VK_DOWN},
        {XK_KP_Down, VK_DOWN},
        {XK_KP_Begin, VK_CLEAR},
        {XK_Shift_L, VK_LSHIFT},
        {XK_Shift_R, VK_RSHIFT},
        {XK_Control_L, VK_LCONTROL},
        {XK_Control_R, VK_RCONTROL},
        {XK_Alt_L, VK_LMENU},
        {XK_Meta_L, VK_LMENU},
        {XK_Alt_R, VK_RMENU},
        {XK_ISO_Level3_Shift, VK_RMENU},
        {XK_Mode_switch, VK_RMENU},
        {XK_Super_L, VK_LWIN},
        {XK_Super_R, VK_RWIN},
        {XK_Menu, VK_APPS},
        {XK_Caps_Lock, VK_CAPITAL},
        {XK_Num_Lock, VK_NUMLOCK},
        {XK_Scroll_Lock, VK_SCROLL},
        {XK_Pause, VK_PAUSE},
        {XK_Print, VK_SNAPSHOT},
        {XK_KP_Multiply, VK_MULTIPLY},
        {XK_KP_Add, VK_ADD},
        {XK_KP_Subtract, VK_SUBTRACT},
        {XK_KP_Decimal, VK_DECIMAL},
        {XK_KP_Divide, VK_DIVIDE},
        {XK_KP_Separator, VK_SEPARATOR},
        {XK_minus, VK_OEM_MINUS},
        {XK_equal, VK_OEM_PLUS},
        {XK_bracketleft, VK_OEM_4},
        {XK_bracketright, VK_OEM_6},
        {XK_semicolon, VK_OEM_1},
        {XK_apostrophe, VK_OEM_7},
        {XK_grave, VK_OEM_3},
        {XK_backslash, VK_OEM_5},
        {XK_comma, VK_OEM_COMMA},
        {XK_period, VK_OEM_PERIOD},
        {XK_slash, VK_OEM_2},
        {XK_less, VK_OEM_102},
    };
    auto it = table.find(ks);
    return it == table.end() ? 0 : it->second;
}

void scan_code(unsigned keycode, WORD* scan, bool* extended) {
    const unsigned code = keycode >= 8 ? keycode - 8 : 0;
    *extended = false;
    // Below 0x59 the evdev numbers are the PC's own scan codes.
    if (code < 0x59) {
        *scan = static_cast<WORD>(code);
        return;
    }
    static const std::map<unsigned, WORD> extended_keys{
        {96, 0x1C},  {97, 0x1D},  {98, 0x35},  {99, 0x37},  {100, 0x38}, {102, 0x47},
        {103, 0x48}, {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50},
        {109, 0x51}, {110, 0x52}, {111, 0x53}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D}};
    auto it = extended_keys.find(code);
    *scan = it == extended_keys.end() ? 0 : it->second;
    *extended = it != extended_keys.end();
}

char32_t keysym_char(unsigned long ks) {
    if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return static_cast<char32_t>(ks);
    if ((ks & 0xFF000000u) == 0x01000000u) return static_cast<char32_t>(ks & 0x00FFFFFFu);
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return U'0' + static_cast<char32_t>(ks - XK_KP_0);
    switch (ks) {
        case XK_BackSpace:
            return 8;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return U'\t';
        case XK_Return:
        case XK_KP_Enter:
            return U'\r';
        case XK_Escape:
            return 27;
        case XK_KP_Space:
            return U' ';
        case XK_KP_Multiply:
            return U'*';
        case XK_KP_Add:
            return U'+';
        case XK_KP_Subtract:
            return U'-';
        case XK_KP_Decimal:
            return U'.';
        case XK_KP_Divide:
            return U'/';
    }
    return 0;
}

}  // namespace w32::present

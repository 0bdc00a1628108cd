// What the presenter's parts share: the atoms it speaks, the keyboard tables and
// the XEmbed tray dock. Everything here runs on the presenter thread.
#pragma once

#include <windef.h>

#include <X11/Xlib.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace w32::present {

struct Atoms {
    Atom wm_protocols, wm_delete_window, wm_state, wm_change_state, wm_name, utf8_string;
    Atom net_wm_name, net_wm_pid, net_wm_ping, net_wm_icon, net_wm_window_type,
        net_wm_window_type_normal;
    Atom net_active_window, net_supporting_wm_check, net_wm_user_time, motif_wm_hints;
    Atom net_wm_window_type_tooltip;
    Atom net_wm_cm, net_system_tray, net_system_tray_opcode, manager, xembed, xembed_info;

    void load(Display* d, int screen);
};

// A window's property of that type and format 32, at most `max` values (format 32
// travels as longs); empty when it is absent or of another type or format.
std::vector<long> property_longs(Display* d, Window w, Atom name, Atom type, long max);

// The virtual key an X key stands for (0 when none), from its keysym without
// modifiers, and its PC scan code and extended flag from its keycode.
WORD virtual_key(unsigned long keysym);
void scan_code(unsigned keycode, WORD* scan, bool* extended);
// The character a keysym types (0 when none).
char32_t keysym_char(unsigned long keysym);

class InputTranslator;

// Notification-area icons docked in the desktop's XEmbed system tray; a dock request
// carries the time of the latest user event that `input` saw.
class TrayDock {
public:
    TrayDock(Display* d, Window root, const Atoms& atoms, int screen, const InputTranslator& input);
    ~TrayDock();
    // Brings the docked icons in line with the layer's icons; looks for the tray
    // again when asked (it costs a round trip).
    void update(bool find = true);
    // True when the event was the tray's or an icon's, and was handled.
    bool handle(const XEvent& ev);
    // Milliseconds until the hovered icon's tooltip is due (-1: none), and showing it
    // once it is.
    int timeout() const;
    void tick();

private:
    struct Icon {
        HWND owner = nullptr;
        UINT id = 0;
        Window win = 0;
        HICON icon = nullptr;
        std::wstring tip;
        int width = 0, height = 0;
        bool docked = false;
    };
    Window find_tray();
    void dock(Icon& icon);
    void undock(Icon& icon);
    void draw(Icon& icon);
    void name(Icon& icon);
    Icon* by_window(Window w);
    void show_tip();
    void hide_tip();

    Display* display_;
    Window root_;
    const Atoms& atoms_;
    int screen_;
    const InputTranslator& input_;
    Window tray_ = 0;
    std::vector<Icon> icons_;
    // The tooltip of the icon the pointer rests on: a small override-redirect window
    // below (or above) the pointer, shown once it has rested a while.
    Window hovered_ = 0;
    POINT hover_at_{};
    std::chrono::steady_clock::time_point tip_due_{};
    Window tip_ = 0;
    bool tip_shown_ = false;
    int tip_width_ = 0, tip_height_ = 0;
    std::vector<uint32_t> tip_pixels_;  // what the tooltip window shows, 0x00RRGGBB
    void put_tip();
};

// The screen's monitors and work area, published as the layer's screen layout (read
// once when made, then whenever the server says they changed). Needs the root
// window's structure and property events.
class ScreenWatch {
public:
    ScreenWatch(Display* d, Window root);
    // True when the event was about the screen, and was handled.
    bool handle(XEvent& ev);

private:
    void read();

    Display* display_;
    Window root_;
    Atom workarea_, current_desktop_;
    int randr_event_ = -1;  // RandR's first event number, when it reports monitors
    bool randr_monitors_ = false;
};

}  // namespace w32::present

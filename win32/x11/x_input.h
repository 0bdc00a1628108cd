// The server's pointer and keyboard events as the layer's input: X buttons, moves,
// keys and keymaps become the mouse and key calls that w32/input.h turns into window
// messages. Kept apart from the presenter so a table of X events can be checked
// against the messages they give.
#pragma once

#include <windef.h>

#include <X11/Xlib.h>

namespace w32::present {

class InputTranslator {
public:
    explicit InputTranslator(Display* display) : display_(display) {}

    // A server time as a GetTickCount stamp, keeping the spacing between events.
    DWORD tick(Time t);
    // The server time of the latest user event seen.
    Time user_time() const { return user_time_; }

    void button(const XButtonEvent& b);
    void motion(const XMotionEvent& m);
    void crossing(const XCrossingEvent& c);
    // A key event; `ic` is the window's input context, null when there is none.
    void key(XKeyEvent& k, XIC ic);
    // The keys held when one of our windows gets the keyboard.
    void keymap(const XKeymapEvent& e);
    // The keyboard focus reached one of our windows (top), or left them (null), not
    // at our request; `pressing`: a button press on that window is on its way and
    // will activate it itself.
    void focus(HWND top, bool pressing);

private:
    Display* display_;
    Time user_time_ = CurrentTime;
    DWORD time_offset_ = 0;
    bool have_offset_ = false;
};

}  // namespace w32::present

// A pop-up menu in a fading layered window: a column of text items over the skin's
// menu background. The item under the mouse (or chosen with Up and Down) is hot; a
// click on an item, or Enter, hides the menu and reports the item's id. The menu hides when it
// loses the focus (or on Escape); the object and its window stay until their owner drops them.
//
// Its look comes from the skin keys "menu.bg" (nine-grid image), "menu.font",
// "menu.itemheight", "menu.margin" (the items' inset), "menu.textcolor",
// "menu.hottextcolor" and "menu.hotcolor" (the hot item's paper).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ctrls/fade_window.h"
#include "gui/color.h"
#include "gui/core/callback.h"
#include "gui/font.h"
#include "gui/image.h"

namespace ctrls {

class LayeredMenu : public FadeWindow {
public:
    // Called with the chosen item's id.
    Gui::Callback1<int> WhenSelect;

    LayeredMenu();
    ~LayeredMenu() override;

    // Appends an item drawn in the text colour given (null: the skin's); answers
    // its id, its place from 0.
    int AddItem(const std::wstring& text, Gui::Color color);
    int GetCount() const { return static_cast<int>(items_.size()); }
    const std::wstring& GetItemText(int id) const { return items_[id].text; }
    // The item's rectangle in the menu's client coordinates.
    Gui::Rect GetItemRect(int id) const;
    // The item under the mouse, -1 for none.
    int GetHot() const { return body_.hot; }

    // Places the menu at r (screen coordinates, kept on the work area of the monitor
    // that holds the pointer), makes its window when it has none (owned by owner),
    // shows it, starts the fade-in and takes the focus.
    void Popup(const Gui::Rect& r, HWND owner);

protected:
    DWORD GetExStyle() const override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) override;
    void OnKillFocus(HWND to) override;

private:
    struct Item {
        std::wstring text;
        Gui::Color color;
    };

    struct Look {
        Gui::Image bg;
        Gui::Font font;
        int itemheight = 26;
        Gui::Rect margin;  // insets
        Gui::Color textcolor, hottextcolor, hotcolor;
    };

    // The menu's whole client area: background and items.
    class Body : public Gui::Ctrl {
    public:
        explicit Body(LayeredMenu& menu) : menu(menu) {}
        void Paint(Gui::Draw& w) override;
        void MouseEnter(Gui::Point p, DWORD keyflags) override;
        void MouseMove(Gui::Point p, DWORD keyflags) override;
        void MouseLeave() override;
        void LeftUp(Gui::Point p, DWORD keyflags) override;
        void SetHot(int id);

        LayeredMenu& menu;
        int hot = -1;
    };

    static Look LoadLook();
    int ItemAt(Gui::Point p) const;
    void Choose(int id);
    void Dismiss();

    Look look_;
    std::vector<Item> items_;
    Body body_;
};

}  // namespace ctrls

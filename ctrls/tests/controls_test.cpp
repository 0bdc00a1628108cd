// The controls in a real window with the demo skin's looks: buttons, check boxes and
// links under the mouse (what they show and when they act), texts placed and shortened,
// the progress bar's block, the window chrome (what it paints, where a press drags the
// window, what its boxes ask of it), and the edit field driven as its window drives it
// (key messages, the mouse, the layer's clipboard, the caret's blink through timer passes).
#include <string.h>

#include "base/string_util.h"
#include "ctrls/button.h"
#include "ctrls/edit_text.h"
#include "ctrls/link_ctrl.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls/system_panel.h"
#include "ctrls/text_place.h"
#include "ctrls_support.h"
#include "gui/timer.h"

namespace {

using ctrls::Button;
using ctrls::EditText;
using ctrls::StaticText;
using ctrls_test::Canvas;
using Gui::Ctrl;
using Gui::Point;
using ControlsTest = ctrls_test::CtrlsTest;

TEST_F(ControlsTest, AButtonShowsItsStateAndActsOnlyOnAReleaseOverIt) {
    const struct {
        const char* steps;
        bool enabled;
        Button::Look look;
        int actions;
    } rows[] = {
        {"e", true, Button::HOT, 0},         {"ed", true, Button::PRESSED, 0},
        {"edu", true, Button::HOT, 1},       {"edo", true, Button::NORMAL, 0},
        {"edou", true, Button::NORMAL, 0},   {"edoeu", true, Button::HOT, 1},
        {"edu", false, Button::DISABLED, 0},
    };
    ctrls::ButtonStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.start", style));
    for (const auto& row : rows) {
        Button b;
        root.Add(b.SetStyle(style).LeftPos(460, 120).TopPos(190, 44));
        b.Enable(row.enabled);
        b.WhenAction = counter;
        actions = 0;
        Play(row.steps, Point(500, 200));
        EXPECT_EQ(std::make_pair(b.GetLook(), actions), std::make_pair(row.look, row.actions))
            << row.steps;
        const bool held = row.enabled && strchr(row.steps, 'd') && !strchr(row.steps, 'u');
        EXPECT_EQ(Ctrl::GetCaptureCtrl() == &b, held) << row.steps;
        // Beside the caption the face is the look's own picture, pixel for pixel.
        EXPECT_EQ(Canvas(b).At(3, 22), ctrls_test::Rgb(style.look[row.look], 3, 22));
        Play("u", Point());
    }
}

TEST_F(ControlsTest, ACheckBoxTogglesOnAClick) {
    ctrls::OptionCtrl o;
    root.Add(o.SetLabel(L"开机启动").LeftPos(10, 100).TopPos(10, 20));
    o.WhenAction = counter;
    for (bool checked : {true, false, true}) {
        Play("edu", Point(15, 20));
        EXPECT_EQ(o.Get(), checked);
    }
    Play("edoue", Point(15, 20));
    EXPECT_EQ(actions, 3);
    const Gui::Image& box = o.GetStyle().pressed[ctrls::OptionCtrl::HOT];
    const Canvas painted(o);  // the box 3 pixels down: the checked one's tick and hot edge
    EXPECT_EQ(painted.At(5, 11), ctrls_test::Rgb(box, 5, 8));
    EXPECT_EQ(painted.At(0, 9), ctrls_test::Rgb(box, 0, 6));
}

TEST_F(ControlsTest, ALinkUnderTheMouseTakesItsHotFontAndTheHandAndActsOnAClick) {
    ctrls::LinkCtrl<ctrls::StaticText> link;
    ctrls::LinkStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.link_home", style));
    root.Add(link.SetStyle(style).SetText(L"官方网站").LeftPos(464, 48).TopPos(252, 16));
    link.WhenAction = counter;
    Play("e", Point(470, 260));
    EXPECT_TRUE(link.GetFont().IsUnderline());
    EXPECT_EQ(link.GetFont(), style.textfont1);
    EXPECT_EQ(root.Mouse(Ctrl::CURSORIMAGE, Point(470, 260)).GetSerialId(),
              Gui::Image::Hand().GetSerialId());
    // Hot, a line in the hot colour runs under the whole text, inside the link's place.
    auto underlined = [&] {
        const Canvas c(link);
        const Gui::Color ink = link.GetInk();
        const uint32_t rgb = ink.GetR() << 16 | ink.GetG() << 8 | ink.GetB();
        for (int y = 0; y < 16; ++y)
            if (c.Count(Gui::Rect(0, y, 48, y + 1), rgb) == 48) return true;
        return false;
    };
    EXPECT_TRUE(underlined());
    Play("dudou", Point(470, 260));
    EXPECT_EQ(actions, 1) << "the second press was released elsewhere";
    EXPECT_EQ(link.GetFont(), style.textfont0);
    EXPECT_FALSE(underlined());
}

TEST(TextPlaceTest, ALineSitsByTheSkinsAlignNumbers) {
    const Gui::Rect r(10, 20, 210, 36);
    const int x[] = {92, 10, 174, 92};  // align 0 centre, 1 left, 2 right, any other centre
    for (int align = 0; align < 4; ++align)
        EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), align), Gui::Point(x[align], 22));
    EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), 2, 1), Gui::Point(174, 20)) << "top";
}

TEST_F(ControlsTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    t.SetText(path).SetRect(0, 0, 60, 16);
    const std::wstring shown = t.GetShownText();
    EXPECT_EQ(path.substr(0, shown.size() - 3) + L"...", shown);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    t.SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
}

TEST_F(ControlsTest, AProgressBlockCoversThePartDoneAndRepaintsOnlyWhenItGrows) {
    ctrls::ProgressCtrl bar;
    root.Add(bar.LeftPos(20, 420).TopPos(206, 10));
    const struct {
        int pos, total, got, width;
        bool repaint;
    } rows[] = {{-5, 10000, 0, 0, false},        {1, 10000, 1, 0, false},
                {24, 10000, 24, 1, true},        {2500, 10000, 2500, 105, true},
                {2510, 10000, 2510, 105, false}, {12000, 10000, 10000, 420, true},
                {3, 0, 1, 420, false},           {1, 4, 1, 105, true}};
    for (const auto& row : rows) {
        root.invalid.clear();
        bar.Set(row.pos, row.total);
        root.ClearRefreshPending();
        EXPECT_EQ(std::make_tuple(bar.Get(), bar.GetBlockWidth(), !root.invalid.empty()),
                  std::make_tuple(row.got, row.width, row.repaint))
            << row.pos;
        // The standard block's face, inside its one-pixel edge, spans the width.
        EXPECT_EQ(Canvas(bar).Count(Gui::RectC(0, 5, 420, 1), 0x06B025),
                  std::max(row.width - 2, 0));
    }
}

TEST_F(ControlsTest, ItPaintsTheSkinsChromeDragsByTheTitleAndPostsTheBoxesCommands) {
    ctrls::SystemPanel::Style style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.sys", style));
    ctrls::SystemPanel panel;
    root.Add(panel.SetStyle(style).SizePos());
    const Canvas painted(panel);
    for (Point p : {Point(300, 250), Point(3, 100), Point(599, 278)})
        EXPECT_EQ(painted.At(p.x, p.y), ctrls_test::Rgb(style.wndbg, p.x, p.y));
    EXPECT_EQ(painted.At(18, 16), ctrls_test::Rgb(style.icon, 8, 8)) << "the icon at 10, 8";
    const Gui::Rect title(style.titlepos.x, 0, 200, 30);
    EXPECT_GT(painted.Count(title, 0xE8ECF2), 20);
    EXPECT_EQ(Canvas(panel.SetTitle(L"")).Count(title, 0xE8ECF2), 0);
    EXPECT_EQ(std::make_pair(panel.MinBox().GetRect(), panel.CloseBox().GetRect()),
              std::make_pair(Gui::RectC(536, 4, 28, 24), Gui::RectC(566, 4, 28, 24)));
    const struct {
        Point press, pointer_moves;
        bool drags;
        WPARAM command;  // 0: none posted
    } rows[] = {
        {{50, 10}, {30, 20}, true, 0},        {{300, 31}, {-90, 500}, true, 0},
        {{50, 40}, {30, 20}, false, 0},       {{550, 16}, {0, 0}, false, SC_MINIMIZE},
        {{580, 16}, {0, 0}, false, SC_CLOSE}, {{580, 16}, {0, 100}, false, 0},
    };
    for (const auto& row : rows) {
        SetWindowPos(root.hwnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        // The pointer's latest position runs ahead of the events: the events count.
        SetCursorPos(700, 700);
        root.Mouse(Gui::Ctrl::LEFTDOWN, row.press);
        EXPECT_EQ(panel.IsDragging(), row.drags);
        const Point d = row.pointer_moves;
        const Point at(row.press.x + d.x, row.press.y + d.y);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, at);
        // A window that moved with the pointer keeps it over the same point of it.
        const Point up = row.drags ? row.press : at;
        root.Mouse(Gui::Ctrl::LEFTUP, up);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, Point(up.x + 5, up.y + 5));
        RECT r;
        GetWindowRect(root.hwnd, &r);
        EXPECT_EQ(Point(r.left, r.top), row.drags ? Point(100 + d.x, 100 + d.y) : Point(100, 100));
        MSG msg;
        const bool posted = PeekMessageW(&msg, root.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
        EXPECT_EQ(posted ? msg.wParam : 0, row.command) << row.press.x << "," << row.press.y;
    }
}

// What another field pastes from the clipboard.
std::wstring Pasted() {
    EditText other;
    other.Paste();
    return other.GetText();
}

class EditTest : public ctrls_test::CtrlsTest {
public:
    EditTest() {
        root.Add(edit.LeftPos(10, 200).TopPos(10, 24));
        edit.WhenAction = counter;
    }
    EditTest& Press(int vk, int mod = 0) {
        ctrls_test::Keys({mod});
        edit.Key(WM_KEYDOWN, vk, 0);
        ctrls_test::Keys({});
        return *this;
    }
    EditTest& Type(const std::wstring& text) {
        for (wchar_t c : text) edit.Key(WM_CHAR, c, 0);
        return *this;
    }
    // The text with the caret as | and the other end of a selection as ^.
    std::wstring Shown() const {
        std::wstring s = edit.GetText();
        int low, high;
        if (edit.GetSelection(low, high)) s.insert(edit.GetCaret() == low ? high : low, L"^");
        return s.insert(edit.GetCaret() + (edit.GetCaret() == high && low < high), L"|");
    }

    EditText edit;
};

TEST_F(EditTest, KeysEditTheTextAndTheClipboardCarriesIt) {
    ASSERT_TRUE(edit.TakeFocus());
    EXPECT_EQ(Type(L"a中文\xD840\xDC0B\xDC0B").Shown(), L"a中文\U0002000B|") << "halves joined";
    EXPECT_EQ(Type(L"\b").Shown(), L"a中文|");
    EXPECT_EQ(Press(VK_LEFT).Press(VK_LEFT, VK_SHIFT).Shown(), L"a|中^文");
    EXPECT_EQ(Type(L"b").Shown(), L"ab|文");
    EXPECT_EQ(Press(VK_HOME).Type(L"\b").Shown(), L"|ab文");
    EXPECT_EQ(Press(VK_END).Press(VK_DELETE).Shown(), L"ab文|");
    EXPECT_EQ(Press(VK_HOME, VK_SHIFT).Press('C', VK_CONTROL).Shown(), L"|ab文^");
    EXPECT_EQ(Pasted(), L"ab文");
    EXPECT_EQ(Press(VK_RIGHT).Press('V', VK_CONTROL).Shown(), L"ab文ab文|");
    EXPECT_EQ(Press('A', VK_CONTROL).Press(VK_LEFT, VK_SHIFT).Shown(), L"^ab文ab|文");
    EXPECT_EQ(Press('X', VK_CONTROL).Shown(), L"|文");
    EXPECT_EQ(Pasted(), L"ab文ab");
    EXPECT_FALSE(edit.Key(WM_CHAR, 3, 0)) << "the character of Ctrl+C is no text";
    EXPECT_EQ(Press(VK_DELETE).Type(L"\b").Shown(), L"|");

    // A text of several lines pastes its first.
    EditText lines;
    root.Add(lines.SetText(L"第一行\r\n第二行"));
    lines.SelectAll();
    ASSERT_TRUE(lines.Copy());
    EXPECT_EQ(Press(VK_INSERT, VK_SHIFT).Shown(), L"第一行|");
    // Read-only, it still selects and copies.
    edit.SetReadOnly();
    Type(L"x\b").Press(VK_DELETE).Press('A', VK_CONTROL).Press('C', VK_CONTROL);
    EXPECT_EQ(Press('X', VK_CONTROL).Press('V', VK_CONTROL).Shown(), L"^第一行|");
    EXPECT_EQ(Pasted(), L"第一行");
    EXPECT_EQ(actions, 10);
}

TEST_F(EditTest, AClickTakesTheFocusAndTheMouseSelects) {
    edit.SetText(L"abc, def");
    const int x = 10 + edit.GetStyle().margin.left + Gui::GetTextSize(L"abc", edit.GetFont()).cx;
    Play("du", Point(x, 20));
    EXPECT_TRUE(edit.HasFocus());
    EXPECT_EQ(Shown(), L"abc|, def");
    root.Mouse(Gui::Ctrl::LEFTDOUBLE, Point(x + 20, 20));
    EXPECT_EQ(Shown(), L"abc, ^def|") << "a double click takes a word";
    EXPECT_EQ(Press(VK_LEFT, VK_CONTROL).Press(VK_LEFT, VK_CONTROL).Shown(), L"abc|, def");
    Play("dou", Point(13, 20));  // released far right of the text
    EXPECT_EQ(Shown(), L"^abc, def|");
    EXPECT_EQ(ctrls_test::Canvas(edit).At(edit.GetStyle().margin.left + 1, 7), 0x3399FFu);
    // A style without colours or frame has the standard paper.
    EXPECT_EQ(ctrls_test::Canvas(edit.SetStyle(EditText::Style())).At(150, 12), 0xFFFFFFu);
}

TEST_F(EditTest, TheCaretBlinksWhileTheFieldHasTheFocus) {
    ASSERT_TRUE(edit.TakeFocus());
    const DWORD t = GetTickCount();
    EXPECT_TRUE(edit.IsCaretShown());
    Gui::ProcessTimeCallbacks(t + EditText::kBlinkMs + 100);
    EXPECT_FALSE(edit.IsCaretShown());
    Gui::ProcessTimeCallbacks(t + 2 * EditText::kBlinkMs + 200);
    EXPECT_TRUE(edit.IsCaretShown());
    // Another control takes the focus without telling this one.
    EditText other;
    root.Add(other.LeftPos(10, 100).TopPos(50, 24));
    ASSERT_TRUE(other.SetFocus());
    Gui::ProcessTimeCallbacks(t + 3 * EditText::kBlinkMs + 300);
    EXPECT_FALSE(edit.IsCaretShown());
    EXPECT_FALSE(edit.ExistsTimeCallback());
}

}  // namespace

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
    enum { ON, OFF, PARENT_OFF };  // the button enabled, disabled, under a disabled parent
    // Besides the steps of Play: x, the button is disabled; c, another window takes the capture.
    const std::tuple<const char*, int, Button::Look, int> rows[] = {
        {"e", ON, Button::HOT, 0},         {"ed", ON, Button::PRESSED, 0},
        {"edu", ON, Button::HOT, 1},       {"edo", ON, Button::NORMAL, 0},
        {"edou", ON, Button::NORMAL, 0},   {"edoeu", ON, Button::HOT, 1},
        {"edu", OFF, Button::DISABLED, 0}, {"edu", PARENT_OFF, Button::DISABLED, 0},
        {"edxu", ON, Button::DISABLED, 0}, {"edcu", ON, Button::HOT, 0},
    };
    ctrls::ButtonStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.start", style));
    for (const auto& [steps, enabled, look, acted] : rows) {
        Ctrl parent;
        Button b;
        root.Add(parent.SizePos());
        parent.Add(b.SetStyle(style).LeftPos(460, 120).TopPos(190, 44));
        b.Enable(enabled != OFF);
        parent.Enable(enabled != PARENT_OFF);
        b.WhenAction = counter;
        actions = 0;
        Play(steps, Point(500, 200),
             [&](char s) { s == 'x' ? b.Disable() : void(Ctrl::ReleaseCtrlCapture()); });
        EXPECT_EQ(std::make_pair(b.GetLook(), actions), std::make_pair(look, acted))
            << steps << enabled;
        const bool held = enabled == ON && strchr(steps, 'd') && !strpbrk(steps, "uc");
        EXPECT_EQ(Ctrl::GetCaptureCtrl() == &b, held) << steps;
        // Beside the caption the face is the look's own picture, pixel for pixel.
        EXPECT_EQ(Canvas(b).At(3, 22), ctrls_test::Rgb(style.look[look], 3, 22));
        Play("u", Point());
    }
}

// The caption in each look's colour where align and valign put it, moved by the press
// offset only while pressed; a look without a picture shows the normal one.
TEST_F(ControlsTest, AButtonsCaptionTakesItsLooksColourPlaceAndPressOffset) {
    ctrls::ButtonStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.start", style));
    const uint32_t ink[4] = {0xC00000, 0x00A000, 0x0000C0, 0xC000C0};
    for (int i = 0; i < 4; ++i)
        style.textcolor[i] = Gui::Color(ink[i] >> 16, (ink[i] >> 8) & 0xFF, ink[i] & 0xFF);
    style.pressoffset = Point(3, 5);
    style.look[Button::HOT] = Gui::Image();
    Button b;
    root.Add(b.SetLabel(L"开始下载").LeftPos(460, 120).TopPos(190, 44));
    const auto caption = [&](int align, int valign, const char* steps = "") {
        style.align = align, style.valign = valign;
        b.SetStyle(style);
        Play(steps, Point(500, 200));
        const Canvas painted(b);
        const Button::Look look = b.GetLook();
        Play("u", Point());
        return std::make_tuple(look, painted.Box(ink[look], b.GetSize(), 0x30), painted.At(3, 22));
    };
    const auto [look, centred, face] = caption(0, 0);
    ASSERT_TRUE(look == Button::NORMAL && !centred.IsEmpty());
    EXPECT_EQ(caption(0, 0, "e"), std::make_tuple(Button::HOT, centred, face));
    EXPECT_EQ(caption(0, 0, "ed"), std::make_tuple(Button::PRESSED, Gui::OffsetRect(centred, 3, 5),
                                                   ctrls_test::Rgb(style.look[2], 3, 22)));
    const Gui::Rect top_left = std::get<1>(caption(1, 1)),
                    bottom_right = std::get<1>(caption(2, 2));
    EXPECT_TRUE(top_left.left < centred.left - 10 && top_left.top < centred.top - 5);
    EXPECT_TRUE(bottom_right.right > centred.right + 10 &&
                bottom_right.bottom > centred.bottom + 5);
    b.Disable();
    EXPECT_EQ(caption(0, 0),
              std::make_tuple(Button::DISABLED, centred, ctrls_test::Rgb(style.look[3], 3, 22)));
}

// A check box: a click toggles it; the label sits at optionview_width (the box's own width
// when that is 0) in its ink; a look without a picture shows the normal one.
TEST_F(ControlsTest, ACheckBoxTogglesOnAClickAndPlacesItsLabel) {
    ctrls::OptionCtrl o;
    o.SetLabel(L"开机启动").SetInk(Gui::Color(0x20, 0x40, 0x80));
    root.Add(o.LeftPos(10, 100).TopPos(10, 20));
    o.WhenAction = counter;
    for (bool checked : {true, false, true}) {
        Play("edu", Point(15, 20));
        EXPECT_EQ(o.Get(), checked);
    }
    Play("edoue", Point(15, 20));
    EXPECT_EQ(actions, 3);
    ctrls::OptionStyle style = o.GetStyle();
    const Gui::Image& box = style.pressed[ctrls::OptionCtrl::HOT];
    const Canvas painted(o);  // the box 3 pixels down: the checked one's tick and hot edge
    EXPECT_EQ(painted.At(5, 11), ctrls_test::Rgb(box, 5, 8));
    EXPECT_EQ(painted.At(0, 9), ctrls_test::Rgb(box, 0, 6));
    style.pressed[ctrls::OptionCtrl::HOT] = Gui::Image();
    for (int width : {0, 30}) {
        style.optionview_width = width;
        const Canvas label(o.SetStyle(style));
        EXPECT_EQ(label.At(0, 9), ctrls_test::Rgb(style.pressed[0], 0, 6));
        const int left = label.Box(0x204080, o.GetSize(), 0x30).left - (width ? width : 13);
        EXPECT_TRUE(left >= 0 && left <= 2) << width << " " << left;
    }
}

TEST_F(ControlsTest, ALinkUnderTheMouseTakesItsHotFontInkAndTheHandAndActsOnAClick) {
    ctrls::LinkCtrl<ctrls::StaticText> link;
    ctrls::LinkStyle style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.link_home", style));
    const Gui::Color hot(0x9A, 0xD0, 0xFF);
    root.Add(
        link.SetStyle(style).SetHotInk(hot).SetText(L"官方网站").LeftPos(464, 48).TopPos(252, 16));
    link.WhenAction = counter;
    Play("e", Point(470, 260));
    EXPECT_EQ(std::make_tuple(link.GetFont(), link.GetInk()),
              std::make_tuple(style.textfont1, hot));
    EXPECT_TRUE(link.GetFont().IsUnderline());
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
    Play("dudoeu", Point(470, 260));
    EXPECT_EQ(actions, 1) << "the second press left the link before its release";
    Play("o", Point());
    EXPECT_EQ(std::make_tuple(link.GetFont(), link.GetInk()),
              std::make_tuple(style.textfont0, style.textcolor));
    EXPECT_FALSE(underlined());
}

TEST(TextPlaceTest, ALineSitsByTheSkinsAlignNumbers) {
    const Gui::Rect r(10, 20, 210, 36);
    const int x[] = {92, 10, 174, 92};  // align 0 centre, 1 left, 2 right, any other centre
    for (int align = 0; align < 4; ++align)
        EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), align), Gui::Point(x[align], 22));
    EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), 2, 1), Gui::Point(174, 20)) << "top";
}

// A text ends in dots while it is too wide, fitted again when its text, font or width
// changes; drawn where its align puts it.
TEST_F(ControlsTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    root.Add(t.SetText(path).SetRect(0, 0, 60, 16));
    const std::wstring shown = t.GetShownText();
    EXPECT_EQ(path.substr(0, shown.size() - 3) + L"...", shown);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    Gui::Font big;
    ASSERT_TRUE(skin::SkinLoader::Instance().GetRealisedFont("button_ft", big));
    t.SetFont(big);
    EXPECT_LT(t.GetShownText().size(), shown.size());
    t.SetText(L"D:\\").SetAlign(StaticText::RIGHT).SetInk(Gui::Color(0x20, 0x40, 0x80));
    EXPECT_EQ(t.GetShownText(), L"D:\\");
    EXPECT_GT(Canvas(t).Box(0x204080, t.GetSize(), 0x30).left, 30) << "at the right";
    t.SetText(path).SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
}

// A control repaints when what it shows changes, and only then.
TEST_F(ControlsTest, ChangesThatShowRepaint) {
    Button b;
    ctrls::OptionCtrl o;
    StaticText t;
    root.Add(b.LeftPos(0, 80).TopPos(0, 20)).Add(o.LeftPos(0, 80).TopPos(30, 20));
    root.Add(t.LeftPos(0, 80).TopPos(60, 20));
    // clang-format off
    const std::function<void()> changes[] = {
        [&] { b.SetLabel(L"暂停"); },           [&] { Play("e", Point(10, 10)); },
        [&] { o.Set(true); },                   [&] { t.SetText(L"下载"); },
        [&] { t.SetInk(Gui::Color(1, 2, 3)); }, [&] { t.SetAlign(StaticText::RIGHT); },
        [&] { t.SetFont(Gui::Font(t.GetFont()).Height(20)); }};
    // clang-format on
    for (const auto& change : changes) {
        for (bool again : {false, true}) {
            root.ClearRefreshPending();
            root.invalid.clear();
            change();
            EXPECT_NE(root.invalid.empty(), !again) << &change - changes << again;
        }
    }
}

TEST_F(ControlsTest, AProgressBlockCoversThePartDoneAndRepaintsOnlyWhenItGrows) {
    ctrls::ProgressCtrl bar;
    root.Add(bar.LeftPos(20, 420).TopPos(206, 10));
    // clang-format off
    const std::tuple<int, int, int, int, bool> rows[] = {
        {-5, 10000, 0, 0, false},        {1, 10000, 1, 0, false},
        {24, 10000, 24, 1, true},        {2500, 10000, 2500, 105, true},
        {2510, 10000, 2510, 105, false}, {12000, 10000, 10000, 420, true},
        {3, 0, 1, 420, false},           {3, -5, 1, 420, false},
        {1, 4, 1, 105, true}};
    // clang-format on
    for (const auto& [pos, total, got, width, repaint] : rows) {
        root.invalid.clear();
        bar.Set(pos, total);
        root.ClearRefreshPending();
        EXPECT_EQ(std::make_tuple(bar.Get(), bar.GetBlockWidth(), !root.invalid.empty()),
                  std::make_tuple(got, width, repaint))
            << pos;
        // The standard block's face, inside its one-pixel edge, spans the width; the
        // groove's the rest.
        const Canvas painted(bar);
        EXPECT_EQ(painted.Count(Gui::RectC(0, 5, 420, 1), 0x06B025), std::max(width - 2, 0));
        EXPECT_EQ(painted.Count(Gui::RectC(0, 5, 420, 1), 0xE6E6E6),
                  std::clamp(419 - width, 0, 418));
    }
    // Tiled, the block repeats at its own width, the last tile cut at the block's end.
    ctrls::ProgressStyle tiled = bar.GetStyle();
    tiled.tile = true;
    Gui::ImageBuffer stripe(10, 10);
    for (int i = 0; i < 100; ++i) stripe.Begin()[i] = Gui::MakeRGBA(i % 10 ? 0 : 255, 0, 0, 255);
    tiled.block = Gui::Image(stripe);
    const Canvas painted(bar.SetStyle(tiled).Set(1, 4));
    EXPECT_EQ(painted.Count(Gui::RectC(0, 5, 420, 1), 0xFF0000), 11);

    // Animated, MoveTo glides a quarter of the way at each step; Set ends a glide.
    for (bool animate : {false, true}) {
        tiled.animate = animate;
        bar.SetStyle(tiled).Set(0, 10000);
        bar.MoveTo(8000);
        std::vector<int> seen = {bar.Get()};
        const DWORD t = GetTickCount();
        for (int step = 1; step <= 40; ++step) {
            Gui::ProcessTimeCallbacks(t + step * (ctrls::ProgressCtrl::kGlideStepMs + 5));
            if (step <= 3) seen.push_back(bar.Get());
        }
        const std::vector<int> glide = {0, 2000, 3500, 4625}, jump = {8000, 8000, 8000, 8000};
        EXPECT_EQ(seen, animate ? glide : jump);
        EXPECT_EQ(std::make_pair(bar.Get(), bar.ExistsTimeCallback()), std::make_pair(8000, false));
    }
    bar.MoveTo(0);
    bar.Set(5000);
    Gui::ProcessTimeCallbacks(GetTickCount() + 100);
    EXPECT_EQ(bar.Get(), 5000);
}

TEST_F(ControlsTest, ItPaintsTheSkinsChromeDragsByTheTitleAndPostsTheBoxesCommands) {
    ctrls::SystemPanel::Style style;
    ASSERT_TRUE(ctrls_test::GetStyle("mainwnd.sys", style));
    ctrls::SystemPanel panel;
    root.Add(panel.SetStyle(style).SizePos());
    // The picture drawn pixel for pixel (the end-to-end pictures allow an edge a pixel aside);
    // the icon they show.
    const Canvas painted(panel);
    for (Point p : {Point(300, 250), Point(3, 100), Point(599, 278)})
        EXPECT_EQ(painted.At(p.x, p.y), ctrls_test::Rgb(style.wndbg, p.x, p.y));
    const Gui::Rect title = painted.Box(0xE8ECF2, Gui::Rect(0, 0, 500, 32));
    EXPECT_TRUE(title.left >= 32 && title.left <= 34 && title.top >= 10 && title.top <= 14);
    EXPECT_TRUE(Canvas(panel.SetTitle(L"")).Box(0xE8ECF2, Gui::Rect(0, 0, 500, 32)).IsEmpty());
    // Without a picture the colour fills it; a title without ink has the standard one.
    ctrls::SystemPanel::Style plain = style;
    plain.wndbg = Gui::Image();
    plain.titleink = Gui::Color();
    const Canvas bare(panel.SetStyle(plain));
    EXPECT_EQ(bare.At(300, 250), 0x1E2534u);
    plain.titleink = ctrls::SystemPanel::StyleDefault().titleink;
    const Canvas inked(panel.SetStyle(plain));
    EXPECT_TRUE(std::equal(bare.bits(), bare.bits() + 600 * 279, inked.bits()));
    // Boxes at their places; where the style gives none, at the top right, close outermost;
    // without a look, hidden.
    ctrls::SystemPanel::Style unplaced = style, no_min = style;
    unplaced.closebox.posy[1] = 0;
    no_min.minbox.look[0] = Gui::Image();
    const Gui::Rect placed = Gui::RectC(536, 4, 28, 24), top_right = Gui::RectC(572, 0, 28, 24);
    // clang-format off
    const std::tuple<ctrls::SystemPanel::Style, Gui::Rect, Gui::Rect, bool> boxes[] = {
        {style, placed, Gui::RectC(566, 4, 28, 24), true},
        {ctrls::SystemPanel::StyleDefault(), Gui::RectC(544, 0, 28, 24), top_right, true},
        {unplaced, placed, top_right, true}, {no_min, placed, Gui::RectC(566, 4, 28, 24), false}};
    // clang-format on
    for (const auto& [with, min, close, min_shown] : boxes) {
        panel.SetStyle(with);
        EXPECT_EQ(std::make_tuple(panel.MinBox().GetRect(), panel.CloseBox().GetRect(),
                                  panel.MinBox().IsShown(), panel.CloseBox().IsShown()),
                  std::make_tuple(min, close, min_shown, true));
    }
    panel.SetStyle(style);
    const std::tuple<Point, Point, bool, WPARAM> rows[] = {
        {{50, 10}, {30, 20}, true, 0},           {{300, 31}, {-90, 500}, true, 0},
        {{300, 32}, {30, 20}, false, 0},         {{50, 40}, {30, 20}, false, 0},
        {{550, 16}, {0, 0}, false, SC_MINIMIZE}, {{580, 16}, {0, 0}, false, SC_CLOSE},
        {{580, 16}, {0, 100}, false, 0},
    };
    for (const auto& [press, d, drags, command] : rows) {
        SetWindowPos(root.hwnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        // The pointer's latest position runs ahead of the events: the events count.
        SetCursorPos(700, 700);
        root.Mouse(Gui::Ctrl::LEFTDOWN, press);
        EXPECT_EQ(panel.IsDragging(), drags);
        const Point at(press.x + d.x, press.y + d.y);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, at);
        // A window that moved with the pointer keeps it over the same point of it.
        const Point up = drags ? press : at;
        root.Mouse(Gui::Ctrl::LEFTUP, up);
        root.Mouse(Gui::Ctrl::MOUSEMOVE, Point(up.x + 5, up.y + 5));
        RECT r;
        GetWindowRect(root.hwnd, &r);
        EXPECT_EQ(Point(r.left, r.top), drags ? Point(100 + d.x, 100 + d.y) : Point(100, 100));
        MSG msg;
        const bool posted = PeekMessageW(&msg, root.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
        EXPECT_EQ(posted ? msg.wParam : 0, command) << press.x << "," << press.y;
    }
    // A drag ends when another window takes the capture.
    root.Mouse(Gui::Ctrl::LEFTDOWN, Point(50, 10));
    Ctrl::ReleaseCtrlCapture();
    root.Mouse(Gui::Ctrl::MOUSEMOVE, Point(80, 30));
    EXPECT_FALSE(panel.IsDragging());
}

// What another field pastes from the clipboard.
std::wstring Pasted() {
    EditText other;
    other.Paste();
    return other.GetText();
}

class EditTest : public ctrls_test::CtrlsTest {
public:
    enum { C = 1, S = 2, A = 4, CHAR = 8 };  // Ctrl, Shift, Alt held; a WM_CHAR
    struct Key {
        UINT code;
        int how = 0;
    };

    EditTest() {
        root.Add(edit.LeftPos(10, 200).TopPos(10, 24));
        edit.WhenAction = counter;
    }
    // Each key as its window delivers it, with the modifiers held; the last one's answer.
    bool Press(std::initializer_list<Key> keys) {
        bool used = false;
        for (const Key& k : keys) {
            ctrls_test::Keys(
                {k.how & C ? VK_CONTROL : 0, k.how & S ? VK_SHIFT : 0, k.how & A ? VK_MENU : 0});
            used = edit.Key(k.how & CHAR ? WM_CHAR : WM_KEYDOWN, k.code, 0);
        }
        ctrls_test::Keys({});
        return used;
    }
    // The text with the caret as | and the other end of a selection as ^.
    std::wstring Shown() const {
        std::wstring s = edit.GetText();
        int low, high;
        if (edit.GetSelection(low, high)) s.insert(edit.GetCaret() == low ? high : low, L"^");
        return s.insert(edit.GetCaret() + (edit.GetCaret() == high && low < high), L"|");
    }
    // Gives the field a text and selection written as Shown() writes them.
    void Show(std::wstring s) {
        const size_t caret = s.find(L'|');
        s.erase(caret, 1);
        size_t anchor = s.find(L'^');
        if (anchor != std::wstring::npos) s.erase(anchor, 1);
        const int at = static_cast<int>(caret - (anchor < caret));
        edit.SetText(s);
        edit.SetSelection(anchor == std::wstring::npos ? at : static_cast<int>(anchor), at);
    }

    EditText edit;
};

TEST_F(EditTest, EveryKeyItTakesEditsOrSelectsAsAUserExpects) {
    ASSERT_TRUE(edit.TakeFocus());
    // clang-format off
    const struct {
        const wchar_t* before;
        std::initializer_list<Key> keys;
        const wchar_t* after;
        int changes;
        const wchar_t* clipboard = nullptr;  // null: as it was
    } rows[] = {
        {L"|", {{L'a', CHAR}, {L'中', CHAR}, {0xD840, CHAR}, {0xDC0B, CHAR}}, L"a中\U0002000B|", 3},
        {L"ab|", {{0xDC0B, CHAR}, {0xD840, CHAR}, {L'x', CHAR}}, L"abx|", 1},  // lone halves
        {L"ab|", {{1, CHAR}, {'\t', CHAR}, {'\n', CHAR}, {'\r', CHAR}, {0x1B, CHAR}, {0x1F, CHAR},
                  {0x7F, CHAR}, {'A', C | A}}, L"ab|", 0},  // no text; Ctrl+Alt is AltGr
        {L"a中|文", {{'\b', CHAR}}, L"a|文", 1},
        {L"a|bc", {{'\b', CHAR}, {'\b', CHAR}}, L"|bc", 1},
        {L"ab  cd| ef", {{VK_LEFT, C}}, L"ab  |cd ef", 0},
        {L"ab  |cd ef", {{VK_LEFT, C}}, L"|ab  cd ef", 0},
        {L"|ab  cd ef", {{VK_RIGHT, C}, {VK_RIGHT, C | S}}, L"ab  ^cd |ef", 0},
        {L"abc, |def", {{VK_LEFT, C}, {VK_LEFT, C}}, L"|abc, def", 0},
        {L"a^bc|d", {{VK_LEFT}}, L"a|bcd", 0},
        {L"a|bc^d", {{VK_RIGHT}}, L"abc|d", 0},
        {L"a^bc|d", {{VK_LEFT, S}}, L"a^b|cd", 0},
        {L"ab|cd", {{VK_END, S}}, L"ab^cd|", 0},
        {L"ab|cd", {{VK_HOME, S}}, L"|ab^cd", 0},
        {L"ab^c|d", {{VK_HOME}}, L"|abcd", 0},
        {L"ab|cd", {{VK_DELETE}}, L"ab|d", 1},
        {L"ab|", {{VK_DELETE}}, L"ab|", 0},
        {L"a^bc|d", {{VK_DELETE}}, L"a|d", 1},
        {L"a^bc|d", {{'C', C}}, L"a^bc|d", 0, L"bc"},
        {L"|ab文", {{VK_INSERT, C}}, L"|ab文", 0, L"bc"},  // nothing selected: nothing copied
        {L"^ab文|", {{VK_INSERT, C}, {VK_RIGHT}, {'V', C}}, L"ab文ab文|", 1, L"ab文"},
        {L"x|y", {{'A', C}, {VK_LEFT, S}, {'X', C}}, L"|y", 1, L"x"},
        {L"a^bc|d", {{VK_DELETE, S}}, L"a|d", 1, L"bc"},
        {L"a|d", {{VK_INSERT, S}}, L"abc|d", 1},
        {L"ab|", {{'C', C | A}, {'V', C | A}}, L"ab|", 0, L"bc"},
    };
    // clang-format on
    for (const auto& row : rows) {
        Show(row.before);
        actions = 0;
        Press(row.keys);
        EXPECT_EQ(std::make_pair(Shown(), actions),
                  std::make_pair(std::wstring(row.after), row.changes))
            << row.before;
        EXPECT_TRUE(!row.clipboard || Pasted() == row.clipboard) << row.before;
    }
    EXPECT_FALSE(Press({{3, CHAR}})) << "the character of Ctrl+C is no text";
    EXPECT_TRUE(Press({{'a', CHAR}}));

    // A text of several lines pastes its first.
    EditText lines;
    root.Add(lines.SetText(L"第一行\n第二行"));
    lines.SelectAll();
    ASSERT_TRUE(lines.Copy());
    Show(L"|");
    Press({{'V', C}});
    EXPECT_EQ(Shown(), L"第一行|");
    // Read-only, it still selects and copies; disabled, it takes no key.
    edit.SetReadOnly();
    actions = 0;
    Press({{'x', CHAR}, {'\b', CHAR}, {VK_DELETE}, {'A', C}, {'C', C}, {'X', C}});
    Press({{'V', C}, {VK_DELETE, S}});
    EXPECT_EQ(std::make_tuple(Shown(), Pasted(), actions),
              std::make_tuple(std::wstring(L"^第一行|"), std::wstring(L"第一行"), 0));
    edit.SetReadOnly(false);
    edit.Disable();
    EXPECT_FALSE(Press({{VK_HOME}}) || Press({{'x', CHAR}}));
    EXPECT_EQ(Shown(), L"^第一行|");
}

TEST_F(EditTest, AClickTakesTheFocusAndTheMouseSelects) {
    edit.SetText(L"abcd, ef");
    const int x = 10 + edit.GetStyle().margin.left;  // where the text starts
    const int c = Gui::GetTextSize(L"abc", edit.GetFont()).cx;
    const int d = Gui::GetTextSize(L"abcd", edit.GetFont()).cx;
    ASSERT_GE(d - c, 4);
    Play("du", Point(x + c + 1, 20));  // nearer the boundary before d than after it
    EXPECT_TRUE(edit.HasFocus());
    EXPECT_EQ(Shown(), L"abc|d, ef");
    root.Mouse(Gui::Ctrl::MOUSEMOVE, Point(x + d - 1, 20));
    EXPECT_EQ(Shown(), L"abc|d, ef") << "the pointer moved with no button down";
    root.Mouse(Gui::Ctrl::LEFTDOWN, Point(x + d - 1, 20), VK_SHIFT);
    root.Mouse(Gui::Ctrl::LEFTUP, Point(x + d - 1, 20));
    EXPECT_EQ(Shown(), L"abc^d|, ef") << "Shift extends the selection";
    root.Mouse(Gui::Ctrl::LEFTDOUBLE, Point(x + d + 30, 20));
    EXPECT_EQ(Shown(), L"abcd, ^ef|") << "a double click takes a word";
    Play("dou", Point(13, 20));  // released far right of the text
    EXPECT_EQ(Shown(), L"^abcd, ef|");
    EXPECT_EQ(ctrls_test::Canvas(edit).At(edit.GetStyle().margin.left + 1, 7), 0x3399FFu);
    // A style without colours or frame has the standard paper.
    EXPECT_EQ(ctrls_test::Canvas(edit.SetStyle(EditText::Style())).At(150, 12), 0xFFFFFFu);
}

// The frame of each look, the paper inside the margin, the selection (white text on
// blue) only while focused; a text wider than the field scrolls to keep the caret in view, with no
// blank room after its end while any of it is scrolled off.
TEST_F(EditTest, ItShowsItsLookAndScrollsTheCaretIntoView) {
    // How: e, the pointer enters; f, the field takes the focus; x, it is disabled.
    const std::tuple<char, EditText::Look, uint32_t, uint32_t> looks[] = {
        {' ', EditText::NORMAL, 0xABADB3, 0xFFFFFF},
        {'e', EditText::HOT, 0x7EB4EA, 0xFFFFFF},
        {'f', EditText::FOCUSED, 0x569DE5, 0xFFFFFF},
        {'x', EditText::DISABLED, 0xD9D9D9, 0xF0F0F0}};
    edit.SetText(L"abc");
    for (const auto& [how, look, edge, paper] : looks) {
        if (how == 'e') Play("e", Point(100, 20));
        EXPECT_TRUE(how != 'f' || edit.TakeFocus());
        edit.Enable(how != 'x');
        edit.SelectAll();
        const Canvas painted(edit);
        EXPECT_EQ(std::make_tuple(edit.GetLook(), painted.At(0, 12), painted.At(199, 12),
                                  painted.At(150, 12),
                                  painted.Count(painted.Box(0x3399FF), 0xFFFFFF, 0x30) > 0),
                  std::make_tuple(look, edge, edge, paper, look == EditText::FOCUSED))
            << how;
        Play("o", Point());
        Ctrl::ClearFocus();
        EXPECT_FALSE(edit.IsCaretShown());
    }
    edit.Enable();
    ASSERT_TRUE(edit.TakeFocus());
    // Where a click at the field's left and right inner edges puts the caret.
    const auto edges = [&](EditText& e) {
        const int before = e.GetCaret(), left = 10 + e.GetStyle().margin.left;
        const int right = 10 + 200 - e.GetStyle().margin.right - 1;
        std::pair<int, int> at;
        for (int* p : {&at.first, &at.second}) {
            Play("du", Point(p == &at.first ? left : right, 20));
            *p = e.GetCaret();
            e.SetSelection(before, before);
        }
        return at;
    };
    std::wstring text;
    for (int i = 0; i < 6; ++i) text += L"0123456789";
    edit.SetText(text);
    ASSERT_GT(Gui::GetTextSize(text, edit.GetFont()).cx, 300);
    const auto at_end = edges(edit);
    EXPECT_GT(at_end.first, 10);
    EXPECT_EQ(at_end.second, 60);
    // The caret, at the last pixel inside the margin, stays visible.
    EXPECT_GE(
        Canvas(edit).Count(Gui::RectC(200 - edit.GetStyle().margin.right - 1, 0, 1, 24), 0x333333),
        12);
    Press({{VK_HOME}});
    EXPECT_EQ(edges(edit).first, 0);
    Press({{VK_END}, {'\b', CHAR}, {'\b', CHAR}, {'\b', CHAR}, {'\b', CHAR}, {'\b', CHAR}});
    const auto shorter = edges(edit);
    // As a field that was given the shorter text shows it.
    edit.Remove();
    EditText fresh;
    root.Add(fresh.LeftPos(10, 200).TopPos(10, 24));
    fresh.SetText(text.substr(0, 55));
    EXPECT_EQ(shorter, edges(fresh));
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

// The edit field driven as its window drives it: key messages, the mouse, the
// layer's clipboard, and the caret's blink through timer passes.
#include "ctrls/edit_text.h"
#include "ctrls_support.h"
#include "gui/timer.h"

namespace {

using ctrls::EditText;
using Gui::Point;

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

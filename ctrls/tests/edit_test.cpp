// The edit field driven as its window drives it: key messages, the mouse, the
// clipboard of the layer, and the caret's blink through timer passes.
#include <gtest/gtest.h>

#include "ctrls/edit_text.h"
#include "ctrls_support.h"
#include "gui/timer.h"
#include "testing/lambda_callback.h"

namespace {

using ctrls::EditText;
using ctrls_test::Keys;

std::wstring Clipboard() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(busy)";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

class EditTest : public ctrls_test::SkinLoaded, public ::testing::Test {
protected:
    EditTest() {
        root.Add(edit.LeftPos(10, 200).TopPos(10, 24));
        edit.WhenAction = testing_support::Do([this] { ++changes; });
    }
    bool Press(int vk, std::initializer_list<int> mods = {}) {
        Keys(mods);
        const bool used = edit.Key(WM_KEYDOWN, vk, 0);
        Keys({});
        return used;
    }
    bool Type(const std::wstring& text) {
        bool used = true;
        for (wchar_t c : text) used = edit.Key(WM_CHAR, c, 0) && used;
        return used;
    }
    void Expect(const std::wstring& text, int caret, int low, int high, int line) {
        int l = 0, h = 0;
        edit.GetSelection(l, h);
        EXPECT_EQ(edit.GetText(), text) << "line " << line;
        EXPECT_EQ(edit.GetCaret(), caret) << "line " << line;
        EXPECT_EQ(std::make_pair(l, h), std::make_pair(low, high)) << "line " << line;
    }

    ctrls_test::Root root;
    EditText edit;
    int changes = 0;
};

TEST_F(EditTest, KeysEditTheTextAndTheClipboardCarriesIt) {
    ASSERT_TRUE(edit.TakeFocus());
    EXPECT_TRUE(Type(L"a中文"));
    Expect(L"a中文", 3, 3, 3, __LINE__);
    Press(VK_LEFT);
    Press(VK_LEFT, {VK_SHIFT});
    Expect(L"a中文", 1, 1, 2, __LINE__);
    Type(L"b");
    Expect(L"ab文", 2, 2, 2, __LINE__);
    Press(VK_HOME);
    Type(L"\b");
    Expect(L"ab文", 0, 0, 0, __LINE__);
    Press(VK_END);
    Press(VK_DELETE);
    Expect(L"ab文", 3, 3, 3, __LINE__);
    EXPECT_EQ(changes, 4);
    Press(VK_HOME, {VK_SHIFT});
    Press('C', {VK_CONTROL});
    EXPECT_EQ(Clipboard(), L"ab文");
    Press(VK_RIGHT);
    Expect(L"ab文", 3, 3, 3, __LINE__);
    Press('V', {VK_CONTROL});
    Expect(L"ab文ab文", 6, 6, 6, __LINE__);
    Press('A', {VK_CONTROL});
    Press(VK_LEFT, {VK_SHIFT});
    Press('X', {VK_CONTROL});
    Expect(L"文", 0, 0, 0, __LINE__);
    EXPECT_EQ(Clipboard(), L"ab文ab");
    EXPECT_FALSE(Type(L"\x03")) << "the character of Ctrl+C is no text";
    Press(VK_DELETE);
    Expect(L"", 0, 0, 0, __LINE__);
    EXPECT_EQ(changes, 7);

    // A copied text of several lines pastes its first.
    edit.SetText(L"x");
    const std::wstring lines = L"第一行\r\n第二行";
    HANDLE mem = GlobalAlloc(GMEM_MOVEABLE, (lines.size() + 1) * sizeof(wchar_t));
    wcscpy(static_cast<wchar_t*>(GlobalLock(mem)), lines.c_str());
    GlobalUnlock(mem);
    ASSERT_TRUE(OpenClipboard(root.hwnd) && EmptyClipboard());
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
    Press(VK_INSERT, {VK_SHIFT});
    Expect(L"x第一行", 4, 4, 4, __LINE__);
}

TEST_F(EditTest, AReadOnlyFieldSelectsAndCopiesButKeepsItsText) {
    edit.SetText(L"只读").SetReadOnly();
    ASSERT_TRUE(edit.TakeFocus());
    Type(L"x\b");
    Press(VK_DELETE);
    Press('A', {VK_CONTROL});
    Press('X', {VK_CONTROL});
    Press('C', {VK_CONTROL});
    Press('V', {VK_CONTROL});
    Expect(L"只读", 2, 0, 2, __LINE__);
    EXPECT_EQ(Clipboard(), L"只读");
    EXPECT_EQ(changes, 0);
}

TEST_F(EditTest, AClickTakesTheFocusAndTheMouseSelects) {
    edit.SetText(L"abcdef");
    const int x = 10 + edit.GetStyle().margin.left + Gui::GetTextSize(L"abc", edit.GetFont()).cx;
    root.Mouse(Gui::Ctrl::LEFTDOWN, Gui::Point(x, 20));
    root.Mouse(Gui::Ctrl::LEFTUP, Gui::Point(x, 20));
    EXPECT_TRUE(edit.HasFocus());
    Expect(L"abcdef", 3, 3, 3, __LINE__);
    root.Mouse(Gui::Ctrl::LEFTDOWN, Gui::Point(13, 20));
    root.Mouse(Gui::Ctrl::MOUSEMOVE, Gui::Point(400, 20));
    root.Mouse(Gui::Ctrl::LEFTUP, Gui::Point(400, 20));
    Expect(L"abcdef", 6, 0, 6, __LINE__);
    const ctrls_test::Canvas painted(edit);
    EXPECT_EQ(painted.At(edit.GetStyle().margin.left + 1, 7), 0x3399FFu) << "the selection";
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

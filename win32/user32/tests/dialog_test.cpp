#include "user32_test_support.h"

#include <cstring>
#include <string>
#include <vector>

using namespace user32_test;

namespace {

// Builds a dialog template in memory, field by field, in the binary layout.
class Template {
public:
    Template& word(WORD v) { return put(&v, sizeof v); }
    Template& dword(DWORD v) { return put(&v, sizeof v); }
    Template& text(const std::wstring& s) {
        for (wchar_t c : s) word(static_cast<WORD>(c));
        return word(0);
    }
    Template& rect(short x, short y, short cx, short cy) {
        for (short v : {x, y, cx, cy}) word(static_cast<WORD>(v));
        return *this;
    }
    Template& align() {
        while (bytes_.size() % 4) bytes_.push_back(0);
        return *this;
    }
    Template& header(DWORD style, DWORD ex_style, WORD items, short cx, short cy,
                     const std::wstring& title, short x = 0, short y = 0) {
        dword(style).dword(ex_style).word(items).rect(x, y, cx, cy);
        return word(0).word(0).text(title);  // no menu, the dialog class
    }
    // A 20 x 10 control; no creation data.
    Template& item(DWORD style, short x, short y, WORD id, const std::wstring& cls,
                   const std::wstring& title) {
        align().dword(style).dword(0).rect(x, y, 20, 10).word(id);
        return text(cls).text(title).word(0);
    }
    // DWORD-backed storage so the template starts on a DWORD boundary.
    LPCDLGTEMPLATEW get() {
        storage_.assign((bytes_.size() + 3) / 4, 0);
        std::memcpy(storage_.data(), bytes_.data(), bytes_.size());
        return reinterpret_cast<LPCDLGTEMPLATEW>(storage_.data());
    }

private:
    Template& put(const void* p, size_t n) {
        auto b = static_cast<const BYTE*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
        return *this;
    }
    std::vector<BYTE> bytes_;
    std::vector<DWORD> storage_;
};

constexpr UINT kAskForAnswer = WM_USER + 5, kEndMe = WM_USER + 6;

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    {
        std::lock_guard lock(g_log_mutex);
        g_log.push_back({dlg, msg, wparam, lparam, GetCurrentThreadId()});
    }
    if (msg == WM_INITDIALOG && lparam > 0) PostMessageW(dlg, kEndMe, lparam, 0);
    if (msg == kAskForAnswer) SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 42);
    if (msg == kEndMe || (msg == WM_COMMAND && LOWORD(wparam) == IDCANCEL))
        EndDialog(dlg, msg == kEndMe ? static_cast<INT_PTR>(wparam) : IDCANCEL);
    // With a parameter of 0 the dialog, not the procedure, chooses the focus.
    return msg == kAskForAnswer || msg == kEndMe || msg == WM_COMMAND ||
           (msg == WM_INITDIALOG && lparam);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        RegisterTestClass(ctl_);
    }
    HWND Create(Template& t, LPARAM param = 0) {
        return CreateDialogIndirectParamW(nullptr, t.get(), nullptr, DialogProc, param);
    }
    const std::wstring ctl_ = UniqueClassName(L"ctl");
};

TEST_F(DialogTest, APlainTemplateGivesTheDialogAndItsControlsInDialogUnits) {
    Template t;
    t.header(WS_POPUP, WS_EX_TOOLWINDOW, 3, 100, 50, L"Hello", 10, 20);
    t.item(WS_VISIBLE, 4, 8, 7, ctl_, L"first")
        .item(WS_VISIBLE | WS_TABSTOP, 30, 16, 9, ctl_, L"second");
    // The predefined button class, by ordinal.
    t.align().dword(WS_VISIBLE).dword(0).rect(1, 1, 10, 10).word(IDOK).word(0xFFFF).word(0x80);
    t.text(L"OK").word(0);
    HWND dlg = Create(t, -0x5150);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Text(dlg), L"Hello");
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(IsWindowVisible(dlg));
    EXPECT_NE(GetActiveWindow(), dlg);  // its focus waits until it is shown
    EXPECT_EQ(ClassOf(dlg), L"#32770");
    // Fixed base units of 8 by 16 pixels: 4 horizontal and 8 vertical units per base unit.
    EXPECT_EQ(WindowRect(dlg), (RECT{20, 40, 220, 140}));
    HWND second = GetDlgItem(dlg, 9);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetDlgCtrlID(second), 9);
    EXPECT_EQ(Text(second), L"second");
    EXPECT_EQ(Text(GetDlgItem(dlg, 7)), L"first");
    EXPECT_EQ(WindowRect(second), (RECT{80, 72, 120, 92}));
    EXPECT_EQ(ClassOf(GetDlgItem(dlg, IDOK)), L"Button");
    EXPECT_EQ(Text(GetDlgItem(dlg, IDOK)), L"OK");
    // WM_INITDIALOG carries the parameter and the first tab stop.
    EXPECT_EQ(CallsOf(WM_INITDIALOG), (Calls{{dlg, reinterpret_cast<WPARAM>(second), -0x5150}}));
    SetLastError(0);
    EXPECT_EQ(Failed(GetDlgItem(dlg, 1234) == nullptr), ERROR_CONTROL_ID_NOT_FOUND);
    EXPECT_EQ(GetDlgCtrlID(dlg), 0);  // a top-level window has no control id
    DestroyWindow(dlg);
    EXPECT_FALSE(IsWindow(second));
}

TEST_F(DialogTest, AnExtendedTemplateReadsItsOwnFieldOrderAndFont) {
    Template t;
    t.word(1).word(0xFFFF).dword(0);                         // version, signature, help id
    t.dword(WS_EX_TOOLWINDOW).dword(WS_POPUP | DS_SETFONT);  // ex-style before style here
    t.word(1).rect(5, 5, 60, 30).word(0).word(0).text(L"Extended");
    t.word(9).word(700).word(0).text(L"Sans");  // point size, weight, italic and charset, face
    t.align().dword(0).dword(0).dword(WS_VISIBLE).rect(1, 1, 10, 10);
    t.dword(70000).text(ctl_).text(L"wide id").word(0);  // ids are 32-bit in this layout
    HWND dlg = Create(t);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Text(dlg), L"Extended");
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(Text(GetDlgItem(dlg, 70000)), L"wide id");
    EXPECT_EQ(MessagesOf(dlg, {WM_SETFONT, WM_INITDIALOG}),
              (std::vector<UINT>{WM_SETFONT, WM_INITDIALOG}));
    EXPECT_NE(SendMessageW(dlg, WM_GETFONT, 0, 0), 0);
    DestroyWindow(dlg);
    // A control class nobody registered fails the whole dialog.
    Template bad;
    bad.header(WS_POPUP, 0, 1, 80, 40, L"")
        .item(WS_VISIBLE, 1, 1, 3, UniqueClassName(L"none"), L"");
    ClearLog();
    EXPECT_EQ(Failed(Create(bad) == nullptr), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_TRUE(SeenOf(WM_INITDIALOG).empty());
}

TEST_F(DialogTest, TheProcedureAnswersThroughMsgResultAndClosingCancels) {
    Template t;
    t.header(WS_POPUP | WS_VISIBLE, 0, 1, 40, 20, L"before").item(WS_VISIBLE, 1, 1, 5, ctl_, L"");
    HWND dlg = Create(t);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(SendMessageW(dlg, kAskForAnswer, 0, 0), 42);
    SetWindowTextW(dlg, L"after");  // unhandled: the default window behaviour
    EXPECT_EQ(Text(dlg), L"after");
    // Closing means Cancel; ending a modeless dialog hides it.
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(dlg); }));
    EXPECT_FALSE(MessagesOf(dlg, {WM_COMMAND}).empty());
    EXPECT_TRUE(IsWindow(dlg));
    DestroyWindow(dlg);
}

// The dialog's focus is the keyboard focus: shown, it goes to the first tab stop; it
// leaves with the activation and comes back with it.
TEST_F(DialogTest, TheFocusGoesToTheFirstTabStopAndComesBackWithTheActivation) {
    Template t;
    t.header(WS_POPUP, 0, 3, 80, 40, L"");
    t.item(WS_VISIBLE, 1, 1, 4, ctl_, L"label").item(WS_VISIBLE | WS_TABSTOP, 1, 12, 5, ctl_, L"");
    t.item(WS_VISIBLE | WS_TABSTOP, 1, 24, 6, ctl_, L"");
    HWND dlg = Create(t);
    ASSERT_NE(dlg, nullptr);
    EXPECT_NE(GetActiveWindow(), dlg);  // hidden, it takes nothing yet
    ShowWindow(dlg, SW_SHOW);
    HWND first = GetDlgItem(dlg, 5), second = GetDlgItem(dlg, 6);
    EXPECT_EQ(GetFocus(), first);
    MSG tab{dlg, WM_KEYDOWN, VK_TAB};
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsDialogMessageW(dlg, &tab));
        EXPECT_EQ(GetFocus(), second);
        SetFocus(first);  // past the dialog, which follows all the same
    }
    EXPECT_EQ(
        MessagesOf(first, {WM_SETFOCUS, WM_KILLFOCUS}),
        (std::vector<UINT>{WM_SETFOCUS, WM_KILLFOCUS, WM_SETFOCUS, WM_KILLFOCUS, WM_SETFOCUS}));
    HWND other = MakeWindow(WS_POPUP | WS_VISIBLE);
    MSG foreign{other, WM_KEYDOWN, VK_TAB};
    EXPECT_FALSE(IsDialogMessageW(dlg, &foreign));    // not the dialog's: left to the caller
    EXPECT_FALSE(IsDialogMessageW(other, &foreign));  // nor is a plain window a dialog
    SetActiveWindow(other);
    EXPECT_EQ(GetFocus(), other);
    ClearLog();
    SetActiveWindow(dlg);
    EXPECT_EQ(GetFocus(), first);
    EXPECT_TRUE(MessagesOf(dlg, {WM_SETFOCUS}).empty());  // straight back to the control
    DestroyWindow(other);
    DestroyWindow(dlg);
}

}  // namespace

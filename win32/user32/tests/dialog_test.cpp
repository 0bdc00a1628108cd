#include "user32_test_support.h"

#include <cstring>
#include <string>
#include <vector>

using namespace user32_test;

namespace {

// Builds a dialog template in memory, field by field, in the binary layout.
class TemplateBuilder {
public:
    void word(WORD v) { put(&v, sizeof(v)); }
    void dword(DWORD v) { put(&v, sizeof(v)); }
    void text(const std::wstring& s) {
        for (wchar_t c : s) word(static_cast<WORD>(c));
        word(0);
    }
    void ordinal(WORD v) {
        word(0xFFFF);
        word(v);
    }
    void align() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    // DWORD-backed storage so the template starts on a DWORD boundary.
    LPCDLGTEMPLATEW get() {
        storage_.assign((bytes_.size() + 3) / 4, 0);
        std::memcpy(storage_.data(), bytes_.data(), bytes_.size());
        return reinterpret_cast<LPCDLGTEMPLATEW>(storage_.data());
    }

    // Plain header: no menu, the dialog class unless one is named.
    void header(DWORD style, DWORD ex_style, WORD items, short x, short y, short cx, short cy,
                const std::wstring& title, const std::wstring& cls = L"") {
        dword(style);
        dword(ex_style);
        word(items);
        for (short v : {x, y, cx, cy}) word(static_cast<WORD>(v));
        word(0);
        if (cls.empty())
            word(0);
        else
            text(cls);
        text(title);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, const std::wstring& cls,
              const std::wstring& title) {
        align();
        dword(style);
        dword(0);
        for (short v : {x, y, cx, cy}) word(static_cast<WORD>(v));
        word(id);
        text(cls);
        text(title);
        word(0);
    }

private:
    void put(const void* p, size_t n) {
        auto b = static_cast<const BYTE*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<BYTE> bytes_;
    std::vector<DWORD> storage_;
};

struct DialogSeen {
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
};

std::vector<DialogSeen>& seen() {
    static std::vector<DialogSeen> list;
    return list;
}

constexpr UINT kAskForAnswer = WM_USER + 5;
constexpr UINT kEndMe = WM_USER + 6;

INT_PTR CALLBACK RecordingDialogProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    seen().push_back({msg, wparam, lparam});
    if (msg == kAskForAnswer) {
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 42);
        return TRUE;
    }
    if (msg == kEndMe) {
        EndDialog(dlg, static_cast<INT_PTR>(wparam));
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK EndsAtOnceProc(HWND dlg, UINT msg, WPARAM, LPARAM lparam) {
    if (msg == WM_INITDIALOG) PostMessageW(dlg, kEndMe, static_cast<WPARAM>(lparam), 0);
    if (msg == kEndMe) {
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK EndsWithWparamProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) PostMessageW(dlg, kEndMe, static_cast<WPARAM>(lparam), 0);
    if (msg == kEndMe) {
        EndDialog(dlg, static_cast<INT_PTR>(wparam));
        return TRUE;
    }
    return FALSE;
}

std::vector<UINT> SeenMessages(const std::vector<UINT>& wanted) {
    std::vector<UINT> out;
    for (auto& s : seen()) {
        for (UINT w : wanted) {
            if (s.msg == w) out.push_back(s.msg);
        }
    }
    return out;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buf[128];
    GetWindowTextW(hwnd, buf, 128);
    return buf;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        seen().clear();
    }
};

TEST_F(DialogTest, PlainTemplateGivesTitleStyleAndSizeInDialogUnits) {
    TemplateBuilder t;
    t.header(WS_POPUP, WS_EX_TOOLWINDOW, 0, 10, 20, 100, 50, L"Hello");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(dlg), L"Hello");
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    RECT client;
    GetClientRect(dlg, &client);
    // Fixed base units of 8 by 16 pixels: 4 horizontal and 8 vertical units per base unit.
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    RECT window;
    GetWindowRect(dlg, &window);
    EXPECT_EQ(window.left, 20);
    EXPECT_EQ(window.top, 40);
    wchar_t cls[64];
    GetClassNameW(dlg, cls, 64);
    EXPECT_EQ(std::wstring(cls), L"#32770");
    EXPECT_FALSE(IsWindowVisible(dlg));
    DestroyWindow(dlg);
}

TEST_F(DialogTest, InitDialogCarriesTheParamAndTheFirstTabStop) {
    std::wstring ctl = UniqueClassName(L"ctl");
    RegisterTestClass(ctl);
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 2, 0, 0, 80, 40, L"");
    t.item(WS_VISIBLE, 2, 2, 20, 10, 100, ctl, L"label");
    t.item(WS_VISIBLE | WS_TABSTOP, 2, 14, 20, 10, 101, ctl, L"field");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0x5150);
    ASSERT_NE(dlg, nullptr);
    auto inits = SeenMessages({WM_INITDIALOG});
    ASSERT_EQ(inits.size(), 1u);
    for (auto& s : seen()) {
        if (s.msg != WM_INITDIALOG) continue;
        EXPECT_EQ(s.lparam, 0x5150);
        EXPECT_EQ(reinterpret_cast<HWND>(s.wparam), GetDlgItem(dlg, 101));
    }
    DestroyWindow(dlg);
}

TEST_F(DialogTest, ItemsBecomeChildWindowsWithIdsTextAndPlaces) {
    std::wstring ctl = UniqueClassName(L"ctl");
    RegisterTestClass(ctl);
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 2, 0, 0, 80, 40, L"");
    t.item(WS_VISIBLE, 4, 8, 20, 10, 7, ctl, L"first");
    t.item(WS_VISIBLE, 30, 16, 24, 12, 9, ctl, L"second");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    HWND second = GetDlgItem(dlg, 9);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetParent(second), dlg);
    EXPECT_EQ(GetDlgCtrlID(second), 9);
    EXPECT_EQ(TextOf(second), L"second");
    EXPECT_EQ(TextOf(GetDlgItem(dlg, 7)), L"first");
    RECT r;
    GetWindowRect(second, &r);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 32);
    EXPECT_EQ(r.right - r.left, 48);
    EXPECT_EQ(r.bottom - r.top, 24);
    SetLastError(0);
    EXPECT_EQ(GetDlgItem(dlg, 1234), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    EXPECT_EQ(GetDlgCtrlID(dlg), 0);  // a top-level window has no control id
    DestroyWindow(dlg);
    EXPECT_FALSE(IsWindow(second));
}

TEST_F(DialogTest, ExtendedTemplateReadsItsOwnFieldOrder) {
    std::wstring ctl = UniqueClassName(L"ctl");
    RegisterTestClass(ctl);
    TemplateBuilder t;
    t.word(1);
    t.word(0xFFFF);
    t.dword(0);                 // help id
    t.dword(WS_EX_TOOLWINDOW);  // ex-style comes before style here
    t.dword(WS_POPUP | DS_SETFONT);
    t.word(1);
    for (short v : {5, 5, 60, 30}) t.word(static_cast<WORD>(v));
    t.word(0);
    t.word(0);
    t.text(L"Extended");
    t.word(9);    // point size
    t.word(700);  // weight
    t.word(0);    // italic, charset
    t.text(L"Sans");
    t.align();
    t.dword(0);
    t.dword(0);
    t.dword(WS_VISIBLE);
    for (short v : {1, 1, 10, 10}) t.word(static_cast<WORD>(v));
    t.dword(70000);  // ids are 32-bit in this layout
    t.text(ctl);
    t.text(L"wide id");
    t.word(0);
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(dlg), L"Extended");
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    HWND item = GetDlgItem(dlg, 70000);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(TextOf(item), L"wide id");
    DestroyWindow(dlg);
}

TEST_F(DialogTest, FontBlockSendsSetFontBeforeInitDialog) {
    TemplateBuilder t;
    t.header(WS_POPUP | DS_SETFONT, 0, 0, 0, 0, 40, 20, L"");
    t.word(9);
    t.text(L"Sans");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(SeenMessages({WM_SETFONT, WM_INITDIALOG}),
              (std::vector<UINT>{WM_SETFONT, WM_INITDIALOG}));
    EXPECT_NE(SendMessageW(dlg, WM_GETFONT, 0, 0), 0);
    DestroyWindow(dlg);
}

TEST_F(DialogTest, PredefinedControlsByOrdinalBecomeSystemControls) {
    std::wstring ctl = UniqueClassName(L"ctl");
    RegisterTestClass(ctl);
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 2, 0, 0, 80, 40, L"");
    t.align();
    t.dword(WS_VISIBLE);
    t.dword(0);
    for (short v : {1, 1, 10, 10}) t.word(static_cast<WORD>(v));
    t.word(IDOK);
    t.ordinal(0x0080);  // the predefined button class
    t.text(L"OK");
    t.word(0);
    t.item(WS_VISIBLE, 1, 20, 10, 10, 3, ctl, L"kept");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    wchar_t cls[32] = L"";
    GetClassNameW(GetDlgItem(dlg, IDOK), cls, 32);
    EXPECT_STREQ(cls, L"Button");
    EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), L"OK");
    EXPECT_NE(GetDlgItem(dlg, 3), nullptr);
    DestroyWindow(dlg);
}

TEST_F(DialogTest, UnknownNamedControlClassFailsTheDialog) {
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 1, 0, 0, 80, 40, L"");
    t.item(WS_VISIBLE, 1, 1, 10, 10, 3, UniqueClassName(L"never-registered"), L"");
    SetLastError(0);
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(SeenMessages({WM_INITDIALOG}).empty());
}

TEST_F(DialogTest, HandledMessagesAnswerWithMsgResultOthersFallBack) {
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 0, 0, 0, 40, 20, L"before");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(SendMessageW(dlg, kAskForAnswer, 0, 0), 42);
    EXPECT_EQ(GetWindowLongPtrW(dlg, DWLP_MSGRESULT), 42);
    // Unhandled messages get the default window behaviour.
    SetWindowTextW(dlg, L"after");
    EXPECT_EQ(TextOf(dlg), L"after");
    DestroyWindow(dlg);
}

TEST_F(DialogTest, DialogProcedureIsReadableAndReplaceable) {
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 0, 0, 0, 40, 20, L"");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(dlg, DWLP_DLGPROC),
              reinterpret_cast<LONG_PTR>(RecordingDialogProc));
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(EndsAtOnceProc));
    seen().clear();
    SendMessageW(dlg, kAskForAnswer, 0, 0);
    EXPECT_TRUE(seen().empty());  // the old procedure no longer hears anything
    DestroyWindow(dlg);
}

TEST_F(DialogTest, CloseBecomesCancelAndEndDialogHides) {
    TemplateBuilder t;
    t.header(WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, 40, 20, L"");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(IsWindowVisible(dlg));
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(dlg); }));
    bool cancelled = false;
    for (auto& s : seen()) cancelled |= s.msg == WM_COMMAND && LOWORD(s.wparam) == IDCANCEL;
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(IsWindow(dlg));  // a modeless dialog is only hidden; its owner destroys it
    DestroyWindow(dlg);
}

TEST_F(DialogTest, EndDialogRefusesOrdinaryWindows) {
    HWND plain = MakeWindow();
    SetLastError(0);
    EXPECT_FALSE(EndDialog(plain, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(plain);
}

TEST_F(DialogTest, IsDialogMessageTakesOnlyTheDialogsOwnMessages) {
    std::wstring ctl = UniqueClassName(L"ctl");
    RegisterTestClass(ctl);
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 1, 0, 0, 80, 40, L"");
    t.item(WS_VISIBLE, 1, 1, 10, 10, 5, ctl, L"");
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    HWND other = MakeWindow();
    MSG msg{};
    msg.hwnd = other;
    msg.message = WM_USER + 9;
    EXPECT_FALSE(IsDialogMessageW(dlg, &msg));
    EXPECT_TRUE(MessagesOf(other, {WM_USER + 9}).empty());
    EXPECT_FALSE(IsDialogMessageW(other, &msg));  // not a dialog at all

    msg.hwnd = GetDlgItem(dlg, 5);
    EXPECT_TRUE(IsDialogMessageW(dlg, &msg));
    EXPECT_EQ(MessagesOf(msg.hwnd, {WM_USER + 9}).size(), 1u);
    msg.hwnd = dlg;
    msg.message = kAskForAnswer;
    EXPECT_TRUE(IsDialogMessageW(dlg, &msg));
    EXPECT_EQ(SeenMessages({kAskForAnswer}).size(), 1u);
    DestroyWindow(other);
    DestroyWindow(dlg);
}

TEST_F(DialogTest, ModalDialogRunsUntilEndDialogAndReturnsItsResult) {
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 0, 0, 0, 40, 20, L"modal");
    INT_PTR result = DialogBoxIndirectParamW(nullptr, t.get(), nullptr, EndsWithWparamProc, 77);
    EXPECT_EQ(result, 77);
    // The dialog is gone once the call returns.
    EXPECT_EQ(FindWindowW(L"#32770", L"modal"), nullptr);
}

TEST_F(DialogTest, ModalDialogPassesAQuitRequestOn) {
    TemplateBuilder t;
    t.header(WS_POPUP, 0, 0, 0, 0, 40, 20, L"");
    PostQuitMessage(3);
    DialogBoxIndirectParamW(nullptr, t.get(), nullptr, RecordingDialogProc, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace

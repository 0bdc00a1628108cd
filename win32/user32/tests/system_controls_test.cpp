// user32's own controls, as a program sees them: notifications to the parent, the
// state messages answer, and text laid out by DrawTextW.
#include "user32_test_support.h"

using namespace user32_test;

namespace {

class SystemControls : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = MakeWindow(WS_POPUP, nullptr, 0, RECT{0, 0, 400, 300});
        ClearLog();
    }
    void TearDown() override { DestroyWindow(parent_); }
    HWND Make(const wchar_t* cls, DWORD style, int w = 100, int h = 24, const wchar_t* text = L"") {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent_,
                               reinterpret_cast<HMENU>(42), nullptr, nullptr);
    }
    // The WM_COMMAND codes the parent got from the control.
    std::vector<WORD> Notes() {
        std::vector<WORD> out;
        for (const auto& s : SeenOf(WM_COMMAND))
            if (LOWORD(s.wparam) == 42) out.push_back(HIWORD(s.wparam));
        ClearLog();
        return out;
    }
    HWND parent_ = nullptr;
};

TEST_F(SystemControls, AButtonClicksWhenReleasedOverItself) {
    // The mouse messages (at x, on the button's row) and whether the button, pushed
    // before the release, then clicks.
    const std::pair<std::vector<std::pair<UINT, int>>, bool> cases[] = {
        {{{WM_LBUTTONDOWN, 10}, {WM_LBUTTONUP, 10}}, true},
        {{{WM_LBUTTONDOWN, 10}, {WM_MOUSEMOVE, 300}, {WM_LBUTTONUP, 300}}, false},
        {{{WM_LBUTTONDOWN, 10}, {WM_MOUSEMOVE, 300}, {WM_MOUSEMOVE, 20}, {WM_LBUTTONUP, 20}}, true},
        {{{WM_LBUTTONUP, 10}}, false},  // no press began on it
    };
    for (const auto& [steps, clicked] : cases) {
        HWND b = Make(L"Button", BS_PUSHBUTTON, 100, 24, L"Go");
        for (size_t i = 0; i < steps.size(); ++i) {
            if (i + 1 == steps.size()) {
                EXPECT_EQ((SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0, clicked);
                // A press captures the pointer, and takes the focus.
                EXPECT_EQ(GetCapture(), steps.size() > 1 ? b : nullptr);
                EXPECT_EQ(GetFocus() == b, steps.size() > 1);
            }
            const auto [msg, x] = steps[i];
            SendMessageW(b, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, 10));
        }
        EXPECT_EQ(Notes(), clicked ? std::vector<WORD>{BN_CLICKED} : std::vector<WORD>{});
        EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
        EXPECT_EQ(GetCapture(), nullptr);
        DestroyWindow(b);
    }
    HWND b = Make(L"Button", BS_DEFPUSHBUTTON);
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(b, WM_KEYUP, VK_SPACE, 0);
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_EQ(Notes(), (std::vector<WORD>{BN_CLICKED, BN_CLICKED}));
    EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    EnableWindow(b, FALSE);
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(SystemControls, AnEditTakesTypingKeysAndSelections) {
    struct Case {
        const char* what;
        std::wstring text;  // and the selection then
        DWORD sel_start, sel_end;
        std::function<void(HWND)> act;
    };
    auto type = [](HWND e, const std::wstring& s) {
        for (wchar_t c : s) SendMessageW(e, WM_CHAR, c, 0);
    };
    auto key = [](HWND e, WPARAM vk) { SendMessageW(e, WM_KEYDOWN, vk, 0); };
    const std::vector<Case> cases = {
        {"typed", L"abc", 3, 3, [&](HWND e) { type(e, L"abc"); }},
        {"replaces the selection", L"a下载c", 3, 3,
         [&](HWND e) { type(e, L"abc"), SendMessageW(e, EM_SETSEL, 1, 2), type(e, L"下载"); }},
        {"backspace and delete", L"bc", 0, 0,
         [&](HWND e) { type(e, L"abcd\b"), key(e, VK_HOME), key(e, VK_DELETE); }},
        {"select all (Ctrl+A), then left", L"abc", 0, 0,
         [&](HWND e) { type(e, L"abc\x01"), key(e, VK_LEFT); }},
        {"limited", L"ab", 2, 2,
         [&](HWND e) { SendMessageW(e, EM_LIMITTEXT, 2, 0), type(e, L"abc"); }},
    };
    for (const auto& c : cases) {
        HWND e = Make(L"Edit", ES_AUTOHSCROLL);
        ClearLog();
        c.act(e);
        DWORD start = 99, end = 99;
        SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(Text(e), c.text) << c.what;
        EXPECT_EQ(std::pair(start, end), std::pair(c.sel_start, c.sel_end)) << c.what;
        const auto notes = Notes();
        EXPECT_NE(std::find(notes.begin(), notes.end(), EN_CHANGE), notes.end()) << c.what;
        DestroyWindow(e);
    }
    HWND e = Make(L"Edit", ES_READONLY, 100, 24, L"fixed");
    SendMessageW(e, WM_CHAR, L'x', 0);
    EXPECT_EQ(Text(e), L"fixed");
}

TEST_F(SystemControls, AListBoxSelectsScrollsAndTellsItsParent) {
    HWND l = Make(L"ListBox", LBS_NOTIFY, 200, 100);
    for (int i = 0; i < 30; ++i)
        SendMessageW(l, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>((L"row" + std::to_wstring(i)).c_str()));
    SendMessageW(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"zebra"));
    const int h = static_cast<int>(SendMessageW(l, LB_GETITEMHEIGHT, 0, 0));
    const int rows = 100 / h;
    EXPECT_EQ(SendMessageW(l, LB_SETCURSEL, 40, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(l, LB_SETCURSEL, 3, 0), 3);
    EXPECT_TRUE(Notes().empty());  // a program's own choice is not news to it
    struct Case {
        UINT msg;
        WPARAM wparam;
        LPARAM lparam;
        int selected, top;
    };
    const std::vector<Case> cases = {
        {WM_KEYDOWN, VK_END, 0, 30, 31 - rows},
        {WM_KEYDOWN, VK_HOME, 0, 0, 0},
        {WM_KEYDOWN, VK_NEXT, 0, rows - 1, 0},
        {WM_CHAR, L'z', 0, 30, 31 - rows},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, 30, 28 - rows},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, h + 1), 29 - rows, 28 - rows},
    };
    for (const auto& c : cases) {
        SendMessageW(l, c.msg, c.wparam, c.lparam);
        EXPECT_EQ(SendMessageW(l, LB_GETCURSEL, 0, 0), c.selected) << c.msg;
        EXPECT_EQ(SendMessageW(l, LB_GETTOPINDEX, 0, 0), c.top) << c.msg;
    }
    ClearLog();
    SendMessageW(l, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(l, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 1));
    EXPECT_EQ(Notes(), (std::vector<WORD>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_DBLCLK}));
    wchar_t row[16];
    EXPECT_EQ(SendMessageW(l, LB_GETTEXT, 30, reinterpret_cast<LPARAM>(row)), 5);
    EXPECT_STREQ(row, L"zebra");
}

TEST_F(SystemControls, DrawTextWrapsAtWordsAndAroundChineseCharacters) {
    HDC dc = GetDC(parent_);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE word{};
    GetTextExtentPoint32W(dc, L"download", 8, &word);
    struct Case {
        const wchar_t* text;
        int width;
        UINT format;
        int lines;
    };
    const std::vector<Case> cases = {
        {L"download download download", word.cx + 2, DT_WORDBREAK, 3},
        {L"download download", 1000, DT_WORDBREAK, 1},
        {L"downloaddownload", word.cx + 2, DT_WORDBREAK, 2},  // too long: broken inside
        {L"下载下载下载下载", word.cx, DT_WORDBREAK, 0},      // as many as it takes
        {L"one\ntwo\r\nthree", 1000, 0, 3},
        {L"one\ntwo", 1000, DT_SINGLELINE, 1},
    };
    for (const auto& c : cases) {
        RECT r{0, 0, c.width, 0};
        const int height = DrawTextW(dc, c.text, -1, &r, c.format | DT_CALCRECT);
        EXPECT_EQ(height, r.bottom) << c.text;
        EXPECT_LE(r.right, c.width) << c.text;
        if (c.lines) {
            EXPECT_EQ(height, c.lines * tm.tmHeight) << c.text;
        } else {
            EXPECT_GT(height, tm.tmHeight) << c.text;
        }
    }
    RECT with{0, 0, 100, 0}, without{0, 0, 100, 0}, bare{0, 0, 100, 0};
    DrawTextW(dc, L"&Save", -1, &with, DT_CALCRECT);
    DrawTextW(dc, L"&Save", -1, &without, DT_CALCRECT | DT_NOPREFIX);
    DrawTextW(dc, L"Save", -1, &bare, DT_CALCRECT);
    EXPECT_EQ(with.right, bare.right);
    EXPECT_GT(without.right, bare.right);
    ReleaseDC(parent_, dc);
}

}  // namespace

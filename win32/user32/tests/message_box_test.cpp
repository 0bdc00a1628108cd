// Message boxes: answered at once without a display, drawn as windows with one, and on
// an X server of their own.
#include "user32_test_support.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"
#include "testing/win32_window_pixels.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

// Xlib's macros last: they would rename what the headers above declare.
#include "testing/x_desktop.h"

using namespace user32_test;
using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;

namespace {

// Without a display a box answers at once: the knob's button, else the default one.
class MessageBoxes : public ::testing::Test {
protected:
    std::string Log() const { return ReadAll(dir_.file("dialogs.log")); }
    testing_support::TempDir dir_;
    ScopedEnv headless_{"WIN32_NO_DISPLAY", "1"}, windows_{"WIN32_DIALOG_WINDOWS", ""};
    ScopedEnv answer_{"WIN32_MSGBOX_ANSWER", ""}, log_{"WIN32_DIALOG_LOG", ""};
};

TEST_F(MessageBoxes, TheKnobsButtonOrTheDefaultOneAnswers) {
    const struct {
        UINT type;
        const char* knob;
        int answer;
    } cases[] = {
        {MB_YESNO | MB_ICONQUESTION, "", IDYES},
        {MB_YESNO | MB_DEFBUTTON2, "", IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, "", IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, "", IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, "", IDCONTINUE},
        {MB_OKCANCEL | MB_DEFBUTTON3, "", IDOK},  // past the last button: the first
        {MB_YESNO, "IDNO", IDNO},
        {MB_OKCANCEL, "idcancel", IDCANCEL},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, "4", IDRETRY},
        {MB_OK, "IDYES", IDOK},  // a button the box does not have: the default
        {MB_YESNO | MB_DEFBUTTON2, "nonsense", IDNO},
    };
    for (const auto& c : cases) {
        ScopedEnv knob("WIN32_MSGBOX_ANSWER", c.knob);
        EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", c.type), c.answer) << c.type << " " << c.knob;
    }
    EXPECT_EQ(Log(), "");  // no record without the knob
    SetLastError(0);
    EXPECT_EQ(Failed(MessageBoxW(nullptr, L"t", L"c", 7) == 0), ERROR_INVALID_MSGBOX_STYLE);
    EXPECT_EQ(Failed(MessageBoxW(reinterpret_cast<HWND>(0x7ff0), L"t", L"c", MB_OK) == 0),
              ERROR_INVALID_WINDOW_HANDLE);
    // The program looks the function up by name.
    using Fn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(LoadLibraryW(L"user32.dll"), "MessageBoxW"));
    ASSERT_NE(fn, nullptr);
    ScopedEnv knob("WIN32_MSGBOX_ANSWER", "IDCANCEL");
    EXPECT_EQ(fn(nullptr, L"t", L"c", MB_OKCANCEL), IDCANCEL);
}

TEST_F(MessageBoxes, EachBoxAppendsOneEscapedRecordLine) {
    ScopedEnv log("WIN32_DIALOG_LOG", dir_.file("dialogs.log"));
    {
        ScopedEnv knob("WIN32_MSGBOX_ANSWER", "IDNO");
        EXPECT_EQ(MessageBoxW(nullptr, L"C:\\下载\\a.exe", L"文件存在，是否覆盖",
                              MB_YESNO | MB_ICONQUESTION),
                  IDNO);
    }
    EXPECT_EQ(MessageBoxW(nullptr, L"line1\nline2\tend", nullptr, MB_OK), IDOK);
    EXPECT_EQ(Log(),
              "msgbox\t文件存在，是否覆盖\tC:\\\\下载\\\\a.exe\t0x00000024\tIDNO\n"
              "msgbox\tError\tline1\\nline2\\tend\t0x00000000\tIDOK\n");
}

// Boxes as windows, driven from another thread while the box's own loop runs.
class DrawnBoxes : public MessageBoxes {
protected:
    ScopedEnv drawn_{"WIN32_DIALOG_WINDOWS", "1"}, lang_{"LANG", "C"};
    ScopedEnv all_{"LC_ALL", ""}, messages_{"LC_MESSAGES", ""};

    // MessageBoxW here; act(box) on a second thread once the box is shown.
    int Run(UINT type, const std::function<void(HWND)>& act, HWND owner = nullptr,
            const wchar_t* text = L"Text") {
        const std::wstring caption = UniqueClassName(L"box");
        std::thread driver([&] {
            HWND box = nullptr;
            if (WaitUntil([&] {
                    return (box = FindWindowW(L"#32770", caption.c_str())) && IsWindowVisible(box);
                }))
                act(box);
        });
        const int answer = MessageBoxW(owner, text, caption.c_str(), type);
        driver.join();
        return answer;
    }
    static void Post(HWND hwnd, WPARAM key) { PostMessageW(hwnd, WM_KEYDOWN, key, 0); }
    static void Click(HWND box, int id) { PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0); }
};

TEST_F(DrawnBoxes, EachTypeShowsItsButtonsAndAnswersEscapeAndCloseAsWindowsDoes) {
    const struct {
        UINT type;
        std::vector<int> ids;  // left to right
        std::vector<std::wstring> labels;
        int dismissed;  // what Escape and closing answer; 0: they do nothing
    } cases[] = {
        {MB_OK, {IDOK}, {L"OK"}, IDOK},
        {MB_OKCANCEL, {IDOK, IDCANCEL}, {L"OK", L"Cancel"}, IDCANCEL},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, {L"Abort", L"Retry", L"Ignore"}, 0},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, {L"Yes", L"No", L"Cancel"}, IDCANCEL},
        {MB_YESNO, {IDYES, IDNO}, {L"Yes", L"No"}, 0},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, {L"Retry", L"Cancel"}, IDCANCEL},
        {MB_CANCELTRYCONTINUE,
         {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
         {L"Cancel", L"Try Again", L"Continue"},
         IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        for (int id : c.ids) {
            std::vector<std::wstring> labels;
            auto read_then_click = [&](HWND box) {
                LONG left = -1;
                for (int each : c.ids) {
                    EXPECT_GT(WindowRect(GetDlgItem(box, each)).left, left);
                    left = WindowRect(GetDlgItem(box, each)).left;
                    labels.push_back(Text(GetDlgItem(box, each)));
                }
                Click(box, id);
            };
            EXPECT_EQ(Run(c.type, read_then_click), id);
            EXPECT_EQ(labels, c.labels);
        }
        // A dismissal the type ignores leaves the box up for the click after it.
        for (UINT how : {UINT{WM_KEYDOWN}, UINT{WM_CLOSE}}) {
            auto dismiss_then_click = [&](HWND box) {
                // Escape goes through the box's loop; closing posts IDCANCEL.
                if (how == WM_KEYDOWN)
                    Post(box, VK_ESCAPE);
                else
                    SendMessageW(box, how, 0, 0);
                Click(box, c.ids.back());
            };
            EXPECT_EQ(Run(c.type, dismiss_then_click), c.dismissed ? c.dismissed : c.ids.back())
                << how;
        }
    }
}

TEST_F(DrawnBoxes, KeyboardMovesTheFocusAndEnterOrSpacePressesTheFocusedButton) {
    const struct {
        std::vector<WPARAM> keys;
        int answer;
    } cases[] = {
        {{VK_RETURN}, IDNO},  // the default button starts with the focus
        {{VK_TAB, VK_RETURN}, IDCANCEL},
        {{VK_TAB, VK_TAB, VK_RETURN}, IDYES},  // Tab wraps around
        {{VK_LEFT, VK_SPACE}, IDYES},
        {{VK_RIGHT, VK_RIGHT, VK_RETURN}, IDYES},
    };
    for (const auto& c : cases) {
        auto type = [&](HWND box) {
            for (WPARAM k : c.keys) Post(box, k), PostMessageW(box, WM_KEYUP, k, 0);
        };
        EXPECT_EQ(Run(MB_YESNOCANCEL | MB_DEFBUTTON2, type), c.answer) << c.keys.size();
    }
    // The default look follows the focus onto another push button.
    auto look = [](HWND box, int id) {
        return GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK;
    };
    bool moved = false;
    auto tab_then_enter = [&](HWND box) {
        Post(box, VK_TAB);
        moved = WaitUntil([&] {
            return look(box, IDCANCEL) == BS_DEFPUSHBUTTON && look(box, IDNO) == BS_PUSHBUTTON;
        });
        Post(box, VK_RETURN);
    };
    EXPECT_EQ(Run(MB_YESNOCANCEL | MB_DEFBUTTON2, tab_then_enter), IDCANCEL);
    EXPECT_TRUE(moved);
}

TEST_F(DrawnBoxes, WordingIsChineseForChineseTextOrLocale) {
    const struct {
        const wchar_t* text;
        const char* lang;
        std::wstring yes, no;
    } cases[] = {
        {L"Overwrite?", "C", L"Yes", L"No"},
        {L"文件已存在", "C", L"是", L"否"},
        {L"Overwrite?", "zh_CN.UTF-8", L"是", L"否"},
    };
    for (const auto& c : cases) {
        ScopedEnv lang("LANG", c.lang);
        std::wstring words;
        auto read = [&](HWND box) {
            words = Text(GetDlgItem(box, IDYES)) + L"/" + Text(GetDlgItem(box, IDNO));
            Click(box, IDNO);
        };
        Run(MB_YESNO, read, nullptr, c.text);
        EXPECT_EQ(words, c.yes + L"/" + c.no);
    }
}

TEST_F(DrawnBoxes, TheOwnerIsDisabledMeanwhileKeepsItsTimersAndAQuitRequestStays) {
    HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{100, 100, 700, 500});
    ClearLog();
    SetTimer(owner, 7, 10, nullptr);
    bool disabled = false;
    auto look_then_enter = [&](HWND box) {
        disabled = !IsWindowEnabled(owner);
        WaitUntil([&] { return SeenOf(WM_TIMER).size() >= 3; });
        Post(box, VK_RETURN);
    };
    EXPECT_EQ(Run(MB_OK, look_then_enter, owner), IDOK);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_GE(SeenOf(WM_TIMER).size(), 3u);
    // A quit request ends the box as dismissed and stays for the program's loop.
    g_hook = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_USER + 1) return std::nullopt;
        PostQuitMessage(5);
        return 0;
    };
    for (auto [type, answer] :
         {std::pair{MB_OKCANCEL, IDCANCEL}, std::pair{MB_YESNO | MB_DEFBUTTON2, IDNO}}) {
        EXPECT_EQ(Run(type, [&](HWND) { PostMessageW(owner, WM_USER + 1, 0, 0); }), answer);
        MSG msg{};
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 5u);
    }
    g_hook = nullptr;
    DestroyWindow(owner);
}

// A box is centred on a shown owner and kept in the work area of the owner's monitor,
// else centred on the primary monitor's; a DS_CENTER dialog is centred on the owner's
// monitor's work area.
TEST_F(DrawnBoxes, CentredOnTheOwnerWithinItsMonitor) {
    ScopedEnv screen("WIN32_SCREEN", "1280x800,1024x768+1280+0");
    const struct {
        RECT owner;
        bool shown;
        std::vector<int> box;  // its centre, or its bottom right when pushed
    } rows[] = {
        {{1500, 300, 1700, 500}, true, {1600, 400}},
        {{2200, 680, 2300, 768}, true, {2304, 768}},
        {{2200, 680, 2300, 768}, false, {640, 400}},
    };
    for (const auto& row : rows) {
        HWND owner = MakeWindow(WS_POPUP | (row.shown ? WS_VISIBLE : 0), nullptr, 0, row.owner);
        RECT r{};
        Run(
            MB_OK, [&](HWND box) { r = WindowRect(box), Post(box, VK_RETURN); }, owner);
        const std::vector<int> centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2},
            corner{r.right, r.bottom};
        EXPECT_EQ(row.box[0] == 2304 ? corner : centre, row.box);
        WORD t[12] = {};  // no menu, class or title
        const DLGTEMPLATE head{WS_POPUP | DS_CENTER, 0, 0, 0, 0, 100, 50};
        memcpy(t, &head, sizeof head);
        HWND dlg = CreateDialogIndirectParamW(
            nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t), owner,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        EXPECT_EQ(WindowRect(dlg).left * 1000 + WindowRect(dlg).top, 1692334);
        DestroyWindow(dlg);
        DestroyWindow(owner);
    }
}

// The box's own pixels: the icon of its kind, and the text drawn dark on white.
TEST_F(DrawnBoxes, TheBoxShowsTheIconOfItsKindAndItsText) {
    const COLORREF white = RGB(255, 255, 255), blue = RGB(35, 105, 210);
    const struct {
        UINT icon;
        COLORREF body;        // the icon's colour near its bottom
        COLORREF at_the_top;  // what the symbol leaves at (16, 10)
    } cases[] = {
        {MB_ICONERROR, RGB(215, 40, 40), RGB(215, 40, 40)},
        {MB_ICONWARNING, RGB(250, 200, 30), RGB(0, 0, 0)},
        {MB_ICONINFORMATION, blue, white},
        {MB_ICONQUESTION, blue, blue},
    };
    for (const auto& c : cases) {
        COLORREF body = 0, top = 0;
        int dark_text_pixels = 0;
        Run(MB_OK | c.icon, [&](HWND box) {
            HWND icon = nullptr, text = nullptr;
            for (HWND ch = nullptr; (ch = FindWindowExW(box, ch, L"Static", nullptr));)
                ((GetWindowLongW(ch, GWL_STYLE) & SS_TYPEMASK) == SS_ICON ? icon : text) = ch;
            ASSERT_TRUE(icon && text);
            const RECT box_r = WindowRect(box), icon_r = WindowRect(icon),
                       text_r = WindowRect(text);
            const int w = box_r.right - box_r.left;
            auto pixel = [&](const std::vector<uint32_t>& px, const RECT& r, int x, int y) {
                const size_t at = (r.top - box_r.top + y) * w + (r.left - box_r.left + x);
                const uint32_t p = at < px.size() ? px[at] : 0;
                return RGB(p >> 16 & 255, p >> 8 & 255, p & 255);
            };
            // Painting happens in the box's own loop: done once no window of the box has an
            // update region and the loop has come back for a message.
            WaitUntil([&] {
                bool idle = !GetUpdateRect(box, nullptr, FALSE);
                for (HWND ch = GetWindow(box, GW_CHILD); ch; ch = GetWindow(ch, GW_HWNDNEXT))
                    idle = idle && !GetUpdateRect(ch, nullptr, FALSE);
                SendMessageW(box, WM_NULL, 0, 0);
                return idle;
            });
            const auto px = testing_support::WindowPixels(box, w, box_r.bottom - box_r.top);
            for (int y = 0; y < text_r.bottom - text_r.top; ++y)
                for (int x = 0; x < text_r.right - text_r.left; ++x)
                    dark_text_pixels += GetRValue(pixel(px, text_r, x, y)) < 100;
            body = pixel(px, icon_r, 16, 28);
            top = pixel(px, icon_r, 16, 10);
            Post(box, VK_RETURN);
        });
        EXPECT_TRUE(testing_support::NearRgb(body, c.body, 29))
            << std::hex << body << " " << c.icon;
        EXPECT_TRUE(testing_support::NearRgb(top, c.at_the_top, 29)) << std::hex << top;
        EXPECT_GT(dark_text_pixels, 20);
    }
}

TEST_F(DrawnBoxes, RealBoxesAreRecordedAndTheAnswerKnobStillAnswersAtOnce) {
    ScopedEnv log("WIN32_DIALOG_LOG", dir_.file("dialogs.log"));
    EXPECT_EQ(Run(MB_YESNO | MB_ICONQUESTION, [](HWND box) { Click(box, IDNO); }), IDNO);
    ScopedEnv knob("WIN32_MSGBOX_ANSWER", "IDYES");
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"knob", MB_YESNO), IDYES);
    EXPECT_NE(Log().find("\tText\t0x00000024\tIDNO\n"), std::string::npos) << Log();
    EXPECT_NE(Log().find("msgbox\tknob\tt\t0x00000004\tIDYES\n"), std::string::npos) << Log();
}

// A box on a private Xvfb of its own appears as an X window showing exactly the box's
// pixels, and is answered as usual. The server ends with the test, so the layer's
// connection to it ends too and later tests run without a display.
TEST(MessageBoxOnDisplay, TheBoxIsAnXWindowShowingItsPixels) {
    if (!testing_support::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    auto x = testing_support::XDesktop::Start("1280x800", false);
    ASSERT_TRUE(x);
    testing_support::TempDir dir;
    ScopedEnv display("DISPLAY", x->name()), log("WIN32_X11_LOG", dir.file("x11.log")),
        shown("WIN32_NO_DISPLAY", "0"), windows("WIN32_DIALOG_WINDOWS", "0"),
        answer("WIN32_MSGBOX_ANSWER", "");
    bool mapped = false, same = false;
    std::thread driver([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(L"#32770", L"On the display")) != nullptr; });
        char line[64];
        snprintf(line, sizeof line, "mapped %08lx\n",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(box)));
        mapped =
            WaitUntil([&] { return ReadAll(dir.file("x11.log")).find(line) != std::string::npos; });
        const RECT r = user32_test::WindowRect(box);
        same = WaitUntil([&] {
            return x->Screen(r.left, r.top, r.right - r.left, r.bottom - r.top) ==
                   testing_support::WindowPixels(box, r.right - r.left, r.bottom - r.top);
        });
        PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(MessageBoxW(nullptr, L"Shown on the X server", L"On the display",
                          MB_YESNO | MB_ICONWARNING),
              IDNO);
    driver.join();
    EXPECT_TRUE(mapped);
    EXPECT_TRUE(same);
}

}  // namespace

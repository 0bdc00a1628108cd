#include "user32_test_support.h"
#include "testing/scoped_env.h"
#include "testing/wait_until.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

using namespace user32_test;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;

namespace {

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/w32msgboxXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        log_ = dir_ + "/dialogs.log";
        unsetenv("WIN32_MSGBOX_ANSWER");
        unsetenv("WIN32_DIALOG_LOG");
        unsetenv("WIN32_DIALOG_WINDOWS");
        setenv("WIN32_NO_DISPLAY", "1", 1);
    }
    void TearDown() override {
        unlink(log_.c_str());
        rmdir(dir_.c_str());
    }
    std::string read_log() {
        std::ifstream in(log_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string dir_, log_;
};

TEST_F(MessageBoxes, PlainBoxAnswersOkWithoutAKnob) {
    EXPECT_EQ(MessageBoxW(nullptr, L"hello", L"title", MB_OK), IDOK);
}

TEST_F(MessageBoxes, WithoutAKnobTheDefaultButtonAnswers) {
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_ABORTRETRYIGNORE | MB_DEFBUTTON2), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_CANCELTRYCONTINUE | MB_DEFBUTTON3), IDCONTINUE);
}

TEST_F(MessageBoxes, DefaultButtonPastTheLastFallsBackToTheFirst) {
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_OKCANCEL | MB_DEFBUTTON3), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNO | MB_DEFBUTTON4), IDYES);
}

TEST_F(MessageBoxes, KnobNamesTheButtonPressed) {
    setenv("WIN32_MSGBOX_ANSWER", "IDNO", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNO), IDNO);
    setenv("WIN32_MSGBOX_ANSWER", "idcancel", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_OKCANCEL), IDCANCEL);
    setenv("WIN32_MSGBOX_ANSWER", "4", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_RETRYCANCEL | MB_DEFBUTTON2), IDRETRY);
}

TEST_F(MessageBoxes, KnobAskingForAMissingButtonLeavesTheDefault) {
    setenv("WIN32_MSGBOX_ANSWER", "IDYES", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_OK), IDOK);
    setenv("WIN32_MSGBOX_ANSWER", "nonsense", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

TEST_F(MessageBoxes, EachBoxAppendsOneEscapedRecordLine) {
    setenv("WIN32_DIALOG_LOG", log_.c_str(), 1);
    setenv("WIN32_MSGBOX_ANSWER", "IDNO", 1);
    EXPECT_EQ(
        MessageBoxW(nullptr, L"C:\\下载\\a.exe", L"文件存在，是否覆盖", MB_YESNO | MB_ICONQUESTION),
        IDNO);
    unsetenv("WIN32_MSGBOX_ANSWER");
    EXPECT_EQ(MessageBoxW(nullptr, L"line1\nline2\tend", nullptr, MB_OK), IDOK);
    EXPECT_EQ(read_log(),
              "msgbox\t文件存在，是否覆盖\tC:\\\\下载\\\\a.exe\t0x00000024\tIDNO\n"
              "msgbox\tError\tline1\\nline2\\tend\t0x00000000\tIDOK\n");
}

TEST_F(MessageBoxes, NoRecordWithoutTheLogKnob) {
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", MB_OK), IDOK);
    EXPECT_NE(access(log_.c_str(), F_OK), 0);
}

TEST_F(MessageBoxes, UnknownButtonSetFails) {
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"c", 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MSGBOX_STYLE));
}

TEST_F(MessageBoxes, OwnerThatIsNoWindowFails) {
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(reinterpret_cast<HWND>(0x7ff0), L"t", L"c", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessageBoxes, FoundByNameInUser32) {
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    ASSERT_NE(user32, nullptr);
    using Fn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(user32, "MessageBoxW"));
    ASSERT_NE(fn, nullptr);
    setenv("WIN32_MSGBOX_ANSWER", "IDCANCEL", 1);
    EXPECT_EQ(fn(nullptr, L"t", L"c", MB_OKCANCEL), IDCANCEL);
}

// Boxes as windows, driven from another thread while the box's own loop runs.
class DrawnBoxes : public MessageBoxes {
protected:
    void SetUp() override {
        MessageBoxes::SetUp();
        setenv("WIN32_DIALOG_WINDOWS", "1", 1);
        setenv("LANG", "C", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
    }
    void TearDown() override {
        unsetenv("WIN32_DIALOG_WINDOWS");
        MessageBoxes::TearDown();
    }

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
    static void Key(HWND hwnd, WPARAM key) {
        PostMessageW(hwnd, WM_KEYDOWN, key, 0);
        PostMessageW(hwnd, WM_KEYUP, key, 0);
    }
    // Painting happens in the box's own loop: nothing is left to paint once no window
    // of the box has an update region and the loop has come back for a message.
    static void WaitPainted(HWND box) {
        WaitUntil([&] {
            bool idle = !GetUpdateRect(box, nullptr, FALSE);
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                idle = idle && !GetUpdateRect(c, nullptr, FALSE);
            SendMessageW(box, WM_NULL, 0, 0);
            return idle;
        });
    }
    static std::wstring Text(HWND hwnd) {
        wchar_t buf[64] = L"";
        GetWindowTextW(hwnd, buf, 64);
        return buf;
    }
};

struct TypeCase {
    UINT type;
    std::vector<int> ids;  // left to right
    std::vector<std::wstring> labels;
    int dismissed;  // what Escape and closing answer; 0: they do nothing
};

TEST_F(DrawnBoxes, EachTypeShowsItsButtonsAndAnswersEscapeAndCloseAsWindowsDoes) {
    const std::vector<TypeCase> cases = {
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
        for (size_t i = 0; i < c.ids.size(); ++i) {
            std::vector<std::wstring> labels;
            const int answer = Run(c.type, [&](HWND box) {
                LONG left = -1;
                for (int id : c.ids) {
                    HWND b = GetDlgItem(box, id);
                    RECT r{};
                    GetWindowRect(b, &r);
                    EXPECT_GT(r.left, left);
                    left = r.left;
                    labels.push_back(Text(b));
                }
                PostMessageW(GetDlgItem(box, c.ids[i]), BM_CLICK, 0, 0);
            });
            EXPECT_EQ(answer, c.ids[i]);
            EXPECT_EQ(labels, c.labels);
        }
        // A dismissal the type ignores leaves the box up for the click after it.
        const int last = c.ids.back();
        for (UINT how : {static_cast<UINT>(WM_KEYDOWN), static_cast<UINT>(WM_CLOSE)}) {
            const int answer = Run(c.type, [&](HWND box) {
                // Escape goes through the box's loop; closing posts IDCANCEL before it returns.
                if (how == WM_KEYDOWN)
                    PostMessageW(box, how, VK_ESCAPE, 0);
                else
                    SendMessageW(box, how, 0, 0);
                PostMessageW(GetDlgItem(box, last), BM_CLICK, 0, 0);
            });
            EXPECT_EQ(answer, c.dismissed ? c.dismissed : last) << how;
        }
    }
}

TEST_F(DrawnBoxes, KeyboardMovesTheFocusAndEnterOrSpacePressesTheFocusedButton) {
    struct Case {
        std::vector<WPARAM> keys;
        int answer;
    };
    const std::vector<Case> cases = {
        {{VK_RETURN}, IDNO},  // the default button starts with the focus
        {{VK_TAB, VK_RETURN}, IDCANCEL},
        {{VK_TAB, VK_TAB, VK_RETURN}, IDYES},  // Tab wraps around
        {{VK_LEFT, VK_SPACE}, IDYES},
        {{VK_RIGHT, VK_RIGHT, VK_RETURN}, IDYES},
    };
    for (const auto& c : cases) {
        const int answer = Run(MB_YESNOCANCEL | MB_DEFBUTTON2, [&](HWND box) {
            for (WPARAM k : c.keys) Key(box, k);
        });
        EXPECT_EQ(answer, c.answer) << c.keys.size();
    }
}

TEST_F(DrawnBoxes, WordingIsChineseForChineseTextOrLocale) {
    struct Case {
        const wchar_t* text;
        const char* lang;
        std::wstring yes, no;
    };
    const std::vector<Case> cases = {
        {L"Overwrite?", "C", L"Yes", L"No"},
        {L"文件已存在", "C", L"是", L"否"},
        {L"Overwrite?", "zh_CN.UTF-8", L"是", L"否"},
    };
    for (const auto& c : cases) {
        ScopedEnv lang("LANG", c.lang);
        std::wstring yes, no;
        Run(
            MB_YESNO,
            [&](HWND box) {
                yes = Text(GetDlgItem(box, IDYES));
                no = Text(GetDlgItem(box, IDNO));
                PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            },
            nullptr, c.text);
        EXPECT_EQ(yes, c.yes);
        EXPECT_EQ(no, c.no);
    }
}

TEST_F(DrawnBoxes, OwnerIsDisabledMeanwhileAndKeepsItsTimers) {
    HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{100, 100, 700, 500});
    ClearLog();
    SetTimer(owner, 7, 10, nullptr);
    bool disabled = false;
    RECT box_rect{};
    const int answer = Run(
        MB_OK,
        [&](HWND box) {
            disabled = !IsWindowEnabled(owner);
            GetWindowRect(box, &box_rect);
            WaitUntil([&] { return SeenOf(WM_TIMER).size() >= 3; });
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
        },
        owner);
    EXPECT_EQ(answer, IDOK);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_GE(SeenOf(WM_TIMER).size(), 3u);
    // Centred on the owner.
    EXPECT_NEAR((box_rect.left + box_rect.right) / 2, 400, 1);
    EXPECT_NEAR((box_rect.top + box_rect.bottom) / 2, 300, 1);
    DestroyWindow(owner);
}

TEST_F(DrawnBoxes, AQuitRequestEndsTheBoxAsDismissedAndStaysForTheProgram) {
    HWND helper = MakeWindow();
    hook() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_USER + 1) return std::nullopt;
        PostQuitMessage(5);
        return 0;
    };
    struct Case {
        UINT type;
        int answer;
    };
    for (const Case& c : {Case{MB_OKCANCEL, IDCANCEL}, Case{MB_YESNO | MB_DEFBUTTON2, IDNO}}) {
        EXPECT_EQ(Run(c.type, [&](HWND) { PostMessageW(helper, WM_USER + 1, 0, 0); }), c.answer);
        MSG msg{};
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 5u);
    }
    hook() = nullptr;
    DestroyWindow(helper);
}

// The box's own pixels: the icon of its kind, and the text drawn dark on white.
TEST_F(DrawnBoxes, TheBoxShowsTheIconOfItsKindAndItsText) {
    struct Case {
        UINT icon;
        COLORREF body;        // the icon's colour near its bottom
        COLORREF at_the_top;  // what the symbol leaves at (16, 10)
    };
    const COLORREF white = RGB(255, 255, 255), blue = RGB(35, 105, 210);
    const std::vector<Case> cases = {
        {MB_ICONERROR, RGB(215, 40, 40), RGB(215, 40, 40)},
        {MB_ICONWARNING, RGB(250, 200, 30), RGB(0, 0, 0)},
        {MB_ICONINFORMATION, blue, white},
        {MB_ICONQUESTION, blue, blue},
    };
    auto near = [](COLORREF a, COLORREF b) {
        return abs(GetRValue(a) - GetRValue(b)) < 30 && abs(GetGValue(a) - GetGValue(b)) < 30 &&
               abs(GetBValue(a) - GetBValue(b)) < 30;
    };
    for (const auto& c : cases) {
        COLORREF body = 0, top = 0;
        int dark_text_pixels = 0;
        Run(MB_OK | c.icon, [&](HWND box) {
            HWND icon = nullptr, text = nullptr;
            for (HWND ch = GetWindow(box, GW_CHILD); ch; ch = GetWindow(ch, GW_HWNDNEXT)) {
                const LONG type = GetWindowLongW(ch, GWL_STYLE) & SS_TYPEMASK;
                wchar_t cls[16];
                GetClassNameW(ch, cls, 16);
                if (std::wstring(cls) != L"Static") continue;
                (type == SS_ICON ? icon : text) = ch;
            }
            ASSERT_TRUE(icon && text);
            RECT box_r, icon_r, text_r;
            GetWindowRect(box, &box_r);
            GetWindowRect(icon, &icon_r);
            GetWindowRect(text, &text_r);
            const int w = box_r.right - box_r.left, h = box_r.bottom - box_r.top;
            BITMAPINFO bi{};
            bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            void* bits = nullptr;
            HDC mem = CreateCompatibleDC(nullptr);
            HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            SelectObject(mem, bmp);
            auto pixel = [&](const RECT& r, int x, int y) {
                const uint32_t p = static_cast<const uint32_t*>(
                    bits)[(r.top - box_r.top + y) * w + (r.left - box_r.left + x)];
                return RGB(p >> 16 & 255, p >> 8 & 255, p & 255);
            };
            WaitPainted(box);
            PrintWindow(box, mem, 0);
            for (int y = 0; y < text_r.bottom - text_r.top; ++y)
                for (int x = 0; x < text_r.right - text_r.left; ++x)
                    dark_text_pixels += GetRValue(pixel(text_r, x, y)) < 100;
            body = pixel(icon_r, 16, 28);
            top = pixel(icon_r, 16, 10);
            DeleteDC(mem);
            DeleteObject(bmp);
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_TRUE(near(body, c.body)) << std::hex << body << " " << c.icon;
        EXPECT_TRUE(near(top, c.at_the_top)) << std::hex << top;
        EXPECT_GT(dark_text_pixels, 20);
    }
}

TEST_F(DrawnBoxes, RealBoxesAreRecordedAndTheAnswerKnobStillAnswersAtOnce) {
    setenv("WIN32_DIALOG_LOG", log_.c_str(), 1);
    EXPECT_EQ(Run(MB_YESNO | MB_ICONQUESTION,
                  [](HWND box) { PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0); }),
              IDNO);
    setenv("WIN32_MSGBOX_ANSWER", "IDYES", 1);
    EXPECT_EQ(MessageBoxW(nullptr, L"t", L"knob", MB_YESNO), IDYES);
    const std::string log = read_log();
    EXPECT_NE(log.find("\tText\t0x00000024\tIDNO\n"), std::string::npos) << log;
    EXPECT_NE(log.find("msgbox\tknob\tt\t0x00000004\tIDYES\n"), std::string::npos) << log;
}

}  // namespace

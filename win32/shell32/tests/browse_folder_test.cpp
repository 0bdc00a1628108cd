#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"

using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::WaitUntil;

namespace {

// D: is a temporary folder holding work\{a, b\b1}, and the picker starts in D:\work.
// Each pick is recorded; no chooser is on PATH unless a test puts one there.
class FolderPicker : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"d/work/a", "d/work/b/b1", "d/work/.hidden", "bin", "home"})
            std::filesystem::create_directories(tmp_.file(d));
        std::ofstream(tmp_.file("d/work/file.txt")) << "x";
        SetCurrentDirectoryW(L"D:\\work");
    }
    void TearDown() override { std::filesystem::current_path(cwd_); }  // before D: goes

    // The folder SHBrowseForFolderW answers ("" for none); act(picker) runs on a second
    // thread once the layer's picker is up.
    std::wstring Pick(const std::function<void(HWND)>& act, BFFCALLBACK callback = nullptr,
                      LPARAM data = 0) {
        std::atomic<bool> returned{false};
        std::thread driver([&] {
            HWND picker = nullptr;
            WaitUntil([&] {
                picker = FindWindowW(L"#32770", L"浏览文件夹");
                return returned || (picker && IsWindowVisible(picker));
            });
            if (act && picker && !returned) act(picker);
        });
        BROWSEINFOW bi{};
        bi.hwndOwner = owner_;
        bi.lpszTitle = L"选择下载目录";
        bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        bi.pszDisplayName = name_;
        bi.lpfn = callback;
        bi.lParam = data;
        PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi);
        returned = true;
        driver.join();
        WCHAR path[MAX_PATH] = L"";
        EXPECT_TRUE(!list || SHGetPathFromIDListW(list, path));
        CoTaskMemFree(list);
        return path;
    }
    static HWND List(HWND picker) { return FindWindowExW(picker, nullptr, L"ListBox", nullptr); }
    static std::vector<std::wstring> Rows(HWND picker) {
        std::vector<std::wstring> rows;
        const int n = static_cast<int>(SendMessageW(List(picker), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            WCHAR row[MAX_PATH] = L"";
            SendMessageW(List(picker), LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
            rows.push_back(row);
        }
        return rows;
    }
    static void DoubleClickRow(HWND picker, int row) {
        const int h = static_cast<int>(SendMessageW(List(picker), LB_GETITEMHEIGHT, 0, 0));
        SendMessageW(List(picker), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, row * h + h / 2));
    }
    static void Type(HWND picker, const std::wstring& text) {
        HWND edit = FindWindowExW(picker, nullptr, L"Edit", nullptr);
        SendMessageW(edit, WM_CHAR, 1, 0);  // Ctrl+A: what is typed replaces it all
        for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
    }

    testing_support::TempDir tmp_;
    ScopedEnv drives_{"WIN32_DRIVES", "C=" + tmp_.file("home") + ";D=" + tmp_.file("d")};
    ScopedEnv windows_{"WIN32_DIALOG_WINDOWS", "1"}, headless_{"WIN32_NO_DISPLAY", "1"};
    ScopedEnv path_{"PATH", tmp_.file("bin")}, log_{"WIN32_DIALOG_LOG", tmp_.file("log")};
    HWND owner_ = nullptr;
    WCHAR name_[MAX_PATH] = L"untouched";
    const std::filesystem::path cwd_ = std::filesystem::current_path();
};

TEST_F(FolderPicker, TheAnswerKnobAnswersAtOnceWithThePathAndItsName) {
    const struct {
        const char* answer;
        std::wstring path, name;
    } cases[] = {{"D:\\游戏\\下载", L"D:\\游戏\\下载", L"下载"},
                 {"C:\\", L"C:\\", L"C:\\"},
                 {"", L"", L"C:\\"}};  // Cancel leaves the name alone
    for (const auto& c : cases) {
        ScopedEnv answer("WIN32_FOLDER_ANSWER", c.answer);
        EXPECT_EQ(Pick(nullptr), c.path);
        EXPECT_STREQ(name_, c.name.c_str());
    }
    EXPECT_EQ(ReadAll(tmp_.file("log")),
              "folder\t\t选择下载目录\t0x00000041\tD:\\\\游戏\\\\下载\n"
              "folder\t\t选择下载目录\t0x00000041\tC:\\\\\n"
              "folder\t\t选择下载目录\t0x00000041\t\n");
    WCHAR path[MAX_PATH] = L"x";
    const BYTE empty[2] = {0, 0};
    EXPECT_FALSE(SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(empty), path));
    EXPECT_STREQ(path, L"");
    EXPECT_FALSE(SHGetPathFromIDListW(nullptr, path));
    EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
}

int CALLBACK StartInB(HWND picker, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

TEST_F(FolderPicker, TheDrawnPickerListsNavigatesAndAnswers) {
    using Rows_ = std::vector<std::wstring>;
    auto with_drives = [](Rows_ r) {
        r.insert(r.end(), {L"C:\\", L"D:\\"});
        return r;
    };
    auto down = [](HWND p, int n) {
        while (n--) SendMessageW(List(p), WM_KEYDOWN, VK_DOWN, 0);
    };
    const struct {
        const char* what;
        std::function<void(HWND)> steps;
        Rows_ rows;  // after the steps
        std::wstring answer;
        BFFCALLBACK callback;
    } cases[] = {
        {"as it starts", [](HWND) {}, with_drives({L"..", L"a", L"b"}), L"D:\\work"},
        {"arrows select b", [&](HWND p) { down(p, 3); }, with_drives({L"..", L"a", L"b"}),
         L"D:\\work\\b"},
        {"into b", [](HWND p) { DoubleClickRow(p, 2); }, with_drives({L"..", L"b1"}),
         L"D:\\work\\b"},
        {"up to the root", [](HWND p) { DoubleClickRow(p, 0); }, with_drives({L"work"}), L"D:\\"},
        {"a drive's root", [](HWND p) { DoubleClickRow(p, 3); }, with_drives({}), L"C:\\"},
        {"typed relative path", [](HWND p) { Type(p, L"b/../b\\b1"); },
         with_drives({L"..", L"a", L"b"}), L"D:\\work\\b\\b1"},
        {"started by the callback", [](HWND) {}, with_drives({L"..", L"b1"}), L"D:\\work\\b",
         StartInB},
    };
    for (const auto& c : cases) {
        Rows_ rows;
        const std::wstring answer = Pick(
            [&](HWND picker) {
                c.steps(picker);
                rows = Rows(picker);
                PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
            },
            c.callback, reinterpret_cast<LPARAM>(L"D:\\work\\b"));
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(answer, c.answer) << c.what;
    }
    EXPECT_STREQ(name_, L"b");
    for (UINT how : {UINT{WM_KEYDOWN}, UINT{WM_CLOSE}})
        EXPECT_EQ(Pick([&](HWND p) { PostMessageW(p, how, VK_ESCAPE, 0); }), L"") << how;
    // A typed folder that is not there is told, and the picker stays.
    bool warned = false, still_open = false;
    EXPECT_EQ(Pick([&](HWND picker) {
                  Type(picker, L"nothere");
                  PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
                  HWND box = nullptr;
                  warned = WaitUntil([&] {
                      return (box = FindWindowW(L"#32770", L"文件夹不存在")) &&
                             IsWindowVisible(box);
                  });
                  PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
                  WaitUntil([&] { return !IsWindow(box); });
                  still_open = IsWindowVisible(picker);
                  PostMessageW(picker, WM_KEYDOWN, VK_ESCAPE, 0);
              }),
              L"");
    EXPECT_TRUE(warned && still_open);
    EXPECT_NE(ReadAll(tmp_.file("log"))
                  .find("msgbox\t文件夹不存在\tD:\\\\work\\\\nothere\t0x00000030\tIDOK\n"),
              std::string::npos);
}

// The desktop's chooser: a fake zenity first on PATH records its arguments and does
// what the case says, while the owner is disabled but keeps its timers.
std::atomic<int> g_ticks{0};

LRESULT CALLBACK CountTicks(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_TIMER) ++g_ticks;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST_F(FolderPicker, TheDesktopChoosersAnswerComesBackAsADrivePath) {
    ScopedEnv path("PATH", tmp_.file("bin") + ":/usr/bin:/bin");
    const std::string go = tmp_.file("go");
    const struct {
        std::string body;
        std::wstring answer;
        bool drawn_picker;  // the chooser failed: the layer's picker takes over
    } cases[] = {
        {"while [ ! -e " + go + " ]; do sleep 0.01; done\necho " + tmp_.file("d/work/a"),
         L"D:\\work\\a", false},
        {"exit 1", L"", false},
        {"exit 255", L"D:\\work", true},
    };
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountTicks;
    wc.lpszClassName = L"ChooserOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowExW(0, L"ChooserOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                             nullptr, nullptr, nullptr, nullptr);
    SetTimer(owner_, 1, 10, nullptr);
    for (const auto& c : cases) {
        std::ofstream(tmp_.file("bin/zenity"))
            << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << tmp_.file("args") << "\n"
            << c.body << "\n";
        chmod(tmp_.file("bin/zenity").c_str(), 0755);
        g_ticks = 0;
        std::atomic<bool> done{false};
        bool disabled = false, drawn = false;
        std::thread releaser([&] {
            disabled =
                WaitUntil([&] { return done || (g_ticks >= 3 && !IsWindowEnabled(owner_)); }) &&
                !done;
            std::ofstream(go) << "";
        });
        EXPECT_EQ(Pick([&](HWND picker) {
                      drawn = true;
                      PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
                  }),
                  c.answer)
            << c.body;
        done = true;
        releaser.join();
        std::filesystem::remove(go);
        EXPECT_EQ(drawn, c.drawn_picker) << c.body;
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_TRUE(c.body.find("while") != 0 || disabled);
        EXPECT_EQ(ReadAll(tmp_.file("args")),
                  "--file-selection\n--directory\n--title=选择下载目录\n--filename=" +
                      tmp_.file("d/work/") + "\n");
    }
    DestroyWindow(owner_);
}

}  // namespace

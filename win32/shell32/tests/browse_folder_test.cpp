#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/wait_until.h"

using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WaitUntil;

namespace {

class FolderPicker : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/w32folderXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        log_ = dir_ + "/dialogs.log";
        unsetenv("WIN32_FOLDER_ANSWER");
        unsetenv("WIN32_DIALOG_LOG");
        unsetenv("WIN32_DIALOG_WINDOWS");
        setenv("WIN32_NO_DISPLAY", "1", 1);
        bi_.lpszTitle = L"选择下载目录";
        bi_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        bi_.pszDisplayName = name_;
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
    BROWSEINFOW bi_{};
    WCHAR name_[MAX_PATH] = L"untouched";
};

TEST_F(FolderPicker, CancelsWithoutAnAnswer) {
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    setenv("WIN32_FOLDER_ANSWER", "", 1);
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    EXPECT_STREQ(name_, L"untouched");
}

TEST_F(FolderPicker, AnsweredPathComesBackThroughTheIdList) {
    setenv("WIN32_FOLDER_ANSWER", "D:\\游戏\\下载", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    WCHAR path[MAX_PATH] = L"";
    EXPECT_TRUE(SHGetPathFromIDListW(list, path));
    EXPECT_STREQ(path, L"D:\\游戏\\下载");
    EXPECT_STREQ(name_, L"下载");
    CoTaskMemFree(list);
}

TEST_F(FolderPicker, DriveRootShowsItsDriveAsName) {
    setenv("WIN32_FOLDER_ANSWER", "C:\\", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    WCHAR path[MAX_PATH] = L"";
    EXPECT_TRUE(SHGetPathFromIDListW(list, path));
    EXPECT_STREQ(path, L"C:\\");
    EXPECT_STREQ(name_, L"C:\\");
    CoTaskMemFree(list);
}

TEST_F(FolderPicker, EachPickAppendsARecordLine) {
    setenv("WIN32_DIALOG_LOG", log_.c_str(), 1);
    setenv("WIN32_FOLDER_ANSWER", "E:\\games", 1);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi_);
    ASSERT_NE(list, nullptr);
    CoTaskMemFree(list);
    unsetenv("WIN32_FOLDER_ANSWER");
    EXPECT_EQ(SHBrowseForFolderW(&bi_), nullptr);
    EXPECT_EQ(read_log(),
              "folder\t\t选择下载目录\t0x00000041\tE:\\\\games\n"
              "folder\t\t选择下载目录\t0x00000041\t\n");
}

TEST_F(FolderPicker, PathFromNoListOrAForeignListFails) {
    WCHAR path[MAX_PATH] = L"x";
    EXPECT_FALSE(SHGetPathFromIDListW(nullptr, path));
    const BYTE empty[2] = {0, 0};
    EXPECT_FALSE(SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(empty), path));
    EXPECT_STREQ(path, L"");
}

TEST_F(FolderPicker, NoBrowseInfoAnswersNothing) {
    setenv("WIN32_FOLDER_ANSWER", "C:\\a", 1);
    EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
}

// Pickers a person answers: D: is a temporary folder holding work\{a, b\b1}, and the
// picker starts in D:\work. Without a chooser on PATH the layer draws its own.
class FolderDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"/d", "/d/work", "/d/work/a", "/d/work/b", "/d/work/b/b1",
                              "/d/work/.hidden", "/bin", "/home"})
            mkdir((tmp_.path() + d).c_str(), 0755);
        std::ofstream(tmp_.path() + "/d/work/file.txt") << "x";
        unsetenv("WIN32_FOLDER_ANSWER");
        setenv("WIN32_NO_DISPLAY", "1", 1);
        SetCurrentDirectoryW(L"D:\\work");
        log_ = tmp_.file("dialogs.log");
        setenv("WIN32_DIALOG_LOG", log_.c_str(), 1);
    }
    void TearDown() override { unsetenv("WIN32_DIALOG_LOG"); }

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
        if (list) SHGetPathFromIDListW(list, path);
        CoTaskMemFree(list);
        return path;
    }
    static std::vector<std::wstring> Rows(HWND picker) {
        HWND list = FindWindowExW(picker, nullptr, L"ListBox", nullptr);
        std::vector<std::wstring> rows;
        const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            WCHAR row[MAX_PATH] = L"";
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
            rows.push_back(row);
        }
        return rows;
    }
    static void DoubleClickRow(HWND picker, int row) {
        HWND list = FindWindowExW(picker, nullptr, L"ListBox", nullptr);
        const int h = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, row * h + h / 2));
    }
    static void Type(HWND picker, const std::wstring& text) {
        HWND edit = FindWindowExW(picker, nullptr, L"Edit", nullptr);
        SendMessageW(edit, WM_CHAR, 1, 0);  // Ctrl+A: what is typed replaces it all
        for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
    }
    std::string read_log() {
        std::ifstream in(log_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    TempDir tmp_;
    ScopedEnv drives_{"WIN32_DRIVES", "C=" + tmp_.path() + "/home;D=" + tmp_.path() + "/d"};
    ScopedEnv windows_{"WIN32_DIALOG_WINDOWS", "1"};
    ScopedEnv path_{"PATH", tmp_.path() + "/bin"};
    std::string log_;
    HWND owner_ = nullptr;
    WCHAR name_[MAX_PATH] = L"";
};

TEST_F(FolderDialogs, TheDrawnPickerListsNavigatesAndAnswers) {
    using Rows_ = std::vector<std::wstring>;
    struct Case {
        const char* what;
        std::function<void(HWND)> steps;
        Rows_ rows;  // after the steps
        std::wstring answer;
    };
    const Rows_ drives = {L"C:\\", L"D:\\"};
    auto with_drives = [&](Rows_ r) {
        r.insert(r.end(), drives.begin(), drives.end());
        return r;
    };
    auto key = [](WPARAM k) {
        return [k](HWND p) {
            SendMessageW(FindWindowExW(p, nullptr, L"ListBox", nullptr), WM_KEYDOWN, k, 0);
        };
    };
    const std::vector<Case> cases = {
        {"as it starts", [](HWND) {}, with_drives({L"..", L"a", L"b"}), L"D:\\work"},
        {"arrows select b",
         [&](HWND p) {
             for (int i = 0; i < 3; ++i) key(VK_DOWN)(p);
         },
         with_drives({L"..", L"a", L"b"}), L"D:\\work\\b"},
        {"into b", [](HWND p) { DoubleClickRow(p, 2); }, with_drives({L"..", L"b1"}),
         L"D:\\work\\b"},
        {"up to the root", [](HWND p) { DoubleClickRow(p, 0); }, with_drives({L"work"}), L"D:\\"},
        {"a drive's root", [](HWND p) { DoubleClickRow(p, 3); }, with_drives({}), L"C:\\"},
        {"typed relative path", [](HWND p) { Type(p, L"b/../b\\b1"); },
         with_drives({L"..", L"a", L"b"}), L"D:\\work\\b\\b1"},
    };
    for (const auto& c : cases) {
        Rows_ rows;
        const std::wstring answer = Pick([&](HWND picker) {
            c.steps(picker);
            rows = Rows(picker);
            PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(answer, c.answer) << c.what;
    }
    for (UINT how : {static_cast<UINT>(WM_KEYDOWN), static_cast<UINT>(WM_CLOSE)}) {
        EXPECT_EQ(Pick([&](HWND p) { PostMessageW(p, how, VK_ESCAPE, 0); }), L"") << how;
    }
    EXPECT_NE(read_log().find("folder\t\t选择下载目录\t0x00000041\tD:\\\\work\\\\b\n"),
              std::string::npos);
}

TEST_F(FolderDialogs, AMissingTypedFolderIsToldAndThePickerStays) {
    bool warned = false, still_open = false;
    const std::wstring answer = Pick([&](HWND picker) {
        Type(picker, L"nothere");
        PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
        HWND box = nullptr;
        warned = WaitUntil([&] {
            return (box = FindWindowW(L"#32770", L"文件夹不存在")) && IsWindowVisible(box);
        });
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
        WaitUntil([&] { return !IsWindow(box); });
        still_open = IsWindowVisible(picker);
        PostMessageW(picker, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_TRUE(warned);
    EXPECT_TRUE(still_open);
    EXPECT_EQ(answer, L"");
    EXPECT_NE(read_log().find("msgbox\t文件夹不存在\tD:\\\\work\\\\nothere\t0x00000030\tIDOK\n"),
              std::string::npos);
}

int CALLBACK StartInB(HWND picker, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

TEST_F(FolderDialogs, TheCallbackChoosesWhereThePickerStarts) {
    std::vector<std::wstring> rows;
    const std::wstring answer = Pick(
        [&](HWND picker) {
            rows = Rows(picker);
            PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
        },
        StartInB, reinterpret_cast<LPARAM>(L"D:\\work\\b"));
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"..", L"b1", L"C:\\", L"D:\\"}));
    EXPECT_EQ(answer, L"D:\\work\\b");
    EXPECT_STREQ(name_, L"b");
}

// The desktop's chooser: a fake zenity first on PATH records its arguments and does
// what the case says.
class DesktopChooser : public FolderDialogs {
protected:
    void Script(const std::string& body) {
        const std::string path = tmp_.path() + "/bin/zenity";
        std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << tmp_.path()
                            << "/args\n"
                            << body << "\n";
        chmod(path.c_str(), 0755);
    }
    ScopedEnv chooser_path_{"PATH", tmp_.path() + "/bin:/usr/bin:/bin"};
};

TEST_F(DesktopChooser, ItsAnswerComesBackAsADrivePathAndItsCancelAsNone) {
    struct Case {
        std::string body;
        std::wstring answer;
        bool drawn_picker;  // the chooser failed: the layer's picker takes over
    };
    const std::vector<Case> cases = {
        {"echo " + tmp_.path() + "/d/work/a", L"D:\\work\\a", false},
        {"exit 1", L"", false},
        {"exit 255", L"D:\\work", true},
    };
    for (const auto& c : cases) {
        Script(c.body);
        bool drawn = false;
        const std::wstring answer = Pick([&](HWND picker) {
            drawn = true;
            PostMessageW(picker, WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_EQ(answer, c.answer) << c.body;
        EXPECT_EQ(drawn, c.drawn_picker) << c.body;
        EXPECT_EQ(testing_support::ReadAll(tmp_.path() + "/args"),
                  "--file-selection\n--directory\n--title=选择下载目录\n--filename=" + tmp_.path() +
                      "/d/work/\n");
    }
}

std::atomic<int> g_ticks{0};

LRESULT CALLBACK CountTicks(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_TIMER) ++g_ticks;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST_F(DesktopChooser, TheOwnerIsDisabledButKeepsItsTimersWhileItRuns) {
    const std::string go = tmp_.path() + "/go";
    Script("while [ ! -e " + go + " ]; do sleep 0.01; done\necho " + tmp_.path() + "/d/work/b");
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountTicks;
    wc.lpszClassName = L"ChooserOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowExW(0, L"ChooserOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                             nullptr, nullptr, nullptr, nullptr);
    SetTimer(owner_, 1, 10, nullptr);
    g_ticks = 0;
    bool disabled = false;
    std::thread releaser([&] {
        WaitUntil([&] { return g_ticks >= 3 && !IsWindowEnabled(owner_); });
        disabled = !IsWindowEnabled(owner_);
        std::ofstream(go) << "";
    });
    EXPECT_EQ(Pick(nullptr), L"D:\\work\\b");
    releaser.join();
    EXPECT_TRUE(disabled);
    EXPECT_GE(g_ticks, 3);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    DestroyWindow(owner_);
}

}  // namespace

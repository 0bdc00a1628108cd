#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

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
    EXPECT_EQ(MessageBoxW(nullptr, L"C:\\下载\\a.exe", L"文件存在，是否覆盖", MB_YESNO | MB_ICONQUESTION),
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

}  // namespace

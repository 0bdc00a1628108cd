// What the base tests share: temporary folders and settings from testing/, the
// logger's lines, a count of open handles, a token's privileges, a private registry,
// plain windows and the "name=value" lines of the probe program.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

using testing_support::Exists;
using testing_support::ListFolder;
using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteAll;

namespace base_test {

// A test with a temporary folder of its own, and short ways to make and read names in it.
class FolderTest : public ::testing::Test, public TempDir {
protected:
    void Dir(const std::string& name) { ASSERT_EQ(mkdir(file(name).c_str(), 0755), 0) << name; }
    void Write(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(WriteAll(file(name), bytes)) << name;
    }
    std::string Read(const std::string& name) const { return ReadAll(file(name)); }
    std::string List(const std::string& name = "") const { return ListFolder(file(name)); }
    bool Has(const std::string& name) const { return Exists(file(name)); }
};

// Sends the logger's lines to a private file while it lives; Units() answers them as
// written, Text() in UTF-8.
class LogCapture {
public:
    explicit LogCapture(int level = LL_MESSAGE) : file_(fopen(path_.c_str(), "wb")) {
        COutput2FILE::Stream() = file_;
        CFileLog::ReportingLevel(LCAT_ALL) = level;
    }
    ~LogCapture() {
        COutput2FILE::Stream() = stderr;
        CFileLog::ReportingLevel(LCAT_ALL) = LL_DEBUG;
        if (file_) fclose(file_);
    }
    std::u16string Units() const {
        if (file_) fflush(file_);
        const std::string bytes = ReadAll(path_);
        std::u16string units;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
        return units;
    }
    std::string Text() const {
        const std::u16string units = Units();
        return base::WideToUtf8(std::wstring(units.begin(), units.end()));
    }
    bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    TempDir dir_;
    std::string path_ = dir_.file("capture.log");
    FILE* file_;
};

// The highest value among far more handles than a test holds, opened at once. Freed
// entries are handed out again before the table grows, so this rises with every handle
// left open since the last call.
inline uintptr_t HighestOfManyHandles() {
    std::vector<base::ScopedHandle> events;
    uintptr_t highest = 0;
    for (int i = 0; i < 1000; ++i) {
        events.emplace_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        EXPECT_TRUE(events.back().IsValid());
        highest = std::max(highest, reinterpret_cast<uintptr_t>(events.back().Get()));
    }
    return highest;
}

// Whether a privilege is enabled in a token (opened with TOKEN_ADJUST_PRIVILEGES), read
// the one way tokens answer it: enabling it reports its previous state, then put back.
inline bool PrivilegeEnabled(HANDLE token, const wchar_t* name) {
    TOKEN_PRIVILEGES on = {1}, previous = {};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, name, &on.Privileges[0].Luid));
    on.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD size = sizeof previous;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &on, sizeof previous, &previous, &size));
    if (previous.PrivilegeCount == 0) return true;
    AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    return false;
}

// The layer's registry store in a folder of the test's own while it lives.
struct PrivateRegistry {
    TempDir dir;
    ScopedEnv env{"WIN32_REGISTRY_DIR", dir.path()};
};

// Creates the key under HKEY_LOCAL_MACHINE and sets a value there (none for a null name).
inline bool SetMachineValue(const std::wstring& key, const wchar_t* name, DWORD type,
                            const void* data, DWORD size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        name ? RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size) : 0;
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}
inline bool SetMachineText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    return SetMachineValue(key, name, REG_SZ, text.c_str(),
                           DWORD((text.size() + 1) * sizeof(WCHAR)));
}

// A window of a plain class of that name, registered on first use.
inline HWND MakeWindow(const wchar_t* cls, const wchar_t* title, DWORD style, DWORD ex_style = 0,
                       HWND owner = nullptr) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = cls;
    RegisterClassW(&wc);  // fails harmlessly once it is there
    HWND hwnd = CreateWindowExW(ex_style, cls, title, style, 10, 10, 200, 100, owner, nullptr,
                                nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr);
    return hwnd;
}

// The "name=value" lines a command prints.
inline std::map<std::string, std::string> ProbeLines(const std::string& command) {
    std::map<std::string, std::string> values;
    FILE* pipe = popen(command.c_str(), "r");
    char line[256];
    while (pipe && fgets(line, sizeof line, pipe)) {
        std::string s(line);
        if (const size_t eq = s.find('='); eq != std::string::npos)
            values[s.substr(0, eq)] = s.substr(eq + 1, s.find('\n') - eq - 1);
    }
    if (pipe) pclose(pipe);
    return values;
}

}  // namespace base_test

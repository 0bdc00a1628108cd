// The registry: values of each type, sizes, names, enumeration, deletion, the
// merged HKEY_CLASSES_ROOT, the store shared between processes, and saving a
// key's subtree to a file and restoring it.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/win32_fork.h"

namespace {

using testing_support::ReadAll;
using testing_support::WriteAll;
using Names = std::vector<std::wstring>;

HKEY Create(HKEY root, const wchar_t* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
        ERROR_SUCCESS);
    return key;
}

HKEY Open(HKEY root, const wchar_t* path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    return RegOpenKeyExW(root, path, 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

LSTATUS Set(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size) {
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), DWORD(size));
}
LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    return Set(key, name, type, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
}
LSTATUS SetDword(HKEY key, const wchar_t* name, DWORD v) {
    return Set(key, name, REG_DWORD, &v, sizeof v);
}

// The text of a string value, or "<error N>".
std::wstring GetString(HKEY key, const wchar_t* name) {
    WCHAR buf[512] = {};
    DWORD size = sizeof buf;
    LSTATUS s = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    return s == ERROR_SUCCESS ? buf : L"<error " + std::to_wstring(s) + L">";
}

// A query with room for `room` bytes (a null buffer for 0): "<status> <type> <size> <bytes>".
std::string Query(HKEY key, const wchar_t* name, DWORD room = 4096) {
    std::vector<BYTE> buf(room);
    DWORD type = 0, size = room;
    LSTATUS s = RegQueryValueExW(key, name, nullptr, &type, room ? buf.data() : nullptr, &size);
    return std::to_string(s) + " " + std::to_string(type) + " " + std::to_string(size) + " " +
           (s || !room ? "" : std::string(buf.begin(), buf.begin() + size));
}
std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

Names Subkeys(HKEY key) {
    Names names;
    WCHAR name[256];
    for (DWORD i = 0, chars = 256;
         RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, chars = 256) {
        EXPECT_EQ(chars, wcslen(name));
        names.push_back(name);
    }
    return names;
}

// A subtree as enumeration shows it: each key's path below the top with its
// values, in enumeration order, as "name=type:bytes".
using Dump = std::map<std::wstring, Names>;
void DumpInto(HKEY key, const std::wstring& path, Dump* out) {
    auto& values = (*out)[path];
    WCHAR name[256];
    BYTE data[1024];
    for (DWORD i = 0, chars = 256, type = 0, size = sizeof data;
         RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++i, chars = 256, size = sizeof data)
        values.push_back(std::wstring(name, chars) + L"=" + std::to_wstring(type) + L":" +
                         std::wstring(data, data + size));
    for (const auto& sub : Subkeys(key)) {
        HKEY h = Open(key, sub.c_str());
        DumpInto(h, path + L"\\" + sub, out);
        RegCloseKey(h);
    }
}
Dump DumpOf(HKEY key) {
    Dump d;
    DumpInto(key, L"", &d);
    return d;
}

class RegistryTest : public ::testing::Test {
protected:
    // The Windows path of a file in the test's folder.
    std::wstring File(const std::string& name) const { return dir_.winfile(name); }
    std::string Files() const { return testing_support::ListFolder(dir_.path()); }

    testing_support::TempDir dir_;
    testing_support::ScopedEnv store_{"WIN32_REGISTRY_DIR", dir_.file("store")};
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytesAndReportTheirSize) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Test");
    const BYTE bin[] = {0, 1, 2, 0xFF, 0x80};
    const WCHAR multi[] = L"one\0two\0";
    const DWORD dw = 0xDEADBEEF;
    const struct {
        const wchar_t* name;
        DWORD type;
        const void* data;
        size_t size;
    } values[] = {{L"sz", REG_SZ, L"hello", sizeof L"hello"},
                  {L"expand", REG_EXPAND_SZ, L"%HOME%\\x", sizeof L"%HOME%\\x"},  // as written
                  {L"dword", REG_DWORD, &dw, 4},
                  {L"bin", REG_BINARY, bin, sizeof bin},
                  {L"multi", REG_MULTI_SZ, multi, sizeof multi}};
    for (const auto& v : values) ASSERT_EQ(Set(key, v.name, v.type, v.data, v.size), ERROR_SUCCESS);
    for (const auto& v : values) {
        const std::string kind = std::to_string(v.type) + " " + std::to_string(v.size) + " ";
        EXPECT_EQ(Query(key, v.name, 0), "0 " + kind);  // a null buffer asks for the size
        EXPECT_EQ(Query(key, v.name), "0 " + kind + Bytes(v.data, v.size));
        EXPECT_EQ(RegQueryValueExW(key, v.name, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    }
    EXPECT_EQ(Query(key, L"dword", 2), "234 4 4 ");  // too small: more data, the size needed
    // A string set without its terminator keeps its size (RegQueryValueExW's documentation
    // warns of such strings): a read of just that size succeeds, one with room gets a
    // terminator that the size leaves out.
    const WCHAR raw[3] = {L'a', L'b', L'c'};
    ASSERT_EQ(Set(key, L"s", REG_SZ, raw, sizeof raw), ERROR_SUCCESS);
    for (DWORD room : {0u, 1u}) {
        WCHAR got[4] = {L'#', L'#', L'#', L'#'};
        DWORD size = sizeof raw + room * sizeof(WCHAR);
        EXPECT_EQ(
            RegQueryValueExW(key, L"s", nullptr, nullptr, reinterpret_cast<BYTE*>(got), &size),
            ERROR_SUCCESS);
        EXPECT_EQ(std::to_wstring(size) + L" " + std::wstring(got, 4),
                  std::to_wstring(sizeof raw) + (room ? std::wstring(L" abc\0", 5) : L" abc#"));
    }
    EXPECT_EQ(GetString(key, L"absent"), L"<error 2>");
    EXPECT_EQ(GetString(key, nullptr), L"<error 2>");  // a default value it does not have
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesIgnoreCaseKeepTheirSpellingAndEnumerateInOrder) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\MixedCase\\Inner", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(Create(HKEY_CURRENT_USER, L"software\\mixedcase\\inner\\", &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(SetDword(key, L"Second", 2), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"ProgId", L"first"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"PROGID", L"again"), ERROR_SUCCESS);  // same value, same place
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, L"Software\\MixedCase"), nullptr);
    HKEY again = Open(HKEY_CURRENT_USER, L"SOFTWARE\\mixedcase\\INNER");
    EXPECT_EQ(GetString(again, L"progid"), L"again");
    const Names values = DumpOf(again)[L""];  // in the order written, as first spelt
    EXPECT_EQ(values.size() == 2 ? values[1].substr(0, 9) : L"", L"ProgId=1:");
    WCHAR name[32];
    BYTE tiny[4];
    DWORD chars = 32, size = sizeof tiny;
    EXPECT_EQ(RegEnumValueW(again, 1, name, &chars, nullptr, nullptr, tiny, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6 * sizeof(WCHAR));
    EXPECT_EQ(RegEnumValueW(again, 2, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(again);

    HKEY root = Create(HKEY_CURRENT_USER, L"Software\\Enum");
    for (const wchar_t* n : {L"Zeta", L"alpha", L"Beta", L"a-long-name"})
        RegCloseKey(Create(root, n));
    EXPECT_EQ(Subkeys(root), (Names{L"a-long-name", L"alpha", L"Beta", L"Zeta"}));
    WCHAR small[8];
    FILETIME ft{};
    chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 0, small, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 1, small, &chars, nullptr, nullptr, nullptr, &ft), ERROR_SUCCESS);
    EXPECT_NE(ft.dwHighDateTime, 0u);
    EXPECT_EQ(Subkeys(Open(HKEY_CURRENT_USER, L"software")), (Names{L"Enum", L"MixedCase"}));
    HKEY bad = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(root, L"\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bad, nullptr),
        ERROR_BAD_PATHNAME);
    RegCloseKey(root);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletionTakesLeavesOnlyAndHandlesKnowWhatTheyMay) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Del\\Child");
    ASSERT_EQ(SetString(key, L"v", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"v"), ERROR_FILE_NOT_FOUND);
    HKEY sw = Open(HKEY_CURRENT_USER, L"Software", KEY_ALL_ACCESS);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del"), ERROR_ACCESS_DENIED);  // it has a subkey
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetString(key, L"v", L"x"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del"), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(sw), Names{});
    RegCloseKey(key);

    HKEY read_only = Open(sw, nullptr, KEY_READ);
    EXPECT_EQ(SetDword(read_only, L"x", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetString(sw, L"x"), L"<error 2>");
    EXPECT_EQ(RegCloseKey(read_only), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(read_only), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // a root stays usable
    EXPECT_NE(Open(HKEY_CURRENT_USER, L"Software"), nullptr);
}

TEST_F(RegistryTest, TreesStopAt512LevelsMadeAtMost32AtATime) {
    std::wstring levels = L"k";
    for (int i = 1; i < 32; ++i) levels += L"\\k";
    HKEY key = nullptr, at = HKEY_CURRENT_USER;
    EXPECT_EQ(RegCreateKeyExW(at, (levels + L"\\k").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    for (int made = 0; made < 512; made += 32) ASSERT_NE(at = Create(at, levels.c_str()), nullptr);
    EXPECT_EQ(RegCreateKeyExW(at, L"k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(at, L"deepest", 512), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ClassesRootMergesTheUsersKeysOverTheMachinesAndWritesWhereTheKeyIs) {
    HKEY m = Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\App.Doc\\shell");
    ASSERT_EQ(SetString(m, nullptr, L"\"Z:\\machine\\app.exe\" \"%1\""), ERROR_SUCCESS);
    ASSERT_EQ(SetString(m, L"both", L"machine"), ERROR_SUCCESS);
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\MachineOnly"));
    HKEY u = Create(HKEY_CURRENT_USER, L"Software\\Classes\\App.Doc\\shell");
    ASSERT_EQ(SetString(u, L"both", L"user"), ERROR_SUCCESS);
    RegCloseKey(Create(HKEY_CURRENT_USER, L"Software\\Classes\\UserOnly"));

    HKEY cmd = Open(HKEY_CLASSES_ROOT, L"app.doc\\shell", KEY_ALL_ACCESS);
    EXPECT_EQ(GetString(cmd, L"both"), L"user");
    EXPECT_EQ(GetString(cmd, L""), L"\"Z:\\machine\\app.exe\" \"%1\"");  // only the machine's
    EXPECT_EQ(Subkeys(HKEY_CLASSES_ROOT), (Names{L"App.Doc", L"MachineOnly", L"UserOnly"}));
    // A write lands in the copy the view sees first; a new key beside the deepest
    // existing one, or under the machine when there is none.
    ASSERT_EQ(SetString(cmd, L"new", L"v"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(u, L"new"), L"v");
    HKEY machine_only = Open(HKEY_CLASSES_ROOT, L"MachineOnly", KEY_ALL_ACCESS);
    ASSERT_EQ(SetString(machine_only, L"m", L"v"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\MachineOnly"), L"m"), L"v");
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"userOnly\\shell"));
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"Fresh\\shell"));
    EXPECT_NE(Open(HKEY_CURRENT_USER, L"Software\\Classes\\UserOnly\\shell"), nullptr);
    EXPECT_NE(Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Fresh\\shell"), nullptr);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Classes\\Fresh"), nullptr);
    HKEY classes = Open(HKEY_CLASSES_ROOT, nullptr, KEY_ALL_ACCESS);
    EXPECT_EQ(RegDeleteKeyW(classes, L"Fresh\\shell"), ERROR_SUCCESS);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Fresh\\shell"), nullptr);
}

TEST_F(RegistryTest, ShellReadGivesTypeAndSizeAndExpandsStrings) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Harlin");
    ASSERT_EQ(SetString(key, L"mid", std::wstring(64, L'a')), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"EnableLUA", 0), ERROR_SUCCESS);
    testing_support::ScopedEnv expand("REGTEST_EXPAND", "Z:\\expanded");
    ASSERT_EQ(SetString(key, L"path", L"%REGTEST_EXPAND%\\bin", REG_EXPAND_SZ), ERROR_SUCCESS);
    char narrow[1024] = {};
    DWORD type = 0, size = sizeof narrow;
    ASSERT_EQ(SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Harlin", "mid", &type, narrow, &size),
              ERROR_SUCCESS);
    // Narrow characters with the terminator.
    EXPECT_EQ(std::to_string(type) + " " + std::to_string(size) + " " + narrow,
              "1 65 " + std::string(64, 'a'));
    size = 4;
    EXPECT_EQ(SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Harlin", "mid", nullptr, narrow, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 65u);
    auto wide = [](const wchar_t* sub, const wchar_t* name) {
        BYTE buf[256];
        DWORD type = 0, size = sizeof buf;
        LSTATUS s = SHGetValueW(HKEY_LOCAL_MACHINE, sub, name, &type, buf, &size);
        return s ? std::to_string(s)
                 : std::to_string(type) + " " + std::to_string(size) + " " + Bytes(buf, size);
    };
    EXPECT_EQ(wide(L"Software\\Harlin", L"EnableLUA"), "4 4 " + std::string(4, '\0'));
    EXPECT_EQ(wide(L"Software\\Harlin", L"path"),
              "1 64 " + Bytes(L"Z:\\expanded\\bin", 64));  // expanded, as a plain string
    EXPECT_EQ(wide(L"Software\\Absent", L"mid"), "2");
}

TEST_F(RegistryTest, WriterProcessesLoseNothingAndSeeEachOthersChanges) {
    constexpr int kPerWriter = 25;
    std::vector<pid_t> pids;
    for (wchar_t tag : {L'a', L'b'}) {
        if ((pids.emplace_back(fork())) != 0) continue;
        for (int i = 0; i < kPerWriter; ++i) {
            HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Race");
            if (SetDword(key, (tag + std::to_wstring(i)).c_str(), DWORD(i)) != 0) _exit(1);
            RegCloseKey(key);
        }
        _exit(0);
    }
    EXPECT_TRUE(testing_support::AllExitedWithZero(pids));
    HKEY key = Open(HKEY_CURRENT_USER, L"Software\\Race", KEY_ALL_ACCESS);
    Dump d = DumpOf(key);
    EXPECT_EQ(d[L""].size(), 2u * kPerWriter);
    for (wchar_t tag : {L'a', L'b'})
        for (DWORD i = 0; i < kPerWriter; ++i)
            EXPECT_EQ(Query(key, (tag + std::to_wstring(i)).c_str()), "0 4 4 " + Bytes(&i, 4));
    ASSERT_EQ(SetString(key, L"from", L"parent"), ERROR_SUCCESS);
    EXPECT_EQ(testing_support::InChild([] {
                  return GetString(Open(HKEY_CURRENT_USER, L"Software\\Race"), L"from") == L"parent"
                             ? 0
                             : 1;
              }),
              0);
}

std::vector<BYTE> Payload(DWORD i) {
    std::vector<BYTE> data(2048);
    for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<BYTE>(i * 31 + k);
    return data;
}

// Starts a child that writes values "<round>.<i>" in a loop, kills it after it
// reported `writes` completed writes plus delay_us, and answers what it reported.
std::set<DWORD> WriteUntilKilled(int round, size_t writes, useconds_t delay_us) {
    int pipefd[2];
    EXPECT_EQ(pipe(pipefd), 0);
    pid_t pid = fork();
    if (pid == 0) {
        HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Crash");
        for (DWORD i = 0;; ++i) {
            auto data = Payload(i);
            std::wstring name = std::to_wstring(round) + L"." + std::to_wstring(i);
            if (Set(key, name.c_str(), REG_BINARY, data.data(), data.size()) != ERROR_SUCCESS ||
                write(pipefd[1], &i, sizeof i) != sizeof i)
                _exit(2);
        }
    }
    close(pipefd[1]);
    std::set<DWORD> completed;
    DWORD i;
    while (completed.size() < writes && read(pipefd[0], &i, sizeof i) == sizeof i)
        completed.insert(i);
    usleep(delay_us);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
    while (read(pipefd[0], &i, sizeof i) == sizeof i) completed.insert(i);
    close(pipefd[0]);
    return completed;
}

TEST_F(RegistryTest, StoreSurvivesAWriterKilledMidWrite) {
    for (int round = 0; round < 8; ++round) {
        auto completed = WriteUntilKilled(round, 4 + round * 3, useconds_t(round * 150));
        HKEY key = Open(HKEY_LOCAL_MACHINE, L"Software\\Crash", KEY_ALL_ACCESS);
        ASSERT_NE(key, nullptr) << "round " << round;
        for (DWORD done : completed) {
            std::wstring name = std::to_wstring(round) + L"." + std::to_wstring(done);
            const auto data = Payload(done);
            ASSERT_EQ(Query(key, name.c_str()), "0 3 2048 " + Bytes(data.data(), data.size()))
                << "completed write " << done << " of round " << round << " was lost";
        }
        // The store still takes writes after the crash, and they clear what it left.
        EXPECT_EQ(SetDword(key, L"after", static_cast<DWORD>(round)), ERROR_SUCCESS);
        RegCloseKey(key);
        for (const auto& entry : std::filesystem::directory_iterator(dir_.file("store")))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

// A subtree with a value of every type and keys three levels deep.
void FillSource(HKEY src) {
    SetString(src, L"", L"default text");
    SetString(src, L"Name", L"引号 \" 反斜杠 \\ 换行 \n 完");
    SetString(src, L"Path", L"%TEMP%\\kelto", REG_EXPAND_SZ);
    Set(src, L"List", REG_MULTI_SZ, L"one\0two\0\0", sizeof L"one\0two\0\0");
    Set(src, L"Blob", REG_BINARY, "\x00\xff\x10\x7f\x80", 5);
    SetDword(src, L"Count", 0xfeedbeef);
    Set(src, L"Big", REG_DWORD_BIG_ENDIAN, "\x12\x34\x56\x78", 4);
    Set(src, L"Quad", REG_QWORD, "\xef\xcd\xab\x89\x67\x45\x23\x01", 8);
    SetString(src, L"Link", L"\\Registry\\Machine\\Software", REG_LINK);
    Set(src, L"Nothing", REG_NONE, nullptr, 0);
    Set(src, L"Odd", REG_SZ, "a\0", 3);  // a string of a size no character fits
    Set(src, L"Empty", REG_SZ, nullptr, 0);
    HKEY a = Create(src, L"Alpha\\Beta\\Gamma");
    SetDword(a, L"Deep", 3);
    RegCloseKey(a);
    HKEY b = Create(src, L"Delta");
    SetString(b, L"Greek", L"δέλτα");
    RegCloseKey(b);
    RegCloseKey(Create(src, L"Alpha\\Epsilon"));
}

TEST_F(RegistryTest, SavedSubtreesRestoreWithEveryValueOverAllOtherContent) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    FillSource(src);
    ASSERT_EQ(RegSaveKeyW(src, File("source.reg").c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Files(), "source.reg store");

    HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Target");
    SetString(dst, L"Name", L"old text");
    SetDword(dst, L"Extra", 1);
    HKEY old_inner = Create(dst, L"delta\\Inner");
    HKEY gone = Create(dst, L"Gone\\Deeper");
    HKEY sibling = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Sibling");
    SetDword(sibling, L"Untouched", 9);
    ASSERT_EQ(RegRestoreKeyW(dst, File("source.reg").c_str(), REG_FORCE_RESTORE), ERROR_SUCCESS);
    const Dump expected = DumpOf(src);
    ASSERT_EQ(expected.size(), 6u);  // the key itself and five subkeys
    EXPECT_EQ(expected.at(L"").size(), 12u);
    EXPECT_EQ(DumpOf(dst), expected);
    // In the store, not only in this process.
    EXPECT_EQ(
        testing_support::InChild([] {
            return Open(HKEY_CURRENT_USER, L"Software\\Kelto\\Target\\Alpha\\Beta\\Gamma") ? 0 : 1;
        }),
        0);
    // A handle into a replaced part of the tree sees its key gone; neighbours keep theirs.
    EXPECT_EQ(SetDword(gone, L"x", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(SetDword(old_inner, L"x", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(DumpOf(sibling)[L""].size(), 1u);
    // The flags of an ordinary restore are taken too.
    for (DWORD flags : {DWORD{0}, DWORD{REG_WHOLE_HIVE_VOLATILE}}) {
        SetDword(dst, L"Count", 0);
        ASSERT_EQ(RegRestoreKeyW(dst, File("source.reg").c_str(), flags), ERROR_SUCCESS);
        EXPECT_EQ(DumpOf(dst), expected) << flags;
    }
}

TEST_F(RegistryTest, ClassesRootSavesTheMergedView) {
    HKEY machine = Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.kelto");
    SetString(machine, L"", L"machine default");
    SetString(machine, L"Content Type", L"application/x-kelto");
    RegCloseKey(Create(machine, L"OpenWithList"));
    HKEY user = Create(HKEY_CURRENT_USER, L"Software\\Classes\\.kelto");
    SetString(user, L"", L"user default");
    RegCloseKey(Create(user, L"ShellNew"));
    ASSERT_EQ(RegSaveKeyW(Open(HKEY_CLASSES_ROOT, L".kelto"), File("c.reg").c_str(), nullptr),
              ERROR_SUCCESS);
    HKEY copy = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Copy");
    ASSERT_EQ(RegRestoreKeyW(copy, File("c.reg").c_str(), REG_FORCE_RESTORE), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(copy), (Names{L"OpenWithList", L"ShellNew"}));
    EXPECT_EQ(GetString(copy, L""), L"user default");
    EXPECT_EQ(GetString(copy, L"Content Type"), L"application/x-kelto");
}

TEST_F(RegistryTest, SaveAndRestoreRefuseWhatTheyMayNotDoAndChangeNothing) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    FillSource(src);
    ASSERT_EQ(RegSaveKeyW(src, File("good.reg").c_str(), nullptr), ERROR_SUCCESS);
    const std::string good = ReadAll(dir_.file("good.reg"));
    SetDword(src, L"Count", 2);
    ASSERT_TRUE(WriteAll(dir_.file("taken.reg"), "someone else's file"));
    for (const char* existing : {"taken.reg", "good.reg"})
        EXPECT_EQ(RegSaveKeyW(src, File(existing).c_str(), nullptr), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(dir_.file("taken.reg")), "someone else's file");
    EXPECT_EQ(ReadAll(dir_.file("good.reg")), good);
    EXPECT_EQ(RegSaveKeyW(src, File("no-such-folder\\out.reg").c_str(), nullptr),
              ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(RegSaveKeyW(src, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegRestoreKeyW(src, nullptr, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegRestoreKeyW(src, File("absent.reg").c_str(), 0), ERROR_FILE_NOT_FOUND);
    {
        testing_support::ScopedEnv drives("WIN32_DRIVES", "Z=/;W=" + dir_.path() + ":ro");
        EXPECT_EQ(RegSaveKeyW(src, L"W:\\saved.reg", nullptr), ERROR_ACCESS_DENIED);
    }
    HKEY doomed = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed");
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(RegSaveKeyW(doomed, File("doomed.reg").c_str(), nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegRestoreKeyW(doomed, File("good.reg").c_str(), 0), ERROR_KEY_DELETED);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed"), nullptr);
    RegCloseKey(doomed);  // its handle value is no key any more
    EXPECT_EQ(RegSaveKeyW(doomed, File("closed.reg").c_str(), nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegRestoreKeyW(doomed, File("good.reg").c_str(), 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Files(), "good.reg store taken.reg");

    HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Target");
    SetString(dst, L"Mine", L"still here");
    RegCloseKey(Create(dst, L"Child"));
    const Dump before = DumpOf(dst);
    const std::map<std::string, std::string> broken = {
        {"empty.reg", ""},
        {"garbage.reg", "PK\x03\x04 not a registry at all\n"},
        {"truncated.reg", good.substr(0, good.size() / 2)},
        {"no-end.reg", good.substr(0, good.rfind("end\n"))},
        {"bad-line.reg", good.substr(0, good.size() - 4) + "value oops\nend\n"},
    };
    for (auto& [name, text] : broken) {
        ASSERT_TRUE(WriteAll(dir_.file(name), text));
        EXPECT_EQ(RegRestoreKeyW(dst, File(name).c_str(), REG_FORCE_RESTORE),
                  ERROR_REGISTRY_CORRUPT)
            << name;
        EXPECT_EQ(DumpOf(dst), before) << name;
    }
}

}  // namespace

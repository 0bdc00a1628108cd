// The demo build's program file, read as another program reads it: its resources found by
// name, and what each one holds. The client's own unpacking and use of its companions runs
// in the downloader's road tests, whose client carries these very resources.
#include <gtest/gtest.h>
#include <windows.h>
#include <win32_unixpath.h>

#include <archive.h>
#include <archive_entry.h>

#include <clocale>
#include <map>
#include <string>

#include "testing/md5_hex.h"
#include "testing/temp_dir.h"

namespace {

using testing_support::ReadAll;

// Every file entry of an archive held in memory, by name.
std::map<std::string, std::string> ArchiveEntries(const std::string& bytes) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::map<std::string, std::string> entries;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    archive_read_support_filter_all(a);
    if (archive_read_open_memory(a, bytes.data(), bytes.size()) == ARCHIVE_OK) {
        archive_entry* e;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            std::string data;
            char buf[1 << 15];
            for (la_ssize_t n; (n = archive_read_data(a, buf, sizeof buf)) > 0;)
                data.append(buf, static_cast<size_t>(n));
            entries[archive_entry_pathname(e)] = data;
        }
    }
    archive_read_free(a);
    return entries;
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(UnixPathToWin32(DOWNLOADER_PATH).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // A resource's bytes, found by type and name as the program finds them.
    std::string Resource(LPCWSTR type, LPCWSTR name) {
        HRSRC found = FindResourceW(module_, name, type);
        EXPECT_NE(found, nullptr) << GetLastError();
        const void* data = found ? LockResource(LoadResource(module_, found)) : nullptr;
        return data ? std::string(static_cast<const char*>(data), SizeofResource(module_, found))
                    : "";
    }

    HMODULE module_ = nullptr;
};

// The config (UTF-16 with a byte-order mark, naming pages the demo platform serves), the
// icon group 128 with its images and the version's file name. The game key the road tests
// read in the program's reports.
TEST_F(ProgramResources, ConfigIconAndVersionAreThere) {
    const std::string bytes = Resource(L"INI", L"IDR_INI_CONFIG");
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    testing_support::TempDir dir;
    ASSERT_TRUE(testing_support::WriteAll(dir.file("config.ini"), bytes));
    const std::string server = "http://127.0.0.1:" + std::to_string(DEMO_PORT) + "/";
    for (LPCWSTR name : {L"newspages_url", L"domain_url"}) {
        wchar_t value[260] = {};
        GetPrivateProfileStringW(L"game", name, L"", value, 260, dir.winfile("config.ini").c_str());
        const std::wstring wide = value;
        const std::string url(wide.begin(), wide.end());
        ASSERT_EQ(url.rfind(server, 0), 0u) << url;
        const std::string page = DEMO_PLATFORM_ROOT "/" + url.substr(server.size());
        EXPECT_NE(ReadAll(page).find("<html"), std::string::npos) << page;
    }

    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(128));
    ASSERT_GE(group.size(), 6u + 14u);
    const auto word = [&](size_t at) { return uint8_t(group[at]) | uint8_t(group[at + 1]) << 8; };
    for (int i = 0; i < word(4); ++i)
        EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(word(6 + 14 * i + 12)), RT_ICON),
                  nullptr);

    const std::wstring path = UnixPathToWin32(DOWNLOADER_PATH);
    DWORD handle = 0;
    std::string block(GetFileVersionInfoSizeW(path.c_str(), &handle), '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, block.size(), block.data()));
    wchar_t* name = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &size));
    EXPECT_EQ(std::wstring(name), L"downloader.exe");
}

// The companions' archives and the skin hold what was built here; the engine's 7z archive
// carries an engine file pointing the game key at the demo platform's installer.
TEST_F(ProgramResources, ArchivesHoldWhatWasBuiltHere) {
    using Entries = std::map<std::string, std::string>;
    EXPECT_EQ(ArchiveEntries(Resource(L"ZIP", L"IDR_ZIP_7ZA")),
              (Entries{{"7za.exe", ReadAll(SEVENZA_PATH)}}));
    EXPECT_EQ(ArchiveEntries(Resource(L"ZIP", L"IDR_ZIP_UTIL")),
              (Entries{{"Selvik.dll", ReadAll(SELVIK_PATH)}}));
    EXPECT_TRUE(Resource(L"ZIP", L"SKIN.ZIP") == ReadAll(SKIN_PACKAGE_PATH));

    const std::string bytes = Resource(L"ZIP", L"IDR_ZIP_DOWNLOADER");
    EXPECT_EQ(bytes.substr(0, 6), std::string("7z\xBC\xAF\x27\x1C", 6));
    Entries entries = ArchiveEntries(bytes);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries["Dravon.dll"] == ReadAll(DRAVON_PATH));
    const std::string payload = ReadAll(DEMO_PAYLOAD_PATH);
    ASSERT_FALSE(payload.empty());
    EXPECT_TRUE(payload == ReadAll(DEMO_INSTALLER_BUILT_PATH));
    const std::string name = DEMO_INSTALLER_NAME;
    EXPECT_NE(entries["Dravon.ini"].find(
                  "[" DEMO_GAME_KEY "]\nurl=http://127.0.0.1:" + std::to_string(DEMO_PORT) + "/" +
                  name + "\nsize=" + std::to_string(payload.size()) +
                  "\nmd5=" + testing_support::Md5Hex(payload) + "\nfile=" + name + "\n"),
              std::string::npos)
        << entries["Dravon.ini"];
}

}  // namespace

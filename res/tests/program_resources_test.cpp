// The demo build's program file, read as another program reads it: its resources
// found by name, and what each one holds, down to the companions built from this
// repository and the client's own way of unpacking them.
#include <gtest/gtest.h>
#include <windows.h>
#include <win32_unixpath.h>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <minizip/unzip.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

std::string md5_hex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_md5(), nullptr);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

// Every file entry of an archive held in memory, by name.
std::map<std::string, std::string> archive_entries(const std::string& bytes) {
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
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                data.append(buf, static_cast<size_t>(n));
            entries[archive_entry_pathname(e)] = data;
        }
    }
    archive_read_free(a);
    return entries;
}

// One member of a zip file on disk, read with minizip as the client's zip extraction reads it.
std::string unzip_member(const std::string& zip_path, const char* name) {
    std::string data;
    unzFile zip = unzOpen64(zip_path.c_str());
    if (!zip) return data;
    if (unzLocateFile(zip, name, 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        char buf[1 << 15];
        int n;
        while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
            data.append(buf, static_cast<size_t>(n));
        if (unzCloseCurrentFile(zip) != UNZ_OK) data.clear();  // CRC mismatch
    }
    unzClose(zip);
    return data;
}

std::wstring from_utf16le(const std::string& bytes) {
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(UnixPathToWin32(DOWNLOADER_PATH).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << GetLastError();
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/demo-res-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // A resource's bytes, found by type and name as the program finds them.
    std::string resource(LPCWSTR type, LPCWSTR name) {
        HRSRC found = FindResourceW(module_, name, type);
        EXPECT_NE(found, nullptr) << GetLastError();
        if (!found) return "";
        HGLOBAL loaded = LoadResource(module_, found);
        const void* data = LockResource(loaded);
        DWORD size = SizeofResource(module_, found);
        EXPECT_NE(data, nullptr);
        return data ? std::string(static_cast<const char*>(data), size) : "";
    }

    HMODULE module_ = nullptr;
    std::string dir_;
};

TEST_F(ProgramResources, GameKeyIsStringTwoHundredTwoInLowerCase) {
    wchar_t key[64] = {};
    int length = LoadStringW(module_, 202, key, 64);
    ASSERT_GT(length, 0) << GetLastError();
    EXPECT_EQ(std::wstring(key, static_cast<size_t>(length)), widen(DEMO_GAME_KEY));
    for (int i = 0; i < length; ++i) {
        EXPECT_TRUE((key[i] >= L'a' && key[i] <= L'z') || (key[i] >= L'0' && key[i] <= L'9'))
            << static_cast<int>(key[i]);
    }
}

// UTF-16 with a byte-order mark, read back with the profile functions as the program
// does; the demo platform serves the pages it names, so the web views show a page.
TEST_F(ProgramResources, ConfigIniIsUtf16WithTheEightKeysAndPagesThePlatformHolds) {
    std::string bytes = resource(L"INI", L"IDR_INI_CONFIG");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    EXPECT_NE(from_utf16le(bytes.substr(2)).find(L"\r\n[channel]\r\n"), std::wstring::npos);
    std::string file = dir_ + "/config.ini";
    write_file(file, bytes);
    std::wstring path = UnixPathToWin32(file);
    auto value = [&](LPCWSTR section, LPCWSTR key) {
        wchar_t buffer[260] = {};
        GetPrivateProfileStringW(section, key, L"", buffer, 260, path.c_str());
        return std::wstring(buffer);
    };
    EXPECT_EQ(value(L"channel", L"save_user_channel"), L"1");
    EXPECT_EQ(value(L"channel", L"save_file_name"), L"channel.ini");
    for (LPCWSTR key : {L"user_channel", L"user_from", L"user_subsite"})
        EXPECT_FALSE(value(L"channel", key).empty()) << key;
    EXPECT_FALSE(value(L"game", L"name").empty());
    const std::string server = "http://127.0.0.1:" + std::to_string(DEMO_PORT) + "/";
    for (LPCWSTR key : {L"newspages_url", L"domain_url"}) {
        const std::wstring wide = value(L"game", key);
        const std::string url(wide.begin(), wide.end());
        ASSERT_EQ(url.rfind(server, 0), 0u) << url;
        std::string served = std::string(DEMO_PLATFORM_ROOT) + "/" + url.substr(server.size());
        EXPECT_NE(read_file(served).find("<html"), std::string::npos) << served;
    }
}

// The tool's and the utility library's zips, and the 7z archive of the engine with an
// engine file for the demo platform, hold what was built here.
TEST_F(ProgramResources, CompanionArchivesHoldWhatWasBuiltHere) {
    for (auto [name, member, built] : {std::tuple{L"IDR_ZIP_7ZA", "7za.exe", SEVENZA_PATH},
                                       std::tuple{L"IDR_ZIP_UTIL", "Selvik.dll", SELVIK_PATH}}) {
        auto entries = archive_entries(resource(L"ZIP", name));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_TRUE(entries[member] == read_file(built)) << member;
    }
    std::string bytes = resource(L"ZIP", L"IDR_ZIP_DOWNLOADER");
    EXPECT_EQ(bytes.substr(0, 6), std::string("7z\xBC\xAF\x27\x1C", 6));
    auto entries = archive_entries(bytes);
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_TRUE(entries.count("Dravon.dll"));
    ASSERT_TRUE(entries.count("Dravon.ini"));
    EXPECT_TRUE(entries["Dravon.dll"] == read_file(DRAVON_PATH));

    const std::string engine_file = entries["Dravon.ini"];
    const std::string payload = read_file(DEMO_PAYLOAD_PATH);
    ASSERT_FALSE(payload.empty());
    EXPECT_TRUE(payload == read_file(DEMO_INSTALLER_BUILT_PATH))
        << "the platform serves the demo installer";
    EXPECT_NE(engine_file.find(std::string("[") + DEMO_GAME_KEY + "]"), std::string::npos)
        << engine_file;
    EXPECT_NE(engine_file.find("url=http://127.0.0.1:" + std::to_string(DEMO_PORT) + "/" +
                               DEMO_INSTALLER_NAME + "\n"),
              std::string::npos)
        << engine_file;
    EXPECT_NE(engine_file.find("size=" + std::to_string(payload.size()) + "\n"), std::string::npos)
        << engine_file;
    EXPECT_NE(engine_file.find("md5=" + md5_hex(payload) + "\n"), std::string::npos) << engine_file;
    EXPECT_NE(engine_file.find(std::string("file=") + DEMO_INSTALLER_NAME + "\n"),
              std::string::npos)
        << engine_file;
}

TEST_F(ProgramResources, SkinIconAndVersionAreThere) {
    std::string bytes = resource(L"ZIP", L"SKIN.ZIP");
    ASSERT_GE(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\3\4"));
    EXPECT_EQ(bytes[8] | bytes[9], 0) << "stored, not compressed";
    auto entries = archive_entries(bytes);
    ASSERT_TRUE(entries.count("skin.info"));
    const std::string info = entries["skin.info"];
    for (const char* key :
         {"download_dir_name", "download_def_path", "default_wnd_caption", "normal_ft"}) {
        EXPECT_NE(info.find(std::string("\n") + key + " "), std::string::npos) << key;
    }

    // Icon group 128 with its images.
    std::string group = resource(RT_GROUP_ICON, MAKEINTRESOURCEW(128));
    ASSERT_GE(group.size(), 6u + 14u);
    const int count = static_cast<unsigned char>(group[4]) | static_cast<unsigned char>(group[5])
                                                                 << 8;
    EXPECT_GE(count, 1);
    for (int i = 0; i < count; ++i) {
        const size_t at = 6 + 14 * static_cast<size_t>(i);
        const int id = static_cast<unsigned char>(group[at + 12]) |
                       static_cast<unsigned char>(group[at + 13]) << 8;
        EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(id), RT_ICON), nullptr) << id;
    }
    // The version resource names the program.
    std::wstring path = UnixPathToWin32(DOWNLOADER_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << GetLastError();
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    wchar_t* name = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &length));
    EXPECT_EQ(std::wstring(name), L"downloader.exe");
}

// The client's own road: 7za.exe out of its zip into the temporary folder, then
// "<temp>\\7za.exe" x "<temp>\downloader.7z" -o"<temp>\" -aoa, then the engine loads.
TEST_F(ProgramResources, CompanionsUnpackAndLoadTheWayTheClientDoes) {
    write_file(dir_ + "/7za.zip", resource(L"ZIP", L"IDR_ZIP_7ZA"));
    const std::string tool = unzip_member(dir_ + "/7za.zip", "7za.exe");
    ASSERT_FALSE(tool.empty());
    write_file(dir_ + "/7za.exe", tool);
    chmod((dir_ + "/7za.exe").c_str(), 0644);  // as a zip extraction leaves it
    write_file(dir_ + "/downloader.7z", resource(L"ZIP", L"IDR_ZIP_DOWNLOADER"));

    const std::wstring temp = UnixPathToWin32(dir_) + L"\\";
    std::wstring line =
        L"\"" + temp + L"\\7za.exe\" x \"" + temp + L"\\downloader.7z\" -o\"" + temp + L"\" -aoa";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi))
        << GetLastError();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(fs::exists(dir_ + "/Dravon.dll"));
    ASSERT_TRUE(fs::exists(dir_ + "/Dravon.ini"));

    HMODULE engine = LoadLibraryW((temp + L"Dravon.dll").c_str());
    ASSERT_NE(engine, nullptr) << GetLastError();
    EXPECT_NE(GetProcAddress(engine, "GetInstance"), nullptr);
    EXPECT_NE(GetProcAddress(engine, "Release"), nullptr);
    FreeLibrary(engine);

    write_file(dir_ + "/Selvik.zip", resource(L"ZIP", L"IDR_ZIP_UTIL"));
    const std::string util = unzip_member(dir_ + "/Selvik.zip", "Selvik.dll");
    ASSERT_FALSE(util.empty());
    write_file(dir_ + "/Selvik.dll", util);
    HMODULE selvik = LoadLibraryW((temp + L"Selvik.dll").c_str());
    ASSERT_NE(selvik, nullptr) << GetLastError();
    EXPECT_NE(GetProcAddress(selvik, "GetMid"), nullptr);
    FreeLibrary(selvik);
}

}  // namespace

// The real downloader in a home of its own against the demo platform, for the tests that
// run it as a whole program (without a display, or on an X desktop): a private folder for
// all it writes (drive C:, the home, temporary, data and runtime folders, the engine's
// task store), the demo server serving the installer and taking the statistics requests
// (port 80 mapped to it), and the engine file pointing there. DEMO_PAYLOAD_PATH names
// the demo installer.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "testing/md5_hex.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace program_test {

using testing_support::ReadAll;
using testing_support::WriteAll;

// The demo installer grown to `size` bytes with filler (it still runs).
inline std::string Installer(size_t size = 0) {
    std::string bytes = ReadAll(DEMO_PAYLOAD_PATH);
    bytes.resize(std::max(size, bytes.size()), 'x');
    return bytes;
}

inline bool Contains(const std::vector<std::wstring>& lines, const std::wstring& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& l) { return l.find(text) != std::wstring::npos; });
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.start(dir_.folder("www"), dir_.file("server.log")));
        const std::pair<const char*, std::string> settings[] = {
            {"HOME", dir_.path()},
            {"TMPDIR", dir_.folder("tmp")},
            {"XDG_DATA_HOME", dir_.folder("data")},
            {"XDG_CONFIG_HOME", dir_.folder("config")},
            {"XDG_CACHE_HOME", dir_.folder("cache")},
            {"XDG_STATE_HOME", dir_.folder("state")},
            {"XDG_RUNTIME_DIR", dir_.folder("run")},
            {"WIN32_DRIVES", "C=" + dir_.folder("c") + ":fixed:free=10000000000000;Z=/:remote"},
            {"WIN32_HTTP_PORT_MAP", "80=" + std::to_string(server_.port())},
            {"WIN32_NO_DISPLAY", "1"},
            {"GDL_ENGINE_FILE", dir_.file("engine.ini")},
            {"GDL_ENGINE_STORE", dir_.folder("store")},
            {"DEMO_INSTALLER_RECORD", dir_.file("installer.log")},
        };
        for (const auto& [name, value] : settings) SetEnv(name, value);
        Serve(Installer());
    }
    void SetEnv(const char* name, const std::string& value) { env_.Set(name, value); }

    // Serves the bytes as the installer; the engine file gets their size and MD5, or a wrong one.
    void Serve(const std::string& bytes, bool wrong_md5 = false) {
        payload_ = bytes;
        ASSERT_TRUE(WriteAll(dir_.file("www/demo_setup.exe"), bytes));
        ASSERT_TRUE(WriteAll(
            dir_.file("engine.ini"),
            "[demo]\nurl=" + server_.url("/demo_setup.exe") +
                "\nsize=" + std::to_string(bytes.size()) +
                "\nmd5=" + (wrong_md5 ? std::string(32, '0') : testing_support::Md5Hex(bytes)) +
                "\nfile=demo_setup.exe\n"));
    }

    // The program copied into a folder of its own, beside a log.ini that enables the log.
    std::string Install(const char* program, const char* name = nullptr) {
        const std::string path =
            dir_.folder("bin") + "/" + (name ? name : strrchr(program, '/') + 1);
        EXPECT_TRUE(WriteAll(path, ReadAll(program)));
        chmod(path.c_str(), 0700);
        EXPECT_TRUE(WriteAll(dir_.file("bin/log.ini"), "[log]\r\nlevel=1\r\n"));
        return path;
    }

    // The daily logs' whole lines so far. Each log is UTF-16 with one byte-order mark, at
    // its start, and each line has the logger's head.
    std::vector<std::wstring> LogLines() {
        std::vector<std::string> files;
        for (const auto& f : std::filesystem::directory_iterator(dir_.folder("bin")))
            if (f.path().filename().string().rfind("demo_downloader_log_", 0) == 0)
                files.push_back(f.path());
        std::sort(files.begin(), files.end());
        const std::wregex head(LR"(\[\d+\]\[\d+\]\[ALL\]\d\d:\d\d:\d\d (MESSAGE|ERROR): .*\r)");
        std::vector<std::wstring> lines;
        for (const std::string& file : files) {
            const std::string bytes = ReadAll(file);
            if (bytes.empty()) continue;  // just created by a running copy, nothing written yet
            EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << file;
            std::wstring text;
            for (size_t i = 2; i + 1 < bytes.size(); i += 2)
                text.push_back(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
            EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "a second byte-order mark";
            for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos;
                 at = end + 1) {
                lines.push_back(text.substr(at, end - at));
                EXPECT_TRUE(std::regex_match(lines.back(), head)) << file << ":" << lines.size();
            }
        }
        return lines;
    }

    // The statistics queries as they went out: the completion (status 9) before the
    // installer's start (10), which go out together and may arrive either way round.
    std::vector<std::string> Reports() {
        std::vector<std::string> queries;
        for (const demo::LoggedRequest& r : server_.requests())
            if (r.path == "/b/duan/s/ginstall/") queries.push_back(r.query);
        for (size_t i = 1; i < queries.size(); ++i)
            if (queries[i - 1].find("&status=10&") != std::string::npos &&
                queries[i].find("&status=9&") != std::string::npos)
                std::swap(queries[i - 1], queries[i]);
        return queries;
    }
    // Their statuses, in that order.
    std::vector<int> Statuses() {
        std::vector<int> out;
        for (const std::string& q : Reports())
            out.push_back(std::stoi(q.substr(q.find("&status=") + 8)));
        return out;
    }

    testing_support::TempDir dir_;
    demo::DemoServer server_;
    std::string payload_;
    testing_support::ScopedEnvs env_;  // put back when the test ends
};

}  // namespace program_test

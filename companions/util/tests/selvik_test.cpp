// Selvik.dll as the program uses it: loaded by path, its three exports found by
// name and called with a zeroed 260-byte buffer and the size 259.
#include <gtest/gtest.h>
#include <windows.h>
#include <win32_unixpath.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "companions/util/selvik.h"

namespace {

namespace fs = std::filesystem;

class Selvik : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/selvik-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        module_ = LoadLibraryW(UnixPathToWin32(SELVIK_PATH).c_str());
        ASSERT_NE(module_, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        unsetenv("SELVIK_MACHINE_ID_FILE");
        unsetenv("SELVIK_NET_DIR");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    SelvikIdFunction function(const char* name) {
        return reinterpret_cast<SelvikIdFunction>(GetProcAddress(module_, name));
    }

    // Calls an export the way the program does; the text, or nullopt on false.
    struct Answer {
        bool ok = false;
        std::string text;
        char buffer[260] = {};
    };
    Answer call(const char* name, int size = 259) {
        Answer a;
        SelvikIdFunction f = function(name);
        EXPECT_NE(f, nullptr) << name;
        if (!f) return a;
        a.ok = f(a.buffer, size);
        a.text.assign(a.buffer, strnlen(a.buffer, sizeof a.buffer));
        return a;
    }

    void use_machine_id(const std::string& id) {
        std::string file = dir_ + "/machine-id-" + std::to_string(ids_++);
        std::ofstream(file) << id << "\n";
        setenv("SELVIK_MACHINE_ID_FILE", file.c_str(), 1);
    }

    // A fake /sys/class/net with the given adapters.
    void add_adapter(const std::string& name, const std::string& address, bool physical,
                     int type = 1) {
        fs::path adapter = fs::path(dir_) / "net" / name;
        fs::create_directories(adapter);
        std::ofstream(adapter / "address") << address << "\n";
        std::ofstream(adapter / "type") << type << "\n";
        if (physical) fs::create_directories(adapter / "device");
        setenv("SELVIK_NET_DIR", (dir_ + "/net").c_str(), 1);
    }
    void no_adapters() {
        fs::create_directories(fs::path(dir_) / "net");
        setenv("SELVIK_NET_DIR", (dir_ + "/net").c_str(), 1);
    }
    void remove_adapter(const std::string& name) { fs::remove_all(fs::path(dir_) / "net" / name); }

    std::string dir_;
    HMODULE module_ = nullptr;
    int ids_ = 0;
};

bool is_upper_hex(const std::string& s, size_t length) {
    if (s.size() != length) return false;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'F')) return false;
    }
    return true;
}

bool has_machine_id(const char* file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    if (line.size() != 32) return false;
    for (char c : line) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool all_zero_from(const char* buffer, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (buffer[i] != 0) return false;
    }
    return true;
}

// Thirty-two hexadecimal digits derived from the machine id, never the id itself;
// stable, in either letter case of the id, and nothing without one.
TEST_F(Selvik, MachineIdentifierIsDerivedFromTheMachineIdOnly) {
    for (const char* name : {"GetMid", "GetM2", "GetMAC"}) EXPECT_NE(function(name), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "GetMac"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    use_machine_id("0123456789abcdef0123456789abcdef");
    Answer first = call("GetMid");
    ASSERT_TRUE(first.ok);
    EXPECT_TRUE(is_upper_hex(first.text, 32)) << first.text;
    EXPECT_NE(first.text, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_TRUE(all_zero_from(first.buffer, first.text.size(), sizeof first.buffer));
    EXPECT_EQ(call("GetMid").text, first.text);
    use_machine_id("0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(call("GetMid").text, first.text);
    use_machine_id("fedcba9876543210fedcba9876543210");
    EXPECT_NE(call("GetMid").text, first.text);
    use_machine_id("not a machine id");
    Answer none = call("GetMid");
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(all_zero_from(none.buffer, 0, sizeof none.buffer));
}

// A physical Ethernet adapter wins over virtual ones; loopback, empty and other kinds
// are skipped; no adapter, or no readable folder of them, is a false answer.
TEST_F(Selvik, AdapterAddressPrefersAPhysicalEthernetAdapter) {
    add_adapter("br0", "02:42:ac:11:00:02", false);  // first by name, but virtual
    add_adapter("enp3s0", "3c:7c:3f:1a:2b:4d", true);
    add_adapter("wlp2s0", "a0:b1:c2:d3:e4:f5", true);
    EXPECT_EQ(call("GetMAC").text, "3C-7C-3F-1A-2B-4D");
    for (const char* name : {"br0", "enp3s0", "wlp2s0"}) remove_adapter(name);
    add_adapter("lo", "00:00:00:00:00:00", false, 772);
    add_adapter("aa0", "00:00:00:00:00:00", true);
    add_adapter("ab0", "11:22:33:44:55:66", true, 776);
    add_adapter("veth9", "0a:1b:2c:3d:4e:5f", false);
    EXPECT_EQ(call("GetMAC").text, "0A-1B-2C-3D-4E-5F");

    use_machine_id("0123456789abcdef0123456789abcdef");
    std::ofstream(dir_ + "/not-a-folder") << "x\n";
    remove_adapter("veth9");
    for (const std::string& net : {dir_ + "/net", dir_ + "/not-a-folder", dir_ + "/missing"}) {
        setenv("SELVIK_NET_DIR", net.c_str(), 1);
        Answer mac = call("GetMAC");
        EXPECT_FALSE(mac.ok) << net;
        EXPECT_TRUE(all_zero_from(mac.buffer, 0, sizeof mac.buffer)) << net;
        EXPECT_TRUE(call("GetM2").ok) << "the machine id alone still makes one: " << net;
    }
}

TEST_F(Selvik, HardwareIdentifierFollowsPhysicalAdaptersOnly) {
    use_machine_id("0123456789abcdef0123456789abcdef");
    add_adapter("enp3s0", "3c:7c:3f:1a:2b:4d", true);
    Answer base = call("GetM2");
    add_adapter("veth1", "0a:1b:2c:3d:4e:5f", false);
    Answer with_virtual = call("GetM2");
    add_adapter("enp4s0", "3c:7c:3f:1a:2b:4e", true);
    Answer with_second_card = call("GetM2");
    remove_adapter("enp4s0");
    Answer back = call("GetM2");
    ASSERT_TRUE(base.ok && with_virtual.ok && with_second_card.ok && back.ok);
    EXPECT_TRUE(is_upper_hex(base.text, 32)) << base.text;
    EXPECT_EQ(base.text, with_virtual.text);
    EXPECT_NE(base.text, with_second_card.text);
    EXPECT_EQ(base.text, back.text);
    EXPECT_NE(base.text, call("GetMid").text);
    use_machine_id("");
    EXPECT_TRUE(call("GetM2").ok);
    no_adapters();
    remove_adapter("enp3s0");
    remove_adapter("veth1");
    EXPECT_FALSE(call("GetM2").ok);  // neither a machine id nor an adapter
}

TEST_F(Selvik, TextThatDoesNotFitTheGivenSizeIsRefusedUntouched) {
    use_machine_id("0123456789abcdef0123456789abcdef");
    add_adapter("enp3s0", "3c:7c:3f:1a:2b:4d", true);
    Answer tight = call("GetMAC", 18);
    EXPECT_TRUE(tight.ok);
    EXPECT_EQ(tight.text, "3C-7C-3F-1A-2B-4D");
    Answer short_mac = call("GetMAC", 17);
    EXPECT_FALSE(short_mac.ok);
    EXPECT_TRUE(all_zero_from(short_mac.buffer, 0, sizeof short_mac.buffer));
    Answer short_mid = call("GetMid", 32);
    EXPECT_FALSE(short_mid.ok);
    EXPECT_TRUE(all_zero_from(short_mid.buffer, 0, sizeof short_mid.buffer));
    EXPECT_FALSE(function("GetMid")(nullptr, 259));
}

TEST_F(Selvik, AnswersOnThisMachineAreStableAcrossLoads) {
    Answer mid = call("GetMid"), m2 = call("GetM2"), mac = call("GetMAC");
    ASSERT_TRUE(FreeLibrary(module_));
    module_ = LoadLibraryW(UnixPathToWin32(SELVIK_PATH).c_str());
    ASSERT_NE(module_, nullptr);
    Answer mid2 = call("GetMid"), m22 = call("GetM2"), mac2 = call("GetMAC");
    EXPECT_EQ(mid.ok, mid2.ok);
    EXPECT_EQ(mid.text, mid2.text);
    EXPECT_EQ(m2.text, m22.text);
    EXPECT_EQ(mac.text, mac2.text);
    // A machine with a machine id (every systemd or dbus system) always has these two.
    if (has_machine_id("/etc/machine-id") || has_machine_id("/var/lib/dbus/machine-id")) {
        EXPECT_TRUE(mid.ok);
        EXPECT_TRUE(m2.ok);
    }
    if (mac.ok) {
        EXPECT_EQ(mac.text.size(), 17u);
    }
}

}  // namespace

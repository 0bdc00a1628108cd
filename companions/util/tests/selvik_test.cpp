// Selvik.dll as the program uses it: loaded by path, its three exports found by
// name and called with a zeroed 260-byte buffer and the size 259.
#include <gtest/gtest.h>
#include <windows.h>
#include <win32_unixpath.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "companions/util/selvik.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using testing_support::WriteAll;

bool UpperHex32(const std::string& s) { return std::regex_match(s, std::regex("[0-9A-F]{32}")); }

// A machine id and a folder of network adapters of the test's own.
class Selvik : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryW(UnixPathToWin32(SELVIK_PATH).c_str());
        ASSERT_NE(module_, nullptr) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module_); }

    struct Answer {
        bool ok = false;
        std::string text;
        bool zero_after = true;  // the buffer's bytes after the text
        bool untouched() const { return text.empty() && zero_after; }
    };
    // Calls an export the way the program does.
    Answer call(const char* name, int size = 259) {
        auto f = reinterpret_cast<SelvikIdFunction>(GetProcAddress(module_, name));
        EXPECT_NE(f, nullptr) << name;
        if (!f) return {};
        char buffer[260] = {};
        Answer a{f(buffer, size), ""};
        a.text.assign(buffer, strnlen(buffer, sizeof buffer));
        a.zero_after = std::all_of(buffer + a.text.size(), buffer + 260, [](char c) { return !c; });
        return a;
    }

    void use_machine_id(const std::string& id) { WriteAll(dir_.file("machine-id"), id + "\n"); }
    void add_adapter(const std::string& name, const std::string& address, bool physical,
                     int type = 1) {
        const std::string adapter = dir_.folder("net/" + name);
        WriteAll(adapter + "/address", address + "\n");
        WriteAll(adapter + "/type", std::to_string(type) + "\n");
        if (physical) dir_.folder("net/" + name + "/device");
    }
    void remove_adapter(const std::string& name) {
        std::filesystem::remove_all(dir_.file("net/" + name));
    }

    testing_support::TempDir dir_;
    testing_support::ScopedEnv id_{"SELVIK_MACHINE_ID_FILE", dir_.file("machine-id")},
        net_{"SELVIK_NET_DIR", dir_.folder("net")};
    HMODULE module_ = nullptr;
};

// Thirty-two hexadecimal digits derived from the machine id, never the id itself;
// stable, in either letter case of the id, and nothing without one.
TEST_F(Selvik, MachineIdentifierIsDerivedFromTheMachineIdOnly) {
    EXPECT_EQ(GetProcAddress(module_, "GetMac"), nullptr);  // names are exact
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    use_machine_id("0123456789abcdef0123456789abcdef");
    const Answer first = call("GetMid");
    ASSERT_TRUE(first.ok && first.zero_after);
    EXPECT_TRUE(UpperHex32(first.text)) << first.text;
    EXPECT_NE(first.text, "0123456789ABCDEF0123456789ABCDEF");
    use_machine_id("0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(call("GetMid").text, first.text);
    use_machine_id("fedcba9876543210fedcba9876543210");
    EXPECT_NE(call("GetMid").text, first.text);
    use_machine_id("not a machine id");
    const Answer none = call("GetMid");
    EXPECT_TRUE(!none.ok && none.untouched());
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
    WriteAll(dir_.file("not-a-folder"), "x\n");
    remove_adapter("veth9");
    for (const char* net : {"net", "not-a-folder", "missing"}) {
        testing_support::ScopedEnv adapters("SELVIK_NET_DIR", dir_.file(net));
        const Answer mac = call("GetMAC");
        EXPECT_TRUE(!mac.ok && mac.untouched()) << net;
        EXPECT_TRUE(call("GetM2").ok) << "the machine id alone still makes one: " << net;
    }
}

// Text that does not fit the given size is refused, the buffer untouched.
TEST_F(Selvik, HardwareIdentifierFollowsPhysicalAdaptersOnlyAndTextMustFit) {
    use_machine_id("0123456789abcdef0123456789abcdef");
    add_adapter("enp3s0", "3c:7c:3f:1a:2b:4d", true);
    const Answer tight = call("GetMAC", 18), short_mac = call("GetMAC", 17),
                 short_mid = call("GetMid", 32);
    EXPECT_TRUE(tight.ok && tight.text == "3C-7C-3F-1A-2B-4D");
    EXPECT_TRUE(!short_mac.ok && short_mac.untouched());
    EXPECT_TRUE(!short_mid.ok && short_mid.untouched());
    EXPECT_FALSE(
        reinterpret_cast<SelvikIdFunction>(GetProcAddress(module_, "GetMid"))(nullptr, 259));
    const Answer base = call("GetM2");
    add_adapter("veth1", "0a:1b:2c:3d:4e:5f", false);
    const Answer with_virtual = call("GetM2");
    add_adapter("enp4s0", "3c:7c:3f:1a:2b:4e", true);
    const Answer with_second_card = call("GetM2");
    remove_adapter("enp4s0");
    ASSERT_TRUE(base.ok && with_virtual.ok && with_second_card.ok);
    EXPECT_TRUE(UpperHex32(base.text)) << base.text;
    EXPECT_EQ(with_virtual.text, base.text);
    EXPECT_NE(with_second_card.text, base.text);
    EXPECT_EQ(call("GetM2").text, base.text);
    EXPECT_NE(call("GetMid").text, base.text);
    use_machine_id("");
    EXPECT_TRUE(call("GetM2").ok);
    for (const char* name : {"enp3s0", "veth1"}) remove_adapter(name);
    EXPECT_FALSE(call("GetM2").ok);  // neither a machine id nor an adapter
}

// A machine with a machine id (every systemd or dbus system) always has the first two. That
// they stay across loads and processes the program's road tests show: its reports carry them.
TEST_F(Selvik, AnswersOnThisMachine) {
    unsetenv("SELVIK_MACHINE_ID_FILE");
    unsetenv("SELVIK_NET_DIR");
    const Answer mid = call("GetMid"), m2 = call("GetM2"), mac = call("GetMAC");
    const std::regex id("^[0-9a-f]{32}\n");
    const bool has_id = std::regex_search(testing_support::ReadAll("/etc/machine-id"), id) ||
                        std::regex_search(testing_support::ReadAll("/var/lib/dbus/machine-id"), id);
    EXPECT_TRUE(!has_id || (mid.ok && m2.ok));
    EXPECT_TRUE(!mac.ok || mac.text.size() == 17);
}

}  // namespace

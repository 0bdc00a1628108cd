#include "base/machine_id.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>

#include <array>
#include <string>

#include "support/registry_sandbox.h"

namespace {

using testing_support::RegistrySandbox;

const wchar_t kSuiteKey[] = L"Software\\Harlin\\Morsk";

std::string Mid() {
    char out[260] = {};
    base::ComputeMid2(out, sizeof(out));
    return out;
}

std::string Hash(const std::string& text) {
    char out[64] = {};
    base::HashMidText(text.c_str(), out, sizeof(out));
    return out;
}

bool IsLowerHex(const std::string& text) {
    for (char c : text)
        if (!isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f')) return false;
    return true;
}

std::string RunProbeForMid() {
    FILE* pipe = popen(BASE_MID_PROBE, "r");
    if (!pipe) return {};
    std::string mid;
    char line[256];
    while (fgets(line, sizeof(line), pipe)) {
        std::string s(line);
        if (s.rfind("mid=", 0) == 0) mid = s.substr(4, s.find('\n') - 4);
    }
    pclose(pipe);
    return mid;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(MidHashTest, DigestsWithTwoFinalisationsInLowerCase) {
    // Values of an independent model of the doubled finalisation.
    EXPECT_EQ(Hash("abc"), "ab32b7d610b8276088dc6cdcfe9adbf3");
    EXPECT_EQ(Hash(""), "5d2735c78b4ad61d0f6b5933aef45e4f");
    EXPECT_EQ(Hash(std::string(64, 'z')), "47d365c4d37aafcc90d6d56b2af87ec1");
}

TEST(MidHashTest, OnlyTheFirst259CharactersCount) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Hash(text), Hash(text.substr(0, 259)));
    EXPECT_NE(Hash(text.substr(0, 259)), Hash(text.substr(0, 258)));
}

TEST(MidHashTest, ShortOutputGetsAZeroFilledPrefix) {
    std::array<char, 10> out;
    out.fill('Q');
    EXPECT_FALSE(base::HashMidText("abc", out.data(), out.size()));
    EXPECT_EQ(std::string(out.data()), "ab32b7d61");
    EXPECT_EQ(out[9], '\0');
    char exact[33];
    EXPECT_TRUE(base::HashMidText("abc", exact, sizeof(exact)));
    EXPECT_EQ(std::string(exact), "ab32b7d610b8276088dc6cdcfe9adbf3");
}

TEST(MachineIdTest, IsThirtyTwoLowerCaseHexDigitsAndStable) {
    RegistrySandbox registry;
    const std::string mid = Mid();
    EXPECT_EQ(mid.size(), 32u);
    EXPECT_TRUE(IsLowerHex(mid)) << mid;
    EXPECT_EQ(Mid(), mid);
    EXPECT_EQ(Mid(), mid);
}

TEST(MachineIdTest, OtherProcessesComputeTheSameIdentifier) {
    RegistrySandbox registry;
    const std::string mid = Mid();
    EXPECT_EQ(RunProbeForMid(), mid);
    EXPECT_EQ(RunProbeForMid(), mid);
}

TEST(MachineIdTest, BuffersTooSmallForTheWholeIdentifierAreLeftUntouched) {
    RegistrySandbox registry;
    base::ComputeMid2(nullptr, 260);  // nothing to write to, nothing happens
    for (size_t size : {0u, 1u, 31u, 32u}) {
        std::array<char, 40> out;
        out.fill('Q');
        base::ComputeMid2(out.data(), size);
        EXPECT_EQ(std::string(out.data(), out.size()), std::string(40, 'Q')) << size;
    }
    std::array<char, 40> out;
    out.fill('Q');
    base::ComputeMid2(out.data(), 33);
    EXPECT_EQ(std::string(out.data()), Mid());
}

TEST(MachineIdTest, CpuPartIsTheVendorAndTheFeatureFlags) {
    char cpu[100] = {};
#if defined(__i386__) || defined(__x86_64__)
    ASSERT_TRUE(base::GetCpuIdText(cpu, sizeof(cpu)));
#else
    if (!base::GetCpuIdText(cpu, sizeof(cpu))) GTEST_SKIP() << "no CPUID here";
#endif
    const std::string text(cpu);
    ASSERT_EQ(text.size(), 21u) << text;
    EXPECT_EQ(text[12], ':');
    EXPECT_TRUE(IsLowerHex(text.substr(13))) << text;
    char small[21];
    EXPECT_FALSE(base::GetCpuIdText(small, sizeof(small)));
}

class SuiteMidTest : public ::testing::Test {
protected:
    void SetUp() override { hardware_ = Mid(); }

    void StoreSuiteValue(const std::string& value) {
        ASSERT_TRUE(RegistrySandbox::SetMachineText(kSuiteKey, L"mid", Wide(value)));
    }

    RegistrySandbox registry_;
    std::string hardware_;  // the identifier without a suite value
};

TEST_F(SuiteMidTest, AValidSuiteIdentifierIsTakenOver) {
    const std::string id = "0123456789abcdef0123456789abcdef";
    StoreSuiteValue(id + Hash(id));
    EXPECT_EQ(Mid(), id);
    char out[33] = {};
    EXPECT_TRUE(base::ReadSuiteMid(out, sizeof(out)));
    EXPECT_EQ(std::string(out), id);
}

TEST_F(SuiteMidTest, TheCheckValueMatchesInAnyLetterCaseAndTheIdentifierKeepsItsCase) {
    const std::string id = "FEDCBA9876543210FEDCBA9876543210";
    std::string check = Hash(id);
    for (auto& c : check) c = static_cast<char>(toupper(c));
    StoreSuiteValue(id + check);
    EXPECT_EQ(Mid(), id);
}

TEST_F(SuiteMidTest, AWrongCheckValueFallsBackToTheHardware) {
    const std::string id = "0123456789abcdef0123456789abcdef";
    std::string check = Hash(id);
    check[5] = check[5] == '0' ? '1' : '0';
    StoreSuiteValue(id + check);
    EXPECT_EQ(Mid(), hardware_);
    char out[33] = {};
    EXPECT_FALSE(base::ReadSuiteMid(out, sizeof(out)));
}

TEST_F(SuiteMidTest, AValueOfAnyOtherLengthFallsBackToTheHardware) {
    const std::string id = "0123456789abcdef0123456789abcdef";
    StoreSuiteValue(id + Hash(id) + "0");
    EXPECT_EQ(Mid(), hardware_);
    StoreSuiteValue(id + Hash(id).substr(0, 31));
    EXPECT_EQ(Mid(), hardware_);
    StoreSuiteValue("");
    EXPECT_EQ(Mid(), hardware_);
}

TEST_F(SuiteMidTest, AnIdentifierThatIsNotHexadecimalIsRefused) {
    // It would go into report addresses as it is.
    const std::string id = "0123456789abcdef0123456789abc&e=";
    StoreSuiteValue(id + Hash(id));
    EXPECT_EQ(Mid(), hardware_);
}

TEST_F(SuiteMidTest, ABufferTooSmallReadsNothing) {
    const std::string id = "0123456789abcdef0123456789abcdef";
    StoreSuiteValue(id + Hash(id));
    std::array<char, 40> out;
    out.fill('Q');
    EXPECT_FALSE(base::ReadSuiteMid(out.data(), 32));
    EXPECT_FALSE(base::ReadSuiteMid(nullptr, 260));
    EXPECT_EQ(std::string(out.data(), out.size()), std::string(40, 'Q'));
}

}  // namespace

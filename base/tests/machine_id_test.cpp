#include "base/machine_id.h"

#include <ctype.h>

#include <array>

#include "support/base_test.h"

namespace {

using base_test::PrivateRegistry;

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
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A buffer of 40 'Q's after f wrote into it.
template <class F>
std::string Filled(F f) {
    std::array<char, 40> out;
    out.fill('Q');
    f(out.data());
    return std::string(out.data(), out.size());
}

// Values of an independent model of the doubled finalisation; a short output gets a
// zero-filled prefix.
TEST(MidHashTest, DigestsWithTwoFinalisationsOfAtMost259CharactersInLowerCase) {
    EXPECT_EQ(Hash("abc"), "ab32b7d610b8276088dc6cdcfe9adbf3");
    EXPECT_EQ(Hash(""), "5d2735c78b4ad61d0f6b5933aef45e4f");
    EXPECT_EQ(Hash(std::string(64, 'z')), "47d365c4d37aafcc90d6d56b2af87ec1");
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Hash(text), Hash(text.substr(0, 259)));
    EXPECT_NE(Hash(text.substr(0, 259)), Hash(text.substr(0, 258)));
    EXPECT_EQ(Filled([](char* out) { EXPECT_FALSE(base::HashMidText("abc", out, 10)); }),
              std::string("ab32b7d61") + '\0' + std::string(30, 'Q'));
    char exact[33];
    EXPECT_TRUE(base::HashMidText("abc", exact, sizeof(exact)));
}

TEST(MachineIdTest, IsThirtyTwoLowerCaseHexDigitsInEveryProcessAndNeedsRoomForThem) {
    PrivateRegistry registry;
    const std::string mid = Mid();
    EXPECT_EQ(mid.size(), 32u);
    EXPECT_TRUE(IsLowerHex(mid)) << mid;
    EXPECT_EQ(Mid(), mid);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(base_test::ProbeLines(BASE_TEST_CHILD " mid")["mid"], mid);
    base::ComputeMid2(nullptr, 260);  // nothing to write to, nothing happens
    for (size_t size : {0u, 1u, 31u, 32u, 33u})
        EXPECT_EQ(Filled([size](char* out) { base::ComputeMid2(out, size); }),
                  size == 33 ? mid + '\0' + std::string(7, 'Q') : std::string(40, 'Q'))
            << size;

    char cpu[100] = {};
#if defined(__i386__) || defined(__x86_64__)
    ASSERT_TRUE(base::GetCpuIdText(cpu, sizeof(cpu)));
#else
    if (!base::GetCpuIdText(cpu, sizeof(cpu))) GTEST_SKIP() << "no CPUID here";
#endif
    const std::string text(cpu);  // "<vendor>:<feature flags>"
    ASSERT_EQ(text.size(), 21u) << text;
    EXPECT_EQ(text[12], ':');
    EXPECT_TRUE(IsLowerHex(text.substr(13))) << text;
    char small[21];
    EXPECT_FALSE(base::GetCpuIdText(small, sizeof(small)));
}

// The security suite's identifier wins when its check value fits; it goes into report
// addresses as it is.
TEST(MachineIdTest, AValidSuiteIdentifierIsTakenOverAnyOtherIsNot) {
    PrivateRegistry registry;
    const std::string hardware = Mid(), id = "0123456789abcdef0123456789abcdef",
                      upper = "FEDCBA9876543210FEDCBA9876543210",
                      other = "0123456789abcdef0123456789abc&e=";
    std::string upper_check = Hash(upper), wrong_check = Hash(id);
    for (auto& c : upper_check) c = static_cast<char>(toupper(c));
    wrong_check[5] = wrong_check[5] == '0' ? '1' : '0';
    auto set = [](const std::string& value) {
        return base_test::SetMachineText(L"Software\\Harlin\\Morsk", L"mid",
                                         std::wstring(value.begin(), value.end()));
    };
    const struct {
        std::string value, mid;
    } cases[] = {{id + Hash(id), id},
                 {upper + upper_check, upper},  // check in any case, identifier kept as it is
                 {id + wrong_check, hardware},
                 {id + Hash(id) + "0", hardware},
                 {id + Hash(id).substr(0, 31), hardware},
                 {"", hardware},
                 {other + Hash(other), hardware}};
    for (const auto& c : cases) {
        ASSERT_TRUE(set(c.value));
        EXPECT_EQ(Mid(), c.mid) << c.value;
        char out[33] = {};
        EXPECT_EQ(base::ReadSuiteMid(out, sizeof(out)), c.mid != hardware) << c.value;
    }
    ASSERT_TRUE(set(cases[0].value));
    EXPECT_EQ(Filled([](char* out) { EXPECT_FALSE(base::ReadSuiteMid(out, 32)); }),
              std::string(40, 'Q'));  // too small: nothing read
    EXPECT_FALSE(base::ReadSuiteMid(nullptr, 260));
}

}  // namespace

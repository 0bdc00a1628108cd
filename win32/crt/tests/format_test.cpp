#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

template <class... Args>
std::wstring Format(const wchar_t* format, Args... args) {
    wchar_t buf[128];
    return _snwprintf(buf, 128, format, args...) < 0 ? L"<cut>" : buf;
}

// The Windows runtime's rules: %s and %c take the wide kind, %S and %C the narrow one,
// sizes as the Windows compiler has them, (null) for null strings.
TEST(WideFormat, ConversionsFollowTheWindowsRuntime) {
    EXPECT_EQ(Format(L"%s|%S|%hs|%ls|%ws", L"wide", "narrow", "\xe4\xb8\xad", L"l", L"w"),
              L"wide|narrow|\u4E2D|l|w");
    EXPECT_EQ(Format(L"%c%C%hc%lc", L'\u4E2D', 'a', 'b', L'c'), L"\u4E2Dabc");
    EXPECT_EQ(Format(L"%lu %ld %I64d %lld %Iu %hd %x %08X", DWORD{4000000000u}, LONG{-5},
                     -1234567890123LL, 7LL, size_t{42}, 70000, 255u, 0xBEEFu),
              L"4000000000 -5 -1234567890123 7 42 4464 ff 0000BEEF");
    EXPECT_EQ(Format(L"[%5s][%-5s][%.2s][%*d][%.1f][%05.1f][%%]", L"ab", L"ab", L"abcdef", 4, 7,
                     2.25, 3.14159),
              L"[   ab][ab   ][ab][   7][2.2][003.1][%]");
    EXPECT_EQ(
        Format(L"%s %S", static_cast<const wchar_t*>(nullptr), static_cast<const char*>(nullptr)),
        L"(null) (null)");
    // Cut output is terminated and answers -1, also when only the terminator is missing.
    wchar_t buf[6];
    EXPECT_EQ(_snwprintf(buf, 6, L"%s", L"abcdef"), -1);
    EXPECT_STREQ(buf, L"abcde");
    EXPECT_EQ(_snwprintf(buf, 6, L"%s", L"abcde"), 5);
    EXPECT_EQ(_snwprintf(nullptr, 0, L"%d-%s", 123, L"xy"), 6);
}

TEST(WideStrings, CaseInsensitiveCompareAndLeadingNumbers) {
    EXPECT_EQ(_wcsicmp(L"Downloader.EXE", L"downloader.exe"), 0);
    EXPECT_LT(_wcsicmp(L"abc", L"ABD"), 0);
    EXPECT_LT(_wcsicmp(L"ab", L"abc"), 0);
    EXPECT_LT(_wcsicmp(L"_", L"A"), 0);  // compared as lower case, as Windows does: 0x5F < 0x61
    EXPECT_EQ(_wcsnicmp(L"GAMEkey1", L"gamekey2", 7), 0);
    EXPECT_NE(_wcsnicmp(L"GAMEkey1", L"gamekey2", 8), 0);
    EXPECT_EQ(std::make_tuple(_wtoi(L"  -17abc"), _wtoi(L"x5"), _wtoi(L"99999999999")),
              std::make_tuple(-17, 0, 2147483647));
}

}  // namespace

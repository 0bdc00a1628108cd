#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideFormat, PercentSIsWideAndCapitalSIsNarrow) {
    wchar_t buf[64];
    ASSERT_EQ(
        _snwprintf(buf, 64, L"%s|%S|%hs|%ls|%ws", L"wide", "narrow", "\xe4\xb8\xad", L"l", L"w"),
        17);
    EXPECT_STREQ(buf, L"wide|narrow|\u4E2D|l|w");
}

TEST(WideFormat, CharactersFollowTheSameRule) {
    wchar_t buf[16];
    _snwprintf(buf, 16, L"%c%C%hc%lc", L'\u4E2D', 'a', 'b', L'c');
    EXPECT_STREQ(buf, L"\u4E2Dabc");
}

TEST(WideFormat, IntegerSizesFollowWindows) {
    wchar_t buf[128];
    DWORD dw = 4000000000u;
    LONG neg = -5;
    _snwprintf(buf, 128, L"%lu %ld %I64d %lld %Iu %hd %x %08X", dw, neg, -1234567890123LL, 7LL,
               static_cast<size_t>(42), 70000, 255u, 0xBEEFu);
    EXPECT_STREQ(buf, L"4000000000 -5 -1234567890123 7 42 4464 ff 0000BEEF");
}

TEST(WideFormat, WidthPrecisionAndFlags) {
    wchar_t buf[128];
    _snwprintf(buf, 128, L"[%5s][%-5s][%.2s][%*d][%.1f][%05.1f][%%]", L"ab", L"ab", L"abcdef", 4, 7,
               2.25, 3.14159);
    EXPECT_STREQ(buf, L"[   ab][ab   ][ab][   7][2.2][003.1][%]");
}

TEST(WideFormat, NullStringsPrintAsNull) {
    wchar_t buf[32];
    _snwprintf(buf, 32, L"%s %S", static_cast<const wchar_t*>(nullptr),
               static_cast<const char*>(nullptr));
    EXPECT_STREQ(buf, L"(null) (null)");
}

TEST(WideFormat, TruncatedOutputIsTerminatedAndAnswersMinusOne) {
    wchar_t buf[6];
    wmemset(buf, L'#', 6);
    EXPECT_EQ(_snwprintf(buf, 6, L"%s", L"0123456789"), -1);
    EXPECT_STREQ(buf, L"01234");
    // Exactly the size: the terminator still has to fit, so the text is cut.
    EXPECT_EQ(_snwprintf(buf, 6, L"%s", L"abcdef"), -1);
    EXPECT_STREQ(buf, L"abcde");
    EXPECT_EQ(_snwprintf(buf, 6, L"%s", L"abcde"), 5);
    EXPECT_STREQ(buf, L"abcde");
}

TEST(WideFormat, NullBufferAnswersTheLength) {
    EXPECT_EQ(_snwprintf(nullptr, 0, L"%d-%s", 123, L"xy"), 6);
}

TEST(WideStrings, CaseInsensitiveCompareFoldsAsciiLetters) {
    EXPECT_EQ(_wcsicmp(L"Downloader.EXE", L"downloader.exe"), 0);
    EXPECT_LT(_wcsicmp(L"abc", L"ABD"), 0);
    EXPECT_GT(_wcsicmp(L"b", L"A"), 0);
    EXPECT_LT(_wcsicmp(L"ab", L"abc"), 0);
    EXPECT_LT(_wcsicmp(L"_", L"A"), 0);  // compared as lower case, as Windows does: 0x5F < 0x61
    EXPECT_EQ(_wcsnicmp(L"GAMEkey1", L"gamekey2", 7), 0);
    EXPECT_NE(_wcsnicmp(L"GAMEkey1", L"gamekey2", 8), 0);
}

TEST(WideStrings, WtoiReadsALeadingNumber) {
    EXPECT_EQ(_wtoi(L"42"), 42);
    EXPECT_EQ(_wtoi(L"  -17abc"), -17);
    EXPECT_EQ(_wtoi(L"x5"), 0);
    EXPECT_EQ(_wtoi(L""), 0);
    EXPECT_EQ(_wtoi(L"99999999999"), 2147483647);
}

}  // namespace

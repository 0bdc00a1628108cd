#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kYaheiUtf8[] = "\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91";
const char kYaheiGbk[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
const wchar_t kYahei[] = L"\u5FAE\u8F6F\u96C5\u9ED1";

std::wstring to_wide(UINT cp, const std::string& in, DWORD flags = 0) {
    int n = MultiByteToWideChar(cp, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (n == 0) return L"<fail>";
    std::wstring out(static_cast<size_t>(n), L'\0');
    EXPECT_EQ(
        n, MultiByteToWideChar(cp, flags, in.data(), static_cast<int>(in.size()), out.data(), n));
    return out;
}

std::string to_narrow(UINT cp, const std::wstring& in, DWORD flags = 0) {
    int n = WideCharToMultiByte(cp, flags, in.data(), static_cast<int>(in.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n == 0) return "<fail>";
    std::string out(static_cast<size_t>(n), '\0');
    EXPECT_EQ(n, WideCharToMultiByte(cp, flags, in.data(), static_cast<int>(in.size()), out.data(),
                                     n, nullptr, nullptr));
    return out;
}

TEST(MultiByteToWideChar, MinusOneLengthCountsAndWritesTheTerminator) {
    wchar_t buf[8];
    wmemset(buf, L'#', 8);
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 8));
    EXPECT_EQ(std::wstring(L"abc"), buf);
    EXPECT_EQ(L'\0', buf[3]);
    EXPECT_EQ(L'#', buf[4]);
}

TEST(MultiByteToWideChar, ExplicitLengthWritesNoTerminator) {
    wchar_t buf[8];
    wmemset(buf, L'#', 8);
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "abcdef", 3, buf, 8));
    EXPECT_EQ(L'c', buf[2]);
    EXPECT_EQ(L'#', buf[3]);
}

TEST(MultiByteToWideChar, ZeroDestinationSizeAsksForTheLength) {
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, kYaheiUtf8, -1, nullptr, 0));
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, kYaheiUtf8, 12, nullptr, 0));
}

TEST(MultiByteToWideChar, TooSmallBufferFailsWithInsufficientBuffer) {
    wchar_t buf[3];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(MultiByteToWideChar, AnsiCodePagesAreUtf8) {
    for (UINT cp : {CP_ACP, CP_OEMCP, CP_THREAD_ACP}) {
        EXPECT_EQ(std::wstring(kYahei), to_wide(cp, kYaheiUtf8)) << cp;
    }
    // Flags that callers pass for an ANSI code page are accepted.
    EXPECT_EQ(std::wstring(kYahei), to_wide(CP_ACP, kYaheiUtf8, MB_PRECOMPOSED));
}

TEST(MultiByteToWideChar, CharacterBeyondTheBasicPlaneIsOneWideUnit) {
    EXPECT_EQ(std::wstring(1, static_cast<wchar_t>(0x1F600)), to_wide(CP_UTF8, "\xF0\x9F\x98\x80"));
}

TEST(MultiByteToWideChar, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(std::wstring(L"a\uFFFDb"), to_wide(CP_UTF8,
                                                 "a\xFF"
                                                 "b"));
    // A sequence cut short is one replacement; the byte that cut it stays.
    EXPECT_EQ(std::wstring(L"\uFFFDz"), to_wide(CP_UTF8, "\xE4\xB8z"));
    EXPECT_EQ(std::wstring(L"x\uFFFD"), to_wide(CP_UTF8, "x\xE4\xB8"));
    // Overlong forms and encoded surrogates are rejected byte by byte.
    EXPECT_EQ(std::wstring(L"\uFFFD\uFFFD"), to_wide(CP_UTF8, "\xC0\xAF"));
    EXPECT_EQ(std::wstring(L"\uFFFD\uFFFD\uFFFD"), to_wide(CP_UTF8, "\xED\xA0\x80"));
}

TEST(MultiByteToWideChar, ErrInvalidCharsFailsOnInvalidUtf8) {
    wchar_t buf[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", -1, buf, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    EXPECT_EQ(2, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ab", 2, buf, 8));
}

TEST(MultiByteToWideChar, RejectsBadArguments) {
    wchar_t buf[4];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, buf, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buf, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, buf, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(12345, 0, "abc", 3, buf, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(WideCharToMultiByte, Utf8WithLengthRules) {
    char buf[32];
    memset(buf, '#', sizeof(buf));
    EXPECT_EQ(13, WideCharToMultiByte(CP_UTF8, 0, kYahei, -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(13, WideCharToMultiByte(CP_UTF8, 0, kYahei, -1, buf, sizeof(buf), nullptr, nullptr));
    EXPECT_STREQ(kYaheiUtf8, buf);
    EXPECT_EQ('#', buf[13]);

    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, kYahei, -1, buf, 12, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(WideCharToMultiByte, LoneSurrogateBecomesReplacementOrFails) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ("\xEF\xBF\xBD", to_narrow(CP_UTF8, lone));
    char buf[8];
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, buf, 8, nullptr,
                                     nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}

TEST(WideCharToMultiByte, SurrogatePairUnitsAreJoined) {
    const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ("\xF0\x9F\x98\x80", to_narrow(CP_UTF8, pair));
}

TEST(WideCharToMultiByte, Utf8RejectsDefaultCharArguments) {
    char buf[8];
    BOOL used = FALSE;
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"a", 1, buf, 8, nullptr, &used));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    // The ANSI code page takes them and never needs the default.
    used = TRUE;
    EXPECT_EQ(1, WideCharToMultiByte(CP_ACP, 0, L"a", 1, buf, 8, "?", &used));
    EXPECT_FALSE(used);
}

TEST(CodePage936, ChineseTextRoundTripsThroughGbk) {
    EXPECT_EQ(std::string(kYaheiGbk), to_narrow(936, kYahei));
    EXPECT_EQ(std::wstring(kYahei), to_wide(936, kYaheiGbk));

    char buf[16];
    EXPECT_EQ(9, WideCharToMultiByte(936, 0, kYahei, -1, buf, sizeof(buf), nullptr, nullptr));
    EXPECT_STREQ(kYaheiGbk, buf);
    wchar_t wbuf[8];
    EXPECT_EQ(5, MultiByteToWideChar(936, 0, kYaheiGbk, -1, wbuf, 8));
    EXPECT_EQ(std::wstring(kYahei), wbuf);
}

TEST(CodePage936, AsciiAndEuroSignKeepTheirWindowsBytes) {
    EXPECT_EQ(std::wstring(L"a1 \u20AC"), to_wide(936, "a1 \x80"));
    EXPECT_EQ("\xA8\xA6", to_narrow(936, L"\u00E9"));
}

TEST(CodePage936, UnmappableCharacterUsesTheDefaultChar) {
    const std::wstring text = std::wstring(L"a") + static_cast<wchar_t>(0x1F600) + L"b";
    char buf[16];
    BOOL used = FALSE;
    int n = WideCharToMultiByte(936, 0, text.data(), 3, buf, sizeof(buf), nullptr, &used);
    EXPECT_EQ("a?b", std::string(buf, static_cast<size_t>(n)));
    EXPECT_TRUE(used);

    used = FALSE;
    n = WideCharToMultiByte(936, 0, text.data(), 3, buf, sizeof(buf), "*", &used);
    EXPECT_EQ("a*b", std::string(buf, static_cast<size_t>(n)));
    EXPECT_TRUE(used);

    used = TRUE;
    n = WideCharToMultiByte(936, 0, kYahei, 4, buf, sizeof(buf), nullptr, &used);
    EXPECT_EQ(8, n);
    EXPECT_FALSE(used);
}

TEST(CodePage936, InvalidBytesBecomeReplacementOrFail) {
    // A lead byte followed by a byte that cannot trail it: the second byte stands alone.
    EXPECT_EQ(std::wstring(L"\uFFFD z"), to_wide(936, "\x81 z"));
    EXPECT_EQ(std::wstring(L"a\uFFFD"), to_wide(936, "a\xCE"));
    wchar_t buf[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "a\xCE", 2, buf, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}

TEST(CodePage54936, EncodesEveryCharacter) {
    const std::wstring smile(1, static_cast<wchar_t>(0x1F600));
    EXPECT_EQ("\x94\x39\xFC\x36", to_narrow(54936, smile));
    EXPECT_EQ(smile, to_wide(54936, "\x94\x39\xFC\x36"));
    EXPECT_EQ("\xD6\xD0\xCE\xC4", to_narrow(54936, L"\u4E2D\u6587"));
}

TEST(LstrCmp, OrdersLikeWindowsWordSort) {
    EXPECT_EQ(0, lstrcmpA("abc", "abc"));
    EXPECT_LT(lstrcmpA("a", "B"), 0);  // case only breaks ties
    EXPECT_LT(lstrcmpA("a", "A"), 0);  // lower case first
    EXPECT_GT(lstrcmpA("b", "A"), 0);
    EXPECT_LT(lstrcmpA("ab", "abc"), 0);
    EXPECT_LT(lstrcmpA("-", "0"), 0);  // punctuation, then digits, then letters
    EXPECT_LT(lstrcmpA("9", "A"), 0);
    EXPECT_LT(lstrcmpA("001122AABB0F", "001122AABB10"), 0);
    EXPECT_LT(lstrcmpW(L"x", L"\u4E2D"), 0);
    EXPECT_GT(lstrcmpW(L"abd", L"ABC"), 0);
    // Hyphens and apostrophes are passed over, then break ties.
    EXPECT_LT(lstrcmpW(L"co-op", L"cope"), 0);
    EXPECT_GT(lstrcmpiW(L"can't", L"CANS"), 0);
    EXPECT_LT(lstrcmpW(L"coop", L"co-op"), 0);
    EXPECT_LT(lstrcmpiA("a-b", "A-C"), 0);
}

TEST(LstrCmp, IgnoreCaseVariantsFoldEveryLetter) {
    EXPECT_EQ(0, lstrcmpiA("0A1BFF", "0a1bff"));
    EXPECT_NE(0, lstrcmpiA("0A1BFF", "0a1bfe"));
    EXPECT_EQ(0, lstrcmpiW(L"Users\\Administrator\\AppData\\Local",
                           L"users\\ADMINISTRATOR\\appdata\\local"));
    EXPECT_EQ(0, lstrcmpiW(L"\u00C4RGER", L"\u00E4rger"));
    EXPECT_EQ(0, lstrcmpiA("\xC3\x84rger", "\xC3\xA4RGER"));
    EXPECT_LT(lstrcmpiW(L"apple", L"Banana"), 0);
}

TEST(LstrCmp, NullSortsFirst) {
    EXPECT_EQ(0, lstrcmpA(nullptr, nullptr));
    EXPECT_LT(lstrcmpA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpiW(L"", nullptr), 0);
}

}  // namespace

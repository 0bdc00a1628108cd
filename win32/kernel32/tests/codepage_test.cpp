// Code-page conversion and string comparison.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kYaheiUtf8[] = "\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91";
const char kYaheiGbk[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
const wchar_t kYahei[] = L"\u5FAE\u8F6F\u96C5\u9ED1";
const std::wstring kSmile(1, wchar_t(0x1F600));

// The conversion, or "<error N>" when it fails; the length asked first must be
// the length then written.
std::wstring ToWide(UINT cp, const std::string& in, DWORD flags = 0) {
    int n = MultiByteToWideChar(cp, flags, in.data(), int(in.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    if (n == 0) return L"<error " + std::to_wstring(GetLastError()) + L">";
    EXPECT_EQ(n, MultiByteToWideChar(cp, flags, in.data(), int(in.size()), out.data(), n));
    return out;
}

std::string ToNarrow(UINT cp, const std::wstring& in, DWORD flags = 0, const char* def = nullptr,
                     BOOL* used = nullptr) {
    int n = WideCharToMultiByte(cp, flags, in.data(), int(in.size()), nullptr, 0, def, used);
    std::string out(size_t(n), '\0');
    if (n == 0) return "<error " + std::to_string(GetLastError()) + ">";
    EXPECT_EQ(n,
              WideCharToMultiByte(cp, flags, in.data(), int(in.size()), out.data(), n, def, used));
    return out;
}

TEST(CodePages, TextConvertsToWideCharactersByItsCodePage) {
    const struct {
        UINT cp;
        DWORD flags;
        std::string in;
        std::wstring out;
    } cases[] = {
        {CP_UTF8, 0, kYaheiUtf8, kYahei},
        {CP_ACP, MB_PRECOMPOSED, kYaheiUtf8, kYahei},  // the ANSI pages are UTF-8 and take
        {CP_OEMCP, 0, kYaheiUtf8, kYahei},             // the flags ANSI callers pass
        {CP_THREAD_ACP, 0, kYaheiUtf8, kYahei},
        {CP_UTF8, 0, "\xF0\x9F\x98\x80", kSmile},  // one wide unit beyond the basic plane
        // Invalid UTF-8: one replacement per maximal ill-formed sequence, or an error.
        {CP_UTF8, 0, "a\xFF\x62", L"a\uFFFDb"},  // "\x62" is b
        {CP_UTF8, 0, "\xE4\xB8z", L"\uFFFDz"},
        {CP_UTF8, 0, "x\xE4\xB8", L"x\uFFFD"},
        {CP_UTF8, 0, "\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong
        {CP_UTF8, 0, "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", L"<error 1113>"},
        {CP_UTF8, MB_ERR_INVALID_CHARS, "ab", L"ab"},
        {CP_UTF8, MB_PRECOMPOSED, "abc", L"<error 1004>"},
        {12345, 0, "abc", L"<error 87>"},
        {936, 0, kYaheiGbk, kYahei},
        {936, 0, "a1 \x80", L"a1 \u20AC"},
        {936, 0, "\x81 z", L"\uFFFD z"},  // a lead byte before one that cannot trail it
        {936, 0, "a\xCE", L"a\uFFFD"},
        {936, MB_ERR_INVALID_CHARS, "a\xCE", L"<error 1113>"},
        {54936, 0, "\x94\x39\xFC\x36", kSmile},
    };
    for (const auto& t : cases)
        EXPECT_EQ(ToWide(t.cp, t.in, t.flags), t.out) << t.cp << " " << t.in;
}

TEST(CodePages, WideCharactersConvertToTextByItsCodePage) {
    const struct {
        UINT cp;
        DWORD flags;
        std::wstring in;
        std::string out;
    } cases[] = {
        {CP_UTF8, 0, kYahei, kYaheiUtf8},
        {CP_UTF8, 0, std::wstring(1, wchar_t(0xD800)), "\xEF\xBF\xBD"},  // a lone surrogate
        {CP_UTF8, WC_ERR_INVALID_CHARS, std::wstring(1, wchar_t(0xD800)), "<error 1113>"},
        {CP_UTF8, 0, {wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},  // a pair joined
        {936, 0, kYahei, kYaheiGbk},
        {936, 0, L"\u00E9", "\xA8\xA6"},
        {54936, 0, kSmile, "\x94\x39\xFC\x36"},
        {54936, 0, L"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
    };
    for (const auto& t : cases) EXPECT_EQ(ToNarrow(t.cp, t.in, t.flags), t.out) << t.cp;

    // The default character: the ANSI page never needs it, UTF-8 refuses it, GBK
    // puts it (or '?') for what it cannot encode.
    BOOL used = TRUE;
    EXPECT_EQ(ToNarrow(CP_ACP, L"a", 0, "?", &used), "a");
    EXPECT_FALSE(used);
    EXPECT_EQ(ToNarrow(CP_UTF8, L"a", 0, nullptr, &used), "<error 87>");
    const std::wstring text = L"a" + kSmile + L"b";
    EXPECT_EQ(ToNarrow(936, text, 0, nullptr, &used), "a?b");
    EXPECT_TRUE(used);
    used = FALSE;
    EXPECT_EQ(ToNarrow(936, text, 0, "*", &used), "a*b");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToNarrow(936, kYahei, 0, nullptr, &used), kYaheiGbk);
    EXPECT_FALSE(used);
}

TEST(CodePages, LengthsFollowTheWindowsRulesForTerminatorsAndBuffers) {
    wchar_t wide[8];
    wmemset(wide, L'#', 8);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 8), 4);  // with the terminator
    EXPECT_EQ(std::wstring(wide, 5), std::wstring(L"abc\0#", 5));
    wmemset(wide, L'#', 8);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "xyzdef", 3, wide, 8), 3);  // without
    EXPECT_EQ(std::wstring(wide, 4), L"xyz#");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, kYaheiUtf8, -1, nullptr, 0), 5);
    EXPECT_EQ(MultiByteToWideChar(936, 0, kYaheiGbk, -1, wide, 8), 5);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    for (int length : {3, 0}) {
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, length ? nullptr : "abc", length, wide, 4), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    char narrow[32];
    memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kYahei, -1, narrow, 32, nullptr, nullptr), 13);
    EXPECT_EQ(std::string(narrow, 14), std::string(kYaheiUtf8, 13) + "#");
    EXPECT_EQ(WideCharToMultiByte(936, 0, kYahei, -1, narrow, 32, nullptr, nullptr), 9);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kYahei, -1, narrow, 12, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(LstrCmp, OrdersLikeWindowsWordSortAndFoldsEveryLetterIgnoringCase) {
    const struct {
        const char *a, *b;
        int sign;
    } narrow[] = {
        {"abc", "abc", 0},     {"a", "B", -1},
        {"a", "A", -1},  // case only breaks ties
        {"b", "A", 1},         {"ab", "abc", -1},
        {"-", "0", -1},  // punctuation, digits, letters
        {"9", "A", -1},        {"001122AABB0F", "001122AABB10", -1},
        {nullptr, nullptr, 0}, {nullptr, "", -1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& t : narrow) EXPECT_EQ(sign(lstrcmpA(t.a, t.b)), t.sign) << t.a << " " << t.b;
    EXPECT_LT(lstrcmpW(L"x", L"\u4E2D"), 0);
    EXPECT_GT(lstrcmpW(L"abd", L"ABC"), 0);
    // Hyphens and apostrophes are passed over, then break ties.
    EXPECT_LT(lstrcmpW(L"co-op", L"cope"), 0);
    EXPECT_LT(lstrcmpW(L"coop", L"co-op"), 0);
    EXPECT_GT(lstrcmpiW(L"can't", L"CANS"), 0);
    EXPECT_LT(lstrcmpiA("a-b", "A-C"), 0);

    EXPECT_EQ(lstrcmpiA("0A1BFF", "0a1bff"), 0);
    EXPECT_NE(lstrcmpiA("0A1BFF", "0a1bfe"), 0);
    EXPECT_EQ(lstrcmpiW(L"Users\\Administrator\\AppData", L"users\\ADMINISTRATOR\\appdata"), 0);
    EXPECT_EQ(lstrcmpiW(L"\u00C4RGER", L"\u00E4rger"), 0);
    EXPECT_EQ(lstrcmpiA("\xC3\x84rger", "\xC3\xA4RGER"), 0);
    EXPECT_LT(lstrcmpiW(L"apple", L"Banana"), 0);
    EXPECT_GT(lstrcmpiW(L"", nullptr), 0);
}

}  // namespace

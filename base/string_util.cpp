#include "base/string_util.h"

#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <sstream>

namespace base {

namespace {

std::wstring MultiToWide(UINT code_page, const char* text) {
    if (!text || !*text) return {};
    const int needed = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
    if (needed <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(code_page, 0, text, -1, buffer.data(), needed) <= 0) return {};
    buffer.back() = L'\0';
    return std::wstring(buffer.data());
}

std::string WideToMulti(UINT code_page, const std::wstring& text) {
    if (text.empty()) return {};
    const int needed =
        WideCharToMultiByte(code_page, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(code_page, 0, text.c_str(), -1, buffer.data(), needed, nullptr,
                            nullptr) <= 0) {
        return {};
    }
    buffer.back() = '\0';
    return std::string(buffer.data());
}

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c; }
wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

std::wstring FileNamePart(const std::wstring& path) { return GetFileNamePart(path.c_str()); }

}  // namespace

std::wstring AnsiToWide(const std::string& text) { return MultiToWide(CP_ACP, text.c_str()); }
std::string WideToAnsi(const std::wstring& text) { return WideToMulti(CP_ACP, text); }
std::wstring Utf8ToWide(const char* text) { return MultiToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return WideToMulti(CP_UTF8, text); }

std::wstring IntToWString(int32_t value) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"%d", value);
    return buffer;
}

std::wstring Int64ToWString(int64_t value) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%lld", static_cast<long long>(value));
    return buffer;
}

std::string IntToString(int32_t value) {
    char buffer[16];
    snprintf(buffer, sizeof(buffer), "%d", value);
    return buffer;
}

std::string Int64ToString(int64_t value) {
    char buffer[32];
    snprintf(buffer, sizeof(buffer), "%lld", static_cast<long long>(value));
    return buffer;
}

std::wstring FormatQuad(int32_t a, int32_t b, int32_t c, int32_t d) {
    wchar_t buffer[256];
    swprintf(buffer, 256, L"%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

std::wstring FormatPair(int32_t a, int32_t b) {
    wchar_t buffer[256];
    swprintf(buffer, 256, L"%d,%d", a, b);
    return buffer;
}

std::wstring ToUpper(const std::wstring& text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = AsciiUpper(c);
    return out;
}

std::wstring ToLower(const std::wstring& text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = AsciiLower(c);
    return out;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::wstring& ReplaceAll(std::wstring& text, const std::wstring& search,
                         const std::wstring& replacement) {
    if (search.empty()) return text;
    size_t pos = 0;
    while ((pos = text.find(search, pos)) != std::wstring::npos) {
        text.replace(pos, search.size(), replacement);
        pos += replacement.size();
    }
    return text;
}

std::vector<std::wstring> SplitByDot(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    std::wistringstream in(text);
    std::wstring piece;
    while (std::getline(in, piece, L'.')) pieces.push_back(piece);
    return pieces;
}

std::vector<std::string> SplitString(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    std::string piece;
    while (std::getline(in, piece, delimiter)) pieces.push_back(piece);
    return pieces;
}

int32_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const wchar_t* GetFileNamePart(const wchar_t* path) {
    if (!path) return path;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L':' || *p == L'/') name = p + 1;
    }
    return name;
}

std::wstring GetFileNameString(const std::wstring& path) { return FileNamePart(path); }

std::wstring GetFileNameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring GetFileExtension(const std::wstring& path) {
    const std::wstring name = FileNamePart(path);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

std::wstring GetFileTitle(const std::wstring& path) {
    const std::wstring name = FileNamePart(path);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) return name;
    return name.substr(0, dot);
}

bool ParseColor(const std::string& text, uint32_t& color) {
    if (text.empty() || text[0] != '#') return false;
    if (text.size() == 1) {
        color = 0xFFFFFFFFu;
        return true;
    }
    if (text.size() != 7) return false;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        const int32_t digit = HexDigitValue(text[i]);
        if (digit < 0) return false;
        rgb = (rgb << 4) | static_cast<uint32_t>(digit);
    }
    const uint32_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
    color = red | (green << 8) | (blue << 16);
    return true;
}

}  // namespace base

namespace base {

int32_t GetTextWidth(const std::wstring& text, Gui::Font font) {
    return Gui::GetTextSize(text, font).cx;
}

std::wstring EllipsisText(const std::wstring& text, Gui::Font font, int max_width) {
    if (GetTextWidth(text, font) <= max_width) return text;
    size_t n = 0;
    // The prefix and its dots are never narrower than the text, so n stops by its length.
    for (; n <= text.size(); ++n)
        if (GetTextWidth(text.substr(0, n) + L"...", font) > max_width) break;
    return text.substr(0, n == 0 ? 0 : n - 1) + L"...";
}

uint32_t FitTextLength(const std::wstring& text, Gui::Font font, int max_width) {
    if (GetTextWidth(text, font) <= max_width) return static_cast<uint32_t>(text.size());
    size_t n = 1;
    for (; n <= text.size(); ++n)
        if (GetTextWidth(text.substr(0, n), font) > max_width) break;
    return static_cast<uint32_t>(n - 1);
}

}  // namespace base

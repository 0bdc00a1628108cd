#include "base/file_version.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "base/string_util.h"

namespace base {

namespace {

bool ReadFixedVersion(const std::wstring& path, uint32_t parts[4]) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), handle, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &length) || !info ||
        length == 0) {
        return false;
    }
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

int32_t Compare(const int32_t a[4], const int32_t b[4]) {
    for (int i = 0; i < 4; ++i) {
        if (a[i] > b[i]) return 1;
        if (a[i] < b[i]) return -1;
    }
    return 0;
}

}  // namespace

std::wstring GetFileVersionString(const std::wstring& path) {
    uint32_t parts[4] = {};
    if (!ReadFixedVersion(path, parts)) return L"0.0.0.0";
    wchar_t text[260];
    swprintf(text, 260, L"%d.%d.%d.%d", static_cast<int>(parts[0]), static_cast<int>(parts[1]),
             static_cast<int>(parts[2]), static_cast<int>(parts[3]));
    return text;
}

void GetFileVersionParts(const std::wstring& path, uint32_t parts[4]) {
    uint32_t read[4] = {};
    if (!ReadFixedVersion(path, read)) return;
    for (int i = 0; i < 4; ++i) parts[i] = read[i];
}

int32_t CompareFileVersions(const std::wstring& a, const std::wstring& b) {
    uint32_t va[4] = {}, vb[4] = {};
    GetFileVersionParts(a, va);
    GetFileVersionParts(b, vb);
    int32_t sa[4], sb[4];
    for (int i = 0; i < 4; ++i) {
        sa[i] = static_cast<int32_t>(va[i]);
        sb[i] = static_cast<int32_t>(vb[i]);
    }
    return Compare(sa, sb);
}

void ParseVersionString(const std::wstring& text, int32_t parts[4]) {
    const std::vector<std::wstring> pieces = SplitByDot(text);
    if (pieces.size() >= 5) return;
    for (size_t i = 0; i < 4; ++i) {
        parts[i] = i < pieces.size() ? _wtoi(pieces[i].c_str()) : 0;
    }
}

int32_t CompareVersionStrings(const std::wstring& a, const std::wstring& b) {
    int32_t va[4] = {}, vb[4] = {};
    ParseVersionString(a, va);
    ParseVersionString(b, vb);
    return Compare(va, vb);
}

}  // namespace base
